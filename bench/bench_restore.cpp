// Restore of a backup over the ten-year shop, against its raw floor in the
// same run: the sqlite3 shell's quick_check of the backup plus `cp` of it and
// a sync to disk.
//   bench_restore [runs] [scale]
// Each figure is the best of `runs` rounds (default 3); every round starts
// from the same working file, and the measures take turns, so that the disk's
// write-back of one falls on all of them alike.
#include "admin/restore.h"
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
    const QString backup = bench.dir.path() + "/usb/vkdb.mdb";
    const QString target = bench.dir.path() + "/cp.mdb";
    QDir().mkpath(bench.dir.path() + "/usb");
    // The backup: the same shop a few days earlier.
    qm::bench::copyOfShop(backup, bench.spec);
    {
        qm::Connection c;
        c.open(backup);
        c.exec("DELETE FROM outdetail WHERE rowid > (SELECT max(rowid) FROM outdetail) - 2000");
        c.exec("UPDATE customer SET balance = balance + 1");
    }
    auto fresh = [&] {
        QFile::remove(target);
        for (const QString& f : QDir(bench.dir.path() + "/works").entryList(QDir::Files | QDir::Hidden))
            QFile::remove(bench.dir.path() + "/works/" + f);
        QFile::copy(bench.pristine, bench.working);
        qmbench::runTool("sync", {bench.working});
    };
    std::vector<qmbench::Measure> m = {
        {"quick_check of the backup (sqlite3)", [&] { qmbench::runTool("sqlite3", {"-readonly", backup, "PRAGMA quick_check"}); }},
        {"cp of the backup, then sync", [&] { qmbench::runTool("cp", {backup, target}); qmbench::runTool("sync", {target}); }},
        {"restore", [&] {
             if (qm::restoreDatabase(backup, bench.working) != qm::RestoreOutcome::Restored) {
                 std::fprintf(stderr, "restore failed\n");
                 std::exit(1);
             }
         }},
    };
    qmbench::takeTurns(m, bench.runs, fresh);
    const double floor = m[0].best + m[1].best;
    std::printf("shop at scale %.2f: backup %.1f MB; best of %d rounds\n", bench.spec.scale, QFileInfo(backup).size() / 1048576.0, bench.runs);
    for (const qmbench::Measure& x : m) std::printf("%-42s %8.0f ms\n", x.name, x.best);
    std::printf("restore / (quick_check + cp + sync)        %8.2fx\n", m[2].best / floor);
    return 0;
}
