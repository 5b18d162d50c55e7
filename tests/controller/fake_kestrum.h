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
    std::string command{};                // the command, or the address for FastOpen
    std::optional<uint32_t> timeoutMs{};  // absent for the functions that take none
    uint32_t capacity = 0;
};

struct Controller {
    std::map<std::string, Response> replies;  // by command
    Response fallback;                        // for every other command
    std::vector<Call> calls;

    // The texts of the Execute and DirectCommand calls, in order.
    std::vector<std::string> Commands() const {
        std::vector<std::string> commands;
        for (const Call& call : calls) {
            if (call.function == Function::Execute || call.function == Function::DirectCommand) {
                commands.push_back(call.command);
            }
        }
        return commands;
    }
};

inline Controller& TheController() {
    static Controller controller;
    return controller;
}

// A handle value that is never dereferenced.
inline KST_HANDLE Handle(std::uintptr_t value) {
    return reinterpret_cast<KST_HANDLE>(value);
}

}  // namespace pelvane::fake
