// A dialog built from a DialogTemplate: an in-memory dialog template made into a Win32
// dialog, whose controls carry their item ids, by which the dialog and its users find
// them. This is the Win32 backend; what the program uses of it is the same in every
// backend.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/control.h"
#include "ui/dialog_template.h"
#include "ui/dialog_units.h"
#include "ui/notify.h"

struct tagMSG;

namespace pelvane::ui {

class TabControl;

class Dialog {
  public:
    // The template must outlive the dialog; templates are static data. A window dialog
    // is owned by its parent's window.
    explicit Dialog(const DialogTemplate& dialogTemplate, Dialog* parent = nullptr);
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Builds a window dialog and runs OnInitDialog, without showing it.
    void Initialize();
    // Initialize, then runs the dialog modally, its owner disabled meanwhile. Returns
    // kIdOk or kIdCancel.
    int DoModal();
    // Builds the dialog as a hidden page of host and runs OnInitDialog. False when it
    // was built already.
    bool Create(TabControl& host);

    // Shows or hides the dialog; a page shows inside its host.
    void Show(bool shown);
    bool IsShown() const;
    // In the parent's client coordinates, pixels; a window's client area on the screen.
    void SetGeometry(const Rect& rect);
    Rect Geometry() const;
    void SetCaption(const std::string& text);
    std::string Caption() const;

    const DialogTemplate& dialogTemplate() const { return template_; }
    // What the system made of the template's font, at the window's present DPI.
    BaseUnits baseUnits() const;
    Rect MapDialogRect(const Rect& dlu) const { return DluToPixels(dlu, baseUnits()); }

    // The dialog's window and an item's; null when there is none.
    Hwnd hwnd() const { return hwnd_; }
    Hwnd Item(int id) const;
    template <class T>
    T* ItemAs(int id) const {
        Control* control = ControlOf(id);
        return control && control->kind() == T::kKind ? static_cast<T*>(control) : nullptr;
    }
    void SetItemText(int id, const std::string& text);
    std::string ItemText(int id) const;
    // handler runs when item id tells notify.
    void Bind(int id, Notify notify, std::function<void()> handler);
    // Places item id for the dialog's present size from its template place; see
    // FollowClient for the anchors.
    void FollowSize(int id, uint32_t anchors);

    // Ticks reach OnTimer(id). Setting an id that runs restarts it with the new period.
    // A busy thread gets one late tick per timer, not one per missed period. Needs the
    // window: from OnInitDialog on.
    void SetTimer(int id, int intervalMs);
    bool KillTimer(int id);
    bool HasTimer(int id) const { return timers_.contains(id); }

    // An entry at the end of the window's system menu, after a separator, that reaches
    // OnSysCommand.
    void AddSystemMenuItem(uint32_t command, const std::string& text);

    // What every message loop running our dialogs does before dispatching a message:
    // the dialog keys, Enter and Escape by our rules, the rest by IsDialogMessage. True
    // when message was handled there.
    static bool PreTranslate(tagMSG& message);

  protected:
    // Runs once the controls exist. True gives the focus to the first tab stop.
    virtual bool OnInitDialog() { return true; }
    virtual void OnTimer(int id) { (void)id; }
    // The client area got a new size; not called while minimised.
    virtual void OnSize(const Size& clientSize) { (void)clientSize; }
    virtual void OnSysCommand(uint32_t command) { (void)command; }

  private:
    friend class DialogWindow;

    struct ItemEntry {
        int id;
        Hwnd hwnd;
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

    void Build(Hwnd parentWindow, bool asPage);
    void Attach(Hwnd window);
    void CollectItems();
    void AppendMenuEntry(const MenuEntry& entry);
    Control* ControlOf(int id) const;
    Control* ControlAt(Hwnd window) const;
    void Fire(Hwnd control, Notify notify);
    void End(int result);
    Hwnd DefaultButton() const;

    const DialogTemplate& template_;
    Dialog* parent_;
    Hwnd hwnd_ = nullptr;
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

}  // namespace pelvane::ui
