#include "admin/restore.h"
#include "admin/backup.h"
#include "common/clock.h"
#include "common/errors.h"
#include "data/connection.h"
#include "data/damage.h"
#include "data/databasecheck.h"
#include "data/upgrades.h"
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <sqlite3.h>
#include <sys/stat.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace qm {

namespace {

QByteArray nativeName(const QString& path) { return QFile::encodeName(path); }

// The working file held against every other connection while its name
// changes: the front desk's writes wait, and once the name holds the new file
// SQLite refuses a write through a connection still open on the old one. A
// file no one can open as a database (damaged at its head) needs no lock.
class WorkingLock {
public:
    explicit WorkingLock(const QString& working)
    {
        if (!QFileInfo(working).isFile()) return;
        if (sqlite3_open_v2(nativeName(working).constData(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) return;
        sqlite3_extended_result_codes(db_, 1);
        sqlite3_busy_timeout(db_, kBackupBusyWaitMs);
        // Taking the lock rolls back a journal left by a writer that died.
        const int rc = sqlite3_exec(db_, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK) return;
        const QString why = QString::fromUtf8(sqlite3_errmsg(db_));
        release();
        if (isBusyCode(rc)) throw DbBusyError(why);
    }
    ~WorkingLock() { release(); }
    bool held() const { return db_ != nullptr; }
    void release()
    {
        if (!db_) return;
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
    WorkingLock(const WorkingLock&) = delete;
    WorkingLock& operator=(const WorkingLock&) = delete;

private:
    sqlite3* db_ = nullptr;
};

const QString kKeptStampFormat = QStringLiteral("yyyyMMdd-HHmmss");

QString keptName(const QString& working, KeptAs kind)
{
    const QString base = working + (kind == KeptAs::Damaged ? QStringLiteral(".damaged-") : QStringLiteral(".before-restore-"))
                         + Clock::now().toString(kKeptStampFormat);
    QString name = base;
    for (int n = 2; QFileInfo::exists(name) || QFileInfo::exists(name + QStringLiteral("-journal")); ++n)
        name = base + QStringLiteral("~%1").arg(n);
    return name;
}

// Gives the working file the second name `kept`. A journal beside a file that
// could not be locked goes with it (`journalMoved`): left behind, it would be
// played into the new file. Where the disk has no second names, the file is
// copied.
void keepAside(const QString& working, const QString& kept, bool locked, bool& journalMoved)
{
    const QString journal = working + QStringLiteral("-journal");
    if (!locked && QFileInfo::exists(journal)) {
        copyStep("journal");
        if (::rename(nativeName(journal).constData(), nativeName(kept + QStringLiteral("-journal")).constData()) != 0)
            throwFileError(errno, QStringLiteral("不能保存恢复前的数据 ") + journal);
        journalMoved = true;
    }
    copyStep("keep");
    if (::link(nativeName(working).constData(), nativeName(kept).constData()) == 0) return;
    copyPlainFile(working, kept);
}

// A journal whose database is gone would be played into the file that takes
// its place: it is kept under another name.
void setOrphanJournalAside(const QString& working)
{
    const QString journal = working + QStringLiteral("-journal");
    if (!QFileInfo::exists(journal)) return;
    QString aside = journal + QStringLiteral(".orphan");
    for (int n = 2; QFileInfo::exists(aside); ++n) aside = journal + QStringLiteral(".orphan-%1").arg(n);
    if (::rename(nativeName(journal).constData(), nativeName(aside).constData()) != 0)
        throwFileError(errno, QStringLiteral("不能移开日志文件 ") + journal);
}

// Copies the backup to `staged` and checks the copy; NotUsable when the
// backup itself fails the check, Restored when the copy is fit.
RestoreOutcome stage(const QString& backup, const QString& staged, const Progress& progress)
{
    {
        sqlite3* src = nullptr;
        const auto close = qScopeGuard([&] { sqlite3_close_v2(src); });
        // Opening reads nothing yet: a failure here is the file's access, not its content.
        const int opened = sqlite3_open_v2(nativeName(backup).constData(), &src, SQLITE_OPEN_READONLY, nullptr);
        if (opened != SQLITE_OK) {
            const int err = src ? sqlite3_system_errno(src) : errno;
            const QString what = QStringLiteral("不能打开备份文件 ") + backup;
            logFailureDetail(what + QStringLiteral(": ") + QString::fromUtf8(sqlite3_errstr(opened)));
            throw CausedError(what, what + QStringLiteral(": ") + fileErrorCause(err ? err : EACCES));
        }
        try {
            backupInto(src, staged, kBackupBusyWaitMs, progress);
        } catch (const DbDamagedError&) {
            return RestoreOutcome::NotUsable; // not a database, or damaged at its head
        }
    }
    copyStep("staged");
    // The copy's check is the backup's: the operator sees it named so.
    const Progress checkingBackup = [&progress](ProgressStep, qint64 done, qint64 total) {
        if (progress) progress(ProgressStep::CheckingBackup, done, total);
    };
    const DatabaseCheck check = checkFinishedCopy(staged, checkingBackup);
    switch (check.state) {
    case DatabaseFileState::Usable:
        break;
    case DatabaseFileState::Damaged:
    case DatabaseFileState::NotDatabase:
    case DatabaseFileState::Missing:
    case DatabaseFileState::MissingTables: {
        // The backup, or only the copy of it made here? A backup that could
        // not be read is not called damaged.
        const DatabaseCheck original = checkCopy(backup);
        switch (original.state) {
        case DatabaseFileState::Usable:
            logFailureDetail(QStringLiteral("复制备份文件时出错 %1: %2").arg(staged, check.detail));
            throw DbIoError(QStringLiteral("复制备份文件时出错: ") + check.detail);
        case DatabaseFileState::Damaged:
        case DatabaseFileState::NotDatabase:
        case DatabaseFileState::Missing:
        case DatabaseFileState::MissingTables:
            return RestoreOutcome::NotUsable;
        case DatabaseFileState::Busy:
            throw DbBusyError(QStringLiteral("不能读取备份文件 %1: %2").arg(backup, original.detail));
        case DatabaseFileState::Unreadable:
            throw CausedError(QStringLiteral("不能读取备份文件 %1: %2").arg(backup, original.detail), fileErrorCause(EACCES));
        default:
            logFailureDetail(QStringLiteral("不能读取备份文件 %1: %2").arg(backup, original.detail));
            throw DbIoError(QStringLiteral("不能读取备份文件 %1: %2").arg(backup, original.detail));
        }
    }
    case DatabaseFileState::Unreadable:
        throw CausedError(QStringLiteral("不能读取文件 %1: %2").arg(staged, check.detail), fileErrorCause(EACCES));
    default:
        logFailureDetail(QStringLiteral("不能写入文件 %1: %2").arg(staged, check.detail));
        throw DbIoError(QStringLiteral("不能写入文件 %1: %2").arg(staged, check.detail));
    }
    // An older copy gains what start-up would add; its own transaction, synced.
    Connection c;
    c.open(staged);
    upgradeSchema(c);
    return RestoreOutcome::Restored;
}

// A before-restore copy and when it was kept, read from its name
// ("<time>" or "<time>~<n>", n counting copies kept within one second).
struct KeptCopy {
    QString path;
    QDateTime when; // invalid when the name does not say
    int n = 1;
};

KeptCopy keptCopyOf(const QString& path, const QString& prefix)
{
    KeptCopy k{path, {}, 1};
    const QString rest = QFileInfo(path).fileName().mid(prefix.size());
    const QStringList parts = rest.split(QLatin1Char('~'));
    k.when = QDateTime::fromString(parts[0], kKeptStampFormat);
    if (parts.size() == 2) k.n = parts[1].toInt();
    else if (parts.size() > 2) k.when = {};
    return k;
}

bool sameFile(const QString& a, const QString& b)
{
    struct stat sa, sb;
    return ::stat(nativeName(a).constData(), &sa) == 0 && ::stat(nativeName(b).constData(), &sb) == 0 && sa.st_dev == sb.st_dev
           && sa.st_ino == sb.st_ino;
}

} // namespace

KeptCopies pruneKeptCopies(const QString& working, const QString& latest)
{
    const QFileInfo wi(working);
    const QString prefix = wi.fileName() + QStringLiteral(".before-restore-");
    QDir dir(wi.absolutePath());
    std::vector<KeptCopy> copies;
    for (const QString& f : dir.entryList({prefix + QLatin1Char('*')}, QDir::Files | QDir::Hidden)) {
        const QString path = dir.filePath(f);
        if (f.endsWith(QLatin1String("-journal")) || path == latest) continue;
        copies.push_back(keptCopyOf(path, prefix));
    }
    // Newest first; a copy whose name gives no time is never taken for an old one.
    std::sort(copies.begin(), copies.end(), [](const KeptCopy& a, const KeptCopy& b) {
        if (a.when.isValid() != b.when.isValid()) return a.when.isValid();
        return a.when != b.when ? a.when > b.when : a.n > b.n;
    });
    KeptCopies out;
    const QDateTime oldest = Clock::now().addDays(-kKeptCopyDays);
    int counted = latest.isEmpty() ? 0 : 1;
    for (const KeptCopy& k : copies) {
        const bool keep = ++counted <= kKeptCopiesAtLeast || !k.when.isValid() || k.when >= oldest;
        if (!keep && QFile::remove(k.path)) {
            QFile::remove(k.path + QStringLiteral("-journal"));
            out.removed << k.path;
        } else {
            out.earlier << k.path;
        }
    }
    return out;
}

QString restoredText(const QString& head, const QString& keptAs, const KeptCopies& copies)
{
    QStringList lines{head};
    if (!keptAs.isEmpty()) lines << QStringLiteral("恢复前的数据保存在: ") + keptAs;
    if (!copies.earlier.isEmpty()) lines << QStringLiteral("以前恢复前保存的数据:") << copies.earlier;
    if (!copies.removed.isEmpty())
        lines << QStringLiteral("已删除%1天以前恢复前保存的数据:").arg(kKeptCopyDays) << copies.removed;
    lines << QStringLiteral("前台收银程序如正在运行,请关闭后重新启动,否则它仍读取恢复前的数据,录入的数据不能保存。");
    return lines.join(QLatin1Char('\r'));
}

int removeRestoreLeftovers(const QString& working)
{
    const QFileInfo wi(working);
    const QString folder = wi.absolutePath();
    int removed = removeStalePartialCopies(folder);
    QDir dir(folder);
    // The staging file of earlier versions, named without its process.
    for (const QString& f : {QStringLiteral(".%1.restore").arg(wi.fileName()), QStringLiteral(".%1.restore-journal").arg(wi.fileName())})
        removed += QFile::remove(dir.filePath(f)) ? 1 : 0;
    // A restore killed after keeping the working file and before replacing it
    // left a second name of the working file, not a copy.
    for (const QString& f : dir.entryList({wi.fileName() + QStringLiteral(".*")}, QDir::Files | QDir::Hidden))
        if (sameFile(dir.filePath(f), working) && QFile::remove(dir.filePath(f))) ++removed;
    removed += removeStaleSettledBackups();
    return removed;
}

RestoreOutcome restoreDatabase(const QString& backupFile, const QString& working, QString* keptAs, QString* reason, KeptAs kind,
                               const Progress& progress)
{
    removeRestoreLeftovers(working);
    if (!QFileInfo(backupFile).isFile()) return RestoreOutcome::NotUsable;
    const SettledBackup source(backupFile);
    const QString staged = partialCopyName(working);
    auto cleanup = qScopeGuard([&] {
        QFile::remove(staged);
        QFile::remove(staged + QStringLiteral("-journal"));
    });
    if (stage(source.path(), staged, progress) == RestoreOutcome::NotUsable) return RestoreOutcome::NotUsable;

    QString kept;
    bool journalMoved = false;
    try {
        const WorkingLock lock(working);
        if (QFileInfo::exists(working)) {
            kept = keptName(working, kind);
            keepAside(working, kept, lock.held(), journalMoved);
        } else {
            setOrphanJournalAside(working);
        }
        copyStep("replace");
        if (::rename(nativeName(staged).constData(), nativeName(working).constData()) != 0)
            throwFileError(errno, QStringLiteral("不能替换工作数据 ") + working);
    } catch (const AppError& e) {
        // The old data never left its name: what was made beside it goes.
        if (!kept.isEmpty()) QFile::remove(kept);
        if (journalMoved) ::rename(nativeName(kept + QStringLiteral("-journal")).constData(), nativeName(working + QStringLiteral("-journal")).constData());
        if (reason) *reason = reasonOf(e);
        return RestoreOutcome::FailedUnchanged;
    }
    cleanup.dismiss();
    if (keptAs) *keptAs = kept;
    setWorkingDamaged(false);
    try {
        copyStep("synced");
        if (!syncFolder(QFileInfo(working).absolutePath()))
            throwFileError(errno, QStringLiteral("不能写入文件夹 ") + QFileInfo(working).absolutePath());
    } catch (const AppError& e) {
        if (reason) *reason = reasonOf(e);
        return RestoreOutcome::FailedButRestored;
    }
    return RestoreOutcome::Restored;
}

}
