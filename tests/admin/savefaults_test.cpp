// Operators, options and company under injected
// faults: the database ends as it was before or after the command, the
// windows show what is stored, and 取消 or moving on writes nothing.
#include "admin/tfrcompany.h"
#include "admin/tfrconfig.h"
#include "admin/tfropcrl.h"
#include "admin/tfrpassword.h"
#include "app/mainmenu.h"
#include "common/errors.h"
#include "common/password.h"
#include "shell/commands.h"
#include "shell/windowprotocol.h"
#include "support/faultvfs.h"
#include "support/fixture.h"
#include <QCoreApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <sqlite3.h>

using namespace qm;

namespace {
class AdminSaveFaults : public AppFixture {
protected:
    QString path;
    QPointer<Tfropcrl> list;
    void SetUp() override
    {
        AppFixture::SetUp();
        path = AppPaths::workingDatabase();
        frdm->ADOCon.exec("INSERT INTO opcrl (bh, xm, pw) VALUES ('001', :p1, :p2)",
                          {{"p1", QStringLiteral("张三")}, {"p2", EncodePassword("111")}});
    }
    void TearDown() override
    {
        delete list;
        AppFixture::TearDown();
    }
    void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
    void openOperators()
    {
        frdm->connectTo(path);
        ASSERT_TRUE(runCommand("N1"));
        list = qobject_cast<Tfropcrl*>(findOpenWindow("Fropcrl"));
        ASSERT_TRUE(list);
    }
    void closeOperators()
    {
        delete list;
        frmain->setEnabled(true);
        frdm->ADOCon.close();
    }
};
}

TEST_F(AdminSaveFaults, OperatorAddThenCancel)
{
    fault::Steps s;
    s.detach = [&] { closeOperators(); };
    s.attach = [&] {
        openOperators();
        list->ToolButton1Click();
        list->Fropadd->Edit1->setText("002");
        list->Fropadd->Edit2->setText(QStringLiteral("李四"));
        list->Fropadd->Edit3->setText("123456");
        list->Fropadd->Edit4->setText("123456");
    };
    s.command = [&] { list->Fropadd->BitBtn1Click(); };
    s.check = [&](const fault::Run& run) {
        EXPECT_EQ(fault::compareWithTable(*frdm->ATopcrl, "opcrl", {"bh", "xm", "pw"}).toStdString(), "") << run.point.describe().toStdString();
        // 取消 after the failure, then another row: nothing may be written.
        list->Fropadd->reject();
        frdm->ATopcrl->first();
        frdm->ATopcrl->last();
    };
    EXPECT_TRUE(fault::sound(fault::sweep(path, s)));
}

TEST_F(AdminSaveFaults, PasswordChangeThenCancel)
{
    loginAs("001");
    fault::Steps s;
    s.detach = [&] { closeOperators(); };
    s.attach = [&] {
        openOperators();
        ASSERT_TRUE(frdm->ATopcrl->locate("bh", "001"));
        list->ToolButton3Click();
        list->Fropedit->Edit2->setText("654321");
        list->Fropedit->Edit3->setText("654321");
    };
    s.command = [&] { list->Fropedit->BitBtn1Click(); };
    s.check = [&](const fault::Run& run) {
        EXPECT_EQ(fault::compareWithTable(*frdm->ATopcrl, "opcrl", {"bh", "xm", "pw"}).toStdString(), "") << run.point.describe().toStdString();
        list->Fropedit->reject();
        frdm->ATopcrl->first();
        frdm->ATopcrl->last();
    };
    EXPECT_TRUE(fault::sound(fault::sweep(path, s)));
}

TEST_F(AdminSaveFaults, OperatorAddedByAnotherCopyMeanwhile)
{
    openOperators();
    list->ToolButton1Click();
    TFropadd* w = list->Fropadd;
    w->Edit1->setText("003");
    w->Edit2->setText(QStringLiteral("王五"));
    w->Edit3->setText("123456");
    w->Edit4->setText("123456");
    Connection other;
    other.open(path);
    other.exec("INSERT INTO opcrl (bh, xm, pw) VALUES ('003', '别人', '')");
    w->BitBtn1Click();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("该编号已存在,请重新输入编号!"));
    EXPECT_EQ(frdm->ADOCon.scalar("SELECT count(*) FROM opcrl WHERE bh='003'").toInt(), 1);
    // The list still shows what it read (the other copy's row appears when reopened).
    EXPECT_EQ(fault::compareWithTable(*frdm->ATopcrl, "opcrl", {"bh", "xm"}, "bh<>'003'").toStdString(), "");

    // A commit refused while the front desk reads: the list keeps no row.
    w->Edit1->setText("004");
    w->Edit3->setText("123456");
    w->Edit4->setText("123456");
    {
        fault::ReaderHold reader(path);
        sqlite3_busy_timeout(frdm->ADOCon.handle(), 100);
        EXPECT_THROW(w->BitBtn1Click(), DbError);
    }
    EXPECT_EQ(fault::compareWithTable(*frdm->ATopcrl, "opcrl", {"bh", "xm"}, "bh<>'003'").toStdString(), "");
    w->reject();
    frdm->ATopcrl->first();
    EXPECT_EQ(frdm->ADOCon.scalar("SELECT count(*) FROM opcrl WHERE bh='004'").toInt(), 0);
}

TEST_F(AdminSaveFaults, OptionsAndCompanySaves)
{
    fault::Steps options;
    QPointer<Tfrconfig> w;
    options.detach = [&] {
        delete w.data();
        frdm->ADOCon.close();
    };
    options.attach = [&] {
        frdm->connectTo(path);
        ASSERT_TRUE(runMenuItem("N22"));
        w = frconfig;
        w->edAmountDec->setText("3");
    };
    options.command = [&] { w->Button1Click(); };
    options.check = [&](const fault::Run&) { EXPECT_FALSE(frdm->ADOCon.inTransaction()); };
    EXPECT_TRUE(fault::sound(fault::sweep(path, options)));

    fault::Steps company;
    QPointer<TFrcompany> c;
    company.detach = [&] {
        delete c.data();
        flushDeletes();
        frmain->setEnabled(true);
        frdm->ADOCon.close();
    };
    company.attach = [&] {
        frdm->connectTo(path);
        frdm->ATcompany->open();
        ASSERT_TRUE(runMenuItem("N53"));
        c = Frcompany;
        c->DBEdit1->setText(QStringLiteral("东街便利店"));
    };
    company.command = [&] { c->close(); };
    company.check = [&](const fault::Run& run) {
        EXPECT_EQ(fault::compareWithTable(*frdm->ATcompany, "company", {"name", "tel"}).toStdString(), "") << run.point.describe().toStdString();
    };
    EXPECT_TRUE(fault::sound(fault::sweep(path, company)));
}

TEST_F(AdminSaveFaults, OperatorDelete)
{
    fault::Steps s;
    s.detach = [&] { closeOperators(); };
    s.attach = [&] {
        openOperators();
        ASSERT_TRUE(frdm->ATopcrl->locate("bh", "001"));
    };
    s.command = [&] { list->ToolButton2Click(); };
    s.check = [&](const fault::Run& run) {
        EXPECT_EQ(fault::compareWithTable(*frdm->ATopcrl, "opcrl", {"bh", "xm"}).toStdString(), "") << run.point.describe().toStdString();
        frdm->ATopcrl->first();
    };
    EXPECT_TRUE(fault::sound(fault::sweep(path, s)));
}
