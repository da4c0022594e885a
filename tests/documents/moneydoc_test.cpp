// Receipts and payments through the engine: balances and counters against
// hand-computed numbers, the refusals, the carried-forward row, and every
// write step under injected faults.
#include "documents/docdata.h"
#include "documents/docwindows.h"
#include "documents/moneydoc.h"
#include "documents/tfrdoclist.h"
#include "layouts/tfrrindetail.h"
#include "shell/commands.h"
#include "support/faultvfs.h"
#include <QDir>
#include <QLineEdit>
#include <QTableView>
#include <QTest>

using namespace qm;
using namespace qm::doc;
using namespace doctest;

namespace {
class MoneyDocTest : public AppFixture {
protected:
    const DocDesc& rec = receiptDesc();
    const DocDesc& pay = paymentDesc();

    void SetUp() override
    {
        AppFixture::SetUp();
        customer("0000000005", QStringLiteral("王芳"), 500);
        supplier("0000000007", QStringLiteral("甲商贸"), 1000);
        db().exec("UPDATE bank SET balance=100, amount=0, amount_y=0, pay=0, pay_y=0 WHERE id='0000000001'");
        account("0000000002", QStringLiteral("工商银行"), 5000);
    }

    // Sets the last row's account, money and deduction as the grid and the account list would.
    static void fillLast(const DocDesc& d, const QString& doc, const QString& account, double amount, double deduck)
    {
        const auto rows = readRows(db(), d, doc);
        db().exec(QStringLiteral("UPDATE %1 SET sphh=:a, spmc=(SELECT name FROM bank WHERE id=:a), amount=:m, deduck=:d "
                                 "WHERE intno=:i")
                      .arg(d.detailTable),
                  {{"a", account}, {"m", amount}, {"d", deduck}, {"i", rows.back().intno}});
    }

    static double bank(const QString& id, const QString& column)
    {
        return num(QStringLiteral("SELECT %1 FROM bank WHERE id=:i").arg(column), {{"i", id}});
    }
    static double party(const char* table, const QString& column)
    {
        return num(QStringLiteral("SELECT %1 FROM %2").arg(column, table) +
                   (QString(table) == "customer" ? " WHERE id='0000000005'" : " WHERE id='0000000007'"));
    }

    // A picture of the window when QM_SHOTS names a folder.
    static void shoot(QWidget* w, const QString& name)
    {
        const QString dir = qEnvironmentVariable("QM_SHOTS");
        if (dir.isEmpty()) return;
        QDir().mkpath(dir);
        w->resize(900, 520);
        w->grab().save(dir + "/" + name + ".png");
    }

    QString receipt200()
    {
        const QString doc = newDocument(db(), rec);
        fillLast(rec, doc, "0000000001", 200, 10);
        return doc;
    }
};
}

TEST_F(MoneyDocTest, ReceiptPostsAndReversesOnCustomerAndAccount)
{
    const QString doc = receipt200();
    auto rows = readRows(db(), rec, doc);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].spmc, QStringLiteral("上期结转"));
    EXPECT_EQ(rows[1].sphh, "0000000001");

    const Header h = recalc(db(), rec, doc, input("5"));
    EXPECT_DOUBLE_EQ(h.balance, 500);
    EXPECT_DOUBLE_EQ(h.amount, 200);
    EXPECT_DOUBLE_EQ(h.deduck, 10);
    EXPECT_DOUBLE_EQ(h.rest, 290);
    rows = readRows(db(), rec, doc);
    EXPECT_DOUBLE_EQ(rows[0].amount, 500);
    EXPECT_DOUBLE_EQ(rows[0].rest, 500);
    EXPECT_DOUBLE_EQ(rows[1].rest, 290);

    db().exec("UPDATE customer SET pay=NULL, deduck=5 WHERE id='0000000005'"); // a NULL counter counts as 0
    ASSERT_TRUE(postBill(db(), rec, doc, input("5"), "999"));
    EXPECT_DOUBLE_EQ(party("customer", "balance"), 290);
    EXPECT_DOUBLE_EQ(party("customer", "pay"), 200);
    EXPECT_DOUBLE_EQ(party("customer", "pay_y"), 200);
    EXPECT_DOUBLE_EQ(party("customer", "deduck"), 15);
    EXPECT_DOUBLE_EQ(party("customer", "deduck_y"), 10);
    EXPECT_DOUBLE_EQ(party("customer", "amount"), 0); // sales counters stay
    EXPECT_DOUBLE_EQ(bank("0000000001", "balance"), 300);
    EXPECT_DOUBLE_EQ(bank("0000000001", "amount"), 200);
    EXPECT_DOUBLE_EQ(bank("0000000001", "amount_y"), 200);
    EXPECT_DOUBLE_EQ(bank("0000000001", "pay"), 0);
    // Every row, the carried-forward one included, carries the bill; the header does not.
    EXPECT_EQ(str("SELECT group_concat(billtype||billname||pass||customerid, ';') FROM getdetail"),
              QStringLiteral("13收款单10000000005;13收款单10000000005"));
    EXPECT_EQ(str("SELECT coalesce(billtype,'')||pass FROM getlist"), "1");

    // A receipt of the same customer meanwhile at the front desk is not lost by reversal.
    db().exec("UPDATE customer SET balance=balance-40 WHERE id='0000000005'");
    ASSERT_TRUE(reverseBill(db(), rec, doc));
    EXPECT_DOUBLE_EQ(party("customer", "balance"), 460); // 250 + 200 + 10
    EXPECT_DOUBLE_EQ(party("customer", "pay"), 0);
    EXPECT_DOUBLE_EQ(party("customer", "deduck"), 5);
    EXPECT_DOUBLE_EQ(bank("0000000001", "balance"), 100);
    EXPECT_DOUBLE_EQ(bank("0000000001", "amount"), 0);
    EXPECT_EQ(str("SELECT group_concat(cancel) FROM getdetail"), "1,1");

    // Neither can happen twice.
    dialogs->clear();
    EXPECT_FALSE(reverseBill(db(), rec, doc));
    EXPECT_EQ(dialogs->messages().last(), QStringLiteral("该单据已冲数,不能再冲数！"));
    dialogs->clear();
    EXPECT_FALSE(postBill(db(), rec, doc, input("5"), "999"));
    EXPECT_EQ(dialogs->messages(),
              (QStringList{QStringLiteral("单据确实要过帐吗?"), QStringLiteral("该单据已过帐,不能再过帐！"),
                           QStringLiteral("该功能暂时不能执行，请重新操作！")}));
}

TEST_F(MoneyDocTest, PaymentNamesItsAccountsAndPaysOutOfThem)
{
    const QString doc = newDocument(db(), pay);
    fillLast(pay, doc, "0000000001", 300, 0);
    addRow(db(), pay, doc);
    fillLast(pay, doc, "0000000002", 200, 50);
    const Header h = recalc(db(), pay, doc, input("7"));
    EXPECT_EQ(h.remark, QStringLiteral("付款现金银行:现金、工商银行"));
    EXPECT_DOUBLE_EQ(h.rest, 450);
    EXPECT_EQ(str("SELECT addr FROM putlist"), QStringLiteral("路1号"));
    const auto rows = readRows(db(), pay, doc);
    EXPECT_DOUBLE_EQ(rows[1].rest, 700);
    EXPECT_DOUBLE_EQ(rows[2].rest, 450);

    ASSERT_TRUE(postBill(db(), pay, doc, input("7"), "999"));
    EXPECT_DOUBLE_EQ(party("branch", "balance"), 450);
    EXPECT_DOUBLE_EQ(party("branch", "pay"), 500);
    EXPECT_DOUBLE_EQ(party("branch", "deduck"), 50);
    EXPECT_DOUBLE_EQ(bank("0000000001", "balance"), -200);
    EXPECT_DOUBLE_EQ(bank("0000000001", "pay"), 300);
    EXPECT_DOUBLE_EQ(bank("0000000002", "balance"), 4800);
    EXPECT_DOUBLE_EQ(bank("0000000002", "pay_y"), 200);
    EXPECT_EQ(str("SELECT billtype||billname FROM putlist"), QStringLiteral("14付款单"));

    ASSERT_TRUE(reverseBill(db(), pay, doc));
    EXPECT_DOUBLE_EQ(party("branch", "balance"), 1000);
    EXPECT_DOUBLE_EQ(bank("0000000001", "balance"), 100);
    EXPECT_DOUBLE_EQ(bank("0000000002", "balance"), 5000);
    EXPECT_DOUBLE_EQ(bank("0000000002", "pay"), 0);
}

TEST_F(MoneyDocTest, RefusalsLeaveEverythingAsItWas)
{
    // An account deleted after it was chosen: refused before anything is written.
    const QString doc = newDocument(db(), pay);
    fillLast(pay, doc, "0000000002", 300, 0);
    recalc(db(), pay, doc, input("7"));
    db().exec("DELETE FROM bank WHERE id='0000000002'");
    QStringList before = snapshot();
    EXPECT_FALSE(postBill(db(), pay, doc, input("7"), "999"));
    EXPECT_EQ(dialogs->messages(),
              (QStringList{QStringLiteral("单据确实要过帐吗?"), QStringLiteral("查无此银行编号！"),
                           QStringLiteral("该功能暂时不能执行，请重新操作！")}));
    EXPECT_EQ(snapshot(), before);

    // Nobody chosen, or a supplier that is not there.
    dialogs->clear();
    EXPECT_FALSE(postBill(db(), pay, doc, input("0"), "999"));
    EXPECT_EQ(dialogs->messages().at(1), QStringLiteral("没有选取供应商,不能过帐！"));
    dialogs->clear();
    const QString r = receipt200();
    EXPECT_FALSE(postBill(db(), rec, r, input("99"), "999"));
    EXPECT_EQ(dialogs->messages().at(1), QStringLiteral("查无此客户号！"));

    // Posted, then its account goes: reversal is refused too, and changes nothing.
    account("0000000002", QStringLiteral("工商银行"), 5000);
    ASSERT_TRUE(postBill(db(), pay, doc, input("7"), "999"));
    db().exec("DELETE FROM bank WHERE id='0000000002'");
    dialogs->clear();
    before = snapshot();
    EXPECT_FALSE(reverseBill(db(), pay, doc));
    EXPECT_EQ(dialogs->messages().last(), QStringLiteral("查无此银行编号！"));
    EXPECT_EQ(snapshot(), before);
}

TEST_F(MoneyDocTest, CarriedForwardRowIsFirstByNumberAndCarriesTheBalance)
{
    // Rows stored out of order (another program wrote the account row first):
    // the carried-forward row is the lowest number, whatever the table order.
    db().exec("INSERT INTO getlist (intno, billdate, pass) VALUES ('0000000001', '2026-11-30 00:00:00', 0)");
    db().exec("INSERT INTO getdetail (intno, mainintno, sphh, spmc, amount, deduck) "
              "VALUES ('0000000002', '0000000001', '0000000001', '现金', 100, 0)");
    db().exec(QStringLiteral("INSERT INTO getdetail (intno, mainintno, spmc) VALUES ('0000000001', '0000000001', '上期结转')"));
    const Header h = recalc(db(), rec, "0000000001", input("5"));
    EXPECT_DOUBLE_EQ(h.balance, 500);
    EXPECT_DOUBLE_EQ(h.rest, 400);
    EXPECT_DOUBLE_EQ(num("SELECT rest FROM getdetail WHERE intno='0000000001'"), 500);

    // A document with only its carried-forward row moves nothing.
    const QString only = newDocument(db(), rec);
    deleteRow(db(), rec, readRows(db(), rec, only).back().intno);
    const Header e = recalc(db(), rec, only, input("5"));
    EXPECT_DOUBLE_EQ(e.amount, 0);
    EXPECT_DOUBLE_EQ(e.rest, 500);
    ASSERT_TRUE(postBill(db(), rec, only, input("5"), "999"));
    EXPECT_DOUBLE_EQ(party("customer", "balance"), 500);
    EXPECT_DOUBLE_EQ(bank("0000000001", "balance"), 100);
}

TEST_F(MoneyDocTest, ReceiptWindowStartsWithTheCashRowAndTheCustomersAddress)
{
    frmain->docMode = "T";
    auto* w = qobject_cast<EntryWindow*>(openEntryWindow(DocKind::Receipt, nullptr));
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("收款明细单"));
    Dataset* rows = frdm->AQoutdetail;
    ASSERT_EQ(rows->recordCount(), 2);
    EXPECT_EQ(rows->valueAt(1, rows->fieldIndex("spmc")).toString(), QStringLiteral("现金"));
    w->box("Edit2")->setText("5");
    w->Edit2Exit();
    EXPECT_EQ(w->box("Edit2")->text(), "0000000005");
    EXPECT_EQ(w->box("Edit3")->text(), QStringLiteral("王芳"));
    EXPECT_EQ(w->box("Edit9")->text(), QStringLiteral("街2号"));
    // Two accounts, then 刷新: the running balance falls row by row.
    fillLast(rec, w->docIntno(), "0000000001", 200, 10);
    w->ToolButton1Click();
    fillLast(rec, w->docIntno(), "0000000002", 150, 0);
    w->ToolButton3Click();
    EXPECT_EQ(w->box("Edit8")->text(), "140.00");
    EXPECT_EQ(w->box("Edit5")->text(), "350.00");
    EXPECT_TRUE(w->box("Edit12")->isHidden());
    // Enter in 客户号 goes to the money of the next row.
    w->DBGrid1->setCurrentIndex(w->DBGrid1->model()->index(0, rows->fieldIndex("spmc")));
    QTest::keyClick(w->box("Edit2"), Qt::Key_Return);
    EXPECT_EQ(w->DBGrid1->currentIndex().row(), 1);
    EXPECT_EQ(w->DBGrid1->currentIndex().column(), rows->fieldIndex("amount"));
    shoot(w, "receipt-entry");
    const QString doc = w->docIntno();
    w->close();

    // Posted, it opens read-only in its posted view.
    HeaderInput in = input("5");
    in.partyName = QStringLiteral("王芳");
    in.remark = QStringLiteral("街2号");
    ASSERT_TRUE(postBill(db(), rec, doc, in, "999"));
    frdm->AQoutlist->close();
    frdm->AQoutlist->setSql("SELECT * from getlist");
    frdm->AQoutlist->open();
    auto* v = qobject_cast<PostedView*>(openPostedView(DocKind::Receipt, nullptr));
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->windowTitle(), QStringLiteral("收款明细单(已过帐)"));
    EXPECT_EQ(v->box("Edit8")->text(), "140.00");
    EXPECT_EQ(frdm->AQoutdetail->recordCount(), 3);
    shoot(v, "receipt-posted");
    v->close();
}

// An unposted receipt or payment opens recalculated from the partner's balance
// as it stands now; its carried-forward row takes no typing in any column.
TEST_F(MoneyDocTest, ExistingDocumentOpensAtTheCurrentBalanceWithItsCarriedRowReadOnly)
{
    for (const DocDesc* d : {&rec, &pay}) {
        const bool receipt = d == &rec;
        SCOPED_TRACE(d->billName.toStdString());
        const QString code = receipt ? QStringLiteral("0000000005") : QStringLiteral("0000000007");
        const QString doc = newDocument(db(), *d);
        fillLast(*d, doc, "0000000001", 200, 10);
        recalc(db(), *d, doc, input(code));
        db().exec(QStringLiteral("UPDATE %1 SET balance=balance+300").arg(d->party.table));
        frmain->docMode = "F";
        frmain->docIntno = doc;
        auto* w = qobject_cast<EntryWindow*>(openEntryWindow(d->kind, nullptr));
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->box("Edit7")->text(), receipt ? "800.00" : "1300.00");
        EXPECT_EQ(w->box("Edit8")->text(), receipt ? "590.00" : "1090.00");
        Dataset* rows = frdm->AQoutdetail;
        QAbstractItemModel* m = w->DBGrid1->model();
        for (const char* f : {"amount", "deduck"}) {
            EXPECT_FALSE(m->flags(m->index(0, rows->fieldIndex(f))) & Qt::ItemIsEditable) << f;
            EXPECT_FALSE(m->setData(m->index(0, rows->fieldIndex(f)), "5", Qt::EditRole)) << f;
            EXPECT_TRUE(m->flags(m->index(1, rows->fieldIndex(f))) & Qt::ItemIsEditable) << f;
        }
        w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

TEST_F(MoneyDocTest, PostingAndReversalAreWholeUnderInjectedFaults)
{
    const QString r = receipt200();
    const QString p = newDocument(db(), pay);
    fillLast(pay, p, "0000000002", 300, 20);
    recalc(db(), rec, r, input("5"));
    recalc(db(), pay, p, input("7"));
    const QString path = db().path();
    frdm->ADOCon.close();
    auto expectAtomic = [&](const char* step, const std::function<void(Connection&)>& command) {
        for (bool persistent : {false, true}) {
            fault::Report rep = fault::sweepCommand(path, command, persistent);
            EXPECT_TRUE(rep.ok()) << step << "\n" << rep.failures.join("\n").toStdString();
            EXPECT_GT(rep.runs, 2) << step;
        }
    };
    expectAtomic("new receipt", [&](Connection& c) { newDocument(c, rec); });
    expectAtomic("post receipt", [&](Connection& c) { post(c, rec, r, input("5"), true, "999"); });
    expectAtomic("post payment", [&](Connection& c) { post(c, pay, p, input("7"), true, "999"); });
    {
        Connection c;
        c.open(path);
        post(c, rec, r, input("5"), true, "999");
        post(c, pay, p, input("7"), true, "999");
    }
    expectAtomic("reverse receipt", [&](Connection& c) { reverse(c, rec, r); });
    expectAtomic("reverse payment", [&](Connection& c) { reverse(c, pay, p); });
}

TEST_F(MoneyDocTest, PrintedReceiptHeadsRowsAndTotals)
{
    const QString doc = receipt200();
    HeaderInput in = input("5"); // what the window's boxes say after the lookup
    in.partyName = QStringLiteral("王芳");
    in.remark = QStringLiteral("街2号");
    recalc(db(), rec, doc, in);
    frdm->AQoutlist->setSql("SELECT * from getlist");
    frdm->AQoutlist->open();
    frdm->AQoutdetail->setSql("select * from getdetail where mainintno=:p1 order by intno");
    frdm->AQoutdetail->setParam("p1", doc);
    frdm->AQoutdetail->open();
    frdm->ATcompany->open();
    auto r = rec.makeLayout({frdm->AQoutlist, frdm->AQoutdetail});
    EXPECT_EQ(report::fillDocumentLabels(*r, QStringLiteral("我的超市收款单"), QStringLiteral("管理员")), 1);
    const report::Page& p = r->pages().front();
    for (const char* t : {"我的超市收款单", "共  1 页", "顾客名称:", "王芳", "街2号", "银行编号", "扣除金额", "上期结转",
                          "现金", "290.00", "收款人：", "结余:"})
        EXPECT_NE(p.find(QString::fromUtf8(t)), nullptr) << t;
    if (const QString dir = qEnvironmentVariable("QM_SHOTS"); !dir.isEmpty() && QDir().mkpath(dir))
        r->writePdf(dir + "/receipt-print.pdf");
}

// Each list opens from its menu item with the main window disabled, and gives it back on closing.
TEST_F(MoneyDocTest, MenuItemsOpenTheSixLists)
{
    frmain->show();
    for (const DocListDesc& d : docLists()) {
        ASSERT_TRUE(runCommand(d.menuItem)) << d.menuItem.toStdString();
        DocumentList* l = openDocumentList(d.kind);
        ASSERT_NE(l, nullptr);
        EXPECT_EQ(l->windowTitle(), d.caption);
        EXPECT_EQ(frdm->AQoutlist->sql(), allHeadersSql(d));
        EXPECT_FALSE(frmain->isEnabled());
        l->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(frmain->isEnabled()) << d.menuItem.toStdString();
    }
}

// A driver killed at any moment while receipts are entered, posted and
// reversed: the customer's and the cash account's totals are what the
// standing documents give, and no document is half posted.
TEST_F(MoneyDocTest, KilledWhilePostingReceiptsLeavesWholeDocuments)
{
    const QString path = db().path();
    frdm->ADOCon.close();
    for (unsigned seed : {1u, 2u}) {
        fault::KillResult k = fault::killDuring(
            [&](int i) {
                Connection c;
                c.open(path);
                const QString no = newDocument(c, rec);
                addRow(c, rec, no);
                const auto rows = readRows(c, rec, no);
                c.exec("UPDATE getdetail SET amount=20, deduck=1 WHERE intno=:i", {{"i", rows[1].intno}});
                c.exec("UPDATE getdetail SET sphh='0000000002', spmc='工商银行', amount=5 WHERE intno=:i",
                       {{"i", rows[2].intno}});
                post(c, rec, no, input("5"), false, "999");
                if (i % 2) reverse(c, rec, no);
            },
            20, 300, seed);
        EXPECT_TRUE(k.killed);
        Connection c;
        c.open(path);
        EXPECT_EQ(c.scalar("SELECT count(*) FROM getlist h JOIN getdetail r ON r.mainintno=h.intno "
                           "WHERE r.pass<>h.pass OR r.cancel<>h.cancel").toInt(),
                  0);
        const double standing = c.scalar("SELECT count(*) FROM getlist WHERE pass=1 AND cancel=0").toDouble();
        EXPECT_DOUBLE_EQ(c.scalar("SELECT amount FROM bank WHERE id='0000000001'").toDouble(), 20 * standing);
        EXPECT_DOUBLE_EQ(c.scalar("SELECT balance FROM bank WHERE id='0000000002'").toDouble(), 5000 + 5 * standing);
        EXPECT_DOUBLE_EQ(c.scalar("SELECT balance FROM customer WHERE id='0000000005'").toDouble(), 500 - 26 * standing);
        EXPECT_DOUBLE_EQ(c.scalar("SELECT pay FROM customer WHERE id='0000000005'").toDouble(), 25 * standing);
    }
}
