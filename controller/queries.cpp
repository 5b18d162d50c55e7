#include "controller/queries.h"

#include <cstdio>

#include "controller/command.h"
#include "controller/controller_state.h"
#include "controller/gbk.h"
#include "controller/reply_scan.h"

namespace pelvane {
namespace {

// A reply without a number leaves the value as it was and still counts as success;
// callers preset what they need.
int32_t QueryInteger(KST_HANDLE handle, const char* command, int32_t* value,
                     bool* numberFound = nullptr) {
    char reply[kReplyCapacity];
    const int32_t status = ExecuteCommand(handle, command, reply);
    if (status != 0) return status;
    if (reply[0] == '\0') return kResultEmptyReply;
    const bool found = ScanInteger(reply, value);
    if (numberFound != nullptr) *numberFound = found;
    return 0;
}

// A place given by the caller is filled even when a later step fails.
int32_t QueryWord(const char* command, char* word) {
    char reply[kReplyCapacity];
    const int32_t status = ExecuteCommand(g_controllerHandle, command, reply);
    if (status != 0) return status;
    if (reply[0] == '\0') return kResultEmptyReply;
    ScanWord(reply, word, kIdentityFieldSize);
    return 0;
}

}  // namespace

int32_t GetControllerInfo(char* model, char* version, char* id) {
    int32_t result = QueryWord("?CONTROL", model);
    if (result != 0) return result;
    result = QueryWord("?VERSION_DATE", version);
    if (result != 0) return result;
    return QueryWord("?SERIAL_NUMBER", id);
}

int32_t ReadControllerIdentity(ControllerIdentity* identity) {
    char model[kIdentityFieldSize] = {};
    char version[kIdentityFieldSize] = {};
    char id[kIdentityFieldSize] = {};
    const int32_t status = GetControllerInfo(model, version, id);
    if (status == 0)
        *identity = {DecodeControllerField(model, sizeof model),
                     DecodeControllerField(version, sizeof version),
                     DecodeControllerField(id, sizeof id)};
    return status;
}

int32_t GetNodeCount(int32_t* count, bool* numberFound) {
    if (count == nullptr) return kResultBadArgument;
    return QueryInteger(g_controllerHandle, NodeCountCommand().c_str(), count, numberFound);
}

int32_t GetNodeAxisCount(KST_HANDLE handle, int32_t node, int32_t* axisCount, bool* numberFound) {
    if (axisCount == nullptr) return kResultBadArgument;
    char command[kReplyCapacity];
    std::snprintf(command, sizeof command, "?NODE_AXIS_COUNT(%d,%d)", 0, node);
    return QueryInteger(handle, command, axisCount, numberFound);
}

int32_t GetNodeIoBase(int32_t node, int32_t* ioBase, bool* numberFound) {
    if (ioBase == nullptr) return kResultBadArgument;
    char command[kReplyCapacity];
    std::snprintf(command, sizeof command, "?NODE_IO(%d,%d)", 0, node);
    return QueryInteger(g_controllerHandle, command, ioBase, numberFound);
}

int32_t GetNodeAioBase(int32_t node, int32_t* aioBase, bool* numberFound) {
    if (aioBase == nullptr) return kResultBadArgument;
    char command[kReplyCapacity];
    std::snprintf(command, sizeof command, "?NODE_AIO(%d,%d,0)", 0, node);
    return QueryInteger(g_controllerHandle, command, aioBase, numberFound);
}

int32_t GetNodeInfo(int32_t node, int32_t item, int32_t* value, bool* numberFound) {
    if (value == nullptr) return kResultBadArgument;
    return QueryInteger(g_controllerHandle, NodeInfoCommand(node, item).c_str(), value,
                        numberFound);
}

int32_t GetNodeRegisters(int32_t node, int32_t first, int32_t count, int32_t* values) {
    if (values == nullptr) return kResultBadArgument;
    char reply[kReplyCapacity];
    const int32_t status =
        ExecuteCommand(g_controllerHandle, NodeRegistersCommand(node, first, count).c_str(), reply);
    if (status != 0) return status;
    if (reply[0] == '\0') return kResultEmptyReply;
    return ScanBytes(reply, count, values) ? 0 : kResultNotANumber;
}

std::string NodeCountCommand() {
    return "?NODE_COUNT(0)";
}

std::string NodeInfoCommand(int32_t node, int32_t item) {
    return "?NODE_INFO(0," + std::to_string(node) + "," + std::to_string(item) + ")";
}

std::string NodeRegistersCommand(int32_t node, int32_t first, int32_t count) {
    return "?NODE_REGS(0," + std::to_string(node) + "," + std::to_string(first) + "," +
           std::to_string(count) + ")";
}

}  // namespace pelvane
