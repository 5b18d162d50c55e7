// Reading a snapshot file back: written by us, but it may come from anywhere.
#include <fstream>

#include "cli/snapshot.h"

namespace pelvane::cli {

namespace {

constexpr size_t kMaxSnapshotBytes = size_t{16} << 20;
// A snapshot nests four deep; the parser would build, and later tear down by
// recursion, whatever depth a file holds.
constexpr int kMaxSnapshotDepth = 8;

bool NestsTooDeep(const std::string& bytes) {
    int depth = 0;
    bool inText = false, escaped = false;
    for (const char c : bytes) {
        if (inText) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inText = false;
        } else if (c == '"') {
            inText = true;
        } else if (c == '[' || c == '{') {
            if (++depth > kMaxSnapshotDepth) return true;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return false;
}

// The file's bytes, at most one past the limit so an outsized one is told apart;
// none when it cannot be read. A pipe has no size to ask for beforehand.
std::optional<std::string> ReadBounded(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::string bytes;
    char chunk[1 << 16];
    while (bytes.size() <= kMaxSnapshotBytes) {
        file.read(chunk, sizeof chunk);
        bytes.append(chunk, static_cast<size_t>(file.gcount()));
        if (!file) break;
    }
    if (file.bad()) return std::nullopt;
    return bytes;
}

std::optional<Snapshot> Parse(const std::string& bytes, std::string* error) {
    if (bytes.size() > kMaxSnapshotBytes) {
        *error = "larger than a snapshot can be";
        return std::nullopt;
    }
    if (NestsTooDeep(bytes)) {
        *error = "nested deeper than a snapshot can be";
        return std::nullopt;
    }
    nlohmann::json json;
    try {
        json = nlohmann::json::parse(bytes);
    } catch (const nlohmann::json::parse_error& e) {
        *error = "not JSON (at byte " + std::to_string(e.byte) + ")";
        return std::nullopt;
    } catch (const nlohmann::json::out_of_range&) {
        *error = "not JSON (a number too large)";
        return std::nullopt;
    }
    return SnapshotFromJson(json, error);
}

}  // namespace

std::optional<Snapshot> LoadSnapshot(const std::string& path, const CliIo& io) {
    std::string error = "cannot be read";
    if (const auto bytes = ReadBounded(path))
        if (auto snapshot = Parse(*bytes, &error)) return snapshot;
    io.err << "pelvane-cli: " << path << ": " << error << "\n";
    return std::nullopt;
}

}  // namespace pelvane::cli
