// Watches every connect() the test program makes, the library's included:
// counts them and refuses any destination outside 127.0.0.0/8.
#pragma once

#include <cstddef>

namespace kestrum::testing {

std::size_t ConnectAttempts();
std::size_t RefusedNonLoopbackConnects();

}  // namespace kestrum::testing
