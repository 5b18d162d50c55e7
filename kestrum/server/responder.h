// How a server turns the commands of its links into replies: the hook's own commands
// first, then the command language over the model, its answer as the hook bends it. The
// links' threads and Control go through it, and so does the fuzzer, which answers a
// request stream without sockets. Every call under the lock that guards the model.
#pragma once

#include <string_view>

#include "kestrum/server/controller_model.h"
#include "kestrum/server/link_hook.h"
#include "kestrum/wire/wire.h"

namespace kestrum::server {

// A command's answer, and which links it closes.
struct Answered {
    Outcome outcome;
    Intercepted::Drop drop = Intercepted::Drop::kNone;
    bool hooked = false;  // the hook answered it itself
};

// A request's reply frame, and which links it closes; with Drop::kSender, none is sent.
struct Response {
    Delivery reply;
    Intercepted::Drop drop = Intercepted::Drop::kNone;
    bool hooked = false;
};

class Responder {
  public:
    // The model and the hook, if any, must outlive the responder.
    Responder(ControllerModel& model, LinkHook* hook) : model_(model), hook_(hook) {}

    // The command as link sent it, or as Control runs it (kNoLink): never delayed or bent.
    Answered Answer(LinkId link, std::string_view command, Clock::time_point now);
    // The reply to an assembled request of link, due now unless the hook delays it.
    Response Respond(LinkId link, const wire::RequestHeader& header, std::string_view command,
                     Clock::time_point now);

    void Opened(LinkId link);
    void Closed(LinkId link);
    // Whether the link's bytes leave one at a time.
    bool Bytewise(LinkId link) const;

  private:
    ControllerModel& model_;
    LinkHook* hook_;
};

}  // namespace kestrum::server
