#include "sim/src/segment/segment_server.h"

#include <linux/ethtool.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <utility>

#include "kestrum_sim/simulator.h"

namespace kestrum::sim {
namespace {

// How long Stop may wait for the thread to notice; also how often a port that went
// away is looked for again.
constexpr std::chrono::milliseconds kPollInterval{50};
// The second master's cycle, and its address as its frames come back from the line.
constexpr std::chrono::milliseconds kSecondMasterCycle{2};
constexpr pelvane::ecat::Mac kSecondMasterSource = {0x0E, 0x0C, 0x0C, 0x0C, 0x0C, 0x0C};
// A unicast destination no master on our side owns.
constexpr pelvane::ecat::Mac kSecondMasterUnicast = {0x02, 0x0C, 0x0C, 0x0C, 0x0C, 0x0D};
// Held replies the server keeps; more are dropped, as a full receive ring drops them.
constexpr std::size_t kMaxHeldReplies = 256;

// What that master reads every cycle: the AL status of every node, OR-ed.
std::optional<std::vector<uint8_t>> SecondMasterFrame(uint8_t index, std::size_t nodes,
                                                      bool unicast) {
    pelvane::ecat::Datagram read;
    read.command = pelvane::ecat::Command::kBrd;
    read.index = index;
    read.adp = static_cast<uint16_t>(nodes);
    read.ado = 0x0130;
    read.data = {0x08, 0x00};
    read.wkc = static_cast<uint16_t>(nodes);
    return pelvane::ecat::EncodeFrame(
        {unicast ? kSecondMasterUnicast : pelvane::ecat::kBroadcastMac,
         kSecondMasterSource,
         {read}});
}

}  // namespace

SegmentServer::StateSource LineOf(Simulator& simulator) {
    return [&simulator] {
        return simulator.WithModel([](SimModel& model) { return model.Line(Clock::now()); });
    };
}

SegmentServer::SegmentServer(std::string interface, StateSource source, bool anyInterface)
    : interface_(std::move(interface)),
      source_(std::move(source)),
      anyInterface_(anyInterface),
      held_(kMaxHeldReplies) {}

SegmentServer::~SegmentServer() {
    Stop();
}

bool SegmentServer::Start(std::string* error) {
    if (thread_.joinable()) return true;
    if (!anyInterface_ && InterfaceDriver(interface_) != "veth") {
        if (error != nullptr) *error = "segment: " + interface_ + " is not an end of a veth pair";
        return false;
    }
    std::string reason;
    link_ = pelvane::ecat::RawLink::Open(interface_, &reason);
    if (!link_) {
        if (error != nullptr) *error = "segment: " + reason;
        return false;
    }
    stop_ = false;
    thread_ = std::thread([this] { Run(); });
    return true;
}

void SegmentServer::Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    link_.reset();
}

void SegmentServer::Tend(bool idle) {
    // A deleted interface leaves the socket deaf; one made again under the name is heard.
    if (idle && link_->State() == pelvane::ecat::PortState::kGone) {
        std::string ignored;
        link_->Reopen(&ignored);
    }
    const auto now = std::chrono::steady_clock::now();
    if (!idle && now < nextForeign_) return;
    const LineState state = source_();
    secondMaster_ = state.secondMaster;
    secondMasterUnicast_ = state.secondMasterUnicast;
    if (!secondMaster_ || now < nextForeign_) return;
    nextForeign_ = now + kSecondMasterCycle;
    if (auto frame =
            SecondMasterFrame(secondMasterIndex_++, state.nodes.size(), secondMasterUnicast_))
        link_->Send(*frame);
}

std::chrono::microseconds SegmentServer::Wait() const {
    std::chrono::microseconds wait = secondMaster_ ? kSecondMasterCycle : kPollInterval;
    if (const auto due = held_.NextDue()) {
        const auto left =
            std::chrono::ceil<std::chrono::microseconds>(*due - std::chrono::steady_clock::now());
        wait = std::clamp(left, std::chrono::microseconds::zero(), wait);
    }
    return wait;
}

void SegmentServer::Answer(std::span<const uint8_t> frame) {
    const LineState state = source_();
    auto reply = line_.Answer(frame, state);
    lost_ = line_.framesLost();
    if (!reply) return;
    const auto hold = line_.HeldFor(state);
    if (hold.count() > 0) {
        held_.Push(std::chrono::steady_clock::now() + hold, std::move(*reply));
    } else if (link_->Send(*reply)) {
        ++answered_;
    }
}

void SegmentServer::SendDue() {
    const auto now = std::chrono::steady_clock::now();
    while (auto reply = held_.PopDue(now))
        if (link_->Send(*reply)) ++answered_;
}

void SegmentServer::Run() {
    while (!stop_) {
        auto frame = link_->Receive(Wait());
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
