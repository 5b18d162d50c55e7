// The controller command language answered from the latest complete scan of a segment.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ecat/scan.h"
#include "gateway/drive_desk.h"
#include "gateway/scan_loop.h"
#include "kestrum/server/controller_model.h"

namespace kestrum::gateway {

struct GatewayIdentity {
    std::string versionDate;  // YYYYMMDD
    std::string serial;       // the interface's MAC, 12 hexadecimal digits
    int cycleMs = 10;
    bool preop = false;  // nodes found in INIT are taken to PREOP
};

class GatewayModel final : public kestrum::server::ControllerModel {
  public:
    using Clock = kestrum::server::Clock;
    using NodeValue = kestrum::server::NodeValue;

    explicit GatewayModel(GatewayIdentity identity) : identity_(std::move(identity)) {}

    std::string Model() const override { return "GATEWAY"; }
    std::string VersionDate() const override { return identity_.versionDate; }
    std::string SerialNumber() const override { return identity_.serial; }
    std::string Report(Clock::time_point now) override;
    int32_t NodeCount(Clock::time_point now) override;
    NodeValue NodeItem(int32_t node, int32_t item, Clock::time_point now) override;
    NodeValue AxisCount(int32_t node) override;
    NodeValue IoBase(int32_t node) override;
    NodeValue AioBase(int32_t node) override;
    // Register values older than this are no longer served: the node was not answered
    // since. Identities stay: a lost frame says nothing of which node is there.
    static constexpr std::chrono::seconds kServedFor{1};
    // Waits on the desk, bounded, while the loop asks the drive.
    NodeValue SdoRead(int32_t node, int32_t index, int32_t subindex, int32_t type) override;

    // A report with a scan replaces the one answered from (an empty one while the line is
    // down); lost frames and the line's state count whether or not it has one. Called on
    // the loop's thread: it is taken up at the next command, so the loop never waits for
    // the server's lock, which a command waiting for a drive holds.
    void Update(LineReport report);
    DriveDesk& desk() { return desk_; }

  private:
    void TakeUpdate();
    const ecat::NodeScan& At(int32_t node) const { return scan_->nodes[static_cast<size_t>(node)]; }
    // The sum over the nodes before node of each one's channels, or why it is unknown.
    NodeValue Base(int32_t node, int32_t (*channels)(const ecat::IoCounts&)) const;

    GatewayIdentity identity_;
    std::shared_ptr<const ecat::BusScan> scan_ = std::make_shared<const ecat::BusScan>();
    uint64_t framesLost_ = 0;
    uint64_t framesLate_ = 0;
    LineCondition line_ = LineCondition::kUp;
    RecentLoss loss_;
    DriveDesk desk_;
    std::mutex handoff_;
    std::optional<LineReport> handed_;
};

// The build date as YYYYMMDD, from the compiler's "Mmm dd yyyy".
std::string BuildDate(const char* compilerDate);
// "0A1B2C3D4E5F".
std::string MacDigits(const ecat::Mac& mac);

}  // namespace kestrum::gateway
