// Tests that broadcast may run only where the network holds nothing but loopback.
#pragma once

#ifdef _WIN32
// winsock2.h first: iphlpapi.h needs its types.
#include <winsock2.h>

#include <iphlpapi.h>

#include <vector>
#else
#include <ifaddrs.h>
#include <net/if.h>
#endif

namespace pelvane::testing {

// True when every interface that is up is a loopback interface, as inside a
// private network namespace made by the test scripts.
#ifdef _WIN32
inline bool OnlyLoopbackInterfaces() {
    ULONG size = 16384;
    std::vector<unsigned char> buffer;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    for (int tries = 0; result == ERROR_BUFFER_OVERFLOW && tries < 4; ++tries) {
        buffer.resize(size);
        result = GetAdaptersAddresses(
            AF_UNSPEC, 0, nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    }
    if (result == ERROR_NO_DATA) return true;
    if (result != NO_ERROR) return false;
    for (auto* it = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); it != nullptr;
         it = it->Next) {
        if (it->OperStatus == IfOperStatusUp && it->IfType != IF_TYPE_SOFTWARE_LOOPBACK)
            return false;
    }
    return true;
}
#else
inline bool OnlyLoopbackInterfaces() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return false;
    bool onlyLoopback = true;
    for (ifaddrs* it = list; it != nullptr; it = it->ifa_next) {
        if ((it->ifa_flags & IFF_UP) != 0 && (it->ifa_flags & IFF_LOOPBACK) == 0) {
            onlyLoopback = false;
            break;
        }
    }
    freeifaddrs(list);
    return onlyLoopback;
}
#endif

}  // namespace pelvane::testing

#define PELVANE_REQUIRE_PRIVATE_NETWORK()                                           \
    do {                                                                            \
        if (!::pelvane::testing::OnlyLoopbackInterfaces())                          \
            GTEST_SKIP() << "needs a private network namespace with only loopback " \
                            "(run the tests through scripts/test.sh)";              \
    } while (0)
