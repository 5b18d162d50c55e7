// A simulator on a loopback address of its own for every test, and a link to it. On
// Windows one simulator serves a whole test program, with its faults switched off before
// each test.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "kestrum.h"
#ifdef _WIN32
#include "tests/support/remote_simulator.h"
#else
#include "kestrum_sim/simulator.h"
#include "tests/kestrum/connect_guard.h"
#endif

namespace kestrum::testing {

// Test programs run side by side, each on its own 127.0.<block>.0/24.
#ifndef KESTRUM_TEST_ADDRESS_BLOCK
#define KESTRUM_TEST_ADDRESS_BLOCK 9
#endif

inline std::string BlockAddress(int host) {
    return "127.0." + std::to_string(KESTRUM_TEST_ADDRESS_BLOCK) + "." + std::to_string(host);
}

#ifdef _WIN32
using TestSimulator = pelvane::testing::RemoteSimulator;

// scripts/windows.sh serves tests/kestrum/small_bus.json on the block's first address.
inline std::unique_ptr<TestSimulator> MakeSimulator(std::string& address) {
    address = BlockAddress(1);
    return std::make_unique<TestSimulator>(address);
}
#else
using TestSimulator = sim::Simulator;

// Replies "KSM464\r\n" to ?CONTROL and "3\r\n" to ?NODE_COUNT(0).
inline sim::Bus SmallBus() {
    sim::Bus bus;
    bus.model = "KSM464";
    bus.nodes.resize(3);
    return bus;
}

inline std::unique_ptr<TestSimulator> MakeSimulator(std::string& address) {
    static int host = 0;
    host = host % 250 + 1;
    address = BlockAddress(host);
    sim::SimulatorOptions options;
    options.address = address;
    options.discovery = false;
    return std::make_unique<TestSimulator>(SmallBus(), options);
}
#endif

class SimLinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        sim_ = MakeSimulator(address_);
        std::string error;
        ASSERT_TRUE(sim_->server().Start(&error)) << error;
        ASSERT_EQ(KST_FastOpen(KST_TYPE_ETHERNET, address_.c_str(), 500, &handle_), 0);
        ASSERT_NE(handle_, nullptr);
    }

    void TearDown() override {
        if (handle_ != nullptr) KST_Close(handle_);
#ifndef _WIN32
        EXPECT_EQ(RefusedNonLoopbackConnects(), 0u);
#endif
    }

    // Runs a command with a roomy buffer; the reply text goes to printed.
    int32_t Execute(const std::string& command, std::string* printed = nullptr,
                    uint32_t timeoutMs = 1000) {
        char reply[4096];
        int32_t status = KST_Execute(handle_, command.c_str(), timeoutMs, reply, sizeof reply);
        if (printed != nullptr) *printed = reply;
        return status;
    }

    std::string address_;
    std::unique_ptr<TestSimulator> sim_;
    KST_HANDLE handle_ = nullptr;
};

}  // namespace kestrum::testing
