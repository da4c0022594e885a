// The login window and its effects on the logged-in state.
#include "admin/tfrpassword.h"
#include "common/errors.h"
#include "common/password.h"
#include "shell/commands.h"
#include "support/faultvfs.h"
#include "support/fixture.h"
#include "support/visible.h"
#include <QComboBox>
#include <QLineEdit>
#include <QScreen>

class LoginTest : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        frmain->operatorCode.clear();
        frmain->operatorName.clear();
        frmain->loginPassword.clear();
        frdm->ADOCon.exec("UPDATE totallist SET amount=125.5, rest=30");
        frdm->ADOCon.exec("INSERT INTO totallist (amount, rest) VALUES (8, 9)");
        frdm->ADOCon.exec("INSERT INTO opcrl (bh, xm, pw) VALUES ('001', :p1, :p2)",
                          {{"p1", QStringLiteral("张三")}, {"p2", qm::EncodePassword("12345")}});
    }
    // Login with the given number and password through the modal window.
    void script(const QString& code, const QString& password, bool cancel = false)
    {
        dialogs->onExec = [=](QDialog* d) {
            auto* w = qobject_cast<TFrpassword*>(d);
            if (!w) return int(QDialog::Rejected);
            w->ComboBox1->setEditText(code);
            w->Edit1->setText(password);
            if (cancel) w->BitBtn2Click();
            else w->BitBtn1Click();
            return w->result();
        };
    }
};

TEST_F(LoginTest, WindowProposesTheAdministratorAndListsEveryOperator)
{
    TFrpassword w(frmain);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("登录验证"));
    EXPECT_EQ(w.ComboBox1->currentText(), "999");
    EXPECT_EQ(w.Edit1->text(), "888");
    EXPECT_EQ(w.Edit1->displayText(), "***"); // the first password, masked with "*"
    EXPECT_EQ(w.Edit1->maxLength(), 6);
    ASSERT_EQ(w.ComboBox1->count(), 2);
    EXPECT_EQ(w.ComboBox1->itemText(0), "999");
    EXPECT_EQ(w.ComboBox1->itemText(1), "001");

    // It opens in the middle of the screen, wherever the main window is.
    frmain->setGeometry(0, 0, 400, 300);
    frmain->show();
    w.show();
    const QPoint screenMiddle = w.screen()->availableGeometry().center();
    EXPECT_LE((w.frameGeometry().center() - screenMiddle).manhattanLength(), 2);
    EXPECT_EQ(visible::layoutProblems(&w), QStringList());
    w.hide();
}

TEST_F(LoginTest, SuccessSetsTheOperatorCaptionAndResetsTheTurnover)
{
    script("001", " 12345");
    qm::showLogin(frmain);
    EXPECT_TRUE(dialogs->messages().isEmpty());
    EXPECT_EQ(frmain->operatorCode, "001");
    EXPECT_EQ(frmain->operatorName, QStringLiteral("张三"));
    EXPECT_EQ(frmain->loginPassword, " 12345"); // as typed
    // The user is the company the reports and the receipt name.
    EXPECT_EQ(frmain->windowTitle(), QStringLiteral("Velkan超市后台(百货版V2009)-用户名:我的超市 操作员:001"));
    // Only the first totals row holds the turnover.
    auto rows = frdm->ADOCon.rows("SELECT amount, rest FROM totallist ORDER BY rowid");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0].toDouble(), 0.0);
    EXPECT_EQ(rows[0][1].toDouble(), 0.0);
    EXPECT_EQ(rows[1][0].toDouble(), 8.0);
    // Reconnected, with the company table open again.
    EXPECT_TRUE(frdm->ADOCon.isOpen());
    EXPECT_TRUE(frdm->ATcompany->active());
    EXPECT_FALSE(frdm->AQcom->active());

    // An emptied totals table gets its first row back at the next login.
    frdm->ADOCon.exec("DELETE FROM totallist");
    script("001", "12345");
    ASSERT_TRUE(qm::runCommand("N3"));
    rows = frdm->ADOCon.rows("SELECT amount, rest FROM totallist");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0].toDouble(), 0.0);
    EXPECT_EQ(rows[0][1].toDouble(), 0.0);
    EXPECT_FALSE(rows[0][0].isNull());

    // 操作员交接班: the administrator takes over; the caption keeps one operator part.
    frdm->ADOCon.exec("UPDATE company SET name='东街百货 '");
    script("999", "888");
    ASSERT_TRUE(qm::runCommand("N3"));
    EXPECT_EQ(frmain->operatorName, QStringLiteral("管理员"));
    EXPECT_EQ(frmain->windowTitle(), QStringLiteral("Velkan超市后台(百货版V2009)-用户名:东街百货 操作员:999"));
}

TEST_F(LoginTest, WrongPasswordUnknownNumberAndCancelEndTheProgram)
{
    struct Case { QString code, password; bool cancel; QStringList messages; };
    const QString refused = QStringLiteral("密码错误,非法用户！");
    for (const Case& k : {Case{"999", "123", false, {refused}}, Case{"555", "888", false, {refused}},
                          Case{"999", "", false, {refused}}, Case{"999", "888", true, {}}}) {
        dialogs->clear();
        frdm->ADOCon.close();
        frdm->connectTo(qm::AppPaths::workingDatabase());
        frdm->ATcompany->open();
        script(k.code, k.password, k.cancel);
        EXPECT_THROW(qm::showLogin(frmain), qm::ProgramExit) << qPrintable(k.code + "/" + k.password);
        EXPECT_EQ(dialogs->messages(), k.messages);
        if (!k.messages.isEmpty()) {
            EXPECT_EQ(dialogs->shown.back().icon, qm::Icon::Warning);
        }
        EXPECT_TRUE(frmain->operatorCode.isEmpty());
        EXPECT_FALSE(frdm->ADOCon.isOpen());
        EXPECT_FALSE(frdm->ATcompany->active());
    }
    // The turnover is left alone.
    frdm->connectTo(qm::AppPaths::workingDatabase());
    EXPECT_EQ(frdm->ADOCon.scalar("SELECT amount FROM totallist ORDER BY rowid").toDouble(), 125.5);

    // Cancelling 操作员交接班 ends the program as well.
    script("999", "888", true);
    EXPECT_THROW(qm::runCommand("N3"), qm::ProgramExit);
}

TEST_F(LoginTest, TurnoverResetSurvivesAFailedWrite)
{
    // With the first row there and with the table emptied: after a failed
    // write the table is as before or as after, and the dataset is not left
    // half edited.
    for (bool emptied : {false, true}) {
        if (emptied) frdm->ADOCon.exec("DELETE FROM totallist");
        const QString path = qm::AppPaths::workingDatabase();
        qm::fault::Steps s;
        s.detach = [] { frdm->ADOCon.close(); };
        s.attach = [&] { frdm->connectTo(path); };
        s.command = [] { qm::resetTurnover(); };
        s.check = [](const qm::fault::Run& run) {
            EXPECT_EQ(frdm->AQtotallist->state(), qm::Dataset::State::Browse) << qPrintable(run.point.describe());
        };
        const qm::fault::Report r = qm::fault::sweep(path, s);
        EXPECT_TRUE(r.ok()) << qPrintable(r.failures.join("\n"));
        EXPECT_GT(r.runs, 1);
        EXPECT_GT(r.before, 0);
        frdm->connectTo(path);
    }
}
