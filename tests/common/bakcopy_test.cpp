// The background copy to bak/: coalescing, bounded waits, failures reported
// on the GUI thread, copies that never leave a broken file behind.
#include "common/bakcopy.h"
#include "common/errors.h"
#include "data/databasecheck.h"
#include "support/faultvfs.h"
#include "support/files.h"
#include "support/fixture.h"
#include <QElapsedTimer>
#include <QFile>
#include <sqlite3.h>
#include <thread>

using namespace qm;

namespace {
class BakCopy : public AppFixture {
protected:
    QString working, backup;
    void SetUp() override
    {
        AppFixture::SetUp();
        working = AppPaths::workingDatabase();
        backup = AppPaths::backupDatabase();
    }
    int customersIn(const QString& path)
    {
        Connection c;
        c.open(path);
        return c.scalar("SELECT count(*) FROM customer").toInt();
    }
    QStringList leftovers() { return QDir(folder() + "bak").entryList({".*part*"}, QDir::Files | QDir::Hidden); }
};
}

TEST_F(BakCopy, RequestsWhileACopyWaitsCoalesceIntoOne)
{
    // Another program holds the file while the first copy waits for it.
    Connection holder;
    holder.open(working);
    holder.exec("BEGIN EXCLUSIVE");
    holder.exec("INSERT INTO customer(intno, id, name) VALUES('0000000100', '100', '甲')");
    const int before = bakCopiesMade();
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < 20; ++i) requestBakCopy();
    EXPECT_LT(t.elapsed(), 50) << "asking for a copy does not wait for it";
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    holder.exec("COMMIT");
    ASSERT_TRUE(waitForBakCopies(10000));
    const int made = bakCopiesMade() - before;
    EXPECT_GE(made, 1);
    EXPECT_LE(made, 2);
    // The last copy holds what was committed before the last request was served.
    EXPECT_EQ(customersIn(backup), customersIn(working));
    EXPECT_TRUE(isUsableBackup(backup));
    EXPECT_EQ(leftovers(), QStringList());
    QCoreApplication::processEvents();
    EXPECT_TRUE(dialogs->messages().isEmpty());
}

TEST_F(BakCopy, FailuresReachTheOperatorOnTheGuiThread)
{
    // A file where the backup folder belongs.
    QDir(folder() + "bak").removeRecursively();
    QFile f(folder() + "bak");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    requestBakCopy();
    ASSERT_TRUE(waitForBakCopies(10000));
    EXPECT_TRUE(dialogs->messages().isEmpty()) << "shown only by the GUI thread's event loop";
    QCoreApplication::processEvents();
    EXPECT_EQ(dialogs->messages(), QStringList{QStringLiteral("请检查本系统的数据备份目录bak是否存在！ ")});

    // No working file: said at once, nothing copied.
    dialogs->clear();
    frdm->ADOCon.close();
    QFile::remove(working);
    requestBakCopy();
    EXPECT_EQ(dialogs->messages(), QStringList{QStringLiteral("数据没有成功复制,请检查前台连接线路及前台数据位置的设置！ ")});
}

TEST_F(BakCopy, TheWaitForALockIsBoundedAndThePreviousCopyStaysWhole)
{
    frdm->ADOCon.backupTo(backup);
    const QByteArray previous = readFile(backup);
    Connection holder;
    holder.open(working);
    holder.exec("BEGIN EXCLUSIVE");
    holder.exec("INSERT INTO customer(intno, id, name) VALUES('0000000101', '101', '乙')");
    sqlite3* src = nullptr;
    ASSERT_EQ(sqlite3_open_v2(working.toUtf8().constData(), &src, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    QElapsedTimer t;
    t.start();
    EXPECT_THROW(backupDatabase(src, backup, 300), DbError);
    EXPECT_LT(t.elapsed(), 3000);
    sqlite3_close(src);
    holder.exec("ROLLBACK");
    QFile f(backup);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), previous);
    EXPECT_EQ(leftovers(), QStringList());
}

TEST_F(BakCopy, CopiesFromSeveralThreadsAtOnceUseTheirOwnTemporaryFiles)
{
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&] {
            for (int k = 0; k < 3; ++k) {
                try {
                    Connection c;
                    c.open(working);
                    c.backupTo(backup);
                } catch (...) {
                    ++failures;
                }
            }
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_TRUE(isUsableBackup(backup));
    EXPECT_EQ(leftovers(), QStringList());
}

TEST_F(BakCopy, AFaultDuringTheCopyLeavesThePreviousCopy)
{
    frdm->ADOCon.backupTo(backup);
    frdm->ADOCon.exec("INSERT INTO customer(intno, id, name) VALUES('0000000102', '102', '丙')");
    const int previous = customersIn(backup);
    // Count what one copy writes into bak/, then fail each of those in turn.
    fault::setTarget(folder() + "bak/");
    fault::resetCounts();
    frdm->ADOCon.backupTo(backup);
    const fault::Counts n = fault::counts();
    frdm->ADOCon.exec("DELETE FROM customer WHERE intno='0000000102'");
    frdm->ADOCon.backupTo(backup);
    frdm->ADOCon.exec("INSERT INTO customer(intno, id, name) VALUES('0000000102', '102', '丙')");
    int runs = 0;
    for (fault::Op op : {fault::Op::Write, fault::Op::Sync})
        for (int i = 1; i <= n.of(op); ++i) {
            fault::Injection inject(op, i);
            EXPECT_THROW(frdm->ADOCon.backupTo(backup), AppError);
            EXPECT_EQ(customersIn(backup), previous) << fault::opName(op).toStdString() << i;
            ++runs;
        }
    fault::setTarget({});
    EXPECT_GT(runs, 2);
    EXPECT_EQ(leftovers(), QStringList());
}
