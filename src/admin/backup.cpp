#include "admin/backup.h"
#include "common/dialogs.h"
#include "common/errors.h"
#include "common/paths.h"
#include "data/connection.h"
#include "data/damage.h"
#include "data/databasecheck.h"
#include "data/referee.h"
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <sqlite3.h>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace qm {

namespace {

void makeFolder(const QString& folder)
{
    errno = 0;
    if (!QDir().mkpath(folder)) throwFileError(errno ? errno : ENOTDIR, QStringLiteral("不能创建文件夹 ") + folder);
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

Progress stepsTo(const StepReport& report)
{
    return [report](ProgressStep step, qint64 done, qint64 total) { report(progressStepName(step), done, total); };
}

QString weekdayBackupName(const QDate& day) { return QStringLiteral("BAK%1").arg(day.dayOfWeek() % 7); }

QString yearArchiveName(const QDate& day) { return QString::number(day.year()).rightJustified(4, '0'); }

void copyDatabaseFile(const QString& database, const QString& target, const Progress& progress)
{
    DatabaseCopy(database, target, operatorPolicy(progress)).run();
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
            copyPlainFile(e.absoluteFilePath(), to, progress);
        }
    }
}

void copyWorkingFolder(const QString& folderName, const Progress& progress)
{
    copyFolder(AppPaths::file(QStringLiteral("works")), AppPaths::file(folderName), progress);
}

QString compactionFailedText(const QString& cause) { return QStringLiteral("压缩数据库失败\r原因：") + cause; }

QString compactionFailedText() { return compactionFailedText(QStringLiteral("可能此数据库正在被其他程序打开。")); }

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
            try {
                compact(database);
            } catch (const DbDamagedError&) {
                // SQLite says the same of a failed read: the file's own check decides.
                const std::optional<FileVerdict> v = judgeFile(database, operatorPolicy(stepsTo(report)));
                if (v) actOnVerdict(database, *v);
                throw DbIoError(QStringLiteral("读取数据失败: ") + database);
            }
        });
        return QString();
    } catch (const DbBusyError&) {
        return compactionFailedText();
    } catch (const AppError& e) {
        // Damage, a full disk or a read error is the cause; another program
        // holding the file, or what the program cannot tell, keeps the text.
        const QString cause = trueCause(e);
        return cause.isEmpty() ? compactionFailedText() : compactionFailedText(cause);
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

int removeCopyLeftovers()
{
    static const QRegularExpression ours(QStringLiteral("^(bak|BAK[0-6]|LASTBAK|\\d{4})$"));
    int removed = 0;
    const QDir program(AppPaths::programFolder());
    for (const QString& f : program.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (ours.match(f).hasMatch()) removed += removeStalePartialCopies(program.filePath(f), true);
    return removed;
}

bool sameFolder(const QString& a, const QString& b)
{
    const QString ca = QFileInfo(a).canonicalFilePath();
    const QString cb = QFileInfo(b).canonicalFilePath();
    if (ca.isEmpty() || cb.isEmpty()) return QDir::cleanPath(QFileInfo(a).absoluteFilePath()) == QDir::cleanPath(QFileInfo(b).absoluteFilePath());
    return ca == cb;
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
    // Another program holding the file is waited for, a short slice at a time.
    sqlite3_busy_timeout(into.handle(), 100);
    copyPages(into.handle(), from.handle(), replacementPolicy(progress));
}

}
