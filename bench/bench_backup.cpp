// Exit backup and compaction of the ten-year shop, against the same work done
// by plain tools in the same run: `cp` of the closed file (with and without a
// sync to disk), the sqlite3 shell's .backup and its VACUUM, and raw SQLite's
// VACUUM INTO a new file followed by quick_check of it. Then the check every
// copy passes before it replaces another, with four threads and with the two
// of the copy to bak/, against SQLite's integrity_check of the file.
//   bench_backup [runs] [scale] [check]
// The exit backup compacts into a new file, checks it and copies it to the
// weekday folder (compactAndBackUp); the way it went before, the compaction
// in place followed by the weekday copy, is measured beside it. Each figure
// is the best of `runs` rounds (default 3), the measures taking turns, on a
// private copy of the shop. "check" measures the check alone, on the shop as
// generated (only read).
#include "admin/backup.h"
#include "common/paths.h"
#include "data/connection.h"
#include "data/databasecheck.h"
#include "measure.h"
#include "shopgen.h"
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sqlite3.h>
#include <functional>
#include <vector>

namespace {

// The copy check against SQLite's full check of the same file, taking turns.
void measureCheck(const qm::bench::CopyBench& bench)
{
    const QString shop = qm::bench::tenYearShop(bench.spec).path;
    auto check = [&](int threads) {
        const qm::DatabaseCheck c = qm::checkCopy(shop, {}, threads);
        if (c.state != qm::DatabaseFileState::Usable) {
            std::fprintf(stderr, "copy check failed: %s\n", qPrintable(c.detail));
            std::exit(1);
        }
    };
    auto integrityCheck = [&] {
        sqlite3* db = nullptr;
        sqlite3_stmt* st = nullptr;
        bool ok = sqlite3_open_v2(QFile::encodeName(shop).constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK
                  && sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW
                  && std::strcmp(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), "ok") == 0;
        sqlite3_finalize(st);
        sqlite3_close_v2(db);
        if (!ok) {
            std::fprintf(stderr, "integrity_check failed\n");
            std::exit(1);
        }
    };
    std::vector<qmbench::Measure> m = {
        {"copy check, 4 threads", [&] { check(4); }},
        {"copy check, 2 threads", [&] { check(2); }},
        {"PRAGMA integrity_check", integrityCheck},
    };
    qmbench::takeTurns(m, bench.runs, [] {});
    std::printf("copy check of the shop as generated (%.1f MB); best of %d rounds\n", QFileInfo(shop).size() / 1048576.0, bench.runs);
    for (const qmbench::Measure& x : m) std::printf("%-42s %8.0f ms\n", x.name, x.best);
    std::printf("copy check, 4 threads / integrity_check    %8.2fx\n", m[0].best / m[2].best);
    std::printf("copy check, 2 threads / integrity_check    %8.2fx\n", m[1].best / m[2].best);
}

}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const qm::bench::CopyBench bench(argc, argv);
    if (argc > 3 && std::strcmp(argv[3], "check") == 0) {
        measureCheck(bench);
        return 0;
    }
    {
        // Free pages left behind, as a year of deleted blank rows and
        // year-ends leave them, so that the compaction has work to do.
        qm::Connection c;
        c.open(bench.pristine);
        c.exec("DELETE FROM outdetail WHERE rowid % 20 = 0");
    }
    auto fresh = [&] {
        QFile::remove(bench.working);
        QFile::copy(bench.pristine, bench.working);
        QDir(bench.dir.path() + "/BAK1").removeRecursively();
        QFile::remove(bench.dir.path() + "/cp.mdb");
        QFile::remove(bench.dir.path() + "/shell.mdb");
        QFile::remove(bench.dir.path() + "/into.mdb");
    };
    // Raw SQLite: VACUUM INTO a new file, then quick_check of that file.
    auto vacuumIntoAndQuickCheck = [&] {
        const QString into = bench.dir.path() + "/into.mdb";
        sqlite3* db = nullptr;
        sqlite3_open_v2(bench.working.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        const QByteArray sql = "VACUUM INTO '" + into.toUtf8() + "'";
        if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) != SQLITE_OK) std::exit(1);
        sqlite3_close(db);
        sqlite3_open_v2(into.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        bool ok = false;
        sqlite3_exec(db, "PRAGMA quick_check", [](void* p, int, char** v, char**) {
            *static_cast<bool*>(p) = v[0] && QByteArray(v[0]) == "ok";
            return 0;
        }, &ok, nullptr);
        sqlite3_close(db);
        if (!ok) std::exit(1);
    };
    const QString target = bench.dir.path() + "/cp.mdb";
    std::vector<qmbench::Measure> m = {
        {"cp of the closed file", [&] { qmbench::runTool("cp", {bench.working, target}); }},
        {"cp of the closed file, then sync", [&] { qmbench::runTool("cp", {bench.working, target}); qmbench::runTool("sync", {target}); }},
        {"sqlite3 .backup", [&] { qmbench::runTool("sqlite3", {bench.working, ".backup " + bench.dir.path() + "/shell.mdb"}); }},
        {"sqlite3 VACUUM", [&] { qmbench::runTool("sqlite3", {bench.working, "VACUUM"}); }},
        {"weekday copy (backup, check, rename)", [&] { qm::copyWorkingFolder("BAK1"); }},
        {"compaction", [&] { if (!qm::compactDatabase(bench.working)) std::exit(1); }},
        {"compaction in place + weekday copy (before)", [&] { qm::compactDatabase(bench.working); qm::copyWorkingFolder("BAK1"); }},
        {"raw VACUUM INTO + quick_check", vacuumIntoAndQuickCheck},
        {"exit backup (compactAndBackUp)", [&] {
             const qm::ExitBackupResult r = qm::compactAndBackUp("BAK1");
             if (!r.compactionFailure.isEmpty() || !r.copied) std::exit(1);
         }},
    };
    qmbench::takeTurns(m, bench.runs, fresh);
    const double cpSync = m[1].best, shellBackup = m[2].best, shellVacuum = m[3].best;

    std::printf("ten-year shop: %.1f MB, %lld document rows; best of %d rounds\n", QFileInfo(bench.pristine).size() / 1048576.0,
                static_cast<long long>(bench.shop.totalRows()), bench.runs);
    for (const qmbench::Measure& x : m) std::printf("%-42s %8.0f ms\n", x.name, x.best);
    std::printf("weekday copy / (cp + sync)                 %8.2fx\n", m[4].best / cpSync);
    std::printf("weekday copy / sqlite3 .backup             %8.2fx\n", m[4].best / shellBackup);
    std::printf("compaction / sqlite3 VACUUM                %8.2fx\n", m[5].best / shellVacuum);
    const double raw = m[7].best;
    std::printf("exit backup / (VACUUM INTO + quick_check)  %8.2fx\n", m[8].best / raw);
    std::printf("before / (VACUUM INTO + quick_check)       %8.2fx\n", m[6].best / raw);
    std::printf("exit backup / (VACUUM + cp + sync)         %8.2fx\n", m[8].best / (shellVacuum + cpSync));
    measureCheck(bench);
    return 0;
}
