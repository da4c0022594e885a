#include "admin/errorhandler.h"
#include "common/errors.h"
#include "common/formats.h"
#include "layouts/tfrrproduct.h"
#include "layouts/tfrrproduct1.h"
#include "masterdata/productgrid.h"
#include "masterdata/stocklogic.h"
#include "masterdata/tfrproductp.h"
#include "shell/commands.h"
#include "support/fixture.h"
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QToolButton>

using namespace qm;

namespace {
struct Levels {
    QString sphh;
    QVariant sl, fitsl, maxsl, minsl, factsl, avdj;
    QString enddate;
};

class Stock : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        Clock::setFixed(QDateTime(QDate(2026, 12, 6), QTime(10, 0)));
    }
    void TearDown() override
    {
        if (Frproductp) {
            Frproductp->setAttribute(Qt::WA_DeleteOnClose, false);
            Frproductp->close();
            delete Frproductp;
        }
        delete Frm_ErrorMessage;
        AppFixture::TearDown();
    }
    Connection& db() { return frdm->ADOCon; }
    void add(const Levels& p)
    {
        const int n = db().scalar("SELECT count(*) FROM product").toInt() + 1;
        db().exec("INSERT INTO product (intno,sphh,spmc,sl,fitsl,maxsl,minsl,factsl,avdj,enddate) "
                  "VALUES (:i,:c,:m,:s,:f,:x,:n,:a,:v,:e)",
                  {{"i", QString("%1").arg(n, 8, 10, QChar('0'))}, {"c", p.sphh}, {"m", "P" + p.sphh}, {"s", p.sl},
                   {"f", p.fitsl}, {"x", p.maxsl}, {"n", p.minsl}, {"a", p.factsl}, {"v", p.avdj},
                   {"e", p.enddate.isEmpty() ? QVariant() : QVariant(p.enddate + " 00:00:00")}});
    }
    QStringList listed(const QString& column = "sphh")
    {
        QStringList out;
        Dataset* p = frdm->Aqproduct;
        for (int r = 0; r < p->recordCount(); ++r) out << p->displayText(r, p->fieldIndex(column));
        return out;
    }
    TFrproductp* open(const char* item)
    {
        EXPECT_TRUE(runCommand(item));
        return Frproductp;
    }
    double stockOf(const QString& code) { return db().scalar("SELECT sl FROM product WHERE sphh=:p1", {{"p1", code}}).toDouble(); }
};
}

TEST_F(Stock, ReportsListTheProductsAroundTheirBoundariesByTheirResult)
{
    add({"A", 4, 10, 20, 5, 4, 2.5});       // short by 6, below minimum by 1
    add({"B", 10, 10, 20, 5, 12, 1.0});     // at standard
    add({"C", 25, 10, 20, 5, 25, 2.0});     // over standard by 15, over maximum by 5
    add({"D", 9, 10, 9, 9, 7, 3.0});        // short by 1, at maximum and minimum
    add({"E", QVariant(), 10, 20, 5, 3, 1.0}); // no stock: no result, never listed as short

    TFrproductp* w = open("N8");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("需补充库存的商品"));
    EXPECT_EQ(frmain->pickCode, 1);
    EXPECT_EQ(listed(), (QStringList{"D", "A"})); // smallest shortfall first
    EXPECT_EQ(listed("resl"), (QStringList{"1", "6"}));
    EXPECT_FALSE(w->DBGrid1->isColumnHidden(TFrproductp::resultColumn));
    EXPECT_FALSE(w->ToolButton2->isVisible());
    // The result is stored too, for the product list's 差额数量.
    stock::waitForStoredResults();
    EXPECT_DOUBLE_EQ(db().scalar("SELECT resl FROM product WHERE sphh='A'").toDouble(), 6);
    EXPECT_TRUE(db().scalar("SELECT resl FROM product WHERE sphh='E'").isNull());
    w->close();
    EXPECT_EQ(frmain->pickCode, 0);
    EXPECT_TRUE(frdm->ADOCon.isOpen());
    EXPECT_TRUE(frdm->ATcompany->active());

    open("N9");
    EXPECT_EQ(listed(), (QStringList{"C"}));
    Frproductp->close();
    open("N11");
    EXPECT_EQ(listed(), (QStringList{"C"}));
    EXPECT_EQ(listed("resl"), (QStringList{"5"}));
    Frproductp->close();
    open("N12");
    EXPECT_EQ(listed(), (QStringList{"A"}));
    Frproductp->close();

    // Gains and losses: every product, losses first; a product without stock has no result.
    open("N5");
    EXPECT_EQ(listed().mid(1), (QStringList{"D", "A", "C", "B"}));
    EXPECT_EQ(listed("resl").mid(1), (QStringList{"-2", "0", "0", "2"}));
    Frproductp->close();

    // Stock value: cost times stock, with the totals in the totals table.
    db().exec("UPDATE totallist SET amount=88"); // the running turnover goes
    TFrproductp* v = open("N7");
    EXPECT_EQ(v->gridModel()->headerData(TFrproductp::resultColumn, Qt::Horizontal, Qt::DisplayRole).toString(),
              QStringLiteral("库存金额"));
    EXPECT_EQ(frdm->Aqproduct->recNo(), 0);
    EXPECT_EQ(listed("resl"), (QStringList{"", "10", "10", "27", "50"})); // E has no stock
    stock::waitForStoredResults();
    frdm->AQtotallist->open();
    EXPECT_EQ(db().scalar("SELECT count(*) FROM totallist").toInt(), 1);
    EXPECT_DOUBLE_EQ(frdm->AQtotallist->asFloat("hjsl"), 48);
    EXPECT_DOUBLE_EQ(frdm->AQtotallist->asFloat("rest"), 4 * 2.5 + 10 + 50 + 27);
    EXPECT_DOUBLE_EQ(frdm->AQtotallist->asFloat("amount"), 0);
    v->close();
    EXPECT_FALSE(frdm->AQtotallist->active());
}

TEST_F(Stock, StockValueOfAnEmptyTableWritesOneRowOfEmptySums)
{
    open("N7");
    stock::waitForStoredResults();
    EXPECT_EQ(db().scalar("SELECT count(*) FROM totallist").toInt(), 1);
    EXPECT_TRUE(db().scalar("SELECT hjsl FROM totallist").isNull());
    EXPECT_TRUE(db().scalar("SELECT rest FROM totallist").isNull());
}

// The totals are stored away from the window: a failure reaches the error
// handler, and the print refuses the old totals left in their place.
TEST_F(Stock, StockValueTotalsThatCannotBeStoredAreReportedAndNotPrinted)
{
    add({"A", 4, {}, {}, {}, {}, 2.5});
    db().exec("UPDATE totallist SET hjsl=999, rest=999");
    db().exec("CREATE TRIGGER no_totals BEFORE INSERT ON totallist BEGIN SELECT RAISE(ABORT, 'totals refused'); END");
    open("N7");
    stock::waitForStoredResults();
    QCoreApplication::processEvents();
    ASSERT_EQ(dialogs->shown.size(), 1u);
    EXPECT_EQ(dialogs->shown[0].caption, QStringLiteral("异常信息"));
    EXPECT_EQ(db().scalar("SELECT rest FROM totallist").toDouble(), 999);
    EXPECT_THROW(Frproductp->ToolButton7Click(), DbError);
    EXPECT_EQ(dialogs->shown.size(), 1u); // no preview
    Frproductp->close();

    db().exec("DROP TRIGGER no_totals");
    open("N7");
    Frproductp->ToolButton7Click();
    EXPECT_EQ(db().scalar("SELECT rest FROM totallist").toDouble(), 10);
    EXPECT_EQ(dialogs->shown.size(), 2u); // the preview
}

TEST_F(Stock, ExpiryListsCompareDatesAndLeaveUndatedProductsOut)
{
    add({"EXPIRED", 1, {}, {}, {}, {}, {}, "2026-12-05"});
    add({"TODAY", 1, {}, {}, {}, {}, {}, "2026-12-06"});
    add({"D90", 1, {}, {}, {}, {}, {}, "2027-03-06"});   // 90 days
    add({"D91", 1, {}, {}, {}, {}, {}, "2027-03-07"});   // 91 days
    add({"D182", 1, {}, {}, {}, {}, {}, "2027-06-06"});  // 182 days
    add({"D183", 1, {}, {}, {}, {}, {}, "2027-06-07"});  // 183 days
    add({"NODATE", 1});
    auto sorted = [this]() { QStringList l = listed(); l.sort(); return l; };
    TFrproductp* w = open("N19");
    EXPECT_EQ(w->windowTitle(), QStringLiteral("库存商品（半年内到期）"));
    EXPECT_EQ(sorted(), (QStringList{"D182", "D90", "D91", "EXPIRED", "TODAY"}));
    w->close();
    open("N21");
    EXPECT_EQ(sorted(), (QStringList{"D90", "EXPIRED", "TODAY"}));
    Frproductp->close();
    open("N23");
    EXPECT_EQ(sorted(), (QStringList{"EXPIRED"}));
    EXPECT_EQ(frmain->pickCode, 9);
}

TEST_F(Stock, StocktakingIsTheAdministratorsAndItsCountKeepsASaleMadeMeanwhile)
{
    add({"A", 10});
    add({"B", 5});
    loginAs("001");
    EXPECT_FALSE(runCommand("N4") && Frproductp);
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("该用户无权使用此功能,请用管理员进入！"));
    EXPECT_TRUE(frmain->isEnabled());
    loginAs("999");

    TFrproductp* w = open("N4");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("商品库存管理"));
    EXPECT_TRUE(w->DBGrid1->isColumnHidden(TFrproductp::resultColumn));
    EXPECT_EQ(frdm->Aqproduct->sql(), "SELECT * from product\norder by sphh");

    bool shown = false;
    dialogs->onExec = [&](QDialog* d) {
        auto* e = qobject_cast<Tfrproductpedit*>(d);
        EXPECT_NE(e, nullptr);
        if (!e) return int(QDialog::Rejected);
        shown = true;
        EXPECT_EQ(e->windowTitle(), QStringLiteral("录入实际库存量"));
        EXPECT_FALSE(w->isEnabled());
        EXPECT_EQ(e->Edit2->text(), "A");
        EXPECT_EQ(e->Edit4->text(), "10");
        EXPECT_EQ(e->Edit5->text(), ""); // not counted yet
        // The counter finds 8; meanwhile the front desk sells 3 of them.
        Connection desk;
        desk.open(AppPaths::workingDatabase());
        desk.exec("UPDATE product SET sl=sl-3 WHERE sphh='A'");
        e->Edit5->setText("8");
        e->Button1Click();
        EXPECT_EQ(e->Edit4->text(), "7");
        EXPECT_EQ(e->Edit5->text(), "8");
        // A count that is no number stores nothing.
        e->Button4Click();
        EXPECT_EQ(e->Edit2->text(), "B");
        e->Edit5->setText("1.2.3");
        EXPECT_THROW(e->Button1Click(), ConversionError);
        e->Edit5->setText("");
        EXPECT_THROW(e->Button1Click(), ConversionError);
        e->Edit5->setText("4.5");
        e->Button1Click();
        e->Button3Click();
        EXPECT_EQ(e->Edit2->text(), "A");
        return int(QDialog::Rejected);
    };
    w->ToolButton2Click();
    EXPECT_TRUE(shown);
    EXPECT_TRUE(w->isEnabled());
    EXPECT_DOUBLE_EQ(stockOf("A"), 7); // the sale stays
    EXPECT_DOUBLE_EQ(db().scalar("SELECT factsl FROM product WHERE sphh='A'").toDouble(), 8);
    EXPECT_DOUBLE_EQ(db().scalar("SELECT factsl FROM product WHERE sphh='B'").toDouble(), 4.5);
    // The grid shows what is stored.
    frdm->Aqproduct->first();
    EXPECT_DOUBLE_EQ(frdm->Aqproduct->asFloat("sl"), 7);
}

TEST_F(Stock, CountWindowKeysRunFromTheCountToSaveAndNext)
{
    add({"A", 10});
    add({"B", 5});
    open("N4");
    dialogs->onExec = [&](QDialog* d) {
        auto* e = static_cast<Tfrproductpedit*>(d);
        d->show();
        QApplication::setActiveWindow(d);
        e->Edit5->setFocus();
        QTest::keyClicks(e->Edit5, "6a-.5");
        EXPECT_EQ(e->Edit5->text(), "6.5");
        QTest::keyClick(e->Edit5, Qt::Key_Return);
        EXPECT_TRUE(e->Button1->hasFocus());
        QTest::keyClick(e->Button1, Qt::Key_Return);
        EXPECT_TRUE(e->Button4->hasFocus());
        QTest::keyClick(e->Button4, Qt::Key_Return);
        EXPECT_EQ(e->Edit2->text(), "B");
        EXPECT_TRUE(e->Edit5->hasFocus());
        return int(QDialog::Rejected);
    };
    Frproductp->ToolButton2Click();
    EXPECT_DOUBLE_EQ(db().scalar("SELECT factsl FROM product WHERE sphh='A'").toDouble(), 6.5);
}

TEST_F(Stock, UpdateTakesTheCountsOfMarkedCountedProductsOnly)
{
    add({"COUNTED", 10, {}, {}, {}, 0});
    add({"UNCOUNTED", 10, {}, {}, {}, 3}); // an old count, never entered in a stocktaking
    add({"UNMARKED", 10});
    open("N4");
    dialogs->onExec = [&](QDialog* d) {
        auto* e = static_cast<Tfrproductpedit*>(d);
        e->Edit5->setText("0"); // counted: none left
        e->Button1Click();
        e->Button4Click();
        EXPECT_EQ(e->Edit5->text(), "3"); // the stored count shows, pending or not
        e->Button4Click();
        e->Edit5->setText("9");
        e->Button1Click();
        return int(QDialog::Rejected);
    };
    Frproductp->ToolButton2Click();
    // COUNTED and UNCOUNTED are marked, UNMARKED is counted but not marked.
    frdm->Aqproduct->first();
    Frproductp->toggleMark();
    frdm->Aqproduct->next();
    Frproductp->toggleMark();
    Frproductp->close();

    // Wrong password, then another operator: nothing changes.
    dialogs->inputs = {"wrong"};
    runCommand("N6");
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("输入操作员密码错误,请重新操作！"));
    loginAs("001", "pw");
    dialogs->inputs = {"pw"};
    runCommand("N6");
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("该用户无权使用此功能,请用管理员进入！"));
    loginAs("999");
    dialogs->inputs = {"123456"};
    dialogs->answers = {Answer::Cancel};
    runCommand("N6");
    EXPECT_EQ(dialogs->shown.back().caption, QStringLiteral("提示！"));
    EXPECT_EQ(dialogs->lastMessage(),
              QStringLiteral("更新库存量是对被选中的商品,用盘点的实际库存量\n\n替换原来的库存量!确实要更新商品库存量吗?"));
    EXPECT_DOUBLE_EQ(stockOf("COUNTED"), 10);

    dialogs->inputs = {"123456"};
    runCommand("N6");
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("库存量更新完毕,共有1种已盘点的选中商品更新了库存量!"));
    EXPECT_DOUBLE_EQ(stockOf("COUNTED"), 0);
    EXPECT_DOUBLE_EQ(stockOf("UNCOUNTED"), 10);
    EXPECT_DOUBLE_EQ(stockOf("UNMARKED"), 10);
    EXPECT_EQ(frdm->Aqproduct->sql(), "SELECT * from product");
    // A count is taken once: a sale after the update is not undone by running it again.
    db().exec("UPDATE product SET sl=sl-1 WHERE sphh='COUNTED'");
    dialogs->inputs = {"123456"};
    runCommand("N6");
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("库存量更新完毕,共有0种已盘点的选中商品更新了库存量!"));
    EXPECT_DOUBLE_EQ(stockOf("COUNTED"), -1);
}

TEST_F(Stock, SearchMarksAndPrintsFollowTheMode)
{
    add({"12", 4, 10, 20, 5, 4, 2.0, "2026-12-01"});
    add({"120", 9, 10, 20, 5, 4, 2.0});
    add({"312", 1, 10, 20, 5, 4, 2.0});
    TFrproductp* w = open("N8");
    EXPECT_EQ(w->ComboBox1->currentText(), QStringLiteral("拼音首字"));
    w->ComboBox1->setCurrentText(QStringLiteral("货品代码"));
    w->Edit1->setText("12"); // 精确 is chosen first: codes that begin with 12
    EXPECT_EQ(listed(), (QStringList{"12", "120"}));
    EXPECT_EQ(frmain->pickCode, 1);

    // The print keeps the report's title and columns over the rows as listed.
    {
        Tfrrproduct r(frdm->Aqproduct, false);
        prepareStockPrint(r, 1);
        ASSERT_EQ(r.Prepare(), 1);
        const QStringList t = r.pages()[0].textList();
        for (const char* s : {"需补充库存的商品表", "最大存量", "最小存量", "正常存量", "补充数量", "120"})
            EXPECT_TRUE(t.contains(QString::fromUtf8(s))) << s;
        EXPECT_FALSE(t.contains(QStringLiteral("自定进价")));
        EXPECT_FALSE(t.contains(QStringLiteral("库存数量合计:")));
    }
    {
        Tfrrproduct r(frdm->Aqproduct, false);
        prepareStockPrint(r, 7);
        r.Prepare();
        const QStringList t = r.pages()[0].textList();
        EXPECT_TRUE(t.contains(QStringLiteral("半年内到期商品表")));
        EXPECT_TRUE(t.contains(QStringLiteral("有效期")));
        EXPECT_TRUE(t.contains(QStringLiteral("2026-12-01")));
        EXPECT_FALSE(t.contains(QStringLiteral("货品代码")));
    }

    // Marks: every product, the marked ones, none.
    w->N1Click();
    EXPECT_EQ(db().scalar("SELECT count(*) FROM product WHERE szbj=1").toInt(), 3);
    w->N5Click();
    frdm->Aqproduct->first();
    w->toggleMark();
    w->N6Click();
    EXPECT_EQ(listed(), (QStringList{"12"}));
    w->close();

    // Stock value prints its totals; gains and losses show every product after the print.
    open("N7");
    stock::waitForStoredResults();
    frdm->AQtotallist->open();
    {
        Tfrrproduct r(frdm->Aqproduct, true);
        prepareStockPrint(r, 6);
        r.Prepare();
        const QStringList t = r.pages()[0].textList();
        EXPECT_TRUE(t.contains(QStringLiteral("库存金额合计:")));
        EXPECT_TRUE(t.contains(QStringLiteral("平均进价")));
        EXPECT_TRUE(t.contains(QStringLiteral("28.00")));
    }
    // The stock value in money, in the list as in the print.
    {
        Tfrrproduct r(frdm->Aqproduct, true);
        prepareStockPrint(r, 6);
        r.Prepare();
        const QStringList t = r.pages()[0].textList();
        Dataset* p = frdm->Aqproduct;
        for (int row = 0; row < p->recordCount(); ++row) {
            const QVariant v = p->valueAt(row, p->fieldIndex("resl"));
            if (v.isNull()) continue;
            const QString money = formatFloat("0.00", v.toDouble());
            EXPECT_EQ(Frproductp->gridModel()->data(Frproductp->gridModel()->index(row, TFrproductp::resultColumn), Qt::DisplayRole).toString(), money);
            EXPECT_TRUE(t.contains(money)) << money.toStdString();
        }
    }
    Frproductp->close();
    open("N5");
    Frproductp->Edit1->setText("x");
    EXPECT_TRUE(listed().isEmpty());
    Frproductp->ToolButton7Click();
    EXPECT_EQ(listed().size(), 3);

    // The stocktaking sheet: code and name with empty cells.
    Tfrrproduct1 sheet(frdm->Aqproduct);
    sheet.Prepare();
    const QStringList t = sheet.pages()[0].textList();
    EXPECT_TRUE(t.contains(QStringLiteral("库存商品盘点表")));
    EXPECT_TRUE(t.contains(QStringLiteral("P312")));
}
