#include "controller/controller_state.h"

namespace pelvane {

thread_local KST_HANDLE g_controllerHandle = nullptr;
thread_local uint32_t g_commandTimeout = kDefaultCommandTimeoutMs;
int32_t g_commandLogMode = 0;

}  // namespace pelvane
