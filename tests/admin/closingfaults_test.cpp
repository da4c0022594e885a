// Every write of the period closing, the clean-up, restore and the data tool
// under a failing disk: the file is left as it was before or after, never in
// between.
#include "admin/backup.h"
#include "admin/restore.h"
#include "admin/datatool.h"
#include "admin/periodclosing.h"
#include "admin/tfrpack.h"
#include "common/errors.h"
#include "support/faultvfs.h"
#include "support/fixture.h"
#include <QScopeGuard>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

using qm::Connection;
namespace fault = qm::fault;

class ClosingFaultsTest : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        auto& c = frdm->ADOCon;
        qm::Transaction t(c);
        c.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<300) "
               "INSERT INTO product (intno, name, sl, rest, sl_in_m, sl_out_y) "
               "SELECT CASE WHEN i % 10 = 0 THEN '' ELSE printf('%010d', i) END, printf('p%d', i), i, 1, 2, 3 FROM n");
        for (const char* table : {"outlist", "outdetail", "inlist", "indetail", "getlist", "putdetail"})
            c.exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<200) INSERT INTO ")
                   + QLatin1String(table)
                   + QStringLiteral(" (intno, amount) SELECT CASE WHEN i % 7 = 0 THEN '' ELSE printf('%010d', i) END, i FROM n"));
        c.exec("UPDATE customer SET balance=120, amount=5, amount_y=50");
        c.exec("INSERT INTO units (intno, name) VALUES ('1', 'u')");
        t.commit();
        c.close();
    }
    QString working() const { return qm::AppPaths::workingDatabase(); }
    // A backup in usb/ that differs from the working data in rows and balances.
    QString changedBackup() const
    {
        const QString backup = folder() + "usb/vkdb.mdb";
        qm::copyDatabaseFile(working(), backup);
        Connection b;
        b.open(backup);
        b.exec("DELETE FROM product WHERE rowid % 2 = 0");
        b.exec("UPDATE customer SET balance=7");
        return backup;
    }
    // A sweep over points spread across the command's I/O (on the files
    // starting with `target`, the database's own when empty), with a single
    // failure and with the disk gone for good.
    void expectWhole(const std::function<void(Connection&)>& command, const QString& target = {})
    {
        Connection c;
        fault::Steps s;
        s.detach = [&] { c.close(); };
        s.attach = [&] { c.open(working()); };
        s.command = [&] { command(c); };
        s.maxPoints = 12;
        s.target = target;
        for (bool persistent : {false, true}) {
            SCOPED_TRACE(persistent ? "disk gone for good" : "one failure");
            s.persistent = persistent;
            EXPECT_TRUE(fault::sound(fault::sweep(working(), s)));
        }
    }
};

TEST_F(ClosingFaultsTest, ClosingJobsAreAllOrNothing)
{
    for (const auto& job : {qm::monthEndCommands(), qm::yearEndCommands(), qm::initialisationCommands(), qm::clearSalesCommands()})
        expectWhole([job](Connection& c) { qm::runClosingJob(c, job); });
}

TEST_F(ClosingFaultsTest, CleanUpAndDataToolAreAllOrNothing)
{
    expectWhole([](Connection& c) { qm::purgeBlankRows(c); });
    expectWhole([](Connection& c) {
        qm::runStatements(c, "update product set sl=sl+1;\ndelete from outdetail where amount>100;\ninsert into units (intno) values ('2')");
    });
    expectWhole([](Connection& c) { qm::emptyPackageLists(c); });
}

TEST_F(ClosingFaultsTest, RestoreReplacesTheDataWhole)
{
    const QString backup = changedBackup();
    // Every file restore writes is beside the working one.
    expectWhole(
        [&](Connection& c) {
            c.close();
            if (qm::restoreDatabase(backup, working()) != qm::RestoreOutcome::Restored) throw qm::DbError("refused");
        },
        folder() + "works/");
}

TEST_F(ClosingFaultsTest, RestoreKilledAtAnyStepLeavesTheOldDataOrTheNewAndNothingElse)
{
    const QString backup = changedBackup();
    const QString old = folder() + "old.mdb";
    fault::copyDatabase(working(), old);
    const fault::Snapshot before = fault::snapshotFile(working()), after = fault::snapshotFile(backup);
    const QDir works(folder() + "works");
    auto fresh = [&] {
        for (const QString& f : works.entryList(QDir::Files | QDir::Hidden)) QFile::remove(works.filePath(f));
        fault::copyDatabase(old, working());
    };
    // Every operation on a file in works/ and every rename, link and sync of
    // one restore is a point to die at.
    fault::setTarget(folder() + "works/");
    qm::setCopyStepHook([](const char*) { fault::tick(); });
    const auto unhook = qScopeGuard([] {
        qm::setCopyStepHook(nullptr);
        fault::setTarget({});
    });
    fault::resetCounts();
    ASSERT_EQ(qm::restoreDatabase(backup, working()), qm::RestoreOutcome::Restored);
    const int total = fault::total();
    ASSERT_GT(total, 10);
    std::set<int> points;
    for (int i = 1; i <= 24; ++i) points.insert(1 + (total - 1) * i / 24);
    for (int n = std::max(1, total - 8); n <= total; ++n) points.insert(n);
    int oldData = 0, newData = 0;
    for (int n : points) {
        SCOPED_TRACE(n);
        fresh();
        const pid_t child = ::fork();
        if (child == 0) {
            fault::armKill(n);
            qm::restoreDatabase(backup, working());
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 137) << "not killed";
        // The next start: what the killed restore left goes, and the working
        // file's name holds the old data or the new, whole.
        qm::removeRestoreLeftovers(working());
        const fault::Snapshot now = fault::snapshotFile(working());
        if (fault::difference(now, before).isEmpty()) ++oldData;
        else if (fault::difference(now, after).isEmpty()) ++newData;
        else ADD_FAILURE() << "neither: " << fault::difference(now, before).toStdString();
        for (const QString& f : works.entryList(QDir::Files | QDir::Hidden)) {
            if (f == "vkdb.mdb") continue;
            EXPECT_TRUE(f.startsWith("vkdb.mdb.before-restore-")) << f.toStdString();
            EXPECT_EQ(fault::difference(fault::snapshotFile(works.filePath(f)), before), QString()) << f.toStdString();
        }
    }
    EXPECT_GT(oldData, 0);
    EXPECT_GT(newData, 0);
}
