#include "app/controller_text.h"

#include "controller/gbk.h"

namespace pelvane {

std::string AddressForOpen(std::string_view typed) {
    const std::string bytes = Utf8ToGbk(typed);
    size_t length = 0;
    while (length < bytes.size()) {
        // GBK lead bytes start a two-byte character.
        const size_t step = static_cast<unsigned char>(bytes[length]) >= 0x81 ? 2 : 1;
        if (length + step > kMaxAddressLength) break;
        length += step;
    }
    return bytes.substr(0, std::min(length, bytes.size()));
}

std::string FormatIdentityLine(std::string_view model, std::string_view version,
                               std::string_view id) {
    std::string line = "软件型号：";
    line.append(model).append("  软件版本：").append(version).append("  控制器ID：").append(id);
    return line;
}

}  // namespace pelvane
