#include "cli_app.h"

#include <CLI/CLI.hpp>
#include <functional>

#include "commands.h"
#include "link_settings.h"

namespace pelvane::cli {

namespace {

constexpr const char* kExitCodes =
    "Exit codes:\n"
    "  0  success; for check and diff: the line whole, no error counter and no lost count\n"
    "     rose\n"
    "  1  the controller could not be reached, the link failed, or it stopped answering\n"
    "  2  usage error (also an unreadable snapshot or an unwritable output file)\n"
    "  3  errors found (check, diff): a counter or the lost count rose, the line broke\n"
    "     (also watch) or no node answers\n"
    "  4  the bus differs from the reference (check --reference, diff): a node added,\n"
    "     removed, replaced, moved or with another dial switch\n"
    "When several apply, 1 and 2 come first, then 4, then 3.";

struct Arguments {
    std::string address, format = "table", output, oldPath, newPath, reference;
    uint32_t searchMs = kSearchTimeMs;
    int intervalMs = kDefaultIntervalMs;
    int64_t count = 0;
    double durationS = 0;
};

CLI::App* AddAddressed(CLI::App& app, const char* name, const char* about, Arguments& a) {
    CLI::App* sub = app.add_subcommand(name, about);
    sub->add_option("ADDR", a.address, "controller address (dotted IPv4)")->required();
    return sub;
}

void AddInterval(CLI::App* sub, Arguments& a) {
    sub->add_option("--interval", a.intervalMs, "milliseconds between polls")
        ->check(CLI::Range(10, 3600000))
        ->capture_default_str();
}

// Declares the subcommands; the one given runs through run.
void Declare(CLI::App& app, Arguments& a, std::function<ExitCode()>& run, const CliIo& io) {
    CLI::App* search = app.add_subcommand("search", "controllers that answer the network search");
    search->add_option("--time", a.searchMs, "milliseconds to wait for answers")
        ->check(CLI::Range(1, 60000))
        ->capture_default_str();
    search->callback([&] { run = [&] { return RunSearch(a.searchMs, io); }; });

    AddAddressed(app, "info", "model, version and ID", a)->callback([&] {
        run = [&] { return RunInfo(a.address, io); };
    });

    CLI::App* nodes = AddAddressed(app, "nodes", "the node list of every node", a);
    nodes->add_option("--format", a.format, "table, json or csv")
        ->check(CLI::IsMember({"table", "json", "csv"}))
        ->capture_default_str();
    nodes->callback([&] { run = [&] { return RunNodes(a.address, a.format, io); }; });

    CLI::App* watch = AddAddressed(app, "watch", "the diagnosis live, with a verdict", a);
    AddInterval(watch, a);
    watch->add_option("--count", a.count, "polls before it ends (default: until Ctrl-C)")
        ->check(CLI::PositiveNumber);
    watch->callback([&] {
        run = [&] {
            return RunWatch(a.address, a.intervalMs,
                            a.count > 0 ? std::optional<int64_t>(a.count) : std::nullopt, io);
        };
    });

    CLI::App* check = AddAddressed(
        app, "check", "watch for a while; exit 3 if errors rose, 4 if the bus differs", a);
    check->add_option("--duration", a.durationS, "seconds to watch")
        ->required()
        ->check(CLI::Range(0.0, 1e6));
    AddInterval(check, a);
    check->add_option("--reference", a.reference,
                      "a snapshot of the bus as it should be, compared before watching");
    check->callback([&] {
        run = [&] { return RunCheck(a.address, a.durationS, a.intervalMs, a.reference, io); };
    });

    CLI::App* snapshot = AddAddressed(app, "snapshot", "identity, node table and one poll", a);
    snapshot->add_option("--format", a.format, "json or csv")
        ->check(CLI::IsMember({"json", "csv"}));
    snapshot->add_option("-o", a.output, "file to write (default: stdout)");
    snapshot->callback([&] {
        run = [&] {
            return RunSnapshot(a.address, a.format == "csv" ? "csv" : "json", a.output, io);
        };
    });

    CLI::App* diff = app.add_subcommand(
        "diff", "two JSON snapshots compared: the bus, the counters, the verdict");
    diff->add_option("OLD", a.oldPath, "the earlier snapshot")->required();
    diff->add_option("NEW", a.newPath, "the later snapshot")->required();
    diff->callback([&] { run = [&] { return RunDiff(a.oldPath, a.newPath, io); }; });
}

}  // namespace

int RunCli(int argc, const char* const* argv, const CliIo& io) {
    CLI::App app{"Headless diagnosis of an EtherCAT bus run by a networked motion controller",
                 "pelvane-cli"};
    app.footer(kExitCodes);
    app.require_subcommand(1);
    Arguments arguments;
    std::function<ExitCode()> run;
    Declare(app, arguments, run, io);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // Help asked for is a success; every other parse failure is a usage error.
        return app.exit(e, io.out, io.err) == 0 ? kExitOk : kExitUsage;
    }
    return run ? run() : kExitUsage;
}

}  // namespace pelvane::cli
