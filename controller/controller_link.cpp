#include "controller/controller_link.h"

#include "controller/controller_state.h"
#include "controller/link_settings.h"
#include "kestrum.h"

namespace pelvane {

int32_t OpenControllerLink(const char* address) {
    KST_HANDLE handle = nullptr;
    const int32_t status = KST_FastOpen(KST_TYPE_ETHERNET, address, kConnectTimeoutMs, &handle);
    if (status != 0) return status;
    g_controllerHandle = handle;
    g_commandTimeout = kDefaultCommandTimeoutMs;
    KST_SetTimeOut(g_controllerHandle, kDefaultCommandTimeoutMs);
    return 0;
}

bool CloseControllerLink() {
    if (g_controllerHandle == nullptr) return false;
    KST_Close(g_controllerHandle);
    g_controllerHandle = nullptr;
    return true;
}

bool LinkFailed(int32_t status) {
    return status >= KST_ERR_INVALID_ARGUMENT && status <= KST_ERR_SYSTEM;
}

}  // namespace pelvane
