#include "nodes/read_failure.h"

#include "controller/result_codes.h"
#include "controller/status_text.h"

namespace pelvane {

std::string ReadFailureText(const ReadFailure& failure) {
    const std::string answered = "the controller answered " + failure.command + " with ";
    if (failure.status == 0)
        return answered + (failure.value ? std::to_string(*failure.value) : "?") +
               ", out of the register's range";
    if (IsControllerError(failure.status))
        return answered + "Error " + std::to_string(failure.status);
    if (failure.status == kResultEmptyReply) return answered + "nothing";
    if (failure.status == kResultNotANumber) return answered + "no value";
    return failure.command + ": " + StatusText(failure.status);
}

bool AnsweredOddly(const ReadFailure& failure) {
    return failure.status == 0 || IsControllerError(failure.status) ||
           failure.status == kResultEmptyReply || failure.status == kResultNotANumber;
}

}  // namespace pelvane
