#include "cli/line_picture.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "cli/text_format.h"
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
};

constexpr Glyphs kUtf8Glyphs{"─", "═✗═", "…"};
constexpr Glyphs kAsciiGlyphs{"-", "=X=", "..."};

// The row and its width as the terminal shows it, escapes not counted.
class Row {
  public:
    explicit Row(bool colour) : colour_(colour) {}

    void Add(std::string_view text, const char* sgr = nullptr) {
        const bool escaped = colour_ && sgr != nullptr;
        if (escaped) text_ += sgr;
        text_ += text;
        if (escaped) text_ += kPlain;
        width_ += DisplayWidth(text);
    }

    const std::string& text() const { return text_; }
    size_t width() const { return width_; }

  private:
    bool colour_;
    std::string text_;
    size_t width_ = 0;
};

bool Rose(const CounterRises& rises, int32_t node) {
    for (int k = 0; k < kCounterCount; ++k)
        if (rises.at(node, k).total > 0) return true;
    return false;
}

// shown[i] is false for a node that may collapse into a gap.
Row Draw(int32_t nodeCount, const std::vector<bool>& marked, const std::vector<bool>& risen,
         const std::vector<bool>& shown, const LineStyle& style) {
    const Glyphs& glyphs = style.utf8 ? kUtf8Glyphs : kAsciiGlyphs;
    Row row(style.colour);
    row.Add("PLC");
    auto join = [&](int32_t segment) {
        row.Add(" ");
        if (marked[static_cast<size_t>(segment)]) {
            row.Add(glyphs.mark, kRed);
        } else {
            row.Add(glyphs.link);
        }
        row.Add(" ");
    };
    for (int32_t node = 0; node < nodeCount;) {
        const auto at = static_cast<size_t>(node);
        int32_t runEnd = node;
        while (runEnd < nodeCount && !shown[static_cast<size_t>(runEnd)]) ++runEnd;
        // A single hidden node takes no more room than the gap would.
        if (runEnd - node >= 2) {
            join(node);
            row.Add(glyphs.gap);
            node = runEnd;
            continue;
        }
        join(node);
        if (!risen[at]) {
            row.Add(FormatNodeLabel(node));
        } else if (style.colour) {
            row.Add(FormatNodeLabel(node), kBold);
        } else {
            row.Add("[" + FormatNodeLabel(node) + "]");
        }
        ++node;
    }
    // Also a line of no node at all: the controller's own port is open then.
    if (marked[static_cast<size_t>(nodeCount)]) {
        join(nodeCount);
        row.Add("end");
    }
    return row;
}

}  // namespace

std::string LinePicture(const Verdict& verdict, const CounterRises& rises, const LineStyle& style,
                        size_t maxWidth) {
    // The rises hold no more nodes than the table; a hand-made verdict may claim more.
    const int32_t nodeCount = std::clamp(verdict.nodeCount, 0, kNodeTableSize);
    const auto count = static_cast<size_t>(nodeCount);
    std::vector<bool> marked(count + 1, false);
    for (const SegmentFinding& finding : verdict.worst)
        if (finding.segment >= 0 && finding.segment <= nodeCount)
            marked[static_cast<size_t>(finding.segment)] = true;
    if (verdict.line.broken() && verdict.line.segment() >= 0 && verdict.line.segment() <= nodeCount)
        marked[static_cast<size_t>(verdict.line.segment())] = true;
    std::vector<bool> risen(count, false);
    for (int32_t node = 0; node < nodeCount; ++node)
        risen[static_cast<size_t>(node)] = Rose(rises, node);

    std::vector<bool> shown(count, true);
    Row full = Draw(nodeCount, marked, risen, shown, style);
    if (nodeCount == 0 || full.width() <= maxWidth) return full.text();

    shown = risen;
    shown.front() = true;
    shown.back() = true;
    for (size_t s = 0; s <= count; ++s) {
        if (!marked[s]) continue;
        if (s > 0) shown[s - 1] = true;
        if (s < count) shown[s] = true;
    }
    return Draw(nodeCount, marked, risen, shown, style).text();
}

}  // namespace pelvane::cli
