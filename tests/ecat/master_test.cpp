// The master's guard and its count of late and lost frames, against a line that returns
// every frame at once unless a test drops or holds back its reply.
#include "ecat/master.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>

#include "ecat/registers.h"

namespace kestrum::ecat {
namespace {

constexpr Mac kOurs = {0x02, 0x10, 0x10, 0x10, 0x10, 0x10};
constexpr Mac kOther = {0x00, 0x0E, 0x0E, 0x0E, 0x0E, 0x0E};

// Returns each frame marked as processed. A reply held back comes after the next frame is
// sent, as it does when the host stalls past the time-out.
class EchoChannel : public FrameChannel {
  public:
    enum class Fate { kReturned, kDropped, kHeld };
    bool Send(std::span<const uint8_t> frame) override {
        ++sent;
        if (held_) queue_.push_back(*std::exchange(held_, std::nullopt));
        std::vector<uint8_t> reply(frame.begin(), frame.end());
        MarkProcessed(reply);
        switch (fate ? fate(sent) : Fate::kReturned) {
            case Fate::kReturned:
                queue_.push_back(std::move(reply));
                break;
            case Fate::kHeld:
                held_ = std::move(reply);
                break;
            case Fate::kDropped:
                break;
        }
        return true;
    }
    std::optional<std::vector<uint8_t>> Receive(std::chrono::microseconds) override {
        if (queue_.empty()) return std::nullopt;
        auto frame = std::move(queue_.front());
        queue_.pop_front();
        return frame;
    }
    void Inject(std::vector<uint8_t> frame) { queue_.push_back(std::move(frame)); }

    std::function<Fate(int sent)> fate;
    int sent = 0;

  private:
    std::deque<std::vector<uint8_t>> queue_;
    std::optional<std::vector<uint8_t>> held_;
};

Datagram Read(Command command, uint16_t ado, uint16_t length) {
    Datagram datagram = ReadAt(0, ado, length);
    datagram.command = command;
    return datagram;
}

TEST(Master, ReadsOnlyBelowTheNodesMemory) {
    EchoChannel channel;
    Master master(channel, kOurs);
    struct Case {
        Command command;
        uint16_t ado, length;
        bool sent;
    };
    const Case cases[] = {
        {Command::kAprd, kRegType, 20, true},
        {Command::kBrd, kRegAlStatus, 2, true},
        {Command::kFprd, 0x0FFE, 2, true},  // the last word below 1000H
        {Command::kAprd, 0x0FFF, 2, false},
        {Command::kFprd, kFirstMemoryAddress, 1, false},  // a SyncManager buffer
        {Command::kBrd, 0x1800, 8, false},
        {Command::kAprd, 0xFFFF, 2, false},  // would wrap round to 0001H
    };
    for (const Case& c : cases) {
        const int before = channel.sent;
        std::string error;
        const bool answered =
            master.Exchange({Read(c.command, c.ado, c.length)}, &error).has_value();
        EXPECT_EQ(answered, c.sent) << std::hex << c.ado << ": " << error;
        EXPECT_EQ(channel.sent - before, c.sent ? 1 : 0) << std::hex << c.ado;
        if (!c.sent) {
            EXPECT_EQ(master.lastFailure(), ExchangeFailure::kRefused);
        }
    }
}

TEST(Master, AReplyAfterItsTimeOutIsLateAndOnlyAMissingOneIsLost) {
    using Fate = EchoChannel::Fate;
    EchoChannel channel;
    Master master(channel, kOurs, std::chrono::microseconds(100));
    const Datagram read = ReadAt(0, kRegAlStatus, 2);
    const auto settled = [&] {
        master.Settle(Master::Clock::now() + kLostAfter);
        return master.framesLost();
    };

    channel.fate = [](int sent) { return sent == 1 ? Fate::kHeld : Fate::kReturned; };
    EXPECT_FALSE(master.Exchange({read}));
    EXPECT_EQ(master.lastFailure(), ExchangeFailure::kNoReply);
    EXPECT_TRUE(master.Exchange({read}));  // the held reply comes first, and is no answer
    EXPECT_EQ(master.framesLate(), 1u);
    EXPECT_EQ(settled(), 0u);

    channel.fate = [](int sent) { return sent == 3 ? Fate::kDropped : Fate::kReturned; };
    EXPECT_FALSE(master.Exchange({read}));
    master.Settle(Master::Clock::now());
    EXPECT_EQ(master.framesLost(), 0u);  // it may yet come
    EXPECT_EQ(settled(), 1u);
    EXPECT_EQ(settled(), 1u);  // counted once, never taken back

    // An awaited frame's index is not used again while another is free, or its late reply
    // could pass for the new frame's; only with every index waiting is the oldest lost.
    Master wrapping(channel, kOurs, std::chrono::microseconds(100));
    channel.sent = 0;
    channel.fate = [](int sent) { return sent == 1 ? Fate::kDropped : Fate::kReturned; };
    for (int i = 0; i < 300; ++i) EXPECT_EQ(wrapping.Exchange({read}).has_value(), i > 0);
    EXPECT_EQ(wrapping.framesLost(), 0u);
    channel.fate = [](int) { return Fate::kDropped; };
    for (int i = 0; i < 256; ++i) EXPECT_FALSE(wrapping.Exchange({read}));
    EXPECT_EQ(wrapping.framesLost(), 1u);
    EXPECT_EQ(wrapping.framesLate(), 0u);
}

TEST(Master, AnyEtherCatFrameFromAnotherSourceIsAnotherMasters) {
    EchoChannel channel;
    Master master(channel, kOurs, std::chrono::microseconds(100), std::chrono::seconds(5));
    std::vector<uint8_t> frame(kMinFrameBytes, 0xEE);  // no datagram in it decodes
    std::copy(kOther.begin(), kOther.end(), frame.begin() + kSourceMacOffset);
    frame[12] = 0x08;  // IPv4: none of ours
    frame[13] = 0x00;
    channel.Inject(frame);
    master.Listen(std::chrono::microseconds(100));
    EXPECT_EQ(master.framesForeign(), 0u);
    frame[12] = 0x88;
    frame[13] = 0xA4;
    channel.Inject(frame);
    master.Listen(std::chrono::microseconds(100));
    EXPECT_EQ(master.framesForeign(), 1u);
    EXPECT_TRUE(master.HeldBack());
}

}  // namespace
}  // namespace kestrum::ecat
