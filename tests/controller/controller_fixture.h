// Common set-up for the controller tests: a fresh fake, the process-wide values at
// their start-up state, and a private current directory for the command log.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "controller_state.h"
#include "fake_kestrum.h"

namespace pelvane::testing {

class ControllerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fake::TheController().Reset();
        g_controllerHandle = fake::Handle(0x51);
        g_commandTimeout = kDefaultCommandTimeoutMs;
        g_commandLogMode = 0;
    }
    void TearDown() override {
        g_controllerHandle = nullptr;
        g_commandTimeout = kDefaultCommandTimeoutMs;
        g_commandLogMode = 0;
    }
    fake::Controller& controller() { return fake::TheController(); }
};

// Makes a new empty directory the current one for the lifetime of the object.
class ScratchDirectory {
  public:
    ScratchDirectory() : previous_(std::filesystem::current_path()) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "pelvane-ctl-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
        std::filesystem::current_path(path_);
    }
    ~ScratchDirectory() {
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};

}  // namespace pelvane::testing
