#include "kestrum/server/server_log.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace kestrum::server {

void Log(const char* format, const std::string& a, const std::string& b) {
    auto now = std::chrono::system_clock::now();
    std::time_t t = std::chrono::system_clock::to_time_t(now);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
    std::tm tm{};
    localtime_r(&t, &tm);
    std::fprintf(stderr, "%02d:%02d:%02d.%03d ", tm.tm_hour, tm.tm_min, tm.tm_sec,
                 static_cast<int>(ms.count()));
    std::fprintf(stderr, format, a.c_str(), b.c_str());
    std::fputc('\n', stderr);
}

std::string Printable(std::string_view s) {
    std::string out;
    for (char c : s) {
        auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F) {
            out.push_back(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned>(u));
            out += hex;
        }
    }
    return out;
}

}  // namespace kestrum::server
