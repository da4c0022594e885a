#include "data/referee.h"
#include "common/errors.h"
#include "common/paths.h"
#include "data/connection.h"
#include "data/damage.h"
#include "data/databasecheck_p.h"
#include "data/vfsfile.h"
#include <QFile>
#include <QHash>
#include <QScopeGuard>
#include <sqlite3.h>
#include <sys/stat.h>
#include <mutex>
#include <vector>

namespace qm {

namespace {

// The file as it stands: any write, or another file under its name, changes it.
struct Stamp {
    quint64 device = 0, inode = 0;
    qint64 size = -1, modifiedNs = -1;
    bool operator==(const Stamp& o) const
    {
        return device == o.device && inode == o.inode && size == o.size && modifiedNs == o.modifiedNs;
    }
};

Stamp stampOf(const QString& path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return {};
    return {quint64(st.st_dev), quint64(st.st_ino), qint64(st.st_size), qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

struct Remembered {
    Stamp stamp;
    FileVerdict verdict;
};

std::mutex g_m;
QHash<QString, Remembered> g_verdicts;

std::optional<FileVerdict> remembered(const QString& path, const Stamp& stamp)
{
    const std::lock_guard<std::mutex> lock(g_m);
    const auto it = g_verdicts.constFind(path);
    if (it == g_verdicts.constEnd() || !(it->stamp == stamp) || stamp.size < 0) return std::nullopt;
    return it->verdict;
}

void remember(const QString& path, const Stamp& stamp, const FileVerdict& v)
{
    const std::lock_guard<std::mutex> lock(g_m);
    g_verdicts.insert(path, {stamp, v});
}

FileVerdict::Kind kindOfCode(int rc)
{
    if (isBusyCode(rc)) return FileVerdict::Busy;
    switch (rc & 0xff) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB: return FileVerdict::Damaged;
    case SQLITE_FULL: return FileVerdict::DiskFull;
    case SQLITE_INTERRUPT: return FileVerdict::Failed;
    default: return FileVerdict::ReadError;
    }
}

// SQLite's integrity_check of the private copy, and the program's tables it lacks.
std::optional<FileVerdict> integrityOf(const QString& copy, const CopyPolicy& policy)
{
    sqlite3* db = nullptr;
    const auto closer = qScopeGuard([&] { sqlite3_close_v2(db); });
    const int rc = sqlite3_open_v2(QFile::encodeName(copy).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    if (rc != SQLITE_OK) return FileVerdict{kindOfCode(rc), checks::lastError(db, rc).message, {}};
    sqlite3_extended_result_codes(db, 1);
    // The check takes seconds on a big shop: a copy the operator abandons stops it.
    if (policy.stopped)
        sqlite3_progress_handler(db, 10000, [](void* p) { return (*static_cast<const std::function<bool()>*>(p))() ? 1 : 0; },
                                 const_cast<std::function<bool()>*>(&policy.stopped));
    QStringList lines;
    const checks::Probe p = checks::run(db, "PRAGMA integrity_check", [&](const char* r) { lines << QString::fromUtf8(r ? r : ""); });
    if ((p.rc & 0xff) == SQLITE_INTERRUPT) return std::nullopt;
    if (!p.ok()) return FileVerdict{kindOfCode(p.rc), p.message, {}};
    if (lines != QStringList{QStringLiteral("ok")}) return FileVerdict{FileVerdict::Damaged, lines.mid(0, 3).join(QStringLiteral("; ")), {}};
    QStringList missing;
    const checks::Probe t = checks::missingTables(db, missing);
    if (!t.ok()) return FileVerdict{kindOfCode(t.rc), t.message, {}};
    return FileVerdict{FileVerdict::Whole, {}, missing.join(QLatin1Char(','))};
}

// The verdict once the file has been read whole: that of a private copy.
std::optional<FileVerdict> judgeCopy(const QString& path, const CopyPolicy& policy)
{
    const QString copy = partialCopyName(path);
    const auto removeCopy = qScopeGuard([&] { QFile::remove(copy); });
    try {
        sqlite3* src = openCopySource(path, policy);
        sqlite3* dst = nullptr;
        const auto closer = qScopeGuard([&] {
            sqlite3_close_v2(dst);
            sqlite3_close_v2(src);
        });
        dst = openPartialCopy(copy, policy.busyWaitMs);
        if (copyPages(dst, src, policy) != CopyResult::Done) return std::nullopt;
        const int closed = sqlite3_close(dst);
        dst = nullptr;
        if (closed != SQLITE_OK) return FileVerdict{kindOfCode(closed), QStringLiteral("private copy not closed"), {}};
    } catch (const DbDamagedError& e) {
        // The file was read whole a moment ago: SQLite found the damage in what it read.
        return FileVerdict{FileVerdict::Damaged, e.message(), {}};
    } catch (const DbBusyError& e) {
        return FileVerdict{FileVerdict::Busy, e.message(), {}};
    } catch (const DiskFullError& e) {
        return FileVerdict{FileVerdict::DiskFull, e.message(), {}};
    } catch (const DbIoError& e) {
        return FileVerdict{FileVerdict::ReadError, e.message(), {}};
    } catch (const AppError& e) {
        return FileVerdict{FileVerdict::Failed, e.message(), {}};
    }
    return integrityOf(copy, policy);
}

} // namespace

int readWholeFile(const QString& path)
{
    VfsFile f(path, SQLITE_OPEN_READONLY | SQLITE_OPEN_MAIN_DB);
    qint64 size = 0;
    int rc = f.size(size);
    if (rc != SQLITE_OK) return rc;
    std::vector<char> buf(1 << 20);
    for (qint64 at = 0; at < size;) {
        const int n = int(std::min<qint64>(qint64(buf.size()), size - at));
        rc = f.read(buf.data(), n, at);
        if (rc == SQLITE_IOERR_SHORT_READ) break; // the file shrank meanwhile
        if (rc != SQLITE_OK) return rc;
        at += n;
    }
    return SQLITE_OK;
}

std::optional<FileVerdict> judgeFile(const QString& path, const CopyPolicy& policy)
{
    const Stamp stamp = stampOf(path);
    if (std::optional<FileVerdict> known = remembered(path, stamp)) return known;
    CopyPolicy judging = policy;
    judging.progress = [&policy](ProgressStep, qint64 done, qint64 total) {
        if (policy.progress) policy.progress(ProgressStep::CheckingWorking, done, total);
    };
    if (judging.progress) judging.progress(ProgressStep::CheckingWorking, 0, 0);
    std::optional<FileVerdict> v;
    const int read = readWholeFile(path);
    if (read != SQLITE_OK) {
        v = FileVerdict{(read & 0xff) == SQLITE_CANTOPEN ? FileVerdict::Failed : FileVerdict::ReadError,
                        QStringLiteral("read %1: %2 (%3)").arg(path, QString::fromUtf8(sqlite3_errstr(read))).arg(read), {}};
    } else {
        v = judgeCopy(path, judging);
        if (!v) return std::nullopt;
        // Only what the file itself holds is remembered; a failure to decide is not.
        if (v->kind == FileVerdict::Whole || v->kind == FileVerdict::Damaged) remember(path, stamp, *v);
    }
    if (v->kind != FileVerdict::Whole) logFailureDetail(QStringLiteral("check of %1: %2").arg(path, v->detail));
    return v;
}

FileVerdict judgeWorkingFile(const Progress& progress)
{
    // Under the operator's policy the check always ends with a verdict.
    return judgeFile(AppPaths::workingDatabase(), operatorPolicy(progress)).value_or(FileVerdict{});
}

void actOnVerdict(const QString& path, const FileVerdict& v)
{
    switch (v.kind) {
    case FileVerdict::Whole:
        return;
    case FileVerdict::Damaged:
        if (isWorkingDatabase(path)) {
            setWorkingDamaged(true);
            throw WorkingDamagedError(workingDamagedText());
        }
        throw CausedError(damagedFileText(path) + QStringLiteral(" (") + v.detail + QLatin1Char(')'), damagedFileText(path));
    case FileVerdict::Busy:
        throw DbBusyError(v.detail);
    case FileVerdict::DiskFull:
        throw DiskFullError(v.detail);
    case FileVerdict::ReadError:
    case FileVerdict::Failed:
        throw DbIoError(v.detail);
    }
}

void forgetVerdicts()
{
    const std::lock_guard<std::mutex> lock(g_m);
    g_verdicts.clear();
}

}
