#include "cli/cli_app.h"

#include <CLI/CLI.hpp>
#include <memory>
#include <utility>
#include <vector>

#include "cli/commands.h"

namespace pelvane::cli {

namespace {

constexpr const char* kExitCodes =
    "Exit codes:\n"
    "  0  success; for check and diff: the line whole, every counter 300H..303H read, no\n"
    "     error counter and no lost count rose\n"
    "  1  the controller could not be reached, the link failed, or it stopped answering\n"
    "  2  usage error (also an unreadable snapshot or an unwritable output file)\n"
    "  3  errors found (check, diff): a counter or the lost count rose, the line broke\n"
    "     (also watch) or no node answers\n"
    "  4  the bus differs from the reference (check --reference, diff): a node added,\n"
    "     removed, replaced, moved or with another dial switch\n"
    "  5  not judged (check, diff): the node count or a node's counters 300H..303H could\n"
    "     not be read (the controller refused them, or answered oddly), and nothing else\n"
    "     was found\n"
    "When several apply, 1 and 2 come first, then 4, then 3, then 5. A drive whose status\n"
    "word shows a fault (check, watch: the drives line) is no bus fault and changes no\n"
    "exit code.";

}  // namespace

int RunCli(int argc, const char* const* argv, const CliIo& io) {
    CLI::App app{"Headless diagnosis of an EtherCAT bus run by a networked motion controller",
                 "pelvane-cli"};
    // Before the subcommands are added, which take the footer over.
    app.footer(kExitCodes);
    app.require_subcommand(1);
    // In the order --help lists them.
    std::unique_ptr<Command> commands[] = {
        MakeSearchCommand(), MakeInfoCommand(),     MakeNodesCommand(), MakeWatchCommand(),
        MakeCheckCommand(),  MakeSnapshotCommand(), MakeDiffCommand()};
    std::vector<std::pair<const CLI::App*, const Command*>> declared;
    for (const auto& command : commands)
        declared.emplace_back(command->Declare(app), command.get());
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // Help asked for is a success; every other parse failure is a usage error.
        return app.exit(e, io.out, io.err) == 0 ? kExitOk : kExitUsage;
    }
    for (const auto& [sub, command] : declared)
        if (sub->parsed()) return command->Run(io);
    return kExitUsage;
}

}  // namespace pelvane::cli
