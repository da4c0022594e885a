// The masked password dialog, laid out in dialog units.
#include "common/inputpassword.h"
#include <gtest/gtest.h>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TEST(PasswordDialog, MaskedBoxAndButtonsInDialogUnits)
{
    qm::PasswordDialog d(QStringLiteral("提示信息"), QStringLiteral("请输入操作员密码:          "), QStringLiteral("abc"));
    EXPECT_EQ(d.windowTitle(), QStringLiteral("提示信息"));
    EXPECT_EQ(d.Edit->echoMode(), QLineEdit::Password);
    EXPECT_EQ(d.Edit->maxLength(), 255);
    EXPECT_EQ(d.Edit->text(), "abc");
    EXPECT_EQ(d.Edit->selectedText(), "abc");
    EXPECT_TRUE(d.OkButton->isDefault());
    EXPECT_EQ(d.OkButton->text(), QStringLiteral("确定"));
    EXPECT_EQ(d.CancelButton->text(), QStringLiteral("取消"));

    EXPECT_EQ(d.width(), d.dluX(180));
    EXPECT_EQ(d.Prompt->geometry().topLeft(), QPoint(d.dluX(8), d.dluY(8)));
    EXPECT_EQ(d.Edit->width(), d.dluX(164));
    EXPECT_EQ(d.Edit->y(), d.Prompt->geometry().bottom() + 1 + d.dluY(5));
    EXPECT_EQ(d.OkButton->x(), d.dluX(38));
    EXPECT_EQ(d.CancelButton->x(), d.dluX(92));
    EXPECT_EQ(d.OkButton->width(), d.dluX(50));
    EXPECT_EQ(d.OkButton->y(), d.Edit->geometry().bottom() + 1 + d.dluY(15));
    EXPECT_EQ(d.height(), d.OkButton->geometry().bottom() + 1 + d.dluY(13));
    // The buttons sit side by side without overlapping.
    EXPECT_LT(d.OkButton->geometry().right(), d.CancelButton->x());
}
