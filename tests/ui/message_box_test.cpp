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
    SetMessageBoxHook([&](const OpenMessageBox& open) {
        ++shown;
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(box->isVisible());
        EXPECT_EQ(open.caption, QCoreApplication::applicationName().toStdString());
        EXPECT_EQ(open.text, "链接失败");
        EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
        ASSERT_EQ(box->buttons().size(), 1);
        EXPECT_EQ(box->standardButton(box->buttons().front()), QMessageBox::Ok);
        EXPECT_EQ(box->buttons().front()->text(), u"确定"_qs);
        EXPECT_TRUE(box->buttons().front()->icon().isNull());
        open.close();
    });
    MessageBox(nullptr, "链接失败");
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
