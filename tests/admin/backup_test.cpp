// Backups on exit and on demand, restore, compaction and the yearly archive.
#include "admin/backup.h"
#include "admin/backupcommands.h"
#include "admin/tfrcopydir.h"
#include "admin/tfrpack.h"
#include "app/startup.h"
#include "common/errors.h"
#include "data/bakcopy.h"
#include "data/damage.h"
#include "shell/commands.h"
#include "shell/windowprotocol.h"
#include "support/faultvfs.h"
#include "support/files.h"
#include "support/fixture.h"
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>
#include <QTreeView>
#include <QPointer>
#include <QRegularExpression>
#include <QScopeGuard>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using qm::Connection;

namespace {
// The names of the products in a database file.
QStringList productNames(const QString& file)
{
    Connection c;
    c.open(file);
    QStringList out;
    for (const auto& r : c.rows("SELECT name FROM product ORDER BY name")) out << r.value(0).toString();
    return out;
}

const char* g_failAt = nullptr;
void failAtStep(const char* step)
{
    if (g_failAt && QByteArray(step) == g_failAt) throw qm::FileOpenError(QStringLiteral("injected failure at ") + step);
}

// A copy written and not yet checked, damaged at its second page's head (a
// stick that spoils what it is given).
void spoil(const QString& partial)
{
    QFile f(partial);
    if (!f.open(QIODevice::ReadWrite)) return;
    f.seek(4096);
    f.write(QByteArray(16, '\xff'));
}
} // namespace

class BackupTest : public AppFixture {
protected:
    void TearDown() override
    {
        qm::setCopyStepHook(nullptr);
        g_failAt = nullptr;
        qm::setArchivedProgramFile(QString());
        AppFixture::TearDown();
    }
    void addProduct(const QString& name)
    {
        frdm->ADOCon.exec("INSERT INTO product (intno, sphh, name) VALUES (:p1, :p1, :p2)",
                          {{"p1", QString::number(qHash(name))}, {"p2", name}});
    }
    void failAt(const char* step)
    {
        g_failAt = step;
        qm::setCopyStepHook(failAtStep);
    }
    QString working() const { return qm::AppPaths::workingDatabase(); }
};

TEST_F(BackupTest, WeekdayFolderIsZeroOnSundayToSixOnSaturday)
{
    const QDate sunday(2026, 12, 6);
    ASSERT_EQ(sunday.dayOfWeek(), 7);
    QStringList names;
    for (int i = 0; i < 7; ++i) names << qm::weekdayBackupName(sunday.addDays(i));
    EXPECT_EQ(names.join(' '), "BAK0 BAK1 BAK2 BAK3 BAK4 BAK5 BAK6");
    EXPECT_EQ(qm::yearArchiveName(QDate(2009, 3, 1)), "2009");
}

TEST_F(BackupTest, FolderCopyReplacesNestedFilesAndLeavesJournalsBehind)
{
    writeFile(folder() + "src/a.txt", "new a");
    writeFile(folder() + "src/sub/deeper/b.txt", "new b");
    writeFile(folder() + "src/x.mdb-journal", "journal");
    writeFile(folder() + "dst/a.txt", "old a");
    writeFile(folder() + "dst/keep.txt", "kept");
    qm::copyFolder(folder() + "src", folder() + "dst");
    EXPECT_EQ(readFile(folder() + "dst/a.txt"), "new a");
    EXPECT_EQ(readFile(folder() + "dst/sub/deeper/b.txt"), "new b");
    EXPECT_EQ(readFile(folder() + "dst/keep.txt"), "kept");
    EXPECT_FALSE(QFileInfo::exists(folder() + "dst/x.mdb-journal"));
    EXPECT_TRUE(QDir(folder() + "dst").entryList(QDir::Hidden | QDir::Files).filter(".part").isEmpty());
    EXPECT_THROW(qm::copyFolder(folder() + "missing", folder() + "dst2"), qm::FileOpenError);
}

TEST_F(BackupTest, ExitOnWednesdayWritesBak3AndNoLeavesEverythingAlone)
{
    qm::Clock::setFixed(QDateTime(QDate(2026, 12, 9), QTime(18, 0)));
    addProduct(QStringLiteral("牛奶"));
    writeFile(folder() + "works/notes/memo.txt", "memo");

    dialogs->answers = {qm::Answer::No};
    qm::exitBackup();
    EXPECT_FALSE(frdm->ADOCon.isOpen());
    ASSERT_EQ(dialogs->shown.size(), 1u);
    EXPECT_EQ(dialogs->shown[0].caption, QStringLiteral("是否备份数据?"));
    EXPECT_EQ(dialogs->shown[0].text, QStringLiteral("若系统正常且没有启动前台管理,则选择[是],否则选择[否]"));
    EXPECT_EQ(dialogs->shown[0].buttons, qm::Buttons::YesNo);
    EXPECT_FALSE(QFileInfo::exists(folder() + "BAK3"));

    frdm->connectTo(working());
    dialogs->clear();
    qm::exitBackup();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("数据备份完毕！ "));
    EXPECT_EQ(productNames(folder() + "BAK3/vkdb.mdb"), QStringList{QStringLiteral("牛奶")});
    EXPECT_EQ(readFile(folder() + "BAK3/notes/memo.txt"), "memo");
    for (int d : {0, 1, 2, 4, 5, 6}) EXPECT_FALSE(QFileInfo::exists(folder() + QStringLiteral("BAK%1").arg(d)));
}

TEST_F(BackupTest, ExitBackupClosedByTheMainWindowOnlyAfterTheDataWasOpened)
{
    qm::Clock::setFixed(QDateTime(QDate(2026, 12, 6), QTime(18, 0)));
    frmain->close();
    EXPECT_TRUE(QFileInfo::exists(folder() + "BAK0/vkdb.mdb"));
    dialogs->clear();
    frmain->close(); // the connection is closed now: no question
    EXPECT_TRUE(dialogs->shown.empty());
}

TEST_F(BackupTest, EveryCopyFailingHalfWayKeepsThePreviousCopyAndSaysSo)
{
    qm::Clock::setFixed(QDateTime(QDate(2026, 12, 7), QTime(18, 0)));
    addProduct(QStringLiteral("旧"));
    qm::exitBackup();
    frdm->connectTo(working());
    addProduct(QStringLiteral("新"));
    const QByteArray before = readFile(folder() + "BAK1/vkdb.mdb");

    for (const char* step : {"database", "rename"}) {
        SCOPED_TRACE(step);
        failAt(step);
        dialogs->clear();
        frdm->connectTo(working());
        qm::exitBackup();
        EXPECT_EQ(readFile(folder() + "BAK1/vkdb.mdb"), before);
        EXPECT_TRUE(dialogs->lastMessage().startsWith(QStringLiteral("数据备份失败,请通过手工备份！ \r原因：")))
            << dialogs->lastMessage().toStdString();
        EXPECT_FALSE(dialogs->messages().contains(QStringLiteral("数据备份完毕！ ")));
        EXPECT_TRUE(QDir(folder() + "BAK1").entryList(QDir::Hidden | QDir::Files).filter(QRegularExpression("^\\.")).isEmpty());
    }

    // The folder's sync refused once the copy took the old one's name: the
    // copy is there, but not yet safe from a power cut, and that is said.
    failAt("synced");
    dialogs->clear();
    frdm->connectTo(working());
    qm::exitBackup();
    EXPECT_TRUE(dialogs->lastMessage().startsWith(QStringLiteral("数据备份失败,请通过手工备份！ \r原因："))) << dialogs->lastMessage().toStdString();
    EXPECT_FALSE(dialogs->messages().contains(QStringLiteral("数据备份完毕！ ")));

    // A plain file of the folder fails the same way.
    writeFile(folder() + "works/memo.txt", "new memo");
    writeFile(folder() + "BAK1/memo.txt", "old memo");
    failAt("file");
    EXPECT_THROW(qm::copyWorkingFolder("BAK1"), qm::FileOpenError);
    EXPECT_EQ(readFile(folder() + "BAK1/memo.txt"), "old memo");
}

TEST_F(BackupTest, WhatKilledCopiesLeftInTheBackupFoldersGoesAtTheNextStart)
{
    const QString dead = QString::number([] {
        const pid_t child = ::fork();
        if (child == 0) ::_exit(0);
        ::waitpid(child, nullptr, 0);
        return child;
    }());
    const QString running = QString::number(::getpid());
    const QStringList stale = {"bak/.vkdb.mdb.D-1.part",       "BAK3/.vkdb.mdb.D-2.part",       "BAK3/notes/.memo.txt.D-3.part",
                               "LASTBAK/.vkdb.mdb.D-4.part",   "2025/.quillmart.D-5.part",      "2025/works/.vkdb.mdb.D-6.part",
                               "works/.vkdb.mdb.D-7.part",     "BAK0/.vkdb.mdb.D-8.part-journal"};
    const QStringList kept = {"BAK3/.vkdb.mdb.R-9.part", "usb/.vkdb.mdb.D-10.part", "BAK3/vkdb.mdb", "bakup/.vkdb.mdb.D-11.part",
                              "BAK3/.vkdb.mdb.new"};
    auto path = [&](QString f) { return folder() + f.replace("D-", dead + "-").replace("R-", running + "-"); };
    for (const QString& f : stale + kept) writeFile(path(f), QByteArray(4096, 'p'));
    frdm->ADOCon.close();
    qm::openWorkingDatabase(frdm);
    for (const QString& f : stale) EXPECT_FALSE(QFileInfo::exists(path(f))) << f.toStdString();
    for (const QString& f : kept) EXPECT_TRUE(QFileInfo::exists(path(f))) << f.toStdString();
    // A folder the operator chose: cleaned by the next copy into it.
    qm::copyDatabaseFile(working(), folder() + "usb/vkdb.mdb");
    EXPECT_EQ(QDir(folder() + "usb").entryList(QDir::Files | QDir::Hidden), QStringList{"vkdb.mdb"});
}

TEST_F(BackupTest, CompactionFailureIsReportedAndTheWeekdayCopyStillMade)
{
    qm::Clock::setFixed(QDateTime(QDate(2026, 12, 8), QTime(18, 0)));
    // The front desk holds a write on the file for longer than the wait.
    Connection frontDesk;
    frontDesk.open(working());
    frontDesk.exec("BEGIN IMMEDIATE");
    frontDesk.exec("UPDATE config SET startbj=1");
    qm::exitBackup();
    frontDesk.exec("ROLLBACK");
    EXPECT_EQ(dialogs->messages().mid(1), (QStringList{QStringLiteral("压缩数据库失败\r原因：可能此数据库正在被其他程序打开。"),
                                                       QStringLiteral("数据备份完毕！ ")}));
    EXPECT_TRUE(qm::isUsableDatabase(folder() + "BAK2/vkdb.mdb"));
    EXPECT_EQ(frontDesk.scalar("SELECT startbj FROM config").toInt(), 0);

    // Not a database at all: the true cause instead of another program, and no success.
    writeFile(folder() + "works/broken.mdb", QByteArray(8192, 'x'));
    dialogs->clear();
    {
        qm::LongWork work{QString()};
        EXPECT_FALSE(qm::reportCompaction(qm::compactUnder(work, folder() + "works/broken.mdb")));
    }
    ASSERT_EQ(dialogs->shown.size(), 1u);
    EXPECT_EQ(dialogs->shown[0].text, QStringLiteral("压缩数据库失败\r原因：") + qm::damagedFileText(folder() + "works/broken.mdb"));
    EXPECT_EQ(dialogs->shown[0].caption, QStringLiteral("提示"));
    EXPECT_EQ(dialogs->shown[0].icon, qm::Icon::Error);
}

class CopydirTest : public BackupTest {
protected:
    QPointer<Tfrcopydir> window;
    void SetUp() override
    {
        BackupTest::SetUp();
        ASSERT_TRUE(qm::runCommand("N45"));
        window = qobject_cast<Tfrcopydir*>(qm::findOpenWindow("Frcopydir"));
        ASSERT_TRUE(window);
    }
    void TearDown() override
    {
        delete window;
        BackupTest::TearDown();
    }
};

TEST_F(CopydirTest, RefusedToOthersAndWhileLastYearsDataIsShown)
{
    EXPECT_EQ(window->windowTitle(), QStringLiteral("数据备份恢复-请慎重选择!"));
    EXPECT_EQ(window->folder(), QDir::cleanPath(folder() + "bak"));
    EXPECT_FALSE(frmain->isEnabled());
    delete window;
    frmain->setEnabled(true);

    loginAs("001");
    qm::runCommand("N45");
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("该用户无权使用此功能！"));
    loginAs("999");
    frmain->lastYearMode = "T";
    qm::runCommand("N45");
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("正在查去年数据，不能做备份恢复功能"));
    EXPECT_FALSE(qm::findOpenWindow("Frcopydir"));
    EXPECT_TRUE(frmain->isEnabled());
}

TEST_F(CopydirTest, BackupWritesTheChosenFolderAndReopensTheData)
{
    addProduct(QStringLiteral("面包"));
    QDir().mkpath(folder() + "usb");
    window->setFolder(folder() + "usb");
    dialogs->answers = {qm::Answer::Cancel};
    window->BitBtn1Click();
    EXPECT_FALSE(QFileInfo::exists(folder() + "usb/vkdb.mdb"));

    dialogs->clear();
    window->BitBtn1Click();
    EXPECT_EQ(dialogs->messages(), (QStringList{QStringLiteral("你选择的数据备份位置是:") + QDir::cleanPath(folder() + "usb") + "/vkdb.mdb",
                                                QStringLiteral("是否进行备份数据?"), QStringLiteral("数据备份完毕！ ")}));
    EXPECT_EQ(productNames(folder() + "usb/vkdb.mdb"), QStringList{QStringLiteral("面包")});
    EXPECT_TRUE(frdm->ADOCon.isOpen());
    EXPECT_TRUE(frdm->ATcompany->active());
    EXPECT_TRUE(window.isNull() || !window->isVisible());
}

TEST_F(CopydirTest, ACopySpoiltBeforeItsCheckNamesTheTargetNotTheWorkingData)
{
    qm::Clock::setFixed(QDateTime(QDate(2026, 12, 7), QTime(18, 0))); // BAK1
    const QString usb = folder() + "usb/vkdb.mdb";
    qm::copyDatabaseFile(working(), usb);
    const QByteArray old = readFile(usb);
    addProduct(QStringLiteral("新"));
    const auto unhook = qScopeGuard([] { qm::setCopyWrittenHook({}); });
    auto backUpTo = [this](const QString& where, int spoilt) {
        delete window;
        qm::runCommand("N45");
        window = qobject_cast<Tfrcopydir*>(qm::findOpenWindow("Frcopydir"));
        window->setFolder(where);
        int written = 0;
        qm::setCopyWrittenHook([&written, spoilt](const QString& partial) {
            if (++written <= spoilt) spoil(partial);
        });
        dialogs->clear();
        window->BitBtn1Click();
        qm::setCopyWrittenHook({});
        return written;
    };

    // Every copy spoilt on its way: the target and its disk are named, the
    // old copy stays, and the working data is whole and not called damaged.
    EXPECT_EQ(backUpTo(folder() + "usb", 1000), 2);
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("请检查本系统的数据备份是否存在！ \r原因：") + qm::targetFaultText(usb));
    EXPECT_FALSE(dialogs->lastMessage().contains(QStringLiteral("恢复")));
    EXPECT_FALSE(qm::workingDamaged());
    EXPECT_EQ(readFile(usb), old);
    EXPECT_EQ(QDir(folder() + "usb").entryList(QDir::Files | QDir::Hidden), QStringList{"vkdb.mdb"});
    EXPECT_TRUE(frdm->ADOCon.isOpen());

    // The exit backup to a folder that keeps what it is given is made.
    dialogs->clear();
    qm::exitBackup();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("数据备份完毕！ "));
    EXPECT_EQ(productNames(folder() + "BAK1/vkdb.mdb"), QStringList{QStringLiteral("新")});
    frdm->connectTo(working());
    qm::requestBakCopy();
    settleBakCopies();
    EXPECT_EQ(productNames(folder() + "bak/vkdb.mdb"), QStringList{QStringLiteral("新")});

    // Spoilt once only: made once more, and in place.
    EXPECT_EQ(backUpTo(folder() + "usb", 1), 2);
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("数据备份完毕！ "));
    EXPECT_EQ(productNames(usb), QStringList{QStringLiteral("新")});
    EXPECT_FALSE(qm::workingDamaged());
}

TEST_F(CopydirTest, ASourceLackingTablesOrAFolderNotWritableIsNamedAndTheOldCopyStays)
{
    const QString usb = folder() + "usb/vkdb.mdb";
    qm::copyDatabaseFile(working(), usb);
    const QByteArray old = readFile(usb);

    // Working data that lacks a table of the program's is not damage.
    frdm->ADOCon.exec("DROP TABLE apperror");
    window->setFolder(folder() + "usb");
    window->BitBtn1Click();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("请检查本系统的数据备份是否存在！ \r原因：数据表apperror不存在"));
    EXPECT_EQ(readFile(usb), old);
    EXPECT_FALSE(qm::workingDamaged());
    dialogs->clear();
    qm::requestBakCopy();
    settleBakCopies();
    EXPECT_EQ(dialogs->messages(), QStringList{QStringLiteral("请检查本系统的数据备份目录bak是否存在！ \r数据表apperror不存在")});

    // A folder the program may not write: root writes every folder, so the
    // copy runs as an ordinary user in a child process.
    frdm->ADOCon.close();
    for (const QString& f : {dir.path(), folder() + "works", folder() + "usb"})
        ASSERT_EQ(::chmod(QFile::encodeName(f).constData(), f.endsWith("usb") ? 0555 : 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(working()).constData(), 0644), 0);
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        QByteArray said = "copied";
        if (::geteuid() == 0 && ::setuid(65534) != 0) ::_exit(100);
        try {
            qm::copyDatabaseFile(working(), usb);
        } catch (const qm::AppError& e) {
            said = qm::reasonOf(e).toUtf8();
        }
        ::_exit(::write(fds[1], said.constData(), size_t(said.size())) < 0 ? 1 : 0);
    }
    ::close(fds[1]);
    QByteArray said;
    char buf[256];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) said.append(buf, n);
    ::close(fds[0]);
    ::waitpid(child, nullptr, 0);
    ::chmod(QFile::encodeName(folder() + "usb").constData(), 0755);
    EXPECT_EQ(QString::fromUtf8(said), QStringLiteral("没有读写权限"));
    EXPECT_EQ(readFile(usb), old);
}

TEST_F(CopydirTest, TheWorkingFolderIsNeitherSourceNorTarget)
{
    window->setFolder(folder() + "works");
    window->BitBtn1Click();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("备份位置不能是工作数据位置,请另选文件夹！ "));
    window->BitBtn2Click();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("备份位置不能是工作数据位置,请另选文件夹！ "));
    EXPECT_TRUE(frdm->ADOCon.isOpen());
}

// The folder the operator picks by mouse is the one the box shows and both
// commands use, however long the window stays open.
TEST_F(CopydirTest, TheFolderPickedIsTheOneShownAndUsed)
{
    for (int i = 0; i < 40; ++i) QDir().mkpath(folder() + QStringLiteral("d%1").arg(i));
    delete window;
    ASSERT_TRUE(qm::runCommand("N45"));
    window = qobject_cast<Tfrcopydir*>(qm::findOpenWindow("Frcopydir"));
    ASSERT_TRUE(window);
    auto* tree = window->DirectoryListBox1;
    const QString top = QDir::cleanPath(folder());

    // Picked by mouse low in the list.
    QModelIndex row;
    for (int y = tree->viewport()->height() - 4; y > 0 && !row.isValid(); y -= 4) {
        const QModelIndex at = tree->indexAt(QPoint(tree->viewport()->width() / 2, y));
        if (window->pathOf(at.parent()) == top) row = at;
    }
    ASSERT_TRUE(row.isValid());
    const QString picked = window->pathOf(row);
    const QPoint at = tree->visualRect(row).center();
    QTest::mousePress(tree->viewport(), Qt::LeftButton, {}, at);
    QMouseEvent move(QEvent::MouseMove, at, tree->viewport()->mapToGlobal(at), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(tree->viewport(), &move);
    QTest::mouseRelease(tree->viewport(), Qt::LeftButton, {}, at);
    QTest::qWait(100);
    EXPECT_EQ(window->Edit1->text().toStdString(), picked.toStdString());
    EXPECT_EQ(window->pathOf(tree->currentIndex()).toStdString(), picked.toStdString());
    EXPECT_EQ(window->folder().toStdString(), picked.toStdString());

    // The restore names the copy there by its date and size; the backup writes there.
    qm::copyDatabaseFile(working(), picked + "/vkdb.mdb");
    const QFileInfo copy(picked + "/vkdb.mdb");
    ASSERT_LT(copy.size(), 1024 * 1024);
    dialogs->answers = {qm::Answer::Cancel};
    window->BitBtn2Click();
    EXPECT_EQ(dialogs->messages().value(0), QStringLiteral("你选择的数据备份位置是:%1/vkdb.mdb\r备份时间:%2  大小:%3KB")
                                                 .arg(picked, copy.lastModified().toString("yyyy-MM-dd HH:mm:ss"))
                                                 .arg((copy.size() + 1023) / 1024));
    QFile::remove(picked + "/vkdb.mdb");
    addProduct(QStringLiteral("选中的"));
    window->BitBtn1Click();
    EXPECT_EQ(productNames(picked + "/vkdb.mdb"), QStringList{QStringLiteral("选中的")});
}

// The window opens with the folder list whole and sorted (by name, case
// aside, hidden folders left out) and the keys on it:
// Down and Up pick the folders beside the chosen one, and nothing else moves
// the choice while the window stays open.
TEST_F(CopydirTest, TheListOpensSortedWithTheKeysOnIt)
{
    for (const char* name : {"B10", "b2", "a", ".hidden"}) QDir().mkpath(folder() + name);
    delete window;
    ASSERT_TRUE(qm::runCommand("N45"));
    window = qobject_cast<Tfrcopydir*>(qm::findOpenWindow("Frcopydir"));
    ASSERT_TRUE(window);
    auto* tree = window->DirectoryListBox1;
    const QString top = QDir::cleanPath(folder());
    QStringList names;
    const QModelIndex bak = tree->currentIndex();
    for (int r = 0; r < tree->model()->rowCount(bak.parent()); ++r)
        names << tree->model()->index(r, 0, bak.parent()).data().toString();
    EXPECT_EQ(window->pathOf(bak.parent()), top);
    EXPECT_FALSE(names.contains(".hidden"));
    const QStringList ours = names.filter(QRegularExpression("^(a|b2|B10)$"));
    EXPECT_EQ(ours, (QStringList{"a", "B10", "b2"})) << names.join(' ').toStdString();

    window->show();
    QApplication::setActiveWindow(window);
    EXPECT_EQ(window->focusWidget(), tree);
    const int at = names.indexOf("bak");
    ASSERT_GE(at, 0);
    ASSERT_LT(at + 1, names.size());
    QTest::keyClick(window->focusWidget(), Qt::Key_Down);
    EXPECT_EQ(window->folder(), top + "/" + names[at + 1]);
    QTest::keyClick(window->focusWidget(), Qt::Key_Up);
    EXPECT_EQ(window->folder(), top + "/bak");
    QTest::qWait(200);
    EXPECT_EQ(window->folder(), top + "/bak");
    EXPECT_EQ(window->Edit1->text(), top + "/bak");
    EXPECT_EQ(window->pathOf(tree->currentIndex()), top + "/bak");
}

// Each long command runs off the interface thread under one progress window
// naming its steps in order (shown at once here); the messages before and
// after stay as they were.
TEST_F(CopydirTest, LongCommandsShowTheirStepsInOrder)
{
    dialogs->progressDelayMs = 0;
    auto stepsOf = [this](const std::function<void()>& command) {
        dialogs->clear();
        command();
        return dialogs->progressSteps();
    };
    auto reopen = [this] {
        delete window;
        qm::runCommand("N45");
        window = qobject_cast<Tfrcopydir*>(qm::findOpenWindow("Frcopydir"));
        window->setFolder(folder() + "usb");
    };
    reopen();
    EXPECT_EQ(stepsOf([this] { window->BitBtn1Click(); }),
              (QStringList{QStringLiteral("数据备份|复制数据"), QStringLiteral("数据备份|检查数据")}));
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("数据备份完毕！ "));
    reopen();
    EXPECT_EQ(stepsOf([this] { window->BitBtn2Click(); }),
              (QStringList{QStringLiteral("数据恢复|复制数据"), QStringLiteral("数据恢复|检查备份文件")}));
    EXPECT_TRUE(dialogs->lastMessage().startsWith(QStringLiteral("数据恢复完毕！ ")));
    // The restore's copy to bak/ is done before the next command waits for it.
    qm::waitForBakCopies();

    ASSERT_TRUE(qm::runCommand("N17"));
    QPointer<Tfrpack> pack = qobject_cast<Tfrpack*>(qm::findOpenWindow("Frpack"));
    EXPECT_EQ(stepsOf([&] { pack->Button1Click(); }),
              (QStringList{QStringLiteral("数据整理|处理数据"), QStringLiteral("数据整理|压缩数据")}));
    EXPECT_EQ(pack->Label1->text(), QStringLiteral("数据的压缩整理完毕！"));
    pack->Button2Click();
    qm::waitForBakCopies();

    writeFile(folder() + "program", "the program");
    qm::setArchivedProgramFile(folder() + "program");
    EXPECT_EQ(stepsOf([this] {
                  dialogs->inputs = {"123456"};
                  qm::runCommand("N77");
              }),
              (QStringList{QStringLiteral("年度数据备份|复制数据"), QStringLiteral("年度数据备份|复制数据"),
                           QStringLiteral("年度数据备份|检查数据")}));
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("年度数据备份完毕！ "));

    // Start-up's own restore of working data found damaged.
    qm::copyDatabaseFile(working(), folder() + "bak/vkdb.mdb");
    frdm->ADOCon.close();
    writeFile(working(), QByteArray(8192, 'x'));
    EXPECT_EQ(stepsOf([] { qm::openWorkingDatabase(frdm); }),
              (QStringList{QStringLiteral("数据恢复|复制数据"), QStringLiteral("数据恢复|检查备份文件")}));
    EXPECT_TRUE(frdm->ADOCon.isOpen());

    EXPECT_EQ(stepsOf([] { qm::exitBackup(); }), (QStringList{QStringLiteral("数据备份|压缩数据"), QStringLiteral("数据备份|复制数据"),
                                                              QStringLiteral("数据备份|检查数据")}));
    EXPECT_EQ(dialogs->messages(), (QStringList{qm::exitBackupQuestion(), QStringLiteral("数据备份完毕！ ")}));
}

TEST_F(CopydirTest, RestoreKeepsTheCurrentDataAndUpgradesTheCopy)
{
    addProduct(QStringLiteral("备份前"));
    qm::copyDatabaseFile(working(), folder() + "usb/vkdb.mdb");
    {
        // An older copy: the options row lacks a flag that start-up adds.
        Connection old;
        old.open(folder() + "usb/vkdb.mdb");
        old.exec("ALTER TABLE config DROP COLUMN cashboxbj");
    }
    addProduct(QStringLiteral("备份后"));
    // The front desk, connected all along: its writes are refused afterwards,
    // never lost into the old data kept aside.
    Connection frontDesk;
    frontDesk.open(working());
    window->setFolder(folder() + "usb");
    window->BitBtn2Click();
    EXPECT_THROW(frontDesk.exec("UPDATE product SET name='前台'"), qm::DbError);
    const QStringList kept = QDir(folder() + "works").entryList({"vkdb.mdb.before-restore-*"});
    ASSERT_EQ(kept.size(), 1);
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("数据恢复完毕！ \r恢复前的数据保存在: ") + folder() + "works/" + kept[0]
                                          + QStringLiteral("\r前台收银程序如正在运行,请关闭后重新启动,否则它仍读取恢复前的数据,录入的数据不能保存。"));
    EXPECT_EQ(productNames(working()), QStringList{QStringLiteral("备份前")});
    EXPECT_TRUE(frdm->ADOCon.columnExists("config", "cashboxbj"));
    EXPECT_EQ(productNames(folder() + "works/" + kept[0]), (QStringList{QStringLiteral("备份前"), QStringLiteral("备份后")}));
    EXPECT_FALSE(QFileInfo::exists(folder() + "works/.vkdb.mdb.restore"));
}

TEST_F(CopydirTest, RestoreRefusesDamagedForeignAndMissingFilesAndFailuresChangeNothing)
{
    addProduct(QStringLiteral("现有"));
    const QStringList current{QStringLiteral("现有")};
    window->setFolder(folder() + "usb");
    QDir().mkpath(folder() + "usb");

    window->BitBtn2Click();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("请检查本系统的数据备份是否存在！ "));

    qm::copyDatabaseFile(working(), folder() + "usb/vkdb.mdb");
    QByteArray bytes = readFile(folder() + "usb/vkdb.mdb");
    bytes.replace(4096, 4096, QByteArray(4096, '\xff'));
    writeFile(folder() + "usb/vkdb.mdb", bytes);
    window->BitBtn2Click();
    const QString refused = QStringLiteral("备份位置的数据文件已损坏或不是本系统的数据,不能恢复！工作数据没有改变。 ");
    EXPECT_EQ(dialogs->lastMessage(), refused);

    {
        QFile::remove(folder() + "usb/vkdb.mdb");
        Connection foreign;
        foreign.open(folder() + "usb/vkdb.mdb", true);
        foreign.exec("CREATE TABLE t (x)");
    }
    window->BitBtn2Click();
    EXPECT_EQ(dialogs->lastMessage(), refused);

    QFile::remove(folder() + "usb/vkdb.mdb");
    qm::copyDatabaseFile(working(), folder() + "usb/vkdb.mdb");
    frdm->ADOCon.exec("DELETE FROM product");
    addProduct(QStringLiteral("现有"));
    {
        // The front desk reading all the while: refused after the wait, not hung.
        qm::fault::ReaderHold frontDesk(working());
        window->BitBtn2Click();
        EXPECT_TRUE(dialogs->lastMessage().startsWith(QStringLiteral("数据恢复失败,工作数据没有改变。 \r原因："))) << dialogs->lastMessage().toStdString();
    }
    EXPECT_EQ(productNames(working()), current);
    // Failing before the copy is checked, and when the working file is to be replaced.
    for (const auto& [step, told] : {std::pair{"staged", "请检查本系统的数据备份是否存在！ \r原因："},
                                     std::pair{"replace", "数据恢复失败,工作数据没有改变。 \r原因："}}) {
        SCOPED_TRACE(step);
        failAt(step);
        window->BitBtn2Click();
        EXPECT_TRUE(dialogs->lastMessage().startsWith(QString::fromUtf8(told))) << dialogs->lastMessage().toStdString();
        EXPECT_EQ(productNames(working()), current);
        EXPECT_TRUE(frdm->ADOCon.isOpen());
        EXPECT_EQ(QDir(folder() + "works").entryList(QDir::Files | QDir::Hidden), QStringList{"vkdb.mdb"});
    }
}

TEST_F(CopydirTest, ACopyWithItsHotJournalIsRestoredRolledBackAndLeftAsItWas)
{
    addProduct(QStringLiteral("备份的"));
    const QString usb = folder() + "usb/vkdb.mdb";
    qm::copyDatabaseFile(working(), usb);
    qm::fault::leaveHotJournal(usb);
    const QByteArray copy = readFile(usb), journal = readFile(usb + "-journal");
    frdm->ADOCon.exec("UPDATE product SET name='现有'");
    window->setFolder(folder() + "usb");
    window->BitBtn2Click();
    EXPECT_TRUE(dialogs->lastMessage().startsWith(QStringLiteral("数据恢复完毕！ ")));
    EXPECT_EQ(productNames(working()), QStringList{QStringLiteral("备份的")});
    EXPECT_EQ(frdm->ADOCon.scalar("SELECT count(*) FROM customer WHERE name='未提交'").toInt(), 0);
    EXPECT_EQ(readFile(usb), copy);
    EXPECT_EQ(readFile(usb + "-journal"), journal);
}

TEST_F(CopydirTest, AFailedRestoreSaysWhatTheWorkingDataHolds)
{
    addProduct(QStringLiteral("现有"));
    const QString usb = folder() + "usb/vkdb.mdb";
    qm::copyDatabaseFile(working(), usb);
    {
        Connection b;
        b.open(usb);
        b.exec("UPDATE product SET name='备份的'");
    }
    window->setFolder(folder() + "usb");
    // The rename done, then the folder's sync refused: the restored data is in
    // place although the restore reported a failure. The rename refused: the
    // old data is as it was.
    struct Case {
        const char* step;
        const char* told;
        const char* holds;
    };
    for (const Case& k : {Case{"synced", "数据已恢复,但恢复过程中报告了错误,请检查磁盘！ \r原因：", "备份的"},
                          Case{"replace", "数据恢复失败,工作数据没有改变。 \r原因：", "现有"}}) {
        SCOPED_TRACE(k.step);
        frdm->ADOCon.exec("UPDATE product SET name='现有'");
        dialogs->clear();
        failAt(k.step);
        window->BitBtn2Click();
        EXPECT_TRUE(dialogs->lastMessage().startsWith(QString::fromUtf8(k.told))) << dialogs->lastMessage().toStdString();
        EXPECT_EQ(productNames(working()), QStringList{QString::fromUtf8(k.holds)});
        EXPECT_TRUE(frdm->ADOCon.isOpen());
    }
}

TEST_F(CopydirTest, RestoresInARowKeepEveryOldDataNameItAndRemoveWhatKilledRunsLeft)
{
    const QString works = folder() + "works/";
    const pid_t dead = [] {
        const pid_t child = ::fork();
        if (child == 0) ::_exit(0);
        ::waitpid(child, nullptr, 0);
        return child;
    }();
    const QString settle = QDir::tempPath() + QStringLiteral("/quillmart-settle-%1-test").arg(dead);
    const QStringList stale = {QStringLiteral(".vkdb.mdb.%1-3.part").arg(dead), ".vkdb.mdb.restore", ".vkdb.mdb.restore-journal"};
    const QString running = QStringLiteral(".vkdb.mdb.%1-999999.part").arg(::getpid());
    auto leaveLeftovers = [&] {
        for (const QString& f : stale + QStringList{running}) writeFile(works + f, QByteArray(4096, 'p'));
        // The start of another test process may remove it first, as it should.
        QDir().mkpath(settle);
        QFile settled(settle + "/vkdb.mdb");
        if (settled.open(QIODevice::WriteOnly)) settled.write("copy");
        // A restore killed after it gave the working file its second name.
        QFile::remove(works + "vkdb.mdb.before-restore-20200101-000000");
        ASSERT_EQ(::link(QFile::encodeName(working()).constData(), QFile::encodeName(works + "vkdb.mdb.before-restore-20200101-000000").constData()), 0);
    };
    auto expectRemoved = [&] {
        for (const QString& f : stale) EXPECT_FALSE(QFileInfo::exists(works + f)) << f.toStdString();
        EXPECT_FALSE(QFileInfo::exists(settle));
        EXPECT_FALSE(QFileInfo::exists(works + "vkdb.mdb.before-restore-20200101-000000"));
        EXPECT_TRUE(QFileInfo::exists(works + running)) << "a running copy's file stays";
    };

    addProduct(QStringLiteral("备份的"));
    qm::copyDatabaseFile(working(), folder() + "usb/vkdb.mdb");
    window->setFolder(folder() + "usb");
    // Each restore keeps the data it replaced, and the message names every
    // copy kept, the latest first: the documents entered before the first
    // restore may be nowhere else.
    QStringList keptNames; // newest first
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        qm::Clock::setFixed(QDateTime(QDate(2026, 12, 7), QTime(9, round)));
        addProduct(QStringLiteral("第%1次恢复前").arg(round));
        leaveLeftovers();
        dialogs->clear();
        window->BitBtn2Click();
        expectRemoved();
        const QString latest = works + QStringLiteral("vkdb.mdb.before-restore-20261207-09%1").arg(round, 2, 10, QLatin1Char('0')) + "00";
        ASSERT_TRUE(QFileInfo::exists(latest));
        QString told = QStringLiteral("数据恢复完毕！ \r恢复前的数据保存在: ") + latest;
        if (!keptNames.isEmpty()) told += QStringLiteral("\r以前恢复前保存的数据:\r") + keptNames.join('\r');
        told += QStringLiteral("\r前台收银程序如正在运行,请关闭后重新启动,否则它仍读取恢复前的数据,录入的数据不能保存。");
        EXPECT_EQ(dialogs->lastMessage(), told);
        keptNames.prepend(latest);
        EXPECT_EQ(QDir(works).entryList({"vkdb.mdb.before-restore-*"}, QDir::Files).size(), round + 1);
    }
    for (int round = 0; round < 3; ++round)
        EXPECT_TRUE(productNames(keptNames[2 - round]).contains(QStringLiteral("第%1次恢复前").arg(round))) << round;

    // The folder copies leave it where it is.
    qm::copyWorkingFolder("BAK1");
    EXPECT_EQ(QDir(folder() + "BAK1").entryList(QDir::Files | QDir::Hidden), QStringList{"vkdb.mdb"});

    // What killed runs leave goes at the next start as well.
    leaveLeftovers();
    frdm->ADOCon.close();
    qm::openWorkingDatabase(frdm);
    expectRemoved();
    QFile::remove(works + running);
}

// Old data kept by restores goes only when it is older than 30 days and not
// among the last three; the message names what went.
TEST_F(CopydirTest, OldDataKeptByRestoresGoesAfterThirtyDaysBeyondTheLastThree)
{
    const QString works = folder() + "works/";
    const QString prefix = works + "vkdb.mdb.before-restore-";
    qm::copyDatabaseFile(working(), folder() + "usb/vkdb.mdb");
    window->setFolder(folder() + "usb");
    const QString front = QStringLiteral("\r前台收银程序如正在运行,请关闭后重新启动,否则它仍读取恢复前的数据,录入的数据不能保存。");

    // 6, 17, 29 and 31 days old, a year old (with its journal), and one whose name gives no time.
    for (const char* name : {"20261201-090000", "20261120-090000", "20261108-090000", "20261106-090000", "20251207-090000",
                             "20251207-090000-journal", "copied-by-hand"})
        writeFile(prefix + name, "old data");
    qm::Clock::setFixed(QDateTime(QDate(2026, 12, 7), QTime(9, 0)));
    window->BitBtn2Click();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("数据恢复完毕！ \r恢复前的数据保存在: ") + prefix + "20261207-090000"
                                          + QStringLiteral("\r以前恢复前保存的数据:\r") + prefix + "20261201-090000\r" + prefix
                                          + "20261120-090000\r" + prefix + "20261108-090000\r" + prefix + "copied-by-hand"
                                          + QStringLiteral("\r已删除30天以前恢复前保存的数据:\r") + prefix + "20261106-090000\r"
                                          + prefix + "20251207-090000" + front);
    EXPECT_EQ(QDir(works).entryList({"vkdb.mdb.before-restore-*"}, QDir::Files),
              (QStringList{"vkdb.mdb.before-restore-20261108-090000", "vkdb.mdb.before-restore-20261120-090000",
                           "vkdb.mdb.before-restore-20261201-090000", "vkdb.mdb.before-restore-20261207-090000",
                           "vkdb.mdb.before-restore-copied-by-hand"}));

    // Months later every copy is old: the last three stay whatever their age.
    QFile::remove(prefix + "copied-by-hand");
    qm::Clock::setFixed(QDateTime(QDate(2027, 6, 1), QTime(8, 0)));
    window->BitBtn2Click();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("数据恢复完毕！ \r恢复前的数据保存在: ") + prefix + "20270601-080000"
                                          + QStringLiteral("\r以前恢复前保存的数据:\r") + prefix + "20261207-090000\r" + prefix
                                          + "20261201-090000" + QStringLiteral("\r已删除30天以前恢复前保存的数据:\r") + prefix
                                          + "20261120-090000\r" + prefix + "20261108-090000" + front);
    EXPECT_EQ(QDir(works).entryList({"vkdb.mdb.before-restore-*"}, QDir::Files),
              (QStringList{"vkdb.mdb.before-restore-20261201-090000", "vkdb.mdb.before-restore-20261207-090000",
                           "vkdb.mdb.before-restore-20270601-080000"}));
}

// A restore and the clean-up end with their data copied to bak/, as a save
// does: a start-up swap after a later damage would otherwise undo them.
TEST_F(CopydirTest, RestoreAndCleanUpLeaveTheirDataInBak)
{
    const QString bak = folder() + "bak/vkdb.mdb";
    addProduct(QStringLiteral("备份的"));
    qm::copyDatabaseFile(working(), folder() + "usb/vkdb.mdb");
    addProduct(QStringLiteral("恢复前"));
    qm::copyDatabaseFile(working(), bak);
    window->setFolder(folder() + "usb");
    window->BitBtn2Click();
    ASSERT_TRUE(dialogs->lastMessage().startsWith(QStringLiteral("数据恢复完毕！ ")));
    qm::waitForBakCopies();
    EXPECT_EQ(productNames(bak), QStringList{QStringLiteral("备份的")});

    frdm->ADOCon.exec("INSERT INTO product (intno, name) VALUES ('', '空号')");
    qm::copyDatabaseFile(working(), bak);
    ASSERT_TRUE(qm::runCommand("N17"));
    QPointer<Tfrpack> pack = qobject_cast<Tfrpack*>(qm::findOpenWindow("Frpack"));
    ASSERT_TRUE(pack);
    pack->Button1Click();
    qm::waitForBakCopies();
    EXPECT_EQ(productNames(bak), QStringList{QStringLiteral("备份的")});
    delete pack;
}

TEST_F(BackupTest, CleanUpRemovesBlankRowsInOneGoAndCompacts)
{
    auto& c = frdm->ADOCon;
    c.exec("INSERT INTO indetail (intno, spmc) VALUES ('0000000001', '')");
    c.exec("INSERT INTO indetail (intno, spmc) VALUES ('', 'x')");
    c.exec("INSERT INTO indetail (intno, spmc) VALUES ('0000000002', 'kept')");
    c.exec("INSERT INTO outlist (intno) VALUES ('')");
    c.exec("INSERT INTO outlist (intno) VALUES ('0000000003')");
    c.exec("INSERT INTO customer (intno, name) VALUES ('', 'nameless')");
    c.exec("INSERT INTO product (intno, name, spmz) SELECT '', printf('%.200c', 'x'), 1 FROM "
           "(WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<3000) SELECT i FROM n)");
    ASSERT_TRUE(qm::runCommand("N17"));
    QPointer<Tfrpack> pack = qobject_cast<Tfrpack*>(qm::findOpenWindow("Frpack"));
    ASSERT_TRUE(pack);
    EXPECT_EQ(pack->Label1->text(), QStringLiteral("准备数据整理……"));
    pack->Button1Click();
    EXPECT_EQ(pack->Label1->text(), QStringLiteral("数据的压缩整理完毕！"));
    EXPECT_EQ(c.scalar("SELECT group_concat(spmc) FROM indetail").toString(), "kept");
    EXPECT_EQ(c.scalar("SELECT count(*) FROM outlist").toInt(), 1);
    EXPECT_EQ(c.scalar("SELECT count(*) FROM customer WHERE intno=''").toInt(), 0);
    EXPECT_EQ(c.scalar("SELECT count(*) FROM product").toInt(), 0);
    EXPECT_EQ(c.scalar("PRAGMA freelist_count").toInt(), 0);
    EXPECT_TRUE(frdm->ATcompany->active());

    // A failing command leaves every row in place, and the window says nothing was done.
    c.exec("INSERT INTO getdetail (intno, spmc) VALUES ('', 'x')");
    c.exec("CREATE TRIGGER no_store_purge BEFORE DELETE ON store BEGIN SELECT RAISE(ABORT, 'refused'); END");
    c.exec("INSERT INTO store (intno) VALUES ('')");
    EXPECT_THROW(pack->Button1Click(), qm::DbError);
    EXPECT_EQ(pack->Label1->text(), QStringLiteral("准备数据整理……"));
    EXPECT_EQ(c.scalar("SELECT count(*) FROM getdetail").toInt(), 1);
    pack->Button2Click();
    EXPECT_FALSE(qm::findOpenWindow("Frpack"));

    loginAs("001");
    qm::runCommand("N17");
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("该用户无权使用此功能！"));
}

TEST_F(BackupTest, YearArchiveWritesProgramAndDataAfterItsChecksInOrder)
{
    qm::Clock::setFixed(QDateTime(QDate(2009, 12, 30), QTime(17, 0)));
    writeFile(folder() + "program", "the program");
    qm::setArchivedProgramFile(folder() + "program");

    dialogs->inputs = {"bad"};
    qm::runCommand("N77");
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("输入操作员密码错误,请重新操作！"));

    loginAs("001");
    dialogs->clear();
    dialogs->inputs = {"123456"};
    qm::runCommand("N77");
    EXPECT_EQ(dialogs->messages(), (QStringList{QStringLiteral("年度数据备份以备今后查数,请确认是否备份?"),
                                                       QStringLiteral("该用户无此权限,请用999登录系统！")}));
    EXPECT_FALSE(QFileInfo::exists(folder() + "2009"));

    loginAs("999");
    addProduct(QStringLiteral("年货"));
    for (int round = 0; round < 2; ++round) {
        dialogs->clear();
        dialogs->inputs = {"123456"};
        qm::runCommand("N77");
        EXPECT_EQ(dialogs->messages().mid(1),
                  (QStringList{QStringLiteral("年度数据将备份到:") + folder() + "2009", QStringLiteral("继续进行年度数据备份！ "),
                               QStringLiteral("年度数据备份完毕！ ")}));
        EXPECT_EQ(readFile(folder() + "2009/quillmart"), "the program");
        EXPECT_EQ(productNames(folder() + "2009/works/vkdb.mdb").size(), round + 1);
        addProduct(QStringLiteral("再来%1").arg(round));
    }
    EXPECT_TRUE(frdm->ATcompany->active());

    // A missing program file is reported and the data is still archived.
    qm::setArchivedProgramFile(folder() + "nowhere");
    failAt("database");
    dialogs->clear();
    dialogs->inputs = {"123456"};
    qm::runCommand("N77");
    EXPECT_TRUE(dialogs->messages().at(2).startsWith(QStringLiteral("年度程序备份失败,请通过手工备份！ ")));
    EXPECT_TRUE(dialogs->lastMessage().startsWith(QStringLiteral("年度数据备份失败,请通过手工备份！ ")));
    EXPECT_EQ(productNames(folder() + "2009/works/vkdb.mdb").size(), 2);
    EXPECT_TRUE(frdm->ADOCon.isOpen());
}

TEST_F(BackupTest, LastYearsDataComesInAndThisYearsGoesBack)
{
    addProduct(QStringLiteral("去年"));
    qm::copyWorkingFolder("LASTBAK");
    addProduct(QStringLiteral("今年"));
    const QStringList thisYear{QStringLiteral("今年"), QStringLiteral("去年")};

    dialogs->answers = {qm::Answer::Cancel};
    qm::runCommand("N57");
    EXPECT_EQ(frmain->lastYearMode, "");
    qm::runCommand("N57");
    EXPECT_EQ(frmain->lastYearMode, "T");
    EXPECT_EQ(productNames(working()), QStringList{QStringLiteral("去年")});
    EXPECT_EQ(productNames(folder() + "bak/vkdb.mdb"), thisYear);
    // The open connection sees the replaced content.
    EXPECT_EQ(frdm->ADOCon.scalar("SELECT count(*) FROM product").toInt(), 1);
    EXPECT_TRUE(frdm->ATcompany->active());

    dialogs->clear();
    qm::runCommand("N57");
    EXPECT_EQ(dialogs->messages(), QStringList{QStringLiteral("正在查去年数据，不能再复制去年数据")});
    // A save meanwhile must not copy last year's data over this year's in bak/.
    qm::requestBakCopy();
    qm::waitForBakCopies();
    EXPECT_EQ(productNames(folder() + "bak/vkdb.mdb"), thisYear);

    qm::runCommand("N59");
    EXPECT_EQ(frmain->lastYearMode, "F");
    EXPECT_EQ(productNames(working()), thisYear);
    const int made = qm::bakCopiesMade();
    qm::requestBakCopy();
    qm::waitForBakCopies();
    EXPECT_EQ(qm::bakCopiesMade(), made + 1);
}
