// Tests that broadcast may run only where the network holds nothing but loopback.
#pragma once

#include <ifaddrs.h>
#include <net/if.h>

#include <cstring>

namespace pelvane::testing {

// True when every interface that is up is a loopback interface, as inside a
// private network namespace made by the test scripts.
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

}  // namespace pelvane::testing

#define PELVANE_REQUIRE_PRIVATE_NETWORK()                                               \
    do {                                                                                \
        if (!::pelvane::testing::OnlyLoopbackInterfaces())                              \
            GTEST_SKIP() << "needs a private network namespace with only loopback "     \
                            "(run the tests through scripts/test.sh)";                  \
    } while (0)
