// What a test double may do to the links of a server besides answering them: the
// simulator's faults and delays. The gateway serves without one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "kestrum/server/controller_model.h"

namespace kestrum::server {

using LinkId = uint64_t;
inline constexpr LinkId kNoLink = 0;  // a command run by LinkServer::Control

// A reply on its way to one link.
struct Delivery {
    std::string bytes;        // the encoded reply frame
    Clock::time_point due;    // not sent before
    bool closeAfter = false;  // the link closes once these bytes have left
};

// A command the hook answered itself, and which links it closes.
struct Intercepted {
    enum class Drop { kNone, kSender, kEveryLink };
    Outcome reply;
    Drop drop = Drop::kNone;  // kSender: closed without a reply
};

class LinkHook {
  public:
    virtual ~LinkHook() = default;

    // All called with the server's lock held.
    // A command for the hook rather than the controller, answered at once and never
    // bent; nullopt hands the command to the controller.
    virtual std::optional<Intercepted> Intercept(LinkId sender, std::string_view command,
                                                 Clock::time_point now) = 0;
    // The controller's answer to command, before it is encoded.
    virtual void Answered(std::string_view command, Outcome& answer) = 0;
    // The controller's reply for link, before it is queued.
    virtual void Shape(LinkId link, Delivery& reply) = 0;
    // Whether the link's bytes leave one at a time.
    virtual bool Bytewise(LinkId link) const = 0;
    virtual void Opened(LinkId link) = 0;
    virtual void Closed(LinkId link) = 0;
};

}  // namespace kestrum::server
