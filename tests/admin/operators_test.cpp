// The operator list with its add and edit windows: refusals in their order.
#include "admin/tfropcrl.h"
#include "common/password.h"
#include "shell/commands.h"
#include "shell/windowprotocol.h"
#include "support/fixture.h"
#include "support/visible.h"
#include <QLineEdit>
#include <QPointer>
#include <QTableView>
#include <QToolBar>
#include <QValidator>

class OperatorsTest : public AppFixture {
protected:
    QPointer<Tfropcrl> list;

    void SetUp() override
    {
        AppFixture::SetUp();
        frdm->ADOCon.exec("INSERT INTO opcrl (bh, xm, pw) VALUES ('001', :p1, :p2)",
                          {{"p1", QStringLiteral("张三")}, {"p2", qm::EncodePassword("111")}});
        ASSERT_TRUE(qm::runCommand("N1"));
        list = qobject_cast<Tfropcrl*>(qm::findOpenWindow("Fropcrl"));
        ASSERT_TRUE(list);
    }
    void TearDown() override
    {
        delete list;
        AppFixture::TearDown();
    }
    void fill(QLineEdit* e, const QString& text) { e->setText(text); }
    void moveTo(const QString& code) { ASSERT_TRUE(frdm->ATopcrl->locate("bh", code)); }
    int operators() { return frdm->ADOCon.scalar("SELECT count(*) FROM opcrl").toInt(); }
};

TEST_F(OperatorsTest, ListShowsNumberAndNameAndClosesItsTable)
{
    EXPECT_EQ(list->windowTitle(), QStringLiteral("操作员管理"));
    EXPECT_FALSE(frmain->isEnabled());
    int shown = 0;
    for (int c = 0; c < frdm->ATopcrl->fieldCount(); ++c)
        if (!list->DBGrid1->isColumnHidden(c)) ++shown;
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(list->DBGrid1->model()->rowCount(), 2);
    list->close();
    EXPECT_FALSE(frdm->ATopcrl->active());
}

TEST_F(OperatorsTest, AddRefusalsInOrderThenSaves)
{
    loginAs("001");
    list->ToolButton1Click();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("该用户无权增加操作员！"));
    EXPECT_FALSE(list->Fropadd->isVisible());

    loginAs("999");
    dialogs->clear();
    list->ToolButton1Click();
    ASSERT_TRUE(list->Fropadd->isVisible());
    EXPECT_FALSE(list->DBGrid1->isEnabled());
    TFropadd* w = list->Fropadd;
    EXPECT_EQ(w->windowTitle(), QStringLiteral("新增操作员"));
    QString letters = "12a";
    int pos = 0;
    EXPECT_EQ(w->Edit3->validator()->validate(letters, pos), QValidator::Invalid);

    // Everything wrong at once: the passwords are judged first.
    fill(w->Edit3, "123");
    fill(w->Edit4, "124");
    w->BitBtn1Click();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("密码输入不合法!"));
    EXPECT_TRUE(w->Edit3->text().isEmpty());
    // Empty passwords are refused too.
    fill(w->Edit4, "");
    w->BitBtn1Click();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("密码输入不合法!"));

    fill(w->Edit3, "123");
    fill(w->Edit4, "123");
    fill(w->Edit1, "  ");
    fill(w->Edit2, QStringLiteral("李四"));
    w->BitBtn1Click();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("编号或姓名为空,请重新输入!"));
    EXPECT_TRUE(w->Edit1->text().isEmpty());

    fill(w->Edit1, "001");
    w->BitBtn1Click();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("该编号已存在,请重新输入编号!"));
    EXPECT_TRUE(w->Edit1->text().isEmpty());
    EXPECT_EQ(operators(), 2);
    EXPECT_TRUE(w->isVisible());

    fill(w->Edit1, "002");
    EXPECT_EQ(w->Edit3->displayText(), "***");
    EXPECT_EQ(w->Edit4->displayText(), "***");
    EXPECT_EQ(visible::layoutProblems(w), QStringList());
    w->BitBtn1Click();
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(list->DBGrid1->isEnabled());
    auto rows = frdm->ADOCon.rows("SELECT xm, pw FROM opcrl WHERE bh='002'");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0].toString(), QStringLiteral("李四"));
    EXPECT_EQ(rows[0][1].toString(), qm::EncodePassword("123"));
    EXPECT_EQ(dialogs->messages().size(), 4);
}

TEST_F(OperatorsTest, DeleteRefusalsInOrder)
{
    loginAs("001");
    moveTo("999");
    list->ToolButton2Click();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("该用户无权删除操作员！"));

    loginAs("999");
    list->ToolButton2Click();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("不能删除管理员用户！"));
    EXPECT_EQ(operators(), 2);

    moveTo("001");
    dialogs->answers.push_back(qm::Answer::Cancel);
    list->ToolButton2Click();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("确实要删除该操作员吗?"));
    EXPECT_EQ(dialogs->shown.back().caption, QStringLiteral("提示！"));
    EXPECT_EQ(operators(), 2);

    list->ToolButton2Click();
    EXPECT_EQ(operators(), 1);
    EXPECT_EQ(frdm->ADOCon.scalar("SELECT bh FROM opcrl").toString(), "999");
}

TEST_F(OperatorsTest, OnlyOwnPasswordChangesAndEditRefusalsInOrder)
{
    loginAs("001");
    moveTo("999");
    list->DBGrid1DblClick();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("不能修改他人密码！"));
    EXPECT_FALSE(list->Fropedit->isVisible());

    moveTo("001");
    list->ToolButton3Click();
    Tfropedit* w = list->Fropedit;
    ASSERT_TRUE(w->isVisible());
    EXPECT_EQ(w->windowTitle(), QStringLiteral("修改操作员密码"));
    EXPECT_EQ(w->Edit1->text(), QStringLiteral("张三"));

    // Empty name first, even with bad passwords.
    fill(w->Edit1, " ");
    fill(w->Edit2, "1");
    w->BitBtn1Click();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("操作员姓名不能为空!"));
    fill(w->Edit1, QStringLiteral(" 张三丰 "));
    w->BitBtn1Click();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("密码输入不合法!"));
    EXPECT_TRUE(w->Edit2->text().isEmpty());

    fill(w->Edit2, "654321");
    fill(w->Edit3, "654321");
    EXPECT_EQ(w->Edit2->displayText(), "******");
    EXPECT_EQ(w->Edit3->displayText(), "******");
    EXPECT_EQ(visible::layoutProblems(w), QStringList());
    w->BitBtn1Click();
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(frmain->operatorName, QStringLiteral("张三丰"));
    auto rows = frdm->ADOCon.rows("SELECT xm, pw FROM opcrl WHERE bh='001'");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0].toString(), QStringLiteral("张三丰"));
    EXPECT_EQ(rows[0][1].toString(), qm::EncodePassword("654321"));
    // The administrator's row is untouched.
    EXPECT_EQ(frdm->ADOCon.scalar("SELECT pw FROM opcrl WHERE bh='999'").toString(), qm::EncodePassword("888"));
}
