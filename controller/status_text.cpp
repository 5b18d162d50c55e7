#include "controller/status_text.h"

#include "controller/link_settings.h"
#include "controller/result_codes.h"
#include "kestrum.h"

namespace pelvane {

std::string StatusText(int32_t status) {
    switch (status) {
        case KST_ERR_INVALID_ARGUMENT:
            return "the library refused an argument";
        case KST_ERR_BAD_ADDRESS:
            return "not a dotted IPv4 address (a.b.c.d)";
        case KST_ERR_CONNECT_REFUSED:
            return "the controller refused the link or cannot be reached";
        case KST_ERR_CONNECT_TIMEOUT:
            return "no link within " + std::to_string(kConnectTimeoutMs) + " ms";
        case KST_ERR_BAD_HANDLE:
            return "the link is not open";
        case KST_ERR_BAD_COMMAND:
            return "the command is too long or holds a line break";
        case KST_ERR_TIMEOUT:
            return "the controller did not answer in time";
        case KST_ERR_REPLY_OVERDUE:
            return "the controller stopped answering (it still owes an earlier reply)";
        case KST_ERR_LINK_CLOSED:
            return "the controller closed the link";
        case KST_ERR_MALFORMED_REPLY:
            return "the controller sent a reply that cannot be read";
        case KST_ERR_SYSTEM:
            return "the operating system refused a network operation";
        case kResultEmptyReply:
            return "the controller's reply was empty";
        case kResultNotANumber:
            return "the controller's reply held no number";
        case kResultBadArgument:
            return "a query was given a bad argument";
        case kResultUnexpectedText:
            return "the controller's reply was not the expected text";
        default:
            break;
    }
    if (IsControllerError(status))
        return "the controller refused the command (its error " + std::to_string(status) + ")";
    return "unknown failure (" + std::to_string(status) + ")";
}

}  // namespace pelvane
