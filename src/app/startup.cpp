#include "app/startup.h"
#include "admin/backup.h"
#include "admin/backupcommands.h"
#include "admin/errorhandler.h"
#include "admin/restore.h"
#include "admin/tfrpassword.h"
#include "app/navigator.h"
#include "app/tfrflash.h"
#include "app/tfrmain.h"
#include "app/tfrstart.h"
#include "common/clock.h"
#include "common/dialogs.h"
#include "common/errors.h"
#include "common/paths.h"
#include "data/bakcopy.h"
#include "data/damage.h"
#include "data/tfrdm.h"
#include "data/upgrades.h"
#include "shell/commands.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <sqlite3.h>

namespace qm {

std::unique_ptr<QLockFile> acquireInstanceLock()
{
    auto lock = std::make_unique<QLockFile>(AppPaths::file(QStringLiteral("quillmart.lock")));
    // Only a lock whose process is gone is stale, however long a copy runs.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) return nullptr;
    return lock;
}

bool databaseEngineWorks()
{
    sqlite3* db = nullptr;
    bool ok = sqlite3_open(":memory:", &db) == SQLITE_OK
              && sqlite3_exec(db, "SELECT 1", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

bool isYearEndReminderDay(const QDate& d) { return d.month() == 12 && d.day() >= 26; }

QString yearEndReminderText()
{
    return QStringLiteral("提示:又到年底了,请做完本年度业务后,做新一年业务之前,先做年度数据备份\r\r"
                          "并做年终数据处理(一般是在12月31日做完业务后或1月1日做业务前).");
}

QString bothDamagedAtStartText(bool workingMissing)
{
    const QString found = workingMissing ? QStringLiteral("找不到工作数据,备份目录bak中的数据也已损坏,不能恢复！")
                                         : QStringLiteral("工作数据和备份目录bak中的数据都已损坏,不能恢复！");
    return QStringList{found, QStringLiteral("工作数据: ") + AppPaths::workingDatabase(),
                       QStringLiteral("备份数据: ") + AppPaths::backupDatabase(),
                       QStringLiteral("需要其他位置的备份:程序文件夹%1中的BAK0至BAK6(每天退出时的备份)或LASTBAK(年终数据处理前的备份),"
                                      "或手工备份的数据。")
                           .arg(AppPaths::programFolder()),
                       QStringLiteral("请将其中的vkdb.mdb复制到%1中,替换损坏的备份文件,然后再启动本系统。")
                           .arg(AppPaths::file(QStringLiteral("bak")))}
        .join(QLatin1Char('\r'));
}

QString lockedAtStartText() { return QStringLiteral("数据库正被其他程序(如前台收银)使用,请稍后再启动本系统！"); }

RestoreResult restoreWorkingDatabase(const QString& working, const QString& backup)
{
    RestoreResult r;
    QDir().mkpath(QFileInfo(working).absolutePath());
    try {
        LongWork(QStringLiteral("数据恢复")).run([&](const StepReport& report) {
            r.outcome = restoreDatabase(backup, working, &r.keptAs, &r.reason, KeptAs::Damaged, stepsTo(report));
        });
    } catch (const AppError& e) {
        r.outcome = RestoreOutcome::FailedUnchanged;
        r.reason = reasonOf(e);
    }
    // A replacement that failed left the old file under the name.
    if (r.outcome != RestoreOutcome::Restored && r.outcome != RestoreOutcome::FailedButRestored) r.keptAs.clear();
    return r;
}

QString restoredAtStartText(const QString& backupTime, const QString& keptAs)
{
    if (keptAs.isEmpty())
        return QStringLiteral("找不到工作数据,已换上备份目录bak中的数据(备份时间:%1)。").arg(backupTime);
    return QStringLiteral("工作数据已损坏,已换上备份目录bak中的数据(备份时间:%1)。\r"
                          "损坏的数据文件保存在:%2,此后录入的单据都在其中。")
        .arg(backupTime, keptAs);
}

void openWorkingDatabase(Tfrdm* dm, int busyWaitMs)
{
    const QString working = AppPaths::workingDatabase();
    const QString backup = AppPaths::backupDatabase();
    dm->ADOCon.close();
    // What a copy or restore killed in an earlier run left beside the data
    // and in the backup folders.
    removeRestoreLeftovers(working);
    removeCopyLeftovers();
    const DatabaseCheck check = checkWorkingDatabase(working, busyWaitMs);
    switch (check.state) {
    case DatabaseFileState::Busy:
        dlg::showMessage(lockedAtStartText());
        throw ProgramExit(1);
    case DatabaseFileState::Unreadable:
        dlg::showMessage(QStringLiteral("没有读写数据库文件的权限,请检查文件权限: ") + working);
        throw ProgramExit(1);
    case DatabaseFileState::Failed:
        dlg::showMessage(QStringLiteral("不能打开数据库文件: ") + working + QStringLiteral("\n") + check.detail);
        throw ProgramExit(1);
    case DatabaseFileState::IoError:
        // The file may be whole: it stays where it is, and so does every other.
        logFailureDetail(working + QStringLiteral(": ") + check.detail);
        dlg::showMessage(cannotReadText(working, ioErrorText()));
        throw ProgramExit(1);
    default:
        break;
    }
    if (check.replaceable()) {
        if (!QFileInfo(backup).isFile()) {
            dlg::showMessage(QStringLiteral("找不到数据并无法恢复数据,请检查工作数据和备份数据位置是否存在！ "));
            throw ProgramExit(1);
        }
        const QString backupTime = QFileInfo(backup).lastModified().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        const bool missing = check.state == DatabaseFileState::Missing;
        const RestoreResult r = restoreWorkingDatabase(working, backup);
        // Never in silence: the documents entered since the backup are in the file kept.
        const QString restored = restoredAtStartText(backupTime, missing ? QString() : r.keptAs);
        switch (r.outcome) {
        case RestoreOutcome::Restored:
            dlg::showMessage(restored);
            break;
        case RestoreOutcome::FailedButRestored:
            dlg::showMessage(withReason(restored + QStringLiteral("\r恢复过程中报告了错误,请检查磁盘！ "), r.reason));
            break;
        case RestoreOutcome::NotUsable:
            // Nothing here can mend it, and no window can be reached without the data.
            dlg::showMessage(bothDamagedAtStartText(missing));
            throw ProgramExit(1);
        case RestoreOutcome::FailedUnchanged:
            // The working file is as it was found: missing or damaged.
            dlg::showMessage(withReason(QStringLiteral("请检查本系统的数据备份目录bak是否存在！ "), r.reason));
            throw ProgramExit(1);
        }
    }
    dm->connectTo(working);
}

void showGuideUnlessOff(QWidget* owner)
{
    if (frdm->configFlag(QStringLiteral("startbj"))) return;
    TFrstart guide(owner);
    dlg::exec(&guide);
}

// ------------------------------------------------------------------ StartUp

StartUp::StartUp(Tfrmain* main) : main_(main) {}

void StartUp::run()
{
    try {
        showStatus();
        connect();
        upgrade();
        splash();
        openCompany();
        remindYearEnd();
        login();
    } catch (const ProgramExit&) {
        throw;
    } catch (const DbBusyError&) {
        // Whichever step met the other program's lock, it wrote nothing.
        dlg::showMessage(lockedAtStartText());
        throw ProgramExit(1);
    } catch (const SilentStop&) {
        throw ProgramExit(1);
    } catch (...) {
        // Nothing may be used without a logged-in operator.
        reportException(main_, std::current_exception());
        throw ProgramExit(1);
    }
    remindYearEnd();
    applyOptions();
    finish();
    // The start-up check reads only the edges of the tables: the checked copy
    // to bak/, made in the background as after a save, names damage within
    // seconds rather than at the first save.
    requestBakCopy();
}

void StartUp::showStatus() { main_->showStatusPanels(); }

void StartUp::connect() { openWorkingDatabase(frdm); }

void StartUp::upgrade() { upgradeSchema(frdm->ADOCon); }

void StartUp::splash()
{
    if (!frdm->configFlag(QStringLiteral("flashbj"))) return;
    TFrflash flash(main_);
    dlg::exec(&flash);
}

void StartUp::openCompany() { frdm->ATcompany->open(); }

void StartUp::remindYearEnd()
{
    if (isYearEndReminderDay(Clock::today())) dlg::showMessage(yearEndReminderText());
}

void StartUp::login() { showLogin(main_); }

void StartUp::applyOptions()
{
    frdm->applyNumberFormats();
    Dataset* cfg = frdm->ATCONFIG;
    cfg->open();
    main_->imeName = cfg->asString(QStringLiteral("imename")).trimmed();
    QString pic = cfg->asString(QStringLiteral("picfilename")).trimmed();
    if (!pic.isEmpty() && QFileInfo(pic).isFile()) main_->loadBackgroundPicture(pic);
    cfg->close();
}

void StartUp::finish()
{
    if (main_->navigator) main_->navigator->showGroup(0);
    main_->firstActivate = QStringLiteral("T");
}

}

// The toolbar's 如何开始.
QM_COMMAND("TFrstart", [] {
    TFrstart guide(frmain);
    qm::dlg::exec(&guide);
});
