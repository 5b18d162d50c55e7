// Progress of long work, on stderr and only when it is a terminal, so pipes stay clean.
#pragma once

#include <cstdint>
#include <string>

#include "cli/cli_io.h"

namespace pelvane::cli {

class Progress {
  public:
    Progress(const CliIo& io, std::string what) : io_(io), what_(std::move(what)) {}
    ~Progress();  // wipes the line it drew
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void Show(int64_t done, int64_t total, const char* unit);

  private:
    const CliIo& io_;
    std::string what_;
    bool drawn_ = false;
};

}  // namespace pelvane::cli
