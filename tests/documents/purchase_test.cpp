// Purchases and purchase returns through the engine: the numbers they move,
// their refusals in order, and their state rules.
#include "documents/docdata.h"
#include "documents/purchase.h"
#include "data/numbering.h"

using namespace qm;
using namespace qm::doc;
using namespace doctest;

namespace {
class PurchaseTest : public AppFixture {
protected:
    const DocDesc& pur = purchaseDesc();
    const DocDesc& ret = purchaseReturnDesc();
    QString p1, p2;

    void SetUp() override
    {
        AppFixture::SetUp();
        supplier("0000000007", QStringLiteral("供应商甲"), 200);
        db().exec("UPDATE bank SET balance=1000 WHERE id='0000000001'");
        p1 = product("101", QStringLiteral("铅笔"), 10, 5, 4);
        p2 = product("102", QStringLiteral("橡皮"), 0, 0, 2, "6901234567890");
    }

    // A purchase from supplier 7 of 10 pencils at 8 (paid 30) and 5 erasers at 10.
    QString twoRowPurchase()
    {
        const QString doc = newDocument(db(), pur);
        fillLast(pur, doc, "101", 10, 8, 30);
        addRow(db(), pur, doc);
        fillLast(pur, doc, "6901234567890", 5, 10);
        return doc;
    }
};
}

TEST_F(PurchaseTest, NewDocumentsNumberHeadersAndRowsOverTheWholeTable)
{
    EXPECT_EQ(newDocument(db(), pur), "0000000001");
    const auto rows = readRows(db(), pur, "0000000001");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].intno, "0000000001");
    EXPECT_EQ(rows[0].spmc, QStringLiteral("上期结转"));
    EXPECT_EQ(rows[1].spmc, "");
    EXPECT_EQ(str("SELECT bankid||bankname FROM inlist"), QStringLiteral("0000000001现金"));
    // Rows run over all documents: the next carried-forward row is 3.
    EXPECT_EQ(newDocument(db(), pur), "0000000002");
    EXPECT_EQ(readRows(db(), pur, "0000000002").front().intno, "0000000003");
    // The purchase return numbers its own tables, and has no account.
    EXPECT_EQ(newDocument(db(), ret), "0000000001");
    EXPECT_EQ(str("SELECT coalesce(bankid,'') FROM inbacklist"), "");
}

TEST_F(PurchaseTest, RecalculationKeepsTheRunningBalanceAndSummary)
{
    const QString doc = twoRowPurchase();
    addRow(db(), pur, doc); // a blank row at the end adds no name
    const Header h = recalc(db(), pur, doc, input("7"));
    EXPECT_EQ(h.customerid, "0000000007");
    EXPECT_DOUBLE_EQ(h.balance, 200);
    EXPECT_DOUBLE_EQ(h.amount, 130);
    EXPECT_DOUBLE_EQ(h.pay, 30);
    EXPECT_DOUBLE_EQ(h.rest, 300);
    EXPECT_DOUBLE_EQ(h.hjsl, 15);
    EXPECT_EQ(h.remark, QStringLiteral("购进商品:铅笔、橡皮"));
    const auto rows = readRows(db(), pur, doc);
    EXPECT_DOUBLE_EQ(rows[0].rest, 200);
    EXPECT_DOUBLE_EQ(rows[1].rest, 250);
    EXPECT_DOUBLE_EQ(rows[2].rest, 300);
    // The barcode path copies the pinyin initials, the code path does not.
    EXPECT_EQ(rows[1].remark, "");
    EXPECT_EQ(rows[2].remark, "PY");
}

TEST_F(PurchaseTest, PostingMovesSupplierAccountAndProducts)
{
    const QString doc = twoRowPurchase();
    db().exec("UPDATE branch SET amount=NULL, pay=NULL WHERE id='0000000007'"); // NULL counters count as 0
    ASSERT_TRUE(postBill(db(), pur, doc, input("7"), "999"));
    EXPECT_EQ(dialogs->messages(), QStringList{QStringLiteral("单据确实要过帐吗?")});
    EXPECT_DOUBLE_EQ(num("SELECT balance FROM branch WHERE id='0000000007'"), 300);
    EXPECT_DOUBLE_EQ(num("SELECT amount FROM branch WHERE id='0000000007'"), 130);
    EXPECT_DOUBLE_EQ(num("SELECT amount_y FROM branch WHERE id='0000000007'"), 130);
    EXPECT_DOUBLE_EQ(num("SELECT pay FROM branch WHERE id='0000000007'"), 30);
    EXPECT_DOUBLE_EQ(num("SELECT balance FROM bank WHERE id='0000000001'"), 970);
    EXPECT_DOUBLE_EQ(num("SELECT pay_y FROM bank WHERE id='0000000001'"), 30);
    // Stock 10 at 5, bought 10 at 8: 20 at 6.5.
    EXPECT_DOUBLE_EQ(productValue(p1, "sl"), 20);
    EXPECT_DOUBLE_EQ(productValue(p1, "sl_in_m"), 10);
    EXPECT_DOUBLE_EQ(productValue(p1, "avdj"), 6.5);
    EXPECT_DOUBLE_EQ(productValue(p1, "dj_n"), 8);
    EXPECT_EQ(str("SELECT branchname FROM product WHERE intno=:i", {{"i", p1}}), QStringLiteral("供应商甲"));
    // Nothing held before: the price paid.
    EXPECT_DOUBLE_EQ(productValue(p2, "avdj"), 10);
    // Header and every row carry the bill type; the carried-forward row too.
    EXPECT_EQ(str("SELECT billtype||billname||pass FROM inlist"), QStringLiteral("02进货单1"));
    EXPECT_EQ(num("SELECT count(*) FROM indetail WHERE billtype='02' AND pass=1 AND customerid='0000000007' "
                  "AND bankid='0000000001' AND billdate<>''"),
              3);

    // Reversal adjusts by the document's amounts and restores stock and average.
    db().exec("UPDATE branch SET balance=balance+50 WHERE id='0000000007'"); // a payment meanwhile
    ASSERT_TRUE(reverseBill(db(), pur, doc));
    EXPECT_DOUBLE_EQ(num("SELECT balance FROM branch WHERE id='0000000007'"), 250);
    EXPECT_DOUBLE_EQ(num("SELECT amount FROM branch WHERE id='0000000007'"), 0);
    EXPECT_DOUBLE_EQ(num("SELECT balance FROM bank WHERE id='0000000001'"), 1000);
    EXPECT_DOUBLE_EQ(productValue(p1, "sl"), 10);
    EXPECT_DOUBLE_EQ(productValue(p1, "avdj"), 5);
    EXPECT_DOUBLE_EQ(productValue(p1, "dj_n"), 8); // latest price stays
    EXPECT_EQ(str("SELECT pass||cancel FROM inlist"), "11");
    EXPECT_EQ(num("SELECT count(*) FROM indetail WHERE cancel=1"), 3);
}

TEST_F(PurchaseTest, AverageCostStaysSoundWithZeroAndNegativeStock)
{
    // Buying: nothing or less held gives the price; a negative quantity that
    // would leave the range keeps the old average.
    EXPECT_DOUBLE_EQ(averageAfterPurchase(5, -2, 4, 3), 3);
    EXPECT_DOUBLE_EQ(averageAfterPurchase(5, -4.9, 5, 3), 3);
    EXPECT_DOUBLE_EQ(averageAfterPurchase(5, 0, 4, 3), 3);
    EXPECT_DOUBLE_EQ(averageAfterPurchase(5, 10, -4, 3), 5);
    EXPECT_DOUBLE_EQ(averageAfterPurchase(5, 4, -4, 3), 5);
    EXPECT_DOUBLE_EQ(averageAfterPurchase(5, 10, 10, 8), 6.5);
    // Reversing: nothing left, or a result that cannot have led to the average, keeps it.
    EXPECT_DOUBLE_EQ(averageAfterReversal(6.5, 20, 10, 8), 5);
    EXPECT_DOUBLE_EQ(averageAfterReversal(6.5, 10, 10, 8), 6.5);
    EXPECT_DOUBLE_EQ(averageAfterReversal(6.5, 5, 10, 8), 6.5);
    EXPECT_DOUBLE_EQ(averageAfterReversal(2, 20, 10, 8), 2); // would be negative
    EXPECT_DOUBLE_EQ(averageAfterReversal(5, 10, -4, 3), 5);
}

TEST_F(PurchaseTest, PostingRefusalsComeInOrderAndChangeNothing)
{
    const QString doc = twoRowPurchase();

    // Cancel stops silently.
    dialogs->answers = {Answer::Cancel};
    EXPECT_FALSE(postBill(db(), pur, doc, input("7"), "999"));
    EXPECT_EQ(dialogs->messages(), QStringList{QStringLiteral("单据确实要过帐吗?")});

    // No supplier chosen.
    const QStringList before = snapshot();
    dialogs->clear();
    EXPECT_FALSE(postBill(db(), pur, doc, input("0"), "999"));
    EXPECT_EQ(dialogs->messages(), (QStringList{QStringLiteral("单据确实要过帐吗?"), QStringLiteral("没有选取供应商,不能过帐！"),
                                                QStringLiteral("该功能暂时不能执行，请重新操作！")}));
    EXPECT_EQ(snapshot(), before);

    // A supplier that does not exist.
    dialogs->clear();
    EXPECT_FALSE(postBill(db(), pur, doc, input("99"), "999"));
    EXPECT_TRUE(dialogs->messages().contains(QStringLiteral("查无此供应商号！")));
    EXPECT_EQ(dialogs->messages().last(), QStringLiteral("该功能暂时不能执行，请重新操作！"));
    EXPECT_EQ(str("SELECT pass FROM inlist"), "0");

    // Money paid through a missing account is refused before anything moves.
    dialogs->clear();
    const double supplierBefore = num("SELECT balance FROM branch WHERE id='0000000007'");
    EXPECT_FALSE(postBill(db(), pur, doc, input("7", "0000000042"), "999"));
    EXPECT_EQ(dialogs->messages().mid(1),
              (QStringList{QStringLiteral("查无此银行编号！"), QStringLiteral("该功能暂时不能执行，请重新操作！")}));
    EXPECT_DOUBLE_EQ(num("SELECT balance FROM branch WHERE id='0000000007'"), supplierBefore);
    EXPECT_DOUBLE_EQ(productValue(p1, "sl"), 10);
    // The engine refuses it by itself, whoever calls it, and writes nothing.
    const QStringList stored = snapshot();
    EXPECT_THROW(post(db(), pur, doc, input("7", "0000000042"), false, "999"), Refusal);
    EXPECT_EQ(snapshot(), stored);

    // Without money paid the missing account is only a warning.
    db().exec("UPDATE indetail SET pay=0");
    dialogs->clear();
    EXPECT_TRUE(postBill(db(), pur, doc, input("7", "0000000042"), "999"));
    EXPECT_EQ(dialogs->messages().mid(1), QStringList{QStringLiteral("查无此银行编号！")});

    // Posted once: a second posting, and voiding, are refused.
    dialogs->clear();
    EXPECT_FALSE(postBill(db(), pur, doc, input("7"), "999"));
    EXPECT_EQ(dialogs->messages().mid(1),
              (QStringList{QStringLiteral("该单据已过帐,不能再过帐！"), QStringLiteral("该功能暂时不能执行，请重新操作！")}));
    dialogs->clear();
    EXPECT_FALSE(voidBill(db(), pur, doc));
    EXPECT_EQ(dialogs->messages().mid(1),
              (QStringList{QStringLiteral("该单据已过帐,不能修改！"), QStringLiteral("该功能暂时不能执行，请重新操作！")}));
    EXPECT_EQ(num("SELECT count(*) FROM indetail"), 3);
}

TEST_F(PurchaseTest, EmptyRowsAtPosting)
{
    const QString doc = twoRowPurchase();
    addRow(db(), pur, doc);
    // Keeping the empty last row leaves a row without a name.
    dialogs->answers = {Answer::Ok, Answer::Cancel};
    EXPECT_FALSE(postBill(db(), pur, doc, input("7"), "999"));
    EXPECT_EQ(dialogs->messages().mid(2),
              (QStringList{QStringLiteral("没有商品名,不能过帐！"), QStringLiteral("该功能暂时不能执行，请重新操作！")}));
    // Agreeing to delete it posts the rest.
    dialogs->clear();
    EXPECT_TRUE(postBill(db(), pur, doc, input("7"), "999"));
    EXPECT_EQ(dialogs->messages(), (QStringList{QStringLiteral("单据确实要过帐吗?"), QStringLiteral("确实要删除当前记录吗?")}));
    EXPECT_EQ(num("SELECT count(*) FROM indetail"), 3);
}

TEST_F(PurchaseTest, ReversalRefusalsAndStockWarnings)
{
    const QString doc = twoRowPurchase();
    ASSERT_TRUE(postBill(db(), pur, doc, input("7"), "999"));
    // Stock sold meanwhile: a warning per row, and the reversal goes on.
    db().exec("UPDATE product SET sl=3");
    dialogs->clear();
    EXPECT_TRUE(reverseBill(db(), pur, doc));
    EXPECT_EQ(dialogs->messages().mid(1),
              (QStringList{QStringLiteral("铅笔的库存数量不足！"), QStringLiteral("橡皮的库存数量不足！")}));
    dialogs->clear();
    EXPECT_FALSE(reverseBill(db(), pur, doc));
    EXPECT_EQ(dialogs->messages().mid(1), QStringList{QStringLiteral("该单据已冲数,不能再冲数！")});

    // The supplier is taken from the stored header; a vanished one stops the reversal.
    const QString doc2 = twoRowPurchase();
    ASSERT_TRUE(postBill(db(), pur, doc2, input("7"), "999"));
    db().exec("UPDATE product SET sl=100");
    db().exec("DELETE FROM branch");
    const QStringList before = snapshot();
    dialogs->clear();
    EXPECT_FALSE(reverseBill(db(), pur, doc2));
    EXPECT_EQ(dialogs->messages().mid(1), QStringList{QStringLiteral("查无此供应商号,不能冲数！")});
    EXPECT_EQ(snapshot(), before);
}

TEST_F(PurchaseTest, PurchaseReturnPostsAndReverses)
{
    supplier("0000000008", QStringLiteral("供应商乙"), 500);
    const QString doc = newDocument(db(), ret);
    fillLast(ret, doc, "101", 4, 15);
    addRow(db(), ret, doc);
    fillLast(ret, doc, "102", 2, 20);
    const Header h = recalc(db(), ret, doc, input("8"));
    EXPECT_DOUBLE_EQ(h.rest, 400);
    EXPECT_EQ(h.remark, QStringLiteral("退货商品:铅笔、橡皮"));
    const auto rows = readRows(db(), ret, doc);
    EXPECT_DOUBLE_EQ(rows[1].rest, 440);
    EXPECT_DOUBLE_EQ(rows[2].rest, 400);

    // Returning more than held warns and still posts.
    dialogs->clear();
    ASSERT_TRUE(postBill(db(), ret, doc, input("8"), "999"));
    EXPECT_EQ(dialogs->messages().mid(1), QStringList{QStringLiteral("橡皮的库存数量不足！")});
    EXPECT_DOUBLE_EQ(num("SELECT balance FROM branch WHERE id='0000000008'"), 400);
    EXPECT_DOUBLE_EQ(num("SELECT amount_y FROM branch WHERE id='0000000008'"), -100);
    EXPECT_DOUBLE_EQ(productValue(p1, "sl"), 6);
    EXPECT_DOUBLE_EQ(productValue(p2, "sl"), -2);
    EXPECT_DOUBLE_EQ(productValue(p1, "avdj"), 5); // the return leaves the cost alone
    EXPECT_EQ(str("SELECT billtype||billname FROM inbacklist"), QStringLiteral("06进货退货单"));
    EXPECT_DOUBLE_EQ(num("SELECT balance FROM bank WHERE id='0000000001'"), 1000);

    ASSERT_TRUE(reverseBill(db(), ret, doc));
    EXPECT_DOUBLE_EQ(num("SELECT balance FROM branch WHERE id='0000000008'"), 500);
    EXPECT_DOUBLE_EQ(num("SELECT amount FROM branch WHERE id='0000000008'"), 0);
    EXPECT_DOUBLE_EQ(productValue(p1, "sl"), 10);
    EXPECT_DOUBLE_EQ(productValue(p2, "sl"), 0);
}

TEST_F(PurchaseTest, HistoryNumberCopiesTheProductRowsOfAnEarlierPurchase)
{
    const QString old = twoRowPurchase();
    const QString doc = newDocument(db(), pur);
    // The carried-forward row alone is no place to copy into.
    db().exec("DELETE FROM indetail WHERE mainintno=:n AND spmc=''", {{"n", doc}});
    try {
        copyHistory(db(), pur, doc, old);
        FAIL();
    } catch (const Refusal& r) {
        EXPECT_EQ(r.message(), QStringLiteral("明细表中的没有记录,请先按新增！"));
    }
    addRow(db(), pur, doc);
    try {
        copyHistory(db(), pur, doc, "12");
        FAIL();
    } catch (const Refusal& r) {
        EXPECT_EQ(r.message(), QStringLiteral("查无该历史单号！"));
    }
    copyHistory(db(), pur, doc, old);
    const auto rows = readRows(db(), pur, doc);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1].spmc, QStringLiteral("铅笔"));
    EXPECT_DOUBLE_EQ(rows[1].sl, 10);
    EXPECT_DOUBLE_EQ(rows[1].pay, 30);
    EXPECT_EQ(rows[2].spmc, QStringLiteral("橡皮"));
    EXPECT_DOUBLE_EQ(rows[2].dj_w, 10);
    // Nothing is recalculated until 刷新.
    EXPECT_DOUBLE_EQ(rows[2].amount, 0);
}
