// A dialog built from a DialogTemplate: its controls sit at their template geometry and
// carry their item ids, by which the dialog and its users find them.
#pragma once

#include <QDialog>
#include <map>
#include <vector>

#include "ui/dialog_template.h"
#include "ui/dialog_units.h"

namespace pelvane::ui {

inline constexpr const char* kItemIdProperty = "pelvaneItemId";

// kIdNone for widgets that no template made.
int ItemIdOf(const QWidget* widget);
// Searches root's descendants at any depth, so a page's items can be found from the
// window that holds the page. The first one in creation order wins.
QWidget* FindItem(const QWidget* root, int id);

// Text of labels, buttons, edits, group boxes and the edit field of combo boxes.
void SetControlText(QWidget* control, const QString& text);
QString ControlText(const QWidget* control);

class Dialog : public QDialog {
    Q_OBJECT
  public:
    // The template must outlive the dialog; templates are static data.
    explicit Dialog(const DialogTemplate& dialogTemplate, QWidget* parent = nullptr);

    // Builds a window dialog and runs OnInitDialog, without showing it.
    void Initialize();
    // Initialize, then runs the dialog modally. Returns its result.
    int DoModal();
    // Builds the dialog as a hidden child of parent (a page) and runs OnInitDialog.
    // False when it was built already.
    bool Create(QWidget* parent);

    const DialogTemplate& dialogTemplate() const { return template_; }
    BaseUnits baseUnits() const { return units_; }
    QRect MapDialogRect(const QRect& dlu) const { return DluToPixels(dlu, units_); }

    QWidget* Item(int id) const;
    template <class T>
    T* ItemAs(int id) const {
        return qobject_cast<T*>(Item(id));
    }
    void SetItemText(int id, const QString& text);
    // Places item id for the dialog's present size from its template place; see
    // FollowClient for the anchors.
    void FollowSize(int id, uint32_t anchors);
    QString ItemText(int id) const;

    // Ticks reach OnTimer(id). Setting an id that runs restarts it with the new period.
    // A busy thread gets one late tick per timer, not one per missed period.
    void SetTimer(int id, int intervalMs);
    bool KillTimer(int id);
    bool HasTimer(int id) const { return timers_.contains(id); }

  protected:
    // Runs once the controls exist. True gives the focus to the first tab stop.
    virtual bool OnInitDialog() { return true; }
    virtual void OnTimer(int id) { Q_UNUSED(id); }
    // The client area got a new size; not called while minimised.
    virtual void OnSize(const QSize& clientSize) { Q_UNUSED(clientSize); }

    void timerEvent(QTimerEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void Build();
    QWidget* CreateItem(const ItemTemplate& item);
    void FocusFirstTabStop();

    const DialogTemplate& template_;
    BaseUnits units_;
    bool built_ = false;
    std::vector<QWidget*> controls_;  // template order
    std::map<int, QWidget*> items_;
    std::map<int, int> timers_;  // our id -> Qt's timer id
};

}  // namespace pelvane::ui
