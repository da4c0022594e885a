// The report windows' runs on the ten-year shop, each against raw SQLite doing
// the same work on the same file in the same run (best of three):
//   bench_reports [scale]
// the sales and purchase summaries and 分类汇总 over the last full year, the
// walk-in customer's statement over one year and over ten, the cash journal and
// a product's history over ten years, and the preparation of the printed sales
// summary of a year (pages per second, peak memory).
#if __has_include("shopgen.h")
#include "shopgen.h"
#include "common/formats.h"
#include "data/tfrdm.h"
#include "data/upgrades.h"
#include "layouts/reportlayouts.h"
#include "reports/statements.h"
#include "reports/summaries.h"
#include "measure.h"
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <sqlite3.h>
#include <cstdio>
#include <functional>

using namespace qm;
using namespace qm::reports;

namespace {
using qmbench::best;

// Raw SQLite on its own handle of the same file.
struct Raw {
    sqlite3* db = nullptr;
    explicit Raw(const QString& path)
    {
        sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_busy_timeout(db, 5000);
    }
    ~Raw() { sqlite3_close(db); }
    void exec(const char* sql) { sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }
    sqlite3_stmt* prepare(const QString& sql)
    {
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &s, nullptr);
        return s;
    }
    static void text(sqlite3_stmt* s, const char* name, const QString& v)
    {
        const QByteArray b = v.toUtf8();
        sqlite3_bind_text(s, sqlite3_bind_parameter_index(s, name), b.constData(), b.size(), SQLITE_TRANSIENT);
    }
    // Steps through every row reading every column, as loading them does.
    static qint64 readAll(sqlite3_stmt* s)
    {
        qint64 bytes = 0;
        const int n = sqlite3_column_count(s);
        while (sqlite3_step(s) == SQLITE_ROW)
            for (int i = 0; i < n; ++i) {
                if (sqlite3_column_type(s, i) == SQLITE_TEXT) bytes += sqlite3_column_bytes(s, i);
                else bytes += qint64(sqlite3_column_double(s, i));
            }
        sqlite3_finalize(s);
        return bytes;
    }
};

const QString kPosted = QStringLiteral("spmc<>'上期结转' and pass=1 and (cancel is null or cancel=0) and billdate>=:p1 and billdate<:p2");

void rawSummary(Raw& raw, const SummaryDesc& d, const DateRange& r)
{
    raw.exec("BEGIN IMMEDIATE");
    raw.exec("delete from totallist");
    sqlite3_stmt* s = raw.prepare(QStringLiteral("insert into totallist(%1) select %2 from %3 where %4").arg(d.totalsColumns, d.sums, d.rowTable, kPosted));
    Raw::text(s, ":p1", toDbDate(r.from));
    Raw::text(s, ":p2", toDbDate(r.to.addDays(1)));
    sqlite3_step(s);
    sqlite3_finalize(s);
    raw.exec("COMMIT");
    Raw::readAll(raw.prepare("select * from totallist"));
    s = raw.prepare(QStringLiteral("select * from %1 where %2 order by billdate, mainintno, intno").arg(d.rowTable, kPosted));
    Raw::text(s, ":p1", toDbDate(r.from));
    Raw::text(s, ":p2", toDbDate(r.to.addDays(1)));
    Raw::readAll(s);
}

void rawGrouped(Raw& raw, const SummaryDesc& d, const DateRange& r)
{
    raw.exec("BEGIN IMMEDIATE");
    raw.exec("delete from totallist");
    raw.exec("delete from custtotal");
    for (const QString& sql : {QStringLiteral("insert into totallist(%1) select %2 from %3 where %4").arg(d.totalsColumns, d.sums, d.rowTable, kPosted),
                               QStringLiteral("insert into custtotal(spintno,sphh,spmc,unit,sl,amount,deduck,pay) select spintno,sphh,"
                                              "spmc,unit,sum(sl),sum(amount),sum(deduck),sum(pay) from %1 where %2 group by spintno,sphh,spmc,unit")
                                   .arg(d.rowTable, kPosted)}) {
        sqlite3_stmt* s = raw.prepare(sql);
        Raw::text(s, ":p1", toDbDate(r.from));
        Raw::text(s, ":p2", toDbDate(r.to.addDays(1)));
        sqlite3_step(s);
        sqlite3_finalize(s);
    }
    raw.exec("COMMIT");
    Raw::readAll(raw.prepare("select * from custtotal order by spintno, rowid"));
}

// The customer statement by hand: the opening as one aggregate, the range as
// one ordered query, its rows written by one prepared statement, then read back.
void rawStatement(Raw& raw, const QString& code, const DateRange& r)
{
    const char* src[] = {"outdetail", "outbackdetail", "getdetail"};
    QStringList agg, rows;
    for (const char* t : src) {
        const QString pay = QLatin1String(t) == QLatin1String("outdetail") ? QStringLiteral("0") : QStringLiteral("pay");
        agg << QStringLiteral("SELECT total(CASE WHEN billtype IN ('01','03') THEN amount-deduck-%1 ELSE -amount-deduck-%1 END) AS x "
                              "FROM %2 WHERE pass=1 and cancel=0 and customerid=:p3 and spmc<>'上期结转' and billdate<:p1").arg(pay, t);
        rows << QStringLiteral("SELECT billdate,billname,djh,sphh,spmc,amount,deduck,%1 AS pay,dj_n,unit,sl,sl_j,remark,billtype,mainintno,intno "
                               "FROM %2 WHERE pass=1 and cancel=0 and customerid=:p3 and spmc<>'上期结转' and billdate>=:p1 and billdate<:p2")
                        .arg(pay, t);
    }
    sqlite3_stmt* a = raw.prepare(QStringLiteral("SELECT sum(x) FROM (%1)").arg(agg.join(" UNION ALL ")));
    Raw::text(a, ":p1", toDbDate(r.from));
    Raw::text(a, ":p3", code);
    double balance = 0;
    if (sqlite3_step(a) == SQLITE_ROW) balance = sqlite3_column_double(a, 0);
    sqlite3_finalize(a);
    raw.exec("BEGIN IMMEDIATE");
    raw.exec("delete from custtotal");
    raw.exec("delete from custtotal1");
    sqlite3_stmt* ins = raw.prepare("INSERT INTO custtotal1 (billdate,billname,djh,sphh,spmc,amount,deduck,pay,dj_n,unit,sl,sl_j,remark,billtype,mainintno,intno,rest) "
                                    "VALUES (?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?12,?13,?14,?15,?16,?17)");
    sqlite3_stmt* s = raw.prepare(rows.join(" UNION ALL ") + " ORDER BY billdate,billtype,sphh,mainintno,intno");
    Raw::text(s, ":p1", toDbDate(r.from));
    Raw::text(s, ":p2", toDbDate(r.to.addDays(1)));
    Raw::text(s, ":p3", code);
    while (sqlite3_step(s) == SQLITE_ROW) {
        const QString t = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, 13)));
        const double am = sqlite3_column_double(s, 5), de = sqlite3_column_double(s, 6), pa = sqlite3_column_double(s, 7);
        balance = (t == "01" || t == "03") ? balance + am - de - pa : balance - am - de - pa;
        for (int i = 0; i < 16; ++i) sqlite3_bind_value(ins, i + 1, sqlite3_column_value(s, i));
        sqlite3_bind_double(ins, 17, balance);
        sqlite3_step(ins);
        sqlite3_reset(ins);
    }
    sqlite3_finalize(s);
    sqlite3_finalize(ins);
    raw.exec("COMMIT");
    Raw::readAll(raw.prepare("select * from custtotal1 order by rowid"));
}

void line(const char* what, double ours, double raw, double aimRatio, double aimSeconds)
{
    std::printf("%-44s %8.3f s  raw %8.3f s  ratio %5.2f  (aim <= %.1fx, < %.1f s)\n", what, ours, raw, raw > 0 ? ours / raw : 0,
                aimRatio, aimSeconds);
}
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const bench::ShopFacts facts = bench::copyOfShopForRun("quillmart-bench-reports.db", argc, argv);
    const QString path = facts.path;

    frdm = new Tfrdm;
    frdm->connectTo(path);
    upgradeSchema(frdm->ADOCon); // the report indexes
    Raw raw(path);

    const QDate last = bench::shopLastDay();
    const DateRange year{QDate(last.year() - 1, 1, 1), QDate(last.year() - 1, 12, 31)};
    const DateRange all{bench::shopFirstDay(), last};
    const qint64 yearSales = frdm->ADOCon.scalar("SELECT count(*) FROM outdetail WHERE billdate>=:p1 AND billdate<:p2",
                                                 rangeParams(year)).toLongLong();
    std::printf("sales rows in %d: %lld\n", year.from.year(), static_cast<long long>(yearSales));

    for (SummaryKind k : {SummaryKind::Sales, SummaryKind::Purchases}) {
        const SummaryDesc& d = summaryDesc(k);
        const double ours = best([&] { runSummary(d, year, {}); });
        const double r = best([&] { rawSummary(raw, d, year); });
        line(qPrintable(QStringLiteral("summary %1, one year").arg(d.rowTable)), ours, r, 1.5, 0.3);
        const double og = best([&] { runGroupedSummary(d, year, {}); });
        const double rg = best([&] { rawGrouped(raw, d, year); });
        line(qPrintable(QStringLiteral("分类汇总 %1, one year").arg(d.rowTable)), og, rg, 1.5, 0.3);
    }

    // The printed sales summary of a year.
    runSummary(summaryDesc(SummaryKind::Sales), year, {});
    auto layout = report::buildLayout(QStringLiteral("Tfrrouttotal"), frdm->AQoutdetail);
    const long before = qmbench::statusKb("VmHWM:");
    QElapsedTimer t;
    t.start();
    int calls = 0;
    layout->onPage = [&calls](int) { ++calls; return true; };
    holdRowsForPrint(); // as the window's 打印 does
    const int pages = layout->Prepare();
    const double secs = t.nsecsElapsed() / 1e9;
    std::printf("print of the year's sales summary: %d pages in %.2f s, %.0f pages/s, peak memory %.0f MB (%.0f MB before)\n",
                pages, secs, pages / secs, qmbench::statusKb("VmHWM:") / 1024.0, before / 1024.0);
    layout.reset();
    const StatementDesc& cust = statementDesc(StatementKind::Customer);
    for (int i = 0; i < 2; ++i) {
        const DateRange r = i == 0 ? year : all;
        const double ours = best([&] {
            findParty(cust, "0000000001");
            buildStatement(cust, "0000000001", r);
        });
        const double rr = best([&] { rawStatement(raw, "0000000001", r); });
        std::printf("  statement rows shown: %d\n", frdm->AQoutdetail->recordCount());
        line(i == 0 ? "walk-in statement, one year" : "walk-in statement, ten years", ours, rr, 2.0, 0.5);
    }

    const StatementDesc& journal = statementDesc(StatementKind::Journal);
    const double oj = best([&] {
        findParty(journal, "0000000001");
        buildStatement(journal, "0000000001", all);
    });
    std::printf("cash journal, ten years: %.3f s, %d rows (aim < 0.5 s)\n", oj, frdm->AQoutdetail->recordCount());
    const QString product = frdm->ADOCon.scalar("SELECT spintno FROM outdetail GROUP BY spintno ORDER BY count(*) DESC LIMIT 1").toString();
    const double oh = best([&] { fillProductHistory(product); });
    std::printf("product history, ten years: %.3f s, %d rows (aim < 0.5 s)\n", oh, frdm->AQdetail->recordCount());

    delete frdm;
    frdm = nullptr;
    QFile::remove(path);
    return 0;
}
#else
#include <cstdio>
int main()
{
    std::puts("bench_reports needs the shop generator (bench/shopgen.h)");
    return 0;
}
#endif
