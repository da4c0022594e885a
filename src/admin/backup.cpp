#include "admin/backup.h"
#include "common/dialogs.h"
#include "common/errors.h"
#include "common/paths.h"
#include "data/connection.h"
#include "data/damage.h"
#include "data/databasecheck.h"
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <sqlite3.h>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace qm {

namespace {

void (*g_stepHook)(const char*) = nullptr;

// A hidden name beside `target` for the copy in progress.
QString besideName(const QString& target, const char* suffix)
{
    QFileInfo ti(target);
    return ti.absolutePath() + QStringLiteral("/.") + ti.fileName() + QLatin1String(suffix);
}

QString systemError() { return QString::fromLocal8Bit(std::strerror(errno)); }

void renameOver(const QString& from, const QString& to)
{
    try {
        copyStep("rename");
    } catch (...) {
        QFile::remove(from);
        throw;
    }
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0) {
        QString why = systemError();
        QFile::remove(from);
        throw FileOpenError(QStringLiteral("不能写入备份文件 %1: %2").arg(to, why));
    }
    syncFolder(QFileInfo(to).absolutePath());
}

void makeFolder(const QString& folder)
{
    if (!QDir().mkpath(folder)) throw FileOpenError(QStringLiteral("不能创建文件夹: ") + folder);
}

bool isJournal(const QString& name) { return name.endsWith(QLatin1String("-journal")) || name.endsWith(QLatin1String("-wal")) || name.endsWith(QLatin1String("-shm")); }

// A partly written copy of ours left by an interrupted run.
bool isLeftover(const QString& name)
{
    return name.startsWith('.') && (name.endsWith(QLatin1String(".part")) || name.endsWith(QLatin1String(".new")));
}

// The old data a restore kept beside the working file: it stays where it is.
bool isKeptAside(const QString& name)
{
    return name.contains(QLatin1String(".before-restore-")) || name.contains(QLatin1String(".damaged-"));
}

} // namespace

void setCopyStepHook(void (*hook)(const char*)) { g_stepHook = hook; }

Progress stepsTo(const StepReport& report)
{
    return [report](ProgressStep step, qint64 done, qint64 total) { report(progressStepName(step), done, total); };
}

void copyStep(const char* name)
{
    if (g_stepHook) g_stepHook(name);
}

QString weekdayBackupName(const QDate& day) { return QStringLiteral("BAK%1").arg(day.dayOfWeek() % 7); }

QString yearArchiveName(const QDate& day) { return QString::number(day.year()).rightJustified(4, '0'); }

void copyFileChecked(const QString& source, const QString& target, const Progress& progress)
{
    const QString tmp = besideName(target, ".part");
    QFile::remove(tmp);
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) throw FileOpenError(QStringLiteral("不能读取文件 %1: %2").arg(source, in.errorString()));
    QFile out(tmp);
    if (!out.open(QIODevice::WriteOnly)) throw FileOpenError(QStringLiteral("不能创建文件 %1: %2").arg(tmp, out.errorString()));
    auto cleanup = qScopeGuard([&] { out.close(); QFile::remove(tmp); });
    QByteArray buf(1 << 20, Qt::Uninitialized);
    qint64 total = 0;
    for (;;) {
        qint64 n = in.read(buf.data(), buf.size());
        if (n < 0) throw FileOpenError(QStringLiteral("不能读取文件 %1: %2").arg(source, in.errorString()));
        if (n == 0) break;
        if (out.write(buf.constData(), n) != n)
            throw FileOpenError(QStringLiteral("不能写入文件 %1: %2").arg(tmp, out.errorString()));
        total += n;
        copyStep("file");
        if (progress) progress(ProgressStep::Copying, total, in.size());
    }
    if (!out.flush() || ::fsync(out.handle()) != 0)
        throw FileOpenError(QStringLiteral("不能写入文件 %1: %2").arg(tmp, systemError()));
    out.close();
    if (QFileInfo(tmp).size() != total || total != in.size())
        throw FileOpenError(QStringLiteral("文件复制不完整: ") + source);
    cleanup.dismiss();
    renameOver(tmp, target);
}

void copyDatabaseFile(const QString& database, const QString& target, const Progress& progress)
{
    Connection c;
    c.open(database);
    makeFolder(QFileInfo(target).absolutePath());
    const QString fresh = besideName(target, ".new");
    auto cleanup = qScopeGuard([&] { QFile::remove(fresh); });
    // A copy that fails its check is made once more: damage in the second
    // as well is in the data, not in the copying.
    for (int attempt = 1;; ++attempt) {
        QFile::remove(fresh);
        backupInto(c.handle(), fresh, kBackupBusyWaitMs, progress);
        copyStep("database");
        // The copy must open and pass the check before it replaces anything.
        const DatabaseCheck check = checkFinishedCopy(fresh, progress);
        if (check.state == DatabaseFileState::Usable) break;
        if (check.state != DatabaseFileState::Damaged && check.state != DatabaseFileState::NotDatabase)
            throw FileOpenError(QStringLiteral("备份的数据文件检查不通过: %1 (%2)").arg(target, check.detail));
        if (attempt == 2) throwCopiedDataDamaged(database, check.detail);
    }
    cleanup.dismiss();
    renameOver(fresh, target);
}

void copyFolder(const QString& source, const QString& destination, const Progress& progress)
{
    QDir src(source);
    if (!src.exists()) throw FileOpenError(QStringLiteral("找不到文件夹: ") + source);
    makeFolder(destination);
    const QString working = QFileInfo(AppPaths::workingDatabase()).absoluteFilePath();
    const auto entries = src.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
    for (const QFileInfo& e : entries) {
        const QString to = destination + QLatin1Char('/') + e.fileName();
        if (e.isDir() && !e.isSymLink()) {
            copyFolder(e.absoluteFilePath(), to, progress);
        } else if (e.absoluteFilePath() == working) {
            copyDatabaseFile(e.absoluteFilePath(), to, progress);
        } else if (QFileInfo(to).absoluteFilePath() == working) {
            // Into the live file: its content is replaced in one write, under
            // the connections that have it open.
            replaceDatabaseContent(e.absoluteFilePath(), to, progress);
        } else if (!isJournal(e.fileName()) && !isLeftover(e.fileName()) && !isKeptAside(e.fileName())) {
            copyFileChecked(e.absoluteFilePath(), to, progress);
        }
    }
}

void copyWorkingFolder(const QString& folderName, const Progress& progress)
{
    copyFolder(AppPaths::file(QStringLiteral("works")), AppPaths::file(folderName), progress);
}

QString compactionFailedText() { return QStringLiteral("压缩数据库失败\r原因：可能此数据库正在被其他程序打开。"); }

namespace {
void compact(const QString& database)
{
    Connection c;
    c.open(database);
    // VACUUM runs as one transaction: when it cannot finish, the file stays as it was.
    c.compact();
}
}

bool compactDatabase(const QString& database, QString* error)
{
    try {
        compact(database);
        return true;
    } catch (const AppError& e) {
        if (error) *error = e.message();
        return false;
    }
}

QString compactUnder(LongWork& work, const QString& database)
{
    try {
        work.run([&](const StepReport& report) {
            report(progressStepName(ProgressStep::Compacting), 0, 0);
            compact(database);
        });
        return QString();
    } catch (const AppError& e) {
        // Damage or a full disk is said on a second line: the text's own
        // cause, another program, is then not the cause.
        return withTrueCause(compactionFailedText(), e);
    }
}

bool reportCompaction(const QString& failure)
{
    if (failure.isEmpty()) return true;
    dlg::messageBox(failure, QStringLiteral("提示"), Buttons::Ok, Icon::Error);
    return false;
}

QString backupFileText(const QString& file)
{
    const QFileInfo fi(file);
    if (!fi.isFile()) return QString();
    const qint64 bytes = fi.size();
    constexpr qint64 kMB = 1024 * 1024;
    const QString size = bytes < kMB ? QStringLiteral("%1KB").arg((bytes + 1023) / 1024)
                                     : QStringLiteral("%1MB").arg(double(bytes) / kMB, 0, 'f', 1);
    return QStringLiteral("备份时间:%1  大小:%2").arg(fi.lastModified().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), size);
}

bool sameFolder(const QString& a, const QString& b)
{
    const QString ca = QFileInfo(a).canonicalFilePath();
    const QString cb = QFileInfo(b).canonicalFilePath();
    if (ca.isEmpty() || cb.isEmpty()) return QDir::cleanPath(QFileInfo(a).absoluteFilePath()) == QDir::cleanPath(QFileInfo(b).absoluteFilePath());
    return ca == cb;
}

namespace {
// Copies the whole content of `from` into the open database `into` in one
// write: other connections see either the old or the new content.
void replaceContent(Connection& into, Connection& from)
{
    sqlite3_backup* b = sqlite3_backup_init(into.handle(), "main", from.handle(), "main");
    if (!b) into.fail(QStringLiteral("restore"));
    // Another program holding the file is waited for, but not for ever: the
    // wait is measured here, a short slice at a time.
    sqlite3_busy_timeout(into.handle(), 100);
    QElapsedTimer busySince;
    int rc;
    for (;;) {
        rc = sqlite3_backup_step(b, -1);
        if (rc == SQLITE_OK) continue;
        if (!isBusyCode(rc)) break;
        if (!busySince.isValid()) busySince.start();
        if (busySince.elapsed() >= kBackupBusyWaitMs) break;
        sqlite3_sleep(20);
    }
    sqlite3_backup_finish(b);
    if (rc != SQLITE_DONE) throw DbError(QStringLiteral("数据恢复失败: ") + QString::fromUtf8(sqlite3_errstr(rc)));
}
}

void replaceDatabaseContent(const QString& source, const QString& database, const Progress& progress)
{
    if (progress) progress(ProgressStep::Copying, 0, 0);
    const SettledBackup settled(source);
    if (checkCopy(settled.path()).state != DatabaseFileState::Usable) throw DbError(QStringLiteral("数据文件已损坏: ") + source);
    Connection from;
    from.open(settled.path());
    Connection into;
    into.open(database);
    replaceContent(into, from);
}

}
