// The controller command language answered from the latest complete scan of a segment.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kestrum_sim/command_text.h"
#include "kestrum_sim/interpreter.h"
#include "scan.h"
#include "scan_loop.h"

namespace pelvane::gateway {

struct GatewayIdentity {
    std::string versionDate;  // YYYYMMDD
    std::string serial;       // the interface's MAC, 12 hexadecimal digits
    int cycleMs = 10;
};

class GatewayInterpreter : public kestrum::sim::CommandInterpreter {
  public:
    explicit GatewayInterpreter(GatewayIdentity identity) : identity_(std::move(identity)) {}

    kestrum::sim::Outcome Execute(std::string_view command,
                                  kestrum::sim::Clock::time_point now) override;

    // A report with a scan replaces the one answered from (an empty one while the line is
    // down); lost frames and the line's state count whether or not it has one. Called
    // under the server's lock.
    void Update(LineReport report);

  private:
    kestrum::sim::Outcome NodeCommand(std::string_view name, std::string_view command);
    kestrum::sim::Outcome NodeInfo(const ecat::NodeScan& node, int32_t item) const;
    std::string Report() const;
    int32_t NodeCount() const;

    GatewayIdentity identity_;
    std::shared_ptr<const ecat::BusScan> scan_ = std::make_shared<const ecat::BusScan>();
    uint64_t framesLost_ = 0;
    LineCondition line_ = LineCondition::kUp;
    // Nothing writes it: the SDO read that would is refused.
    const std::vector<float> table_ = std::vector<float>(kestrum::sim::kTableSize, 0.0f);
};

// The build date as YYYYMMDD, from the compiler's "Mmm dd yyyy".
std::string BuildDate(const char* compilerDate);
// "0A1B2C3D4E5F".
std::string MacDigits(const ecat::Mac& mac);

}  // namespace pelvane::gateway
