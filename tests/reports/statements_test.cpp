#include "reports/statementwindow.h"
#include "reports/reportdata.h"
#include "common/formats.h"
#include "layouts/report.h"
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>

using namespace qm;
using namespace qm::reports;
using namespace reporttest;

namespace {
class StatementTest : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        Clock::setFixed(QDateTime(QDate(2009, 3, 15), QTime(10, 0)));
        storeRange(frdm->ADOCon, {QDate(2009, 3, 5), QDate(2009, 3, 10)});
        frdm->ADOCon.exec("UPDATE customer SET rest=0");
        frdm->ADOCon.exec("INSERT INTO customer (intno,id,name,tel,rest,remark) VALUES "
                          "('0000000002','0000000002','张三','0571-1',100,'老客户')");
        frdm->ADOCon.exec("INSERT INTO branch (intno,id,name,rest) VALUES ('0000000001','0000000012','华联批发',200)");
        frdm->ADOCon.exec("UPDATE bank SET rest=1000");
        frdm->ADOCon.exec("INSERT INTO bank (intno,id,name,rest) VALUES ('0000000002','0000000002','工商银行',0)");
    }
    void TearDown() override
    {
        delete w;
        AppFixture::TearDown();
    }
    StatementWindow* open(StatementKind k, const QString& code)
    {
        delete w;
        w = new StatementWindow(k, nullptr);
        w->show();
        w->codeEdit->setText(code);
        w->refreshClick();
        return w;
    }
    QStringList col(const char* field) { return column(statementRows(w->desc()), field); }
    StatementWindow* w = nullptr;
};
}

// Opening 100; before the range a sale of 50 less 2 (its payment ignored) and
// a receipt of 40 less 1 leave 107; the range then walks 127, 122, 125.
TEST_F(StatementTest, CustomerStatementCarriesTheBalanceIntoTheRange)
{
    const QVariantMap c = {{"customerid", "0000000002"}};
    auto with = [&c](QVariantMap m) { m.insert(c); return m; };
    row("outdetail", "2009-03-01 10:00:00", with({{"sphh", "A"}, {"amount", 50.0}, {"deduck", 2.0}, {"pay", 30.0}}));
    row("getdetail", "2009-03-02", with({{"spmc", "上期结转"}, {"amount", 148.0}, {"rest", 148.0}}));
    row("getdetail", "2009-03-02", with({{"sphh", "0000000001"}, {"amount", 40.0}, {"deduck", 1.0}}));
    row("outdetail", "2009-03-05 09:00:00", with({{"sphh", "B"}, {"spmc", "橡皮"}, {"amount", 20.0}}));
    row("outbackdetail", "2009-03-06", with({{"sphh", "B"}, {"amount", 5.0}}));
    row("outdetail", "2009-03-06", with({{"amount", 1000.0}}), State::Unposted);
    row("outdetail", "2009-03-07", with({{"amount", 1000.0}}), State::Reversed);
    row("outdetail", "2009-03-10 18:20:00", with({{"sphh", "C"}, {"amount", 3.0}}));
    row("outdetail", "2009-03-11", with({{"amount", 9.0}}));
    row("outdetail", "2009-03-06", {{"customerid", "0000000001"}, {"amount", 70.0}});

    open(StatementKind::Customer, "2");
    EXPECT_EQ(w->codeEdit->text(), "0000000002");
    EXPECT_EQ(w->nameEdit->text(), "张三");
    EXPECT_EQ(w->Memo1->toPlainText(), "老客户");
    EXPECT_EQ(col("spmc"), QStringList({"上期结余", "橡皮", "", ""}));
    EXPECT_EQ(col("rest"), QStringList({"107.00", "127.00", "122.00", "125.00"}));
    EXPECT_DOUBLE_EQ(openingBalance(w->desc(), "0000000002", 100, QDate(2009, 3, 11)), 125.0);

    // Printed: the last balance after "总计：", landscape.
    report::Layout* r = w->layout();
    r->Prepare();
    const report::Page& last = r->pages().back();
    EXPECT_NE(last.find("总计："), nullptr);
    EXPECT_NE(last.find("125.00"), nullptr);
    EXPECT_NE(last.find("备注：老客户"), nullptr);
    EXPECT_GT(r->paper().width, r->paper().length);

    // An unknown code says so (on leaving the code and again on the run) and
    // leaves the statement as it was.
    dialogs->clear();
    w->codeEdit->setText("77");
    w->refreshClick();
    EXPECT_EQ(dialogs->messages(), QStringList({"查无此客户号！", "查无此客户号！"}));
    EXPECT_EQ(num("SELECT count(*) FROM custtotal1"), 4);

    // A customer without rows: the opening row alone.
    open(StatementKind::Customer, "1");
    EXPECT_EQ(col("rest"), QStringList({"0.00", "70.00"}));
    frdm->ADOCon.exec("UPDATE customer SET rest=12.5 WHERE id='0000000002'");
    frdm->ADOCon.exec("DELETE FROM outdetail");
    frdm->ADOCon.exec("DELETE FROM outbackdetail");
    frdm->ADOCon.exec("DELETE FROM getdetail");
    open(StatementKind::Customer, "2");
    EXPECT_EQ(col("rest"), QStringList({"12.50"}));
}

// Rows of one day, bill type and code keep the order of their documents and rows.
TEST_F(StatementTest, TiesKeepDocumentAndRowOrder)
{
    for (const char* doc : {"0000000003", "0000000001", "0000000002"})
        row("outdetail", "2009-03-06", {{"customerid", "0000000002"}, {"mainintno", doc}, {"sphh", "A"}, {"remark", doc},
                                        {"amount", 1.0}});
    open(StatementKind::Customer, "2");
    EXPECT_EQ(col("remark"), QStringList({"", "0000000001", "0000000002", "0000000003"}));
    EXPECT_EQ(col("rest"), QStringList({"100.00", "101.00", "102.00", "103.00"}));
}

// Opening 200; a purchase of 100 paid 30 (its deduction not counted) and a
// payment of 50 less 2 (its pay not counted) leave 218 before the range.
TEST_F(StatementTest, SupplierStatementsByRowAndByDocument)
{
    const QVariantMap s = {{"customerid", "0000000012"}};
    auto with = [&s](QVariantMap m) { m.insert(s); return m; };
    row("indetail", "2009-03-01", with({{"spmc", "上期结转"}, {"amount", 200.0}}));
    row("indetail", "2009-03-01", with({{"sphh", "A"}, {"amount", 100.0}, {"pay", 30.0}, {"deduck", 5.0}}));
    row("putdetail", "2009-03-02", with({{"sphh", "0000000001"}, {"amount", 50.0}, {"deduck", 2.0}, {"pay", 7.0}}));
    row("inbackdetail", "2009-03-06", with({{"sphh", "A"}, {"amount", 10.0}, {"deduck", 1.0}, {"pay", 9.0}}));
    row("indetail", "2009-03-07", with({{"sphh", "B"}, {"amount", 40.0}, {"pay", 40.0}}));

    open(StatementKind::SupplierRows, "12");
    EXPECT_EQ(w->nameEdit->text(), "华联批发");
    EXPECT_EQ(col("rest"), QStringList({"218.00", "207.00", "207.00"}));
    EXPECT_EQ(col("pay"), QStringList({"0.00", "0.00", "40.00"}));

    // Headers: a payment shows its amount as paid; each row keeps the balance before it.
    row("inlist", "2009-03-01", with({{"intno", "0000000001"}, {"amount", 100.0}, {"pay", 30.0}}));
    row("putlist", "2009-03-02", with({{"intno", "0000000001"}, {"amount", 50.0}, {"deduck", 2.0}}));
    row("inbacklist", "2009-03-06", with({{"intno", "0000000001"}, {"amount", 10.0}, {"deduck", 1.0}}));
    row("putlist", "2009-03-07", with({{"intno", "0000000002"}, {"amount", 7.0}}));
    row("putlist", "2009-03-08", with({{"intno", "0000000003"}, {"amount", 700.0}}), State::Reversed);
    frdm->ADOCon.exec("UPDATE totallist SET amount=55");
    open(StatementKind::SupplierDocuments, "12");
    EXPECT_EQ(col("billname"), QStringList({"上期结余", "进货退货单", "付款单"}));
    EXPECT_EQ(col("balance"), QStringList({"218.00", "218.00", "207.00"}));
    EXPECT_EQ(col("amount"), QStringList({"0.00", "10.00", "0.00"}));
    EXPECT_EQ(col("pay"), QStringList({"0.00", "0.00", "7.00"}));
    EXPECT_EQ(col("rest"), QStringList({"218.00", "207.00", "200.00"}));
    // The sales window's turnover continues from the statement's opening row.
    EXPECT_EQ(num("SELECT count(*) FROM totallist"), 1);
    EXPECT_EQ(num("SELECT amount FROM totallist"), 0.0);
    report::Layout* r = w->layout();
    EXPECT_EQ(r, nullptr); // made at the print
}

// Cash opening 1000; before the range a sale tendered 50 with 15 change and a
// receipt of 40 (its deduction ignored) make 1075.
TEST_F(StatementTest, CashJournalBooksTheCashKeptFromTheBalanceAtTheStartOfTheRange)
{
    row("outdetail", "2009-03-01 10:00:00", {{"customerid", "0000000002"}, {"pay", 50.0}, {"rest", 15.0}, {"amount", 35.0}});
    row("getdetail", "2009-03-02", {{"sphh", "0000000001"}, {"spmc", "现金"}, {"amount", 40.0}, {"deduck", 3.0}});
    row("getdetail", "2009-03-02", {{"spmc", "上期结转"}, {"amount", 500.0}});
    row("putdetail", "2009-03-05", {{"sphh", "0000000001"}, {"spmc", "现金"}, {"amount", 25.0}});
    row("outdetail", "2009-03-06 11:00:00", {{"pay", 20.0}, {"rest", -5.0}, {"amount", 25.0}});
    row("outdetail", "2009-03-06 12:00:00", {{"pay", 0.0}, {"amount", 8.0}});
    row("getdetail", "2009-03-07", {{"sphh", "0000000002"}, {"spmc", "工商银行"}, {"amount", 99.0}});
    row("outdetail", "2009-03-08 09:00:00", {{"pay", 100.0}, {"rest", 82.0}, {"amount", 18.0}});

    delete w;
    w = new StatementWindow(StatementKind::Journal, nullptr);
    w->show(); // runs at once on account "1"
    EXPECT_EQ(w->codeEdit->text(), "0000000001");
    EXPECT_EQ(col("spmc"), QStringList({"上期结余", "现金", "现金", "现金"}));
    EXPECT_EQ(col("sphh"), QStringList({"0000000001", "0000000001", "0000000001", "0000000001"}));
    EXPECT_EQ(col("amount"), QStringList({"0.00", "0.00", "20.00", "18.00"}));
    EXPECT_EQ(col("pay"), QStringList({"0.00", "25.00", "0.00", "0.00"}));
    EXPECT_EQ(col("rest"), QStringList({"1075.00", "1050.00", "1070.00", "1088.00"}));

    // A bank account has no sales rows.
    w->codeEdit->setText("2");
    w->refreshClick();
    EXPECT_EQ(col("rest"), QStringList({"0.00", "99.00"}));
    EXPECT_EQ(w->nameEdit->text(), "工商银行");

    dialogs->clear();
    w->codeEdit->setText("9");
    w->refreshClick();
    EXPECT_EQ(dialogs->messages(), QStringList({"查无此现金银行号！", "查无此编号！"}));
    EXPECT_EQ(col("rest"), QStringList({"0.00", "99.00"}));
}
