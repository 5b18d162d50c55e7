// Tab 1: the nodes' receive-error counters and drive status words, polled while a
// controller is connected, with the rows of nodes that took errors painted red.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "nodes/error_poll.h"
#include "ui/dialog.h"
#include "ui/list_control.h"

namespace pelvane {

inline constexpr int kIdcErrorList = 1007;
inline constexpr int kIdcLostcount = 1008;
inline constexpr int kIdcRegisterHelp = 1009;

inline constexpr int kPollTimerId = 0;
inline constexpr int kRebuildTimerId = 1;
inline constexpr int kRebuildPeriodMs = 100;

inline constexpr int kErrorListColumnCount = 8;

// A row's item data: whether the node's four counters are all 0.
inline constexpr intptr_t kRowHasErrors = 0;  // painted red
inline constexpr intptr_t kRowClear = 1;      // painted white

class NodeError : public ui::Dialog {
  public:
    NodeError();

    // Rebuilds the list from the error counter table while connected; either way the
    // list is no longer stale afterwards.
    void RefreshErrorList();
    // A new link is open: nothing the page read from the controller before may show,
    // so it shows no node until the first poll of this link.
    void ForgetLastPoll();

  protected:
    bool OnInitDialog() override;
    void OnTimer(int id) override;
    void OnSize(const ui::Size& clientSize) override;

  private:
    void PollErrorCounters();

    ErrorPoll poll_;
    bool stale_ = false;
    // The count the page's own poll last obtained; rows shown and nodes polled.
    int32_t pageNodeCount_ = 0;
    ui::ListControl* errorList_ = nullptr;
};

const ui::DialogTemplate& NodeErrorTemplate();

// The list's eight cells for the node at position node. The label is the position
// itself: the node table may not have read a newer bus yet.
std::array<std::string, kErrorListColumnCount> ErrorListCells(int32_t node,
                                                              const NodeRecord& record,
                                                              const ErrorCounterTable& table);

// Row colours from a row's item data, both with black text.
bool ErrorRowColors(int row, intptr_t itemData, ui::RowColors& colors);

}  // namespace pelvane
