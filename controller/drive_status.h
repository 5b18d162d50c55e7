// The drive status word (object 6041H), read through controller table entry 0.
#pragma once

#include <cstdint>

#include "kestrum.h"

namespace pelvane {

int32_t ReadDriveStatusWord(KST_HANDLE handle, int32_t node, int32_t* statusWord);
int32_t ReadTableValues(KST_HANDLE handle, int32_t count, float* values);

}  // namespace pelvane
