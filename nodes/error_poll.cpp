#include "nodes/error_poll.h"

#include <algorithm>

#include "controller/command.h"
#include "controller/controller_link.h"
#include "controller/controller_state.h"
#include "controller/drive_status.h"
#include "controller/queries.h"
#include "nodes/lostcount.h"

namespace pelvane {

ErrorCounterTable g_errorCounterTable{};

namespace {

using PollBuffers = std::array<std::array<int32_t, kPollCapacity>, kErrorArrayCount>;

}  // namespace

int32_t PollStatusWord(int32_t node, int32_t& status) {
    int32_t axisCount = 0;
    status = GetNodeAxisCount(g_controllerHandle, node, &axisCount);
    if (status != 0) return kStatusWordUnread;
    if (axisCount == 0) return 0;
    int32_t statusWord = 0;
    status = ReadDriveStatusWord(g_controllerHandle, node, &statusWord);
    return status != 0 ? kStatusWordUnread : statusWord;
}

bool ErrorPoll::linkAnswered() const {
    return !LinkFailed(lastStatus_);
}

bool CountersClear(const ErrorCounterTable& table, int32_t node) {
    const auto i = static_cast<size_t>(node);
    return table[kRegister300H][i] == 0 && table[kRegister301H][i] == 0 &&
           table[kRegister302H][i] == 0 && table[kRegister303H][i] == 0;
}

std::string ErrorPoll::ReadLostcountText() {
    char report[kReplyCapacity];
    lastStatus_ = ExecuteCommand(g_controllerHandle, "?*ETHERCAT", report);
    return CutLostcountText(report);
}

bool ErrorPoll::PollNodes(ErrorCounterTable& table, int32_t& nodeCount) {
    int32_t count = nodeCount;
    bool countFound = false;
    lastStatus_ = GetNodeCount(&count, &countFound);
    countRead_ = lastStatus_ == 0 && countFound;
    count = std::clamp(count, 0, kPollCapacity);
    // Nodes that joined or left change the rows even when no counter changed.
    bool changed = count != nodeCount;
    nodeCount = count;

    PollBuffers polled;
    for (int32_t node = 0; node < count; ++node) {
        const auto i = static_cast<size_t>(node);
        for (int k = 0; k < kCounterCount; ++k) {
            // A query that brings no value counts as unchanged.
            polled[k][i] = table[k][i];
            bool found = false;
            lastStatus_ =
                GetNodeInfo(node, kestrum::language::kItemRegister300H + k, &polled[k][i], &found);
            counterRead_[k][i] = lastStatus_ == 0 && found;
        }
        polled[kStatusWord][i] = PollStatusWord(node, lastStatus_);
    }
    for (int k = 0; k < kErrorArrayCount; ++k) {
        for (size_t i = 0; i < static_cast<size_t>(count); ++i) {
            if (polled[k][i] == table[k][i]) continue;
            table[k][i] = polled[k][i];
            changed = true;
        }
    }
    return changed;
}

}  // namespace pelvane
