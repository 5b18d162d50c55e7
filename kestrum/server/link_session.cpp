// One link's thread: reads requests, has the responder answer them and sends the replies
// when they are due.
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

#include "kestrum/server/link_server_impl.h"
#include "kestrum/server/server_log.h"

namespace kestrum::server {
namespace {

// Due replies join the bytes to send in pieces this large, so that dropping the part
// already sent moves little.
constexpr std::size_t kSendChunk = 256u << 10;
// Tests read the received commands; a client that never stops must not grow them forever.
constexpr std::size_t kMaxReceivedBytes = 16u << 20;

}  // namespace

// A link's own thread: with nothing delayed it sleeps in a blocking recv and answers at
// once, as a bare echo server does; poll is only for replies that wait or a full socket.
void LinkServer::Impl::Serve(Link& link) {
    unsigned char buf[16384];
    if (options.idleLimitMs > 0) {
        // Only the blocking recv waits with a limit: a link owed a reply is not idle.
        timeval limit{options.idleLimitMs / 1000, (options.idleLimitMs % 1000) * 1000};
        setsockopt(link.fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    }
    std::unique_lock lock(mutex);
    while (true) {
        if (stopping.load()) break;
        if (link.drop) link.closing = "dropped on request";
        if (link.closing) break;
        // A reader that never quite catches up must not make the sent bytes pile up.
        link.out.erase(0, link.outPos);
        link.outPos = 0;
        if (!link.pending.empty()) Pump(link, Clock::now());
        const bool bytewise = responder.Bytewise(link.id);
        const bool reading = link.Backlog() < kMaxBacklogBytes;
        lock.unlock();

        const char* failed = Send(link, bytewise);
        const bool flushed = link.outPos == link.out.size();
        if (flushed && link.closeAfterFlush) failed = "link fault";
        ssize_t n = -1;
        int error = EAGAIN;
        if (!failed) failed = Receive(link, buf, flushed, reading, n, error);

        lock.lock();
        if (failed) {
            link.closing = failed;
        } else if (n == 0) {
            link.closing = "peer closed";
        } else if (n < 0) {
            if (error != EAGAIN && error != EWOULDBLOCK && error != EINTR)
                link.closing = "receive failed";
        } else {
            Feed(link, buf, static_cast<std::size_t>(n), Clock::now());
        }
        // A stop or a drop also wakes the link by shutting it down: that is no peer's doing.
        if (stopping.load() || link.drop) link.closing = nullptr;
    }
    CloseFd(link.fd);
    link.closed = true;
    responder.Closed(link.id);
    link.pending.clear();
    link.pendingBytes = 0;
    link.out.clear();
    open.fetch_sub(1);
    if (link.closing && options.verbosity >= 1) Log("link %s closed: %s", link.peer, link.closing);
    lock.unlock();
    Wake();  // so that the serving thread joins this one
}

// Sends what the socket takes; the reason to close the link, or null.
const char* LinkServer::Impl::Send(Link& link, bool bytewise) {
    while (link.outPos < link.out.size()) {
        std::size_t size = bytewise ? 1 : link.out.size() - link.outPos;
        auto n = send(link.fd, link.out.data() + link.outPos, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0) {
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return "send failed";
            break;
        }
        link.outPos += static_cast<std::size_t>(n);
    }
    return nullptr;
}

// Waits for requests, room in the socket or the next reply's time, and reads what came
// into buf (n, error as recv gives them); the reason to close the link, or null.
const char* LinkServer::Impl::Receive(Link& link, std::span<unsigned char> buf, bool flushed,
                                      bool reading, ssize_t& n, int& error) {
    if (flushed && link.pending.empty() && reading) {
        n = recv(link.fd, buf.data(), buf.size(), 0);
        error = errno;
        // Only the idle limit makes a blocking recv give up.
        return n < 0 && (error == EAGAIN || error == EWOULDBLOCK) ? "idle" : nullptr;
    }
    pollfd p{link.fd,
             static_cast<short>(POLLRDHUP | (reading ? POLLIN : 0) | (flushed ? 0 : POLLOUT)), 0};
    timespec timeout{};
    timespec* timeoutPtr = nullptr;
    // Once the socket takes what is due, the next reply's time is what to wait for.
    if (flushed && !link.pending.empty()) {
        auto wait = std::max(Clock::duration::zero(), link.pending.front().due - Clock::now());
        auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
        timeout.tv_sec = static_cast<time_t>(ns / 1000000000);
        timeout.tv_nsec = static_cast<long>(ns % 1000000000);
        timeoutPtr = &timeout;
    }
    if (ppoll(&p, 1, timeoutPtr, nullptr) <= 0) return nullptr;
    if (reading && (p.revents & (POLLIN | POLLRDHUP | POLLHUP | POLLERR))) {
        n = recv(link.fd, buf.data(), buf.size(), MSG_DONTWAIT);
        error = errno;
    } else if (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) {
        return "peer closed";
    }
    return nullptr;
}

void LinkServer::Impl::Feed(Link& link, const unsigned char* data, std::size_t size,
                            Clock::time_point now) {
    std::size_t offset = 0;
    while (offset < size && !link.closing) {
        std::size_t consumed = 0;
        auto state = link.assembler.Feed(data + offset, size - offset, consumed);
        offset += consumed;
        if (state == wire::RequestAssembler::State::kMalformed) {
            link.closing = "malformed frame";
            return;
        }
        if (state == wire::RequestAssembler::State::kFrame)
            Handle(link, link.assembler.header(), link.assembler.payload(), now);
    }
}

void LinkServer::Impl::Handle(Link& link, const wire::RequestHeader& header, std::string& command,
                              Clock::time_point now) {
    if (!wire::IsSendableCommand(command)) {
        link.closing = "malformed command";
        return;
    }
    Record(command);
    Response response = responder.Respond(link.id, header, command, now);
    // The hook's own commands are faults worth a line; the model's only at -vv.
    if (options.verbosity >= (response.hooked ? 1 : 2))
        Log("%s: %s", link.peer, Printable(command));
    if (response.drop == Intercepted::Drop::kSender) {
        link.closing = "dropped on request";
        return;
    }
    Delivery& reply = response.reply;
    Schedule(link, PendingReply{reply.due, std::move(reply.bytes), reply.closeAfter});
    if (response.drop == Intercepted::Drop::kEveryLink)
        for (auto& other : links) Drop(*other);
}

void LinkServer::Impl::Record(const std::string& command) {
    // Empty commands cost their bookkeeping too.
    auto cost = [](const std::string& c) { return c.size() + sizeof(std::string); };
    while (!received.empty() && receivedBytes + cost(command) > kMaxReceivedBytes) {
        receivedBytes -= cost(received.front());
        received.pop_front();
    }
    received.push_back(command);
    receivedBytes += cost(command);
}

void LinkServer::Impl::Drop(Link& link) {
    if (link.closed || link.drop) return;
    link.drop = true;
    // Wakes the link's thread from recv or poll; it closes the fd itself.
    ::shutdown(link.fd, SHUT_RDWR);
}

void LinkServer::Impl::Schedule(Link& link, PendingReply reply) {
    // Replies leave in request order, so none may overtake an earlier one.
    reply.due = std::max(reply.due, link.lastDue);
    link.lastDue = reply.due;
    link.pendingBytes += reply.bytes.size();
    link.pending.push_back(std::move(reply));
}

// Moves the replies that are due to the bytes to send.
void LinkServer::Impl::Pump(Link& link, Clock::time_point now) {
    while (!link.pending.empty() && link.pending.front().due <= now && !link.closeAfterFlush &&
           link.out.size() - link.outPos < kSendChunk) {
        PendingReply& next = link.pending.front();
        link.out += next.bytes;
        link.closeAfterFlush = next.closeAfter;
        link.pendingBytes -= next.bytes.size();
        link.pending.pop_front();
    }
}

}  // namespace kestrum::server
