// What kestrum-gateway runs: the port's raw link, the scan loop, and the link server
// answering from the latest complete scan.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>

#include "ecat/master.h"
#include "ecat/raw_link.h"
#include "gateway/gateway_model.h"
#include "gateway/port_lock.h"
#include "gateway/scan_loop.h"
#include "kestrum/server/link_server.h"

namespace kestrum::gateway {

struct GatewayOptions {
    std::string interface;
    std::string address = "127.0.0.1";
    int cycleMs = 10;
    int verbosity = 0;
    bool discovery = true;
    bool preop = false;  // take nodes found in INIT to PREOP, and back on exit
};

class Gateway {
  public:
    explicit Gateway(GatewayOptions options) : options_(std::move(options)) {}
    ~Gateway();  // stops
    Gateway(const Gateway&) = delete;
    Gateway& operator=(const Gateway&) = delete;

    // Opens the port (needs CAP_NET_RAW), serves, and scans every cycle. False and a
    // reason on failure.
    bool Start(std::string* error);
    void Stop();

    // Nodes served now: the latest complete scan's, or none while the line is down.
    std::size_t servedNodes() const { return servedNodes_.load(); }
    // Of those, the nodes whose identity is served, or the reason it cannot be.
    std::size_t servedIdentities() const { return servedIdentities_.load(); }

  private:
    GatewayOptions options_;
    std::unique_ptr<PortLock> lock_;
    std::unique_ptr<ecat::RawLink> link_;
    std::unique_ptr<ecat::Master> master_;
    std::unique_ptr<GatewayModel> model_;
    std::unique_ptr<kestrum::server::LinkServer> server_;
    std::unique_ptr<ScanLoop> loop_;
    std::atomic<std::size_t> servedNodes_{0};
    std::atomic<std::size_t> servedIdentities_{0};
};

}  // namespace kestrum::gateway
