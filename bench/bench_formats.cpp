// Display formatting per cell: stored dates and numbers in the data module's
// patterns, against the same texts written with snprintf in the same run.
//   bench_formats [cells]
#include "common/formats.h"
#include "data/connection.h"
#include "data/dataset.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

template <typename F>
static double perCellNs(int n, F&& f)
{
    double best = 1e18;
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < n; ++i) f(i);
        best = std::min(best, double(t.nsecsElapsed()) / n);
    }
    return best;
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int n = argc > 1 ? atoi(argv[1]) : 200000;
    std::vector<QString> stamps;
    std::vector<double> values;
    for (int i = 0; i < 1000; ++i) {
        stamps.push_back(QString::asprintf("2026-%02d-%02d %s", 1 + i % 12, 1 + i % 28, i % 3 ? "00:00:00" : "14:30:05"));
        values.push_back(i * 1.37 - 250);
    }
    qint64 sink = 0;
    const double date = perCellNs(n, [&](int i) { sink += qm::formatDbStamp(stamps[size_t(i % 1000)]).size(); });
    const double dateRaw = perCellNs(n, [&](int i) {
        const QString& s = stamps[size_t(i % 1000)];
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.10s", s.toLatin1().constData());
        sink += QString::fromLatin1(buf).size();
    });
    const double amount = perCellNs(n, [&](int i) { sink += qm::formatFloat("#,##0.00", values[size_t(i % 1000)]).size(); });
    const double amountRaw = perCellNs(n, [&](int i) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.2f", values[size_t(i % 1000)]);
        sink += QString::fromLatin1(buf).size();
    });

    // Through a dataset, as grids and reports read it.
    QTemporaryDir dir;
    qm::Connection db;
    db.open(dir.path() + "/f.db", true);
    db.exec("CREATE TABLE t(d DATETIME, a REAL)");
    {
        qm::Transaction t(db);
        for (int i = 0; i < 1000; ++i) db.exec("INSERT INTO t VALUES(:p1,:p2)", {{"p1", stamps[size_t(i)]}, {"p2", values[size_t(i)]}});
        t.commit();
    }
    qm::Dataset ds(&db, "t");
    ds.setSql("SELECT * FROM t");
    ds.open();
    ds.fieldByName("a")->displayFormat = "0.00";
    const int di = ds.fieldIndex("d"), ai = ds.fieldIndex("a");
    const double cellDate = perCellNs(n, [&](int i) { sink += ds.displayText(i % 1000, di).size(); });
    const double cellAmount = perCellNs(n, [&](int i) { sink += ds.displayText(i % 1000, ai).size(); });

    std::printf("stored date to text: %.0f ns per cell (snprintf %.0f ns, ratio %.1f)\n", date, dateRaw, date / dateRaw);
    std::printf("amount \"#,##0.00\": %.0f ns per cell (snprintf \"%%.2f\" %.0f ns, ratio %.1f)\n", amount, amountRaw,
                amount / amountRaw);
    std::printf("dataset display text: date %.0f ns, amount %.0f ns per cell\n", cellDate, cellAmount);
    return sink == 42 ? 1 : 0;
}
