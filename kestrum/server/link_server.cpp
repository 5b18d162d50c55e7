// The link server's own thread: binds, accepts links and answers discovery probes; and
// what others call on the server.
#include "kestrum/server/link_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iterator>
#include <system_error>

#include "kestrum/server/link_server_impl.h"
#include "kestrum/server/server_log.h"

namespace kestrum::server {
namespace {

constexpr std::size_t kMaxLinks = 256;

std::string ErrnoText(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

std::string AddressText(const sockaddr_in& a) {
    char buf[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &a.sin_addr, buf, sizeof buf);
    return std::string(buf) + ":" + std::to_string(ntohs(a.sin_port));
}

}  // namespace

void LinkServer::Impl::Wake() const {
    if (wakeFd < 0) return;
    uint64_t one = 1;
    [[maybe_unused]] auto n = ::write(wakeFd, &one, sizeof one);
}

bool LinkServer::Impl::Bind(std::string* error) {
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

    return BindBroadcast(addr, loopback, error);
}

bool LinkServer::Impl::BindBroadcast(const sockaddr_in& addr, bool loopback, std::string* error) {
    auto fail = [&](std::string why) {
        if (error) *error = std::move(why);
        CloseAll();
        return false;
    };
    int one = 1;
    // A socket bound to one address gets no broadcasts; one bound to the broadcast
    // address, shared by every server on the network, does.
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
void LinkServer::Impl::CloseAll() {
    for (auto& link : links) {
        if (!link->closed) {
            CloseFd(link->fd);
            open.fetch_sub(1);
            responder.Closed(link->id);
        }
    }
    links.clear();
    CloseFd(listenFd);
    CloseFd(udpFd);
    CloseFd(broadcastFd);
    CloseFd(wakeFd);
}

void LinkServer::Impl::Reap() {
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

void LinkServer::Impl::Accept() {
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
            link->id = ++lastId;
            responder.Opened(link->id);
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
            responder.Closed(link->id);
            if (options.verbosity >= 1) Log("link %s closed: %s", link->peer, "no thread");
        }
    }
}

void LinkServer::Impl::AnswerProbes(int fd) {
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

void LinkServer::Impl::Run() {
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

LinkServer::LinkServer(ControllerModel& model, LinkServerOptions options, LinkHook* hook)
    : impl_(std::make_unique<Impl>(model, std::move(options), hook)) {}

LinkServer::~LinkServer() {
    Stop();
}

bool LinkServer::Start(std::string* error) {
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

void LinkServer::Stop() {
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

std::string LinkServer::Control(const std::string& command) {
    std::lock_guard lock(impl_->mutex);
    if (impl_->options.verbosity >= 1) Log("control: %s", Printable(command));
    Answered answered = impl_->responder.Answer(kNoLink, command, Clock::now());
    if (answered.drop != Intercepted::Drop::kNone)
        for (auto& link : impl_->links) impl_->Drop(*link);
    return std::move(answered.outcome.text);
}

void LinkServer::Locked(const std::function<void()>& f) {
    std::lock_guard lock(impl_->mutex);
    f();
}

std::size_t LinkServer::AcceptedLinks() const {
    return impl_->accepted.load();
}
std::size_t LinkServer::OpenLinks() const {
    return impl_->open.load();
}

std::size_t LinkServer::BufferedBytes() const {
    std::lock_guard lock(impl_->mutex);
    std::size_t bytes = 0;
    for (const auto& link : impl_->links) bytes += link->out.size() + link->pendingBytes;
    return bytes;
}

std::vector<std::string> LinkServer::ReceivedCommands() const {
    std::lock_guard lock(impl_->mutex);
    return {impl_->received.begin(), impl_->received.end()};
}

void LinkServer::ClearReceivedCommands() {
    std::lock_guard lock(impl_->mutex);
    impl_->received.clear();
    impl_->receivedBytes = 0;
}

const LinkServerOptions& LinkServer::options() const {
    return impl_->options;
}

}  // namespace kestrum::server
