#include "kestrum_sim/simulator.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <iterator>
#include <mutex>
#include <span>
#include <system_error>
#include <thread>

#include "machine.h"
#include "wire.h"

namespace kestrum::sim {
namespace {

constexpr std::size_t kMaxLinks = 256;
// Due replies join the bytes to send in pieces this large, so that dropping the part
// already sent moves little.
constexpr std::size_t kSendChunk = 256u << 10;
// Tests read the received commands; a client that never stops must not grow them forever.
constexpr std::size_t kMaxReceivedBytes = 16u << 20;
constexpr uint32_t kWrongSeqOffset = 0x10000;
constexpr uint32_t kOversizeLength = wire::kMaxReplyLength + 1000;

std::string ErrnoText(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

std::string AddressText(const sockaddr_in& a) {
    char buf[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &a.sin_addr, buf, sizeof buf);
    return std::string(buf) + ":" + std::to_string(ntohs(a.sin_port));
}

void Log(const char* format, const std::string& a, const std::string& b = {}) {
    auto now = std::chrono::system_clock::now();
    std::time_t t = std::chrono::system_clock::to_time_t(now);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
    std::tm tm{};
    localtime_r(&t, &tm);
    std::fprintf(stderr, "%02d:%02d:%02d.%03d ", tm.tm_hour, tm.tm_min, tm.tm_sec,
                 static_cast<int>(ms.count()));
    std::fprintf(stderr, format, a.c_str(), b.c_str());
    std::fputc('\n', stderr);
}

// Bytes that may go into a log line as they are.
std::string Printable(std::string_view s) {
    std::string out;
    for (char c : s) {
        auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F) {
            out.push_back(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned>(u));
            out += hex;
        }
    }
    return out;
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
    std::string peer;
    std::thread thread;  // started, joined and destroyed by the serving thread or Stop

    // Under the mutex.
    bool closed = false;
    bool bytewise = false;
    bool wrongSeq = false;
    bool cut = false;
    bool oversize = false;
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

}  // namespace

struct Simulator::Impl {
    explicit Impl(Bus bus, SimulatorOptions o) : options(std::move(o)), machine(std::move(bus)) {}

    SimulatorOptions options;
    mutable std::mutex mutex;  // guards everything below but the atomics and the fds
    Machine machine;
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
    void ApplyEffect(Link& link, const LinkEffect& effect);
    void Schedule(Link& link, PendingReply reply);
    void Pump(Link& link, Clock::time_point now);
};

void Simulator::Impl::Wake() const {
    if (wakeFd < 0) return;
    uint64_t one = 1;
    [[maybe_unused]] auto n = ::write(wakeFd, &one, sizeof one);
}

bool Simulator::Impl::Bind(std::string* error) {
    auto fail = [&](std::string why) {
        if (error) *error = std::move(why);
        CloseAll();
        return false;
    };
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    if (inet_pton(AF_INET, options.address.c_str(), &addr.sin_addr) != 1)
        return fail("not a dotted IPv4 address: " + options.address);
    uint32_t host = ntohl(addr.sin_addr.s_addr);
    bool loopback = (host >> 24) == 127;
    if (!loopback && !options.allowNonLoopback)
        return fail("refusing " + options.address + ": outside 127.0.0.0/8");
    if (host == 0) return fail("needs one address, not 0.0.0.0");
    addr.sin_port = htons(options.port);

    wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd < 0) return fail(ErrnoText("eventfd"));

    int one = 1;
    listenFd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listenFd < 0) return fail(ErrnoText("socket"));
    setsockopt(listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (bind(listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        return fail(ErrnoText(("bind " + AddressText(addr)).c_str()));
    // Starting each link's thread slows accepting; a burst of connects must still fit.
    if (listen(listenFd, static_cast<int>(kMaxLinks)) != 0) return fail(ErrnoText("listen"));
    socklen_t len = sizeof addr;
    getsockname(listenFd, reinterpret_cast<sockaddr*>(&addr), &len);
    options.port = ntohs(addr.sin_port);

    if (!options.discovery) return true;
    udpFd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (udpFd < 0) return fail(ErrnoText("socket"));
    setsockopt(udpFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (bind(udpFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        return fail(ErrnoText(("bind udp " + AddressText(addr)).c_str()));

    // A socket bound to one address gets no broadcasts; one bound to the broadcast
    // address, shared by every simulator on the network, does.
    sockaddr_in broadcast = addr;
    if (loopback) {
        broadcast.sin_addr.s_addr = htonl(0x7FFFFFFF);
    } else {
        bool found = false;
        ifaddrs* list = nullptr;
        if (getifaddrs(&list) == 0) {
            for (ifaddrs* it = list; it; it = it->ifa_next) {
                if (!it->ifa_addr || it->ifa_addr->sa_family != AF_INET) continue;
                if (!(it->ifa_flags & IFF_BROADCAST) || !it->ifa_broadaddr) continue;
                sockaddr_in in{};
                std::memcpy(&in, it->ifa_addr, sizeof in);
                if (in.sin_addr.s_addr != addr.sin_addr.s_addr) continue;
                std::memcpy(&in, it->ifa_broadaddr, sizeof in);
                broadcast.sin_addr = in.sin_addr;
                found = true;
                break;
            }
            freeifaddrs(list);
        }
        if (!found) return true;  // unicast probes only
    }
    broadcastFd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (broadcastFd < 0) return fail(ErrnoText("socket"));
    setsockopt(broadcastFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    setsockopt(broadcastFd, SOL_SOCKET, SO_REUSEPORT, &one, sizeof one);
    if (bind(broadcastFd, reinterpret_cast<sockaddr*>(&broadcast), sizeof broadcast) != 0)
        return fail(ErrnoText(("bind udp " + AddressText(broadcast)).c_str()));
    return true;
}

// Called with no link thread left running.
void Simulator::Impl::CloseAll() {
    for (auto& link : links) {
        if (!link->closed) {
            CloseFd(link->fd);
            open.fetch_sub(1);
        }
    }
    links.clear();
    CloseFd(listenFd);
    CloseFd(udpFd);
    CloseFd(broadcastFd);
    CloseFd(wakeFd);
}

void Simulator::Impl::Reap() {
    std::vector<std::unique_ptr<Link>> done;
    {
        std::lock_guard lock(mutex);
        for (auto& link : links) {
            if (link->closed) done.push_back(std::move(link));
        }
        std::erase(links, nullptr);
    }
    // A closed link's thread has only to return; joining outside the lock lets it.
    for (auto& link : done) {
        if (link->thread.joinable()) link->thread.join();
    }
}

void Simulator::Impl::Accept() {
    Reap();  // so that closed links leave room under the limit
    while (true) {
        sockaddr_in peer{};
        socklen_t len = sizeof peer;
        // Blocking, unlike the listening socket: a link's thread waits in recv.
        int fd = accept4(listenFd, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_CLOEXEC);
        if (fd < 0) return;  // EAGAIN, or an aborted connection: nothing to keep
        int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        auto owned = std::make_unique<Link>();
        Link* link = owned.get();
        link->fd = fd;
        link->peer = AddressText(peer);
        {
            std::lock_guard lock(mutex);
            // Checked under the lock, so Stop shuts down every link that gets in.
            if (stopping.load() || links.size() >= kMaxLinks) {
                ::close(fd);
                continue;
            }
            accepted.fetch_add(1);
            open.fetch_add(1);
            if (options.verbosity >= 1) Log("link %s opened", link->peer);
            links.push_back(std::move(owned));
        }
        try {
            link->thread = std::thread([this, link] { Serve(*link); });
        } catch (const std::system_error&) {
            std::lock_guard lock(mutex);
            CloseFd(link->fd);
            link->closed = true;
            open.fetch_sub(1);
            if (options.verbosity >= 1) Log("link %s closed: %s", link->peer, "no thread");
        }
    }
}

void Simulator::Impl::AnswerProbes(int fd) {
    for (int i = 0; i < 64; ++i) {
        unsigned char buf[64];
        sockaddr_in from{};
        socklen_t len = sizeof from;
        auto n = recvfrom(fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (n < 0) return;
        auto nonce = wire::DecodeProbe(buf, static_cast<std::size_t>(n));
        if (!nonce || len != sizeof from || from.sin_family != AF_INET) continue;
        auto answer = wire::EncodeAnswer(*nonce);
        // Sent from the unicast socket, so the answer comes from the link address.
        sendto(udpFd, answer.data(), answer.size(), MSG_NOSIGNAL,
               reinterpret_cast<sockaddr*>(&from), sizeof from);
        if (options.verbosity >= 1) Log("answered probe from %s", AddressText(from));
    }
}

// A link's own thread: with nothing delayed it sleeps in a blocking recv and answers at
// once, as a bare echo server does; poll is only for replies that wait or a full socket.
void Simulator::Impl::Serve(Link& link) {
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
        const bool bytewise = link.bytewise;
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
    link.pending.clear();
    link.pendingBytes = 0;
    link.out.clear();
    open.fetch_sub(1);
    if (link.closing && options.verbosity >= 1) Log("link %s closed: %s", link.peer, link.closing);
    lock.unlock();
    Wake();  // so that the serving thread joins this one
}

// Sends what the socket takes; the reason to close the link, or null.
const char* Simulator::Impl::Send(Link& link, bool bytewise) {
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
const char* Simulator::Impl::Receive(Link& link, std::span<unsigned char> buf, bool flushed,
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

void Simulator::Impl::Feed(Link& link, const unsigned char* data, std::size_t size,
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

void Simulator::Impl::Handle(Link& link, const wire::RequestHeader& header, std::string& command,
                             Clock::time_point now) {
    if (!wire::IsSendableCommand(command)) {
        link.closing = "malformed command";
        return;
    }
    // Empty commands cost their bookkeeping too.
    auto cost = [](const std::string& c) { return c.size() + sizeof(std::string); };
    while (!received.empty() && receivedBytes + cost(command) > kMaxReceivedBytes) {
        receivedBytes -= cost(received.front());
        received.pop_front();
    }
    received.push_back(command);
    receivedBytes += cost(command);
    Outcome outcome = machine.Execute(command, now);
    if (options.verbosity >= 2 || (options.verbosity >= 1 && outcome.control))
        Log("%s: %s", link.peer, Printable(command));
    if (outcome.link.drop) {
        link.closing = "dropped on request";
        return;
    }

    wire::Reply reply{header.seq, outcome.status, std::move(outcome.text)};
    if (reply.text.size() > wire::kMaxReplyLength) reply.text.resize(wire::kMaxReplyLength);
    if (link.wrongSeq) reply.seq += kWrongSeqOffset;
    PendingReply pending;
    pending.bytes = wire::EncodeReply(reply);
    if (link.oversize) {
        wire::PutU32(reinterpret_cast<unsigned char*>(pending.bytes.data()) + 12, kOversizeLength);
        pending.closeAfter = true;
    } else if (link.cut) {
        pending.bytes.resize(pending.bytes.size() / 2);
        pending.closeAfter = true;
    }
    link.wrongSeq = link.cut = link.oversize = false;

    pending.due = now;
    if (!outcome.control) {
        pending.due =
            std::max(now + std::chrono::milliseconds(machine.latencyMs()), machine.stallUntil());
    }
    Schedule(link, std::move(pending));

    if (outcome.link.clearAll) {
        for (auto& other : links) ApplyEffect(*other, outcome.link);
    } else {
        ApplyEffect(link, outcome.link);
    }
}

void Simulator::Impl::ApplyEffect(Link& link, const LinkEffect& effect) {
    if (link.closed) return;
    if (effect.clearAll) link.bytewise = link.wrongSeq = link.cut = link.oversize = false;
    link.wrongSeq |= effect.wrongSeq;
    link.cut |= effect.cut;
    link.oversize |= effect.oversize;
    if (effect.bytewise >= 0) link.bytewise = effect.bytewise == 1;
    if (effect.drop && !link.drop) {
        link.drop = true;
        // Wakes the link's thread from recv or poll; it closes the fd itself.
        ::shutdown(link.fd, SHUT_RDWR);
    }
}

void Simulator::Impl::Schedule(Link& link, PendingReply reply) {
    // Replies leave in request order, so none may overtake an earlier one.
    reply.due = std::max(reply.due, link.lastDue);
    link.lastDue = reply.due;
    link.pendingBytes += reply.bytes.size();
    link.pending.push_back(std::move(reply));
}

// Moves the replies that are due to the bytes to send.
void Simulator::Impl::Pump(Link& link, Clock::time_point now) {
    while (!link.pending.empty() && link.pending.front().due <= now && !link.closeAfterFlush &&
           link.out.size() - link.outPos < kSendChunk) {
        PendingReply& next = link.pending.front();
        link.out += next.bytes;
        link.closeAfterFlush = next.closeAfter;
        link.pendingBytes -= next.bytes.size();
        link.pending.pop_front();
    }
}

void Simulator::Impl::Run() {
    // Negative fds (discovery off) are skipped by poll.
    pollfd fds[] = {
        {wakeFd, POLLIN, 0}, {listenFd, POLLIN, 0}, {udpFd, POLLIN, 0}, {broadcastFd, POLLIN, 0}};
    while (!stopping.load()) {
        for (auto& p : fds) p.revents = 0;
        if (poll(fds, std::size(fds), -1) < 0 && errno != EINTR) break;
        if (stopping.load()) break;
        if (fds[0].revents & POLLIN) {
            uint64_t count = 0;
            [[maybe_unused]] auto n = ::read(wakeFd, &count, sizeof count);
            Reap();
        }
        if (fds[1].revents & POLLIN) Accept();
        if (fds[2].revents & POLLIN) AnswerProbes(udpFd);
        if (fds[3].revents & POLLIN) AnswerProbes(broadcastFd);
    }
}

Simulator::Simulator(Bus bus, SimulatorOptions options)
    : impl_(std::make_unique<Impl>(std::move(bus), std::move(options))) {}

Simulator::~Simulator() {
    Stop();
}

bool Simulator::Start(std::string* error) {
    std::lock_guard lock(impl_->mutex);
    if (impl_->running) {
        if (error) *error = "already running";
        return false;
    }
    if (!impl_->Bind(error)) return false;
    impl_->stopping = false;
    impl_->running = true;
    impl_->thread = std::thread([impl = impl_.get()] { impl->Run(); });
    return true;
}

void Simulator::Stop() {
    {
        std::lock_guard lock(impl_->mutex);
        if (!impl_->running) return;
        impl_->stopping = true;
        impl_->Wake();
        // Wakes each link's thread from a blocking recv or poll.
        for (auto& link : impl_->links) {
            if (!link->closed) ::shutdown(link->fd, SHUT_RDWR);
        }
    }
    impl_->thread.join();
    std::vector<std::unique_ptr<Link>> links;
    {
        std::lock_guard lock(impl_->mutex);
        links.swap(impl_->links);
    }
    for (auto& link : links) {
        if (link->thread.joinable()) link->thread.join();
    }
    std::lock_guard lock(impl_->mutex);
    impl_->links = std::move(links);
    impl_->CloseAll();
    impl_->running = false;
}

std::string Simulator::Control(const std::string& command) {
    std::lock_guard lock(impl_->mutex);
    Outcome outcome = impl_->machine.Execute(command, Clock::now());
    if (impl_->options.verbosity >= 1) Log("control: %s", Printable(command));
    if (outcome.control) {
        for (auto& link : impl_->links) impl_->ApplyEffect(*link, outcome.link);
        if (outcome.link.drop) return "OK\r\n";
    }
    return outcome.text;
}

std::size_t Simulator::AcceptedLinks() const {
    return impl_->accepted.load();
}
std::size_t Simulator::OpenLinks() const {
    return impl_->open.load();
}

std::size_t Simulator::BufferedBytes() const {
    std::lock_guard lock(impl_->mutex);
    std::size_t bytes = 0;
    for (const auto& link : impl_->links) bytes += link->out.size() + link->pendingBytes;
    return bytes;
}

std::vector<std::string> Simulator::ReceivedCommands() const {
    std::lock_guard lock(impl_->mutex);
    return {impl_->received.begin(), impl_->received.end()};
}

void Simulator::ClearReceivedCommands() {
    std::lock_guard lock(impl_->mutex);
    impl_->received.clear();
    impl_->receivedBytes = 0;
}

const SimulatorOptions& Simulator::options() const {
    return impl_->options;
}

}  // namespace kestrum::sim
