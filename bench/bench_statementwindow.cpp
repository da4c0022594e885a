// The statement window's 刷新 on the ten-year shop, as the operator sees it:
// the run, the grid's columns fitted and its first screen painted, for the
// walk-in customer over all years and over the last full year, against raw
// SQLite reading the same first screen (the opening aggregate and the first
// rows of the range in order) in the same run:
//   bench_statementwindow [scale] [rounds]
#if __has_include("shopgen.h")
#include "shopgen.h"
#include "app/tfrmain.h"
#include "common/dialogs.h"
#include "common/formats.h"
#include "common/paths.h"
#include "data/tfrdm.h"
#include "data/upgrades.h"
#include "reports/statementwindow.h"
#include "measure.h"
#include "rawstatement.h"
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <sqlite3.h>
#include <cstdio>

using namespace qm;
using namespace qm::reports;

namespace {
// Raw SQLite: the balance before the range and the rows in it counted, then
// the first screen's rows in order, every shown column.
double rawFirstScreen(sqlite3* db, const DateRange& r, int rows)
{
    QStringList sums;
    for (const char* t : {"outdetail", "outbackdetail", "getdetail"})
        sums << QStringLiteral("SELECT total(CASE WHEN billdate<:p1 THEN amount END), count(CASE WHEN billdate>=:p1 THEN 1 END) FROM %1 "
                               "WHERE customerid=:p3 AND pass=1 AND cancel=0 AND billdate<:p2")
                    .arg(QLatin1String(t));
    QElapsedTimer t;
    t.start();
    for (const QString& sql : {sums.join(" UNION ALL "), qmbench::customerRowsSql() + QStringLiteral(" LIMIT %1").arg(rows)}) {
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &s, nullptr);
        qmbench::bindStatementRange(s, r, QStringLiteral("0000000001"));
        if (qmbench::readEveryRow(s) == 42) std::puts(""); // keeps the reads
        sqlite3_finalize(s);
    }
    return t.nsecsElapsed() / 1e9;
}
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QByteArray file = QByteArrayLiteral("quillmart-bench-statementwindow-") + QByteArray::number(QCoreApplication::applicationPid()) + ".db";
    const bench::ShopFacts facts = bench::copyOfShopForRun(file.constData(), argc, argv);
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;

    QTemporaryDir folder;
    AppPaths::setProgramFolder(folder.path());
    dlg::setBackend(std::make_unique<ScriptedDialogs>());
    frmain = new Tfrmain;
    frdm = new Tfrdm;
    frdm->connectTo(facts.path);
    upgradeSchema(frdm->ADOCon); // the statements' indexes
    frmain->operatorCode = QStringLiteral("999");
    sqlite3* raw = nullptr;
    sqlite3_open_v2(facts.path.toUtf8().constData(), &raw, SQLITE_OPEN_READONLY, nullptr);

    auto* w = new StatementWindow(StatementKind::Customer, nullptr);
    w->resize(1000, 640);
    w->show();
    QApplication::processEvents();
    const QDate last = bench::shopLastDay();
    struct Case {
        const char* what;
        DateRange r;
    };
    for (const Case& c : {Case{"walk-in statement, all years", {bench::shopFirstDay(), last}},
                          Case{"walk-in statement, last full year", {QDate(last.year() - 1, 1, 1), QDate(last.year() - 1, 12, 31)}}}) {
        w->MaskEdit1->setText(c.r.from.toString(QStringLiteral("yyyy-MM-dd")));
        w->MaskEdit2->setText(c.r.to.toString(QStringLiteral("yyyy-MM-dd")));
        w->codeEdit->setText(QStringLiteral("1"));
        std::vector<double> ours, rawTimes;
        int shown = 0;
        for (int i = 0; i <= rounds; ++i) {
            QElapsedTimer t;
            t.start();
            w->refreshClick();
            w->DBGrid2->grab(); // the first screen painted
            const double secs = t.nsecsElapsed() / 1e9;
            shown = w->DBGrid2->model()->rowCount();
            const double rr = rawFirstScreen(raw, c.r, 64);
            if (i == 0) continue; // the first round warms the file's cache
            ours.push_back(secs);
            rawTimes.push_back(rr);
        }
        const double o = qmbench::median(ours), rr = qmbench::median(rawTimes);
        std::printf("%-34s %8d rows  刷新 to the first screen %6.1f ms (median of %d)  raw first screen %5.1f ms  ratio %4.1f\n", c.what,
                    shown, o * 1e3, rounds, rr * 1e3, o / rr);
        std::fflush(stdout);
    }
    delete w;
    sqlite3_close(raw);
    delete frdm;
    frdm = nullptr;
    delete frmain;
    frmain = nullptr;
    QFile::remove(facts.path);
    return 0;
}
#else
#include <cstdio>
int main()
{
    std::puts("bench_statementwindow needs the shop generator (bench/shopgen.h)");
    return 0;
}
#endif
