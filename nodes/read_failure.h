// Why a value stayed unread: the command asked and what came back instead of a value.
// Said with the value wherever a reading is judged, so that no verdict rests on it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace pelvane {

struct ReadFailure {
    std::string command;  // as sent, "?NODE_INFO(0,3,768)"
    // A controller's error, a library status or a query result; 0 with value for a number
    // outside the register's range.
    int32_t status = 0;
    std::optional<int64_t> value;
};

// "the controller answered ?NODE_INFO(0,3,768) with Error 4".
std::string ReadFailureText(const ReadFailure& failure);

// Whether the answer says something of the controller rather than of the link: it refused
// the command, or answered it with nothing, no number or a number out of range.
bool AnsweredOddly(const ReadFailure& failure);

}  // namespace pelvane
