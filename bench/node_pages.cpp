// The two node pages against an in-process simulator: refresh and poll times beside
// (commands x median KST_Execute round trip) of the same run, how long a poll holds the
// window, list rebuild plus repaint, and the window's CPU and memory while it polls.
#include <sys/resource.h>

#include <CLI/CLI.hpp>
#include <QApplication>
#include <QElapsedTimer>
#include <QTabBar>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/pelvane_dlg.h"
#include "app/resource.h"
#include "bench/bench_link.h"
#include "bench/bench_stats.h"
#include "bench/window_poll.h"
#include "controller/controller_state.h"
#include "kestrum.h"
#include "nodes/error_poll.h"
#include "nodes/node_cells.h"
#include "nodes/node_table.h"
#include "pages/node_error.h"
#include "pages/page_list.h"
#include "ui/controls.h"
#include "ui/list_control.h"
#include "ui/qt_access.h"

namespace {

using Clock = std::chrono::steady_clock;

using pelvane::bench::Summarise;
using pelvane::bench::Summary;

Summary Measure(int runs, const std::function<void()>& work) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        work();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    return Summarise(ms);
}

std::unique_ptr<kestrum::sim::Simulator> Serve(kestrum::sim::Bus bus, const char* address) {
    auto sim = pelvane::bench::ServeAndLink(std::move(bus), address);
    if (!sim) std::exit(1);
    return sim;
}

void Close() {
    KST_Close(pelvane::g_controllerHandle);
    pelvane::g_controllerHandle = nullptr;
}

// Every node drives an axis, as on a bus of servo drives.
kestrum::sim::Bus DriveBus(int nodes, int latencyMs) {
    kestrum::sim::Bus bus;
    bus.nodes.resize(static_cast<size_t>(nodes));
    for (auto& node : bus.nodes) {
        node.vendorId = 0x41B;
        node.axisCount = 1;
        node.statusWord = 0x1237;
    }
    bus.latencyMs = latencyMs;
    return bus;
}

double RoundTripMs() {
    char reply[pelvane::kReplyCapacity];
    const auto start = Clock::now();
    KST_Execute(pelvane::g_controllerHandle, "?NODE_INFO(0,0,768)", 1000, reply, sizeof reply);
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Counts work's commands, then times it in rounds that alternate with round trips, so
// that a change of the machine's pace weighs on both alike.
void Against(const char* what, kestrum::sim::Simulator& sim, int runs,
             const std::function<void()>& work) {
    sim.server().ClearReceivedCommands();
    work();
    const size_t commands = sim.server().ReceivedCommands().size();
    std::vector<double> trips;
    std::vector<double> took;
    for (int run = 0; run < runs; ++run) {
        for (size_t i = 0; i < std::max<size_t>(commands, 200); ++i) trips.push_back(RoundTripMs());
        took.push_back(Measure(1, work).median);
    }
    const double floor = static_cast<double>(commands) * Summarise(trips).median;
    const Summary times = Summarise(took);
    std::printf(
        "%-24s %5zu commands  median %7.2f ms  worst %7.2f ms  floor %7.2f ms  "
        "ratio %.2f\n",
        what, commands, times.median, times.worst, floor, times.median / floor);
}

void RefreshAndPollTimes() {
    std::puts("== against the simulator (floor = commands x median KST_Execute round trip)");
    {
        auto sim = Serve(DriveBus(200, 0), "127.0.6.1");
        Against("node table, 200 nodes", *sim, 10, [] { pelvane::QueryNodeTable(); });
        Close();
    }
    for (const int nodes : {6, 50, 200}) {
        auto sim = Serve(DriveBus(nodes, 0), "127.0.6.2");
        pelvane::bench::WindowPoll poll;
        pelvane::ErrorCounterTable table{};
        const std::string what = "poll, " + std::to_string(nodes) + " nodes";
        Against(what.c_str(), *sim, 20, [&] { poll.Poll(table); });
        Close();
    }
    std::puts("== one poll of 200 nodes holds the window for");
    for (const int latency : {0, 1}) {
        auto sim = Serve(DriveBus(200, latency), "127.0.6.3");
        pelvane::bench::WindowPoll poll;
        pelvane::ErrorCounterTable table{};
        const Summary took = Measure(latency == 0 ? 20 : 3, [&] { poll.Poll(table); });
        std::printf("  %d ms simulator latency: median %.1f ms, worst %.1f ms\n", latency,
                    took.median, took.worst);
        Close();
    }
}

// What a page does on a rebuild, then one repaint of the page.
Summary RebuildAndRepaint(QWidget& page, pelvane::ui::ListControl& list, int rows, bool errors) {
    static const pelvane::ListColumn kColumns[9] = {{"1", 50}, {"2", 100}, {"3", 80},
                                                    {"4", 80}, {"5", 80},  {"6", 80},
                                                    {"7", 80}, {"8", 80},  {"9", 80}};
    pelvane::NodeRecord record{};
    record.vendorId = 0x66F;  // a GBK name, decoded as on the real list
    record.inputCount = 16;
    pelvane::ErrorCounterTable table{};
    return Measure(50, [&] {
        pelvane::ResetList(list, std::span(kColumns, errors ? 8 : 9));
        for (int row = 0; row < rows; ++row) {
            if (errors) {
                pelvane::AppendRow(list, pelvane::ErrorListCells(row % 200, record, table));
                list.SetItemData(row, row % 2);
            } else {
                pelvane::AppendRow(list, pelvane::NodeInfoCells(record));
            }
        }
        page.repaint();
    });
}

void ListTimes() {
    std::puts("== list rebuild plus repaint, offscreen (median / worst of 50)");
    static const pelvane::ui::DialogTemplate kListPage{
        .size = {100, 100},
        .styles = pelvane::ui::kResizable,
        .items = {{1, pelvane::ui::ItemKind::ListView, "", {0, 0, 100, 100}, 0}},
        .initStrings = {}};
    pelvane::ui::Dialog dialog(kListPage);
    dialog.Initialize();
    QWidget& page = pelvane::ui::WidgetOf(dialog);
    page.resize(1100, 700);
    auto* list = dialog.ItemAs<pelvane::ui::ListControl>(1);
    pelvane::ui::WidgetOf(*list).setGeometry(page.rect());
    page.show();
    for (const bool errors : {false, true}) {
        const Summary two = RebuildAndRepaint(page, *list, 200, errors);
        const Summary four = RebuildAndRepaint(page, *list, 400, errors);
        std::printf("  %s list: 200 rows %.2f / %.2f ms, 400 rows %.2f / %.2f ms, ratio %.2f\n",
                    errors ? "error" : "node ", two.median, two.worst, four.median, four.worst,
                    four.median / two.median);
    }
}

double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return 0;
}

void WindowLoad(const std::string& busFile, int seconds) {
    auto sim = pelvane::bench::ServeAndLink(busFile, "127.0.6.4");
    if (!sim) return;
    Close();  // the window opens its own link
    pelvane::CPelvaneDlg dialog;
    dialog.Initialize();
    pelvane::ui::WidgetOf(dialog).show();
    pelvane::ui::WidgetOf(*dialog.ItemAs<pelvane::ui::ComboBox>(pelvane::kIdcAddress))
        .setEditText("127.0.6.4");
    dialog.OnConnect();
    QTabBar* bar =
        pelvane::ui::WidgetOf(*dialog.ItemAs<pelvane::ui::TabControl>(pelvane::kIdcTab)).tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
    sim->server().ClearReceivedCommands();
    const double cpuBefore = ThreadCpuSeconds();
    QTest::qWait(seconds * 1000);
    const double cpu = ThreadCpuSeconds() - cpuBefore;
    std::printf(
        "== window polling %s for %d s: window thread %.2f%% of one core, "
        "%zu commands, process resident %ld kB (simulator included)\n",
        busFile.c_str(), seconds, 100.0 * cpu / seconds, sim->server().ReceivedCommands().size(),
        ResidentKb());
    dialog.OnDisconnect();
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    CLI::App cli{"Times of the node pages against the simulator"};
    int seconds = 30;
    std::string busFile = "sim/buses/demo.json";
    cli.add_option("--window-seconds", seconds, "how long the window polls (0 skips it)");
    cli.add_option("--bus", busFile, "bus file the window polls");
    CLI11_PARSE(cli, argc, argv);
    QApplication app(argc, argv);
    RefreshAndPollTimes();
    ListTimes();
    if (seconds > 0) WindowLoad(busFile, seconds);
    return 0;
}
