#include "cli/text_format.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "nodes/counter_rises.h"

namespace pelvane::cli {

size_t DisplayWidth(std::string_view utf8) {
    size_t width = 0;
    for (size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        // Three- and four-byte sequences start at U+0800; the wide scripts start at U+1100.
        width += length >= 3 ? 2 : 1;
        i += length;
    }
    return width;
}

std::vector<std::string> AlignedTable(const std::vector<std::vector<std::string>>& rows) {
    std::vector<size_t> widths;
    for (const auto& row : rows) {
        widths.resize(std::max(widths.size(), row.size()), 0);
        for (size_t c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], DisplayWidth(row[c]));
    }
    std::vector<std::string> lines;
    for (const auto& row : rows) {
        std::string line;
        for (size_t c = 0; c < row.size(); ++c) {
            line += row[c];
            if (c + 1 < row.size()) line.append(widths[c] - DisplayWidth(row[c]) + 2, ' ');
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string CsvLine(const std::vector<std::string>& fields) {
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) line += (i > 0 ? "," : "") + CsvField(fields[i]);
    return line + "\n";
}

std::string UtcTime(std::chrono::system_clock::time_point when, bool withMilliseconds) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    std::string result = text;
    if (withMilliseconds) {
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()) % 1000;
        std::snprintf(text, sizeof text, ".%03d", static_cast<int>(ms.count()));
        result += text;
    }
    return result + "Z";
}

std::string Printable(std::string_view text) {
    std::string safe(text);
    for (size_t i = 0; i < safe.size(); ++i) {
        const auto c = static_cast<unsigned char>(safe[i]);
        if (c < 0x20 || c == 0x7F) {
            safe[i] = '?';
        } else if (c == 0xC2 && i + 1 < safe.size() &&
                   static_cast<unsigned char>(safe[i + 1]) < 0xA0 &&
                   static_cast<unsigned char>(safe[i + 1]) >= 0x80) {
            safe.replace(i, 2, "?");  // U+0080..U+009F, CSI among them
        }
    }
    return safe;
}

std::string CounterText(int32_t value) {
    return CounterSaturated(value) ? std::to_string(kCounterSaturation) + "+"
                                   : std::to_string(value);
}

}  // namespace pelvane::cli
