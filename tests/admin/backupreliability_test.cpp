// Copies, compaction and year-end against the things a shop's machine does to
// them: the program killed half-way, the front desk writing during a copy,
// and a full disk. Each runs the work in a child process of its own.
#include "admin/backup.h"
#include "admin/periodclosing.h"
#include "common/errors.h"
#include "support/fixture.h"
#include <QCryptographicHash>
#include <QFile>
#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using qm::Connection;

namespace {

// Runs `work` in a child process: with a file-size limit (a full disk for
// every file it writes) when `fileSizeLimit` is set, killed with SIGKILL after
// `killAfterMs` when that is set. Returns the child's exit code, or -1 when
// it was killed; the text of an exception that ended it goes to `error`.
int inChild(const std::function<void()>& work, qint64 fileSizeLimit = 0, int killAfterMs = 0, QString* error = nullptr)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return -2;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeFds[0]);
        if (fileSizeLimit > 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit lim{rlim_t(fileSizeLimit), rlim_t(fileSizeLimit)};
            ::setrlimit(RLIMIT_FSIZE, &lim);
        }
        int code = 0;
        try {
            work();
        } catch (const qm::AppError& e) {
            const QByteArray msg = e.message().toUtf8();
            if (::write(pipeFds[1], msg.constData(), size_t(msg.size())) < 0) code = 4;
            code = 3;
        } catch (...) {
            code = 5;
        }
        ::_exit(code);
    }
    ::close(pipeFds[1]);
    if (killAfterMs > 0) {
        ::usleep(useconds_t(killAfterMs) * 1000);
        ::kill(pid, SIGKILL);
    }
    QByteArray text;
    char buf[512];
    for (ssize_t n; (n = ::read(pipeFds[0], buf, sizeof buf)) > 0;) text.append(buf, n);
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (error) *error = QString::fromUtf8(text);
    if (WIFSIGNALED(status)) return -1;
    return WEXITSTATUS(status);
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

    const int delays[] = {3, 8, 15, 30, 60};
    for (int ms : delays) {
        SCOPED_TRACE(ms);
        // Compaction over and over: killed inside one of them.
        EXPECT_EQ(inChild([&] { for (;;) qm::compactDatabase(working()); }, 0, ms), -1);
        EXPECT_TRUE(passesIntegrityCheck(working()));
        EXPECT_EQ(digest(working()), before);

        // The weekday copy: the previous copy or the new one, always whole.
        EXPECT_EQ(inChild([] { for (;;) qm::copyWorkingFolder("BAK1"); }, 0, ms), -1);
        EXPECT_TRUE(passesIntegrityCheck(working()));
        EXPECT_EQ(digest(working()), before);
        EXPECT_TRUE(passesIntegrityCheck(folder() + "BAK1/vkdb.mdb"));
        EXPECT_EQ(digest(folder() + "BAK1/vkdb.mdb"), previousBackup);
    }

    // Year-end: the year as it was, or closed; never half closed.
    int closed = 0;
    for (int ms : delays) {
        SCOPED_TRACE(ms);
        const QString start = folder() + "start.mdb";
        qm::copyDatabaseFile(working(), start);
        inChild(
            [&] {
                qm::copyWorkingFolder("LASTBAK");
                Connection c;
                c.open(working());
                qm::runClosingJob(c, qm::yearEndCommands());
            },
            0, ms);
        ASSERT_TRUE(passesIntegrityCheck(working()));
        const QByteArray now = digest(working());
        EXPECT_TRUE(now == before || now == after);
        if (now == after) {
            ++closed;
            EXPECT_EQ(digest(folder() + "LASTBAK/vkdb.mdb"), before);
            // Back to the open year for the next round.
            Connection src;
            src.open(start);
            QFile::remove(working());
            src.backupTo(working());
        }
        if (QFileInfo::exists(folder() + "LASTBAK/vkdb.mdb")) {
            EXPECT_TRUE(passesIntegrityCheck(folder() + "LASTBAK/vkdb.mdb"));
        }
    }
    RecordProperty("yearEndsFinished", closed);
}

TEST_F(BackupReliabilityTest, CopiesWhileTheFrontDeskWritesAreWholeAndConsistent)
{
    // The front desk: every sale adds a row and raises the customer's balance
    // by one in the same transaction, so a torn copy breaks the equality.
    const pid_t desk = ::fork();
    if (desk == 0) {
        try {
            Connection c;
            c.open(working());
            for (int i = 0;; ++i) {
                qm::Transaction t(c);
                c.exec("INSERT INTO outlist (intno, amount) VALUES (:p1, 1)", {{"p1", QString::number(1000000 + i)}});
                c.exec("UPDATE customer SET amount=amount+1 WHERE intno='0000000001'");
                t.commit();
                ::usleep(2000); // a sale every few milliseconds, far busier than a till
            }
        } catch (...) {
        }
        ::_exit(1);
    }
    const QString target = folder() + "usb/vkdb.mdb";
    int seen = 0;
    for (int round = 0; round < 50; ++round) {
        SCOPED_TRACE(round);
        if (round % 2) {
            qm::copyWorkingFolder("BAK2");
        } else {
            qm::copyDatabaseFile(working(), target);
        }
        const QString copy = round % 2 ? folder() + "BAK2/vkdb.mdb" : target;
        ASSERT_TRUE(passesIntegrityCheck(copy));
        Connection c;
        c.open(copy);
        const int sales = c.scalar("SELECT count(*) FROM outlist").toInt();
        EXPECT_EQ(c.scalar("SELECT amount FROM customer WHERE intno='0000000001'").toInt(), sales);
        seen = std::max(seen, sales);
    }
    ::kill(desk, SIGKILL);
    ::waitpid(desk, nullptr, 0);
    EXPECT_GT(seen, 0) << "the front desk never wrote during the copies";
    EXPECT_TRUE(passesIntegrityCheck(working()));
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
        EXPECT_EQ(inChild(copy, limit, 0, &error), 3);
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(digest(working()), data);
        EXPECT_EQ(digest(folder() + "BAK3/vkdb.mdb"), previous);
        EXPECT_EQ(digest(folder() + "usb/vkdb.mdb"), previous);
        EXPECT_EQ(digest(folder() + "2026/works/vkdb.mdb"), previous);
    }

    // Year-end: its copy fails first; and its transaction alone cannot grow the files either.
    QString error;
    EXPECT_EQ(inChild([] { qm::copyWorkingFolder("LASTBAK"); }, limit, 0, &error), 3);
    EXPECT_FALSE(QFileInfo::exists(folder() + "LASTBAK/vkdb.mdb"));
    EXPECT_EQ(inChild(
                  [&] {
                      Connection c;
                      c.open(working());
                      qm::runClosingJob(c, qm::yearEndCommands());
                  },
                  1024, 0, &error),
              3);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(passesIntegrityCheck(working()));
    EXPECT_EQ(digest(working()), data);
}
