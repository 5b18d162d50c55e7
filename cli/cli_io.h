// Where a command writes, and what it knows of its terminal and of Ctrl-C.
#pragma once

#include <ostream>

namespace pelvane::cli {

enum ExitCode : int {
    kExitOk = 0,
    kExitLinkFailed = 1,  // the controller could not be reached or the link failed
    kExitUsage = 2,
    kExitErrorsFound = 3,  // check, diff
    kExitBusDiffers = 4,   // check --reference, diff; ranks above 3, below 1 and 2
    kExitNotJudged = 5,    // check, diff: counters unread, nothing found elsewhere; ranks last
};

struct CliIo {
    std::ostream& out;
    std::ostream& err;
    bool outIsTerminal = false;
    bool errIsTerminal = false;
};

}  // namespace pelvane::cli
