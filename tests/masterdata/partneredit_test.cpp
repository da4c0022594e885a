#include "masterdata/partneredit.h"
#include "masterdata/partnerdata.h"
#include "support/fixture.h"
#include "support/visible.h"
#include "common/errors.h"
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

using namespace qm;
using namespace partnertest;

namespace {
class PartnerEditorTest : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        for (const char* t : {"customer", "branch", "bank", "employee", "store"}) clear(t);
    }
    // An editor opened as the list opens it, on the list's current record.
    PartnerEditor* open(PartnerKind kind, const QString& mode, const QString& intno = {})
    {
        Dataset* ds = partnerDataset(kind);
        ds->close();
        ds->open();
        frmain->editMode = mode;
        if (!intno.isEmpty()) {
            ds->locate("intno", intno);
            frmain->currentIntno = intno;
        }
        list = new QWidget;
        return showPartnerEditor(kind, list);
    }
    void TearDown() override
    {
        delete list;
        AppFixture::TearDown();
    }
    void type(QLineEdit* e, const QString& text)
    {
        for (QChar c : text) {
            QKeyEvent k(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(e, &k);
        }
    }
    QWidget* list = nullptr;
};
}

TEST_F(PartnerEditorTest, NumberingAndProposals)
{
    EXPECT_EQ(PartnerEditing(PartnerKind::Customer).nextIntno(), "0000000001");
    add("customer", "0000000009", "9", "甲");
    add("customer", "0000000041", "41", "乙");
    add("customer", "0000000010", "10", "丙");
    EXPECT_EQ(PartnerEditing(PartnerKind::Customer).proposedId(), "0000000042");
    // Warehouse codes are three wide: the proposal follows the number's last digits.
    add("store", "0000000041", "041", "一号库");
    EXPECT_EQ(PartnerEditing(PartnerKind::Store).proposedId(), "042");

    PartnerEditor* e = open(PartnerKind::Customer, "T");
    EXPECT_EQ(frmain->editMode, "T");
    EXPECT_EQ(e->box("id")->text(), "0000000042");
    EXPECT_TRUE(e->CheckBox1->isChecked());
    EXPECT_FALSE(e->box("id")->isReadOnly());
    EXPECT_EQ(e->windowTitle(), "会员资料录入修改");

    // 新增 clears the boxes unless the shown record is to be copied.
    e->box("name")->setText("张三");
    e->box("tel")->setText("0571-888");
    e->CheckBox2->setChecked(true);
    e->Button2Click();
    EXPECT_EQ(e->box("name")->text(), "张三");
    EXPECT_EQ(e->box("tel")->text(), "0571-888");
    e->CheckBox2->setChecked(false);
    e->Button2Click();
    EXPECT_EQ(e->box("name")->text(), "");
    EXPECT_EQ(e->box("id")->text(), "0000000042");
}

TEST_F(PartnerEditorTest, AddRefusalsInOrderThenSaveAsTyped)
{
    add("customer", "0000000001", "0000000001", "零散客户");
    Dataset* ds = partnerDataset(PartnerKind::Customer);
    ds->setSql("SELECT * from customer where name like '%没有%'"); // a filtered list
    PartnerEditor* e = open(PartnerKind::Customer, "T");

    e->box("id")->clear();
    EXPECT_FALSE(e->Button1Click());
    EXPECT_EQ(dialogs->lastMessage(), "编号不能为空!");

    e->box("id")->setText("0000000001");
    e->box("name")->setText("零散客户");
    EXPECT_FALSE(e->Button1Click());
    EXPECT_EQ(dialogs->lastMessage(), "该编号已存在,不能再录入！ ");

    e->box("id")->setText("5");
    EXPECT_FALSE(e->Button1Click());
    EXPECT_EQ(dialogs->lastMessage(), "该名称已存在,不能再录入！ ");
    EXPECT_EQ(count("select count(*) from customer"), 1);

    // Someone numbered a record meanwhile: the save numbers afresh.
    add("customer", "0000000002", "0000000002", "外来");
    e->box("name")->setText("李四");
    e->box("addr")->setText("杭州市");
    dialogs->clear();
    EXPECT_TRUE(e->Button1Click());
    EXPECT_EQ(dialogs->messages(), QStringList{"数据保存完毕！ "});
    EXPECT_EQ(one("select intno from customer where name='李四'"), "0000000003");
    EXPECT_EQ(one("select id from customer where name='李四'"), "5"); // stored as typed
    EXPECT_EQ(frmain->editMode, "F");
    EXPECT_EQ(frmain->currentIntno, "0000000003");
    // The list's filter is dropped and the new record is current.
    EXPECT_EQ(ds->recordCount(), 3);
    EXPECT_EQ(ds->asString("name"), "李四");

    // A second save changes the same record (and asks about its own name).
    e->box("tel")->setText("123");
    dialogs->answers.push_back(Answer::Ok);
    EXPECT_TRUE(e->Button1Click());
    EXPECT_EQ(count("select count(*) from customer"), 3);
    EXPECT_EQ(one("select tel from customer where intno='0000000003'"), "123");
}

TEST_F(PartnerEditorTest, ModifyOpensReadOnlyAndChecksOthers)
{
    add("branch", "0000000001", "0000000001", "华联批发");
    add("branch", "0000000002", "0000000002", "远东食品", "0571-1");
    PartnerEditor* e = open(PartnerKind::Supplier, "F", "0000000002");
    EXPECT_EQ(e->box("name")->text(), "远东食品");
    EXPECT_EQ(e->box("tel")->text(), "0571-1");
    EXPECT_FALSE(e->CheckBox1->isChecked());
    EXPECT_TRUE(e->box("id")->isReadOnly());
    e->CheckBox1->setChecked(true);
    e->CheckBox1Click();
    EXPECT_FALSE(e->box("id")->isReadOnly());

    e->box("id")->setText("0000000001");
    EXPECT_FALSE(e->Button1Click());
    EXPECT_EQ(dialogs->lastMessage(), "该编号已存在,不能再录入！ ");

    // Its own unchanged name asks; Cancel writes nothing.
    e->box("id")->setText("0000000002");
    e->box("tel")->setText("999");
    dialogs->clear();
    dialogs->answers.push_back(Answer::Cancel);
    EXPECT_FALSE(e->Button1Click());
    ASSERT_EQ(dialogs->shown.size(), 1u);
    EXPECT_EQ(dialogs->shown[0].text, "该名称已存在,是否要保存这次修改?");
    EXPECT_EQ(dialogs->shown[0].caption, "提示！");
    EXPECT_EQ(one("select tel from branch where intno='0000000002'"), "0571-1");

    dialogs->answers.push_back(Answer::Ok);
    EXPECT_TRUE(e->Button1Click());
    EXPECT_EQ(one("select tel from branch where intno='0000000002'"), "999");
    EXPECT_EQ(count("select count(*) from branch"), 2);

    // Navigation shows the record read-only and hands it over.
    e->BitBtn1Click();
    EXPECT_EQ(frmain->currentIntno, "0000000001");
    EXPECT_EQ(e->box("name")->text(), "华联批发");
    EXPECT_TRUE(e->box("name")->isReadOnly());

    // A copy saved unchanged is refused for its name.
    e->CheckBox2->setChecked(true);
    e->Button2Click();
    EXPECT_EQ(e->box("id")->text(), "0000000003");
    EXPECT_FALSE(e->Button1Click());
    EXPECT_EQ(dialogs->lastMessage(), "该名称已存在,不能再录入！ ");
}

TEST_F(PartnerEditorTest, ModifyNeverWritesOverAnotherRow)
{
    add("employee", "0000000001", "0000000001", "王五");
    add("employee", "0000000002", "0000000002", "赵六");
    PartnerEditor* e = open(PartnerKind::Employee, "F", "0000000002");
    partnerDataset(PartnerKind::Employee)->first(); // the grid moved meanwhile
    e->box("tel")->setText("555");
    dialogs->answers.push_back(Answer::Ok);
    EXPECT_TRUE(e->Button1Click());
    EXPECT_EQ(one("select tel from employee where intno='0000000002'"), "555");
    EXPECT_EQ(one("select tel from employee where intno='0000000001'"), "");
}

TEST_F(PartnerEditorTest, FailedWriteLeavesTableAndQueryAsTheyWere)
{
    frdm->ADOCon.exec("CREATE TRIGGER bad BEFORE INSERT ON bank WHEN NEW.name='坏' BEGIN SELECT RAISE(ABORT,'refused'); END");
    add("bank", "0000000001", "0000000001", "现金");
    PartnerEditor* e = open(PartnerKind::Account, "T");
    e->box("name")->setText("坏");
    EXPECT_THROW(e->Button1Click(), DbError);
    EXPECT_EQ(count("select count(*) from bank"), 1);
    EXPECT_EQ(partnerDataset(PartnerKind::Account)->recordCount(), 1);
    EXPECT_EQ(frmain->editMode, "T");
    EXPECT_FALSE(frdm->ADOCon.inTransaction());
}

TEST_F(PartnerEditorTest, WarehouseSaveAndAddOrExit)
{
    PartnerEditor* e = open(PartnerKind::Store, "T");
    EXPECT_EQ(e->box("id")->text(), "001");
    EXPECT_EQ(e->box("id")->maxLength(), 3);
    EXPECT_FALSE(e->findChild<QPushButton*>("Button1")->isVisibleTo(e));
    e->box("name")->setText("一号库");
    e->Button3Click(); // 保存并新增
    EXPECT_EQ(one("select id from store"), "001");
    EXPECT_EQ(e->box("id")->text(), "002");
    EXPECT_EQ(e->box("name")->text(), "");
    EXPECT_EQ(frmain->editMode, "T");

    e->box("name")->setText("一号库");
    e->Button4Click(); // refused: stays open
    EXPECT_EQ(dialogs->lastMessage(), "该名称已存在,不能再录入！ ");
    EXPECT_TRUE(e->isVisible());
    QPointer<PartnerEditor> guard = e;
    e->box("name")->setText("二号库");
    e->Button4Click();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());
    EXPECT_EQ(count("select count(*) from store"), 2);
    EXPECT_TRUE(list->isEnabled()); // the editor's close gave the list back
}

TEST_F(PartnerEditorTest, KeysAndEnterChain)
{
    PartnerEditor* e = open(PartnerKind::Account, "T");
    QLineEdit* id = e->box("id");
    id->clear();
    type(id, "12a-3");
    EXPECT_EQ(id->text(), "123");
    QLineEdit* acc = e->box("accno");
    type(acc, "62-22x");
    EXPECT_EQ(acc->text(), "62-22");
    QLineEdit* remark = e->box("remark");
    type(remark, "工资户a-");
    EXPECT_EQ(remark->text(), "工资户a-");
    EXPECT_EQ(e->findChild<QLineEdit*>("Edit4"), acc);
}

TEST_F(PartnerEditorTest, EveryEditorLaidOutWhole)
{
    // Every box, label and button inside the window, apart, with its caption whole.
    for (PartnerKind k : allPartnerKinds()) {
        PartnerEditor* e = open(k, "T");
        EXPECT_EQ(visible::layoutProblems(e), QStringList()) << qPrintable(partnerDesc(k).editor.caption);
        e->close();
        delete list;
        list = nullptr;
    }
}
