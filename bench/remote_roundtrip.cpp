// KST_Execute's round trip against a simulator that runs as a program of its own, so that
// the Linux and the Windows build are timed against the same one.
#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_stats.h"
#include "bench/remote_link.h"
#include "kestrum.h"

int main(int argc, char** argv) {
    CLI::App app{"KST_Execute round trip against a running simulator"};
    std::string address;
    std::string command = "?NODE_COUNT(0)";
    int iterations = 20000;
    int warmup = 2000;
    app.add_option("address", address, "Loopback address of the simulator")->required();
    app.add_option("-n,--iterations", iterations, "Measured round trips")
        ->check(CLI::Range(100, 10000000));
    app.add_option("-w,--warmup", warmup, "Unmeasured round trips first")
        ->check(CLI::Range(0, 1000000));
    app.add_option("-c,--command", command, "Command to time")->capture_default_str();
    CLI11_PARSE(app, argc, argv);
    if (!pelvane::bench::LoopbackOnly(address)) return 2;

    KST_HANDLE handle = nullptr;
    if (KST_FastOpen(KST_TYPE_ETHERNET, address.c_str(), 1000, &handle) != 0) {
        std::fprintf(stderr, "cannot open a link to %s\n", address.c_str());
        return 1;
    }
    char reply[2048];
    std::vector<double> us;
    us.reserve(static_cast<std::size_t>(iterations));
    for (int i = 0; i < warmup + iterations; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (KST_Execute(handle, command.c_str(), 1000, reply, sizeof reply) != 0) {
            std::fprintf(stderr, "%s failed\n", command.c_str());
            return 1;
        }
        const auto took = std::chrono::steady_clock::now() - start;
        if (i >= warmup) us.push_back(std::chrono::duration<double, std::micro>(took).count());
    }
    KST_Close(handle);
    const pelvane::bench::Summary s = pelvane::bench::Summarise(us);
    std::printf("round trip: median %.2f us  mean %.2f us  p99 %.2f us  (%d of %s)\n", s.median,
                s.mean, pelvane::bench::Percentile(us, 99), iterations, command.c_str());
    return 0;
}
