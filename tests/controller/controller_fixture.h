// Common set-up for the controller tests: a fresh fake and the process-wide values at
// their start-up state.
#pragma once

#include <gtest/gtest.h>

#include "controller/controller_state.h"
#include "tests/controller/fake_kestrum.h"

namespace pelvane::testing {

class ControllerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fake::TheController() = {};
        Restore();
        g_controllerHandle = fake::Handle(0x51);
    }
    void TearDown() override { Restore(); }
    static void Restore() {
        g_controllerHandle = nullptr;
        g_commandTimeout = kDefaultCommandTimeoutMs;
        g_commandLogMode = 0;
    }
    fake::Controller& controller() { return fake::TheController(); }
};

}  // namespace pelvane::testing
