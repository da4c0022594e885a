#include "support/faultvfs.h"
#include "common/errors.h"
#include "data/connection.h"
#include <gtest/gtest.h>
#include <QTemporaryDir>

using namespace qm;

namespace {
class FaultInjectionTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path;
    void SetUp() override
    {
        path = dir.path() + "/t.db";
        Connection c;
        c.open(path, true);
        c.exec("CREATE TABLE a(id INTEGER PRIMARY KEY, v TEXT)");
        c.exec("CREATE TABLE b(id INTEGER PRIMARY KEY, n REAL)");
        Transaction t(c);
        for (int i = 0; i < 50; ++i) c.exec("INSERT INTO a(v) VALUES(:v)", {{"v", QString(200, QChar('x' + i % 3))}});
        t.commit();
    }
};
}

TEST_F(FaultInjectionTest, FailsTheChosenOperationAndCountsOnlyTheTarget)
{
    Connection c;
    c.open(path);
    fault::setTarget(path);
    fault::resetCounts();
    c.exec("UPDATE a SET v='y' WHERE id=1");
    fault::Counts n = fault::counts();
    EXPECT_GT(n.writes, 0);
    EXPECT_GT(n.syncs, 0);
    EXPECT_EQ(n.deletes, 1); // the journal, at commit

    {
        fault::Injection inject(fault::Op::Delete, 1);
        EXPECT_THROW(c.exec("UPDATE a SET v='z' WHERE id=1"), DbError);
        EXPECT_TRUE(fault::fired());
    }
    // A commit whose journal could not be removed did not happen.
    c.close();
    EXPECT_EQ(fault::snapshotFile(path).at("a")[0][1].toString(), "y");

    // Another file is not counted while a target is set.
    Connection other;
    other.open(dir.path() + "/other.db", true);
    fault::resetCounts();
    other.exec("CREATE TABLE x(y)");
    EXPECT_EQ(fault::counts().writes, 0);
    fault::setTarget({});
}

TEST_F(FaultInjectionTest, SweepPassesOneTransactionAndCatchesTwo)
{
    auto whole = [](Connection& c) {
        Transaction t(c);
        c.exec("UPDATE a SET v='changed' WHERE id<=40");
        c.exec("INSERT INTO b(n) VALUES(1.5)");
        t.commit();
    };
    fault::Report r = fault::sweepCommand(path, whole);
    EXPECT_TRUE(r.ok()) << r.failures.join("\n").toStdString();
    EXPECT_GT(r.runs, 3);
    EXPECT_GT(r.before, 0);
    EXPECT_EQ(r.runs, r.before + r.after);

    // With the disk failing for good, the rollback fails too and leaves a hot
    // journal: opening the file afresh must still give the state before.
    r = fault::sweepCommand(path, whole, true);
    EXPECT_TRUE(r.ok()) << r.failures.join("\n").toStdString();

    // Two separate commits: a fault between them leaves a state that is neither.
    r = fault::sweepCommand(path, [](Connection& c) {
        c.exec("UPDATE a SET v='changed' WHERE id<=40");
        c.exec("INSERT INTO b(n) VALUES(1.5)");
    });
    EXPECT_FALSE(r.ok());

}

TEST_F(FaultInjectionTest, KilledWriterLosesNoCommittedRow)
{
    for (unsigned seed = 1; seed <= 4; ++seed) {
        fault::KillResult k = fault::killDuring([&](int i) {
            Connection c;
            c.open(path);
            Transaction t(c);
            c.exec("INSERT INTO b(id, n) VALUES(:i, :i)", {{"i", 1000 * int(seed) + i}});
            c.exec("UPDATE a SET v=:v WHERE id=1", {{"v", QString::number(i)}});
            t.commit();
        }, 30, 120, seed);
        ASSERT_TRUE(k.killed);
        Connection c;
        c.open(path);
        EXPECT_EQ(c.scalar("PRAGMA integrity_check").toString(), "ok");
        int rows = c.scalar("SELECT count(*) FROM b WHERE id>=:lo AND id<:hi", {{"lo", 1000 * int(seed)}, {"hi", 1000 * int(seed) + 1000}}).toInt();
        EXPECT_GE(rows, k.completed);
        EXPECT_LE(rows, k.completed + 1);
    }
}
