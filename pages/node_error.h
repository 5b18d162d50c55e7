// Tab 1: the nodes' receive-error counters and drive status words, polled while a
// controller is connected, with the rows of nodes that took errors painted red.
#pragma once

#include "error_poll.h"
#include "ui/dialog.h"
#include "ui/list_control.h"

namespace pelvane {

inline constexpr int kIdcErrorList = 1007;
inline constexpr int kIdcLostcount = 1008;
inline constexpr int kIdcRegisterHelp = 1009;

inline constexpr int kPollTimerId = 0;
inline constexpr int kRebuildTimerId = 1;
inline constexpr int kRebuildPeriodMs = 100;

class NodeError : public ui::Dialog {
    Q_OBJECT
  public:
    NodeError();

    // Rebuilds the list from the error counter table while connected; either way the
    // list is no longer stale afterwards.
    void RefreshErrorList();
    // The next rebuild tick rebuilds the list, changed counters or not.
    void MarkStale() { poll_.MarkStale(); }

  protected:
    bool OnInitDialog() override;
    void OnTimer(int id) override;
    void OnSize(const QSize& clientSize) override;

  private:
    void PollErrorCounters();

    ErrorPoll poll_;
    ui::ListControl* errorList_ = nullptr;
};

const ui::DialogTemplate& NodeErrorTemplate();

// Row colours from a row's item data: 0 red, 1 white, both with black text.
bool ErrorRowColors(int row, qintptr itemData, ui::RowColors& colors);

}  // namespace pelvane
