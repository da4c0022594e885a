#include "data/databasecheck.h"
#include "data/connection.h"
#include "data/databasecheck_p.h"
#include "data/referee.h"
#include <QFile>
#include <QFileInfo>
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QScopeGuard>
#include <sqlite3.h>
#include <cerrno>
#include <cstring>
#include <functional>
#include <iterator>
#include <fcntl.h>
#include <unistd.h>

namespace qm {

namespace {

// Tables every version of the database has had: a file without them is not
// this program's database, whatever SQLite thinks of it.
const char* const kBaseTables[] = {
    "product", "spec", "customer", "branch", "bank", "employee", "store",
    "outlist", "outdetail", "outbacklist", "outbackdetail", "getlist", "getdetail",
    "inlist", "indetail", "inbacklist", "inbackdetail", "putlist", "putdetail",
    "totallist", "custtotal", "custtotal1", "dateconfig", "opcrl", "nextno",
    "config", "company", "apperror", "package", "units",
};

}

namespace checks {

Probe lastError(sqlite3* db, int rc)
{
    return {rc, QString::fromUtf8(sqlite3_errmsg(db))};
}

Probe query(sqlite3* db, const char* sql, const QStringList& args, const std::function<void(sqlite3_stmt*)>& row)
{
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    for (int i = 0; rc == SQLITE_OK && i < args.size(); ++i) {
        const QByteArray a = args[i].toUtf8();
        rc = sqlite3_bind_text(st, i + 1, a.constData(), int(a.size()), SQLITE_TRANSIENT);
    }
    if (rc == SQLITE_OK) {
        while ((rc = sqlite3_step(st)) == SQLITE_ROW)
            if (row) row(st);
        if (rc == SQLITE_DONE) rc = SQLITE_OK;
    }
    const Probe p = rc == SQLITE_OK ? Probe{} : lastError(db, rc);
    sqlite3_finalize(st);
    return p;
}

Probe run(sqlite3* db, const char* sql, const std::function<void(const char*)>& row)
{
    return query(db, sql, {}, [&](sqlite3_stmt* st) {
        if (row) row(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    });
}

DatabaseCheck verdict(const Probe& p)
{
    if (isBusyCode(p.rc)) return {DatabaseFileState::Busy, p.message};
    switch (p.rc & 0xff) {
    case SQLITE_NOTADB: return {DatabaseFileState::NotDatabase, p.message};
    case SQLITE_CORRUPT: return {DatabaseFileState::Damaged, p.message};
    case SQLITE_PERM:
    case SQLITE_AUTH: return {DatabaseFileState::Unreadable, p.message};
    case SQLITE_IOERR: return {DatabaseFileState::IoError, p.message};
    default: return {DatabaseFileState::Failed, p.message};
    }
}

Probe missingTables(sqlite3* db, QStringList& missing)
{
    QStringList have;
    Probe p = run(db, "SELECT lower(name) FROM sqlite_master WHERE type='table'",
                  [&](const char* n) { have << QString::fromUtf8(n); });
    if (!p.ok()) return p;
    for (const char* t : kBaseTables)
        if (!have.contains(QLatin1String(t))) missing << QLatin1String(t);
    return p;
}

int baseTableCount() { return int(std::size(kBaseTables)); }

Probe quickCheck(sqlite3* db, bool& whole)
{
    QStringList lines;
    Probe p = run(db, "PRAGMA quick_check", [&](const char* r) { lines << QString::fromUtf8(r ? r : ""); });
    whole = p.ok() && lines == QStringList{QStringLiteral("ok")};
    if (p.ok() && !whole) p.message = lines.mid(0, 3).join(QStringLiteral("; "));
    return p;
}

}

using namespace checks;

namespace {

// Cheap checks whose cost does not grow with the file: the size the header
// announces is there, and every base table's root and last leaf can be read.
bool passesCheapChecks(sqlite3* db, const QString& path)
{
    qint64 pages = 0, pageSize = 0;
    if (!run(db, "PRAGMA page_count", [&](const char* v) { pages = QByteArray(v).toLongLong(); }).ok()) return false;
    if (!run(db, "PRAGMA page_size", [&](const char* v) { pageSize = QByteArray(v).toLongLong(); }).ok()) return false;
    if (QFileInfo(path).size() < pages * pageSize) return false;
    for (const char* t : kBaseTables) {
        // One aggregate each: together they would scan the whole table.
        for (const char* edge : {"max", "min"}) {
            QByteArray sql = QByteArray("SELECT ") + edge + "(rowid) FROM \"" + t + '"';
            if (!run(db, sql.constData()).ok()) return false;
        }
    }
    return true;
}

bool permissionDenied(const QString& path)
{
    int fd = ::open(QFile::encodeName(path).constData(), O_RDWR);
    if (fd >= 0) {
        ::close(fd);
        return false;
    }
    return errno == EACCES || errno == EPERM || errno == EROFS;
}

}

namespace {
DatabaseCheck checkOpened(const QString& path, int busyWaitMs);
}

DatabaseCheck checkWorkingDatabase(const QString& path, int busyWaitMs)
{
    const DatabaseCheck check = checkOpened(path, busyWaitMs);
    if (check.state != DatabaseFileState::Damaged && check.state != DatabaseFileState::NotDatabase) return check;
    // What SQLite called damage may be a read the disk failed.
    const int read = readWholeFile(path);
    if (read == SQLITE_OK) return check;
    return {DatabaseFileState::IoError, QStringLiteral("%1 (%2)").arg(QString::fromUtf8(sqlite3_errstr(read))).arg(read)};
}

namespace {
DatabaseCheck checkOpened(const QString& path, int busyWaitMs)
{
    QFileInfo fi(path);
    if (!fi.exists() || (fi.isFile() && fi.size() == 0 && !QFileInfo::exists(path + QStringLiteral("-journal"))))
        return {DatabaseFileState::Missing, {}};
    if (!fi.isFile()) return {DatabaseFileState::Failed, QStringLiteral("not a file")};
    if (permissionDenied(path)) return {DatabaseFileState::Unreadable, QString::fromLocal8Bit(strerror(errno))};

    sqlite3* db = nullptr;
    auto closer = qScopeGuard([&] { sqlite3_close_v2(db); });
    int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) return verdict(lastError(db, rc));
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, busyWaitMs);
    if (sqlite3_db_readonly(db, "main") == 1) return {DatabaseFileState::Unreadable, QStringLiteral("read-only")};

    // The first read takes a shared lock, and rolls back a hot journal.
    QStringList missing;
    Probe p = missingTables(db, missing);
    if (!p.ok()) {
        if ((p.rc & 0xff) != SQLITE_CORRUPT) return verdict(p);
    } else if (missing.size() == baseTableCount()) {
        return {DatabaseFileState::NotDatabase, QStringLiteral("no tables of this program")};
    } else if (missing.isEmpty() && passesCheapChecks(db, path)) {
        return {DatabaseFileState::Usable, {}};
    }
    // Something looks wrong: only SQLite's own check may call the file damaged.
    bool whole = false;
    p = quickCheck(db, whole);
    if (isBusyCode(p.rc)) return {DatabaseFileState::Busy, p.message};
    if (!whole) return {DatabaseFileState::Damaged, p.message};
    // A whole file that lacks some tables is still the shop's data: an older
    // copy must not replace it; the schema upgrade reports what is missing.
    return {DatabaseFileState::Usable, {}};
}
}

SettledBackup::SettledBackup(const QString& path) : path_(path)
{
    const QString journal = path + QStringLiteral("-journal");
    if (!QFileInfo(path).isFile() || QFileInfo(journal).size() <= 0) return;
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/quillmart-settle-%1-XXXXXX").arg(::getpid()));
    if (!dir.isValid()) return;
    dir.setAutoRemove(false);
    folder_ = dir.path();
    const QString copy = folder_ + QLatin1Char('/') + QFileInfo(path).fileName();
    if (!QFile::copy(path, copy) || !QFile::copy(journal, copy + QStringLiteral("-journal"))) return;
    // The first read of a read-write connection rolls the journal back.
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(copy).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK)
        run(db, "SELECT count(*) FROM sqlite_master");
    sqlite3_close_v2(db);
    path_ = copy;
}

SettledBackup::~SettledBackup()
{
    if (!folder_.isEmpty()) QDir(folder_).removeRecursively();
}

int removeStaleSettledBackups()
{
    static const QRegularExpression name(QStringLiteral("^quillmart-settle-(\\d+)-"));
    int removed = 0;
    QDir tmp(QDir::tempPath());
    for (const QString& f : tmp.entryList({QStringLiteral("quillmart-settle-*")}, QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QRegularExpressionMatch m = name.match(f);
        if (m.hasMatch() && processEnded(m.captured(1).toLongLong()) && QDir(tmp.filePath(f)).removeRecursively()) ++removed;
    }
    return removed;
}

bool isUsableBackup(const QString& path)
{
    if (!QFileInfo(path).isFile()) return false;
    const SettledBackup settled(path);
    return checkCopy(settled.path()).state == DatabaseFileState::Usable;
}

}
