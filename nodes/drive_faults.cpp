#include "nodes/drive_faults.h"

#include "nodes/error_poll.h"
#include "nodes/node_cells.h"

namespace pelvane {

std::vector<DriveFault> DriveFaults(const std::vector<int32_t>& statusWords) {
    std::vector<DriveFault> faults;
    for (size_t i = 0; i < statusWords.size(); ++i) {
        const int32_t word = statusWords[i];
        // kStatusWordUnread is negative, so the range test leaves it out too.
        if (word < 0 || word > 0xFFFF || (word & kStatusWordFaultBit) == 0) continue;
        faults.push_back({static_cast<int32_t>(i), word});
    }
    return faults;
}

std::string DriveFaultsText(const std::vector<DriveFault>& faults) {
    if (faults.empty()) return "drives: no fault";
    std::string text = "drives: ";
    for (size_t i = 0; i < faults.size(); ++i)
        text += (i > 0 ? ", " : "") + FormatNodeLabel(faults[i].node) + " fault (status word " +
                FormatHex(faults[i].statusWord, 4) + ")";
    return text;
}

}  // namespace pelvane
