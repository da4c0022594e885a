// The sale and the sales return through the engine: what posting moves by
// both paths, that reversal takes exactly that back, the stock rule, the
// checks before the write and the turnover.
#include "documents/sale.h"
#include "documents/saledata.h"
#include "support/faultvfs.h"

using namespace qm::doc;

using qm::Connection;

namespace {
QStringList texts(const QVariantList& r)
{
    QStringList out;
    for (const QVariant& v : r) out << v.toString();
    return out;
}

class SalePosting : public SaleShop {
protected:
    Connection& db() { return frdm->ADOCon; }
    static HeaderInput in(const QString& customer, const QString& bank = QStringLiteral("0000000001"))
    {
        HeaderInput i;
        i.partyCode = customer;
        i.partyName = customer == "0000000002" ? QStringLiteral("李四") : QStringLiteral("零售客户");
        i.bankId = bank;
        return i;
    }
    void postSale(const QString& no, const QString& customer, const QString& bank = QStringLiteral("0000000001"))
    {
        post(db(), saleDesc(), no, in(customer, bank), false, "999");
    }
    void postReturn(const QString& no, const QString& customer)
    {
        HeaderInput i = in(customer);
        i.djh = QStringLiteral("R-7");
        post(db(), salesReturnDesc(), no, i, false, "999");
    }
};
}

TEST_F(SalePosting, BackOfficePostingAndReversalLeaveEveryBalanceAsBefore)
{
    const auto before = balances();
    const QString no = sale("0000000002", {{"1001", 3, 3.2, 80}, {"1002", 2, 11}});
    // 3 × 3.2 × 80 / 100 + 2 × 11 = 29.68 on account: the member owes 149.68.
    postSale(no, "0000000002");
    EXPECT_NEAR(customerBalance("0000000002"), 149.68, 1e-9);
    EXPECT_NEAR(headerValue("outlist", no, "rest").toDouble(), 149.68, 1e-9);
    EXPECT_EQ(headerValue("outlist", no, "pass").toInt(), 1);
    EXPECT_EQ(headerValue("outlist", no, "billtype").toString(), ""); // only the rows carry the bill type
    EXPECT_DOUBLE_EQ(stock("1001"), 97);
    EXPECT_DOUBLE_EQ(product("1001", "sl_out_m").toDouble(), 3);
    for (const auto& r : db().rows("SELECT billtype, billname, djh, pass, customerid, billdate, bankid FROM outdetail"))
        EXPECT_EQ(texts(r), (QStringList{"01", "销售单", "999", "1", "0000000002", "2026-03-09 10:00:00", "0000000001"}));

    reverse(db(), saleDesc(), no);
    EXPECT_EQ(balances(), before);
    EXPECT_EQ(headerValue("outlist", no, "cancel").toInt(), 1);
    EXPECT_EQ(headerValue("outlist", no, "pass").toInt(), 1);
    EXPECT_EQ(db().scalar("SELECT count(*) FROM outdetail WHERE cancel=1").toInt(), 2);
}

TEST_F(SalePosting, TenderedSaleLeavesTheMemberOwingWhatHeOwedAndReversesExactly)
{
    const auto before = balances();
    const QString no = sale("0000000002", {{"1002", 3, 11}, {"1001", 2, 3.5}}, 5); // 40.00 less 5.00
    postTendered(db(), no, in("0000000002"), 50, "999");
    // The member still owes 120.00, not the change.
    EXPECT_DOUBLE_EQ(customerBalance("0000000002"), 120);
    EXPECT_DOUBLE_EQ(headerValue("outlist", no, "rest").toDouble(), 120);
    EXPECT_DOUBLE_EQ(headerValue("outlist", no, "pay").toDouble(), 35);
    const auto last = db().rows("SELECT pay, rest FROM outdetail WHERE mainintno=:p1 ORDER BY intno DESC LIMIT 1",
                                {{"p1", no}});
    EXPECT_DOUBLE_EQ(last[0][0].toDouble(), 50);
    EXPECT_DOUBLE_EQ(last[0][1].toDouble(), 15);
    // The till keeps what the sale was paid: 35.00.
    EXPECT_DOUBLE_EQ(db().scalar("SELECT balance FROM bank WHERE id='0000000001'").toDouble(), 35);
    EXPECT_DOUBLE_EQ(db().scalar("SELECT pay FROM customer WHERE id='0000000002'").toDouble(), 35);

    reverse(db(), saleDesc(), no);
    EXPECT_EQ(balances(), before);
}

// The till costs an item given away at nothing and loose goods at their price;
// other rows keep the cost they were entered with.
TEST_F(SalePosting, CheckoutCostsFreeItemsAtNothingAndLooseGoodsAtTheirPrice)
{
    const QString no = sale("0000000001", {{"1001", 1, 0}, {"1003", 2, 5, 100, "零"}, {"1002", 1, 12.5}});
    db().exec("UPDATE outdetail SET dj_w=2");
    postTendered(db(), no, in("0000000001"), 50, "999");
    const auto costs = db().rows("SELECT dj_w FROM outdetail WHERE mainintno=:p1 ORDER BY intno", {{"p1", no}});
    ASSERT_EQ(costs.size(), 3u);
    EXPECT_DOUBLE_EQ(costs[0][0].toDouble(), 0);
    EXPECT_DOUBLE_EQ(costs[1][0].toDouble(), 5);
    EXPECT_DOUBLE_EQ(costs[2][0].toDouble(), 2);
}

TEST_F(SalePosting, GoodsWithoutAProductMoveNoStockEitherWay)
{
    // "零" names no product; a product sold by the unit "零" is still stock.
    const QString no = sale("0000000001", {{"零", 1, 9.9}, {"1003", 4, 5, 100, "零"}, {"1001", 1, 3.5}});
    postSale(no, "0000000001");
    EXPECT_DOUBLE_EQ(stock("1003"), 46);
    EXPECT_DOUBLE_EQ(stock("1001"), 99);
    reverse(db(), saleDesc(), no);
    EXPECT_DOUBLE_EQ(stock("1003"), 50);
    EXPECT_DOUBLE_EQ(stock("1001"), 100);

    const auto before = balances();
    const QString back = salesReturn("0000000002", {{"000", 1, 2}, {"1002", 2, 11}});
    postReturn(back, "0000000002");
    EXPECT_DOUBLE_EQ(stock("1002"), 12);
    EXPECT_DOUBLE_EQ(product("1002", "sl_out_y").toDouble(), -2);
    reverse(db(), salesReturnDesc(), back);
    EXPECT_EQ(balances(), before);
}

TEST_F(SalePosting, SalesReturnTakesItsAmountOffTheCustomer)
{
    db().exec("UPDATE customer SET amount=500, amount_y=800 WHERE id='0000000002'");
    const QString no = salesReturn("0000000002", {{"1002", 2, 11}, {"1001", 1, 3.2, 50}});
    db().exec("UPDATE outbacklist SET rest=999 WHERE intno=:p1", {{"p1", no}}); // whatever was stored
    postReturn(no, "0000000002");
    EXPECT_DOUBLE_EQ(customerBalance("0000000002"), 120 - 23.6);
    EXPECT_DOUBLE_EQ(headerValue("outbacklist", no, "rest").toDouble(), 120 - 23.6);
    EXPECT_DOUBLE_EQ(db().scalar("SELECT amount FROM customer WHERE id='0000000002'").toDouble(), 500 - 23.6);
    for (const auto& r : db().rows("SELECT billtype, billname, djh, pass FROM outbackdetail"))
        EXPECT_EQ(texts(r), (QStringList{"05", "销售退货单", "R-7", "1"}));
}

TEST_F(SalePosting, RefusalsAndWarningsBeforeTheWrite)
{
    const QString no = sale("0000000002", {{"1002", 11, 11}, {"1001", 1, 3.5}});
    auto check = [&](const QString& customer, const QString& bank) {
        dialogs->clear();
        bool dropLast = false;
        const bool ok = checkBeforePosting(db(), saleDesc(), no, in(customer, bank), dropLast);
        return std::make_pair(ok, dialogs->messages());
    };
    const QString catchAll = QStringLiteral("该功能暂时不能执行，请重新操作！");
    EXPECT_EQ(check(" 0 ", "0000000001"), std::make_pair(false, QStringList{"没有选取客户,不能过帐！", catchAll}));
    EXPECT_EQ(check("", "0000000001").second.first(), "没有选取客户,不能过帐！");
    // Found by code, never by internal number ("0000000005" is 李四's).
    EXPECT_EQ(check("0000000005", "0000000009"),
              std::make_pair(false, QStringList{"查无此客户号！", "一二三四五六七八九十的库存数量不足！", "查无此客户号！", catchAll}));
    EXPECT_EQ(check("0000000002", "0000000009"),
              std::make_pair(true, QStringList{"一二三四五六七八九十的库存数量不足！", "查无此银行编号！"}));

    // A missing account: posted without it; the stock goes negative.
    postSale(no, "0000000002", "0000000009");
    EXPECT_DOUBLE_EQ(stock("1002"), -1);
    EXPECT_EQ(check("0000000002", "0000000001").second, (QStringList{"该单据已过帐,不能再过帐！", catchAll}));
    const auto posted = balances();
    EXPECT_THROW(postSale(no, "0000000002"), Refusal);
    EXPECT_EQ(balances(), posted);

    reverse(db(), saleDesc(), no);
    EXPECT_THROW(reverse(db(), saleDesc(), no), Refusal);

    const QString unnamed = sale("0000000002", {{"1001", 1, 3.5}});
    db().exec("UPDATE outdetail SET spmc=' ' WHERE mainintno=:p1", {{"p1", unnamed}});
    dialogs->clear();
    bool dropLast = false;
    EXPECT_FALSE(checkBeforePosting(db(), saleDesc(), unnamed, in("0000000002"), dropLast));
    EXPECT_EQ(dialogs->messages(), (QStringList{"没有商品名,不能过帐！", catchAll}));

    // A return whose reversal takes more than the stock holds warns, row 1 included.
    const QString back = salesReturn("0000000002", {{"1002", 30, 11}});
    postReturn(back, "0000000002");
    db().exec("UPDATE product SET sl=5 WHERE sphh='1002'"); // sold again meanwhile
    EXPECT_EQ(stockWarnings(db(), salesReturnDesc(), back, true), QStringList{"一二三四五六七八九十的库存数量不足！"});
}

TEST_F(SalePosting, TurnoverSinceLoginAndAtTheFrontDesk)
{
    db().exec("UPDATE totallist SET amount=100, rest=100");
    EXPECT_DOUBLE_EQ(showTurnover(db(), 40), 140);
    const QString no = sale("0000000001", {{"1001", 10, 4}});
    postSale(no, "0000000001");
    EXPECT_DOUBLE_EQ(turnoverSinceLogin(db()), 140);
    EXPECT_DOUBLE_EQ(db().scalar("SELECT rest FROM totallist").toDouble(), 140);
    // Another writer emptied the table: the turnover starts a row of its own.
    db().exec("DELETE FROM totallist");
    EXPECT_DOUBLE_EQ(showTurnover(db(), 5), 5);

    db().exec("UPDATE config SET amount=10, rest=1000, amount0=0");
    EXPECT_DOUBLE_EQ(showFrontDeskTurnover(db(), 7), 17);
    const QString counter = sale("0000000001", {{"1001", 2, 3.5}});
    postTendered(db(), counter, in("0000000001"), 10, "999");
    const auto cfg = db().rows("SELECT amount, rest FROM config");
    EXPECT_DOUBLE_EQ(cfg[0][0].toDouble(), 17);
    EXPECT_DOUBLE_EQ(cfg[0][1].toDouble(), 1007);
    EXPECT_DOUBLE_EQ(turnoverSinceLogin(db()), 7); // the counter's sales count since login too
    // A totals row without an amount (an empty summary, the stock value) counts as 0.
    db().exec("UPDATE totallist SET amount=NULL, rest=NULL");
    postSale(sale("0000000001", {{"1001", 1, 7}}), "0000000001");
    EXPECT_DOUBLE_EQ(turnoverSinceLogin(db()), 7);
    postSale(sale("0000000001", {{"1001", 1, 11}}), "0000000001");
    EXPECT_DOUBLE_EQ(turnoverSinceLogin(db()), 18);
}

TEST_F(SalePosting, RecalculatingAnUnchangedSaleWritesNothing)
{
    const QString no = sale("0000000002", {{"1001", 3, 3.2, 80}, {"1002", 2, 11}});
    HeaderInput i = in("0000000002");
    i.contact = QStringLiteral("李先生");
    i.remark = QStringLiteral("东街3号");
    recalc(db(), saleDesc(), no, i);
    showTurnover(db(), 31.68);
    qm::fault::setTarget(qm::AppPaths::workingDatabase());
    qm::fault::resetCounts();
    recalc(db(), saleDesc(), no, i);
    showTurnover(db(), 31.68);
    EXPECT_EQ(qm::fault::counts().writes, 0);
    EXPECT_EQ(qm::fault::counts().syncs, 0);
    // A changed quantity is written.
    db().exec("UPDATE outdetail SET sl=4 WHERE sphh='1001'");
    qm::fault::resetCounts();
    EXPECT_NEAR(recalc(db(), saleDesc(), no, i).amount, 4 * 3.2 * 0.8 + 22, 1e-9);
    EXPECT_GT(qm::fault::counts().writes, 0);
    qm::fault::setTarget({});
}

TEST_F(SalePosting, APickedDateKeepsTheSaleTimeOfDay)
{
    const QString no = sale("0000000002", {{"1001", 1, 3.2}});
    HeaderInput i = in("0000000002");
    i.date = QDate(2026, 3, 1);
    recalc(db(), saleDesc(), no, i);
    EXPECT_EQ(headerValue("outlist", no, "billdate").toString(), "2026-03-01 10:00:00");
    post(db(), saleDesc(), no, i, false, "999");
    EXPECT_EQ(db().scalar("SELECT billdate FROM outdetail WHERE mainintno=:p1", {{"p1", no}}).toString(), "2026-03-01 10:00:00");
}
