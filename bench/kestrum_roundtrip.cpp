// Round-trip time of one KST_Execute against an in-process simulator, next to
// the floor: a bare blocking TCP ping-pong of frames of the same sizes.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_stats.h"
#include "kestrum.h"
#include "kestrum_sim/simulator.h"
#include "tests/support/loopback_only.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kHeader = 16;

struct Stats {
    double meanUs = 0;
    double p99Us = 0;
};

Stats Summarise(const std::vector<double>& ns) {
    return {pelvane::bench::Summarise(ns).mean / 1000.0,
            pelvane::bench::Percentile(ns, 99) / 1000.0};
}

bool SendAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool ReceiveAll(int fd, char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = recv(fd, data, size, 0);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

void NoDelay(int fd) {
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

// The floor: one thread answers each request frame with a reply frame of a
// fixed size, blocking I/O. It reads the length and seq from the request header,
// so the library can be timed against it too, without the simulator's work.
class EchoFloor {
  public:
    EchoFloor(const std::string& address, uint16_t port, std::size_t requestSize,
              std::size_t replySize)
        : request_(requestSize, 'q'), replyText_(replySize - kHeader, 'r') {
        // A well-formed request frame, so the client's bytes are the same as the library's.
        std::memcpy(request_.data(), "KQ\1\0", 4);
        PutU32(request_.data() + 12, static_cast<uint32_t>(requestSize - kHeader));
        listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int one = 1;
        setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_port = htons(port);
        inet_pton(AF_INET, address.c_str(), &at.sin_addr);
        socklen_t len = sizeof at;
        if (bind(listen_, reinterpret_cast<sockaddr*>(&at), len) != 0 || listen(listen_, 4) != 0 ||
            getsockname(listen_, reinterpret_cast<sockaddr*>(&at), &len) != 0) {
            std::perror("floor server");
            std::exit(1);
        }
        port_ = ntohs(at.sin_port);
        server_ = std::thread([this] { Serve(); });
    }
    ~EchoFloor() {
        shutdown(listen_, SHUT_RDWR);
        if (client_ >= 0) shutdown(client_, SHUT_RDWR);
        server_.join();
        for (std::thread& t : served_) t.join();
        close(listen_);
        if (client_ >= 0) close(client_);
    }

    uint16_t port() const { return port_; }

    void ConnectClient(const std::string& address) {
        client_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        NoDelay(client_);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_port = htons(port_);
        inet_pton(AF_INET, address.c_str(), &at.sin_addr);
        if (connect(client_, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0) {
            std::perror("floor client");
            std::exit(1);
        }
    }

    bool RoundTrip() {
        char reply[kHeader + 4096];
        return SendAll(client_, request_.data(), request_.size()) &&
               ReceiveAll(client_, reply, kHeader + replyText_.size());
    }

  private:
    static void PutU32(char* out, uint32_t v) {
        for (int i = 0; i < 4; ++i) out[i] = static_cast<char>(v >> (8 * i));
    }
    static uint32_t GetU32(const char* in) {
        uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(in[i]);
        return v;
    }

    // A thread per connection, as blocking I/O needs.
    void Serve() {
        for (;;) {
            int fd = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) return;
            NoDelay(fd);
            served_.emplace_back([this, fd] {
                ServeOne(fd);
                close(fd);
            });
        }
    }

    void ServeOne(int fd) {
        std::vector<char> in(65536);
        std::size_t have = 0;
        std::string reply(kHeader, '\0');
        reply += replyText_;
        std::memcpy(reply.data(), "KR", 2);
        PutU32(reply.data() + 12, static_cast<uint32_t>(replyText_.size()));
        for (;;) {
            ssize_t n = recv(fd, in.data() + have, in.size() - have, 0);
            if (n <= 0) return;
            have += static_cast<std::size_t>(n);
            while (have >= kHeader) {
                std::size_t frame = kHeader + GetU32(in.data() + 12);
                if (frame > in.size()) return;
                if (have < frame) break;
                std::memcpy(reply.data() + 4, in.data() + 4, 4);  // the seq answered
                if (!SendAll(fd, reply.data(), reply.size())) return;
                std::memmove(in.data(), in.data() + frame, have - frame);
                have -= frame;
            }
        }
    }

    std::string request_;
    std::string replyText_;
    int listen_ = -1;
    int client_ = -1;
    uint16_t port_ = 0;
    std::thread server_;
    std::vector<std::thread> served_;
};

template <typename F>
std::vector<double> Time(int iterations, F&& once) {
    std::vector<double> ns;
    ns.reserve(static_cast<std::size_t>(iterations));
    for (int i = 0; i < iterations; ++i) {
        auto start = Clock::now();
        if (!once()) {
            std::fprintf(stderr, "round trip %d failed\n", i);
            std::exit(1);
        }
        ns.push_back(std::chrono::duration<double, std::nano>(Clock::now() - start).count());
    }
    return ns;
}

struct Settings {
    int iterations = 20000;
    int warmup = 2000;
    int rounds = 20;
    std::string address = "127.0.0.1";
    std::string echoAddress = "127.0.0.2";
    std::string command = "?NODE_COUNT(0)";
};

// Both servers on loopback addresses of their own, in a namespace that holds only loopback.
bool SafeToRun(const Settings& s, const char* program) {
    for (const std::string& a : {s.address, s.echoAddress}) {
        in_addr parsed{};
        if (inet_pton(AF_INET, a.c_str(), &parsed) != 1 || (ntohl(parsed.s_addr) >> 24) != 127) {
            std::fprintf(stderr, "%s is not a loopback address\n", a.c_str());
            return false;
        }
    }
    if (s.address == s.echoAddress) {
        std::fprintf(stderr, "the simulator and the echo server need addresses of their own\n");
        return false;
    }
    if (!pelvane::testing::OnlyLoopbackInterfaces()) {
        std::fprintf(stderr,
                     "run this inside a private network namespace:\n"
                     "  unshare --net bash -c 'ip link set lo up && %s'\n",
                     program);
        return false;
    }
    return true;
}

KST_HANDLE OpenLink(const std::string& address) {
    KST_HANDLE handle = nullptr;
    if (KST_FastOpen(KST_TYPE_ETHERNET, address.c_str(), 500, &handle) != 0) {
        std::fprintf(stderr, "cannot open a link to %s\n", address.c_str());
        return nullptr;
    }
    return handle;
}

struct Series {
    std::vector<double> library, libraryEcho, bare;
};

// Alternating in short rounds spreads the load of other processes, and the machine's
// changes of pace, evenly over all three.
template <typename A, typename B, typename C>
Series Measure(const Settings& s, A execute, B executeEcho, C ping) {
    Time(s.warmup, execute);
    Time(s.warmup, executeEcho);
    Time(s.warmup, ping);
    Series series;
    auto append = [](std::vector<double>& to, const std::vector<double>& from) {
        to.insert(to.end(), from.begin(), from.end());
    };
    const int perRound = std::max(1, s.iterations / s.rounds);
    for (int r = 0; r < s.rounds; ++r) {
        append(series.library, Time(perRound, execute));
        append(series.libraryEcho, Time(perRound, executeEcho));
        append(series.bare, Time(perRound, ping));
    }
    return series;
}

void Report(const Series& series, std::size_t requestSize, std::size_t replySize) {
    const Stats lib = Summarise(series.library);
    const Stats echo = Summarise(series.libraryEcho);
    const Stats flo = Summarise(series.bare);
    std::printf("frames: request %zu bytes, reply %zu bytes, %zu round trips each\n", requestSize,
                replySize, series.library.size());
    std::printf("KST_Execute, simulator    mean %8.2f us   p99 %8.2f us\n", lib.meanUs, lib.p99Us);
    std::printf("KST_Execute, echo server  mean %8.2f us   p99 %8.2f us\n", echo.meanUs,
                echo.p99Us);
    std::printf("TCP floor, echo server    mean %8.2f us   p99 %8.2f us\n", flo.meanUs, flo.p99Us);
    std::printf("ratio simulator / floor   mean %8.2f      p99 %8.2f\n", lib.meanUs / flo.meanUs,
                lib.p99Us / flo.p99Us);
    std::printf("ratio echo / floor        mean %8.2f      p99 %8.2f\n", echo.meanUs / flo.meanUs,
                echo.p99Us / flo.p99Us);
}

int Run(const Settings& s) {
    kestrum::sim::SimulatorOptions options;
    options.address = s.address;
    options.discovery = false;
    kestrum::sim::Bus bus;
    bus.nodes.resize(3);
    kestrum::sim::Simulator simulator(bus, options);
    std::string error;
    if (!simulator.server().Start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return 1;
    }
    KST_HANDLE handle = OpenLink(s.address);
    if (handle == nullptr) return 1;
    char reply[2048];
    auto execute = [&] {
        return KST_Execute(handle, s.command.c_str(), 1000, reply, sizeof reply) == 0;
    };
    if (!execute()) {
        std::fprintf(stderr, "%s failed\n", s.command.c_str());
        return 1;
    }
    const std::size_t requestSize = kHeader + s.command.size();
    const std::size_t replySize = kHeader + std::strlen(reply);
    EchoFloor floor(s.echoAddress, kestrum::wire::kPort, requestSize, replySize);
    floor.ConnectClient(s.echoAddress);
    KST_HANDLE echoHandle = OpenLink(s.echoAddress);
    if (echoHandle == nullptr) return 1;
    auto executeEcho = [&] {
        return KST_Execute(echoHandle, s.command.c_str(), 1000, reply, sizeof reply) == 0;
    };
    const Series series = Measure(s, execute, executeEcho, [&] { return floor.RoundTrip(); });
    KST_Close(handle);
    KST_Close(echoHandle);
    Report(series, requestSize, replySize);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Round trip of KST_Execute against its TCP floor"};
    Settings s;
    app.add_option("-n,--iterations", s.iterations, "Measured round trips of each kind")
        ->check(CLI::Range(100, 10000000));
    app.add_option("-w,--warmup", s.warmup, "Unmeasured round trips first")
        ->check(CLI::Range(0, 1000000));
    app.add_option("-r,--rounds", s.rounds, "Alternate the three kinds this many times")
        ->check(CLI::Range(1, 10000000));
    app.add_option("-a,--address", s.address, "Loopback address for the simulator");
    app.add_option("-e,--echo-address", s.echoAddress, "Loopback address for the echo server");
    app.add_option("-c,--command", s.command, "Command to time");
    CLI11_PARSE(app, argc, argv);
    if (!SafeToRun(s, argv[0])) return 2;
    return Run(s);
}
