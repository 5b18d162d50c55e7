// The window side of Dialog: the QDialog that runs it, and the natives behind the
// common classes.
#pragma once

#include <QDialog>
#include <QPointer>
#include <map>
#include <memory>
#include <vector>

#include "ui/qt_access.h"

namespace pelvane::ui {

class QtDialog : public QDialog {
    Q_OBJECT
  public:
    QtDialog(Dialog::Native& native, const DialogTemplate& dialogTemplate, QWidget* parent);

    void Initialize();
    int DoModal();
    bool Create(QtTabControl& host);

    const DialogTemplate& dialogTemplate() const { return template_; }
    Dialog& dialog() const;
    BaseUnits baseUnits() const { return units_; }
    QWidget* Item(int id) const;
    Control* ControlOf(int id) const;
    void Bind(int id, Notify notify, std::function<void()> handler);
    void FollowSize(int id, uint32_t anchors);
    void SetTimer(int id, int intervalMs);
    bool KillTimer(int id);
    bool HasTimer(int id) const { return timers_.contains(id); }
    void AddSystemMenuItem(uint32_t command, const std::string& text);
    void AddSystemMenuEntries(QMenu& menu);

  protected:
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
    void SetWindowLook();
    QWidget* CreateItem(const ItemTemplate& item);
    QWidget* CreateButton(const ItemTemplate& item);
    QWidget* CreateEdit(const ItemTemplate& item, const QRect& rect);
    void AddControl(const ItemTemplate& item, QWidget* widget);
    void FocusFirstTabStop();
    void PressEnter();

    Dialog::Native& native_;
    const DialogTemplate& template_;
    BaseUnits units_;
    bool built_ = false;
    std::vector<QWidget*> widgets_;  // template order
    std::map<int, QWidget*> items_;
    std::map<int, std::unique_ptr<Control>> controls_;
    std::map<int, int> timers_;  // our id -> Qt's timer id
    std::vector<MenuEntry> menuEntries_;
};

struct Dialog::Native {
    Native(Dialog& dialog, QWidget* parent);
    ~Native();

    // The dialog's handlers, for the window.
    bool InitDialog() { return owner.OnInitDialog(); }
    void Timer(int id) { owner.OnTimer(id); }
    void Resized(const Size& clientSize) { owner.OnSize(clientSize); }
    void SysCommand(uint32_t command) { owner.OnSysCommand(command); }

    Dialog& owner;
    // Null once a parent window took it down.
    QPointer<QtDialog> window;
};

struct TabControl::Native {
    QtTabControl* widget;
};

struct ComboBox::Native {
    QtComboBox* widget;
};

struct ListControl::Native {
    QtListControl* widget;
};

}  // namespace pelvane::ui
