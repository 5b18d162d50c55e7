#include "cli/line_picture.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "nodes/node_cells.h"

namespace pelvane::cli {

namespace {

constexpr const char* kBold = "\x1b[1m";
constexpr const char* kRed = "\x1b[1;31m";
constexpr const char* kPlain = "\x1b[0m";

struct Glyphs {
    const char* link;
    const char* mark;
    const char* gap;
    const char* fork;  // a branch with more of its node's branches below it
    const char* last;  // a node's last branch
    const char* pass;  // a node's branches going on further down
};

constexpr Glyphs kUtf8Glyphs{"─", "═✗═", "…", "├", "└", "│"};
constexpr Glyphs kAsciiGlyphs{"-", "=X=", "...", "+", "`", "|"};

// Every glyph of the picture takes one column, the box-drawing ones too: the rows of a tree
// line up only when counted so.
size_t Columns(std::string_view utf8) {
    return static_cast<size_t>(std::ranges::count_if(
        utf8, [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// A row and its width as the terminal shows it, escapes not counted.
class Row {
  public:
    explicit Row(bool colour) : colour_(colour) {}

    void Add(std::string_view text, const char* sgr = nullptr) {
        const bool escaped = colour_ && sgr != nullptr;
        if (escaped) text_ += sgr;
        text_ += text;
        if (escaped) text_ += kPlain;
        width_ += Columns(text);
    }

    const std::string& text() const { return text_; }
    size_t width() const { return width_; }

  private:
    bool colour_;
    std::string text_;
    size_t width_ = 0;
};

// Per node, by ESC port, the node drawn hanging there, or -1.
using Hangers = std::vector<std::array<int32_t, 4>>;

Hangers LineHangers(int32_t nodeCount) {
    Hangers hangers(static_cast<size_t>(nodeCount), {-1, -1, -1, -1});
    for (int32_t node = 0; node + 1 < nodeCount; ++node)
        hangers[static_cast<size_t>(node)][1] = node + 1;
    return hangers;
}

// The first nodeCount nodes of topology when they branch and every one of them hangs on a
// node before it: none when they are no tree to draw.
std::optional<Hangers> TreeHangers(const Topology* topology, int32_t nodeCount) {
    const auto count = static_cast<size_t>(nodeCount);
    if (topology == nullptr || topology->line || count == 0 || topology->nodes.size() < count)
        return std::nullopt;
    Hangers hangers(count, {-1, -1, -1, -1});
    std::vector<bool> hung(count, false);
    for (size_t node = 0; node < count; ++node) {
        for (size_t esc = 1; esc < 4; ++esc) {
            const std::optional<int32_t> child = topology->nodes[node].children[esc];
            if (!child || *child <= static_cast<int32_t>(node) || *child >= nodeCount) continue;
            const auto at = static_cast<size_t>(*child);
            if (hung[at]) continue;
            hung[at] = true;
            hangers[node][esc] = *child;
        }
    }
    // Children come after their parents, so every node hung is every node reached.
    if (std::count(hung.begin() + 1, hung.end(), true) + 1 != nodeCount) return std::nullopt;
    return hangers;
}

struct Marks {
    std::vector<bool> cable;                // by node: the cable into it
    std::vector<std::array<bool, 4>> open;  // by node and ESC port: no node there
    bool controller = false;                // the controller's own port, with no node at all
};

// An open ESC port of node; none: after the last node, as on a line. A hand-made verdict
// may name a port a node hangs on: its cable is marked then.
void MarkOpen(Marks& marks, const Hangers& hangers, std::optional<int32_t> node, int escPort) {
    const auto count = static_cast<int32_t>(hangers.size());
    if (count == 0) {
        marks.controller = true;
        return;
    }
    // ESC port 0 leads back to the controller: only ports 2 and 3 start branches.
    int esc = escPort == 2 || escPort == 3 ? escPort : 1;
    if (!node || *node < 0 || *node >= count) {
        node = count - 1;
        esc = 1;
    }
    const auto at = static_cast<size_t>(*node);
    if (const int32_t child = hangers[at][static_cast<size_t>(esc)]; child >= 0) {
        marks.cable[static_cast<size_t>(child)] = true;
    } else {
        marks.open[at][static_cast<size_t>(esc)] = true;
    }
}

// On a line every open port is its end, as the line's verdict has it.
Marks MarkVerdict(const Verdict& verdict, const Hangers& hangers, bool tree) {
    const auto count = static_cast<int32_t>(hangers.size());
    Marks marks{std::vector<bool>(hangers.size(), false),
                std::vector<std::array<bool, 4>>(hangers.size()), false};
    const auto markCable = [&](int32_t cable, std::optional<int32_t> upstream, int escPort) {
        if (cable >= 0 && cable < count) marks.cable[static_cast<size_t>(cable)] = true;
        if (cable == count) MarkOpen(marks, hangers, tree ? upstream : std::nullopt, escPort);
    };
    for (const CableFinding& finding : verdict.worst)
        markCable(finding.cable, finding.upstream, finding.upstreamEscPort);
    if (!verdict.nodeCounts.broken()) return marks;
    if (tree && verdict.breakPlace) {
        MarkOpen(marks, hangers, verdict.breakPlace->upstream, verdict.breakPlace->escPort);
    } else {
        markCable(verdict.nodeCounts.cable(), std::nullopt, 1);
    }
    return marks;
}

// One row: the trunk from the controller, or a branch off a node's port 3 or 4.
struct Branch {
    int32_t parent = -1;         // -1: the trunk
    int escPort = 1;             // the parent's port
    std::vector<int32_t> nodes;  // none: only the marked open port
    bool openEnd = false;        // marked open after the last node, or where the row starts
};

void Walk(std::vector<Branch>& rows, const Hangers& hangers, const Marks& marks, size_t row,
          int32_t node);

void BranchOff(std::vector<Branch>& rows, const Hangers& hangers, const Marks& marks, int32_t node,
               int esc) {
    const auto at = static_cast<size_t>(node);
    const int32_t child = hangers[at][static_cast<size_t>(esc)];
    if (child < 0 && !marks.open[at][static_cast<size_t>(esc)]) return;
    rows.push_back({node, esc, {}, child < 0});
    if (child >= 0) Walk(rows, hangers, marks, rows.size() - 1, child);
}

// Follows port 2 from node along rows[row], then adds the branches of its nodes from the
// last node back to the first, port 4 before port 3: each branch row then starts right of
// every row below it that belongs to a node further left, so the lines down to those
// never cross a name. Recurses once per nesting, no deeper than the node table.
void Walk(std::vector<Branch>& rows, const Hangers& hangers, const Marks& marks, size_t row,
          int32_t node) {
    for (int32_t at = node; at >= 0; at = hangers[static_cast<size_t>(at)][1])
        rows[row].nodes.push_back(at);
    const std::vector<int32_t> along = rows[row].nodes;
    rows[row].openEnd = marks.open[static_cast<size_t>(along.back())][1];
    for (auto at = along.rbegin(); at != along.rend(); ++at) {
        BranchOff(rows, hangers, marks, *at, 3);
        BranchOff(rows, hangers, marks, *at, 2);
    }
}

std::vector<Branch> Branches(const Hangers& hangers, const Marks& marks) {
    std::vector<Branch> rows(1);
    if (hangers.empty()) {
        rows[0].openEnd = marks.controller;
    } else {
        Walk(rows, hangers, marks, 0, 0);
    }
    return rows;
}

struct Pen {
    const Marks& marks;
    const std::vector<bool>& risen;
    const LineStyle& style;
    const Glyphs& glyphs;
};

// lead: the columns before the row; connector: a branch's ├ or └. shown[i] is false for
// the row's i-th node when it may collapse into a gap. columns takes where labels start.
Row DrawRow(const Branch& branch, const Pen& pen, const std::string& lead, const char* connector,
            const std::vector<bool>& shown, std::vector<size_t>& columns) {
    Row row(pen.style.colour);
    row.Add(lead);
    const bool trunk = branch.parent < 0;
    if (trunk) {
        row.Add("PLC");
    } else {
        row.Add(connector);
        row.Add(std::to_string(PortLabel(branch.escPort)));
    }
    auto join = [&](bool marked, bool first) {
        if (trunk || !first) row.Add(" ");
        row.Add(marked ? pen.glyphs.mark : pen.glyphs.link, marked ? kRed : nullptr);
        row.Add(" ");
    };
    const std::vector<int32_t>& nodes = branch.nodes;
    for (size_t i = 0; i < nodes.size();) {
        const auto node = static_cast<size_t>(nodes[i]);
        size_t runEnd = i;
        while (runEnd < nodes.size() && !shown[runEnd]) ++runEnd;
        join(pen.marks.cable[node], i == 0);
        // A single hidden node takes no more room than the gap would.
        if (runEnd - i >= 2) {
            row.Add(pen.glyphs.gap);
            i = runEnd;
            continue;
        }
        columns[node] = row.width();
        const std::string label = FormatNodeLabel(nodes[i]);
        if (!pen.risen[node]) {
            row.Add(label);
        } else if (pen.style.colour) {
            row.Add(label, kBold);
        } else {
            row.Add("[" + label + "]");
        }
        ++i;
    }
    if (branch.openEnd) {
        join(true, nodes.empty());
        row.Add("end");
    }
    return row;
}

// What stays of a row too wide: its ends, risen nodes, both ends of a marked cable, and the
// nodes branches hang from.
std::vector<bool> Remarkable(const Branch& branch, const Pen& pen, const std::vector<bool>& forks) {
    const std::vector<int32_t>& nodes = branch.nodes;
    std::vector<bool> shown(nodes.size(), false);
    for (size_t i = 0; i < nodes.size(); ++i) {
        const auto node = static_cast<size_t>(nodes[i]);
        const bool beforeMark =
            i + 1 < nodes.size() && pen.marks.cable[static_cast<size_t>(nodes[i + 1])];
        shown[i] = i == 0 || i + 1 == nodes.size() || pen.risen[node] || forks[node] ||
                   pen.marks.cable[node] || beforeMark;
    }
    return shown;
}

// Blanks up to a branch's column, with the lines of nodes whose branches go on below.
std::string Lead(size_t width, const std::vector<size_t>& passing, const Glyphs& glyphs) {
    std::vector<bool> pass(width, false);
    for (const size_t column : passing)
        if (column < width) pass[column] = true;
    std::string lead;
    for (const bool line : pass) lead += line ? glyphs.pass : " ";
    return lead;
}

// A branch starts where its node's label ended up in the row drawn above, folded or not.
std::string Draw(const std::vector<Branch>& rows, const Pen& pen, size_t maxWidth) {
    const size_t count = pen.risen.size();
    std::vector<size_t> left(count, 0);  // a node's branches not drawn yet
    for (const Branch& branch : rows)
        if (branch.parent >= 0) ++left[static_cast<size_t>(branch.parent)];
    std::vector<bool> forks(count, false);
    for (size_t node = 0; node < count; ++node) forks[node] = left[node] > 0;
    std::vector<size_t> columns(count, 0);
    std::vector<int32_t> going;  // nodes drawn whose branches are still to come
    std::string picture;
    for (const Branch& branch : rows) {
        std::string lead;
        const char* connector = nullptr;
        if (branch.parent >= 0) {
            const auto parent = static_cast<size_t>(branch.parent);
            std::vector<size_t> passing;
            for (const int32_t node : going)
                if (node != branch.parent) passing.push_back(columns[static_cast<size_t>(node)]);
            lead = Lead(columns[parent], passing, pen.glyphs);
            connector = --left[parent] > 0 ? pen.glyphs.fork : pen.glyphs.last;
            if (left[parent] == 0) std::erase(going, branch.parent);
            picture += '\n' + std::string(kLinePictureLabel.size(), ' ');
        }
        Row row = DrawRow(branch, pen, lead, connector,
                          std::vector<bool>(branch.nodes.size(), true), columns);
        if (row.width() > maxWidth && !branch.nodes.empty())
            row = DrawRow(branch, pen, lead, connector, Remarkable(branch, pen, forks), columns);
        picture += row.text();
        for (const int32_t node : branch.nodes)
            if (left[static_cast<size_t>(node)] > 0) going.push_back(node);
    }
    return picture;
}

bool Rose(const CounterRises& rises, int32_t node) {
    for (int reg = 0; reg < kRegisterCount; ++reg)
        if (RegisterIsCounter(reg) && rises.at(node, reg).total > 0) return true;
    return false;
}

}  // namespace

std::string LinePicture(const Verdict& verdict, const CounterRises& rises, const LineStyle& style,
                        size_t maxWidth, const Topology* topology) {
    // The rises hold no more nodes than the table; a hand-made verdict may claim more.
    const int32_t nodeCount = std::clamp(verdict.nodeCount, 0, kNodeTableSize);
    const std::optional<Hangers> tree = TreeHangers(topology, nodeCount);
    const Hangers hangers = tree ? *tree : LineHangers(nodeCount);
    const Marks marks = MarkVerdict(verdict, hangers, tree.has_value());
    std::vector<bool> risen(hangers.size(), false);
    for (int32_t node = 0; node < nodeCount; ++node)
        risen[static_cast<size_t>(node)] = Rose(rises, node);
    const Pen pen{marks, risen, style, style.utf8 ? kUtf8Glyphs : kAsciiGlyphs};
    return Draw(Branches(hangers, marks), pen, maxWidth);
}

}  // namespace pelvane::cli
