#include "command.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "controller_fixture.h"

namespace pelvane::testing {
namespace {

using fake::Function;
using fake::ReplyWrite;
using fake::Response;

class CommandTest : public ControllerTest {};

TEST_F(CommandTest, ExecutePassesHandleTimeoutReadAfreshAndFullCapacity) {
    controller().Reply("?NODE_COUNT(0)", "3", 0);
    controller().Reply("BAD", "", 20007);
    char reply[kReplyCapacity];

    EXPECT_EQ(ExecuteCommand(fake::Handle(7), "?NODE_COUNT(0)", reply), 0);
    EXPECT_STREQ(reply, "3");
    g_commandTimeout = 250;
    EXPECT_EQ(ExecuteCommand(fake::Handle(8), "BAD", reply), 20007);

    const auto& calls = controller().Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].function, Function::Execute);
    EXPECT_EQ(calls[0].handle, fake::Handle(7));
    EXPECT_EQ(calls[0].command, "?NODE_COUNT(0)");
    EXPECT_EQ(calls[0].timeoutMs, std::optional<uint32_t>(1000));
    EXPECT_EQ(calls[0].capacity, kReplyCapacity);
    EXPECT_EQ(calls[1].handle, fake::Handle(8));
    EXPECT_EQ(calls[1].timeoutMs, std::optional<uint32_t>(250));
}

TEST_F(CommandTest, DirectSendsNoTimeoutEvenWhenOneIsSet) {
    g_commandTimeout = 4321;
    controller().Reply("?TABLE(0) ", "1.5", -3);
    char reply[kReplyCapacity];

    EXPECT_EQ(DirectCommand(fake::Handle(9), "?TABLE(0) ", reply), -3);
    EXPECT_STREQ(reply, "1.5");
    const auto& calls = controller().Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].function, Function::DirectCommand);
    EXPECT_EQ(calls[0].handle, fake::Handle(9));
    EXPECT_EQ(calls[0].timeoutMs, std::nullopt);
    EXPECT_EQ(calls[0].capacity, kReplyCapacity);
}

// Callers read the reply whatever happened, so it must always be a terminated text.
TEST_F(CommandTest, ReplyIsATextEvenWhenTheLibraryMisbehaves) {
    char reply[kReplyCapacity];
    controller().SetDefault(Response{20009, "stale", ReplyWrite::Untouched});
    std::memset(reply, 'Z', sizeof reply);
    EXPECT_EQ(ExecuteCommand(g_controllerHandle, "X", reply), 20009);
    EXPECT_STREQ(reply, "");
    std::memset(reply, 'Z', sizeof reply);
    EXPECT_EQ(DirectCommand(g_controllerHandle, "X", reply), 20009);
    EXPECT_STREQ(reply, "");

    controller().SetDefault(Response{0, "", ReplyWrite::Unterminated});
    EXPECT_EQ(ExecuteCommand(g_controllerHandle, "X", reply), 0);
    EXPECT_EQ(strnlen(reply, sizeof reply), kReplyCapacity - 1);
    EXPECT_EQ(DirectCommand(g_controllerHandle, "X", reply), 0);
    EXPECT_EQ(strnlen(reply, sizeof reply), kReplyCapacity - 1);
}

// The log tests run in a directory of their own and in a zone five hours east of UTC,
// so a timestamp in UTC instead of local time is caught.
class CommandLogTest : public ControllerTest {
  protected:
    void SetUp() override {
        ControllerTest::SetUp();
        if (const char* tz = std::getenv("TZ")) savedTz_ = tz;
        setenv("TZ", "PLV-5", 1);
        tzset();
    }
    void TearDown() override {
        if (savedTz_) {
            setenv("TZ", savedTz_->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
        ControllerTest::TearDown();
    }

    static bool LogExists() { return std::filesystem::exists(kCommandLogFileName); }
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

    // Runs one command and returns the entry it added with its timestamp checked and cut
    // off.
    std::string LoggedEntry(bool direct, const char* command) {
        const std::string before = ReadLog();
        const std::string earliest = Timestamp(std::time(nullptr));
        char reply[kReplyCapacity];
        if (direct) {
            DirectCommand(g_controllerHandle, command, reply);
        } else {
            ExecuteCommand(g_controllerHandle, command, reply);
        }
        const std::string latest = Timestamp(std::time(nullptr));
        const std::string log = ReadLog();
        EXPECT_EQ(log.compare(0, before.size(), before), 0) << "earlier entries changed";
        std::string entry = log.substr(before.size());
        if (entry.size() < 20) {
            ADD_FAILURE() << "entry too short: " << entry;
            return entry;
        }
        const std::string stamp = entry.substr(0, 19);
        for (std::size_t i = 0; i < stamp.size(); ++i) {
            const char expected = "0000-00-00 00:00:00"[i];
            if (expected == '0') {
                EXPECT_TRUE(stamp[i] >= '0' && stamp[i] <= '9') << stamp;
            } else {
                EXPECT_EQ(stamp[i], expected) << stamp;
            }
        }
        EXPECT_GE(stamp, earliest);
        EXPECT_LE(stamp, latest);
        EXPECT_EQ(entry[19], ' ');
        return entry.substr(20);
    }

    ScratchDirectory directory_;
    std::optional<std::string> savedTz_;
};

TEST_F(CommandLogTest, ModeZeroNeverTouchesTheFile) {
    controller().Reply("FAIL", "oops", 5);
    char reply[kReplyCapacity];
    ExecuteCommand(g_controllerHandle, "OK", reply);
    ExecuteCommand(g_controllerHandle, "FAIL", reply);
    DirectCommand(g_controllerHandle, "FAIL", reply);
    EXPECT_FALSE(LogExists());
}

TEST_F(CommandLogTest, ModeOneLogsFailuresOnly) {
    g_commandLogMode = 1;
    controller().Reply("?NODE_COUNT(0)", "2", 0);
    controller().Reply("?NODE_IO(0,1)", "some text", 5);
    char reply[kReplyCapacity];

    ExecuteCommand(g_controllerHandle, "?NODE_COUNT(0)", reply);
    ASSERT_TRUE(LogExists());
    EXPECT_EQ(ReadLog(), "");

    EXPECT_EQ(LoggedEntry(false, "?NODE_IO(0,1)"), "?NODE_IO(0,1)\tError:5\t\r\n");
    const std::string afterFailure = ReadLog();
    ExecuteCommand(g_controllerHandle, "?NODE_COUNT(0)", reply);
    EXPECT_EQ(ReadLog(), afterFailure);
}

TEST_F(CommandLogTest, ModeTwoOpensTheFileButWritesNothing) {
    g_commandLogMode = 2;
    controller().Reply("FAIL", "", 5);
    char reply[kReplyCapacity];
    ExecuteCommand(g_controllerHandle, "FAIL", reply);
    DirectCommand(g_controllerHandle, "OK", reply);
    ASSERT_TRUE(LogExists());
    EXPECT_EQ(ReadLog(), "");
}

TEST_F(CommandLogTest, OtherModesLogRepliesAndErrors) {
    controller().Reply("?NODE_COUNT(0)", "2", 0);
    controller().Reply("?NODE_INFO(0,0,768)", "ignored", -20);
    controller().Reply("?*ETHERCAT", "Lostcount:0.\r\n", 0);
    controller().Reply("?TABLE(0) ", "", 0);

    for (const int32_t mode : {3, -1}) {
        SCOPED_TRACE(mode);
        g_commandLogMode = mode;
        EXPECT_EQ(LoggedEntry(false, "?NODE_COUNT(0)"), "?NODE_COUNT(0)\t\tRe:2\r\n");
        EXPECT_EQ(LoggedEntry(false, "?NODE_INFO(0,0,768)"),
                  "?NODE_INFO(0,0,768)\tError:-20\t\r\n");
        EXPECT_EQ(LoggedEntry(false, "?*ETHERCAT"), "?*ETHERCAT\t\tRe:Lostcount:0.\r\n\r\n");
        EXPECT_EQ(LoggedEntry(true, "?TABLE(0) "), "?TABLE(0) \t\tRe:\r\n");
    }
}

TEST_F(CommandLogTest, UnopenableLogLeavesTheStatusAlone) {
    g_commandLogMode = 3;
    std::filesystem::create_directory(kCommandLogFileName);
    controller().Reply("FAIL", "", 17);
    char reply[kReplyCapacity];
    EXPECT_EQ(ExecuteCommand(g_controllerHandle, "FAIL", reply), 17);
    EXPECT_EQ(DirectCommand(g_controllerHandle, "OK", reply), 0);
}

}  // namespace
}  // namespace pelvane::testing
