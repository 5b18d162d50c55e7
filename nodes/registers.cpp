#include "nodes/registers.h"

namespace pelvane {

std::string RegisterName(int reg) {
    return std::string(kestrum::language::kErrorRegisters[static_cast<size_t>(reg)].name);
}

}  // namespace pelvane
