// A scripted stand-in for the controller library: the test sets what each command
// replies and the fake records every call, so command texts and time-outs can be
// checked exactly without any network.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "kestrum.h"

namespace pelvane::fake {

enum class Function { FastOpen, Close, SetTimeOut, Execute, DirectCommand, SearchEth };

// What the library does with the caller's reply buffer.
enum class ReplyWrite {
    Text,          // copies the reply, cut to the capacity and terminated, as promised
    Untouched,     // returns without writing the buffer at all
    Unterminated,  // fills the whole capacity with 'x' and no terminator
};

struct Response {
    int32_t status = 0;
    std::string reply;
    ReplyWrite write = ReplyWrite::Text;
};

struct Call {
    Function function;
    KST_HANDLE handle = nullptr;
    std::string command;                // the command, or the address for FastOpen
    std::optional<uint32_t> timeoutMs;  // absent for the functions that take none
    uint32_t capacity = 0;
};

class Controller {
  public:
    // Forgets all replies and calls; every command then gets the empty reply and 0.
    void Reset();
    void SetDefault(Response response) { default_ = std::move(response); }
    void Reply(const std::string& command, Response response) {
        replies_[command] = std::move(response);
    }
    void Reply(const std::string& command, std::string text, int32_t status = 0) {
        Reply(command, Response{status, std::move(text)});
    }

    const std::vector<Call>& Calls() const { return calls_; }
    std::vector<std::string> Commands() const;

    // Internal to the fake functions.
    const Response& ResponseFor(const std::string& command) const;
    void Record(Call call) { calls_.push_back(std::move(call)); }

  private:
    std::map<std::string, Response> replies_;
    Response default_;
    std::vector<Call> calls_;
};

Controller& TheController();

// A handle value that is never dereferenced.
KST_HANDLE Handle(std::uintptr_t value);

}  // namespace pelvane::fake
