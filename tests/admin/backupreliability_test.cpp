// Copies, compaction and year-end against the things a shop's machine does to
// them: the program killed half-way, the front desk writing during a copy,
// and a full disk. Each runs the work in a child process of its own.
#include "admin/backup.h"
#include "admin/periodclosing.h"
#include "admin/restore.h"
#include "common/errors.h"
#include "support/faultvfs.h"
#include "support/fixture.h"
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <sqlite3.h>
#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using qm::Connection;
namespace fault = qm::fault;

namespace {

// Runs `work` in a child process whose files cannot grow past `limit` bytes
// (a full disk for every file it writes). Returns the child's exit code: 3
// when `work` threw, with the text in `error`.
int withFileSizeLimit(const std::function<void()>& work, qint64 limit, QString* error)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return -2;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeFds[0]);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit lim{rlim_t(limit), rlim_t(limit)};
        ::setrlimit(RLIMIT_FSIZE, &lim);
        int code = 0;
        try {
            work();
        } catch (const qm::AppError& e) {
            const QByteArray msg = e.message().toUtf8();
            code = ::write(pipeFds[1], msg.constData(), size_t(msg.size())) < 0 ? 4 : 3;
        } catch (...) {
            code = 5;
        }
        ::_exit(code);
    }
    ::close(pipeFds[1]);
    QByteArray text;
    char buf[512];
    for (ssize_t n; (n = ::read(pipeFds[0], buf, sizeof buf)) > 0;) text.append(buf, n);
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    *error = QString::fromUtf8(text);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Every table's rows, sorted, as one digest: equal digests, equal data
// (compaction may renumber rowids, so rows are compared by content).
QByteArray digest(const QString& path)
{
    Connection c;
    c.open(path);
    QCryptographicHash h(QCryptographicHash::Sha1);
    for (const auto& t : c.rows("SELECT name FROM sqlite_master WHERE type='table' ORDER BY name")) {
        QStringList rows;
        for (const auto& r : c.rows(QStringLiteral("SELECT * FROM \"%1\"").arg(t.value(0).toString()))) {
            QStringList cells;
            for (const QVariant& v : r) cells << v.toString();
            rows << cells.join(QChar(0x1f));
        }
        rows.sort();
        h.addData(t.value(0).toString().toUtf8());
        h.addData(rows.join(QChar(0x1e)).toUtf8());
    }
    return h.result();
}

bool passesIntegrityCheck(const QString& path)
{
    Connection c;
    c.open(path);
    return c.scalar("PRAGMA integrity_check").toString() == "ok";
}

} // namespace

class BackupReliabilityTest : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        // A few megabytes of products and documents, so that every copy and
        // rewrite takes long enough to be caught in the middle.
        auto& c = frdm->ADOCon;
        qm::Transaction t(c);
        c.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<20000) "
               "INSERT INTO product (intno, sphh, name, sl, rest, sl_in_y) "
               "SELECT printf('%010d', i), printf('%013d', i), printf('商品%d-%.60c', i, 'x'), i % 50, 0, i % 7 FROM n");
        c.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<20000) "
               "INSERT INTO outdetail (intno, mainintno, spmc, amount) SELECT printf('%010d', i), printf('%010d', i / 5), "
               "printf('%.40c', 'y'), i FROM n");
        c.exec("UPDATE customer SET balance=250, rest=0");
        t.commit();
        // Free pages for the compaction to reclaim.
        c.exec("DELETE FROM outdetail WHERE CAST(intno AS INTEGER) % 3 = 0");
        // The children open connections of their own.
        frdm->ADOCon.close();
    }
    QString working() const { return qm::AppPaths::workingDatabase(); }

    // The state after a year-end, from a copy of the working file.
    QByteArray afterYearEnd()
    {
        const QString copy = folder() + "after.mdb";
        qm::copyDatabaseFile(working(), copy);
        Connection c;
        c.open(copy);
        qm::runClosingJob(c, qm::yearEndCommands());
        c.close();
        return digest(copy);
    }
};

TEST_F(BackupReliabilityTest, KilledDuringCompactionWeekdayCopyOrYearEndLeavesWholeData)
{
    const QByteArray before = digest(working());
    qm::copyWorkingFolder("BAK1");
    const QByteArray previousBackup = digest(folder() + "BAK1/vkdb.mdb");
    const QByteArray after = afterYearEnd();
    ASSERT_NE(before, after);

    for (unsigned seed = 1; seed <= 4; ++seed) {
        SCOPED_TRACE(seed);
        // Compaction over and over: killed inside one of them.
        EXPECT_TRUE(fault::killDuring([&](int) { qm::compactDatabase(working()); }, 5, 60, seed).killed);
        EXPECT_TRUE(passesIntegrityCheck(working()));
        EXPECT_EQ(digest(working()), before);

        // The weekday copy: the previous copy or the new one, always whole.
        EXPECT_TRUE(fault::killDuring([](int) { qm::copyWorkingFolder("BAK1"); }, 5, 60, seed).killed);
        EXPECT_TRUE(passesIntegrityCheck(working()));
        EXPECT_EQ(digest(working()), before);
        EXPECT_TRUE(passesIntegrityCheck(folder() + "BAK1/vkdb.mdb"));
        EXPECT_EQ(digest(folder() + "BAK1/vkdb.mdb"), previousBackup);
    }
    // What the killed copies left goes at the next start.
    qm::removeCopyLeftovers();
    EXPECT_EQ(QDir(folder() + "BAK1").entryList(QDir::Files | QDir::Hidden), QStringList{"vkdb.mdb"});

    // Year-end: the year as it was, or closed; never half closed.
    const QString start = folder() + "start.mdb";
    qm::copyDatabaseFile(working(), start);
    for (unsigned seed = 1; seed <= 4; ++seed) {
        SCOPED_TRACE(seed);
        const fault::KillResult k = fault::killDuring(
            [&](int) {
                qm::copyWorkingFolder("LASTBAK");
                Connection c;
                c.open(working());
                qm::runClosingJob(c, qm::yearEndCommands());
            },
            5, 60 * int(seed), seed);
        ASSERT_TRUE(passesIntegrityCheck(working()));
        const QByteArray now = digest(working());
        if (k.completed > 0) {
            EXPECT_EQ(now, after);
        } else {
            EXPECT_TRUE(now == before || now == after);
        }
        if (QFileInfo::exists(folder() + "LASTBAK/vkdb.mdb")) {
            EXPECT_TRUE(passesIntegrityCheck(folder() + "LASTBAK/vkdb.mdb"));
        }
        if (now == after) {
            // Back to the open year for the next round.
            Connection src;
            src.open(start);
            src.backupTo(working());
        }
    }
}

// The front desk in a process of its own: every sale adds a row and raises
// the walk-in customer's amount by one in the same transaction, so a torn
// copy breaks the equality. It stops by itself after `forMs`.
pid_t startFrontDesk(const QString& database, int pauseUs, int forMs)
{
    const pid_t desk = ::fork();
    if (desk != 0) return desk;
    try {
        QElapsedTimer running;
        running.start();
        Connection c;
        c.open(database);
        for (int i = 0; running.elapsed() < forMs; ++i) {
            qm::Transaction t(c);
            c.exec("INSERT INTO outlist (intno, amount) VALUES (:p1, 1)", {{"p1", QString::number(1000000 + i)}});
            c.exec("UPDATE customer SET amount=amount+1 WHERE intno='0000000001'");
            t.commit();
            ::usleep(useconds_t(pauseUs));
        }
    } catch (...) {
    }
    ::_exit(0);
}

void stopFrontDesk(pid_t desk)
{
    ::kill(desk, SIGKILL);
    ::waitpid(desk, nullptr, 0);
}

// The copy opens, passes the check, and holds whole sales only.
int checkedSales(const QString& copy)
{
    EXPECT_TRUE(passesIntegrityCheck(copy));
    Connection c;
    c.open(copy);
    const int sales = c.scalar("SELECT count(*) FROM outlist").toInt();
    EXPECT_EQ(c.scalar("SELECT amount FROM customer WHERE intno='0000000001'").toInt(), sales);
    return sales;
}

TEST_F(BackupReliabilityTest, CopiesWhileTheFrontDeskWritesAreWholeAndConsistent)
{
    // Fifty sales a second, far busier than any till.
    const pid_t desk = startFrontDesk(working(), 20000, 120000);
    const QString target = folder() + "usb/vkdb.mdb";
    int seen = 0;
    for (int round = 0; round < 50; ++round) {
        SCOPED_TRACE(round);
        if (round % 2) {
            qm::copyWorkingFolder("BAK2");
            seen = std::max(seen, checkedSales(folder() + "BAK2/vkdb.mdb"));
        } else {
            qm::copyDatabaseFile(working(), target);
            seen = std::max(seen, checkedSales(target));
        }
    }
    stopFrontDesk(desk);
    EXPECT_GT(seen, 0) << "the front desk never wrote during the copies";
    EXPECT_TRUE(passesIntegrityCheck(working()));
}

// A front desk left running through the exit backup, in a process of its
// own: it sends the number of every sale whose commit returned to it.
pid_t startReportingFrontDesk(const QString& database, int fd, int forMs)
{
    const pid_t desk = ::fork();
    if (desk != 0) return desk;
    QElapsedTimer running;
    running.start();
    Connection c;
    try {
        c.open(database);
        sqlite3_busy_timeout(c.handle(), 50);
    } catch (...) {
        ::_exit(1);
    }
    for (int i = 0; running.elapsed() < forMs; ++i) {
        try {
            qm::Transaction t(c);
            c.exec("INSERT INTO outlist (intno, amount) VALUES (:p1, 1)", {{"p1", QString::number(2000000 + i)}});
            c.exec("UPDATE customer SET amount=amount+1 WHERE intno='0000000001'");
            t.commit();
            if (::write(fd, &i, sizeof i) != ssize_t(sizeof i)) ::_exit(2);
        } catch (...) {
            // Refused (held off, or its file replaced): the till says so.
        }
        ::usleep(2000);
    }
    ::_exit(0);
}

TEST_F(BackupReliabilityTest, AFrontDeskLeftRunningThroughTheExitBackupLosesNoSale)
{
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t desk = startReportingFrontDesk(working(), fds[1], 4000);
    ::close(fds[1]);
    ::usleep(300000);
    const qm::ExitBackupResult r = qm::compactAndBackUp("BAK4");
    EXPECT_EQ(r.compactionFailure, QString());
    EXPECT_TRUE(r.copied) << r.copyFailure.toStdString();
    std::vector<int> committed;
    for (int v; ::read(fds[0], &v, sizeof v) == ssize_t(sizeof v);) committed.push_back(v);
    ::close(fds[0]);
    ::waitpid(desk, nullptr, 0);
    ASSERT_FALSE(committed.empty()) << "the front desk never wrote";
    // Every sale whose commit returned is in the working file; none went
    // into the old file unseen.
    Connection c;
    c.open(working());
    int missing = 0;
    for (int i : committed)
        missing += c.scalar("SELECT count(*) FROM outlist WHERE intno=:p1", {{"p1", QString::number(2000000 + i)}}).toInt() == 1 ? 0 : 1;
    EXPECT_EQ(missing, 0) << "of " << committed.size();
    EXPECT_EQ(c.scalar("SELECT amount FROM customer WHERE intno='0000000001'").toInt(),
              c.scalar("SELECT count(*) FROM outlist WHERE intno >= '2000000'").toInt());
    c.close();
    EXPECT_TRUE(passesIntegrityCheck(working()));
    checkedSales(folder() + "BAK4/vkdb.mdb");
}

TEST_F(BackupReliabilityTest, TheExitBackupKilledAnywhereLeavesTheOldDataOrTheCompactedAndWholeCopies)
{
    const QByteArray before = digest(working());
    qm::copyWorkingFolder("BAK1");
    const QByteArray size = QByteArray::number(QFileInfo(working()).size());
    for (unsigned seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE(seed);
        EXPECT_TRUE(fault::killDuring([](int) { qm::compactAndBackUp("BAK1"); }, 5, 40 * int(seed), seed).killed);
        // The old file or the compacted one, whole, with the same data.
        EXPECT_TRUE(passesIntegrityCheck(working()));
        EXPECT_EQ(digest(working()), before);
        EXPECT_TRUE(passesIntegrityCheck(folder() + "BAK1/vkdb.mdb"));
        EXPECT_EQ(digest(folder() + "BAK1/vkdb.mdb"), before);
    }
    // What the killed runs left goes at the next start.
    qm::removeRestoreLeftovers(working());
    qm::removeCopyLeftovers();
    EXPECT_EQ(QDir(folder() + "works").entryList(QDir::Files | QDir::Hidden), QStringList{"vkdb.mdb"});
    EXPECT_EQ(QDir(folder() + "BAK1").entryList(QDir::Files | QDir::Hidden), QStringList{"vkdb.mdb"});
    // Once not killed, the file is the compacted one.
    EXPECT_EQ(qm::compactAndBackUp("BAK1").compactionFailure, QString());
    EXPECT_LT(QFileInfo(working()).size(), size.toLongLong());
}

TEST_F(BackupReliabilityTest, ACopyFinishesWhileTheFrontDeskWritesFasterThanItCopies)
{
    // A sale every millisecond or so restarts a copy made in slices before it
    // ends; the copy must still finish long before the front desk stops.
    const pid_t desk = startFrontDesk(working(), 500, 30000);
    ::usleep(100000);
    QElapsedTimer t;
    t.start();
    qm::copyDatabaseFile(working(), folder() + "usb/vkdb.mdb");
    const qint64 took = t.elapsed();
    stopFrontDesk(desk);
    EXPECT_LT(took, 15000);
    EXPECT_GT(checkedSales(folder() + "usb/vkdb.mdb"), 0);
}

TEST_F(BackupReliabilityTest, FullDiskDuringEachCopyAndYearEndChangesNothing)
{
    const qint64 limit = QFileInfo(working()).size() / 3;
    qm::copyWorkingFolder("BAK3");
    qm::copyDatabaseFile(working(), folder() + "usb/vkdb.mdb");
    qm::copyDatabaseFile(working(), folder() + "2026/works/vkdb.mdb");
    Connection w;
    w.open(working());
    w.exec("UPDATE customer SET balance=999");
    w.close();
    const QByteArray data = digest(working());
    const QByteArray previous = digest(folder() + "BAK3/vkdb.mdb");
    ASSERT_NE(data, previous);

    const std::pair<const char*, std::function<void()>> copies[] = {
        {"weekday", [] { qm::copyWorkingFolder("BAK3"); }},
        {"manual", [&] { qm::copyDatabaseFile(working(), folder() + "usb/vkdb.mdb"); }},
        {"archive", [&] { qm::copyDatabaseFile(working(), folder() + "2026/works/vkdb.mdb"); }},
    };
    for (const auto& [name, copy] : copies) {
        SCOPED_TRACE(name);
        QString error;
        EXPECT_EQ(withFileSizeLimit(copy, limit, &error), 3);
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(digest(working()), data);
        EXPECT_EQ(digest(folder() + "BAK3/vkdb.mdb"), previous);
        EXPECT_EQ(digest(folder() + "usb/vkdb.mdb"), previous);
        EXPECT_EQ(digest(folder() + "2026/works/vkdb.mdb"), previous);
    }

    // Year-end: its copy fails first; and its transaction alone cannot grow the files either.
    QString error;
    EXPECT_EQ(withFileSizeLimit([] { qm::copyWorkingFolder("LASTBAK"); }, limit, &error), 3);
    EXPECT_FALSE(QFileInfo::exists(folder() + "LASTBAK/vkdb.mdb"));
    EXPECT_EQ(withFileSizeLimit(
                  [&] {
                      Connection c;
                      c.open(working());
                      qm::runClosingJob(c, qm::yearEndCommands());
                  },
                  1024, &error),
              3);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(passesIntegrityCheck(working()));
    EXPECT_EQ(digest(working()), data);
}
