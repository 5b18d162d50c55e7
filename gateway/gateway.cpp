#include "gateway/gateway.h"

#include <algorithm>

namespace kestrum::gateway {

Gateway::~Gateway() {
    Stop();
}

bool Gateway::Start(std::string* error) {
    lock_ = PortLock::Take(options_.interface, error);
    if (!lock_) return false;
    link_ = ecat::RawLink::Open(options_.interface, error);
    if (!link_) {
        *error += " (setcap cap_net_raw+ep on the program lets a user run it)";
        return false;
    }
    master_ = std::make_unique<ecat::Master>(*link_, link_->mac());
    if (options_.preop) master_->PermitStateChanges();
    model_ = std::make_unique<GatewayModel>(GatewayIdentity{
        BuildDate(__DATE__), MacDigits(link_->mac()), options_.cycleMs, options_.preop});
    kestrum::server::LinkServerOptions serverOptions;
    serverOptions.address = options_.address;
    serverOptions.discovery = options_.discovery;
    serverOptions.verbosity = options_.verbosity;
    serverOptions.allowNonLoopback = true;  // where to serve is the user's choice
    server_ = std::make_unique<kestrum::server::LinkServer>(*model_, serverOptions);
    if (!server_->Start(error)) return false;
    loop_ = std::make_unique<ScanLoop>(
        *link_, *master_, std::chrono::milliseconds(options_.cycleMs),
        [this](LineReport report) {
            if (report.scan) {
                const auto& nodes = report.scan->nodes;
                servedNodes_ = nodes.size();
                servedIdentities_ = static_cast<std::size_t>(
                    std::count_if(nodes.begin(), nodes.end(), [](const ecat::NodeScan& node) {
                        return node.siiRead || node.siiFault != ecat::SiiFault::kNone;
                    }));
            }
            model_->Update(std::move(report));
        },
        model_->desk(), options_.verbosity, options_.preop);
    loop_->Start();
    return true;
}

void Gateway::Stop() {
    // The loop first: it hands its scans to the server.
    if (loop_) loop_->Stop();
    if (server_) server_->Stop();
}

}  // namespace kestrum::gateway
