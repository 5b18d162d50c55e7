#include "nodes/vendor_table.h"

#include <cstring>

#include "controller/gbk.h"

namespace pelvane {
namespace {

struct VendorRow {
    int32_t id;
    const char* name;  // GBK
};

constexpr VendorRow kVendors[] = {
    {0x1A, "\xC7\xE0\xC0\xB6"},                   // 青蓝
    {0x6A, "\xD1\xC5\xBF\xC6\xB1\xB4\xCB\xBC"},   // 雅科贝思
    {0x83, "\xC5\xB7\xC4\xB7\xC1\xFA"},           // 欧姆龙
    {0x106, "\xBF\xC6\xB6\xFB\xC4\xA6\xB8\xF9"},  // 科尔摩根
    {0x1DD, "\xCC\xA8\xB4\xEF"},                  // 台达
    {0x2E1, "\xB8\xDF\xB4\xB4"},                  // 高创
    {0x41B, "Kestrum"},                           //
    {0x60A, "\xB0\xA3\xCB\xB9\xB6\xD9"},          // 埃斯顿
    {0x66F, "\xCB\xC9\xCF\xC2"},                  // 松下
    {0x748, "\xC7\xE5\xC4\xDC\xB5\xC2\xB4\xB4"},  // 清能德创
    {0x7DD, "\xC2\xF5\xD0\xC5"},                  // 迈信
    {0x1558, "\xD3\xA2\xCD\xFE\xCC\xDA"},         // 英威腾
    {0xAAAA, "\xC9\xCF\xD2\xF8"},                 // 上银
    {0x17185, "\xC0\xD7\xC8\xFC"},                // 雷赛
    {0x100000, "\xBB\xE3\xB4\xA8"},               // 汇川
    {0x999999, "\xD6\xC7\xB6\xA6"},               // 智鼎
};
constexpr const char* kOtherVendor = "\xC6\xE4\xCB\xFB";  // 其他

}  // namespace

void LookupVendorName(int32_t vendorId, char* name) {
    if (name == nullptr) return;
    const char* found = kOtherVendor;
    for (const VendorRow& row : kVendors) {
        if (row.id == vendorId) found = row.name;
    }
    // Every stored name is a single word well under the buffer size.
    std::strcpy(name, found);
}

std::string VendorNameUtf8(int32_t vendorId) {
    char name[kVendorNameSize];
    LookupVendorName(vendorId, name);
    return GbkToUtf8(name);
}

}  // namespace pelvane
