// Serves the link protocol and discovery on one address, handing every command to a
// command interpreter. The simulator and the gateway differ only in that interpreter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "kestrum_sim/interpreter.h"

namespace kestrum::sim {

// A link whose client sends without reading stops being read once this much waits for it.
inline constexpr std::size_t kMaxBacklogBytes = 4u << 20;

struct LinkServerOptions {
    std::string address = "127.0.0.1";  // dotted IPv4; links and discovery answers use it
    uint16_t port = 17180;              // TCP for links, UDP for discovery
    bool discovery = true;              // answer discovery probes
    int verbosity = 0;                  // 0 quiet, 1 connections and faults, 2 every command
    bool allowNonLoopback = false;      // refuse addresses outside 127.0.0.0/8 unless set
    int idleLimitMs = 0;  // close a link silent this long while owed no reply; 0: never
};

class LinkServer {
  public:
    // The interpreter must outlive the server.
    LinkServer(CommandInterpreter& interpreter, LinkServerOptions options);
    ~LinkServer();  // stops
    LinkServer(const LinkServer&) = delete;
    LinkServer& operator=(const LinkServer&) = delete;

    // Binds and starts serving on a thread of its own. False and a reason on failure.
    bool Start(std::string* error = nullptr);
    void Stop();

    // Runs a command as if a link had sent it, but undelayed, and returns what it prints.
    // The link faults of a control command apply to every open link. Safe from any thread.
    std::string Control(const std::string& command);

    // Runs f under the lock every command runs under, so another thread never sees the
    // interpreter halfway through one. f must not call back into the server.
    void Locked(const std::function<void()>& f);
    template <class F>
    auto WithInterpreter(F&& f) {
        using R = std::invoke_result_t<F&, CommandInterpreter&>;
        if constexpr (std::is_void_v<R>) {
            Locked([&] { f(interpreter_); });
        } else {
            std::optional<R> result;
            Locked([&] { result.emplace(f(interpreter_)); });
            return std::move(*result);
        }
    }

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
    CommandInterpreter& interpreter_;
    std::unique_ptr<Impl> impl_;
};

}  // namespace kestrum::sim
