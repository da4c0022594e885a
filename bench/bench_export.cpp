// The product list's full spreadsheet export over 100,000 generated products:
// the command from the question to the saved workbook, against raw SQLite
// reading the same rows into a workbook written the same way. Prints the
// times, the file size and the memory.
// Usage: bench_export [COUNT]
#include "app/tfrmain.h"
#include "common/dialogs.h"
#include "common/paths.h"
#include "common/shell.h"
#include "data/schema.h"
#include "data/tfrdm.h"
#include "masterdata/productexport.h"
#include "masterdata/tfrproduct.h"
#include "shell/commands.h"
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <sqlite3.h>
#include <xlsxwriter.h>
#include <cstdio>
#include <cstdlib>

#include "benchsupport.h"

namespace {
using qmbench::statusKb;

qint64 rawMs(const QString& db, const QString& out)
{
    QElapsedTimer t;
    t.start();
    sqlite3* h = nullptr;
    sqlite3_open(db.toUtf8().constData(), &h);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(h, qm::product::exportSql(false, false).toUtf8().constData(), -1, &st, nullptr);
    lxw_workbook_options o = {};
    o.constant_memory = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(out.toUtf8().constData(), &o);
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    lxw_row_t row = 1;
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int c = 0; c < 10; ++c) {
            if (sqlite3_column_type(st, c) == SQLITE_FLOAT)
                worksheet_write_number(sheet, row, lxw_col_t(c), sqlite3_column_double(st, c), nullptr);
            else if (sqlite3_column_bytes(st, c) > 0)
                worksheet_write_string(sheet, row, lxw_col_t(c), reinterpret_cast<const char*>(sqlite3_column_text(st, c)), nullptr);
        }
        ++row;
    }
    sqlite3_finalize(st);
    sqlite3_close(h);
    workbook_close(book);
    return t.elapsed();
}
}

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    qmbench::Shop shop;
    const QString path = shop.path();
    qm::ScriptedDialogs* dialogs = shop.dialogs;
    qm::shell::setHook([](const QString&, const QString&) { return true; });
    QTemporaryDir& dir = shop.dir;
    qmbench::generateProducts(frdm->ADOCon, count);

    qm::runCommand("N14");
    TFrproduct* list = Frproduct;
    app.processEvents();
    const long before = statusKb("VmRSS:");
    const QString out = dir.path() + "/excel/all.xlsx";
    dialogs->files = {out};
    QElapsedTimer t;
    t.start();
    list->ExportAll->trigger();
    const qint64 ms = t.elapsed();
    const long peak = statusKb("VmHWM:");
    const qint64 raw = rawMs(path, dir.path() + "/raw.xlsx");

    std::printf("products              %d\n", count);
    std::printf("export command        %lld ms\n", (long long)ms);
    std::printf("raw sqlite + writer   %lld ms (ratio %.2f)\n", (long long)raw, raw > 0 ? double(ms) / double(raw) : 0.0);
    std::printf("file                  %.1f MB (%s)\n", QFileInfo(out).size() / 1048576.0,
                qPrintable(dialogs->lastMessage()));
    std::printf("RSS before export     %.1f MB\n", before / 1024.0);
    std::printf("peak (VmHWM)          %.1f MB\n", peak / 1024.0);
    list->close();
    return 0;
}
