#include "layouts/partnerreports.h"
#include "masterdata/partnerdata.h"
#include "masterdata/partneredit.h"
#include "masterdata/partnerlist.h"
#include "masterdata/picklink.h"
#include "shell/commands.h"
#include "support/fixture.h"
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTableView>
#include <QToolButton>

using namespace qm;
using namespace partnertest;

namespace {
class PartnerListTest : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        for (const char* t : {"customer", "branch", "bank", "employee", "store"}) clear(t);
        add("customer", "0000000001", "0000000001", "零散客户");
        add("customer", "0000000002", "0000000012", "张三", "0571-86012345");
        add("customer", "0000000003", "0000000120", "李四", "13912345678");
        add("customer", "0000000004", "512", "王五超市", "88012");
        add("branch", "0000000001", "12", "华联批发", "0571-1", 1200.5);
        add("branch", "0000000002", "0000000012", "远东食品");
        add("branch", "0000000003", "300", "新星日化");
        add("bank", "0000000001", "0000000001", "现金");
        add("bank", "0000000002", "0000000002", "工商银行");
        add("employee", "0000000001", "0000000012", "张三丰", "801");
        add("employee", "0000000002", "0000000013", "张", "802");
        add("employee", "0000000003", "0000000120", "小张", "803");
        frdm->ADOCon.exec("UPDATE employee SET movetel='13800000001', fax='777' WHERE intno='0000000001'");
        add("store", "0000000001", "001", "一号库");
        add("store", "0000000002", "012", "二号库");
        frdm->ADOCon.exec("UPDATE store SET persondeal='老周' WHERE intno='0000000002'");
        for (PartnerKind k : allPartnerKinds())
            partnerDataset(k)->setSql(QStringLiteral("SELECT * from %1").arg(partnerDesc(k).table));
    }
    void TearDown() override
    {
        delete opener;
        for (PartnerKind k : allPartnerKinds()) delete openPartnerList(k);
        AppFixture::TearDown();
    }
    // The ids the list's query holds.
    QStringList ids(PartnerKind k, const char* column = "id")
    {
        QStringList out;
        Dataset* ds = partnerDataset(k);
        for (int r = 0; r < ds->recordCount(); ++r) out << ds->valueAt(r, ds->fieldIndex(column)).toString();
        return out;
    }
    PartnerList* search(PartnerKind k, const QString& mode, const QString& text, const QString& gridColumn = {})
    {
        PartnerList* l = openPartnerList(k);
        if (!l) l = openPartnerListFromMenu(k);
        l->ComboBox1->setEditText(mode);
        l->Edit1->setText(text);
        if (!gridColumn.isEmpty()) l->selectGridColumn(gridColumn);
        l->ToolButton6Click();
        return l;
    }
    // A window that picks: the named boxes of the document and report windows.
    QWidget* makeOpener()
    {
        opener = new QWidget;
        for (const char* n : {"Edit2", "Edit3", "Edit9", "Edit10", "Edit16"}) (new QLineEdit(opener))->setObjectName(n);
        return opener;
    }
    QString box(const char* name) { return opener->findChild<QLineEdit*>(name)->text(); }
    QWidget* opener = nullptr;
};
}

TEST_F(PartnerListTest, MemberSearchPadsCodesAndLikesTheRest)
{
    PartnerList* l = search(PartnerKind::Customer, "编号", "12");
    EXPECT_EQ(l->Edit1->text(), "0000000012");
    EXPECT_EQ(ids(PartnerKind::Customer), QStringList{"0000000012"});
    search(PartnerKind::Customer, "编号", "");
    EXPECT_EQ(ids(PartnerKind::Customer).size(), 4);
    search(PartnerKind::Customer, "客户名", "四");
    EXPECT_EQ(ids(PartnerKind::Customer), QStringList{"0000000120"});
    search(PartnerKind::Customer, "电话", "012");
    EXPECT_EQ(ids(PartnerKind::Customer), (QStringList{"0000000012", "512"}));
    // Typed text is a value, never SQL.
    search(PartnerKind::Customer, "客户名", "' or 1=1 --");
    EXPECT_TRUE(ids(PartnerKind::Customer).isEmpty());
    EXPECT_EQ(count("select count(*) from customer"), 4);
    // An item the mode box does not offer leaves the query as it was.
    search(PartnerKind::Customer, "编号", "");
    search(PartnerKind::Customer, "其他", "张");
    EXPECT_EQ(ids(PartnerKind::Customer).size(), 4);
}

TEST_F(PartnerListTest, SupplierCodesAsTypedAndSearchWhenShown)
{
    partnerDataset(PartnerKind::Supplier)->setSql("SELECT * from branch where id='300'");
    PartnerList* l = openPartnerListFromMenu(PartnerKind::Supplier);
    EXPECT_EQ(ids(PartnerKind::Supplier).size(), 3); // 查找 ran with the empty box
    search(PartnerKind::Supplier, "编号", "12");
    EXPECT_EQ(l->Edit1->text(), "12");
    EXPECT_EQ(ids(PartnerKind::Supplier), (QStringList{"12", "0000000012"}));
    search(PartnerKind::Supplier, "名称", "日化");
    EXPECT_EQ(ids(PartnerKind::Supplier), QStringList{"300"});
}

TEST_F(PartnerListTest, EmployeePrefixSearch)
{
    search(PartnerKind::Employee, "编号", "12");
    EXPECT_EQ(ids(PartnerKind::Employee), QStringList{"0000000012"});
    search(PartnerKind::Employee, "编号", "1");
    EXPECT_TRUE(ids(PartnerKind::Employee).isEmpty()); // "0000000001" is nobody's prefix here
    search(PartnerKind::Employee, "客户名", "张");
    EXPECT_EQ(ids(PartnerKind::Employee, "name"), (QStringList{"张三丰", "张"})); // Chinese prefixes found, 小张 not
    search(PartnerKind::Employee, "电话", "80");
    EXPECT_EQ(ids(PartnerKind::Employee).size(), 3);
    search(PartnerKind::Employee, "编号", "");
    EXPECT_EQ(ids(PartnerKind::Employee).size(), 3);
}

TEST_F(PartnerListTest, EmptyModeBeforeAnyCellIsChosenSearchesTheFirstColumn)
{
    PartnerList* l = openPartnerListFromMenu(PartnerKind::Customer);
    l->ComboBox1->setEditText("");
    l->Edit1->setText("12");
    l->ToolButton6Click();
    EXPECT_EQ(ids(PartnerKind::Customer), (QStringList{"0000000012", "0000000120", "512"}));
    EXPECT_EQ(l->Edit1->text(), "12"); // as typed, not padded
}

TEST_F(PartnerListTest, ToolbarsDisabledStepsAndHotPictures)
{
    for (PartnerKind k : allPartnerKinds()) {
        PartnerList* l = openPartnerListFromMenu(k);
        const QString name = partnerDesc(k).list.className;
        for (const char* step : {"ToolButton8", "ToolButton9", "ToolButton10", "ToolButton11"}) {
            auto* b = l->findChild<QToolButton*>(step);
            ASSERT_TRUE(b) << qPrintable(name) << step;
            EXPECT_FALSE(b->isEnabled()) << qPrintable(name) << step;
            b->click();
        }
        // Only the employee and warehouse toolbars light up under the mouse.
        auto* add = l->findChild<QToolButton*>("ToolButton1");
        const QSize sz = add->iconSize();
        const bool lit = add->icon().pixmap(sz, QIcon::Active).toImage() != add->icon().pixmap(sz, QIcon::Normal).toImage();
        EXPECT_EQ(lit, k == PartnerKind::Employee || k == PartnerKind::Store) << qPrintable(name);
        l->close();
    }
    EXPECT_TRUE(dialogs->shown.empty());
}

TEST_F(PartnerListTest, ColumnSearchUsesTheColumnTheOperatorSees)
{
    // Member list: the third column is the telephone.
    search(PartnerKind::Customer, "", "139", "tel");
    EXPECT_EQ(ids(PartnerKind::Customer), QStringList{"0000000120"});
    // Not padded on this path.
    search(PartnerKind::Customer, "", "12", "id");
    EXPECT_EQ(ids(PartnerKind::Customer), (QStringList{"0000000012", "0000000120", "512"}));
    // Employee list: the fourth column shows the mobile, not the fax.
    search(PartnerKind::Employee, "", "138", "movetel");
    EXPECT_EQ(ids(PartnerKind::Employee), QStringList{"0000000012"});
    search(PartnerKind::Employee, "", "777", "movetel");
    EXPECT_TRUE(ids(PartnerKind::Employee).isEmpty());
    // ... and like, not the prefix range.
    search(PartnerKind::Employee, "", "张", "name");
    EXPECT_EQ(ids(PartnerKind::Employee).size(), 3);
    // Warehouses: the fourth column is the contact.
    search(PartnerKind::Store, "", "周", "persondeal");
    EXPECT_EQ(ids(PartnerKind::Store), QStringList{"012"});
    // A money column is not searched: the selection stays.
    search(PartnerKind::Customer, "", "1", "balance");
    search(PartnerKind::Customer, "", "", "tel");
    EXPECT_EQ(ids(PartnerKind::Customer).size(), 4);
    search(PartnerKind::Customer, "", "88", "balance");
    EXPECT_EQ(ids(PartnerKind::Customer).size(), 4);
    // Warehouse codes pad to their own width.
    PartnerList* s = search(PartnerKind::Store, "编号", "12");
    EXPECT_EQ(s->Edit1->text(), "012");
    EXPECT_EQ(ids(PartnerKind::Store), QStringList{"012"});
}

TEST_F(PartnerListTest, DeleteRules)
{
    PartnerList* l = openPartnerListFromMenu(PartnerKind::Customer);
    Dataset* c = partnerDataset(PartnerKind::Customer);
    c->locate("intno", "0000000001");
    l->ToolButton3Click();
    EXPECT_EQ(dialogs->messages(), QStringList{"不能删除零售散户！"});
    EXPECT_EQ(count("select count(*) from customer"), 4);

    c->locate("intno", "0000000002");
    dialogs->clear();
    dialogs->answers.push_back(Answer::Cancel);
    l->ToolButton3Click();
    ASSERT_EQ(dialogs->shown.size(), 1u);
    EXPECT_EQ(dialogs->shown[0].text, "确实要删除记录吗?");
    EXPECT_EQ(dialogs->shown[0].caption, "提示！");
    EXPECT_EQ(count("select count(*) from customer"), 4);
    l->ToolButton3Click();
    EXPECT_EQ(count("select count(*) from customer where intno='0000000002'"), 0);
    l->close();

    // A supplier with a balance: its own question, then the data module's.
    PartnerList* b = openPartnerListFromMenu(PartnerKind::Supplier);
    Dataset* s = partnerDataset(PartnerKind::Supplier);
    s->locate("intno", "0000000001");
    dialogs->clear();
    dialogs->answers = {Answer::Ok, Answer::Cancel};
    b->ToolButton3Click();
    EXPECT_EQ(dialogs->messages(), (QStringList{"该供应商的余额不为0,是否要删除?", "确实要删除当前记录吗?"}));
    EXPECT_EQ(count("select count(*) from branch"), 3);
    b->ToolButton3Click();
    EXPECT_EQ(count("select count(*) from branch where intno='0000000001'"), 0);
    // Without a balance only the data module asks.
    dialogs->clear();
    b->ToolButton3Click();
    EXPECT_EQ(dialogs->messages(), QStringList{"确实要删除当前记录吗?"});
    EXPECT_EQ(count("select count(*) from branch"), 1);
    // A balance owed the other way (paid in advance) is asked about too.
    add("branch", "0000000004", "400", "预付供应商", "", -35.5);
    s->close();
    s->open();
    s->locate("intno", "0000000004");
    dialogs->clear();
    dialogs->answers = {Answer::Cancel};
    b->ToolButton3Click();
    EXPECT_EQ(dialogs->messages(), QStringList{"该供应商的余额不为0,是否要删除?"});
    EXPECT_EQ(count("select count(*) from branch where intno='0000000004'"), 1);

    // An empty list deletes nothing and asks nothing.
    PartnerList* e = search(PartnerKind::Employee, "客户名", "没有这个人");
    dialogs->clear();
    e->ToolButton3Click();
    e->ToolButton2Click();
    EXPECT_TRUE(dialogs->shown.empty());
    EXPECT_FALSE(openPartnerEditor(PartnerKind::Employee));
    EXPECT_EQ(count("select count(*) from employee"), 3);
}

TEST_F(PartnerListTest, PicksIntoTheOpenersBoxes)
{
    struct Case { PartnerKind kind; int code; const char* intno; const char* box; QString text; };
    const Case cases[] = {
        {PartnerKind::Customer, 1, "0000000002", "Edit2", "0000000012"},
        {PartnerKind::Customer, 3, "0000000004", "Edit2", "512"},
        {PartnerKind::Customer, 5, "0000000002", "Edit2", "0000000012"},
        {PartnerKind::Customer, 11, "0000000003", "Edit9", "0000000120"},
        {PartnerKind::Customer, 13, "0000000001", "Edit2", "0000000001"},
        {PartnerKind::Supplier, 2, "0000000003", "Edit2", "300"},
        {PartnerKind::Supplier, 4, "0000000001", "Edit2", "12"},
        {PartnerKind::Supplier, 6, "0000000001", "Edit2", "12"},
        {PartnerKind::Supplier, 11, "0000000002", "Edit9", "0000000012"},
        {PartnerKind::Supplier, 12, "0000000003", "Edit9", "300"},
        {PartnerKind::Supplier, 14, "0000000003", "Edit2", "300"},
        {PartnerKind::Account, 12, "0000000002", "Edit3", "0000000002"},
        {PartnerKind::Employee, 1, "0000000001", "Edit16", "张三丰"},
        {PartnerKind::Employee, 2, "0000000002", "Edit16", "张"},
        {PartnerKind::Employee, 5, "0000000003", "Edit16", "小张"},
        {PartnerKind::Employee, 6, "0000000001", "Edit16", "张三丰"},
        {PartnerKind::Employee, 13, "0000000001", "Edit16", "张三丰"},
        {PartnerKind::Employee, 14, "0000000001", "Edit16", "张三丰"},
    };
    frmain->setEnabled(true);
    for (const Case& c : cases) {
        SCOPED_TRACE(QStringLiteral("kind %1 code %2").arg(int(c.kind)).arg(c.code).toStdString());
        makeOpener();
        QPointer<PartnerList> l = openPartnerPick(c.kind, opener, c.code);
        EXPECT_EQ(frmain->pickCode, c.code);
        partnerDataset(c.kind)->locate("intno", c.intno);
        l->DBGrid1DblClick();
        EXPECT_EQ(box(c.box), c.text);
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(l.isNull());
        EXPECT_EQ(frmain->pickCode, 0);
        EXPECT_TRUE(frmain->isEnabled());
        delete opener;
        opener = nullptr;
    }
}

TEST_F(PartnerListTest, PickCodesOutsideTheListAndFromTheMenuWriteNothing)
{
    makeOpener();
    QPointer<PartnerList> l = openPartnerPick(PartnerKind::Customer, opener, 2); // the supplier code
    l->ToolButton7Click();
    EXPECT_EQ(box("Edit2"), "");
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(l.isNull()); // nothing written, the list closed all the same
    EXPECT_EQ(frmain->pickCode, 0);
    // The opener going away takes the list with it.
    l = openPartnerPick(PartnerKind::Customer, opener, 1);
    delete opener;
    opener = nullptr;
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(l.isNull());
    EXPECT_EQ(frmain->pickCode, 0);

    // From the menu: the main window waits, 选中 does nothing.
    ASSERT_TRUE(runCommand("N80"));
    QPointer<PartnerList> m = openPartnerList(PartnerKind::Employee);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->metaObject()->className(), QByteArray("TFremployee"));
    EXPECT_FALSE(frmain->isEnabled());
    EXPECT_TRUE(m->isEnabled());
    m->ToolButton7Click();
    EXPECT_FALSE(m.isNull());
    m->ToolButton15Click();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(m.isNull());
    EXPECT_TRUE(frmain->isEnabled());

    // The warehouse list has its hidden menu item and takes no pick.
    ASSERT_TRUE(runCommand("N81"));
    EXPECT_TRUE(Frstore);
    EXPECT_EQ(Frstore->windowTitle(), "仓库设置");
    for (const char* item : {"N16", "N79", "N33"}) EXPECT_TRUE(hasCommand(item));
}

TEST_F(PartnerListTest, AccountPicksWriteTheDocument)
{
    frdm->ADOCon.exec("INSERT INTO outlist (intno) VALUES ('0000000007')");
    frdm->AQoutlist->setSql("SELECT * from outlist");
    frdm->AQoutlist->open();
    makeOpener();
    QPointer<PartnerList> l = openPartnerPick(PartnerKind::Account, opener, 1);
    partnerDataset(PartnerKind::Account)->locate("intno", "0000000002");
    l->ToolButton7Click();
    EXPECT_EQ(one("select bankid from outlist"), "0000000002");
    EXPECT_EQ(box("Edit10"), "0000000002");

    // Receipts: the account goes into the current row; the carried-forward row takes none.
    frdm->ADOCon.exec("INSERT INTO getdetail (intno, spmc) VALUES ('0000000001', '上期结转'), ('0000000002', '')");
    frdm->AQoutdetail->setSql("SELECT * from getdetail");
    frdm->AQoutdetail->open();
    l = openPartnerPick(PartnerKind::Account, opener, 13);
    partnerDataset(PartnerKind::Account)->locate("intno", "0000000002");
    l->ToolButton7Click();
    EXPECT_FALSE(l.isNull());
    EXPECT_EQ(dialogs->lastMessage(), "明细表中的第一行为上期结转行,不能删除或修改");
    EXPECT_EQ(one("select sphh from getdetail where intno='0000000001'"), "");
    frdm->AQoutdetail->locate("intno", "0000000002");
    l->ToolButton7Click();
    EXPECT_EQ(one("select sphh||'/'||spmc from getdetail where intno='0000000002'"), "0000000002/工商银行");
}

TEST_F(PartnerListTest, EditorsFromTheListAndPrintingEveryMember)
{
    PartnerList* l = search(PartnerKind::Customer, "客户名", "张");
    l->ToolButton2Click();
    PartnerEditor* e = openPartnerEditor(PartnerKind::Customer);
    ASSERT_TRUE(e);
    EXPECT_FALSE(l->isEnabled());
    EXPECT_TRUE(e->isEnabled());
    EXPECT_EQ(frmain->editMode, "F");
    EXPECT_EQ(frmain->currentIntno, "0000000002");
    EXPECT_EQ(e->box("name")->text(), "张三");
    e->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(l->isEnabled());

    search(PartnerKind::Customer, "客户名", "张");
    dialogs->clear();
    l->ToolButton5Click();
    ASSERT_EQ(dialogs->shown.size(), 1u);
    EXPECT_EQ(dialogs->shown[0].kind, "exec");
    EXPECT_EQ(dialogs->shown[0].caption, "Velkan打印预览");
    EXPECT_EQ(ids(PartnerKind::Customer).size(), 4); // the selection was dropped

    Tfrrcustomer r;
    ASSERT_EQ(r.Prepare(), 1);
    const report::Page& p = r.pages()[0];
    for (const char* t : {"客户资料", "编号", "客户名称", "期初应收", "应收累计", "王五超市", "0571-86012345"})
        EXPECT_TRUE(p.find(QString::fromUtf8(t))) << t;
}

TEST_F(PartnerListTest, FourAcrossFillsLinesLeftToRight)
{
    for (int i = 5; i <= 9; ++i)
        add("customer", padCode(QString::number(i)), padCode(QString::number(i)), QStringLiteral("会员%1").arg(i));
    Dataset* c = partnerDataset(PartnerKind::Customer);
    c->open();
    c->last();
    Tfrrcustomers r;
    ASSERT_EQ(r.Prepare(), 1);
    const report::Page& p = r.pages()[0];
    int lines = 0;
    for (const auto& b : p.bands) lines += b.kind == report::BandKind::Detail;
    EXPECT_EQ(lines, 3); // 9 members: 4 + 4 + 1
    const auto* first = p.find("零散客户");
    const auto* fourth = p.find("王五超市");
    const auto* fifth = p.find("会员5");
    const auto* ninth = p.find("会员9");
    ASSERT_TRUE(first && fourth && fifth && ninth);
    EXPECT_EQ(first->rect.top(), fourth->rect.top());
    EXPECT_GT(fourth->rect.left(), first->rect.left());
    EXPECT_EQ(fifth->rect.left(), first->rect.left());
    EXPECT_GT(ninth->rect.top(), fifth->rect.top());
    int onLast = 0;
    for (const auto& t : p.texts)
        if (t.band == report::BandKind::Detail && t.rect.top() == ninth->rect.top() && !t.text.isEmpty()) ++onLast;
    EXPECT_EQ(onLast, 2);

    // Laid out again (the print after the preview), the members are all there once more.
    ASSERT_EQ(r.Prepare(), 1);
    EXPECT_TRUE(r.pages()[0].find("零散客户"));
    EXPECT_TRUE(r.pages()[0].find("会员9"));
}
