#include "nodes/vendor_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace pelvane {
namespace {

TEST(VendorTable, OnlyExactIdsHaveANameOfTheirOwn) {
    const std::string other = "\xC6\xE4\xCB\xFB";  // 其他
    const struct {
        int32_t id;
        std::string name;
    } cases[] = {
        {0x41B, "Kestrum"},
        {0x1A, "\xC7\xE0\xC0\xB6"},      // 青蓝, the first row
        {0x100000, "\xBB\xE3\xB4\xA8"},  // 汇川
        {0x999999, "\xD6\xC7\xB6\xA6"},  // 智鼎, the last row
        {0x1000000, other},
        {0xFFFFF, other},
        {0x99999A, other},
        {0, other},
        {-1, other},
        {-0x41B, other},
    };
    for (const auto& c : cases) {
        char name[kVendorNameSize];
        std::memset(name, 'x', sizeof name);
        LookupVendorName(c.id, name);
        EXPECT_EQ(name, c.name) << std::hex << c.id;
    }
    LookupVendorName(0x41B, nullptr);  // must not fail
}

}  // namespace
}  // namespace pelvane
