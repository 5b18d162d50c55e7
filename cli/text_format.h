// Small text helpers of the command-line output.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pelvane::cli {

// Terminal columns a UTF-8 text takes; East Asian wide characters take two.
size_t DisplayWidth(std::string_view utf8);

// Rows as columns padded to their widest cell, two blanks apart; one line each, no line break.
std::vector<std::string> AlignedTable(const std::vector<std::vector<std::string>>& rows);

// One CSV field, quoted when it holds a comma, a quote or a line break.
std::string CsvField(std::string_view text);
std::string CsvLine(const std::vector<std::string>& fields);

// ISO 8601 UTC, seconds or milliseconds: 2026-05-01T10:00:02Z, 2026-05-01T10:00:02.300Z.
std::string UtcTime(std::chrono::system_clock::time_point when, bool withMilliseconds);

// Controller text made safe for a terminal or a text file: control bytes (C0, DEL and
// C1 in UTF-8) become '?', so a reply can neither steer the terminal nor break a line.
std::string Printable(std::string_view text);

// A counter as read; from 255 on the register has stopped: "255+".
std::string CounterText(int32_t value);

}  // namespace pelvane::cli
