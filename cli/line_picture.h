// The EtherCAT line as one row, controller first, with the cable the verdict blames, or
// where the line broke, marked:
// PLC ─ Node0 ─ Node1 ═✗═ Node2 ─ Node3
#pragma once

#include <cstddef>
#include <string>

#include "nodes/counter_rises.h"
#include "nodes/verdict.h"

namespace pelvane::cli {

struct LineStyle {
    bool utf8 = true;
    bool colour = false;
};

// One row, no line break. A node whose counters rose since the start is shown bold, or in
// brackets without colour. Wider than maxWidth columns, the unremarkable nodes between the
// remarkable ones collapse into "…"; the row may stay wider when too many are remarkable.
std::string LinePicture(const Verdict& verdict, const CounterRises& rises, const LineStyle& style,
                        size_t maxWidth = 120);

}  // namespace pelvane::cli
