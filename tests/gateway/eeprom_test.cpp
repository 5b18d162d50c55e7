// The EEPROM handshake against emulated slave controllers of every kind a master meets.
#include "ecat/eeprom.h"

#include <gtest/gtest.h>

#include "ecat/registers.h"
#include "ecat/sii.h"
#include "kestrum_sim/line_channel.h"

namespace kestrum::ecat {
namespace {

using kestrum::sim::EscTraits;
using kestrum::sim::LineState;
using kestrum::sim::SegmentNode;

constexpr Mac kOurs = {0x02, 0x10, 0x10, 0x10, 0x10, 0x10};

class EepromTest : public ::testing::Test {
  protected:
    void Place(EscTraits esc) {
        SegmentNode node;
        node.device.vendorId = 0x41B;
        node.device.deviceId = 0x10305070;
        node.device.esc = esc;
        state.nodes = {node};
    }
    // Writes a command straight to the interface, as another user of it would.
    void Command(uint16_t command, uint32_t word) {
        Datagram write = ReadAt(0, kRegEepromControl, 6);
        write.command = Command::kApwr;
        PutLe16(write.data, 0, command);
        PutLe32(write.data, 2, word);
        ASSERT_TRUE(master.Exchange({write}));
    }
    // Loses the next EEPROM command on its way to the node, when armed.
    struct LossyChannel : FrameChannel {
        explicit LossyChannel(LineState& state) : line([&state] { return state; }) {}
        bool Send(std::span<const uint8_t> frame) override {
            const auto decoded = DecodeFrame(frame, nullptr);
            if (loseCommand && decoded && decoded->datagrams.front().command == Command::kApwr) {
                loseCommand = false;
                return true;
            }
            return line.Send(frame);
        }
        std::optional<std::vector<uint8_t>> Receive(std::chrono::microseconds timeout) override {
            return line.Receive(timeout);
        }
        kestrum::sim::LineChannel line;
        bool loseCommand = false;
    };
    LineState state;
    LossyChannel channel{state};
    Master master{channel, kOurs, std::chrono::milliseconds(2)};
    EepromPort port{master, 0};
};

TEST_F(EepromTest, EachKindOfNodeReadsOrSaysWhyNot) {
    struct Case {
        const char* what;
        EscTraits esc;
        std::optional<bool> offered;
        size_t bytes;  // 0: the read fails with fault
        SiiFault fault;
    };
    const auto with = [](auto set) {
        EscTraits esc;
        set(esc);
        return esc;
    };
    const Case cases[] = {
        {"8-byte", {}, true, 8, SiiFault::kNone},
        {"4-byte", with([](EscTraits& e) { e.eepromReadBytes = 4; }), true, 4, SiiFault::kNone},
        {"emulated, 50 ms: inside its own deadline",
         with([](EscTraits& e) { e.eepromEmulated = true, e.eepromBusyMs = 50; }), true, 8,
         SiiFault::kNone},
        {"50 ms without bit 5: past the deadline", with([](EscTraits& e) { e.eepromBusyMs = 50; }),
         true, 0, SiiFault::kTimeout},
        {"assigned to the processor", with([](EscTraits& e) { e.eepromAssignedToPdi = true; }),
         false, 0, SiiFault::kTimeout},
        {"the processor using it", with([](EscTraits& e) { e.pdiAccessActive = true; }), false, 0,
         SiiFault::kTimeout},
        {"checksum error: read all the same",
         with([](EscTraits& e) { e.eepromChecksumError = true; }), true, 8, SiiFault::kNone},
        {"not loaded", with([](EscTraits& e) { e.eepromNotLoaded = true; }), true, 0,
         SiiFault::kNotLoaded},
    };
    for (const Case& c : cases) {
        Place(c.esc);
        EXPECT_EQ(port.Offered(), c.offered) << c.what;
        if (c.offered == false) continue;  // never touched
        SiiFault fault = SiiFault::kNone;
        const auto data = port.Read(kSiiVendorWord, &fault);
        EXPECT_EQ(data ? data->size() : 0u, c.bytes) << c.what;
        EXPECT_EQ(fault, c.fault) << c.what;
        if (data) {
            EXPECT_EQ(Le32(*data, 0), 0x41Bu) << c.what;
        }
    }
}

TEST_F(EepromTest, ABusyInterfaceIsWaitedForAndAStickyErrorCleared) {
    EscTraits slow;
    slow.eepromBusyMs = 5;
    Place(slow);
    // Busy with another word: a command sent now would be ignored, and the data would be
    // that word's.
    Command(kEepromCommandRead, 0x40);
    SiiFault fault = SiiFault::kNone;
    auto data = port.Read(kSiiProductWord, &fault);
    ASSERT_TRUE(data);
    EXPECT_EQ(Le32(*data, 0), 0x10305070u);
    EXPECT_EQ(port.commands(), 1);

    // An unknown command leaves a missing acknowledge that only command 000 clears.
    Command(0x0400, 0);
    data = port.Read(kSiiVendorWord, &fault);
    ASSERT_TRUE(data);
    EXPECT_EQ(Le32(*data, 0), 0x41Bu);
    EXPECT_EQ(port.commands(), 3);  // the clear, then the read

    // A command that never arrived leaves the last word's data, under its address.
    channel.loseCommand = true;
    data = port.Read(kSiiProductWord, &fault);
    ASSERT_TRUE(data);
    EXPECT_EQ(Le32(*data, 0), 0x10305070u);
}

}  // namespace
}  // namespace kestrum::ecat
