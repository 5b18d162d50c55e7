// The EtherCAT bus as rows, controller first, with the cable the verdict blames, or where
// the line broke, marked. A line is one row:
// PLC ─ Node0 ─ Node1 ═✗═ Node2 ─ Node3
// On a tree a node's port 2 goes on along its row, and each branch off a port 4 or 3 is a
// row of its own that starts below that node, the rows in the order the frame takes them:
// line: PLC ─ Node0 ─ Node1 ─ Node4
//                     ├4─ Node2 ─ Node3
//                     └3─ Node5 ═✗═ Node6
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "nodes/counter_rises.h"
#include "nodes/topology.h"
#include "nodes/verdict.h"

namespace pelvane::cli {

struct LineStyle {
    bool utf8 = true;
    bool colour = false;
};

// The label printed before the picture. Rows after the first start with as many blanks, so
// "line: " + LinePicture(...) lines the branches up under the nodes they leave from.
inline constexpr std::string_view kLinePictureLabel = "line: ";
inline constexpr size_t kDefaultPictureWidth = 120;

// Rows joined by "\n", no line break after the last; one row for a line. A node whose
// counters rose since the start is shown bold, or in brackets without colour. A row wider
// than maxWidth columns (the label not counted) collapses its unremarkable nodes into "…";
// it may stay wider when too many are remarkable. Without a topology, or with one that is a
// line or holds fewer nodes than the verdict, the bus is drawn as a line.
std::string LinePicture(const Verdict& verdict, const CounterRises& rises, const LineStyle& style,
                        size_t maxWidth = kDefaultPictureWidth, const Topology* topology = nullptr);

}  // namespace pelvane::cli
