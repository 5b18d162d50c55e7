// The link server's state, shared by its accepting thread (link_server.cpp) and the
// threads of its links (link_session.cpp).
#pragma once

#include <netinet/in.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "kestrum/server/link_server.h"
#include "kestrum/server/responder.h"
#include "kestrum/wire/wire.h"

namespace kestrum::server {

inline void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

struct PendingReply {
    Clock::time_point due;
    std::string bytes;
    bool closeAfter = false;
};

struct Link {
    // Set before the link's thread starts; the thread closes fd under the mutex, so that
    // others may shut it down under the mutex without hitting a reused number.
    int fd = -1;
    LinkId id = kNoLink;
    std::string peer;
    std::thread thread;  // started, joined and destroyed by the serving thread or Stop

    // Under the mutex.
    bool closed = false;
    bool drop = false;

    // Changed by the link's thread only, under the mutex but for outPos, so that others
    // may read the sizes under the mutex.
    wire::RequestAssembler assembler = wire::MakeRequestAssembler();
    std::deque<PendingReply> pending;
    std::size_t pendingBytes = 0;
    std::string out;
    std::size_t outPos = 0;  // what of out has been sent
    bool closeAfterFlush = false;
    Clock::time_point lastDue{};
    const char* closing = nullptr;  // why the link's thread is to close it

    std::size_t Backlog() const { return pendingBytes + out.size() - outPos; }
};

struct LinkServer::Impl {
    Impl(ControllerModel& m, LinkServerOptions o, LinkHook* h)
        : options(std::move(o)), responder(m, h) {}

    LinkServerOptions options;
    mutable std::mutex mutex;  // guards everything below but the atomics and the fds
    Responder responder;
    LinkId lastId = kNoLink;
    std::deque<std::string> received;
    std::size_t receivedBytes = 0;
    std::vector<std::unique_ptr<Link>> links;
    std::atomic<std::size_t> accepted{0};
    std::atomic<std::size_t> open{0};
    std::atomic<bool> stopping{false};
    int listenFd = -1;
    int udpFd = -1;
    int broadcastFd = -1;
    int wakeFd = -1;
    std::thread thread;
    bool running = false;

    bool Bind(std::string* error);
    bool BindBroadcast(const sockaddr_in& addr, bool loopback, std::string* error);
    void CloseAll();
    void Wake() const;
    void Run();
    void Accept();
    void Reap();
    void AnswerProbes(int fd);
    void Serve(Link& link);
    static const char* Send(Link& link, bool bytewise);
    static const char* Receive(Link& link, std::span<unsigned char> buf, bool flushed, bool reading,
                               ssize_t& n, int& error);
    void Feed(Link& link, const unsigned char* data, std::size_t size, Clock::time_point now);
    void Handle(Link& link, const wire::RequestHeader& header, std::string& command,
                Clock::time_point now);
    void Record(const std::string& command);
    void Drop(Link& link);
    void Schedule(Link& link, PendingReply reply);
    void Pump(Link& link, Clock::time_point now);
};

}  // namespace kestrum::server
