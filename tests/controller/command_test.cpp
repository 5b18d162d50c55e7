#include "controller/command.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <system_error>

#include "tests/controller/controller_fixture.h"
#include "tests/support/environment.h"

namespace pelvane::testing {
namespace {

using fake::ReplyWrite;
using fake::Response;

int32_t RunCommand(bool direct, KST_HANDLE handle, const char* command, char* reply) {
    return direct ? DirectCommand(handle, command, reply) : ExecuteCommand(handle, command, reply);
}

using CommandTest = ControllerTest;

// Callers read the reply whatever happened, so it must always be a terminated text.
TEST_F(CommandTest, PassesTheCallOnAndAlwaysLeavesAText) {
    char reply[kReplyCapacity];
    for (const bool direct : {false, true}) {
        SCOPED_TRACE(direct);
        controller() = {};
        controller().replies["?NODE_COUNT(0)"] = {20007, "3"};
        g_commandTimeout = direct ? 4321 : 250;  // read at each call
        EXPECT_EQ(RunCommand(direct, fake::Handle(7), "?NODE_COUNT(0)", reply), 20007);
        EXPECT_STREQ(reply, "3");
        ASSERT_EQ(controller().calls.size(), 1u);
        const fake::Call& call = controller().calls[0];
        EXPECT_EQ(call.function, direct ? fake::Function::DirectCommand : fake::Function::Execute);
        EXPECT_EQ(call.handle, fake::Handle(7));
        EXPECT_EQ(call.command, "?NODE_COUNT(0)");
        EXPECT_EQ(call.timeoutMs, direct ? std::nullopt : std::optional<uint32_t>(250));
        EXPECT_EQ(call.capacity, kReplyCapacity);

        controller().fallback = Response{20009, "stale", ReplyWrite::Untouched};
        EXPECT_EQ(RunCommand(direct, g_controllerHandle, "X", reply), 20009);
        EXPECT_STREQ(reply, "");
        controller().fallback = Response{0, "", ReplyWrite::Unterminated};
        EXPECT_EQ(RunCommand(direct, g_controllerHandle, "X", reply), 0);
        EXPECT_EQ(strnlen(reply, sizeof reply), kReplyCapacity - 1);
    }
}

// The log test runs in a directory of its own and in a zone five hours east of UTC,
// so a timestamp in UTC instead of local time is caught.
class CommandLogTest : public ControllerTest {
  protected:
    void SetUp() override {
        ControllerTest::SetUp();
        if (const char* tz = std::getenv("TZ")) savedTz_ = tz;
        SetEnvironment("TZ", "PLV-5");
        ReadTimeZone();
        directory_ = MakeScratchFolder("pelvane-");
        std::filesystem::current_path(directory_);
    }
    void TearDown() override {
        std::filesystem::current_path(previous_);
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
        SetEnvironment("TZ", savedTz_);
        ReadTimeZone();
        ControllerTest::TearDown();
    }

    static std::string ReadLog() {
        std::ifstream in(kCommandLogFileName, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static std::string Timestamp(std::time_t when) {
        when += 5 * 3600;
        std::tm utc{};
        gmtime_r(&when, &utc);
        char text[32];
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &utc);
        return text;
    }

    // Runs one command and returns what it added to the log, with the timestamp checked
    // and cut off.
    std::string LoggedEntry(bool direct, const char* command) {
        const std::string before = ReadLog();
        const std::string earliest = Timestamp(std::time(nullptr));
        char reply[kReplyCapacity];
        RunCommand(direct, g_controllerHandle, command, reply);
        const std::string latest = Timestamp(std::time(nullptr));
        const std::string log = ReadLog();
        EXPECT_EQ(log.compare(0, before.size(), before), 0) << "earlier entries changed";
        const std::string entry = log.substr(before.size());
        if (entry.empty()) return entry;
        if (entry.size() < 20 || entry[19] != ' ') {
            ADD_FAILURE() << "no timestamp: " << entry;
            return entry;
        }
        // Bounds this close together pin the form as well.
        const std::string stamp = entry.substr(0, 19);
        EXPECT_GE(stamp, earliest);
        EXPECT_LE(stamp, latest);
        return entry.substr(20);
    }

    const std::filesystem::path previous_ = std::filesystem::current_path();
    std::filesystem::path directory_;
    std::optional<std::string> savedTz_;
};

// Mode 1 logs failures only, mode 2 opens the file but writes nothing, mode 0 never
// touches it, and every other mode logs everything.
TEST_F(CommandLogTest, EachModeWritesItsEntries) {
    struct Step {
        bool direct;
        const char* command;
        Response response;
        const char* entry;
    };
    const Step steps[] = {
        {false, "?NODE_COUNT(0)", {0, "2"}, "?NODE_COUNT(0)\t\tRe:2\r\n"},
        {false, "?NODE_INFO(0,0,768)", {-20, "ignored"}, "?NODE_INFO(0,0,768)\tError:-20\t\r\n"},
        {false, "?*ETHERCAT", {0, "Lostcount:0.\r\n"}, "?*ETHERCAT\t\tRe:Lostcount:0.\r\n\r\n"},
        {true, "?TABLE(0) ", {0, ""}, "?TABLE(0) \t\tRe:\r\n"},
        {true, "?NODE_IO(0,1)", {5, "some text"}, "?NODE_IO(0,1)\tError:5\t\r\n"}};
    for (const Step& step : steps) controller().replies[step.command] = step.response;
    for (const int32_t mode : {0, 1, 2, 3, -1}) {
        SCOPED_TRACE(mode);
        std::filesystem::remove(kCommandLogFileName);
        g_commandLogMode = mode;
        for (const Step& step : steps) {
            const bool failure = step.response.status != 0;
            const bool logged = mode != 0 && mode != 2 && (mode != 1 || failure);
            EXPECT_EQ(LoggedEntry(step.direct, step.command), logged ? step.entry : "")
                << step.command;
            EXPECT_EQ(std::filesystem::exists(kCommandLogFileName), mode != 0);
        }
    }
    // A log that cannot be opened leaves the status alone.
    std::filesystem::remove(kCommandLogFileName);
    std::filesystem::create_directory(kCommandLogFileName);
    char reply[kReplyCapacity];
    EXPECT_EQ(ExecuteCommand(g_controllerHandle, "?NODE_IO(0,1)", reply), 5);
}

}  // namespace
}  // namespace pelvane::testing
