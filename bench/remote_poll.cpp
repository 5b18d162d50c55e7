// The diagnosis page's poll (window_poll.h) of a bus served by a simulator that runs as a
// program of its own, so that the Linux and the Windows build are timed against the same one.
#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_stats.h"
#include "bench/remote_link.h"
#include "bench/window_poll.h"
#include "controller/controller_link.h"
#include "controller/controller_state.h"
#include "kestrum.h"

int main(int argc, char** argv) {
    CLI::App app{"The window's poll against a running simulator"};
    std::string address;
    int polls = 50;
    int warmup = 3;
    app.add_option("address", address, "Loopback address of the simulator")->required();
    app.add_option("-n,--polls", polls, "Measured polls")->check(CLI::Range(1, 100000));
    app.add_option("-w,--warmup", warmup, "Unmeasured polls first")->check(CLI::Range(0, 1000));
    CLI11_PARSE(app, argc, argv);
    if (!pelvane::bench::LoopbackOnly(address)) return 2;
    if (pelvane::OpenControllerLink(address.c_str()) != 0) {
        std::fprintf(stderr, "cannot link to %s\n", address.c_str());
        return 1;
    }

    pelvane::bench::WindowPoll window;
    std::vector<double> ms;
    for (int i = 0; i < warmup + polls; ++i) {
        const auto start = std::chrono::steady_clock::now();
        window.Poll(pelvane::g_errorCounterTable);
        const auto took = std::chrono::steady_clock::now() - start;
        if (!window.poll.linkAnswered()) {
            std::fprintf(stderr, "the link stopped answering\n");
            return 1;
        }
        if (i >= warmup) ms.push_back(std::chrono::duration<double, std::milli>(took).count());
    }
    KST_Close(pelvane::g_controllerHandle);
    const pelvane::bench::Summary s = pelvane::bench::Summarise(ms);
    std::printf("poll of %d nodes: median %.2f ms  mean %.2f ms  worst %.2f ms  (%d polls)\n",
                window.nodeCount, s.median, s.mean, s.worst, polls);
    return 0;
}
