#include "common/errors.h"
#include "layouts/tfrrproduct_b.h"
#include "masterdata/openinglist.h"
#include "shell/commands.h"
#include "support/fixture.h"
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

using namespace qm;

namespace {
class Opening : public AppFixture {
protected:
    void TearDown() override
    {
        for (QPointer<OpeningList>* l : {&Frcustomer_b, &Frbranch_b, &Frbank_b, &Frproduct_b})
            if (*l) {
                (*l)->setAttribute(Qt::WA_DeleteOnClose, false);
                (*l)->close();
                delete l->data();
            }
        AppFixture::TearDown();
    }
    Connection& db() { return frdm->ADOCon; }
    void addParty(const char* table, const QString& id, const QString& name, double rest = 0, double balance = 0,
                  const QString& tel = QString())
    {
        const int n = db().scalar(QStringLiteral("SELECT count(*) FROM %1").arg(table)).toInt() + 1;
        db().exec(QStringLiteral("INSERT INTO %1 (intno,id,name,rest,balance,tel) VALUES (:i,:c,:n,:r,:b,:t)").arg(table),
                  {{"i", QString("%1").arg(n + 100, 10, 10, QChar('0'))}, {"c", id}, {"n", name}, {"r", rest},
                   {"b", balance}, {"t", tel}});
    }
    void addProduct(const QString& code, const QString& name, double rest, const QString& intno = "auto")
    {
        const int n = db().scalar("SELECT count(*) FROM product").toInt() + 1;
        db().exec("INSERT INTO product (intno,sphh,spmc,spgg,rest) VALUES (:i,:c,:m,:g,:r)",
                  {{"i", intno == "auto" ? QString("%1").arg(n, 8, 10, QChar('0')) : intno}, {"c", code}, {"m", name},
                   {"g", "PY" + code}, {"r", rest}});
    }
    QStringList listed(Dataset* ds, const QString& column)
    {
        QStringList out;
        for (int r = 0; r < ds->recordCount(); ++r) out << ds->valueAt(r, ds->fieldIndex(column)).toString();
        return out;
    }
    void search(OpeningList* l, const QString& mode, const QString& text)
    {
        l->ComboBox1->setEditText(mode);
        l->Edit1->setText(text);
        l->ToolButton6Click();
    }
};
}

TEST_F(Opening, OnlyTheAdministratorOpensTheLists)
{
    loginAs("001");
    for (const char* item : {"N82", "N13", "N15", "N10"}) {
        dialogs->clear();
        EXPECT_TRUE(runCommand(item));
        EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("该用户无权使用此功能！")) << item;
        EXPECT_TRUE(frmain->isEnabled());
    }
    EXPECT_FALSE(Frcustomer_b || Frbranch_b || Frbank_b || Frproduct_b);
    loginAs("999");
    runCommand("N13");
    ASSERT_TRUE(Frbank_b);
    EXPECT_EQ(Frbank_b->windowTitle(), QStringLiteral("现金银行帐_期初建帐"));
    EXPECT_FALSE(frmain->isEnabled());
    Frbank_b->close();
    EXPECT_FALSE(frdm->AQbank->active());
}

TEST_F(Opening, RangeSearchesFindExactCodesAndChineseNames)
{
    addParty("customer", "0000000012", QStringLiteral("华联"), 0, 0, "0571-1");
    addParty("customer", "0000000123", QStringLiteral("华联超市"), 0, 0, "0571-2");
    addParty("customer", "0000000002", QStringLiteral("联华"), 0, 0, "010-3");
    runCommand("N15");
    OpeningList* l = Frcustomer_b;
    ASSERT_TRUE(l);
    EXPECT_EQ(frdm->Aqcustomer->recordCount(), 4); // the walk-in customer too
    EXPECT_EQ(l->ComboBox1->currentText(), QStringLiteral("编号"));

    search(l, QStringLiteral("编号"), "12");
    EXPECT_EQ(l->Edit1->text(), "0000000012");
    EXPECT_EQ(listed(frdm->Aqcustomer, "id"), (QStringList{"0000000012"}));
    search(l, QStringLiteral("编号"), "");
    EXPECT_EQ(frdm->Aqcustomer->recordCount(), 4);
    search(l, QStringLiteral("名称"), QStringLiteral("华联"));
    QStringList names = listed(frdm->Aqcustomer, "name");
    names.sort();
    EXPECT_EQ(names, (QStringList{QStringLiteral("华联"), QStringLiteral("华联超市")}));
    search(l, QStringLiteral("电话"), "0571");
    EXPECT_EQ(frdm->Aqcustomer->recordCount(), 2);
    // No mode: the column clicked in the grid, anywhere in the text.
    l->selectGridColumn("tel");
    search(l, "", "-3");
    EXPECT_EQ(listed(frdm->Aqcustomer, "name"), (QStringList{QStringLiteral("联华")}));
}

TEST_F(Opening, EditorChecksTheNumberFirstAndNeverWritesTheCode)
{
    addParty("branch", "0000000001", QStringLiteral("华联"), 5);
    addParty("branch", "0000000002", QStringLiteral("联华"), 0);
    runCommand("N10");
    OpeningList* l = Frbranch_b;
    ASSERT_TRUE(l);
    bool shown = false;
    dialogs->onExec = [&](QDialog* d) {
        auto* e = qobject_cast<OpeningEditor*>(d);
        EXPECT_NE(e, nullptr);
        if (!e) return int(QDialog::Rejected);
        shown = true;
        EXPECT_EQ(e->windowTitle(), QStringLiteral("修改供应商应付期初值"));
        EXPECT_FALSE(l->isEnabled());
        EXPECT_EQ(e->box(0)->text(), "0000000001");
        EXPECT_TRUE(e->box(0)->isReadOnly());
        EXPECT_EQ(e->box(3)->text(), "5");
        e->box(1)->setText(QStringLiteral("华联新"));
        for (const char* bad : {"", "1.2.3", "."}) {
            e->box(3)->setText(bad);
            EXPECT_THROW(e->Button1Click(), ConversionError) << bad;
        }
        EXPECT_EQ(db().scalar("SELECT name FROM branch WHERE id='0000000001'").toString(), QStringLiteral("华联"));
        EXPECT_EQ(frdm->AQbranch->state(), Dataset::State::Browse);
        e->box(3)->setText("12.5");
        // A record keeps its name: an empty one is refused, nothing saved.
        e->box(1)->setText("  ");
        EXPECT_THROW(e->Button1Click(), SilentStop);
        EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("名称不能为空!"));
        EXPECT_DOUBLE_EQ(db().scalar("SELECT rest FROM branch WHERE id='0000000001'").toDouble(), 5);
        e->box(1)->setText(QStringLiteral("华联新"));
        e->Button1Click();
        e->Button4Click();
        EXPECT_EQ(e->box(0)->text(), "0000000002");
        e->Button3Click();
        EXPECT_EQ(e->box(1)->text(), QStringLiteral("华联新"));
        // Typing: no minus sign in the opening value; Enter runs on to 保存.
        d->show();
        QApplication::setActiveWindow(d);
        e->box(3)->clear();
        e->box(3)->setFocus();
        QTest::keyClicks(e->box(3), "-7.5");
        EXPECT_EQ(e->box(3)->text(), "7.5");
        QTest::keyClick(e->box(3), Qt::Key_Return);
        EXPECT_TRUE(e->Button1->hasFocus());
        return int(QDialog::Rejected);
    };
    l->ToolButton1Click();
    EXPECT_TRUE(shown);
    EXPECT_TRUE(l->isEnabled());
    EXPECT_DOUBLE_EQ(db().scalar("SELECT rest FROM branch WHERE id='0000000001'").toDouble(), 12.5);
    EXPECT_EQ(db().scalar("SELECT count(*) FROM branch WHERE id='0000000001'").toInt(), 1);
}

TEST_F(Opening, ProductOpeningStockSearchesAndPrints)
{
    addProduct("001", QStringLiteral("可乐"), 10);
    addProduct("002", QStringLiteral("雪碧"), 0);
    addProduct("003", QStringLiteral("芬达"), -2);
    runCommand("N82");
    OpeningList* l = Frproduct_b;
    ASSERT_TRUE(l);
    EXPECT_EQ(l->ComboBox1->currentText(), QStringLiteral("拼音首字"));
    EXPECT_EQ(frdm->Aqproduct->recordCount(), 3);
    l->ComboBox1->setEditText(QStringLiteral("品名规格"));
    l->Edit1->setText(QStringLiteral("雪"));
    EXPECT_EQ(listed(frdm->Aqproduct, "sphh"), (QStringList{"002"}));
    l->ComboBox1->setEditText(QStringLiteral("初值非0"));
    EXPECT_EQ(listed(frdm->Aqproduct, "sphh"), (QStringList{"001", "003"}));

    // The print lists the products with an opening stock, then the list shows all again.
    int pages = 0;
    QStringList texts;
    dialogs->onExec = [&](QDialog*) { return int(QDialog::Rejected); };
    {
        Dataset* p = frdm->Aqproduct;
        p->close();
        p->setSql("SELECT * from product\nWHERE rest<>0.0 ");
        p->open();
        Tfrrproduct_b r(p);
        pages = r.Prepare();
        texts = r.pages()[0].textList();
    }
    EXPECT_EQ(pages, 1);
    for (const char* s : {"库存商品期初情况表", "期初数", "可乐", "芬达"}) EXPECT_TRUE(texts.contains(QString::fromUtf8(s))) << s;
    EXPECT_FALSE(texts.contains(QStringLiteral("雪碧")));
    l->ToolButton5Click();
    EXPECT_EQ(dialogs->shown.back().kind, "exec");
    EXPECT_EQ(frdm->Aqproduct->sql(), "SELECT * from product");
    EXPECT_EQ(frdm->Aqproduct->recordCount(), 3);
}

TEST_F(Opening, PartnerPrintsOnlyNonZeroBalancesAndArrowsDropRowsWithoutNumber)
{
    addParty("customer", "0000000012", QStringLiteral("甲"), 5, 0);
    addParty("customer", "0000000013", QStringLiteral("乙"), 0, 0);
    addParty("customer", "0000000014", QStringLiteral("丙"), 0, -3);
    runCommand("N15");
    Frcustomer_b->ToolButton5Click();
    EXPECT_EQ(frdm->Aqcustomer->sql(), "SELECT * from customer\nWHERE balance<>0 or rest<>0");
    QStringList names = listed(frdm->Aqcustomer, "name");
    names.sort();
    EXPECT_EQ(names, (QStringList{QStringLiteral("丙"), QStringLiteral("甲")}));
    Frcustomer_b->close();

    addProduct("001", QStringLiteral("可乐"), 1);
    addProduct("", "", 0, "");
    runCommand("N82");
    Dataset* p = frdm->Aqproduct;
    ASSERT_EQ(p->recordCount(), 2);
    p->moveTo(0);
    QTest::keyClick(Frproduct_b->DBGrid1, Qt::Key_Down);
    EXPECT_EQ(db().scalar("SELECT count(*) FROM product").toInt(), 2);
    p->moveTo(1);
    QTest::keyClick(Frproduct_b->DBGrid1, Qt::Key_Up);
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("确实要删除当前记录吗?"));
    EXPECT_EQ(db().scalar("SELECT count(*) FROM product").toInt(), 1);
}
