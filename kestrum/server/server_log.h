// The link server's log on stderr: one line per event, with the time of day.
#pragma once

#include <string>
#include <string_view>

namespace kestrum::server {

// format takes up to two %s, filled with a and b.
void Log(const char* format, const std::string& a, const std::string& b = {});

// Bytes that may go into a log line as they are.
std::string Printable(std::string_view s);

}  // namespace kestrum::server
