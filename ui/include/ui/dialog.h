// A dialog built from a DialogTemplate: its controls sit at their template places and
// carry their item ids, by which the dialog and its users find them. The window itself
// is the backend's, behind Native; what the program sees is this class only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "ui/control.h"
#include "ui/dialog_template.h"
#include "ui/dialog_units.h"
#include "ui/notify.h"

namespace pelvane::ui {

class TabControl;

class Dialog {
  public:
    struct Native;

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
    // What the system made of the template's font.
    BaseUnits baseUnits() const;
    Rect MapDialogRect(const Rect& dlu) const { return DluToPixels(dlu, baseUnits()); }

    // Null unless item id is a T; the first item with an id keeps it.
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
    bool HasTimer(int id) const;

    // An entry at the end of the window's system menu, after a separator, that reaches
    // OnSysCommand.
    void AddSystemMenuItem(uint32_t command, const std::string& text);

    Native& native() const { return *native_; }

  protected:
    // Runs once the controls exist. True gives the focus to the first tab stop.
    virtual bool OnInitDialog() { return true; }
    virtual void OnTimer(int id) { (void)id; }
    // The client area got a new size; not called while minimised.
    virtual void OnSize(const Size& clientSize) { (void)clientSize; }
    virtual void OnSysCommand(uint32_t command) { (void)command; }

  private:
    // Tabs, combo boxes and lists; null for other items.
    Control* ControlOf(int id) const;

    const DialogTemplate& template_;
    std::unique_ptr<Native> native_;
};

}  // namespace pelvane::ui
