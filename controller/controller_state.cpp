#include "controller_state.h"

namespace pelvane {

KST_HANDLE g_controllerHandle = nullptr;
uint32_t g_commandTimeout = kDefaultCommandTimeoutMs;
int32_t g_commandLogMode = 0;

}  // namespace pelvane
