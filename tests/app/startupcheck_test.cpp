// Start-up never loses committed data: hot journals, other writers, bad
// working files and bad backup copies.
#include "app/startup.h"
#include "common/errors.h"
#include "data/damage.h"
#include "masterdata/productlogic.h"
#include "support/faultvfs.h"
#include "support/files.h"
#include "support/fixture.h"
#include <QFile>
#include <QScopeGuard>
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using qm::Connection;
using qm::DatabaseFileState;

namespace {
int customers(const QString& path)
{
    Connection c;
    c.open(path);
    return c.scalar("SELECT count(*) FROM customer").toInt();
}

void addCustomers(Connection& c, int from, int count)
{
    qm::Transaction t(c);
    for (int i = from; i < from + count; ++i)
        c.exec("INSERT INTO customer(intno, id, name, remark) VALUES(:p1, :p1, :p2, :p3)",
               {{"p1", QString::asprintf("%010d", i)}, {"p2", QStringLiteral("顾客%1").arg(i)}, {"p3", QString(300, 'r')}});
    t.commit();
}

// A process that holds the database's exclusive lock for `ms`, then commits a
// customer of its own and ends. Returns once the lock is held.
pid_t holdLock(const QString& path, int ms)
{
    int fds[2];
    if (pipe(fds) != 0) return -1;
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        Connection c;
        c.open(path);
        c.exec("BEGIN EXCLUSIVE");
        c.exec("INSERT INTO customer(intno, id, name) VALUES('0000099999', '99999', '前台')");
        char b = 1;
        if (write(fds[1], &b, 1) != 1) _exit(2);
        usleep(useconds_t(ms) * 1000);
        c.exec("COMMIT");
        _exit(0);
    }
    close(fds[1]);
    char b;
    if (read(fds[0], &b, 1) != 1) pid = -1;
    close(fds[0]);
    return pid;
}
}

class StartUpCheckTest : public AppFixture {
protected:
    QString working, backup;
    void SetUp() override
    {
        AppFixture::SetUp();
        frdm->ADOCon.close();
        working = qm::AppPaths::workingDatabase();
        backup = qm::AppPaths::backupDatabase();
        qm::createInitialDatabase(backup);
        Connection b;
        b.open(backup);
        b.exec("UPDATE company SET name='备份的商店'");
    }
    QString company()
    {
        return frdm->ADOCon.scalar("SELECT name FROM company").toString();
    }
    void leaveHotJournal() { qm::fault::leaveHotJournal(working); }
};

TEST_F(StartUpCheckTest, AHotJournalIsRolledBackAndNothingIsReplaced)
{
    {
        Connection c;
        c.open(working);
        addCustomers(c, 1000, 300);
    }
    const int committed = customers(working);
    for (bool withBackup : {true, false}) {
        SCOPED_TRACE(withBackup ? "with a backup" : "without a backup");
        if (!withBackup) QFile::remove(backup);
        leaveHotJournal();
        qm::openWorkingDatabase(frdm);
        EXPECT_EQ(company(), QStringLiteral("我的超市"));
        EXPECT_EQ(frdm->ADOCon.scalar("SELECT count(*) FROM customer").toInt(), committed);
        EXPECT_EQ(frdm->ADOCon.scalar("SELECT count(*) FROM customer WHERE name='未提交'").toInt(), 0);
        EXPECT_EQ(frdm->ADOCon.scalar("PRAGMA integrity_check").toString(), "ok");
        EXPECT_TRUE(dialogs->messages().isEmpty());
        frdm->ADOCon.close();
        EXPECT_FALSE(QFile::exists(working + "-journal"));
        EXPECT_EQ(QDir(folder() + "works").entryList({"*damaged*"}, QDir::Files), QStringList());
    }
}

TEST_F(StartUpCheckTest, AnotherWriterIsWaitedForAndNeverTakenForDamage)
{
    // A lock held for 3 s: start-up waits, then opens the same file, and the
    // other writer's commit is in it.
    pid_t pid = holdLock(working, 3000);
    ASSERT_GT(pid, 0);
    qm::openWorkingDatabase(frdm);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(company(), QStringLiteral("我的超市"));
    EXPECT_EQ(frdm->ADOCon.scalar("SELECT name FROM customer WHERE intno='0000099999'").toString(), QStringLiteral("前台"));
    frdm->ADOCon.close();

    // A lock held longer than start-up waits: reported, the program ends, and
    // nothing is moved from under the other writer, whose commit still lands.
    const QByteArray file = readFile(working);
    pid = holdLock(working, 2500);
    ASSERT_GT(pid, 0);
    EXPECT_THROW(qm::openWorkingDatabase(frdm, 300), qm::ProgramExit);
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("数据库正被其他程序(如前台收银)使用,请稍后再启动本系统！"));
    EXPECT_FALSE(frdm->ADOCon.isOpen());
    EXPECT_EQ(QDir(folder() + "works").entryList({"*damaged*", "*orphan*"}, QDir::Files), QStringList());
    EXPECT_TRUE(QFile::exists(working));
    waitpid(pid, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(qm::checkWorkingDatabase(working).state, DatabaseFileState::Usable);
}

TEST_F(StartUpCheckTest, BadWorkingFilesAndBadBackupsCrossed)
{
    QByteArray good = readFile(backup);
    QByteArray tableless;
    {
        const QString p = folder() + "empty.db";
        Connection c;
        c.open(p, true);
        c.exec("CREATE TABLE other(x)");
        c.close();
        tableless = readFile(p);
    }
    struct Kind { const char* name; QByteArray bytes; };
    const std::vector<Kind> bad = {{"zero bytes", QByteArray()},
                                   {"garbage", QByteArray(8192, 'g')},
                                   {"no tables of ours", tableless}};
    for (const Kind& w : bad) {
        // A good backup replaces every bad working file; the old file is kept.
        SCOPED_TRACE(w.name);
        writeFile(working, w.bytes);
        writeFile(backup, good);
        dialogs->clear();
        qm::openWorkingDatabase(frdm);
        EXPECT_EQ(company(), QStringLiteral("备份的商店"));
        ASSERT_EQ(dialogs->messages().size(), 1);
        EXPECT_TRUE(dialogs->lastMessage().startsWith(w.bytes.isEmpty() ? QStringLiteral("找不到工作数据,已换上备份目录bak中的数据")
                                                                         : QStringLiteral("工作数据已损坏,已换上备份目录bak中的数据")))
            << dialogs->lastMessage().toStdString();
        frdm->ADOCon.close();
        for (const QString& f : QDir(folder() + "works").entryList({"*damaged*"}, QDir::Files))
            QFile::remove(folder() + "works/" + f);

        // A bad backup is never copied over a bad working file.
        for (const Kind& b : bad) {
            SCOPED_TRACE(b.name);
            writeFile(working, w.bytes);
            writeFile(backup, b.bytes);
            dialogs->clear();
            EXPECT_THROW(qm::openWorkingDatabase(frdm), qm::ProgramExit);
            EXPECT_FALSE(frdm->ADOCon.isOpen());
            EXPECT_EQ(dialogs->messages(), QStringList{qm::bothDamagedAtStartText(w.bytes.isEmpty())});
            EXPECT_EQ(readFile(working), w.bytes);
            EXPECT_EQ(readFile(backup), b.bytes);
        }
    }
    EXPECT_FALSE(qm::isUsableBackup(backup));
    writeFile(backup, good);
    EXPECT_TRUE(qm::isUsableBackup(backup));
}

TEST_F(StartUpCheckTest, AnUnreadableFileIsReportedNotReplaced)
{
    const QByteArray before = readFile(working);
    // Root reads every file: check as an ordinary user in a child process.
    ASSERT_EQ(chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    ASSERT_EQ(chmod(QFile::encodeName(folder() + "works").constData(), 0755), 0);
    ASSERT_EQ(chmod(QFile::encodeName(working).constData(), 0600), 0);
    pid_t pid = fork();
    if (pid == 0) {
        if (geteuid() == 0 && setuid(65534) != 0) _exit(100);
        _exit(int(qm::checkWorkingDatabase(working).state));
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), int(DatabaseFileState::Unreadable));
    EXPECT_EQ(readFile(working), before);
    EXPECT_EQ(QDir(folder() + "works").entryList(QDir::Files), QStringList{"vkdb.mdb"});
}

TEST_F(StartUpCheckTest, ABackupThatCannotBeReadIsNotCalledDamaged)
{
    const QByteArray garbage(8192, 'g'), copy = readFile(backup);
    writeFile(working, garbage);
    // Root reads every file: start as an ordinary user in a child process.
    for (const QString& f : {dir.path(), folder() + "works", folder() + "bak"})
        ASSERT_EQ(chmod(QFile::encodeName(f).constData(), 0777), 0);
    ASSERT_EQ(chmod(QFile::encodeName(working).constData(), 0666), 0);
    ASSERT_EQ(chmod(QFile::encodeName(backup).constData(), 0), 0);
    pid_t pid = fork();
    if (pid == 0) {
        if (geteuid() == 0 && setuid(65534) != 0) _exit(100);
        try {
            qm::openWorkingDatabase(frdm);
        } catch (const qm::ProgramExit&) {
            const QString told = dialogs->lastMessage();
            _exit(told.startsWith(QStringLiteral("请检查本系统的数据备份目录bak是否存在！ \r原因：不能打开备份文件 ") + backup) ? 0 : 1);
        } catch (...) {
        }
        _exit(2);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    ASSERT_EQ(chmod(QFile::encodeName(backup).constData(), 0644), 0);
    EXPECT_EQ(readFile(working), garbage);
    EXPECT_EQ(readFile(backup), copy);
    EXPECT_EQ(QDir(folder() + "works").entryList(QDir::Files | QDir::Hidden), QStringList{"vkdb.mdb"});
}

TEST_F(StartUpCheckTest, KilledWritersLoseNoCommittedRowAtTheNextStart)
{
    // The kills fall anywhere in a loop of product saves: in a write, in a
    // sync, between the commit and the next save.
    for (unsigned seed = 1; seed <= 6; ++seed) {
        const QString prefix = QStringLiteral("K%1-").arg(seed);
        qm::fault::KillResult k = qm::fault::killDuring([&](int i) {
            Connection c;
            c.open(working);
            qm::Dataset products(&c, "Aqproduct");
            qm::product::Values v;
            v.sphh = prefix + QString::number(i);
            v.spmc = QString(200, QChar(0x6c34));
            qm::product::store(products, v, true, {});
        }, 40, 300, seed);
        ASSERT_TRUE(k.killed);
        qm::openWorkingDatabase(frdm);
        EXPECT_EQ(company(), QStringLiteral("我的超市"));
        const int rows = frdm->ADOCon.scalar("SELECT count(*) FROM product WHERE sphh LIKE :p1", {{"p1", prefix + "%"}}).toInt();
        EXPECT_GE(rows, k.completed);
        EXPECT_LE(rows, k.completed + 1);
        for (int i = 0; i < k.completed; ++i)
            EXPECT_EQ(frdm->ADOCon.scalar("SELECT count(*) FROM product WHERE sphh=:p1", {{"p1", prefix + QString::number(i)}}).toInt(), 1);
        frdm->ADOCon.close();
    }
    EXPECT_EQ(QDir(folder() + "works").entryList({"*damaged*"}, QDir::Files), QStringList());
}

TEST_F(StartUpCheckTest, ALockTakenDuringTheFullCheckIsBusyNeverDamage)
{
    // A whole file that lacks a table of ours goes through the full check.
    {
        Connection c;
        c.open(working);
        c.exec("DROP TABLE package");
    }
    const QByteArray before = readFile(working);
    Connection frontDesk;
    frontDesk.open(working);
    // The other program takes the file at each moment the check lets go of it in turn.
    int busy = 0;
    for (int at = 1; at <= 8; ++at) {
        SCOPED_TRACE(at);
        int unlocks = 0;
        bool held = false;
        qm::fault::onUnlock(working, [&] {
            if (++unlocks < at) return false;
            frontDesk.exec("BEGIN EXCLUSIVE");
            held = true;
            return true;
        });
        const DatabaseFileState state = qm::checkWorkingDatabase(working, 200).state;
        qm::fault::onUnlock(working, {});
        EXPECT_TRUE(state == DatabaseFileState::Busy || state == DatabaseFileState::Usable) << int(state);
        busy += state == DatabaseFileState::Busy;
        if (held) frontDesk.exec("ROLLBACK");
    }
    EXPECT_GE(busy, 2);
    frontDesk.close();
    EXPECT_EQ(readFile(working), before);
}

TEST_F(StartUpCheckTest, ABackupWithItsHotJournalIsJudgedRolledBack)
{
    // A copy of the whole folder taken while a writer was in mid-transaction.
    leaveHotJournal();
    ASSERT_TRUE(QFile::copy(working, backup + ".hot"));
    ASSERT_TRUE(QFile::copy(working + "-journal", backup + ".hot-journal"));
    QFile::remove(backup);
    QFile::rename(backup + ".hot", backup);
    QFile::rename(backup + ".hot-journal", backup + "-journal");
    const QByteArray copy = readFile(backup), journal = readFile(backup + "-journal");
    EXPECT_TRUE(qm::isUsableBackup(backup));
    // The backup folder is never written: the journal rolls back on a private copy.
    EXPECT_EQ(readFile(backup), copy);
    EXPECT_EQ(readFile(backup + "-journal"), journal);

    // Restored at start-up over a damaged working file, with the transaction undone.
    frdm->ADOCon.close();
    QFile::remove(working + "-journal");
    writeFile(working, QByteArray(8192, 'g'));
    qm::openWorkingDatabase(frdm);
    EXPECT_TRUE(dialogs->lastMessage().startsWith(QStringLiteral("工作数据已损坏,已换上备份目录bak中的数据")));
    EXPECT_EQ(frdm->ADOCon.scalar("SELECT count(*) FROM customer WHERE name='未提交'").toInt(), 0);
    EXPECT_EQ(frdm->ADOCon.scalar("PRAGMA integrity_check").toString(), "ok");
    EXPECT_EQ(readFile(backup), copy);
}

TEST_F(StartUpCheckTest, AReadErrorIsSaidWithItsCauseAndNothingIsReplacedOrMoved)
{
    {
        Connection c;
        c.open(working);
        addCustomers(c, 1000, 300);
    }
    const int committed = customers(working);
    const QByteArray file = readFile(working), bak = readFile(backup);
    const auto disarm = qScopeGuard([] {
        qm::fault::disarm();
        qm::fault::setTarget({});
    });
    // The disk fails every read from the n-th on (a network share gone):
    // SQLite calls the file "malformed" or reports the read, by turns.
    for (int n : {3, 6, 12, 30}) {
        SCOPED_TRACE(n);
        dialogs->clear();
        qm::fault::setTarget(working);
        qm::fault::arm(qm::fault::Op::Read, n, true);
        EXPECT_THROW(qm::openWorkingDatabase(frdm), qm::ProgramExit);
        qm::fault::disarm();
        EXPECT_EQ(dialogs->messages(), QStringList{qm::cannotReadText(working, qm::ioErrorText())});
        EXPECT_FALSE(frdm->ADOCon.isOpen());
        EXPECT_EQ(QDir(folder() + "works").entryList(QDir::Files | QDir::Hidden), QStringList{"vkdb.mdb"});
        EXPECT_EQ(readFile(working), file);
        EXPECT_EQ(readFile(backup), bak);
    }
    // Once the disk reads again, the data opens as it was.
    dialogs->clear();
    qm::openWorkingDatabase(frdm);
    EXPECT_TRUE(dialogs->messages().isEmpty());
    EXPECT_EQ(frdm->ADOCon.scalar("SELECT count(*) FROM customer").toInt(), committed);
}
