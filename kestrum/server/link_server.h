// Serves the link protocol and discovery on one address, answering every command from a
// controller model. The simulator and the gateway differ only in that model, and in the
// simulator's hook on the links.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "kestrum/server/controller_model.h"
#include "kestrum/server/link_hook.h"
#include "kestrum/wire/wire.h"

namespace kestrum::server {

// A link whose client sends without reading stops being read once this much waits for it.
inline constexpr std::size_t kMaxBacklogBytes = 4u << 20;

struct LinkServerOptions {
    std::string address = "127.0.0.1";  // dotted IPv4; links and discovery answers use it
    uint16_t port = wire::kPort;        // TCP for links, UDP for discovery
    bool discovery = true;              // answer discovery probes
    int verbosity = 0;                  // 0 quiet, 1 connections and faults, 2 every command
    bool allowNonLoopback = false;      // refuse addresses outside 127.0.0.0/8 unless set
    int idleLimitMs = 0;  // close a link silent this long while owed no reply; 0: never
};

class LinkServer {
  public:
    // The model and the hook, if any, must outlive the server.
    LinkServer(ControllerModel& model, LinkServerOptions options, LinkHook* hook = nullptr);
    ~LinkServer();  // stops
    LinkServer(const LinkServer&) = delete;
    LinkServer& operator=(const LinkServer&) = delete;

    // Binds and starts serving on a thread of its own. False and a reason on failure.
    bool Start(std::string* error = nullptr);
    void Stop();

    // Runs a command as if a link had sent it, but undelayed, and returns what it prints.
    // What the hook does to links on it applies to every open link. Safe from any thread.
    std::string Control(const std::string& command);

    // Runs f under the lock every command runs under, so another thread never sees the
    // model halfway through one. f must not call back into the server.
    void Locked(const std::function<void()>& f);

    // For tests: links accepted so far, links currently open, reply bytes held for links
    // and not yet sent, commands received so far.
    std::size_t AcceptedLinks() const;
    std::size_t OpenLinks() const;
    std::size_t BufferedBytes() const;
    std::vector<std::string> ReceivedCommands() const;
    void ClearReceivedCommands();

    // After Start the port is the one bound (useful with port 0).
    const LinkServerOptions& options() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace kestrum::server
