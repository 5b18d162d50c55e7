// The window side of Dialog: its state, its dialog procedure and the way back from a
// window to the dialog that runs it; and the natives behind the common controls.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "ui/win32/src/win32.h"
#include "ui/win32_access.h"

namespace pelvane::ui {

// Posted to a dialog when one of its lists holds back its drawing; lParam is the list.
inline constexpr UINT kResumeListRedraw = WM_APP + 1;

struct Dialog::Native {
    struct ItemEntry {
        int id;
        HWND hwnd;
        std::unique_ptr<Control> control;  // for tabs, combo boxes and lists
    };
    struct Binding {
        int id;
        Notify notify;
        std::function<void()> handler;
    };
    struct MenuEntry {
        uint32_t command;
        std::string text;
    };

    Native(Dialog& dialog, Dialog* parent) : owner(dialog), parent_(parent) {}
    ~Native();

    // The dialog's handlers, for the window.
    bool InitDialog() { return owner.OnInitDialog(); }
    void Timer(int id) { owner.OnTimer(id); }
    void Resized(const Size& clientSize) { owner.OnSize(clientSize); }
    void SysCommand(uint32_t command) { owner.OnSysCommand(command); }

    void Initialize();
    int DoModal();
    bool Create(TabControl& host);
    BaseUnits baseUnits() const;
    HWND Item(int id) const;
    void SetItemText(int id, const std::string& text);
    void FollowSize(int id, uint32_t anchors);
    void SetGeometry(const Rect& rect);
    Rect Geometry() const;
    void SetTimer(int id, int intervalMs);
    bool KillTimer(int id);
    void AddSystemMenuItem(uint32_t command, const std::string& text);

    void Build(HWND parentWindow, bool asPage);
    void Attach(HWND window);
    void CollectItems();
    void AppendMenuEntry(const MenuEntry& entry);
    Control* ControlOf(int id) const;
    Control* ControlAt(HWND window) const;
    void Fire(HWND control, Notify notify);
    void End(int result);
    HWND DefaultButton() const;

    Dialog& owner;
    Dialog* parent_;
    HWND hwnd_ = nullptr;
    bool built_ = false;
    bool page_ = false;
    bool modal_ = false;
    bool ended_ = false;
    int result_ = kIdCancel;
    std::vector<ItemEntry> items_;  // template order
    std::vector<Binding> bindings_;
    std::map<int, uintptr_t> timers_;  // our id -> the window's timer id
    uintptr_t nextTimerId_ = 1;
    std::vector<MenuEntry> menuEntries_;
};

class DialogWindow {
  public:
    static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // Null for windows that are no dialog of ours.
    static Dialog::Native* FromWindow(HWND window);
    static void Register(HWND window, Dialog::Native* dialog);
    static void Unregister(HWND window);

  private:
    using Native = Dialog::Native;
    // True when the message was handled; result is then its reply.
    static bool Handle(Native& dialog, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    static bool HandleCommand(Native& dialog, WPARAM wParam, LPARAM lParam);
    static bool HandleNotify(Native& dialog, NMHDR& header, LRESULT& result);
};

struct TabControl::Native {
    HWND hwnd;
};

struct ComboBox::Native {
    HWND hwnd;
    bool sorted;
};

struct ListControl::Native {
    explicit Native(HWND window) : hwnd(window) {}

    // The reply to NM_CUSTOMDRAW, which the list sends to its dialog.
    intptr_t CustomDraw(NMLVCUSTOMDRAW& draw) const;
    // Changes are drawn once the message loop comes back to the list's dialog, which
    // then calls this: a list rebuilt row by row would otherwise be drawn for every row.
    void ResumeRedraw();
    void HoldRedraw();

    HWND hwnd;
    RowColorHook hook;
    bool redrawHeld = false;
};

}  // namespace pelvane::ui
