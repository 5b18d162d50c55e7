// What a controller knows, as the command language asks it: the simulated controller,
// or a gateway answering from a real bus. The language itself is read once, in
// command_language.cpp.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "kestrum/language/status_codes.h"

namespace kestrum::server {

using Clock = std::chrono::steady_clock;

// A command's answer: status 0 and the text it prints, or an error code and
// "Error CODE: what".
struct Outcome {
    int32_t status = 0;
    std::string text;
};

class ControllerModel {
  public:
    virtual ~ControllerModel() = default;

    // Called on one of the server's threads with the server's lock held.
    virtual std::string Model() const = 0;
    virtual std::string VersionDate() const = 0;
    virtual std::string SerialNumber() const = 0;
    // The whole "?*ETHERCAT" text. Readers cut "Lostcount:" up to the report's second
    // full stop, so only its first line may hold one.
    virtual std::string Report(Clock::time_point now) = 0;
    // The nodes that answer now; commands about a node below it reach the model.
    virtual int32_t NodeCount(Clock::time_point now) = 0;
    virtual Outcome NodeItem(int32_t node, int32_t item, Clock::time_point now) = 0;
    virtual Outcome AxisCount(int32_t node) = 0;
    virtual Outcome IoBase(int32_t node) = 0;
    virtual Outcome AioBase(int32_t node) = 0;
    // "SDO_READ(0,node,index,subindex,type,tableIndex)": the value goes into the table.
    virtual Outcome SdoRead(int32_t node, int32_t index, int32_t subindex, int32_t type,
                            int32_t tableIndex) = 0;
    // The value table "?TABLE(i)" reads; kTableSize entries.
    virtual const std::vector<float>& Table() const = 0;
};

}  // namespace kestrum::server
