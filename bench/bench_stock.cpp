// The stock menu over 100,000 generated products: each report from its menu
// command to the painted grid, against raw SQLite reading the same rows; then
// the time until the result column (and the stock value's totals) is stored.
// Prints the times and the peak memory.
// Usage: bench_stock [COUNT]
#include "app/tfrmain.h"
#include "common/dialogs.h"
#include "common/paths.h"
#include "data/schema.h"
#include "data/tfrdm.h"
#include "masterdata/stocklogic.h"
#include "masterdata/tfrproductp.h"
#include "shell/commands.h"
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTableView>
#include <QTemporaryDir>
#include <sqlite3.h>
#include <cstdio>
#include <cstdlib>

#include "benchsupport.h"

namespace {
// The same work on a connection of its own: the update in one transaction,
// then every row and column of the list read.
qint64 rawMs(const QString& path, const QString& update, const QString& select, const QString& today)
{
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    sqlite3_exec(db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    QElapsedTimer t;
    t.start();
    if (!update.isEmpty()) {
        sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        sqlite3_exec(db, update.toUtf8().constData(), nullptr, nullptr, nullptr);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    }
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, select.toUtf8().constData(), -1, &st, nullptr);
    const QByteArray day = today.toUtf8();
    if (sqlite3_bind_parameter_count(st) > 0) sqlite3_bind_text(st, 1, day.constData(), -1, SQLITE_TRANSIENT);
    long long bytes = 0;
    while (sqlite3_step(st) == SQLITE_ROW)
        for (int i = 0; i < sqlite3_column_count(st); ++i) {
            if (sqlite3_column_type(st, i) == SQLITE_TEXT) bytes += sqlite3_column_bytes(st, i);
            else bytes += sqlite3_column_int64(st, i) != 0;
        }
    sqlite3_finalize(st);
    qint64 ms = t.elapsed();
    sqlite3_close(db);
    return bytes >= 0 ? ms : 0;
}
}

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    qmbench::Shop shop;
    const QString path = shop.path();
    qmbench::generateProducts(frdm->ADOCon, count);
    frdm->applyNumberFormats();
    const QString today = qm::Clock::today().toString("yyyy-MM-dd 00:00:00");

    struct Run {
        const char* item;
        int mode;
    };
    const Run runs[] = {{"N4", 0}, {"N5", 5}, {"N7", 6}, {"N8", 1}, {"N9", 2}, {"N11", 3},
                        {"N12", 4}, {"N19", 7}, {"N21", 8}, {"N23", 9}};
    std::printf("products %d\n%-6s %-28s %8s %8s %8s %6s %10s\n", count, "item", "list", "rows", "ms", "raw ms", "ratio",
                "stored ms");
    for (const Run& r : runs) {
        // The result column is set back so that each report writes every row, as the first run of a day does.
        frdm->ADOCon.exec("UPDATE product SET resl=NULL");
        QElapsedTimer t;
        t.start();
        qm::runCommand(QString::fromLatin1(r.item));
        TFrproductp* w = Frproductp;
        app.processEvents();
        w->DBGrid1->viewport()->repaint();
        const qint64 ms = t.elapsed();
        qm::stock::waitForStoredResults();
        const qint64 stored = t.elapsed();
        const int rows = frdm->Aqproduct->recordCount();
        const QString caption = w->windowTitle();
        w->close();
        app.processEvents();

        frdm->ADOCon.exec("UPDATE product SET resl=NULL");
        const qm::stock::Mode* m = qm::stock::mode(r.mode);
        const QString update;
        QString select = qm::stock::stocktakingSql();
        if (m) select = qm::stock::prepareReport(r.mode, qm::Clock::today()).sql;
        frdm->ADOCon.exec("UPDATE product SET resl=NULL");
        const qint64 raw = rawMs(path, update, select, today);
        std::printf("%-6s %-28s %8d %8lld %8lld %6.2f %10lld\n", r.item, qPrintable(caption), rows, (long long)ms,
                    (long long)raw, raw > 0 ? double(ms) / double(raw) : 0.0, (long long)stored);
    }
    std::printf("peak memory %.1f MB\n", qmbench::statusKb("VmHWM:") / 1024.0);
    return 0;
}
