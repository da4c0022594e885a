// The background copy to bak/: coalescing, bounded waits, failures reported
// on the GUI thread, copies that never leave a broken file behind.
#include "common/errors.h"
#include "data/bakcopy.h"
#include "data/damage.h"
#include "data/databasecheck.h"
#include "support/faultvfs.h"
#include "support/files.h"
#include "support/fixture.h"
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <sqlite3.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

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

const QString kCopyFailed = QStringLiteral("请检查本系统的数据备份目录bak是否存在！ ");

// Overwrites the head of an index's first page: the file still opens and
// reads, and only the check finds the damage.
void damageAnIndex(const QString& path)
{
    int root = 0, pageSize = 0;
    {
        Connection c;
        c.open(path);
        root = c.scalar("SELECT min(rootpage) FROM sqlite_master WHERE type='index' AND rootpage>1").toInt();
        pageSize = c.scalar("PRAGMA page_size").toInt();
    }
    ASSERT_GT(root, 1);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.seek(qint64(root - 1) * pageSize);
    f.write(QByteArray(16, '\xff'));
}

pid_t endedProcess()
{
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}
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
    EXPECT_EQ(dialogs->messages(), QStringList{QStringLiteral("请检查本系统的数据备份目录bak是否存在！ \r找不到文件或文件夹")});

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

TEST_F(BakCopy, ACopyThatFailsItsCheckIsMadeOnceMoreAndDamagedDataNeverReachesBak)
{
    // Damaged once on its way to the disk: the second copy replaces bak/'s.
    frdm->ADOCon.backupTo(backup);
    frdm->ADOCon.exec("INSERT INTO customer(intno, id, name) VALUES('0000000104', '104', '戊')");
    int written = 0;
    setCopyWrittenHook([&](const QString& partial) {
        if (++written == 1) damageAnIndex(partial);
    });
    requestBakCopy();
    ASSERT_TRUE(waitForBakCopies(10000));
    setCopyWrittenHook({});
    QCoreApplication::processEvents();
    EXPECT_EQ(written, 2);
    EXPECT_TRUE(dialogs->messages().isEmpty());
    EXPECT_EQ(customersIn(backup), customersIn(working));

    // Damaged in the working file: bak/ keeps its copy, the operator is told,
    // and every later request says so at once and copies nothing.
    const QByteArray previous = readFile(backup);
    damageAnIndex(working);
    const QString told = kCopyFailed + "\r" + workingDamagedText();
    requestBakCopy();
    ASSERT_TRUE(waitForBakCopies(10000));
    QCoreApplication::processEvents();
    EXPECT_EQ(dialogs->messages(), QStringList{told});
    const int made = bakCopiesMade();
    requestBakCopy();
    EXPECT_EQ(dialogs->messages(), (QStringList{told, told}));
    ASSERT_TRUE(waitForBakCopies(10000));
    EXPECT_EQ(bakCopiesMade(), made);
    EXPECT_EQ(readFile(backup), previous);
    EXPECT_EQ(leftovers(), QStringList());
}

TEST_F(BakCopy, PartialCopiesOfEndedProcessesAreRemovedBeforeACopy)
{
    const QString bak = folder() + "bak/";
    const QString dead = QString::number(endedProcess());
    const QStringList stale = {".vkdb.mdb." + dead + "-1.part", ".vkdb.mdb." + dead + "-1.part-journal",
                               "..vkdb.mdb.new." + dead + "-7.part"};
    const QStringList kept = {".vkdb.mdb." + QString::number(::getpid()) + "-9999.part",
                              ".vkdb.mdb." + QString::number(::getppid()) + "-2.part", "notes.part", ".vkdb.mdb.new"};
    const std::function<void()> copies[] = {
        [&] { requestBakCopy(); ASSERT_TRUE(waitForBakCopies(10000)); },
        [&] { frdm->ADOCon.backupTo(backup); },
    };
    for (const auto& copy : copies) {
        for (const QString& f : stale + kept) writeFile(bak + f, "x");
        copy();
        for (const QString& f : stale) EXPECT_FALSE(QFile::exists(bak + f)) << f.toStdString();
        for (const QString& f : kept) EXPECT_TRUE(QFile::exists(bak + f)) << f.toStdString();
    }
    EXPECT_TRUE(isUsableBackup(backup));
}

TEST_F(BakCopy, WritersWaitForOneSmallStepAtMostAndTheCopyStaysWhole)
{
    // A file of some thousands of pages, so that a copy takes many steps.
    frdm->ADOCon.execScript("CREATE TABLE filler(x); WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n "
                            "WHERE i<8000) INSERT INTO filler SELECT randomblob(3000) FROM n");
    const int pages = frdm->ADOCon.scalar("PRAGMA page_count").toInt();
    fault::setTarget(working);
    fault::resetLongestReadOnlyHold();
    std::atomic<int> failures{0};
    std::atomic<bool> started{false};
    std::thread writer([&] {
        Connection c;
        c.open(working);
        for (int i = 0; i < 120; ++i) {
            try {
                c.exec("INSERT INTO customer(intno, id, name) VALUES(:n, :n, '写')",
                       {{"n", QStringLiteral("%1").arg(1000 + i, 10, 10, QChar('0'))}});
            } catch (...) {
                ++failures;
            }
            started = true;
            // Pauses long enough for a copy to start, and bursts that interrupt it.
            if (i % 15 == 14) std::this_thread::sleep_for(std::chrono::milliseconds(80));
        }
    });
    while (!started) std::this_thread::yield();
    requestBakCopy();
    writer.join();
    // Whatever the first request made, the next copy holds every row.
    requestBakCopy();
    ASSERT_TRUE(waitForBakCopies(120000));
    fault::setTarget({});
    EXPECT_EQ(failures.load(), 0);
    EXPECT_GT(fault::longestReadOnlyHold(), 0);
    EXPECT_LT(fault::longestReadOnlyHold(), pages / 4) << "pages read under one lock, of " << pages;
    EXPECT_TRUE(isUsableBackup(backup));
    EXPECT_EQ(customersIn(backup), customersIn(working));
    EXPECT_EQ(leftovers(), QStringList());
    QCoreApplication::processEvents();
    EXPECT_TRUE(dialogs->messages().isEmpty());
}

TEST_F(BakCopy, ThePendingCopyShowsItsProgressAndTheOperatorMayLeaveIt)
{
    frdm->ADOCon.backupTo(backup);
    const QByteArray previous = readFile(backup);
    Connection holder;
    holder.open(working);
    auto holdTheFile = [&] {
        holder.exec("BEGIN EXCLUSIVE");
        holder.exec("INSERT INTO customer(intno, id, name) VALUES('0000000103', '103', '丁')");
    };
    // Nothing pending: no window.
    EXPECT_TRUE(finishBakCopies());
    EXPECT_TRUE(dialogs->shown.empty());

    // Left: the copy is abandoned, bak/ keeps its copy, nothing is reported.
    holdTheFile();
    requestBakCopy();
    dialogs->cancelProgress = true;
    EXPECT_FALSE(finishBakCopies());
    EXPECT_EQ(dialogs->progressSteps(), QStringList{QStringLiteral("数据备份|前台正在写入数据,等其空闲后再复制到备份目录bak……")});
    EXPECT_TRUE(waitForBakCopies(0));
    holder.exec("ROLLBACK");
    EXPECT_EQ(readFile(backup), previous);

    // Waited for: the window closes by itself once the copy is in bak/.
    dialogs->cancelProgress = false;
    holdTheFile();
    requestBakCopy();
    std::thread frontDesk([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        holder.exec("COMMIT");
    });
    EXPECT_TRUE(finishBakCopies());
    frontDesk.join();
    EXPECT_TRUE(waitForBakCopies(0));
    EXPECT_EQ(customersIn(backup), customersIn(working));
    QCoreApplication::processEvents();
    EXPECT_TRUE(dialogs->messages().isEmpty());
}
