#include "data/datacopy.h"
#include "common/errors.h"
#include "data/connection.h"
#include "data/damage.h"
#include "data/databasecheck.h"
#include "data/referee.h"
#include "data/vfsfile.h"
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <sqlite3.h>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <unistd.h>
#include <vector>

namespace qm {

namespace {

void (*g_stepHook)(const char*) = nullptr;
std::function<void(const QString&)> g_writtenHook;

// Pages read under one read lock behind the till: a writer that comes
// meanwhile waits for at most this many (a millisecond or two).
constexpr int kBackgroundStepPages = 256;
// Steps of a few megabytes for the operator's copies: between them a writer
// can take its lock (the copy then starts again from the changed file).
constexpr int kOperatorStepPages = 1024;
// A writer busier than the copy is long would make it start again for ever:
// after this many restarts the rest is copied in one step, whose read lock
// makes the writer wait for it instead.
constexpr int kRestartsBeforeWholeStep = 3;

QString errmsgOf(sqlite3* db) { return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString(); }

// The code of a failure reported on either connection of a backup.
int failureCode(sqlite3* into, sqlite3* from)
{
    for (sqlite3* db : {into, from}) {
        const int rc = db ? sqlite3_extended_errcode(db) : SQLITE_OK;
        if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) return rc;
    }
    return SQLITE_IOERR;
}

bool syncPath(const QString& path, int flags)
{
    const int fd = ::open(QFile::encodeName(path).constData(), flags);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    const int err = errno;
    ::close(fd);
    errno = err;
    return ok;
}

void makeFolderOf(const QString& target)
{
    const QString folder = QFileInfo(target).absolutePath();
    if (QFileInfo(folder).isDir()) return;
    errno = 0;
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir())
        throwFileError(errno ? errno : ENOTDIR, QStringLiteral("不能创建文件夹 ") + folder);
}

} // namespace

void setCopyStepHook(void (*hook)(const char*)) { g_stepHook = hook; }

void copyStep(const char* name)
{
    if (g_stepHook) g_stepHook(name);
}

void setCopyWrittenHook(std::function<void(const QString&)> hook) { g_writtenHook = std::move(hook); }

CopyPolicy backgroundPolicy(std::function<bool()> stopped, Progress progress)
{
    CopyPolicy p;
    p.stepPages = kBackgroundStepPages;
    p.yieldToWriters = true;
    p.busyWaitMs = 0;
    p.stopped = std::move(stopped);
    p.progress = std::move(progress);
    p.checkThreads = 2;
    return p;
}

CopyPolicy operatorPolicy(const Progress& progress, int busyWaitMs)
{
    CopyPolicy p;
    p.stepPages = kOperatorStepPages;
    p.busyWaitMs = busyWaitMs;
    p.progress = progress;
    return p;
}

CopyPolicy replacementPolicy(const Progress& progress)
{
    CopyPolicy p;
    p.stepPages = -1;
    p.progress = progress;
    return p;
}

CopyResult copyPages(sqlite3* into, sqlite3* from, const CopyPolicy& policy)
{
    sqlite3_backup* b = sqlite3_backup_init(into, "main", from, "main");
    if (!b)
        throwCopyFailure(failureCode(into, from), QStringLiteral("备份失败: ") + errmsgOf(into) + QLatin1Char('/') + errmsgOf(from),
                         sqlite3_system_errno(into));
    auto finish = qScopeGuard([&] { sqlite3_backup_finish(b); });
    if (policy.progress) policy.progress(ProgressStep::Copying, 0, 0);
    QElapsedTimer busySince;
    int rc = SQLITE_OK;
    int restarts = 0, lastRemaining = -1;
    for (;;) {
        if (policy.stopped && policy.stopped()) return CopyResult::Stopped;
        const bool wholeStep = policy.stepPages < 0 || restarts >= kRestartsBeforeWholeStep;
        rc = sqlite3_backup_step(b, wholeStep ? -1 : policy.stepPages);
        if (rc == SQLITE_DONE) break;
        if (rc == SQLITE_OK) {
            // A commit by another connection starts the copy again from the first page.
            const int remaining = sqlite3_backup_remaining(b);
            if (lastRemaining >= 0 && remaining >= lastRemaining) {
                if (policy.yieldToWriters) return CopyResult::WriterCame;
                ++restarts;
            }
            lastRemaining = remaining;
            busySince.invalidate();
            if (policy.progress) {
                const int total = sqlite3_backup_pagecount(b);
                policy.progress(ProgressStep::Copying, total - remaining, total);
            }
            continue;
        }
        if (!isBusyCode(rc)) break;
        if (policy.yieldToWriters) return CopyResult::WriterCame;
        if (!busySince.isValid()) busySince.start();
        if (busySince.elapsed() >= policy.busyWaitMs) break;
        sqlite3_sleep(10);
    }
    finish.dismiss();
    const int finished = sqlite3_backup_finish(b);
    if (rc != SQLITE_DONE)
        throwCopyFailure(rc, QStringLiteral("备份失败: ") + errmsgOf(from), sqlite3_system_errno(into));
    if (finished != SQLITE_OK) throwCopyFailure(finished, QStringLiteral("备份失败: ") + errmsgOf(into), sqlite3_system_errno(into));
    return CopyResult::Done;
}

sqlite3* openCopySource(const QString& path, const CopyPolicy& policy)
{
    sqlite3* db = nullptr;
    const int flags = (policy.yieldToWriters ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const int err = db ? sqlite3_system_errno(db) : 0;
        sqlite3_close_v2(db);
        throwCopyFailure(rc, QStringLiteral("不能打开数据库 ") + path, err);
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, policy.yieldToWriters ? 0 : policy.busyWaitMs);
    return db;
}

// ------------------------------------------------------------ DatabaseCopy

DatabaseCopy::DatabaseCopy(const QString& source, const QString& target, CopyPolicy policy, sqlite3* open)
    : source_(source), target_(target), policy_(std::move(policy)), open_(open)
{
}

CopyResult DatabaseCopy::run()
{
    if (!judging_ && !spoiltOnce_) {
        makeFolderOf(target_);
        // What copies killed into this folder left.
        removeStalePartialCopies(QFileInfo(target_).absolutePath());
    }
    for (;;) {
        if (judging_) {
            const std::optional<FileVerdict> v = judgeFile(source_, policy_);
            if (!v) return policy_.stopped && policy_.stopped() ? CopyResult::Stopped : CopyResult::WriterCame;
            actOnVerdict(source_, *v);
            conclude(*v);
        }
        switch (attempt()) {
        case Attempt::Done: return CopyResult::Done;
        case Attempt::WriterCame: return CopyResult::WriterCame;
        case Attempt::Stopped: return CopyResult::Stopped;
        case Attempt::CopySpoilt:
            // Made once more: the first may have been spoilt on its way.
            if (spoiltOnce_) judging_ = true;
            spoiltOnce_ = true;
            break;
        case Attempt::SourceUnread:
            judging_ = sourceUnread_ = true;
            break;
        }
    }
}

DatabaseCopy::Attempt DatabaseCopy::attempt()
{
    const QString partial = partialCopyName(target_);
    sqlite3* src = open_;
    sqlite3* dst = nullptr;
    auto cleanup = qScopeGuard([&] {
        sqlite3_close_v2(dst);
        if (src != open_) sqlite3_close_v2(src);
        QFile::remove(partial);
    });
    if (!src) src = openCopySource(source_, policy_);
    dst = openPartialCopy(partial, policy_.busyWaitMs);
    CopyResult copied;
    try {
        copied = copyPages(dst, src, policy_);
    } catch (const DbDamagedError&) {
        return Attempt::SourceUnread;
    }
    if (copied == CopyResult::WriterCame) return Attempt::WriterCame;
    if (copied == CopyResult::Stopped) return Attempt::Stopped;
    if (src != open_) sqlite3_close_v2(src);
    src = open_;
    const int closed = sqlite3_close(dst);
    if (closed != SQLITE_OK) throwCopyFailure(closed, QStringLiteral("备份失败: ") + partial);
    dst = nullptr;
    copyStep("database");
    if (g_writtenHook) g_writtenHook(partial);
    // The copy must open and pass the check before it replaces anything.
    const DatabaseCheck check = checkFinishedCopy(partial, policy_.progress, policy_.checkThreads);
    if (!fitCopy(check, target_)) return Attempt::CopySpoilt;
    cleanup.dismiss();
    renameCopyOver(partial, target_);
    return Attempt::Done;
}

void DatabaseCopy::conclude(const FileVerdict& v)
{
    // The source is whole: its own check found nothing to act on.
    if (!v.missingTables.isEmpty())
        throw CausedError(QStringLiteral("missing tables: ") + v.missingTables, missingTablesText(v.missingTables));
    if (sourceUnread_) throw DbIoError(QStringLiteral("读取数据失败: ") + source_);
    const QString why = targetFaultText(target_);
    logFailureDetail(why);
    throw CausedError(why, why);
}

bool fitCopy(const DatabaseCheck& check, const QString& what)
{
    const QString found = QStringLiteral("数据文件检查不通过 %1: %2").arg(what, check.detail);
    switch (check.state) {
    case DatabaseFileState::Usable:
        return true;
    case DatabaseFileState::Damaged:
    case DatabaseFileState::NotDatabase:
        logFailureDetail(found);
        return false;
    case DatabaseFileState::MissingTables:
        throw CausedError(found, missingTablesText(check.detail));
    case DatabaseFileState::Unreadable:
        logFailureDetail(found);
        throw CausedError(found, fileErrorCause(EACCES));
    default:
        logFailureDetail(found);
        throw DbIoError(found);
    }
}

// ------------------------------------------------------------ the copies

void backupInto(sqlite3* source, const QString& partial, int busyWaitMs, const Progress& progress)
{
    sqlite3* dst = openPartialCopy(partial, busyWaitMs);
    auto cleanup = qScopeGuard([&] {
        sqlite3_close_v2(dst);
        QFile::remove(partial);
    });
    copyPages(dst, source, operatorPolicy(progress, busyWaitMs));
    const int closed = sqlite3_close(dst);
    if (closed != SQLITE_OK) throwCopyFailure(closed, QStringLiteral("备份失败: ") + partial);
    dst = nullptr;
    cleanup.dismiss();
}

void backupDatabase(sqlite3* source, const QString& target, int busyWaitMs)
{
    DatabaseCopy(QString::fromUtf8(sqlite3_db_filename(source, "main")), target, operatorPolicy({}, busyWaitMs), source).run();
}

void copyPlainFile(const QString& source, const QString& target, const Progress& progress)
{
    makeFolderOf(target);
    const QString tmp = partialCopyName(target);
    const int in = ::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0) throwFileError(errno, QStringLiteral("不能读取文件 ") + source);
    const auto closeIn = qScopeGuard([&] { ::close(in); });
    int out = ::open(QFile::encodeName(tmp).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) throwFileError(errno, QStringLiteral("不能创建文件 ") + tmp);
    auto cleanup = qScopeGuard([&] {
        if (out >= 0) ::close(out);
        QFile::remove(tmp);
    });
    const qint64 size = QFileInfo(source).size();
    std::vector<char> buf(1 << 20);
    qint64 total = 0;
    for (;;) {
        const ssize_t n = ::read(in, buf.data(), buf.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            throwFileError(errno, QStringLiteral("不能读取文件 ") + source);
        }
        if (n == 0) break;
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(out, buf.data() + done, size_t(n - done));
            if (w < 0) {
                if (errno == EINTR) continue;
                throwFileError(errno, QStringLiteral("不能写入文件 ") + tmp);
            }
            done += w;
        }
        total += n;
        copyStep("file");
        if (progress) progress(ProgressStep::Copying, total, size);
    }
    if (::fsync(out) != 0) throwFileError(errno, QStringLiteral("不能写入文件 ") + tmp);
    const int closed = ::close(out);
    out = -1;
    if (closed != 0) throwFileError(errno, QStringLiteral("不能写入文件 ") + tmp);
    if (total != size) throwFileError(EIO, QStringLiteral("文件复制不完整: ") + source);
    cleanup.dismiss();
    renameCopyOver(tmp, target);
}

namespace {

// A digest of one piece of a file, to compare a copy read back with what was
// written.
quint64 pieceDigest(const char* p, size_t n)
{
    quint64 h = 0x9E3779B97F4A7C15ull ^ n;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        quint64 w;
        std::memcpy(&w, p + i, 8);
        h = (h ^ w) * 0x100000001B3ull;
        h ^= h >> 29;
    }
    for (; i < n; ++i) h = (h ^ quint64(uchar(p[i]))) * 0x100000001B3ull;
    return h;
}

// What the file layer writes in one call: it writes less than 128 KiB at a
// time, and the larger the piece, the fewer the calls.
constexpr int kPieceBytes = 124 << 10;

// One copy of `source` into `partial`; true when it reads back as written.
bool copyOnceVerified(const QString& source, const QString& partial)
{
    std::vector<char> buf(kPieceBytes);
    std::vector<quint64> written;
    qint64 size = 0;
    {
        VfsFile in(source, SQLITE_OPEN_READONLY | SQLITE_OPEN_MAIN_DB);
        int rc = in.rc() == SQLITE_OK ? in.size(size) : in.rc();
        if (rc != SQLITE_OK) throwCopyFailure(rc, QStringLiteral("不能读取文件 ") + source, errno);
        VfsFile out(partial, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_MAIN_DB);
        if (out.rc() != SQLITE_OK) {
            int err = errno;
            if (::access(QFile::encodeName(QFileInfo(partial).absolutePath()).constData(), W_OK) != 0) err = errno;
            throwCopyFailure(out.rc(), QStringLiteral("不能创建文件 ") + partial, err);
        }
        for (qint64 at = 0; at < size; at += kPieceBytes) {
            const int n = int(std::min<qint64>(kPieceBytes, size - at));
            if ((rc = in.read(buf.data(), n, at)) != SQLITE_OK) throwCopyFailure(rc, QStringLiteral("不能读取文件 ") + source, errno);
            written.push_back(pieceDigest(buf.data(), size_t(n)));
            if ((rc = out.write(buf.data(), n, at)) != SQLITE_OK) throwCopyFailure(rc, QStringLiteral("不能写入文件 ") + partial, errno);
        }
        if ((rc = out.sync()) != SQLITE_OK) throwCopyFailure(rc, QStringLiteral("不能写入文件 ") + partial, errno);
    }
    copyStep("database");
    if (g_writtenHook) g_writtenHook(partial);
    VfsFile back(partial, SQLITE_OPEN_READONLY | SQLITE_OPEN_MAIN_DB);
    qint64 backSize = 0;
    int rc = back.rc() == SQLITE_OK ? back.size(backSize) : back.rc();
    if (rc != SQLITE_OK) throwCopyFailure(rc, QStringLiteral("不能读取文件 ") + partial, errno);
    if (backSize != size) return false;
    for (qint64 at = 0; at < size; at += kPieceBytes) {
        const int n = int(std::min<qint64>(kPieceBytes, size - at));
        if ((rc = back.read(buf.data(), n, at)) != SQLITE_OK) throwCopyFailure(rc, QStringLiteral("不能读取文件 ") + partial, errno);
        if (pieceDigest(buf.data(), size_t(n)) != written[size_t(at / kPieceBytes)]) return false;
    }
    return true;
}

} // namespace

void copyFileVerified(const QString& source, const QString& partial, const QString& target)
{
    auto cleanup = qScopeGuard([&] { QFile::remove(partial); });
    for (int attempt = 1;; ++attempt) {
        if (copyOnceVerified(source, partial)) break;
        QFile::remove(partial);
        const QString why = targetFaultText(target);
        logFailureDetail(QStringLiteral("copy %1 differs from %2").arg(partial, source));
        // Made once more: the first may have been spoilt on its way.
        if (attempt == 2) throw CausedError(why, why);
    }
    cleanup.dismiss();
}

// ------------------------------------------------------------ partial files

QString partialCopyName(const QString& target)
{
    static std::atomic<int> counter{0};
    QFileInfo ti(target);
    return ti.absolutePath() + QStringLiteral("/.") + ti.fileName()
           + QStringLiteral(".%1-%2.part").arg(::getpid()).arg(++counter);
}

bool processEnded(qint64 pid)
{
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max() || pid_t(pid) == ::getpid()) return false;
    return ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

int removeStalePartialCopies(const QString& folder, bool nested)
{
    static const QRegularExpression name(QStringLiteral("^\\..+\\.(\\d+)-\\d+\\.part(-journal)?$"));
    int removed = 0;
    QDirIterator it(folder, {QStringLiteral(".*.part"), QStringLiteral(".*.part-journal")}, QDir::Files | QDir::Hidden | QDir::System,
                    nested ? QDirIterator::Subdirectories : QDirIterator::NoIteratorFlags);
    while (it.hasNext()) {
        const QString path = it.next();
        const QRegularExpressionMatch m = name.match(it.fileName());
        if (!m.hasMatch()) continue;
        bool ok = false;
        const qint64 pid = m.captured(1).toLongLong(&ok);
        // A process that runs (or that we may not signal) may still be writing it.
        if (!ok || !processEnded(pid)) continue;
        if (QFile::remove(path)) ++removed;
    }
    return removed;
}

sqlite3* openPartialCopy(const QString& path, int busyWaitMs)
{
    sqlite3* dst = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &dst, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) {
        int err = dst ? sqlite3_system_errno(dst) : 0;
        // SQLite tries once more read-only and keeps that attempt's error:
        // the folder tells why the file could not be made.
        if (::access(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), W_OK) != 0) err = errno;
        sqlite3_close_v2(dst);
        QFile::remove(path);
        throwCopyFailure(rc, QStringLiteral("不能创建备份文件 ") + path, err);
    }
    sqlite3_extended_result_codes(dst, 1);
    sqlite3_busy_timeout(dst, busyWaitMs);
    sqlite3_exec(dst, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF", nullptr, nullptr, nullptr);
    return dst;
}

bool syncFile(const QString& path) { return syncPath(path, O_RDONLY); }

bool syncFolder(const QString& folder) { return syncPath(folder, O_RDONLY | O_DIRECTORY); }

void renameCopyOver(const QString& from, const QString& to)
{
    try {
        copyStep("rename");
    } catch (...) {
        QFile::remove(from);
        throw;
    }
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0) {
        const int err = errno;
        QFile::remove(from);
        throwFileError(err, QStringLiteral("不能写入备份文件 ") + to);
    }
    // Until the folder is synced the rename may not survive a power cut.
    const QString folder = QFileInfo(to).absolutePath();
    copyStep("synced");
    if (!syncFolder(folder)) throwFileError(errno, QStringLiteral("不能写入文件夹 ") + folder);
}

}
