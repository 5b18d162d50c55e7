// A dialog built from a DialogTemplate: its controls sit at their template geometry and
// carry their item ids, by which the dialog and its users find them. This is the Qt
// backend; what the program uses of it is the same in every backend.
#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ui/dialog_template.h"
#include "ui/dialog_units.h"
#include "ui/notify.h"

class QMenu;

namespace pelvane::ui {

class TabControl;

inline constexpr const char* kItemIdProperty = "pelvaneItemId";

// kIdNone for widgets that no template made.
int ItemIdOf(const QWidget* widget);
// Searches root's descendants at any depth, so a page's items can be found from the
// window that holds the page. The first one in creation order wins.
QWidget* FindItem(const QWidget* root, int id);

// Text of labels, buttons, edits, group boxes and the edit field of combo boxes.
void SetControlText(QWidget* control, const QString& text);
QString ControlText(const QWidget* control);

QRect ToQRect(const Rect& rect);
Rect FromQRect(const QRect& rect);

class Dialog : public QDialog {
    Q_OBJECT
  public:
    // The template must outlive the dialog; templates are static data.
    explicit Dialog(const DialogTemplate& dialogTemplate, QWidget* parent = nullptr);

    // Builds a window dialog and runs OnInitDialog, without showing it.
    void Initialize();
    // Initialize, then runs the dialog modally. Returns kIdOk or kIdCancel.
    int DoModal();
    // Builds the dialog as a hidden page of host and runs OnInitDialog. False when it
    // was built already.
    bool Create(TabControl& host);

    // Shows or hides the dialog; a page shows inside its host.
    void Show(bool shown);
    bool IsShown() const { return isVisible(); }
    // In the parent's client coordinates, pixels.
    void SetGeometry(const Rect& rect) { setGeometry(ToQRect(rect)); }
    Rect Geometry() const { return FromQRect(geometry()); }
    void SetCaption(const std::string& text);
    std::string Caption() const;

    const DialogTemplate& dialogTemplate() const { return template_; }
    BaseUnits baseUnits() const { return units_; }
    Rect MapDialogRect(const Rect& dlu) const { return DluToPixels(dlu, units_); }

    QWidget* Item(int id) const;
    template <class T>
    T* ItemAs(int id) const {
        return qobject_cast<T*>(Item(id));
    }
    void SetItemText(int id, const std::string& text);
    std::string ItemText(int id) const;
    // handler runs when item id tells notify.
    void Bind(int id, Notify notify, std::function<void()> handler);
    // Places item id for the dialog's present size from its template place; see
    // FollowClient for the anchors.
    void FollowSize(int id, uint32_t anchors);

    // Ticks reach OnTimer(id). Setting an id that runs restarts it with the new period.
    // A busy thread gets one late tick per timer, not one per missed period.
    void SetTimer(int id, int intervalMs);
    bool KillTimer(int id);
    bool HasTimer(int id) const { return timers_.contains(id); }

    // An entry at the end of the window's system menu that reaches OnSysCommand. The
    // desktop keeps that menu to itself here, so the entries go into the menu of the
    // dialog's background instead, after a separator.
    void AddSystemMenuItem(uint32_t command, const std::string& text);
    void AddSystemMenuEntries(QMenu& menu);

  protected:
    // Runs once the controls exist. True gives the focus to the first tab stop.
    virtual bool OnInitDialog() { return true; }
    virtual void OnTimer(int id) { Q_UNUSED(id); }
    // The client area got a new size; not called while minimised.
    virtual void OnSize(const Size& clientSize) { Q_UNUSED(clientSize); }
    virtual void OnSysCommand(uint32_t command) { Q_UNUSED(command); }

    void timerEvent(QTimerEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    struct MenuEntry {
        uint32_t command;
        QString text;
    };

    void Build();
    QWidget* CreateItem(const ItemTemplate& item);
    void FocusFirstTabStop();

    const DialogTemplate& template_;
    BaseUnits units_;
    bool built_ = false;
    std::vector<QWidget*> controls_;  // template order
    std::map<int, QWidget*> items_;
    std::map<int, int> timers_;  // our id -> Qt's timer id
    std::vector<MenuEntry> menuEntries_;
};

// Needs a QGuiApplication, for the font's metrics.
BaseUnits BaseUnitsForFont(const QFont& font);

// The font a template names. An alias such as "MS Shell Dlg" names no installed font
// here, so it becomes the desktop's sans-serif at the same size.
QFont TemplateFont(const char* family, int pointSize, int weight);

// The application's icon in every size it ships in: the PNG files that the program
// builds in under :/app-icon/, named by their size.
QIcon AppIcon();

}  // namespace pelvane::ui
