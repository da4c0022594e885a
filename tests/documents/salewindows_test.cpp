// The sale's windows as the cashier uses them: F2, code entry at the walk-in
// price, the tender and checkout with its receipt, 过帐 with the ticket, and
// the posted view's receipt, preview and reversal.
#include "admin/errorhandler.h"
#include "common/errors.h"
#include "common/receiptprinter.h"
#include "documents/sale.h"
#include "documents/saledata.h"
#include "documents/salereceipt.h"
#include "documents/salewindows.h"
#include "documents/tfrcash.h"
#include "shell/commands.h"
#include "shell/session.h"
#include "support/damagedindex.h"
#include "support/files.h"
#include <QFile>
#include <QPointer>
#include <QPushButton>
#include <QLineEdit>
#include <QTableView>
#include <QTest>

using namespace qm::doc;

namespace {
class SaleWindows : public SaleShop {
protected:
    QString device;
    void SetUp() override
    {
        SaleShop::SetUp();
        device = folder() + "lp0";
        QFile(device).open(QIODevice::WriteOnly);
        qputenv("QM_RECEIPT_PRINTER", device.toLocal8Bit());
        qm::setReceiptPrinterTimeout(300);
        frdm->ADOCon.exec("UPDATE company SET name='好又多'");
    }
    void TearDown() override
    {
        for (QWidget* w : frmain->findChildren<DocumentWindow*>()) delete w;
        qunsetenv("QM_RECEIPT_PRINTER");
        qm::setReceiptPrinterTimeout(3000);
        SaleShop::TearDown();
    }
    SaleEntryWindow* openNewSale()
    {
        // A window closed before is gone first.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(qm::runCommand("N29"));
        auto* w = frmain->findChild<SaleEntryWindow*>();
        EXPECT_TRUE(w);
        return w;
    }
    void enter(SaleEntryWindow* w, const QString& code)
    {
        w->box("Edit12")->setText(code);
        w->Edit12Enter();
    }
    QByteArray printed()
    {
        QFile f(device);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }
};
}

TEST_F(SaleWindows, NewSaleAtTheWalkInPriceThroughTheTenderToTheNextSale)
{
    frdm->ADOCon.exec("UPDATE totallist SET amount=100");
    SaleEntryWindow* w = openNewSale();
    ASSERT_TRUE(w);
    EXPECT_EQ(w->windowTitle(), "销售明细单");
    EXPECT_FALSE(frmain->isEnabled());
    const QString first = w->docIntno();
    EXPECT_EQ(w->box("Edit2")->text(), "0000000001");
    EXPECT_EQ(w->box("Edit3")->text(), frdm->ADOCon.scalar("SELECT name FROM customer WHERE id='0000000001'").toString());
    EXPECT_FALSE(w->box("Edit3")->text().isEmpty());
    EXPECT_EQ(w->box("Edit8")->text(), "100.00");

    enter(w, "1001");
    w->ToolButton1Click();
    enter(w, "6901234567893"); // a barcode
    EXPECT_EQ(w->box("Edit5")->text(), "16.00"); // 3.50 + 12.50 at retail prices
    // 总营业额 goes with 金额合计, the row being entered and all.
    EXPECT_EQ(w->box("Edit8")->text(), "116.00");

    w->ToolButton1Click(); // an empty row the tender drops
    EXPECT_EQ(w->box("Edit8")->text(), "116.00");
    QTest::keyClick(w->box("Edit12"), Qt::Key_Down);
    ASSERT_TRUE(Frcash);
    EXPECT_EQ(Frcash->Edit1->text(), "16.00");
    Frcash->Edit2->setText("20");
    dialogs->clear();
    dialogs->answers = {qm::Answer::Yes};
    Frcash->Button1Click();

    EXPECT_EQ(dialogs->messages(), QStringList{"是否要打印销售小票?"});
    EXPECT_EQ(frdm->ADOCon.scalar("SELECT pass FROM outlist WHERE intno=:p1", {{"p1", first}}).toInt(), 1);
    EXPECT_EQ(frdm->ADOCon.scalar("SELECT count(*) FROM outdetail WHERE mainintno=:p1", {{"p1", first}}).toInt(), 2);
    EXPECT_DOUBLE_EQ(frdm->ADOCon.scalar("SELECT balance FROM bank WHERE id='0000000001'").toDouble(), 16);
    EXPECT_DOUBLE_EQ(stock("1002"), 9);
    // The receipt went out with LF line ends; output.txt keeps CR LF.
    const QByteArray out = printed();
    EXPECT_TRUE(out.contains(qm::receipt::gbk(QStringLiteral("合计:")) + "    16.0" + qm::receipt::gbk(QStringLiteral("    现金:")) + "    20.0\n"));
    EXPECT_TRUE(out.contains(qm::receipt::gbk(QStringLiteral("找零:")) + "   4.0\n"));
    EXPECT_FALSE(out.contains('\r'));
    QFile txt(folder() + "output.txt");
    ASSERT_TRUE(txt.open(QIODevice::ReadOnly));
    EXPECT_EQ(qm::printerLines(txt.readAll()), out);

    // The next sale is open in the same window, and the turnover goes on.
    EXPECT_NE(w->docIntno(), first);
    EXPECT_EQ(w->box("Edit2")->text(), "0000000001");
    EXPECT_EQ(w->box("Edit5")->text(), "0.00");
    EXPECT_EQ(w->box("Edit8")->text(), "116.00");
    EXPECT_EQ(frdm->ADOCon.scalar("SELECT pass FROM outlist WHERE intno=:p1", {{"p1", w->docIntno()}}).toInt(), 0);
    // Its first row carries the operator's number.
    EXPECT_EQ(frdm->ADOCon.scalar("SELECT group_concat(djh) FROM outdetail WHERE mainintno=:n", {{"n", w->docIntno()}}), "999");
}

TEST_F(SaleWindows, PrinterOffShowsItsMessageAndKeepsTheSale)
{
    const QString device = folder() + "offline/lp0";
    qputenv("QM_RECEIPT_PRINTER", device.toLocal8Bit());
    SaleEntryWindow* w = openNewSale();
    enter(w, "1001");
    const QString no = w->docIntno();
    w->frontDeskPostAndPrint(5);
    EXPECT_TRUE(dialogs->messages().contains("请连接好打印机,装好打印纸并打开打印机电源！\n" + device));
    EXPECT_EQ(frdm->ADOCon.scalar("SELECT pass FROM outlist WHERE intno=:p1", {{"p1", no}}).toInt(), 1);
    EXPECT_TRUE(QFile::exists(folder() + "output.txt"));

    // A refused checkout writes nothing: not even the cash.
    w->box("Edit2")->setText("0");
    dialogs->clear();
    w->frontDeskPostAndPrint(5);
    EXPECT_EQ(dialogs->messages(), (QStringList{"没有选取客户,不能过帐！", "该功能暂时不能执行，请重新操作！"}));
    EXPECT_EQ(frdm->ADOCon.scalar("SELECT count(*) FROM outdetail WHERE pay<>0").toInt(), 1);
}

TEST_F(SaleWindows, MemberSalePostedShowsTheTicketAndIsReversedFromThePostedView)
{
    SaleEntryWindow* w = openNewSale();
    w->box("Edit2")->setText("2");
    w->Edit2Exit();
    EXPECT_EQ(w->box("Edit2")->text(), "0000000002");
    EXPECT_EQ(w->box("Edit3")->text(), QStringLiteral("李四"));
    EXPECT_EQ(w->box("Edit9")->text(), QStringLiteral("东街3号"));
    enter(w, "1002");
    EXPECT_EQ(w->box("Edit5")->text(), "11.00"); // the member price
    const QString no = w->docIntno();
    QPointer<SaleEntryWindow> alive(w);
    dialogs->clear();
    w->ToolButton4Click();
    EXPECT_TRUE(alive.isNull() || !alive->isVisible());
    ASSERT_FALSE(dialogs->shown.empty());
    EXPECT_EQ(dialogs->shown.back().kind, "exec");
    EXPECT_EQ(dialogs->shown.back().text, "reportPreview");
    EXPECT_DOUBLE_EQ(customerBalance("0000000002"), 131);

    frdm->AQoutlist->close();
    frdm->AQoutlist->setSql("SELECT * from outlist");
    frdm->AQoutlist->open();
    ASSERT_TRUE(frdm->AQoutlist->locate("intno", no));
    auto* v = qobject_cast<SalePostedView*>(openPostedView(DocKind::Sale, nullptr));
    ASSERT_TRUE(v);
    EXPECT_EQ(v->windowTitle(), "销售明细单(已过帐)");
    v->ToolButton5Click();
    EXPECT_TRUE(printed().contains(qm::receipt::gbk(QStringLiteral("       多谢惠顾,欢迎光临!\n"))));
    qputenv("QM_RECEIPT_PRINTER", (folder() + "offline/lp0").toLocal8Bit());
    EXPECT_THROW(v->ToolButton5Click(), qm::FileOpenError);
    dialogs->clear();
    v->ToolButton8Click();
    EXPECT_EQ(dialogs->shown.back().text, "reportPreview");
    v->ToolButton6Click();
    EXPECT_DOUBLE_EQ(customerBalance("0000000002"), 120);
    EXPECT_DOUBLE_EQ(stock("1002"), 10);
    delete v;
}

// A code typed into the grid's 货号 and Enter: the row is filled as from the
// code box; an unknown code is refused and the cell cleared for another.
TEST_F(SaleWindows, ACodeTypedIntoTheGridFillsItsRow)
{
    SaleEntryWindow* w = openNewSale();
    ASSERT_TRUE(w);
    qm::Dataset* rows = frdm->AQoutdetail;
    QTableView* g = w->DBGrid1;
    QAbstractItemModel* m = g->model();
    const QModelIndex at = m->index(rows->recNo(), rows->fieldIndex("sphh"));
    ASSERT_TRUE(m->flags(at) & Qt::ItemIsEditable);
    m->setData(at, "9999", Qt::EditRole);
    g->setCurrentIndex(at);
    QTest::keyClick(g, Qt::Key_Return);
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("查无此货号！"));
    EXPECT_EQ(rows->asString("sphh"), "");
    EXPECT_EQ(g->currentIndex().column(), at.column());
    m->setData(at, "1002", Qt::EditRole);
    QTest::keyClick(g, Qt::Key_Return);
    EXPECT_EQ(rows->asString("spmc"), QStringLiteral("一二三四五六七八九十"));
    EXPECT_EQ(g->currentIndex().column(), rows->fieldIndex("sl"));
    EXPECT_EQ(w->box("Edit5")->text(), "12.50");
}

namespace {
// Runs `watch` with each message as it is shown.
class WatchedDialogs : public qm::ScriptedDialogs {
public:
    std::function<void(const QString&)> watch;
    qm::Answer messageBox(const QString& text, const QString& caption, qm::Buttons b, qm::Icon icon) override
    {
        if (watch) watch(text);
        return ScriptedDialogs::messageBox(text, caption, b, icon);
    }
};

// The scripted dialogs of the fixture, watched.
WatchedDialogs* watchMessages(qm::ScriptedDialogs*& dialogs, std::function<void(const QString&)> watch)
{
    auto backend = std::make_unique<WatchedDialogs>();
    WatchedDialogs* w = backend.get();
    w->watch = std::move(watch);
    dialogs = w;
    qm::dlg::setBackend(std::move(backend));
    return w;
}
}

// While the receipt question waits after a cash sale, 总营业额 shows the stored
// turnover, not the header's rest (the walk-in customer's balance). A sale or
// sales return left with nothing entered goes when its window closes, by 退回
// or the frame, blank rows and all; one with a row being entered, or posted
// meanwhile by the front desk, stays.
TEST_F(SaleWindows, ACashSaleShowsTheStoredTurnoverAndASaleLeftBlankGoesOnClosing)
{
    // Sales, those posted, their rows, and sales returns with their rows.
    auto counts = [] {
        return frdm->ADOCon.scalar("SELECT (SELECT count(*) FROM outlist)||' '||(SELECT count(*) FROM outlist WHERE pass=1)||' '||"
                                   "(SELECT count(*) FROM outdetail)||' '||(SELECT count(*) FROM outbacklist)||"
                                   "(SELECT count(*) FROM outbackdetail)").toString().toStdString();
    };
    QPointer<SaleEntryWindow> w;
    QString turnover;
    WatchedDialogs* watch = watchMessages(dialogs, [&](const QString&) {
        if (w) turnover = w->box("Edit8")->text();
    });
    frdm->ADOCon.exec("UPDATE customer SET balance=-20117.71 WHERE id='0000000001'");
    // After the checkout the next sale waits with its blank row; the frame closes it.
    w = openNewSale();
    enter(w, "1001");
    watch->answers = {qm::Answer::No};
    w->frontDeskPostAndPrint(5);
    EXPECT_EQ(frdm->ADOCon.scalar("SELECT rest FROM outlist WHERE pass=1").toDouble(), -20117.71);
    EXPECT_EQ(turnover, "3.50");
    EXPECT_EQ(counts(), "2 1 2 00");
    w->close();
    EXPECT_EQ(counts(), "1 1 1 00");

    // 退回 of a new sale and of a new sales return with an added blank row.
    for (DocKind kind : {DocKind::Sale, DocKind::SalesReturn}) {
        qm::session().docMode = "T";
        auto* e = qobject_cast<EntryWindow*>(openEntryWindow(kind, nullptr));
        ASSERT_TRUE(e);
        e->ToolButton1Click();
        e->ToolButton7Click();
    }
    EXPECT_EQ(counts(), "1 1 1 00");

    // A code entered and not yet written stays, with its sale.
    w = openNewSale();
    const QString kept = w->docIntno();
    enter(w, "1002");
    w->ToolButton7Click();
    EXPECT_EQ(frdm->ADOCon.scalar("SELECT group_concat(spmc) FROM outdetail WHERE mainintno=:n", {{"n", kept}}).toString(),
              QStringLiteral("一二三四五六七八九十"));

    // Posted by the front desk with only a blank row: never deleted.
    w = openNewSale();
    const QString posted = w->docIntno();
    qm::Connection frontDesk;
    frontDesk.open(frdm->ADOCon.path());
    frontDesk.exec("UPDATE outlist SET pass=1 WHERE intno=:n", {{"n", posted}});
    w->close();
    EXPECT_EQ(counts(), "3 2 3 00");
}

// The tender over a sale: no code, grid edit or command reaches the sale
// meanwhile; a sale changed from elsewhere is not posted at the amount shown,
// the tender opens again with the stored one; the change shown is the one
// stored and printed, to the cent.
TEST_F(SaleWindows, TheTenderPostsTheAmountItShowsAndTheChangeItShows)
{
    SaleEntryWindow* w = openNewSale();
    const QString no = w->docIntno();
    enter(w, "1001");
    w->ToolButton1Click(); // the blank row for the next code
    QTest::keyClick(w->box("Edit12"), Qt::Key_Down);
    ASSERT_TRUE(Frcash);
    EXPECT_TRUE(Frcash->Button1->isEnabled());
    QAbstractItemModel* m = w->DBGrid1->model();
    QTest::keyClicks(w->box("Edit12"), "1002");
    QTest::keyClick(w->box("Edit12"), Qt::Key_Return);
    enter(w, "1002");
    m->setData(m->index(0, frdm->AQoutdetail->fieldIndex("sl")), 5, Qt::EditRole);
    w->ToolButton3Click();
    const auto rows = [&no] {
        return frdm->ADOCon.scalar("SELECT group_concat(sphh||'x'||sl) FROM outdetail WHERE mainintno=:n", {{"n", no}}).toString();
    };
    EXPECT_EQ(rows(), "1001x1.0,x0.0");

    qm::Connection other;
    other.open(frdm->ADOCon.path());
    other.exec("UPDATE outdetail SET sl=3 WHERE sphh='1001'");
    Frcash->Edit2->setText("20");
    dialogs->clear();
    Frcash->Button1Click();
    EXPECT_EQ(dialogs->messages(), QStringList{QStringLiteral("本单合计已改变,请核对找零后再按确定！")});
    ASSERT_TRUE(Frcash && Frcash->isVisible());
    EXPECT_EQ(Frcash->Edit1->text() + " " + Frcash->Edit3->text(), "10.50 9.50");
    Frcash->Edit2->setText("20.55");
    dialogs->answers = {qm::Answer::Yes};
    Frcash->Button1Click();
    EXPECT_EQ(frdm->ADOCon.scalar("SELECT pass||' '||amount FROM outlist WHERE intno=:n", {{"n", no}}).toString(), "1 10.5");
    EXPECT_EQ(frdm->ADOCon.scalar("SELECT round(rest, 2) FROM outdetail WHERE mainintno=:n", {{"n", no}}).toString(), "10.05");
    EXPECT_TRUE(printed().contains(qm::receipt::gbk(QStringLiteral("找零:")) + " 10.05\n"));
}

// 总营业额 is the turnover since login plus the sale on screen: after a code and
// a quantity, after a summary replaced the turnover row, and while the
// receipt question waits (the sale then posted, and counted once).
TEST_F(SaleWindows, TheTurnoverBoxGoesWithTheSaleOnScreen)
{
    frdm->ADOCon.exec("INSERT INTO product(intno, sphh, name, spmc, spmz, sl) VALUES('00000004', '1004', '', 'x', 40, 9)");
    QPointer<SaleEntryWindow> w = openNewSale();
    auto shown = [&w] { return w->box("Edit5")->text() + " " + w->box("Edit8")->text(); };
    enter(w, "1004");
    EXPECT_EQ(shown(), "40.00 40.00");
    QAbstractItemModel* m = w->DBGrid1->model();
    m->setData(m->index(0, frdm->AQoutdetail->fieldIndex("sl")), 2, Qt::EditRole);
    w->DBGrid1->setCurrentIndex(m->index(0, frdm->AQoutdetail->fieldIndex("dj_n")));
    EXPECT_EQ(shown(), "80.00 80.00");
    w->ToolButton6Click(); // voided

    frdm->ADOCon.exec("DELETE FROM totallist");
    frdm->ADOCon.exec("INSERT INTO totallist(hjsl, amount, rest) VALUES(3, 34.5, 120)");
    QString atTheQuestion;
    watchMessages(dialogs, [&](const QString&) { atTheQuestion = shown(); })->answers = {qm::Answer::No};
    w = openNewSale();
    enter(w, "1003");
    EXPECT_EQ(shown(), "5.00 39.50");
    w->frontDeskPostAndPrint(10);
    EXPECT_EQ(atTheQuestion, "5.00 39.50");
}

// Damage at the till: a code that the product index misses while the table
// holds it names the damage; the copy's message at closing shows over the
// sale, not over a grid whose data is already closed.
TEST_F(SaleWindows, DamageIsNamedAtTheTill)
{
    const QString path = frdm->ADOCon.path();
    frdm->ADOCon.close();
    changeIndexEntry(path, "ix_product_sphh", "1002");
    frdm->connectTo(path);
    QPointer<SaleEntryWindow> w = openNewSale();
    QStringList seen;
    watchMessages(dialogs, [&](const QString&) {
        QStringList titles; // of the columns the grid shows
        for (int i = 0; i < w->DBGrid1->model()->columnCount(); ++i)
            if (!w->DBGrid1->isColumnHidden(i)) titles << w->DBGrid1->model()->headerData(i, Qt::Horizontal).toString();
        seen << titles.value(0);
    });
    for (const char* code : {"1002", "1009", "1001"}) {
        try {
            enter(w, code);
        } catch (...) {
            // As the event loop hands it on: the handler has the file judged.
            qm::reportException(w, std::current_exception());
        }
    }
    EXPECT_EQ(dialogs->messages(), (QStringList{qm::workingDamagedText(), QStringLiteral("查无此货号！")}));
    EXPECT_TRUE(qm::workingDamaged());
    w->ToolButton7Click();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("请检查本系统的数据备份目录bak是否存在！ \r") + qm::workingDamagedText());
    EXPECT_EQ(seen.value(2), QStringLiteral("货号"));
}

// The next sale refused by the file after a checkout: the window says so in
// the operator's words; SQLite's own, with the statement, go to the log.
TEST_F(SaleWindows, WhenTheNextSaleCannotBeOpenedTheStatementGoesOnlyToTheLog)
{
    SaleEntryWindow* w = openNewSale();
    enter(w, "1001");
    frdm->ADOCon.exec("CREATE TRIGGER no_more_sales BEFORE INSERT ON outlist BEGIN SELECT RAISE(ABORT, 'no more sales'); END");
    dialogs->answers = {qm::Answer::No};
    w->frontDeskPostAndPrint(5);
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("本单已过帐,下一张单没有打开！\n请退回后重新开单！"));
    EXPECT_TRUE(readFile(qm::errorLogPath()).contains("no more sales [INSERT INTO outlist"));
}
