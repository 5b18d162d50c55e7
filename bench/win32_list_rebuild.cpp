// The Win32 list control rebuilt from nothing as the diagnosis page does every poll:
// columns, rows, texts and item data, then drawn once the message loop comes back, with
// the row colour hook asked for every row.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_stats.h"
#include "ui/application.h"
#include "ui/dialog.h"
#include "ui/list_control.h"
#include "ui/win32_access.h"

namespace {

using namespace pelvane::ui;

const DialogTemplate kPage{.caption = "bench",
                           .pointSize = 8,
                           .size = {421, 328},
                           .items = {{1007, ItemKind::ListView, "", {0, 0, 421, 328}, kBorder}},
                           .initStrings = {}};

void Rebuild(ListControl& list, int rows) {
    list.DeleteAllItems();
    for (int n = list.HeaderItemCount(); n > 0; --n) list.DeleteColumn(0);
    for (int column = 0; column < 8; ++column)
        list.InsertColumn(column, "30" + std::to_string(column) + "H", Align::Center, 80);
    list.SetExtendedStyle(kListGridLines | kListFullRowSelect);
    for (int row = 0; row < rows; ++row) {
        list.InsertItem(row, "");
        for (int column = 0; column < 8; ++column)
            list.SetItemText(row, column, std::to_string(row * column) + "H");
        list.SetItemData(row, row % 7 == 0 ? 0 : 1);
    }
}

void DrainMessages(HWND window) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    // The paint comes last, once nothing else waits.
    RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

}  // namespace

int main(int argc, char** argv) {
    const int rows = argc > 1 ? std::atoi(argv[1]) : 200;
    Application application(argc, argv, "bench_win32_list_rebuild");
    Dialog page(kPage);
    page.Initialize();
    page.Show(true);
    ListControl& list = *page.ItemAs<ListControl>(1007);
    list.SetRowColorHook([](int, intptr_t data, RowColors& colors) {
        colors.background = data == 0 ? 0x0000FF : 0xFFFFFF;
        return true;
    });
    std::vector<double> ms;
    for (int run = 0; run < 20; ++run) {
        const auto start = std::chrono::steady_clock::now();
        Rebuild(list, rows);
        DrainMessages(HwndOf(page));
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    const pelvane::bench::Summary s = pelvane::bench::Summarise(ms);
    std::printf("%d rows x 8 columns, rebuilt and drawn: median %.1f ms, mean %.1f, worst %.1f\n",
                rows, s.median, s.mean, s.worst);
}
