#include "segment_server.h"

#include <linux/ethtool.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <utility>

#include "kestrum_sim/simulator.h"
#include "machine.h"

namespace kestrum::sim {
namespace {

// How long Stop may wait for the thread to notice.
constexpr std::chrono::milliseconds kPollInterval{50};
constexpr std::size_t kSourceMacByte = 6;
constexpr uint8_t kProcessedSourceBit = 0x02;

}  // namespace

SegmentServer::StateSource LineOf(Simulator& simulator) {
    return [&simulator] {
        return simulator.WithMachine([](Machine& machine) {
            return LineState{machine.SegmentNodes(Clock::now()), machine.segmentLossPercent()};
        });
    };
}

SegmentServer::SegmentServer(std::string interface, StateSource source, bool anyInterface)
    : interface_(std::move(interface)), source_(std::move(source)), anyInterface_(anyInterface) {}

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

void SegmentServer::Run() {
    while (!stop_) {
        auto frame = link_->Receive(kPollInterval);
        if (!frame) continue;
        // A frame that has passed a processing unit is a reply, ours or another line's.
        if (frame->size() <= kSourceMacByte || ((*frame)[kSourceMacByte] & kProcessedSourceBit))
            continue;
        auto reply = line_.Answer(*frame, source_());
        if (reply && link_->Send(*reply)) ++answered_;
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
