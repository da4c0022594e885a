// Every write step of the sale and the sales return, failed at each write,
// sync and commit in turn: the file is always as before or as after the step.
#include "documents/sale.h"
#include "documents/saledata.h"
#include "support/faultvfs.h"

using namespace qm;
using namespace qm::doc;

namespace {
class SaleFaults : public SaleShop {
protected:
    QString path;
    void SetUp() override
    {
        SaleShop::SetUp();
        path = AppPaths::workingDatabase();
    }
    static HeaderInput in(const QString& customer)
    {
        HeaderInput i;
        i.partyCode = customer;
        i.partyName = QStringLiteral("李四");
        i.bankId = QStringLiteral("0000000001");
        return i;
    }
    // Sweeps a step over the file with frdm's connection closed.
    void sweep(const char* what, const std::function<void(Connection&)>& step)
    {
        frdm->ADOCon.close();
        for (bool persistent : {false, true}) {
            EXPECT_TRUE(fault::sound(fault::sweepCommand(path, step, persistent))) << what;
        }
        frdm->connectTo(path);
    }
};
}

TEST_F(SaleFaults, PostingAndReversalByBothPathsAreWholeOrNothing)
{
    const QString a = sale("0000000002", {{"1001", 3, 3.2, 80}, {"1002", 2, 11}, {"零", 1, 2}}, 1.5);
    const QString b = sale("0000000002", {{"1002", 1, 11}, {"1003", 2, 4.5}});
    sweep("sale posted", [a](Connection& c) { post(c, saleDesc(), a, in("0000000002"), false, "999"); });
    sweep("sale tendered", [b](Connection& c) { postTendered(c, b, in("0000000002"), 50, "999"); });
    post(frdm->ADOCon, saleDesc(), a, in("0000000002"), false, "999");
    sweep("sale reversed", [a](Connection& c) { reverse(c, saleDesc(), a); });
    sweep("turnover shown", [](Connection& c) { showTurnover(c, 12.5); });
}

TEST_F(SaleFaults, SalesReturnPostingAndReversalAreWholeOrNothing)
{
    const QString r = salesReturn("0000000002", {{"1001", 2, 3.2}, {"000", 1, 5}});
    sweep("return posted", [r](Connection& c) { post(c, salesReturnDesc(), r, in("0000000002"), false, "999"); });
    post(frdm->ADOCon, salesReturnDesc(), r, in("0000000002"), false, "999");
    sweep("return reversed", [r](Connection& c) { reverse(c, salesReturnDesc(), r); });
}

TEST_F(SaleFaults, CheckoutsKilledMidWayLeaveTheBooksInStep)
{
    // Sales rung up beforehand; the killed process tenders them one by one.
    QStringList sales;
    {
        Transaction t(frdm->ADOCon);
        for (int i = 0; i < 150; ++i) sales << sale("0000000002", {{"1001", 1, 3.2}, {"1002", 2, 11}, {"1003", 1, 4.5}});
        t.commit();
    }
    frdm->ADOCon.close();
    const fault::KillResult k = fault::killDuring(
        [&](int i) {
            if (i >= sales.size()) return;
            Connection c;
            c.open(path);
            postTendered(c, sales[i], in("0000000002"), 50, "999");
        },
        20, 60, 7);
    EXPECT_TRUE(k.killed);
    Connection c;
    c.open(path);
    EXPECT_EQ(c.scalar("PRAGMA integrity_check").toString(), "ok");
    const int posted = c.scalar("SELECT count(*) FROM outlist WHERE pass=1").toInt();
    EXPECT_GE(posted, std::min(k.completed, int(sales.size())));
    EXPECT_LT(posted, int(sales.size())) << "the kill came after the last checkout";
    // Whatever was posted is posted whole: rows, till, stock, customer, turnover.
    EXPECT_EQ(c.scalar("SELECT count(*) FROM outdetail WHERE pass=1").toInt(), 3 * posted);
    EXPECT_NEAR(c.scalar("SELECT balance FROM bank WHERE id='0000000001'").toDouble(), 29.7 * posted, 1e-9);
    EXPECT_DOUBLE_EQ(c.scalar("SELECT sl FROM product WHERE sphh='1002'").toDouble(), 10 - 2 * posted);
    EXPECT_NEAR(c.scalar("SELECT amount FROM customer WHERE id='0000000002'").toDouble(), 29.7 * posted, 1e-9);
    EXPECT_DOUBLE_EQ(c.scalar("SELECT balance FROM customer WHERE id='0000000002'").toDouble(), 120);
    EXPECT_NEAR(c.scalar("SELECT amount FROM config").toDouble(), 29.7 * posted, 1e-9);
    EXPECT_EQ(c.scalar("SELECT count(*) FROM outdetail WHERE pay=50").toInt(), posted);
    c.close();
    frdm->connectTo(path);
}
