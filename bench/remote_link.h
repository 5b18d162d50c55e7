// The remote benchmarks link only to loopback, in a network of nothing but loopback.
#pragma once

#include <cstdio>
#include <string>

#include "tests/support/loopback_only.h"

namespace pelvane::bench {

// Says why not when it is not so.
inline bool LoopbackOnly(const std::string& address) {
    if (address.rfind("127.", 0) != 0) {
        std::fprintf(stderr, "%s is not a loopback address\n", address.c_str());
        return false;
    }
    if (!testing::OnlyLoopbackInterfaces()) {
        std::fprintf(stderr, "run this inside a private network namespace with only loopback\n");
        return false;
    }
    return true;
}

}  // namespace pelvane::bench
