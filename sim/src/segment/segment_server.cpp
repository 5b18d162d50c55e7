#include "kestrum_sim/segment_server.h"

#include <linux/ethtool.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <span>
#include <thread>
#include <utility>

#include "ecat/raw_link.h"
#include "ecat/registers.h"
#include "kestrum_sim/simulator.h"
#include "sim/src/segment/emulated_line.h"
#include "sim/src/segment/held_replies.h"

namespace kestrum::sim {
namespace {

// How long Stop may wait for the thread to notice; also how often a port that went
// away is looked for again.
constexpr std::chrono::milliseconds kPollInterval{50};
// The second master's cycle, and its address as its frames come back from the line.
constexpr std::chrono::milliseconds kSecondMasterCycle{2};
constexpr ecat::Mac kSecondMasterSource = {0x0E, 0x0C, 0x0C, 0x0C, 0x0C, 0x0C};
// A unicast destination no master on our side owns.
constexpr ecat::Mac kSecondMasterUnicast = {0x02, 0x0C, 0x0C, 0x0C, 0x0C, 0x0D};
// Held replies the server keeps; more are dropped, as a full receive ring drops them.
constexpr std::size_t kMaxHeldReplies = 256;

// What that master reads every cycle: the AL status of every node, OR-ed.
std::optional<std::vector<uint8_t>> SecondMasterFrame(uint8_t index, std::size_t nodes,
                                                      bool unicast) {
    ecat::Datagram read;
    read.command = ecat::Command::kBrd;
    read.index = index;
    read.adp = static_cast<uint16_t>(nodes);
    read.ado = ecat::kRegAlStatus;
    read.data = {0x08, 0x00};
    read.wkc = static_cast<uint16_t>(nodes);
    return ecat::EncodeFrame(
        {unicast ? kSecondMasterUnicast : ecat::kBroadcastMac,
         kSecondMasterSource,
         {read}});
}

}  // namespace

SegmentServer::StateSource LineOf(Simulator& simulator) {
    return [&simulator] {
        return simulator.WithModel([](SimModel& model) { return model.Line(Clock::now()); });
    };
}

struct SegmentServer::Impl {
    Impl(std::string i, StateSource s, bool any)
        : interface(std::move(i)), source(std::move(s)), anyInterface(any), held(kMaxHeldReplies) {}

    void Run();
    // How long Receive may wait: up to the next held reply or the second master's cycle.
    std::chrono::microseconds Wait() const;
    void Answer(std::span<const uint8_t> frame);
    void SendDue();
    // Between frames: the port opened again if it went away, and the second master's
    // frame sent when one is due.
    void Tend(bool idle);

    std::string interface;
    StateSource source;
    bool anyInterface;
    std::unique_ptr<ecat::RawLink> link;
    EmulatedLine line;
    std::atomic<bool> stop{false};
    std::atomic<uint64_t> answered{0};
    std::atomic<uint64_t> lost{0};
    HeldReplies held;
    bool secondMaster = false;
    bool secondMasterUnicast = false;
    uint8_t secondMasterIndex = 0;
    std::chrono::steady_clock::time_point nextForeign{};
    std::thread thread;
};

SegmentServer::SegmentServer(std::string interface, StateSource source, bool anyInterface)
    : impl_(std::make_unique<Impl>(std::move(interface), std::move(source), anyInterface)) {}

SegmentServer::~SegmentServer() {
    Stop();
}

uint64_t SegmentServer::framesAnswered() const {
    return impl_->answered.load();
}

uint64_t SegmentServer::framesLost() const {
    return impl_->lost.load();
}

bool SegmentServer::Start(std::string* error) {
    Impl& impl = *impl_;
    if (impl.thread.joinable()) return true;
    if (!impl.anyInterface && InterfaceDriver(impl.interface) != "veth") {
        if (error != nullptr) *error = "segment: " + impl.interface + " is not an end of a veth pair";
        return false;
    }
    std::string reason;
    impl.link = ecat::RawLink::Open(impl.interface, &reason);
    if (!impl.link) {
        if (error != nullptr) *error = "segment: " + reason;
        return false;
    }
    impl.stop = false;
    impl.thread = std::thread([&impl] { impl.Run(); });
    return true;
}

void SegmentServer::Stop() {
    impl_->stop = true;
    if (impl_->thread.joinable()) impl_->thread.join();
    impl_->link.reset();
}

void SegmentServer::Impl::Tend(bool idle) {
    // A deleted interface leaves the socket deaf; one made again under the name is heard.
    if (idle && link->State() == ecat::PortState::kGone) {
        std::string ignored;
        link->Reopen(&ignored);
    }
    const auto now = std::chrono::steady_clock::now();
    if (!idle && now < nextForeign) return;
    const LineState state = source();
    secondMaster = state.secondMaster;
    secondMasterUnicast = state.secondMasterUnicast;
    if (!secondMaster || now < nextForeign) return;
    nextForeign = now + kSecondMasterCycle;
    if (auto frame =
            SecondMasterFrame(secondMasterIndex++, state.nodes.size(), secondMasterUnicast))
        link->Send(*frame);
}

std::chrono::microseconds SegmentServer::Impl::Wait() const {
    std::chrono::microseconds wait = secondMaster ? kSecondMasterCycle : kPollInterval;
    if (const auto due = held.NextDue()) {
        const auto left =
            std::chrono::ceil<std::chrono::microseconds>(*due - std::chrono::steady_clock::now());
        wait = std::clamp(left, std::chrono::microseconds::zero(), wait);
    }
    return wait;
}

void SegmentServer::Impl::Answer(std::span<const uint8_t> frame) {
    const LineState state = source();
    auto reply = line.Answer(frame, state);
    lost = line.framesLost();
    if (!reply) return;
    const auto hold = line.HeldFor(state);
    if (hold.count() > 0) {
        held.Push(std::chrono::steady_clock::now() + hold, std::move(*reply));
    } else if (link->Send(*reply)) {
        ++answered;
    }
}

void SegmentServer::Impl::SendDue() {
    const auto now = std::chrono::steady_clock::now();
    while (auto reply = held.PopDue(now))
        if (link->Send(*reply)) ++answered;
}

void SegmentServer::Impl::Run() {
    while (!stop) {
        auto frame = link->Receive(Wait());
        Tend(!frame);
        SendDue();
        // An ESC does not look at addresses, so a frame with the processed bit in its source
        // is answered too. Our own replies and the second master's frames never come back
        // here: the link does not hear what it sends (PACKET_IGNORE_OUTGOING).
        if (frame) Answer(*frame);
    }
}

std::string InterfaceDriver(const std::string& interface) {
    ifreq request{};
    if (interface.empty() || interface.size() >= IFNAMSIZ) return {};
    std::memcpy(request.ifr_name, interface.c_str(), interface.size() + 1);
    ethtool_drvinfo info{};
    info.cmd = ETHTOOL_GDRVINFO;
    request.ifr_data = reinterpret_cast<char*>(&info);
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return {};
    const bool known = ioctl(fd, SIOCETHTOOL, &request) == 0;
    close(fd);
    return known ? std::string(info.driver, strnlen(info.driver, sizeof info.driver)) : "";
}

}  // namespace kestrum::sim
