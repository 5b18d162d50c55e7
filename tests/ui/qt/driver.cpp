// The common tests' driver on Qt: QTest's input, offscreen.
#include "tests/ui/driver.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QTabBar>
#include <QTest>
#include <QThread>
#include <QTimer>

#include "ui/qt_access.h"

namespace pelvane::ui::testing {

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    return QTest::qWaitFor(done, timeoutMs);
}

void Pump(int ms) {
    if (ms <= 0) {
        QCoreApplication::processEvents();
        return;
    }
    QTest::qWait(ms);
}

void Block(int ms) {
    QThread::msleep(static_cast<unsigned long>(ms));
}

bool ShowActive(Dialog& dialog) {
    dialog.Show(true);
    return QTest::qWaitForWindowActive(&WidgetOf(dialog));
}

void Minimise(Dialog& dialog) {
    WidgetOf(dialog).showMinimized();
}

void Press(Key key) {
    const Qt::Key qtKey = key == Key::Enter    ? Qt::Key_Return
                          : key == Key::Escape ? Qt::Key_Escape
                                               : Qt::Key_Tab;
    QTest::keyClick(QApplication::focusWidget(), qtKey);
}

void Focus(const Dialog& dialog, int id) {
    ItemWidget(dialog, id)->setFocus();
}

bool HasFocus(const Dialog& dialog, int id) {
    QWidget* item = ItemWidget(dialog, id);
    QWidget* focus = QApplication::focusWidget();
    return item != nullptr && (focus == item || item->isAncestorOf(focus));
}

void ClickTab(const TabControl& tabs, int index) {
    QTabBar* bar = WidgetOf(tabs).tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
}

int StripBottom(const TabControl& tabs) {
    return WidgetOf(tabs).tabBar()->geometry().bottom() + 1;
}

void RunInModalLoop(std::function<void()> action) {
    QTimer::singleShot(20, std::move(action));
}

bool OwnerWaits(const Dialog& owner) {
    QWidget* modal = QApplication::activeModalWidget();
    return modal != nullptr && modal != &WidgetOf(owner);
}

bool HasItem(const Dialog& dialog, int id) {
    return ItemWidget(dialog, id) != nullptr;
}

int SystemIdOf(const Dialog& dialog, int id) {
    return ItemIdOf(ItemWidget(dialog, id));
}

bool ItemShown(const Dialog& dialog, int id) {
    return !ItemWidget(dialog, id)->isHidden();
}

Rect PlaceOf(const Dialog& dialog, int id) {
    return FromQRect(ItemWidget(dialog, id)->geometry());
}

Size ClientSize(const Dialog& dialog) {
    return {WidgetOf(dialog).width(), WidgetOf(dialog).height()};
}

int FirstShownCharacter(const Dialog& dialog, int id) {
    auto* edit = ItemWidgetAs<QLineEdit>(dialog, id);
    return edit != nullptr ? edit->cursorPosition() : -1;
}

std::string SystemCaption(const Dialog& dialog) {
    return WidgetOf(dialog).windowTitle().toStdString();
}

std::string ProgramName() {
    return QCoreApplication::applicationName().toStdString();
}

std::vector<int> RedPixelsPerRow(const ListControl& list) {
    QtListControl& view = WidgetOf(list);
    QCoreApplication::processEvents();
    const QImage image = view.viewport()->grab().toImage();
    std::vector<int> counts;
    for (int row = 0; row < view.ItemCount(); ++row) {
        QRect rect;
        for (int column = 0; column < view.HeaderItemCount(); ++column)
            rect |= view.visualRect(view.model()->index(row, column));
        rect &= image.rect();
        int red = 0;
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left(); x <= rect.right(); ++x)
                red += (image.pixel(x, y) & 0xFFFFFF) == 0xFF0000;
        counts.push_back(red);
    }
    return counts;
}

}  // namespace pelvane::ui::testing
