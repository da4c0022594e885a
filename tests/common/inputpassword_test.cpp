// The masked password dialog as the operator sees it.
#include "common/inputpassword.h"
#include "support/visible.h"
#include <gtest/gtest.h>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

TEST(PasswordDialog, MaskedWithStarsAndLaidOutWhole)
{
    const QString prompt = QStringLiteral("请输入操作员密码:          ");
    qm::PasswordDialog d(QStringLiteral("提示信息"), prompt, QStringLiteral("abc"));
    EXPECT_EQ(d.windowTitle(), QStringLiteral("提示信息"));
    EXPECT_EQ(d.Prompt->text(), prompt);
    EXPECT_EQ(d.Edit->text(), "abc");
    EXPECT_EQ(d.Edit->selectedText(), "abc");
    EXPECT_EQ(d.Edit->displayText(), "***");
    EXPECT_EQ(d.Edit->maxLength(), 255);
    EXPECT_TRUE(d.OkButton->isDefault());
    EXPECT_EQ(d.OkButton->text(), QStringLiteral("确定"));
    EXPECT_EQ(d.CancelButton->text(), QStringLiteral("取消"));
    EXPECT_EQ(visible::layoutProblems(&d), QStringList());
    // Prompt over box over buttons, 确定 left of 取消.
    EXPECT_LT(d.Prompt->geometry().bottom(), d.Edit->y());
    EXPECT_LT(d.Edit->geometry().bottom(), d.OkButton->y());
    EXPECT_LT(d.OkButton->geometry().right(), d.CancelButton->x());

    // A long prompt wraps inside the window and pushes the rest down.
    qm::PasswordDialog longer(QStringLiteral("提示信息"), QString(60, QChar(0x5bc6)), QString());
    EXPECT_EQ(visible::layoutProblems(&longer), QStringList());
    EXPECT_GT(longer.height(), d.height());

    // Typed text is masked too; Enter is OK.
    QTest::keyClicks(d.Edit, "x9");
    EXPECT_EQ(d.Edit->displayText(), "**");
    QTest::keyClick(d.Edit, Qt::Key_Return);
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(d.Edit->text(), "x9");
}
