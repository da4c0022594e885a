#include "common/errors.h"
#include "common/formats.h"
#include "layouts/report.h"
#include "reports/reportdata.h"
#include "reports/summaries.h"
#include "reports/summarywindow.h"
#include "shell/commands.h"
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

using namespace qm;
using namespace qm::reports;
using namespace reporttest;

namespace {
class SummaryTest : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        Clock::setFixed(QDateTime(QDate(2009, 3, 15), QTime(10, 0)));
    }
    void TearDown() override
    {
        deleteWindows<SummaryWindow>();
        AppFixture::TearDown();
    }
    SummaryWindow* open(SummaryKind k, const QString& from, const QString& to)
    {
        storeRange(frdm->ADOCon, {parseDate(from), parseDate(to)});
        auto* w = new SummaryWindow(k, nullptr);
        w->show();
        return w;
    }
    QString box(SummaryWindow* w, const char* name) { return w->totalBox(name)->text(); }
};
}

// One purchase of 5 at 2.00 paid 4.00, with an unposted, a reversed and a
// carried-forward row around it, and rows just outside the range.
TEST_F(SummaryTest, PurchaseTotalsCountOnlyPostedUnreversedRowsOfTheRange)
{
    row("indetail", "2009-03-10", {{"spmc", "上期结转"}, {"amount", 500.0}, {"rest", 500.0}});
    row("indetail", "2009-03-10", {{"sphh", "A1"}, {"spmc", "铅笔"}, {"sl", 5.0}, {"dj_w", 2.0}, {"amount", 10.0},
                                   {"pay", 4.0}, {"customerid", "0000000012"}});
    row("indetail", "2009-03-11", {{"sphh", "A1"}, {"sl", 7.0}, {"amount", 70.0}}, State::Unposted);
    row("indetail", "2009-03-12", {{"sphh", "A1"}, {"sl", 9.0}, {"amount", 90.0}}, State::Reversed);
    row("indetail", "2009-02-28 23:59:59", {{"sphh", "A1"}, {"sl", 1.0}, {"amount", 1.0}});
    row("indetail", "2009-04-01", {{"sphh", "A1"}, {"sl", 1.0}, {"amount", 1.0}});

    SummaryWindow* w = open(SummaryKind::Purchases, "2009-03-01", "2009-03-31");
    EXPECT_EQ(box(w, "Edit4"), "10.00");
    EXPECT_EQ(box(w, "Edit5"), "4.00");
    EXPECT_EQ(box(w, "Edit6"), "5");
    EXPECT_EQ(frdm->AQoutdetail->recordCount(), 1);
    EXPECT_EQ(num("SELECT count(*) FROM totallist"), 1);

    // A supplier code that matches nothing: zeros and an empty grid, no message.
    w->filterEdit("Edit2")->setText("12");
    w->refreshClick();
    EXPECT_EQ(box(w, "Edit4"), "0.00");
    EXPECT_EQ(frdm->AQoutdetail->recordCount(), 0);
    EXPECT_TRUE(dialogs->shown.empty());
    w->filterEdit("Edit2")->setText("0000000012");
    w->filterEdit("Edit3")->setText(" A1 ");
    w->refreshClick();
    EXPECT_EQ(box(w, "Edit4"), "10.00");

    // Reversal takes the document out.
    frdm->ADOCon.exec("UPDATE indetail SET cancel=1");
    w->refreshClick();
    EXPECT_EQ(box(w, "Edit4"), "0.00");
    EXPECT_EQ(box(w, "Edit6"), "0");
}

// The whole last day counts: a sale at 18:20 on the to-date is in, one at
// midnight after it is out; the sales summary's 今天 covers today and tomorrow.
TEST_F(SummaryTest, TheToDateCountsWholeAndTodayTakesEverySaleOfToday)
{
    row("outdetail", "2009-03-15 18:20:00", {{"sl", 1.0}, {"amount", 3.0}, {"djh", "001"}});
    row("outdetail", "2009-03-15 00:00:00", {{"sl", 1.0}, {"amount", 5.0}, {"djh", "002"}});
    row("outdetail", "2009-03-16 00:00:00", {{"sl", 1.0}, {"amount", 7.0}, {"djh", "001"}});
    row("outdetail", "2009-03-17 00:00:00", {{"sl", 1.0}, {"amount", 100.0}, {"djh", "001"}});

    SummaryWindow* w = open(SummaryKind::Sales, "2009-03-15", "2009-03-15");
    EXPECT_EQ(box(w, "Edit4"), "8.00");
    EXPECT_EQ(column(frdm->AQoutdetail, "billdate"), QStringList({"2009-03-15", "2009-03-15 18:20:00"}));

    w->todayClick();
    EXPECT_EQ(w->MaskEdit1->text(), "2009-03-15");
    EXPECT_EQ(w->MaskEdit2->text(), "2009-03-16");
    w->refreshClick();
    EXPECT_EQ(box(w, "Edit4"), "15.00");
    // An operator number narrows the daily report to that operator's sales.
    w->filterEdit("Edit1")->setText("001");
    w->refreshClick();
    EXPECT_EQ(box(w, "Edit4"), "10.00");

    // The last day a date can name is a whole day too.
    row("outdetail", "9999-12-31 23:59:59", {{"sl", 1.0}, {"amount", 1000.0}, {"djh", "001"}});
    w->MaskEdit1->setText("2009-03-16");
    w->MaskEdit2->setText("9999-12-31");
    w->refreshClick();
    EXPECT_EQ(box(w, "Edit4"), "1107.00");
}

// Profit is amount less quantity times cost, the rebate included, in the run
// and in 分类汇总 alike: 2 at 10.00 with rebate 90 and cost 6.00 gives 6.00.
TEST_F(SummaryTest, ProfitAndGroupingByProduct)
{
    row("outdetail", "2009-03-02 09:00:00", {{"spintno", "00000002"}, {"sphh", "B"}, {"spmc", "橡皮"}, {"sl", 2.0},
                                             {"dj_n", 10.0}, {"rebate", 90.0}, {"dj_w", 6.0}, {"amount", 18.0},
                                             {"customerid", "0000000001"}});
    row("outdetail", "2009-03-03 09:00:00", {{"spintno", "00000001"}, {"sphh", "A"}, {"spmc", "铅笔"}, {"sl", 1.5},
                                             {"dj_n", 4.0}, {"dj_w", 1.0}, {"amount", 6.0}, {"deduck", 0.5},
                                             {"customerid", "0000000002"}});
    row("outdetail", "2009-03-04 09:00:00", {{"spintno", "00000002"}, {"sphh", "B"}, {"spmc", "橡皮"}, {"sl", 1.0},
                                             {"dj_n", 10.0}, {"dj_w", 6.0}, {"amount", 10.0}, {"customerid", "0000000001"}});
    SummaryWindow* w = open(SummaryKind::ProductSales, "2009-03-01", "2009-03-31");
    EXPECT_EQ(box(w, "Edit4"), "34.00");
    EXPECT_EQ(box(w, "Edit5"), "0.50");
    EXPECT_EQ(box(w, "Edit6"), "14.50"); // (18-12) + (6-1.5) + (10-6)
    EXPECT_EQ(box(w, "Edit7"), "4.50");

    w->groupClick();
    EXPECT_EQ(box(w, "Edit6"), "14.50");
    Dataset* g = frdm->AQoutdetail;
    EXPECT_EQ(column(g, "sphh"), QStringList({"A", "B"}));
    EXPECT_EQ(column(g, "amount"), QStringList({"6.00", "28.00"}));
    EXPECT_EQ(column(g, "sl"), QStringList({"1.5", "3"}));

    // The member typed without its zeros finds nothing; picked, only its rows.
    w->filterEdit("Edit2")->setText("1");
    w->refreshClick();
    EXPECT_EQ(box(w, "Edit4"), "0.00");
    w->filterEdit("Edit2")->setText("0000000001");
    w->refreshClick();
    EXPECT_EQ(box(w, "Edit6"), "10.00");
}

// The other members: their sums, boxes and the padded supplier code.
TEST_F(SummaryTest, ReturnsReceiptsAndPayments)
{
    row("outbackdetail", "2009-03-05", {{"sl", 2.0}, {"dj_w", 3.0}, {"amount", 10.0}});
    row("inbackdetail", "2009-03-05", {{"sl", 4.0}, {"amount", 8.0}});
    row("getdetail", "2009-03-05", {{"spmc", "上期结转"}, {"amount", 99.0}});
    row("getdetail", "2009-03-05", {{"sphh", "0000000001"}, {"spmc", "现金"}, {"amount", 50.0}, {"deduck", 1.5}});
    row("putdetail", "2009-03-05", {{"customerid", "0000000012"}, {"amount", 30.0}, {"deduck", 2.0}});
    row("putdetail", "2009-03-06", {{"customerid", "0000000013"}, {"amount", 5.0}});

    SummaryWindow* ob = open(SummaryKind::SalesReturns, "2009-03-01", "2009-03-31");
    EXPECT_EQ(box(ob, "Edit4"), "10.00");
    EXPECT_EQ(box(ob, "Edit5"), "4.00");
    EXPECT_EQ(box(ob, "Edit6"), "2.00");
    SummaryWindow* ib = open(SummaryKind::PurchaseReturns, "2009-03-01", "2009-03-31");
    EXPECT_EQ(box(ib, "Edit5"), "4.00");
    // The printed layout carries the summed quantity too.
    ib->layout()->Prepare();
    EXPECT_NE(ib->layout()->pages().back().find("4"), nullptr);
    SummaryWindow* get = open(SummaryKind::Receipts, "2009-03-01", "2009-03-31");
    EXPECT_EQ(box(get, "Edit4"), "50.00");
    EXPECT_EQ(box(get, "Edit5"), "1.50");

    SummaryWindow* put = open(SummaryKind::Payments, "2009-03-01", "2009-03-31");
    EXPECT_EQ(box(put, "Edit4"), "35.00");
    QLineEdit* code = put->filterEdit("Edit2");
    code->setText("12");
    put->filterExit(code);
    EXPECT_EQ(code->text(), "0000000012");
    put->refreshClick();
    EXPECT_EQ(box(put, "Edit4"), "30.00");
    code->setText("");
    put->filterExit(code);
    EXPECT_EQ(code->text(), "");
}

// Every run replaces the totals, the sales window's turnover row with them.
TEST_F(SummaryTest, RunReplacesTheTurnoverRowAndABadDateStoresNothing)
{
    frdm->ADOCon.exec("UPDATE totallist SET amount=77, rest=88");
    row("getdetail", "2009-03-05", {{"amount", 50.0}});
    SummaryWindow* w = open(SummaryKind::Receipts, "2009-03-01", "2009-03-31");
    EXPECT_EQ(num("SELECT amount FROM totallist"), 50.0);
    // A range without rows stores 0, from which the turnover goes on.
    w->MaskEdit1->setText("2009-04-01");
    w->MaskEdit2->setText("2009-04-30");
    w->refreshClick();
    EXPECT_EQ(frdm->ADOCon.scalar("SELECT amount FROM totallist"), QVariant(0.0));

    w->MaskEdit1->setText("2009-13-01");
    EXPECT_THROW(w->refreshClick(), ConversionError);
    EXPECT_EQ(frdm->ADOCon.scalar("SELECT ksdate FROM dateconfig").toString(), "2009-04-01 00:00:00");
    EXPECT_EQ(num("SELECT amount FROM totallist"), 0.0);
    w->MaskEdit1->setText("2009-03-0");
    EXPECT_THROW(w->refreshClick(), ConversionError);
    EXPECT_FALSE(frdm->ADOCon.inTransaction());
}

// The range of the last run opens the next window of any kind, which runs at once.
TEST_F(SummaryTest, TheRangeIsRememberedAcrossWindowsAndEveryMenuItemOpensItsWindow)
{
    row("getdetail", "2009-03-05", {{"amount", 50.0}});
    SummaryWindow* in = open(SummaryKind::Purchases, "2009-01-01", "2009-01-02");
    in->MaskEdit1->setText("2009-03-01");
    in->MaskEdit2->setText("2009-03-31");
    in->refreshClick();
    delete in;
    auto* get = new SummaryWindow(SummaryKind::Receipts, nullptr);
    get->show();
    EXPECT_EQ(get->MaskEdit1->text(), "2009-03-01");
    EXPECT_EQ(get->MaskEdit2->text(), "2009-03-31");
    EXPECT_EQ(get->totalBox("Edit4")->text(), "50.00");
    delete get;

    for (const char* item : {"N89", "N73", "N60", "N72", "N62", "N90", "N61", "N96", "N38", "N84", "N27", "N86"}) {
        ASSERT_TRUE(hasCommand(item)) << item;
        ASSERT_TRUE(runCommand(item)) << item;
        QWidget* w = QApplication::activeModalWidget();
        (void)w;
        bool found = false;
        for (QWidget* t : QApplication::topLevelWidgets())
            if (auto* r = qobject_cast<ReportWindow*>(t); r && r->isVisible()) {
                found = true;
                r->close();
            }
        EXPECT_TRUE(found) << item;
        EXPECT_TRUE(frdm->ATcompany->active());
    }
}

// A long run is read block by block as the grid needs it and whole for the
// print, and the shared row query holds its rows again once the window has
// closed, as the document windows that edit it expect.
TEST_F(SummaryTest, ALongRunIsReadOnDemandAndTheSharedRowsAreWholeAgainAfterClosing)
{
    for (int i = 0; i < 600; ++i)
        row("outdetail", QStringLiteral("2009-03-%1 10:00:00").arg(1 + i % 28, 2, 10, QLatin1Char('0')),
            {{"sl", 1.0}, {"amount", double(i)}, {"djh", "001"}});
    SummaryWindow* w = open(SummaryKind::Sales, "2009-03-01", "2009-03-31");
    Dataset* rows = frdm->AQoutdetail;
    EXPECT_TRUE(rows->fetchOnDemand());
    const QStringList shown = column(rows, "amount");
    ASSERT_EQ(shown.size(), 600);
    EXPECT_EQ(shown.first(), column(rows, "amount").first()); // read again after the last block
    holdRowsForPrint();
    EXPECT_FALSE(rows->fetchOnDemand());
    EXPECT_EQ(column(rows, "amount"), shown);

    w->refreshClick();
    EXPECT_TRUE(rows->fetchOnDemand());
    w->close();
    EXPECT_FALSE(rows->fetchOnDemand());
}
