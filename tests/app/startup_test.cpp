// Start-up: single instance, open or restore, the sequence around the login.
#include "admin/backup.h"
#include "admin/errorhandler.h"
#include "admin/tfrpassword.h"
#include "app/application.h"
#include "app/navigator.h"
#include "app/startup.h"
#include "app/tfrflash.h"
#include <QTimer>
#include "common/errors.h"
#include "data/damage.h"
#include "data/upgrades.h"
#include "support/damagedindex.h"
#include "support/faultvfs.h"
#include "support/files.h"
#include "support/fixture.h"
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLockFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using qm::Connection;

class StartUpTest : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        frdm->ADOCon.close();
        frmain->operatorCode.clear();
        frmain->operatorName.clear();
        frmain->loginPassword.clear();
        // A backup that differs from the working file.
        qm::createInitialDatabase(qm::AppPaths::backupDatabase());
        Connection b;
        b.open(qm::AppPaths::backupDatabase());
        b.exec("UPDATE company SET name='备份的商店'");
    }
    void TearDown() override
    {
        delete Frm_ErrorMessage;
        AppFixture::TearDown();
    }
    // Scripted modal windows: the login answers with `password`.
    void loginWith(const QString& password)
    {
        dialogs->onExec = [password](QDialog* d) {
            if (auto* w = qobject_cast<TFrpassword*>(d)) {
                w->Edit1->setText(password);
                w->BitBtn1Click();
                return w->result();
            }
            return int(QDialog::Rejected);
        };
    }
    QStringList execs() const
    {
        QStringList out;
        for (const auto& s : dialogs->shown)
            out << (s.kind == "exec" ? s.text : s.kind + ":" + s.text.left(8));
        return out;
    }
};

TEST_F(StartUpTest, OnlyOneCopyRunsAndAStaleLockDoesNotBlock)
{
    auto first = qm::acquireInstanceLock();
    ASSERT_TRUE(first);
    EXPECT_FALSE(qm::acquireInstanceLock());
    // The second copy's main window says so and ends.
    Tfrmain second;
    EXPECT_THROW(second.FormCreate(), qm::ProgramExit);
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("该程序正在运行!"));
    EXPECT_EQ(dialogs->shown.back().caption, QStringLiteral("Velkan软件"));
    first.reset();

    // A lock left by a copy that crashed (its process is gone).
    writeFile(qm::AppPaths::file("quillmart.lock"), "999999999\nquillmart\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    EXPECT_TRUE(qm::acquireInstanceLock());
    EXPECT_TRUE(qm::databaseEngineWorks());
}

TEST_F(StartUpTest, RestoreDecision)
{
    const QString working = qm::AppPaths::workingDatabase();
    // An intact working database is opened as it is, never replaced.
    qm::openWorkingDatabase(frdm);
    EXPECT_EQ(frdm->ADOCon.scalar("SELECT name FROM company").toString(), QStringLiteral("我的超市"));
    frdm->ADOCon.close();

    // Missing: restored from bak/, saying from when the copy is.
    const QString backupTime = QFileInfo(qm::AppPaths::backupDatabase()).lastModified().toString("yyyy-MM-dd HH:mm:ss");
    QFile::remove(working);
    qm::openWorkingDatabase(frdm);
    EXPECT_EQ(frdm->ADOCon.scalar("SELECT name FROM company").toString(), QStringLiteral("备份的商店"));
    EXPECT_EQ(dialogs->messages(), QStringList{QStringLiteral("找不到工作数据,已换上备份目录bak中的数据(备份时间:%1)。").arg(backupTime)});
    frdm->ADOCon.close();

    // Damaged: restored, and the damaged file is kept beside it and named.
    const QByteArray garbage(4096, 'x');
    writeFile(working, garbage);
    dialogs->clear();
    qm::openWorkingDatabase(frdm);
    EXPECT_EQ(frdm->ADOCon.scalar("SELECT name FROM company").toString(), QStringLiteral("备份的商店"));
    frdm->ADOCon.close();
    QStringList kept = QDir(folder() + "works").entryList({"vkdb.mdb.damaged-*"}, QDir::Files);
    ASSERT_EQ(kept.size(), 1);
    EXPECT_EQ(readFile(folder() + "works/" + kept[0]), garbage);
    EXPECT_EQ(dialogs->messages(), QStringList{QStringLiteral("工作数据已损坏,已换上备份目录bak中的数据(备份时间:%1)。\r"
                                                              "损坏的数据文件保存在:%2,此后录入的单据都在其中。")
                                                   .arg(backupTime, folder() + "works/" + kept[0])});
    EXPECT_EQ(QDir(folder() + "works").entryList({"*.tmp*"}, QDir::Files), QStringList());
}

TEST_F(StartUpTest, AFailedRestoreSaysWhyAndEndsTheProgramWithTheFileAsItWas)
{
    const QString working = qm::AppPaths::workingDatabase();
    const QByteArray garbage(2048, 'y');
    writeFile(working, garbage);
    const auto unhook = qScopeGuard([] { qm::setCopyStepHook(nullptr); });

    // Failing while the backup is copied, or when it is to replace the file:
    // not said to be restored, the reason given, the file as it was.
    struct Case {
        const char* step;
        void (*hook)(const char*);
        QString reason;
    };
    const Case cases[] = {
        {"staged", [](const char* step) { if (QByteArray(step) == "staged") throw qm::FileOpenError(QStringLiteral("refused")); },
         QStringLiteral("refused")},
        {"full disk", [](const char* step) { if (QByteArray(step) == "staged") throw qm::DiskFullError("SQLITE_FULL"); },
         qm::diskFullText()},
        {"replace", [](const char* step) { if (QByteArray(step) == "replace") throw qm::FileOpenError(QStringLiteral("refused")); },
         QStringLiteral("refused")},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.step);
        dialogs->clear();
        qm::setCopyStepHook(k.hook);
        EXPECT_THROW(qm::openWorkingDatabase(frdm), qm::ProgramExit);
        EXPECT_EQ(dialogs->messages(), QStringList{QStringLiteral("请检查本系统的数据备份目录bak是否存在！ \r原因：") + k.reason});
        EXPECT_EQ(readFile(working), garbage);
        EXPECT_EQ(QDir(folder() + "works").entryList(QDir::Files | QDir::Hidden), QStringList{"vkdb.mdb"});
        EXPECT_FALSE(frdm->ADOCon.isOpen());
    }

    // The backup in place, then the folder's sync refused: restored, and the
    // failure named after what was put in place.
    const QString backupTime = QFileInfo(qm::AppPaths::backupDatabase()).lastModified().toString("yyyy-MM-dd HH:mm:ss");
    dialogs->clear();
    qm::setCopyStepHook([](const char* step) {
        if (QByteArray(step) == "synced") throw qm::FileOpenError(QStringLiteral("not synced"));
    });
    qm::openWorkingDatabase(frdm);
    qm::setCopyStepHook(nullptr);
    EXPECT_EQ(frdm->ADOCon.scalar("SELECT name FROM company").toString(), QStringLiteral("备份的商店"));
    frdm->ADOCon.close();
    const QStringList kept = QDir(folder() + "works").entryList({"vkdb.mdb.damaged-*"}, QDir::Files);
    ASSERT_EQ(kept.size(), 1);
    EXPECT_EQ(dialogs->messages(), QStringList{QStringLiteral("工作数据已损坏,已换上备份目录bak中的数据(备份时间:%1)。\r"
                                                              "损坏的数据文件保存在:%2,此后录入的单据都在其中。\r"
                                                              "恢复过程中报告了错误,请检查磁盘！ \r原因：not synced")
                                                   .arg(backupTime, folder() + "works/" + kept[0])});

    // No backup at all: the message, and the program ends.
    writeFile(working, garbage);
    QFile::remove(qm::AppPaths::backupDatabase());
    EXPECT_THROW(qm::openWorkingDatabase(frdm), qm::ProgramExit);
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("找不到数据并无法恢复数据,请检查工作数据和备份数据位置是否存在！ "));
    EXPECT_EQ(readFile(working), garbage);
    EXPECT_FALSE(frdm->ADOCon.isOpen());
}

// Both copies unusable: what was found, where the files are and how to put a
// backup from another folder in place; then the program ends before the
// login, every file as it was.
TEST_F(StartUpTest, BothCopiesDamagedSayWhereTheyAreAndHowToGoOnAndEndTheProgram)
{
    const QString working = qm::AppPaths::workingDatabase(), backup = qm::AppPaths::backupDatabase();
    const QByteArray damagedWorking(4096, 'w'), damagedBackup("not a database either");
    writeFile(working, damagedWorking);
    writeFile(backup, damagedBackup);
    const QString whereAndHow =
        QStringLiteral("\r工作数据: %1works/vkdb.mdb\r备份数据: %1bak/vkdb.mdb\r"
                       "需要其他位置的备份:程序文件夹%1中的BAK0至BAK6(每天退出时的备份)或LASTBAK(年终数据处理前的备份),或手工备份的数据。\r"
                       "请将其中的vkdb.mdb复制到%1bak中,替换损坏的备份文件,然后再启动本系统。")
            .arg(folder());
    auto expectEndedBeforeTheLogin = [&] {
        loginWith("888");
        EXPECT_THROW(qm::StartUp(frmain).run(), qm::ProgramExit);
        for (const auto& s : dialogs->shown) {
            EXPECT_NE(s.caption, QStringLiteral("异常信息"));
            EXPECT_NE(s.text, "Frpassword");
        }
        EXPECT_FALSE(frdm->ADOCon.isOpen());
        EXPECT_EQ(readFile(backup), damagedBackup);
        EXPECT_EQ(QDir(folder() + "bak").entryList(QDir::Files | QDir::Hidden), QStringList{"vkdb.mdb"});
    };
    expectEndedBeforeTheLogin();
    EXPECT_EQ(dialogs->messages(), QStringList{QStringLiteral("工作数据和备份目录bak中的数据都已损坏,不能恢复！") + whereAndHow});
    EXPECT_EQ(readFile(working), damagedWorking);
    EXPECT_EQ(QDir(folder() + "works").entryList(QDir::Files | QDir::Hidden), QStringList{"vkdb.mdb"});

    QFile::remove(working);
    dialogs->clear();
    expectEndedBeforeTheLogin();
    EXPECT_EQ(dialogs->messages(), QStringList{QStringLiteral("找不到工作数据,备份目录bak中的数据也已损坏,不能恢复！") + whereAndHow});
    EXPECT_EQ(QDir(folder() + "works").entryList(QDir::Files | QDir::Hidden), QStringList());
}

TEST_F(StartUpTest, WholeSequenceLogsInAppliesOptionsAndShowsTheGuideOnce)
{
    {
        Connection c;
        c.open(qm::AppPaths::workingDatabase());
        c.exec("UPDATE config SET imename='  中文 (简体) - 拼音  ', picfilename=:p1, flashbj=1, startbj=0",
               {{"p1", folder() + "gone.jpg"}});
    }
    qm::Clock::setFixed(QDateTime(QDate(2026, 6, 1), QTime(9, 0)));
    loginWith("888");
    QImage shown(4, 4, QImage::Format_RGB32);
    shown.fill(Qt::red);
    frmain->navigator->setBackground(shown);
    qm::StartUp(frmain).run();

    EXPECT_EQ(execs(), QStringList({"Frflash", "Frpassword"}));
    EXPECT_EQ(frmain->operatorCode, "999");
    EXPECT_EQ(frmain->imeName, QStringLiteral("中文 (简体) - 拼音"));
    EXPECT_EQ(frmain->navigator->background(), shown); // a vanished picture leaves the one shown
    EXPECT_EQ(frmain->firstActivate, "T");
    EXPECT_TRUE(frdm->ATcompany->active());
    EXPECT_TRUE(frmain->StatusPanel2->text().startsWith(QStringLiteral("当前日期:2026")));

    frmain->FormActivate();
    frmain->FormActivate();
    EXPECT_EQ(execs(), QStringList({"Frflash", "Frpassword", "Frstart"}));
    EXPECT_EQ(frmain->firstActivate, "F");
}

// Damage that the start-up check passes (it reads only the edges of the
// tables) is named by the checked copy to bak/ made after the login.
TEST_F(StartUpTest, TheCopyAfterTheLoginNamesDamageTheStartUpCheckPasses)
{
    const QString working = qm::AppPaths::workingDatabase();
    {
        Connection c;
        c.open(working);
        c.exec("INSERT INTO product(intno, sphh) VALUES('1', '1001'), ('2', '1002'), ('3', '1003')");
    }
    changeIndexEntry(working, "ix_product_sphh", "1002");
    const QByteArray good = readFile(qm::AppPaths::backupDatabase());
    loginWith("888");
    qm::StartUp(frmain).run();
    settleBakCopies();
    EXPECT_TRUE(dialogs->messages().join('|').contains(qm::workingDamagedText()));
    EXPECT_EQ(readFile(qm::AppPaths::backupDatabase()), good);
}

TEST_F(StartUpTest, YearEndReminderFrom26DecemberBeforeAndAfterTheLogin)
{
    const QString reminder = qm::yearEndReminderText();
    EXPECT_TRUE(reminder.contains("\r\r"));
    {
        Connection c;
        c.open(qm::AppPaths::workingDatabase());
        c.exec("UPDATE config SET flashbj=0, startbj=1");
    }
    struct Case { QDate day; bool reminded; };
    for (const Case& k : {Case{QDate(2026, 12, 25), false}, Case{QDate(2026, 12, 26), true},
                          Case{QDate(2026, 12, 31), true}, Case{QDate(2027, 1, 1), false}}) {
        dialogs->clear();
        qm::Clock::setFixed(QDateTime(k.day, QTime(8, 0)));
        loginWith("888");
        qm::StartUp(frmain).run();
        QStringList expected = k.reminded ? QStringList({"message:" + reminder.left(8), "Frpassword", "message:" + reminder.left(8)})
                                          : QStringList({"Frpassword"});
        EXPECT_EQ(execs(), expected) << qPrintable(k.day.toString(Qt::ISODate));
        frdm->ADOCon.close();
    }
}

TEST_F(StartUpTest, AFailureBeforeTheLoginIsReportedAndEndsTheProgram)
{
    // A database that lacks a document table: the upgrade fails.
    {
        Connection c;
        c.open(qm::AppPaths::workingDatabase());
        c.exec("DROP TABLE outlist");
    }
    loginWith("888");
    EXPECT_THROW(qm::StartUp(frmain).run(), qm::ProgramExit);
    ASSERT_FALSE(dialogs->shown.empty());
    EXPECT_EQ(dialogs->shown.back().kind, "exec");
    EXPECT_EQ(dialogs->shown.back().caption, QStringLiteral("异常信息"));
    EXPECT_EQ(Frm_ErrorMessage->Label1->text(), QStringLiteral("数据库错误"));
    EXPECT_TRUE(frmain->operatorCode.isEmpty());
    for (const auto& s : dialogs->shown) EXPECT_NE(s.text, "Frpassword");

    // A wrong password ends it too, without reaching the options.
    dialogs->clear();
    frdm->ADOCon.close();
    QFile::remove(qm::AppPaths::workingDatabase());
    qm::createInitialDatabase(qm::AppPaths::workingDatabase());
    loginWith("000");
    EXPECT_THROW(qm::StartUp(frmain).run(), qm::ProgramExit);
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("密码错误,非法用户！"));
    EXPECT_TRUE(frmain->operatorCode.isEmpty());
    EXPECT_TRUE(frmain->firstActivate.isEmpty());
}

TEST_F(StartUpTest, SplashPictureAndItsQuestion)
{
    frdm->connectTo(qm::AppPaths::workingDatabase());
    TFrflash flash(frmain);
    EXPECT_EQ(flash.size(), QSize(330, 252));
    EXPECT_EQ(flash.Image1->image().size(), QSize(330, 252)); // the shipped picture, through libjpeg
    EXPECT_EQ(flash.Timer1->interval(), 3000);

    auto flag = [] { return frdm->ADOCon.scalar("SELECT flashbj FROM config").toInt(); };
    dialogs->answers.push_back(qm::Answer::Yes);
    flash.Image1Click();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("以后启动时是否要显示此图示?"));
    EXPECT_EQ(dialogs->shown.back().caption, QStringLiteral("提示"));
    EXPECT_EQ(flag(), 1);
    dialogs->answers.push_back(qm::Answer::No);
    flash.Image1Click();
    EXPECT_EQ(flag(), 0);
    EXPECT_FALSE(frdm->ATCONFIG->active());
}

TEST_F(StartUpTest, AnotherProgramHoldingTheDataEndsTheStartWithItsOwnMessageAndTouchesNothing)
{
    const QString working = qm::AppPaths::workingDatabase();
    {
        Connection c;
        c.open(working);
        c.exec("UPDATE config SET flashbj=0, startbj=1");
        c.exec("UPDATE totallist SET amount=7");
    }
    Connection::setBusyWait(100);
    const auto waitAgain = qScopeGuard([] { Connection::setBusyWait(5000); });
    {
        // Nothing to upgrade: reading the schema takes no write lock.
        qm::fault::WriterHold frontDesk(working);
        Connection c;
        c.open(working);
        EXPECT_EQ(qm::upgradeSchema(c), QStringList());
    }
    const QByteArray before = readFile(working);
    for (bool writer : {true, false}) {
        SCOPED_TRACE(writer ? "a writer" : "a reader");
        dialogs->clear();
        loginWith("888");
        {
            std::unique_ptr<qm::fault::WriterHold> w;
            std::unique_ptr<qm::fault::ReaderHold> r;
            if (writer) w = std::make_unique<qm::fault::WriterHold>(working);
            else r = std::make_unique<qm::fault::ReaderHold>(working);
            EXPECT_THROW(qm::StartUp(frmain).run(), qm::ProgramExit);
        }
        EXPECT_EQ(dialogs->lastMessage(), qm::lockedAtStartText());
        for (const auto& s : dialogs->shown) EXPECT_NE(s.caption, QStringLiteral("异常信息"));
        EXPECT_TRUE(frmain->operatorCode.isEmpty());
        frdm->ADOCon.close();
        EXPECT_EQ(readFile(working), before);
    }
}

TEST(FileSizeLimit, AWritePastTheLimitFailsWithAnErrorInsteadOfEndingTheProgram)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/big.db";
    const pid_t pid = fork();
    if (pid == 0) {
        qm::Application::ignoreFileSizeSignal();
        const rlimit limit{256 * 1024, 256 * 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        try {
            Connection c;
            c.open(path, true);
            c.exec("CREATE TABLE t (x)");
            qm::Transaction t(c);
            for (int i = 0; i < 100; ++i) c.exec("INSERT INTO t VALUES (randomblob(10000))");
            t.commit();
        } catch (const qm::DbError&) {
            _exit(0);
        }
        _exit(1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
