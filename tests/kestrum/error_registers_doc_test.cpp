// docs/protocol.md lists the error registers as kestrum/language/error_registers.h
// describes them: the block's items and addresses, then a row a byte with its item,
// address, kind and ESC port. Prints each row that differs and fails.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "kestrum/language/node_items.h"

namespace {

namespace language = kestrum::language;

// A table row's cells without their blanks; empty for a line that is no row.
std::vector<std::string> Cells(const std::string& line) {
    std::vector<std::string> cells;
    if (line.empty() || line.front() != '|') return cells;
    std::size_t at = 1;
    for (std::size_t bar; (bar = line.find('|', at)) != std::string::npos; at = bar + 1) {
        const std::size_t first = line.find_first_not_of(' ', at);
        const std::size_t last = line.find_last_not_of(' ', bar - 1);
        cells.push_back(first < bar ? line.substr(first, last + 1 - first) : "");
    }
    return cells;
}

std::vector<std::string> Expected(const language::ErrorRegister& r) {
    return {std::to_string(language::kItemRegister300H + r.offset), "0" + std::string(r.name),
            std::string(language::ErrorKindText(r.kind)),
            r.escPort == language::kNoEscPort ? "-" : std::to_string(r.escPort)};
}

std::string Row(const std::vector<std::string>& cells) {
    std::string row = "|";
    for (const std::string& cell : cells) row += " " + cell + " |";
    return row;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s docs/protocol.md\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1]);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    int wrong = 0;
    const auto differ = [&](std::size_t line, const std::string& want, const std::string& has) {
        std::fprintf(stderr, "%s:%zu: expected %s\n  found %s\n", argv[1], line + 1, want.c_str(),
                     has.c_str());
        ++wrong;
    };

    const language::ErrorRegister& last = language::kErrorRegisters.back();
    const std::vector<std::string> block = {
        std::to_string(language::kItemRegister300H) + "-" +
            std::to_string(language::kItemRegister300H + last.offset),
        "0" + std::string(language::kErrorRegisters.front().name) + "-0" + std::string(last.name)};
    const std::vector<std::string> header = {"item", "register", "kind", "ESC port"};
    std::size_t blockAt = lines.size();
    std::size_t headerAt = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::vector<std::string> cells = Cells(lines[i]);
        if (cells.size() >= 2 && cells[0] == block[0]) blockAt = i;
        if (cells == header) headerAt = i;
    }
    if (blockAt == lines.size() || Cells(lines[blockAt])[1] != block[1])
        differ(blockAt, "the block's row " + Row(block),
               blockAt < lines.size() ? lines[blockAt] : "none");
    if (headerAt == lines.size()) {
        differ(headerAt, "a table headed " + Row(header), "none");
        return 1;
    }
    // The header, its rule, then a row a byte.
    std::size_t at = headerAt + 2;
    for (const language::ErrorRegister& r : language::kErrorRegisters) {
        const std::string has = at < lines.size() ? lines[at] : "the end";
        if (Cells(has) != Expected(r)) differ(at, Row(Expected(r)), has);
        ++at;
    }
    if (at < lines.size() && !Cells(lines[at]).empty())
        differ(at, "the table's end after " + std::string(last.name), lines[at]);
    return wrong == 0 ? 0 : 1;
}
