#include "ui/message_box.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

namespace pelvane::ui {
namespace {

TEST(MessageBox, ModalWithTheApplicationsNameAndOnlyOk) {
    int shown = 0;
    SetMessageBoxHook([&](QMessageBox& box) {
        ++shown;
        EXPECT_TRUE(box.isVisible());
        EXPECT_EQ(QApplication::activeModalWidget(), &box);
        EXPECT_EQ(box.windowTitle(), QCoreApplication::applicationName());
        EXPECT_EQ(box.text(), u"链接失败"_qs);
        EXPECT_EQ(box.icon(), QMessageBox::NoIcon);
        ASSERT_EQ(box.buttons().size(), 1);
        EXPECT_EQ(box.standardButton(box.buttons().front()), QMessageBox::Ok);
        EXPECT_EQ(box.buttons().front()->text(), u"确定"_qs);
        EXPECT_TRUE(box.buttons().front()->icon().isNull());
        box.buttons().front()->click();
    });
    MessageBox(nullptr, u"链接失败"_qs);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    // Without a hook the box can still be found and closed from outside.
    SetMessageBoxHook({});
    QTimer::singleShot(0, [] {
        if (QWidget* box = QApplication::activeModalWidget()) box->close();
    });
    MessageBox(nullptr, "closed from outside");
}

}  // namespace
}  // namespace pelvane::ui
