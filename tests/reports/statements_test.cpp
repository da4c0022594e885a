#include "reports/statementwindow.h"
#include "reports/statementmodel.h"
#include "reports/reportdata.h"
#include "common/formats.h"
#include "common/printer.h"
#include "layouts/report.h"
#include "support/rowsread.h"
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTableView>
#include <QThread>
#include <atomic>
#include <sqlite3.h>
#include <thread>

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
    // A column of the grid, first row to last.
    QStringList col(const char* field)
    {
        StatementModel* m = w->rows();
        QStringList out;
        const int c = m->fieldColumn(field);
        for (int r = 0; r < m->rowCount(); ++r) out << m->data(m->index(r, c), Qt::DisplayRole).toString();
        return out;
    }
    // A document as posting leaves it: the header with its money, the rows
    // after it. `kind` names the tables ("out" for outlist and outdetail).
    QString document(const QString& kind, const QString& date, const QString& party, const std::vector<QVariantMap>& rows,
                     QVariantMap header = {}, State s = State::Posted)
    {
        const QString no = QString("%1").arg(++docs, 10, 10, QChar('0'));
        double amount = 0;
        for (QVariantMap r : rows) {
            if (r.value("spmc") != "上期结转") amount += r.value("amount").toDouble();
            r.insert("mainintno", no);
            if (!r.contains("customerid")) r.insert("customerid", party);
            row(kind + "detail", date, r, s);
        }
        header.insert("intno", no);
        header.insert("customerid", party);
        if (!header.contains("amount")) header.insert("amount", amount);
        row(kind + "list", date, header, s);
        return no;
    }
    // `n` receipts of customer 2 in the range, one a document, the i-th (from
    // 1) named by `name(i)` and of i % 7 + 1.
    void receipts(int n, const std::function<QString(int)>& name)
    {
        Transaction t(frdm->ADOCon);
        for (int i = 1; i <= n; ++i)
            row("getdetail", QString("2009-03-%1 10:00:00").arg(5 + i * 5 / n, 2, 10, QChar('0')),
                {{"mainintno", QString("%1").arg(i, 10, 10, QChar('0'))}, {"customerid", "0000000002"}, {"sphh", "0000000001"},
                 {"spmc", name(i)}, {"amount", double(i % 7 + 1)}});
        t.commit();
    }
    int docs = 0;
    StatementWindow* w = nullptr;
};
}

// Opening 100; before the range a sale of 50 paid 30 less 2 and a receipt of
// 40 less 1 leave 77; the range walks a sale of two rows paid 5 on its last
// row (89, 92), a return (87) and a sale late on the to-date (90).
TEST_F(StatementTest, CustomerStatementMovesAsPostingDoes)
{
    const QString c = "0000000002";
    document("out", "2009-03-01 10:00:00", c, {{{"sphh", "A"}, {"amount", 50.0}, {"pay", 99.0}}}, {{"pay", 30.0}, {"deduck", 2.0}});
    document("get", "2009-03-02", c, {{{"spmc", "上期结转"}, {"amount", 148.0}, {"rest", 148.0}},
                                      {{"sphh", "0000000001"}, {"amount", 40.0}, {"deduck", 1.0}, {"pay", 7.0}}});
    document("out", "2009-03-05 09:00:00", c, {{{"sphh", "B"}, {"spmc", "橡皮"}, {"amount", 12.0}}, {{"sphh", "C"}, {"amount", 8.0}}},
             {{"pay", 5.0}});
    document("outback", "2009-03-06", c, {{{"sphh", "B"}, {"amount", 5.0}, {"pay", 3.0}}});
    document("out", "2009-03-06", c, {{{"amount", 1000.0}}}, {}, State::Unposted);
    document("out", "2009-03-07", c, {{{"amount", 1000.0}}}, {}, State::Reversed);
    document("out", "2009-03-10 18:20:00", c, {{{"sphh", "C"}, {"amount", 3.0}}});
    document("out", "2009-03-11", c, {{{"amount", 9.0}}});
    document("out", "2009-03-06", "0000000001", {{{"amount", 70.0}}});

    open(StatementKind::Customer, "2");
    EXPECT_EQ(w->codeEdit->text(), "0000000002");
    EXPECT_EQ(w->nameEdit->text(), "张三");
    EXPECT_EQ(w->Memo1->toPlainText(), "老客户");
    EXPECT_EQ(col("spmc"), QStringList({"上期结余", "橡皮", "", "", ""}));
    EXPECT_EQ(col("pay"), QStringList({"0.00", "0.00", "5.00", "0.00", "0.00"}));
    EXPECT_EQ(col("rest"), QStringList({"77.00", "89.00", "92.00", "87.00", "90.00"}));
    EXPECT_DOUBLE_EQ(w->rows()->run()->closing(), 90.0);
    EXPECT_DOUBLE_EQ(openingBalance(w->desc(), "0000000002", 100, QDate(2009, 3, 12)), 99.0);

    // Printed: the scratch table holds what the grid showed, the last balance
    // after "总计："; the rows go with the preview.
    report::Layout* r = w->layout();
    dialogs->onExec = [&](QDialog*) {
        EXPECT_EQ(column(statementRows(w->desc()), "rest"), col("rest"));
        const report::Page& last = r->pages().back();
        EXPECT_NE(last.find("总计："), nullptr);
        EXPECT_NE(last.find("90.00"), nullptr);
        EXPECT_NE(last.find("备注：老客户"), nullptr);
        return int(QDialog::Rejected);
    };
    w->reportClick();
    EXPECT_FALSE(statementRows(w->desc())->active());
    EXPECT_FALSE(frdm->ADOCon.scalar("SELECT 1 FROM temp.sqlite_master WHERE name='custtotal1_print'").isValid());
    EXPECT_FALSE(frdm->AQoutdetail->fetchOnDemand()); // whole again, for the windows that edit rows
    EXPECT_GT(r->paper().width, r->paper().length);

    // An unknown code says so (on leaving the code and again on the run) and
    // leaves the statement as it was.
    dialogs->clear();
    w->codeEdit->setText("77");
    w->refreshClick();
    EXPECT_EQ(dialogs->messages(), QStringList({"查无此客户号！", "查无此客户号！"}));
    EXPECT_EQ(col("rest").size(), 5);

    // A customer without rows in the range: the opening row alone.
    open(StatementKind::Customer, "1");
    EXPECT_EQ(col("rest"), QStringList({"0.00", "70.00"}));
    frdm->ADOCon.exec("UPDATE customer SET rest=12.5 WHERE id='0000000002'");
    for (const char* t : {"outlist", "outdetail", "outbacklist", "outbackdetail", "getlist", "getdetail"})
        frdm->ADOCon.exec(QString("DELETE FROM %1").arg(t));
    open(StatementKind::Customer, "2");
    EXPECT_EQ(col("rest"), QStringList({"12.50"}));
}

// Rows come by date, document number and row number, whatever their codes.
TEST_F(StatementTest, RowsComeInDocumentOrder)
{
    for (const char* d : {"2009-03-06 10:00:00", "2009-03-06 09:00:00"})
        document("get", d, "0000000002", {{{"sphh", "0000000009"}, {"remark", QString(d).mid(11, 2) + "a"}, {"amount", 1.0}},
                                          {{"sphh", "0000000001"}, {"remark", QString(d).mid(11, 2) + "b"}, {"amount", 1.0}}});
    document("outback", "2009-03-06 09:00:00", "0000000002", {{{"sphh", "Z"}, {"remark", "r"}, {"amount", 1.0}}});
    document("out", "2009-03-06 09:00:00", "0000000002", {{{"sphh", "Z"}, {"remark", "s1"}, {"amount", 1.0}},
                                                          {{"sphh", "A"}, {"remark", "s2"}, {"amount", 1.0}}});
    open(StatementKind::Customer, "2");
    EXPECT_EQ(col("remark"), QStringList({"", "09a", "09b", "r", "s1", "s2", "10a", "10b"}));
    EXPECT_EQ(col("rest"), QStringList({"100.00", "99.00", "98.00", "97.00", "98.00", "99.00", "98.00", "97.00"}));
}

// Opening 200; a purchase of 100 paid 30 and a payment of 50 less 2 leave 218
// before the range.
TEST_F(StatementTest, SupplierStatementsByRowAndByDocument)
{
    const QString s = "0000000012";
    document("in", "2009-03-01", s, {{{"spmc", "上期结转"}, {"amount", 200.0}}, {{"sphh", "A"}, {"amount", 100.0}, {"pay", 30.0}}},
             {{"pay", 30.0}});
    document("put", "2009-03-02", s, {{{"spmc", "上期结转"}, {"amount", 170.0}}, {{"sphh", "0000000001"}, {"amount", 50.0}, {"deduck", 2.0}, {"pay", 7.0}}},
             {{"deduck", 2.0}});
    document("inback", "2009-03-06", s, {{{"sphh", "A"}, {"amount", 10.0}, {"deduck", 1.0}, {"pay", 9.0}}});
    document("in", "2009-03-07", s, {{{"sphh", "B"}, {"amount", 40.0}, {"pay", 40.0}}}, {{"pay", 40.0}});
    document("put", "2009-03-08", s, {{{"sphh", "0000000001"}, {"amount", 7.0}}});
    document("put", "2009-03-08", s, {{{"sphh", "0000000001"}, {"amount", 700.0}}}, {}, State::Reversed);

    frdm->ADOCon.exec("UPDATE branch SET remark='月结' WHERE id='0000000012'");
    open(StatementKind::SupplierRows, "12");
    EXPECT_EQ(w->nameEdit->text(), "华联批发");
    EXPECT_EQ(col("rest"), QStringList({"218.00", "208.00", "208.00", "201.00"}));
    EXPECT_EQ(col("pay"), QStringList({"0.00", "0.00", "40.00", "0.00"}));
    EXPECT_EQ(col("deduck"), QStringList({"0.00", "0.00", "0.00", "0.00"}));

    // Headers: a payment shows its amount as paid; each row keeps the balance before it.
    frdm->ADOCon.exec("UPDATE totallist SET amount=55");
    open(StatementKind::SupplierDocuments, "12");
    EXPECT_EQ(col("billname"), QStringList({"上期结余", "进货退货单", "进货单", "付款单"}));
    EXPECT_EQ(col("balance"), QStringList({"218.00", "218.00", "208.00", "208.00"}));
    EXPECT_EQ(col("amount"), QStringList({"0.00", "10.00", "40.00", "0.00"}));
    EXPECT_EQ(col("pay"), QStringList({"0.00", "0.00", "40.00", "7.00"}));
    EXPECT_EQ(col("rest"), QStringList({"218.00", "208.00", "208.00", "201.00"}));
    EXPECT_EQ(w->layout(), nullptr); // made at the print
    // Printed: the totals keep only the opening row, so the sales window's
    // turnover continues from 0.
    dialogs->onExec = [&](QDialog*) {
        EXPECT_EQ(column(statementRows(w->desc()), "rest"), col("rest"));
        EXPECT_NE(w->layout()->pages().back().find("备注：月结"), nullptr);
        return int(QDialog::Rejected);
    };
    w->reportClick();
    ASSERT_TRUE(w->layout());
    EXPECT_EQ(num("SELECT count(*) FROM totallist"), 1);
    EXPECT_EQ(num("SELECT amount FROM totallist"), 0.0);
    EXPECT_FALSE(statementRows(w->desc())->active());
}

// Cash opening 1000; before the range a sale that kept 35 and a receipt of 40
// (its deduction moves no money) make 1075.
TEST_F(StatementTest, CashJournalHoldsEveryMovementOfTheAccount)
{
    auto sale = [this](const char* date, double amount, double kept, const char* bank = "0000000001") {
        document("out", date, "0000000002", {{{"amount", amount}, {"pay", kept + 5}, {"rest", 5.0}}},
                 {{"pay", kept}, {"bankid", bank}, {"customername", "张三"}});
    };
    sale("2009-03-01 10:00:00", 35, 35);
    document("get", "2009-03-02", "0000000002", {{{"spmc", "上期结转"}, {"amount", 500.0}},
                                                  {{"sphh", "0000000001"}, {"spmc", "现金"}, {"amount", 40.0}, {"deduck", 3.0}}});
    document("put", "2009-03-05", "0000000012", {{{"sphh", "0000000001"}, {"spmc", "现金"}, {"amount", 25.0}}});
    sale("2009-03-06 11:00:00", 25, 20);
    sale("2009-03-06 12:00:00", 8, 0);
    document("get", "2009-03-07", "0000000002", {{{"sphh", "0000000002"}, {"spmc", "工商银行"}, {"amount", 99.0}}});
    document("in", "2009-03-07", "0000000012", {{{"sphh", "A"}, {"amount", 40.0}, {"pay", 30.0}}},
             {{"pay", 30.0}, {"bankid", "0000000001"}, {"customername", "华联批发"}});
    sale("2009-03-08 09:00:00", 18, 18);
    sale("2009-03-08 10:00:00", 50, 50, "0000000002");

    delete w;
    w = new StatementWindow(StatementKind::Journal, nullptr);
    w->show(); // runs at once on account "1"
    EXPECT_EQ(w->codeEdit->text(), "0000000001");
    EXPECT_EQ(col("billname"), QStringList({"", "付款单", "销售单", "进货单", "销售单"}));
    EXPECT_EQ(col("spmc"), QStringList({"上期结余", "现金", "现金", "现金", "现金"}));
    EXPECT_EQ(col("amount"), QStringList({"0.00", "0.00", "20.00", "0.00", "18.00"}));
    EXPECT_EQ(col("pay"), QStringList({"0.00", "25.00", "0.00", "30.00", "0.00"}));
    EXPECT_EQ(col("rest"), QStringList({"1075.00", "1050.00", "1070.00", "1040.00", "1058.00"}));
    EXPECT_EQ(col("customername"), QStringList({"", "", "张三", "华联批发", "张三"}));

    // A bank account: its own receipts and the sales paid into it.
    w->codeEdit->setText("2");
    w->refreshClick();
    EXPECT_EQ(col("rest"), QStringList({"0.00", "99.00", "149.00"}));
    EXPECT_EQ(w->nameEdit->text(), "工商银行");

    dialogs->clear();
    w->codeEdit->setText("9");
    w->refreshClick();
    EXPECT_EQ(dialogs->messages(), QStringList({"查无此现金银行号！", "查无此编号！"}));
    EXPECT_EQ(col("rest"), QStringList({"0.00", "99.00", "149.00"}));
}

// The print of a long statement holds the shop's file only for moments: the
// front desk writing meanwhile never waits long. The program's connection is
// slowed down so that the fill lasts about a second on any machine; a fill in
// one transaction then holds the other writer for all of it.
TEST_F(StatementTest, PrintingALongStatementLetsTheFrontDeskWrite)
{
    auto& c = frdm->ADOCon;
    c.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<5000) "
           "INSERT INTO outdetail (intno, mainintno, billdate, billtype, billname, pass, cancel, customerid, sphh, amount) "
           "SELECT printf('%010d', i), printf('%010d', i), printf('2009-03-%02d 10:00:00', 1 + i % 9), '01', '销售单', 1, 0, "
           "'0000000001', 'A', 1 FROM n");
    c.exec("INSERT INTO outlist (intno, billdate, customerid, pass, cancel, amount, pay) "
           "SELECT mainintno, billdate, customerid, 1, 0, amount, 0 FROM outdetail");
    c.exec("INSERT INTO custtotal1 (spmc) SELECT 'left by an earlier run' FROM outdetail");
    const StatementDesc& d = statementDesc(StatementKind::Customer);
    ASSERT_TRUE(findParty(d, "0000000001"));

    std::atomic<int> writes{0};
    std::atomic<qint64> longestMs{0};
    std::jthread frontDesk([&, path = c.path().toUtf8()](std::stop_token stop) {
        sqlite3* db = nullptr;
        sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_busy_timeout(db, 10000);
        for (QElapsedTimer t; !stop.stop_requested(); QThread::msleep(5)) {
            t.start();
            if (sqlite3_exec(db, "BEGIN IMMEDIATE; UPDATE dateconfig SET bz=bz; COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK) ++writes;
            longestMs = std::max<qint64>(longestMs, t.elapsed());
        }
        sqlite3_close(db);
    });
    sqlite3_progress_handler(c.handle(), 100, [](void*) { return QThread::usleep(40), 0; }, nullptr);
    QElapsedTimer fill;
    fill.start();
    buildStatement(d, "0000000001", {QDate(2009, 3, 1), QDate(2009, 3, 31)});
    const qint64 fillMs = fill.elapsed();
    sqlite3_progress_handler(c.handle(), 0, nullptr, nullptr);
    frontDesk.request_stop();
    frontDesk.join();

    ASSERT_GT(fillMs, 700) << "the fill must be slow enough to tell";
    EXPECT_GT(writes, 20);
    EXPECT_LT(longestMs, 500) << "the other program's write waited " << longestMs << " ms during a fill of " << fillMs << " ms";
    // The print shows every row with its balance; the scratch tables of the
    // file are empty.
    Dataset* rows = statementRows(d);
    ASSERT_EQ(rows->recordCount(), 5001);
    EXPECT_EQ(rows->displayText(5000, rows->fieldIndex("rest")), "5000.00");
    EXPECT_EQ(c.scalar("SELECT count(*) FROM custtotal1").toInt(), 0);
}

// A statement of many blocks of rows prints the rows the grid shows, page
// after page, and the PDF says what the pages say; the rows go with the preview.
TEST_F(StatementTest, ALongStatementPrintsWhatTheGridShows)
{
    const QString tool = QStandardPaths::findExecutable("pdftotext");
    if (tool.isEmpty()) GTEST_SKIP() << "pdftotext is not installed";
    receipts(700, [](int i) { return QString("收款%1").arg(i); });
    open(StatementKind::Customer, "2");
    const QStringList shown = col("rest");
    ASSERT_EQ(shown.size(), 701);

    QPrinter& printer = sharedPrinter();
    const auto restore = qScopeGuard([&printer, format = printer.outputFormat(), file = printer.outputFileName()] {
        printer.setOutputFormat(format);
        printer.setOutputFileName(file);
    });
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(folder() + "statement.pdf");
    auto letters = [](QString s) {
        s.remove(QRegularExpression("\\s"));
        std::sort(s.begin(), s.end());
        return s.toStdString();
    };
    std::vector<std::string> pages;
    QStringList names, balances; // 名称 and 累计金额 of every detail row, in print order
    dialogs->onExec = [&](QDialog* d) {
        report::Layout* r = w->layout();
        QStringList fields; // of the detail band's texts, in order
        for (const report::Element& e : r->band(report::BandKind::Detail)->elements())
            if (e.kind() == report::Element::Kind::Field || e.kind() == report::Element::Kind::Label) fields << e.fieldName();
        for (const report::Page& page : r->pages()) {
            pages.push_back(letters(page.textList().join("")));
            int n = 0;
            for (const report::PageText& t : page.texts) {
                if (t.band != report::BandKind::Detail) continue;
                const QString field = fields[n++ % fields.size()];
                if (field == "spmc") names << t.text;
                if (field == "rest") balances << t.text;
            }
        }
        d->findChild<QAction*>("print")->trigger();
        return d->result();
    };
    w->reportClick();
    EXPECT_EQ(names, col("spmc"));
    EXPECT_EQ(balances, shown);
    EXPECT_FALSE(statementRows(w->desc())->active());

    QProcess p;
    p.start(tool, {folder() + "statement.pdf", "-"});
    ASSERT_TRUE(p.waitForFinished(60000));
    const QStringList sheets = QString::fromUtf8(p.readAllStandardOutput()).split(QChar('\f'), Qt::SkipEmptyParts);
    ASSERT_EQ(sheets.size(), int(pages.size()));
    for (int i = 0; i < sheets.size(); ++i) EXPECT_EQ(letters(sheets[i]), pages[size_t(i)]) << "sheet " << i + 1;
}

// 刷新 of a long statement reads the rows of its first screen once each,
// however many columns are fitted to them; the columns fit the first 200
// rows, and a wider text further down is cut short.
TEST_F(StatementTest, RefreshReadsTheFirstRowsOnceAndFitsTheColumnsToThem)
{
    const QString wide = "长名称商品一号", wider = "长名称商品一号还要更长些";
    receipts(300, [&](int i) { return i == 150 ? wide : i == 250 ? wider : QString("品"); });
    delete w;
    w = new StatementWindow(StatementKind::Customer, nullptr);
    w->resize(1000, 600);
    w->show();
    w->codeEdit->setText("2");
    qmtest::RowsRead read(frdm->ADOCon.handle());
    w->refreshClick();
    w->DBGrid2->grab();
    // The walk's first block and the values of the first screen's block, once.
    EXPECT_LT(read.rows(), 600);

    const QFontMetrics fm(w->DBGrid2->font());
    ASSERT_LT(fm.horizontalAdvance(wider), 30 * fm.horizontalAdvance(QChar('0')));
    const int width = w->DBGrid2->columnWidth(w->rows()->fieldColumn("spmc"));
    EXPECT_GE(width, fm.horizontalAdvance(wide));
    EXPECT_LT(width, fm.horizontalAdvance(wider));
}
