#include "nodes/registers.h"

namespace pelvane {

std::string RegisterName(int reg) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const int address = 0x300 + reg;
    return {'3', kDigits[(address >> 4) & 0xF], kDigits[address & 0xF], 'H'};
}

}  // namespace pelvane
