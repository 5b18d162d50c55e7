#include "controller/drive_status.h"

#include <algorithm>
#include <cstdio>

#include "controller/command.h"
#include "controller/controller_state.h"
#include "controller/queries.h"
#include "controller/reply_scan.h"

namespace pelvane {
namespace {

constexpr uint32_t kHighestStatusNode = 128;
constexpr int32_t kStatusWordIndex = 0x6041;
constexpr int32_t kEntriesPerCommand = 15;

}  // namespace

int32_t ReadDriveStatusWord(KST_HANDLE handle, int32_t node, int32_t* statusWord) {
    // Compared unsigned, so a negative node is refused too.
    if (statusWord == nullptr || static_cast<uint32_t>(node) > kHighestStatusNode) {
        return kResultBadArgument;
    }
    char command[kReplyCapacity];
    std::snprintf(command, sizeof command, "SDO_READ(%d,%d,%d,%d,%d,0)", 0, node, kStatusWordIndex,
                  0, 7);
    char reply[kReplyCapacity];
    const int32_t status = ExecuteCommand(handle, command, reply);
    // SDO_READ prints nothing when it works; any text is a failure whatever the status.
    if (reply[0] != '\0') return kResultUnexpectedText;
    if (status != 0) return status;
    float value = 0.0f;
    const int32_t result = ReadTableValues(handle, 1, &value);
    if (result != 0) return result;
    *statusWord = TableValueToStatusWord(value);
    return 0;
}

int32_t ReadTableValues(KST_HANDLE handle, int32_t count, float* values) {
    if (values == nullptr) return kResultBadArgument;
    int32_t done = 0;
    do {
        const int32_t chunk = std::min(count - done, kEntriesPerCommand);
        char command[kReplyCapacity] = "?";
        std::size_t length = 1;
        for (int32_t j = 0; j < chunk; ++j) {
            const int written =
                std::snprintf(command + length, sizeof command - length, "TABLE(%d) ", done + j);
            if (written > 0) length += static_cast<std::size_t>(written);
        }
        char reply[kReplyCapacity];
        const int32_t status = DirectCommand(handle, command, reply);
        if (status != 0) return status;
        if (reply[0] == '\0') return kResultEmptyReply;
        const int32_t result = ParseNumbers(reply, chunk, values + done);
        if (result != 0) return result;
        done += chunk;
    } while (done < count);
    return 0;
}

}  // namespace pelvane
