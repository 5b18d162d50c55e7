// The subcommands; each returns its exit code.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "cli_io.h"
#include "error_poll.h"

namespace pelvane::cli {

inline constexpr int kDefaultIntervalMs = kPollPeriodMs;  // as the diagnosis page polls

ExitCode RunSearch(uint32_t timeMs, const CliIo& io);
ExitCode RunInfo(const std::string& address, const CliIo& io);
ExitCode RunNodes(const std::string& address, const std::string& format, const CliIo& io);
ExitCode RunWatch(const std::string& address, int intervalMs, std::optional<int64_t> count,
                  const CliIo& io);
// referencePath, when not empty, names a snapshot the live bus is compared with first.
ExitCode RunCheck(const std::string& address, double durationS, int intervalMs,
                  const std::string& referencePath, const CliIo& io);
ExitCode RunSnapshot(const std::string& address, const std::string& format,
                     const std::string& outputPath, const CliIo& io);
ExitCode RunDiff(const std::string& oldPath, const std::string& newPath, const CliIo& io);

}  // namespace pelvane::cli
