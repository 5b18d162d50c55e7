// How a controller of ours reads its commands and prints its replies: the simulated one
// and the gateway alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kestrum/server/controller_model.h"
#include "kestrum/server/integer_text.h"

namespace kestrum::server {

// A failed command: the status, and "Error CODE: what" as its text.
Outcome Error(int32_t status, std::string_view what);
// A command that prints one line.
Outcome Print(std::string text);
Outcome PrintInt(int64_t value);

std::string_view TrimBlanks(std::string_view s);
bool StartsWith(std::string_view s, std::string_view prefix);

// Blanks around a number are allowed in commands.
template <typename T>
std::optional<T> ToInt(std::string_view s) {
    return ParseInteger<T>(TrimBlanks(s));
}

// Table values as a controller prints them: integers without a fraction, never an
// exponent, '.' as decimal point whatever the locale.
std::string FormatTableValue(float value);

// The reply to "?TABLE(i) TABLE(j) ...".
Outcome TableReply(std::string_view command, const ValueTable& table);

// NAME(a,b,...) with optional blanks; nullopt when the form is broken.
std::optional<std::vector<int32_t>> CallArgs(std::string_view command, std::string_view name);

// A bus command NAME(0,node,...) of count arguments: the slot must be 0 and, from two
// arguments on, the node below nodeCount. Fills args, or gives the failure to reply.
std::optional<Outcome> BusArgs(std::string_view command, std::string_view name, std::size_t count,
                               int32_t nodeCount, std::vector<int32_t>& args);

}  // namespace kestrum::server
