#include "reports/historyviewer.h"
#include "reports/reportdata.h"
#include "reports/statements.h"
#include "shell/commands.h"
#include <QApplication>
#include <QLineEdit>

using namespace qm;
using namespace qm::reports;
using namespace reporttest;

namespace {
class HistoryTest : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        storeRange(frdm->ADOCon, {QDate(2009, 3, 5), QDate(2009, 3, 10)});
        const QVariantMap p = {{"spintno", "00000007"}, {"sphh", "6901"}, {"spmc", "铅笔"}};
        auto with = [&p](QVariantMap m) { m.insert(p); return m; };
        row("outdetail", "2009-03-10 18:20:00", with({{"mainintno", "0000000003"}, {"sl", 2.0}, {"dj_n", 5.0}, {"amount", 10.0}}));
        row("indetail", "2009-03-01", {{"spmc", "上期结转"}, {"amount", 99.0}});
        row("indetail", "2009-03-01", with({{"sl", 10.0}, {"dj_w", 3.2}, {"dj_n", 3.5}, {"amount", 32.0}}));
        row("inbackdetail", "2009-03-04", with({{"mainintno", "0000000004"}, {"sl", 1.0}, {"dj_w", 3.1}, {"dj_n", 3.5}, {"amount", 3.1}}));
        row("outbackdetail", "2009-03-05", with({{"sl", 1.0}, {"dj_n", 5.0}, {"amount", 5.0}}));
        row("outdetail", "2009-03-06", with({{"sl", 50.0}}), State::Reversed);
        row("outdetail", "2009-03-06", with({{"sl", 60.0}}), State::Unposted);
        row("outdetail", "2009-03-06", {{"spintno", "00000008"}, {"sl", 70.0}});
        row("outdetail", "2009-03-11", with({{"sl", 3.0}, {"dj_n", 5.0}, {"amount", 15.0}}));
        frdm->ADOCon.exec("INSERT INTO outlist (intno, billdate, amount) VALUES ('0000000003', '2009-03-10 18:20:00', 10)");
    }
};
}

// Every posted, unreversed goods row of the product in date order, purchases
// and purchase returns at the price paid; 刷新 narrows to the whole range.
TEST_F(HistoryTest, LinesOrderPricesAndRange)
{
    fillProductHistory("00000007");
    Dataset* d = frdm->AQdetail;
    EXPECT_EQ(column(d, "billname"), QStringList({"进货单", "进货退货单", "销售退货单", "销售单", "销售单"}));
    EXPECT_EQ(column(d, "dj_n"), QStringList({"3.200", "3.100", "5.000", "5.000", "5.000"}));

    Tfrdetail v("00000007", nullptr);
    v.show();
    EXPECT_EQ(v.Edit9->text(), "1");
    EXPECT_EQ(d->recordCount(), 5); // showing does not narrow
    v.refreshClick();
    EXPECT_EQ(column(d, "billdate"), QStringList({"2009-03-05", "2009-03-10 18:20:00"}));

    // A product without rows: an empty grid, and 查明细单 does nothing.
    fillProductHistory("00000009");
    EXPECT_TRUE(d->isEmpty());
    v.reportClick();
    EXPECT_EQ(frmain->pickCode, 0);
}

// 查明细单 hands the line's document to the posted view of its kind; a kind
// without a posted view does nothing.
TEST_F(HistoryTest, OpeningTheLinesDocument)
{
    fillProductHistory("00000007");
    Tfrdetail v("00000007", nullptr);
    v.show();
    QStringList opened;
    ScopedCommand view(Tfrdetail::postedViewCommand(1), [&opened] {
        opened << frdm->AQoutlist->asString("intno") + "/" + frmain->docIntno + "/" + QString::number(frmain->pickCode);
    });
    Dataset* d = frdm->AQdetail;
    ASSERT_TRUE(d->locate("billtype", "01"));
    v.reportClick();
    EXPECT_EQ(opened, QStringList({"0000000003/0000000003/99"}));

    // A line of another bill type opens nothing.
    frmain->pickCode = 0;
    frdm->AQoutlist->close();
    frdm->ADOCon.exec("UPDATE custtotal SET billtype='13' WHERE billtype='05'");
    showProductHistory("00000007", nullptr);
    ASSERT_TRUE(d->locate("billtype", "13"));
    v.reportClick();
    EXPECT_FALSE(frdm->AQoutlist->active());
    EXPECT_EQ(frmain->pickCode, 0);

    // Closing hands the pick code back and leaves the connection as it was.
    frmain->pickCode = 99;
    v.close();
    EXPECT_EQ(frmain->pickCode, 0);
    EXPECT_TRUE(frdm->ADOCon.isOpen());
}

// The product list's command opens the viewer modally on its current product.
TEST_F(HistoryTest, TheProductListsCommandShowsTheViewerModally)
{
    frdm->ADOCon.exec("INSERT INTO product (intno, sphh, spmc) VALUES ('00000007', '6901', '铅笔')");
    frdm->Aqproduct->setSql("SELECT * from product");
    frdm->Aqproduct->open();
    int rows = -1, pick = -1;
    dialogs->onExec = [&](QDialog* dlg) {
        EXPECT_EQ(dlg->objectName(), "frdetail");
        rows = frdm->AQdetail->recordCount();
        pick = frmain->pickCode;
        return int(QDialog::Rejected);
    };
    ASSERT_TRUE(runCommand("ProductHistory"));
    EXPECT_EQ(rows, 5);
    EXPECT_EQ(pick, 99);
    EXPECT_EQ(frmain->pickCode, 0);
}

// With the document windows in the program, a purchase-return line opens its
// posted view owned by the viewer, which it disables, without 冲数.
TEST_F(HistoryTest, ThePostedViewOpensWithoutReversal)
{
    if (!hasCommand(Tfrdetail::postedViewCommand(6))) GTEST_SKIP() << "no document windows";
    frdm->ADOCon.exec("INSERT INTO inbacklist (intno, billdate, customerid, amount, pass, billtype, billname) "
                      "VALUES ('0000000004', '2009-03-04 00:00:00', '0000000012', 3.1, 1, '06', '进货退货单')");
    fillProductHistory("00000007");
    auto* v = new Tfrdetail("00000007", nullptr);
    v->show();
    ASSERT_TRUE(frdm->AQdetail->locate("billtype", "06"));
    v->reportClick();
    QWidget* view = nullptr;
    for (QWidget* c : v->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (c->isWindow() && c->objectName() == "Tfrfinbackdetail") view = c;
    ASSERT_NE(view, nullptr);
    EXPECT_FALSE(v->isEnabled());
    QWidget* reverse = view->findChild<QWidget*>("ToolButton6");
    ASSERT_NE(reverse, nullptr);
    EXPECT_FALSE(reverse->isVisibleTo(view));
    view->close();
    QApplication::processEvents();
    EXPECT_TRUE(v->isEnabled());
    delete v;
}
