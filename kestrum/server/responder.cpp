#include "kestrum/server/responder.h"

#include <string>
#include <utility>

#include "kestrum/server/command_language.h"

namespace kestrum::server {
namespace {

// A reply longer than a frame may carry is cut to fit.
std::string EncodeReply(uint32_t seq, Outcome answer) {
    wire::Reply reply{seq, answer.status, std::move(answer.text)};
    if (reply.text.size() > wire::kMaxReplyLength) reply.text.resize(wire::kMaxReplyLength);
    return wire::EncodeReply(reply);
}

}  // namespace

Answered Responder::Answer(LinkId link, std::string_view command, Clock::time_point now) {
    if (hook_) {
        if (auto intercepted = hook_->Intercept(link, command, now))
            return Answered{std::move(intercepted->reply), intercepted->drop, true};
    }
    Outcome answer = AnswerCommand(model_, command, now);
    if (hook_) hook_->Answered(command, answer);
    return Answered{std::move(answer)};
}

Response Responder::Respond(LinkId link, const wire::RequestHeader& header,
                            std::string_view command, Clock::time_point now) {
    Answered answered = Answer(link, command, now);
    Response response{Delivery{EncodeReply(header.seq, std::move(answered.outcome)), now},
                      answered.drop, answered.hooked};
    // The hook's own replies are never bent.
    if (hook_ && !answered.hooked) hook_->Shape(link, response.reply);
    return response;
}

void Responder::Opened(LinkId link) {
    if (hook_) hook_->Opened(link);
}

void Responder::Closed(LinkId link) {
    if (hook_) hook_->Closed(link);
}

bool Responder::Bytewise(LinkId link) const {
    return hook_ && hook_->Bytewise(link);
}

}  // namespace kestrum::server
