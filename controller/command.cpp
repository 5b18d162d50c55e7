#include "controller/command.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "controller/controller_state.h"

namespace pelvane {
namespace {

std::string LocalTimestamp(std::time_t when) {
    std::tm local{};
    char text[32] = "";
    if (localtime_r(&when, &local) != nullptr) {
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    }
    return text;
}

// One entry per command, appended with a single write so that a reader of the file
// never sees half an entry. The time is taken by the caller right after the library
// returned.
void LogCommand(int32_t mode, const char* command, int32_t status, const char* reply,
                std::time_t when) {
    // Binary: the entries carry their own CR LF, which Windows' text mode would double.
    std::FILE* file = std::fopen(kCommandLogFileName, "ab");
    if (file == nullptr) return;
    const bool writeError = status != 0 && mode != 2;
    const bool writeReply = status == 0 && mode != 1 && mode != 2;
    if (writeError || writeReply) {
        std::string entry = LocalTimestamp(when);
        entry += ' ';
        entry += command;
        if (writeError) {
            entry += "\tError:";
            entry += std::to_string(status);
            entry += '\t';
        } else {
            entry += "\t\tRe:";
            entry += reply;
        }
        entry += "\r\n";
        std::fwrite(entry.data(), 1, entry.size(), file);
    }
    std::fclose(file);
}

// Callers read the reply whatever the status, so it must be a terminated text even if
// the library left the buffer alone or filled it to the brim.
void PrepareReply(char* reply) {
    reply[0] = '\0';
}
void TerminateReply(char* reply) {
    reply[kReplyCapacity - 1] = '\0';
}

}  // namespace

int32_t ExecuteCommand(KST_HANDLE handle, const char* command, char* reply) {
    PrepareReply(reply);
    const int32_t status = KST_Execute(handle, command, g_commandTimeout, reply, kReplyCapacity);
    TerminateReply(reply);
    const int32_t mode = g_commandLogMode;
    if (mode != 0) LogCommand(mode, command, status, reply, std::time(nullptr));
    return status;
}

int32_t DirectCommand(KST_HANDLE handle, const char* command, char* reply) {
    PrepareReply(reply);
    const int32_t status = KST_DirectCommand(handle, command, reply, kReplyCapacity);
    TerminateReply(reply);
    const int32_t mode = g_commandLogMode;
    if (mode != 0) LogCommand(mode, command, status, reply, std::time(nullptr));
    return status;
}

}  // namespace pelvane
