// Exit backup and compaction of the ten-year shop, against the same work done
// by plain tools in the same run: `cp` of the closed file (with and without a
// sync to disk), the sqlite3 shell's .backup and its VACUUM.
//   bench_backup [runs] [scale]
// The exit backup is the compaction followed by the weekday copy; each figure
// is the best of `runs` runs (default 3), on a private copy of the shop.
#include "admin/backup.h"
#include "common/paths.h"
#include "data/connection.h"
#include "measure.h"
#include "shopgen.h"
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const qm::bench::CopyBench bench(argc, argv);
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
    };
    const QString target = bench.dir.path() + "/cp.mdb";
    std::vector<qmbench::Measure> m = {
        {"cp of the closed file", [&] { qmbench::runTool("cp", {bench.working, target}); }},
        {"cp of the closed file, then sync", [&] { qmbench::runTool("cp", {bench.working, target}); qmbench::runTool("sync", {target}); }},
        {"sqlite3 .backup", [&] { qmbench::runTool("sqlite3", {bench.working, ".backup " + bench.dir.path() + "/shell.mdb"}); }},
        {"sqlite3 VACUUM", [&] { qmbench::runTool("sqlite3", {bench.working, "VACUUM"}); }},
        {"weekday copy (backup, check, rename)", [&] { qm::copyWorkingFolder("BAK1"); }},
        {"compaction", [&] { if (!qm::compactDatabase(bench.working)) std::exit(1); }},
        {"exit backup (compaction + weekday copy)", [&] { qm::compactDatabase(bench.working); qm::copyWorkingFolder("BAK1"); }},
    };
    qmbench::takeTurns(m, bench.runs, fresh);
    const double cpSync = m[1].best, shellBackup = m[2].best, shellVacuum = m[3].best;

    std::printf("ten-year shop: %.1f MB, %lld document rows; best of %d rounds\n", QFileInfo(bench.pristine).size() / 1048576.0,
                static_cast<long long>(bench.shop.totalRows()), bench.runs);
    for (const qmbench::Measure& x : m) std::printf("%-42s %8.0f ms\n", x.name, x.best);
    std::printf("weekday copy / (cp + sync)                 %8.2fx\n", m[4].best / cpSync);
    std::printf("weekday copy / sqlite3 .backup             %8.2fx\n", m[4].best / shellBackup);
    std::printf("compaction / sqlite3 VACUUM                %8.2fx\n", m[5].best / shellVacuum);
    std::printf("exit backup / (VACUUM + .backup)           %8.2fx\n", m[6].best / (shellVacuum + shellBackup));
    std::printf("exit backup / (VACUUM + cp + sync)         %8.2fx\n", m[6].best / (shellVacuum + cpSync));
    return 0;
}
