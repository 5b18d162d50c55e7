#include "sim/src/node_dl_status.h"

#include "kestrum/language/dl_status.h"

namespace kestrum::sim {

uint16_t DlStatus(const Node& node, const std::array<bool, 4>& linked) {
    unsigned dl = language::DlLink(0) | language::DlCommunication(0);
    for (int port = 1; port < 4; ++port) {
        dl |= linked[static_cast<std::size_t>(port)]
                  ? language::DlLink(port) | language::DlCommunication(port)
                  : language::DlLoopClosed(port);
    }
    if (node.esc.ConfigLoaded()) dl |= language::kDlPdiOperational;
    return static_cast<uint16_t>(dl);
}

uint16_t LineDlStatus(const Node& node, bool followed) {
    return DlStatus(node, {true, followed, false, false});
}

}  // namespace kestrum::sim
