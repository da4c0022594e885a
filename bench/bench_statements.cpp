// The statements' and the journal's grid on the ten-year shop, each against
// raw SQLite doing the same work on the same file in the same run:
//   bench_statements [scale]
// first screen with the closing balance (总计) of the walk-in customer's
// ten-year statement and of the cash journal, scrolling to the end against
// the raw ordered read with the balance summed in code, last month's
// statement, the peak memory of the grid, the print's preparation, and the
// print of the walk-in customer's all-years statement with a second program
// writing beside it: the longest write transaction the print holds and the
// longest wait of the other program's writes, against raw SQLite filling the
// same rows with one INSERT ... SELECT (QM_BENCH_DETAIL=1 also splits the
// opening aggregate from the walk).
#if __has_include("shopgen.h")
#include "shopgen.h"
#include "common/formats.h"
#include "data/tfrdm.h"
#include "data/upgrades.h"
#include "layouts/report.h"
#include "layouts/reportlayouts.h"
#include "reports/statements.h"
#include "measure.h"
#include "rawstatement.h"
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <sqlite3.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <thread>

using namespace qm;
using namespace qm::reports;

namespace {
using qmbench::best;

// The raw ordered read: the rows of the range in order, every column read, the
// balance summed in code, and the opening as one aggregate before it.
double rawRead(sqlite3* db, StatementKind kind, const QString& code, const DateRange& r)
{
    const bool journal = kind == StatementKind::Journal;
    const QString cols = QStringLiteral("billdate,billname,djh,sphh,spmc,amount,deduck,pay,dj_n,unit,sl,sl_j,remark,billtype,mainintno,intno");
    QStringList parts;
    if (journal) {
        parts << QStringLiteral("SELECT billdate,'销售单',djh,bankid,bankname,pay,0,0,0,'',0,0,'','01',intno,'' FROM outlist "
                                "WHERE bankid=:p3 AND pass=1 AND cancel=0 AND pay<>0 AND billdate>=:p1 AND billdate<:p2");
        parts << QStringLiteral("SELECT billdate,'进货单',djh,bankid,bankname,0,0,-pay,0,'',0,0,'','02',intno,'' FROM inlist "
                                "WHERE bankid=:p3 AND pass=1 AND cancel=0 AND pay<>0 AND billdate>=:p1 AND billdate<:p2");
        for (const char* t : {"getdetail", "putdetail"})
            parts << QStringLiteral("SELECT %1 FROM %2 WHERE sphh=:p3 AND pass=1 AND cancel=0 AND spmc<>'上期结转' AND billdate>=:p1 AND billdate<:p2")
                         .arg(cols, QLatin1String(t));
    } else {
        for (const char* t : {"outdetail", "outbackdetail", "getdetail"})
            parts << QStringLiteral("SELECT %1 FROM %2 WHERE customerid=:p3 AND pass=1 AND cancel=0 AND spmc<>'上期结转' AND billdate>=:p1 AND billdate<:p2")
                         .arg(cols, QLatin1String(t));
    }
    QElapsedTimer t;
    t.start();
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, (parts.join(" UNION ALL ") + " ORDER BY 1, 15, 16").toUtf8().constData(), -1, &s, nullptr);
    auto bind = [s](const char* name, const QString& v) {
        const QByteArray b = v.toUtf8();
        sqlite3_bind_text(s, sqlite3_bind_parameter_index(s, name), b.constData(), b.size(), SQLITE_TRANSIENT);
    };
    bind(":p1", toDbDate(r.from));
    bind(":p2", toDbDate(r.to.addDays(1)));
    bind(":p3", code);
    double balance = 0;
    qint64 bytes = 0;
    while (sqlite3_step(s) == SQLITE_ROW) {
        for (int i = 0; i < 16; ++i)
            if (sqlite3_column_type(s, i) == SQLITE_TEXT) bytes += sqlite3_column_bytes(s, i);
        balance += sqlite3_column_double(s, 5) - sqlite3_column_double(s, 6) - sqlite3_column_double(s, 7);
    }
    sqlite3_finalize(s);
    const double secs = t.nsecsElapsed() / 1e9;
    if (bytes == 42 && balance == 0) std::puts(""); // keeps the reads
    return secs;
}

// The write transactions a connection holds on the shop's file, each from
// its BEGIN to the end of its COMMIT or ROLLBACK (transactions that only read
// the file, or write only the connection's own tables, are not counted).
struct WriteTransactions {
    QElapsedTimer clock;
    qint64 began = -1;
    bool wrote = false;
    double longest = 0;
    int count = 0;
    static int trace(unsigned what, void* self, void* stmt, void* ns)
    {
        auto* w = static_cast<WriteTransactions*>(self);
        auto* st = static_cast<sqlite3_stmt*>(stmt);
        const QByteArray sql(sqlite3_sql(st));
        const bool ends = sql.startsWith("COMMIT") || sql.startsWith("ROLLBACK");
        const qint64 now = w->clock.nsecsElapsed();
        if (what == SQLITE_TRACE_STMT) {
            if (ends) w->wrote = sqlite3_txn_state(sqlite3_db_handle(st), "main") == SQLITE_TXN_WRITE;
        } else if (sql.startsWith("BEGIN")) {
            w->began = now - *static_cast<qint64*>(ns);
        } else if (ends && w->began >= 0) {
            if (w->wrote) {
                w->longest = std::max(w->longest, (now - w->began) / 1e9);
                ++w->count;
            }
            w->began = -1;
        }
        return 0;
    }
    explicit WriteTransactions(sqlite3* db) : db_(db)
    {
        clock.start();
        sqlite3_trace_v2(db, SQLITE_TRACE_STMT | SQLITE_TRACE_PROFILE, &WriteTransactions::trace, this);
    }
    ~WriteTransactions() { sqlite3_trace_v2(db_, 0, nullptr, nullptr); }
    sqlite3* db_;
};

// A second program writing a row every 20 ms through a connection of its
// own, as the front desk does; the longest any of its writes waited.
class OtherWriter {
public:
    explicit OtherWriter(const QString& path)
    {
        sqlite3_open_v2(path.toUtf8().constData(), &db_, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_busy_timeout(db_, 60000);
        sqlite3_exec(db_, "CREATE TABLE IF NOT EXISTS benchwriter(x)", nullptr, nullptr, nullptr);
        thread_ = std::thread([this] {
            while (!stop_) {
                QElapsedTimer t;
                t.start();
                sqlite3_exec(db_, "BEGIN IMMEDIATE; INSERT INTO benchwriter VALUES (1); COMMIT", nullptr, nullptr, nullptr);
                const double w = t.nsecsElapsed() / 1e9;
                longest_ = std::max(longest_.load(), w);
                waits_.push_back(w);
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
    }
    ~OtherWriter()
    {
        stop();
        sqlite3_close(db_);
    }
    // Ends the writes once the one under way is done.
    void stop()
    {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    double longest() const { return longest_; }
    double median() const { return qmbench::median(waits_); }
    int writes() const { return int(waits_.size()); }

private:
    sqlite3* db_ = nullptr;
    std::atomic<bool> stop_{false};
    std::atomic<double> longest_{0};
    std::vector<double> waits_;
    std::thread thread_;
};

// Raw SQLite filling the print's rows of the walk-in customer in one
// transaction: the ordered INSERT ... SELECT without the running balance.
double rawFill(sqlite3* db, const QString& code, const DateRange& r)
{
    QElapsedTimer t;
    t.start();
    sqlite3_exec(db, "BEGIN IMMEDIATE; DELETE FROM custtotal1", nullptr, nullptr, nullptr);
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db,
                       (QStringLiteral("INSERT INTO custtotal1 (%1) ").arg(QLatin1String(qmbench::customerRowColumns())) + qmbench::customerRowsSql())
                           .toUtf8()
                           .constData(),
                       -1, &s, nullptr);
    qmbench::bindStatementRange(s, r, code);
    sqlite3_step(s);
    sqlite3_finalize(s);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    return t.nsecsElapsed() / 1e9;
}

struct Figures {
    double firstScreen = 0, toEnd = 0;
    int rows = 0;
};

// Opening the grid: the run with its aggregate and the first 40 rows' values;
// then every row walked and the last screen read.
Figures grid(StatementKind kind, const QString& code, const DateRange& r)
{
    const StatementDesc& d = statementDesc(kind);
    findParty(d, code);
    Dataset* party = partyDataset(d);
    Figures f;
    f.firstScreen = best([&] {
        StatementRun run(d, code, party->asString("name"), party->asFloat("rest"), r);
        run.walkTo(39);
        for (int i = 0; i < run.walked(); ++i) run.rowValues(i);
        if (run.closing() == 1e300) std::puts("");
    });
    if (qEnvironmentVariableIsSet("QM_BENCH_DETAIL")) {
        QElapsedTimer t;
        t.start();
        openingBalance(d, code, 0, r.from);
        const double agg = t.nsecsElapsed() / 1e9;
        StatementRun run(d, code, party->asString("name"), party->asFloat("rest"), r);
        t.restart();
        run.walkTo(run.rowCount());
        std::printf("  opening aggregate %.3f s, walk %.3f s\n", agg, t.nsecsElapsed() / 1e9);
    }
    f.toEnd = best([&] {
        StatementRun run(d, code, party->asString("name"), party->asFloat("rest"), r);
        run.walkTo(run.rowCount());
        for (int i = std::max(0, run.walked() - 40); i < run.walked(); ++i) run.rowValues(i);
        f.rows = run.walked();
    });
    return f;
}
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const bench::ShopFacts facts = bench::copyOfShopForRun("quillmart-bench-statements.db", argc, argv);
    const QString path = facts.path;

    frdm = new Tfrdm;
    frdm->connectTo(path);
    QElapsedTimer up;
    up.start();
    upgradeSchema(frdm->ADOCon); // the statements' indexes
    std::printf("indexes made in %.1f s\n", up.nsecsElapsed() / 1e9);
    sqlite3* raw = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);

    const QDate last = bench::shopLastDay();
    const DateRange all{bench::shopFirstDay(), last};
    const DateRange month{QDate(last.year(), last.month(), 1).addMonths(-1), QDate(last.year(), last.month(), 1).addDays(-1)};
    const long startKb = qmbench::statusKb("VmHWM:");

    struct Case {
        const char* what;
        StatementKind kind;
        DateRange r;
    };
    for (const Case& c : {Case{"walk-in statement, all years", StatementKind::Customer, all},
                          Case{"cash journal, all years", StatementKind::Journal, all},
                          Case{"walk-in statement, last month", StatementKind::Customer, month}}) {
        const Figures f = grid(c.kind, "0000000001", c.r);
        const double rr = best([&] { rawRead(raw, c.kind, "0000000001", c.r); });
        std::printf("%-32s %8d rows  first screen + 总计 %6.3f s  to the end %6.3f s  raw ordered read %6.3f s  ratio %4.2f\n", c.what,
                    f.rows, f.firstScreen, f.toEnd, rr, rr > 0 ? f.toEnd / rr : 0);
    }
    std::printf("peak memory of the grids: %.0f MB (%.0f MB at the start)\n", qmbench::statusKb("VmHWM:") / 1024.0, startKb / 1024.0);

    // The print of the walk-in customer's last year: the scratch table filled, then the pages laid out.
    const DateRange year{QDate(last.year() - 1, 1, 1), QDate(last.year() - 1, 12, 31)};
    const StatementDesc& cust = statementDesc(StatementKind::Customer);
    findParty(cust, "0000000001");
    QElapsedTimer t;
    t.start();
    buildStatement(cust, "0000000001", year);
    const double fill = t.nsecsElapsed() / 1e9;
    auto layout = report::buildLayout(cust.layout, statementRows(cust));
    layout->ReportTitle = QStringLiteral("bench");
    t.restart();
    const int pages = layout->Prepare();
    std::printf("print of the walk-in statement of %d: %d rows filled in %.2f s, %d pages laid out in %.2f s\n", year.from.year(),
                statementRows(cust)->recordCount(), fill, pages, t.nsecsElapsed() / 1e9);

    layout.reset();

    // The print of the walk-in customer's whole history, a second program
    // writing meanwhile. The scratch table starts full, as after an earlier print.
    const double rawSecs = rawFill(raw, "0000000001", all);
    auto other = std::make_unique<OtherWriter>(path);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    auto tx = std::make_unique<WriteTransactions>(frdm->ADOCon.handle());
    t.restart();
    buildStatement(cust, "0000000001", all);
    const double secs = t.nsecsElapsed() / 1e9;
    const int tx_count = tx->count;
    const double tx_longest = tx->longest;
    tx.reset(); // the trace ends with the print
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    other->stop();
    std::printf("print of the walk-in statement, all years: %d rows in %.2f s (raw INSERT ... SELECT in one transaction "
                "%.2f s, ratio %.2f); %d write transactions, the longest %.3f s; the other program's %d writes waited "
                "%.3f s at most (median %.3f s)\n",
                statementRows(cust)->recordCount(), secs, rawSecs, secs / rawSecs, tx_count, tx_longest, other->writes(),
                other->longest(), other->median());
    other.reset();
    sqlite3_close(raw);
    delete frdm;
    frdm = nullptr;
    QFile::remove(path);
    return 0;
}
#else
#include <cstdio>
int main()
{
    std::puts("bench_statements needs the shop generator (bench/shopgen.h)");
    return 0;
}
#endif
