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
#include <thread>
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

namespace {
void copyFolderEntries(const QString& source, const QString& destination, const Progress& progress, bool databaseCopied);
}

void copyFolder(const QString& source, const QString& destination, const Progress& progress)
{
    copyFolderEntries(source, destination, progress, false);
}

namespace {
// copyFolder; with `databaseCopied`, the working database is left out (its
// copy is already in place).
void copyFolderEntries(const QString& source, const QString& destination, const Progress& progress, bool databaseCopied)
{
    QDir src(source);
    if (!src.exists()) throw FileOpenError(QStringLiteral("找不到文件夹: ") + source);
    makeFolder(destination);
    const QString working = QFileInfo(AppPaths::workingDatabase()).absoluteFilePath();
    const auto entries = src.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
    for (const QFileInfo& e : entries) {
        const QString to = destination + QLatin1Char('/') + e.fileName();
        if (e.isDir() && !e.isSymLink()) {
            copyFolderEntries(e.absoluteFilePath(), to, progress, databaseCopied);
        } else if (e.absoluteFilePath() == working) {
            if (!databaseCopied) copyDatabaseFile(e.absoluteFilePath(), to, progress);
        } else if (QFileInfo(to).absoluteFilePath() == working) {
            // Into the live file: its content is replaced in one write, under
            // the connections that have it open.
            replaceDatabaseContent(e.absoluteFilePath(), to, progress);
        } else if (!isJournal(e.fileName()) && !isLeftover(e.fileName()) && !isKeptAside(e.fileName())) {
            copyPlainFile(e.absoluteFilePath(), to, progress);
        }
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
[[noreturn]] void judgeWhatWasMet(const QString& database, const Progress& progress);
QString compactionFailure(const AppError& e);

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
                judgeWhatWasMet(database, stepsTo(report));
            }
        });
        return QString();
    } catch (const AppError& e) {
        return compactionFailure(e);
    }
}

namespace {

// The working file's write lock, held by a connection of its own: another
// program's writes wait, and fail once their wait runs out; reads go on.
// Taking it rolls back a journal left by a writer that died.
class WriteLock {
public:
    explicit WriteLock(const QString& path)
    {
        const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db_, SQLITE_OPEN_READWRITE, nullptr);
        if (rc == SQLITE_OK) {
            sqlite3_extended_result_codes(db_, 1);
            sqlite3_busy_timeout(db_, kBackupBusyWaitMs);
            if (sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK) return;
        }
        const int code = db_ ? sqlite3_extended_errcode(db_) : rc;
        const int err = db_ ? sqlite3_system_errno(db_) : 0;
        sqlite3_close_v2(db_);
        throwCopyFailure(code, QStringLiteral("不能锁定工作数据 ") + path, err);
    }
    ~WriteLock()
    {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close_v2(db_);
    }
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;

private:
    sqlite3* db_ = nullptr;
};

// VACUUM INTO `into`: a compact copy of `database` made by reading it once,
// on a connection of its own. The new file is not synced here: its check
// syncs it meanwhile.
void vacuumInto(const QString& database, const QString& into)
{
    sqlite3* db = openCopySource(database, operatorPolicy());
    sqlite3_stmt* st = nullptr;
    const auto close = qScopeGuard([&] {
        sqlite3_finalize(st);
        sqlite3_close_v2(db);
    });
    int rc = sqlite3_exec(db, "PRAGMA synchronous=OFF", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_prepare_v2(db, "VACUUM INTO ?1", -1, &st, nullptr);
    if (rc == SQLITE_OK) {
        const QByteArray name = QFile::encodeName(into);
        sqlite3_bind_text(st, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
        rc = sqlite3_step(st);
    }
    if (rc != SQLITE_OK && rc != SQLITE_DONE)
        throwCopyFailure(sqlite3_extended_errcode(db), QStringLiteral("压缩失败: ") + QString::fromUtf8(sqlite3_errmsg(db)),
                         sqlite3_system_errno(db));
}

// What SQLite called damage while it read `database`, or in the compact copy
// made of it: the file's own check decides (damage marks it and throws);
// a whole file failed a read, or its copy was spoilt on its way to the disk.
[[noreturn]] void judgeWhatWasMet(const QString& database, const Progress& progress)
{
    const std::optional<FileVerdict> v = judgeFile(database, operatorPolicy(progress));
    if (v) actOnVerdict(database, *v);
    if (v && !v->missingTables.isEmpty())
        throw CausedError(QStringLiteral("missing tables: ") + v->missingTables, missingTablesText(v->missingTables));
    throw DbIoError(QStringLiteral("读取或写入数据失败: ") + database);
}

QString compactionFailure(const AppError& e)
{
    // Damage, a full disk or a read error is the cause; another program
    // holding the file, or what the program cannot tell, keeps the text.
    if (dynamic_cast<const DbBusyError*>(&e)) return compactionFailedText();
    const QString cause = trueCause(e);
    return cause.isEmpty() ? compactionFailedText() : compactionFailedText(cause);
}

} // namespace

ExitBackupResult compactAndBackUp(const QString& folderName, const Progress& progress)
{
    ExitBackupResult r;
    const QString working = AppPaths::workingDatabase(), works = AppPaths::file(QStringLiteral("works"));
    const QString folder = AppPaths::file(folderName), target = folder + QStringLiteral("/vkdb.mdb");
    bool databaseCopied = false;
    try {
        if (progress) progress(ProgressStep::Compacting, 0, 0);
        // Data known to be damaged is not put in place of the file it came from.
        if (workingDamaged()) throw WorkingDamagedError(workingDamagedText());
        // From here until the compact file has the working file's name, no
        // other program writes: none is lost into the old file.
        const WriteLock lock(working);
        const QString compacted = partialCopyName(working);
        const auto removeCompacted = qScopeGuard([&] { QFile::remove(compacted); });
        try {
            vacuumInto(working, compacted);
        } catch (const DbDamagedError&) {
            judgeWhatWasMet(working, progress);
        }
        // Its check and its copy into the weekday folder at once: both read
        // the file just written.
        if (progress) progress(ProgressStep::Copying, 0, 0);
        makeFolder(folder);
        removeStalePartialCopies(folder);
        const QString weekday = partialCopyName(target);
        const auto removeWeekday = qScopeGuard([&] { QFile::remove(weekday); });
        std::exception_ptr copyFailed;
        std::thread copier([&] {
            try {
                copyFileVerified(compacted, weekday, target);
            } catch (...) {
                copyFailed = std::current_exception();
            }
        });
        auto joined = qScopeGuard([&] { copier.join(); });
        const DatabaseCheck check = checkFinishedCopy(compacted, progress);
        joined.dismiss();
        copier.join();
        if (!fitCopy(check, compacted)) judgeWhatWasMet(working, progress);
        // The compact data into the weekday folder, then into the working
        // file's place, each once it is whole.
        try {
            if (copyFailed) std::rethrow_exception(copyFailed);
            renameCopyOver(weekday, target);
            databaseCopied = true;
        } catch (const AppError& e) {
            r.copyFailure = reasonOf(e);
        }
        copyStep("replace");
        if (::rename(QFile::encodeName(compacted).constData(), QFile::encodeName(working).constData()) != 0)
            throwFileError(errno, QStringLiteral("不能替换工作数据 ") + working);
        copyStep("synced");
        if (!syncFolder(works)) throwFileError(errno, QStringLiteral("不能写入文件夹 ") + works);
    } catch (const AppError& e) {
        r.compactionFailure = compactionFailure(e);
    }
    if (!r.copyFailure.isEmpty()) return r;
    // The rest of works/; when the compaction gave no copy, the working data
    // too, read as it stands, unless it is known to be damaged.
    try {
        if (!databaseCopied && workingDamaged()) throw WorkingDamagedError(workingDamagedText());
        copyFolderEntries(works, folder, progress, databaseCopied);
        r.copied = true;
    } catch (const AppError& e) {
        r.copyFailure = reasonOf(e);
    }
    return r;
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
