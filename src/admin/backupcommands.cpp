#include "admin/backupcommands.h"
#include "admin/backup.h"
#include "admin/rights.h"
#include "common/clock.h"
#include "common/dialogs.h"
#include "common/errors.h"
#include "common/paths.h"
#include "data/bakcopy.h"
#include "data/damage.h"
#include "data/tfrdm.h"
#include "shell/commands.h"
#include "shell/session.h"
#include <QCoreApplication>
#include <QDir>

namespace qm {

namespace {
QString g_programFile;
}

QString withReason(const QString& text, const QString& reason)
{
    return reason.isEmpty() ? text : text + QStringLiteral("\r原因：") + reason;
}

ConnectionPause::ConnectionPause()
{
    // A copy to bak/ still on its way would read the file being replaced or compacted.
    finishBakCopies();
    frdm->ADOCon.close();
}

ConnectionPause::~ConnectionPause()
{
    if (resumed_) return;
    try {
        resume();
    } catch (...) {
        // A failure is already on its way; the next use of the data reports this one.
    }
}

void ConnectionPause::resume()
{
    resumed_ = true;
    frdm->connectTo(AppPaths::workingDatabase());
    frdm->ATcompany->open();
}

QString exitBackupQuestion() { return QStringLiteral("若系统正常且没有启动前台管理,则选择[是],否则选择[否]"); }

void exitBackup()
{
    if (!frdm) return;
    const bool wasOpen = frdm->ADOCon.isOpen();
    frdm->ADOCon.close();
    // Nothing to back up when the program ends before its data was opened.
    if (!wasOpen) return;
    // The copy to bak/ that the last checkout or window asked for finishes
    // first, unless the operator leaves the data to the exit backup.
    finishBakCopies();
    if (dlg::messageBox(exitBackupQuestion(), QStringLiteral("是否备份数据?"), Buttons::YesNo) == Answer::No) return;
    waitForBakCopies();
    // One window over the compaction and the copy; their messages follow it,
    // in their order. A failed compaction still leaves the copy to be made,
    // unless the data is known to be damaged: its copy would fail its check.
    ExitBackupResult r;
    {
        const QString folder = weekdayBackupName(Clock::today());
        LongWork(QStringLiteral("数据备份")).run([&](const StepReport& report) { r = compactAndBackUp(folder, stepsTo(report)); });
    }
    reportCompaction(r.compactionFailure);
    if (!r.copied) {
        dlg::messageBox(withReason(QStringLiteral("数据备份失败,请通过手工备份！ "), r.copyFailure), QStringLiteral("提示"), Buttons::Ok,
                        Icon::Error);
        return;
    }
    dlg::showMessage(QStringLiteral("数据备份完毕！ "));
}

namespace {
// Copies `from` into works/ with the connection closed (this year's data
// first into bak/ when `keepThisYear`) under a progress window captioned
// `caption`; the mode changes only once the data is in place, so that a
// failure leaves backups allowed.
void switchYearData(const QString& caption, const char* from, bool keepThisYear, const QString& mode, const QString& failure)
{
    ConnectionPause pause;
    try {
        const QString source = AppPaths::file(QLatin1String(from)), works = AppPaths::file(QStringLiteral("works"));
        LongWork(caption).run([&](const StepReport& report) {
            if (keepThisYear) copyWorkingFolder(QStringLiteral("bak"), stepsTo(report));
            copyFolder(source, works, stepsTo(report));
        });
        qm::session().lastYearMode = mode;
        holdBakCopies(mode == QLatin1String("T"));
    } catch (const AppError& e) {
        dlg::showMessage(withReason(failure, reasonOf(e)));
    }
    pause.resume();
}
}

void copyLastYearData()
{
    if (qm::session().lastYearMode == QLatin1String("T")) {
        dlg::showMessage(QStringLiteral("正在查去年数据，不能再复制去年数据"));
        return;
    }
    if (!dlg::confirm(QStringLiteral("确实要复制去年数据?"))) return;
    switchYearData(QStringLiteral("复制上年数据"), "LASTBAK", true, QStringLiteral("T"), QStringLiteral("复制去年数据失败！ "));
}

void restoreThisYearData()
{
    if (!dlg::confirm(QStringLiteral("确实要恢复今年数据?"))) return;
    switchYearData(QStringLiteral("恢复今年数据"), "bak", false, QStringLiteral("F"), QStringLiteral("恢复今年数据失败！ "));
}

QString archivedProgramFile()
{
    return g_programFile.isEmpty() ? QCoreApplication::applicationFilePath() : g_programFile;
}

void setArchivedProgramFile(const QString& file) { g_programFile = file; }

void yearArchive()
{
    if (!recheckPassword()) return;
    if (!dlg::confirm(QStringLiteral("年度数据备份以备今后查数,请确认是否备份?"))) return;
    if (!requireAdministrator(QStringLiteral("该用户无此权限,请用999登录系统！"))) return;
    const QString folder = AppPaths::file(yearArchiveName(Clock::today()));
    dlg::showMessage(QStringLiteral("年度数据将备份到:") + folder);
    QDir().mkpath(folder + QStringLiteral("/works"));
    const QString caption = QStringLiteral("年度数据备份");
    try {
        const QString program = archivedProgramFile();
        LongWork(caption).run([&](const StepReport& report) {
            copyPlainFile(program, folder + QStringLiteral("/quillmart"), stepsTo(report));
        });
        dlg::showMessage(QStringLiteral("继续进行年度数据备份！ "));
    } catch (const AppError& e) {
        dlg::showMessage(withReason(QStringLiteral("年度程序备份失败,请通过手工备份！ "), reasonOf(e)));
    }
    ConnectionPause pause;
    try {
        const QString working = AppPaths::workingDatabase();
        LongWork(caption).run([&](const StepReport& report) {
            copyDatabaseFile(working, folder + QStringLiteral("/works/vkdb.mdb"), stepsTo(report));
        });
        dlg::showMessage(QStringLiteral("年度数据备份完毕！ "));
    } catch (const AppError& e) {
        dlg::showMessage(withReason(QStringLiteral("年度数据备份失败,请通过手工备份！ "), reasonOf(e)));
    }
    pause.resume();
}

}

// The main window's close.
QM_COMMAND("FormClose", [] { qm::exitBackup(); });
// 年度数据备份
QM_COMMAND("N77", [] { qm::yearArchive(); });
// 复制上年数据, 恢复今年数据 (their menu items are hidden and disabled)
QM_COMMAND("N57", [] { qm::copyLastYearData(); });
QM_COMMAND("N59", [] { qm::restoreThisYearData(); });
