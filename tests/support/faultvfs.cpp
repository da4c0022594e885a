#include "support/faultvfs.h"
#include "common/errors.h"
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>
#include <algorithm>
#include <csignal>
#include <cstring>
#include <mutex>
#include <random>
#include <thread>
#include <sys/wait.h>
#include <unistd.h>

namespace qm::fault {

namespace {

// ------------------------------------------------------------ shared state

struct State {
    std::mutex m;
    QByteArray target;      // path prefix of the files counted; empty: all
    Counts counts;
    bool armed = false;
    Op op = Op::Write;
    int n = 0;              // fail when the count of `op` reaches n
    bool persistent = false;
    bool fired = false;
    int longestHold = 0;    // pages read by a read-only connection under one read lock
    bool afterEffect = false; // the failing operation is carried out first
    bool diskFull = false;    // a failing write reports a full disk
    int killAt = 0;         // armKill: end the process at this total
    int total = 0;          // operations and ticks since the reset
    QByteArray unlockPath;     // onceUnlocked: the file, and what to run
    std::function<bool()> unlockHook;
    QByteArray corruptPrefix;  // corruptWrites: where, how often, and the writes seen
    int corruptEvery = 0;
    int corruptSeen = 0;
};

State& state()
{
    static State s;
    return s;
}

// Counts one operation on a counted file and decides whether it fails.
bool shouldFail(Op op)
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.m);
    int& c = op == Op::Write ? s.counts.writes : op == Op::Sync ? s.counts.syncs : s.counts.deletes;
    ++c;
    if (++s.total == s.killAt) ::_exit(137);
    if (!s.armed) return false;
    if (s.fired && s.persistent) return true;
    if (!s.fired && op == s.op && c == s.n) {
        s.fired = true;
        return true;
    }
    return false;
}

// Counts one read of a counted file and decides whether it fails.
bool shouldFailRead()
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.m);
    ++s.counts.reads;
    if (!s.armed || s.op != Op::Read) return false;
    if (s.fired && s.persistent) return true;
    if (!s.fired && s.counts.reads == s.n) {
        s.fired = true;
        return true;
    }
    return false;
}

bool isCorruptible(const char* path)
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.m);
    return path && !s.corruptPrefix.isEmpty() && std::strncmp(path, s.corruptPrefix.constData(), size_t(s.corruptPrefix.size())) == 0;
}

bool corruptThisWrite()
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.m);
    return s.corruptEvery > 0 && ++s.corruptSeen % s.corruptEvery == 0;
}

bool isCounted(const char* path)
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.m);
    if (s.target.isEmpty()) return true;
    return path && std::strncmp(path, s.target.constData(), size_t(s.target.size())) == 0;
}

// ------------------------------------------------------------ the VFS

sqlite3_vfs* realVfs = nullptr;

struct FaultFile {
    sqlite3_file base;
    bool counted;
    bool corruptible;       // under the prefix of corruptWrites
    bool observed;          // a counted database file opened read-only
    int reads;              // reads under the read lock held now
    const char* name; // valid while the file is open
    sqlite3_file* real() { return reinterpret_cast<sqlite3_file*>(this + 1); }
};

FaultFile* ff(sqlite3_file* f) { return reinterpret_cast<FaultFile*>(f); }
sqlite3_file* rf(sqlite3_file* f) { return ff(f)->real(); }
const sqlite3_io_methods* rm(sqlite3_file* f) { return rf(f)->pMethods; }

void endHold(FaultFile* p);
int fClose(sqlite3_file* f)
{
    endHold(ff(f));
    int rc = rm(f)->xClose(rf(f));
    f->pMethods = nullptr;
    return rc;
}
int fRead(sqlite3_file* f, void* buf, int amt, sqlite3_int64 off)
{
    if (ff(f)->observed) ++ff(f)->reads;
    if (ff(f)->counted && shouldFailRead()) return SQLITE_IOERR_CORRUPTFS;
    return rm(f)->xRead(rf(f), buf, amt, off);
}
void endHold(FaultFile* p)
{
    if (!p->observed) return;
    State& s = state();
    std::lock_guard<std::mutex> lock(s.m);
    s.longestHold = std::max(s.longestHold, p->reads);
    p->reads = 0;
}
bool afterEffect()
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.m);
    return s.afterEffect;
}
bool diskFull()
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.m);
    return s.diskFull;
}
int fWrite(sqlite3_file* f, const void* buf, int amt, sqlite3_int64 off)
{
    if (ff(f)->counted && shouldFail(Op::Write)) {
        if (afterEffect()) rm(f)->xWrite(rf(f), buf, amt, off);
        return diskFull() ? SQLITE_FULL : SQLITE_IOERR_WRITE;
    }
    if (ff(f)->corruptible && amt > 0 && corruptThisWrite()) {
        QByteArray bad(static_cast<const char*>(buf), amt);
        std::memset(bad.data(), 0xff, size_t(std::min(amt, 16)));
        return rm(f)->xWrite(rf(f), bad.constData(), amt, off);
    }
    return rm(f)->xWrite(rf(f), buf, amt, off);
}
int fTruncate(sqlite3_file* f, sqlite3_int64 size) { return rm(f)->xTruncate(rf(f), size); }
int fSync(sqlite3_file* f, int flags)
{
    if (ff(f)->counted && shouldFail(Op::Sync)) {
        if (afterEffect()) rm(f)->xSync(rf(f), flags);
        return SQLITE_IOERR_FSYNC;
    }
    return rm(f)->xSync(rf(f), flags);
}
int fFileSize(sqlite3_file* f, sqlite3_int64* size) { return rm(f)->xFileSize(rf(f), size); }
int fLock(sqlite3_file* f, int l) { return rm(f)->xLock(rf(f), l); }
int fUnlock(sqlite3_file* f, int l)
{
    if (l == SQLITE_LOCK_NONE) endHold(ff(f));
    const int rc = rm(f)->xUnlock(rf(f), l);
    if (l != SQLITE_LOCK_NONE || !ff(f)->name) return rc;
    std::function<bool()> hook;
    {
        State& s = state();
        std::lock_guard<std::mutex> lock(s.m);
        if (s.unlockHook && s.unlockPath == ff(f)->name) std::swap(hook, s.unlockHook);
    }
    // Called without the state's lock: the hook may open and lock the file itself.
    if (hook && !hook()) {
        State& s = state();
        std::lock_guard<std::mutex> lock(s.m);
        if (!s.unlockHook) s.unlockHook = std::move(hook);
    }
    return rc;
}
int fCheckReservedLock(sqlite3_file* f, int* out) { return rm(f)->xCheckReservedLock(rf(f), out); }
int fFileControl(sqlite3_file* f, int op, void* arg) { return rm(f)->xFileControl(rf(f), op, arg); }
int fSectorSize(sqlite3_file* f) { return rm(f)->xSectorSize(rf(f)); }
int fDeviceCharacteristics(sqlite3_file* f) { return rm(f)->xDeviceCharacteristics(rf(f)); }
int fShmMap(sqlite3_file* f, int pg, int sz, int ext, void volatile** p)
{
    return rm(f)->iVersion >= 2 ? rm(f)->xShmMap(rf(f), pg, sz, ext, p) : SQLITE_IOERR;
}
int fShmLock(sqlite3_file* f, int off, int n, int flags)
{
    return rm(f)->iVersion >= 2 ? rm(f)->xShmLock(rf(f), off, n, flags) : SQLITE_IOERR;
}
void fShmBarrier(sqlite3_file* f)
{
    if (rm(f)->iVersion >= 2) rm(f)->xShmBarrier(rf(f));
}
int fShmUnmap(sqlite3_file* f, int del)
{
    return rm(f)->iVersion >= 2 ? rm(f)->xShmUnmap(rf(f), del) : SQLITE_OK;
}
int fFetch(sqlite3_file* f, sqlite3_int64 off, int amt, void** pp)
{
    // No memory-mapped reads: every page goes through xRead.
    (void)f; (void)off; (void)amt;
    *pp = nullptr;
    return SQLITE_OK;
}
int fUnfetch(sqlite3_file* f, sqlite3_int64 off, void* p)
{
    (void)f; (void)off; (void)p;
    return SQLITE_OK;
}

const sqlite3_io_methods faultMethods = {
    3, fClose, fRead, fWrite, fTruncate, fSync, fFileSize, fLock, fUnlock, fCheckReservedLock,
    fFileControl, fSectorSize, fDeviceCharacteristics, fShmMap, fShmLock, fShmBarrier, fShmUnmap,
    fFetch, fUnfetch,
};

int vOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags)
{
    FaultFile* p = ff(f);
    p->base.pMethods = nullptr;
    p->counted = name && isCounted(name);
    p->corruptible = isCorruptible(name);
    p->observed = p->counted && (flags & SQLITE_OPEN_MAIN_DB) && (flags & SQLITE_OPEN_READONLY);
    p->reads = 0;
    p->name = (flags & SQLITE_OPEN_MAIN_DB) ? name : nullptr;
    int rc = realVfs->xOpen(realVfs, name, p->real(), flags, outFlags);
    if (p->real()->pMethods) p->base.pMethods = &faultMethods;
    return rc;
}
int vDelete(sqlite3_vfs*, const char* name, int syncDir)
{
    if (isCounted(name) && shouldFail(Op::Delete)) {
        if (afterEffect()) realVfs->xDelete(realVfs, name, syncDir);
        return SQLITE_IOERR_DELETE;
    }
    return realVfs->xDelete(realVfs, name, syncDir);
}
int vAccess(sqlite3_vfs*, const char* name, int flags, int* out) { return realVfs->xAccess(realVfs, name, flags, out); }
int vFullPathname(sqlite3_vfs*, const char* name, int n, char* out) { return realVfs->xFullPathname(realVfs, name, n, out); }
void* vDlOpen(sqlite3_vfs*, const char* name) { return realVfs->xDlOpen(realVfs, name); }
void vDlError(sqlite3_vfs*, int n, char* out) { realVfs->xDlError(realVfs, n, out); }
void (*vDlSym(sqlite3_vfs*, void* h, const char* sym))(void) { return realVfs->xDlSym(realVfs, h, sym); }
void vDlClose(sqlite3_vfs*, void* h) { realVfs->xDlClose(realVfs, h); }
int vRandomness(sqlite3_vfs*, int n, char* out) { return realVfs->xRandomness(realVfs, n, out); }
int vSleep(sqlite3_vfs*, int us) { return realVfs->xSleep(realVfs, us); }
int vCurrentTime(sqlite3_vfs*, double* t) { return realVfs->xCurrentTime(realVfs, t); }
int vGetLastError(sqlite3_vfs*, int n, char* out) { return realVfs->xGetLastError(realVfs, n, out); }
int vCurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* t) { return realVfs->xCurrentTimeInt64(realVfs, t); }

sqlite3_vfs faultVfs;

// Installed before main(): connections opened by fixtures go through it too.
struct Installer {
    Installer()
    {
        realVfs = sqlite3_vfs_find(nullptr);
        std::memset(&faultVfs, 0, sizeof faultVfs);
        faultVfs.iVersion = 2;
        faultVfs.szOsFile = int(sizeof(FaultFile)) + realVfs->szOsFile;
        faultVfs.mxPathname = realVfs->mxPathname;
        faultVfs.zName = "qm-fault";
        faultVfs.xOpen = vOpen;
        faultVfs.xDelete = vDelete;
        faultVfs.xAccess = vAccess;
        faultVfs.xFullPathname = vFullPathname;
        faultVfs.xDlOpen = vDlOpen;
        faultVfs.xDlError = vDlError;
        faultVfs.xDlSym = vDlSym;
        faultVfs.xDlClose = vDlClose;
        faultVfs.xRandomness = vRandomness;
        faultVfs.xSleep = vSleep;
        faultVfs.xCurrentTime = vCurrentTime;
        faultVfs.xGetLastError = vGetLastError;
        faultVfs.xCurrentTimeInt64 = vCurrentTimeInt64;
        sqlite3_vfs_register(&faultVfs, 1);
    }
} installer;

QString outcomeName(Outcome o)
{
    return o == Outcome::Before ? QStringLiteral("before") : o == Outcome::After ? QStringLiteral("after") : QStringLiteral("neither");
}

} // namespace

// ------------------------------------------------------------ controls

int longestReadOnlyHold()
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.m);
    return s.longestHold;
}

void resetLongestReadOnlyHold()
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.m);
    s.longestHold = 0;
}

QString opName(Op op)
{
    return op == Op::Write ? QStringLiteral("write")
           : op == Op::Sync ? QStringLiteral("sync")
           : op == Op::Read ? QStringLiteral("read")
                            : QStringLiteral("delete");
}

void corruptWrites(const QString& prefix, int every)
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.m);
    s.corruptPrefix = prefix.isEmpty() ? QByteArray() : QFileInfo(prefix).absoluteFilePath().toUtf8();
    s.corruptEvery = every;
    s.corruptSeen = 0;
}

void setTarget(const QString& prefix)
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.m);
    s.target = prefix.isEmpty() ? QByteArray() : QFileInfo(prefix).absoluteFilePath().toUtf8();
}

void armDiskFull(int n)
{
    arm(Op::Write, n, true);
    State& s = state();
    std::lock_guard<std::mutex> lock(s.m);
    s.diskFull = true;
}

void arm(Op op, int n, bool persistent, bool afterEffect)
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.m);
    s.diskFull = false;
    s.afterEffect = afterEffect;
    s.counts = Counts();
    s.armed = true;
    s.op = op;
    s.n = n;
    s.persistent = persistent;
    s.fired = false;
}

void onUnlock(const QString& path, std::function<bool()> hook)
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.m);
    s.unlockPath = QFileInfo(path).absoluteFilePath().toUtf8();
    s.unlockHook = std::move(hook);
}

void armKill(int n)
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.m);
    s.total = 0;
    s.killAt = n;
}

void tick()
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.m);
    if (++s.total == s.killAt) ::_exit(137);
}

int total()
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.m);
    return s.total;
}

void disarm()
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.m);
    s.armed = false;
}

bool fired()
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.m);
    return s.fired;
}

Counts counts()
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.m);
    return s.counts;
}

void resetCounts()
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.m);
    s.counts = Counts();
    s.total = 0;
}

QString Point::describe() const
{
    return QStringLiteral("%1 #%2%3").arg(opName(op)).arg(n).arg(persistent ? QStringLiteral(" and after") : QString());
}

// ------------------------------------------------------------ snapshots

Snapshot snapshot(Connection& c)
{
    Snapshot out;
    auto tables = c.rows(QStringLiteral("SELECT name, sql FROM sqlite_master WHERE type='table' ORDER BY name"));
    for (const QVariantList& t : tables) {
        QString name = t[0].toString();
        bool rowid = !t[1].toString().contains(QStringLiteral("WITHOUT ROWID"), Qt::CaseInsensitive);
        QString quoted = QLatin1Char('"') + QString(name).replace('"', QStringLiteral("\"\"")) + QLatin1Char('"');
        QString sql = QStringLiteral("SELECT * FROM ") + quoted;
        sql += rowid ? QStringLiteral(" ORDER BY rowid") : QStringLiteral(" ORDER BY 1");
        out[name] = c.rows(sql);
    }
    return out;
}

Snapshot snapshotFile(const QString& path)
{
    Connection c;
    c.open(path);
    // Taking the write lock proves that no connection kept a transaction open.
    sqlite3_busy_timeout(c.handle(), 1000);
    c.exec(QStringLiteral("BEGIN IMMEDIATE"));
    c.exec(QStringLiteral("ROLLBACK"));
    return snapshot(c);
}

QString difference(const Snapshot& a, const Snapshot& b)
{
    for (const auto& [name, rows] : a) {
        auto it = b.find(name);
        if (it == b.end()) return QStringLiteral("table %1 missing").arg(name);
        const auto& other = it->second;
        if (rows.size() != other.size())
            return QStringLiteral("table %1: %2 rows against %3").arg(name).arg(rows.size()).arg(other.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            if (rows[i] != other[i]) {
                QStringList x, y;
                for (const QVariant& v : rows[i]) x << v.toString();
                for (const QVariant& v : other[i]) y << v.toString();
                return QStringLiteral("table %1 row %2: [%3] against [%4]").arg(name).arg(i).arg(x.join('|'), y.join('|'));
            }
        }
    }
    for (const auto& [name, rows] : b)
        if (!a.count(name)) return QStringLiteral("table %1 added").arg(name);
    return {};
}

QString compareWithTable(Dataset& ds, const QString& table, const QStringList& columns, const QString& where,
                         const Params& params)
{
    if (!ds.active()) return ds.name() + QStringLiteral(" is closed");
    if (ds.state() != Dataset::State::Browse) return ds.name() + QStringLiteral(" holds a row not posted");
    Connection& c = *ds.connection();
    const QString filter = where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where;
    const int stored = c.scalar(QStringLiteral("SELECT count(*) FROM ") + table + filter, params).toInt();
    if (stored != ds.recordCount())
        return QStringLiteral("%1 shows %2 rows, %3 holds %4").arg(ds.name()).arg(ds.recordCount()).arg(table).arg(stored);
    for (int r = 0; r < ds.recordCount(); ++r) {
        auto row = c.rows(QStringLiteral("SELECT %1 FROM %2 WHERE rowid=:rid").arg(columns.join(','), table), {{"rid", ds.rowidAt(r)}});
        if (row.empty()) return QStringLiteral("%1 row %2 is not stored").arg(ds.name()).arg(r);
        for (int i = 0; i < columns.size(); ++i) {
            const QVariant shown = ds.valueAt(r, ds.fieldIndex(columns[i]));
            if (shown.toString() != row[0][i].toString())
                return QStringLiteral("%1 row %2 %3: shows '%4', stored '%5'")
                    .arg(ds.name()).arg(r).arg(columns[i], shown.toString(), row[0][i].toString());
        }
    }
    return {};
}

void copyDatabase(const QString& from, const QString& to)
{
    QFile::remove(to);
    QFile::remove(to + QStringLiteral("-journal"));
    if (!QFile::copy(from, to)) throw FileOpenError(QStringLiteral("cannot copy ") + from + QStringLiteral(" to ") + to);
    QFile(to).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
}

// ------------------------------------------------------------ sweeps

::testing::AssertionResult sound(const Report& r, int minRuns)
{
    if (!r.ok()) return ::testing::AssertionFailure() << r.failures.join(QLatin1Char('\n')).toStdString();
    if (r.before == 0) return ::testing::AssertionFailure() << "no fault took: every run ended in the state after";
    if (r.runs <= minRuns) return ::testing::AssertionFailure() << "only " << r.runs << " fault points";
    return ::testing::AssertionSuccess();
}

Report sweep(const QString& dbPath, const Steps& steps)
{
    Report report;
    const QString pristine = dbPath + QStringLiteral(".before");
    setTarget(steps.target.isEmpty() ? dbPath : steps.target);
    steps.detach();
    copyDatabase(dbPath, pristine);
    const Snapshot before = snapshotFile(dbPath);

    // The fault-free run: counts the points and gives the state after.
    steps.attach();
    resetCounts();
    steps.command();
    report.counted = counts();
    if (steps.check) {
        Run r;
        r.outcome = Outcome::After;
        steps.check(r);
    }
    steps.detach();
    const Snapshot after = snapshotFile(dbPath);
    if (difference(before, after).isEmpty()) report.failures << QStringLiteral("the command changed nothing");

    std::vector<Point> points;
    for (Op op : {Op::Write, Op::Sync, Op::Delete})
        for (int n = 1; n <= report.counted.of(op); ++n) points.push_back({op, n, steps.persistent});
    if (steps.maxPoints > 0 && int(points.size()) > steps.maxPoints) {
        std::vector<Point> spread;
        for (int i = 0; i < steps.maxPoints; ++i) spread.push_back(points[size_t(i) * points.size() / size_t(steps.maxPoints)]);
        points = spread;
    }

    for (const Point& p : points) {
        copyDatabase(pristine, dbPath);
        steps.attach();
        Run run;
        run.point = p;
        arm(p.op, p.n, p.persistent);
        try {
            steps.command();
        } catch (const std::exception& e) {
            run.threw = true;
            run.error = QString::fromUtf8(e.what());
        } catch (...) {
            run.threw = true;
        }
        run.fired = fired();
        disarm();
        ++report.runs;
        Snapshot now;
        bool readable = true;
        try {
            now = snapshotFile(dbPath);
        } catch (const std::exception& e) {
            readable = false;
            report.failures << p.describe() + QStringLiteral(": database left locked or unreadable: ") + QString::fromUtf8(e.what());
        }
        if (readable) {
            if (difference(now, before).isEmpty()) run.outcome = Outcome::Before, ++report.before;
            else if (difference(now, after).isEmpty()) run.outcome = Outcome::After, ++report.after;
            else
                report.failures << p.describe() + QStringLiteral(": neither before nor after: ") + difference(before, now)
                                       + QStringLiteral(" / ") + difference(after, now);
        }
        if (steps.check) steps.check(run);
        steps.detach();
        // Whatever the windows did, the file must still be whole when opened afresh.
        if (readable && run.outcome != Outcome::Neither) {
            try {
                QString d = difference(snapshotFile(dbPath), run.outcome == Outcome::Before ? before : after);
                if (!d.isEmpty())
                    report.failures << p.describe() + QStringLiteral(": changed after the command, from ")
                                           + outcomeName(run.outcome) + QStringLiteral(": ") + d;
            } catch (const std::exception& e) {
                report.failures << p.describe() + QStringLiteral(": unreadable after closing: ") + QString::fromUtf8(e.what());
            }
        }
    }

    copyDatabase(pristine, dbPath);
    QFile::remove(pristine);
    setTarget({});
    steps.attach();
    return report;
}

Report sweepCommand(const QString& dbPath, const std::function<void(Connection&)>& command, bool persistent)
{
    Connection c;
    Steps s;
    s.detach = [&] { c.close(); };
    s.attach = [&] { c.open(dbPath); };
    s.command = [&] { command(c); };
    s.persistent = persistent;
    Report r = sweep(dbPath, s);
    c.close();
    return r;
}

ReaderHold::ReaderHold(const QString& path)
{
    c_.open(path);
    c_.exec(QStringLiteral("BEGIN"));
    c_.scalar(QStringLiteral("SELECT count(*) FROM sqlite_master"));
}

WriterHold::WriterHold(const QString& path)
{
    c_.open(path);
    c_.exec(QStringLiteral("BEGIN IMMEDIATE"));
    c_.exec(QStringLiteral("UPDATE company SET name=name"));
}

WriterHold::~WriterHold()
{
    try {
        c_.exec(QStringLiteral("ROLLBACK"));
    } catch (...) {
    }
}

void leaveHotJournal(const QString& path)
{
    Connection w;
    w.open(path);
    w.exec(QStringLiteral("PRAGMA cache_size=10"));
    w.exec(QStringLiteral("BEGIN IMMEDIATE"));
    w.exec(QStringLiteral("DELETE FROM customer"));
    for (int i = 0; i < 400; ++i)
        w.exec(QStringLiteral("INSERT INTO customer(intno, id, name, remark) VALUES(:p1, :p1, '未提交', :p2)"),
               {{"p1", QString::asprintf("%010d", 50000 + i)}, {"p2", QString(500, 'u')}});
    const QString journal = path + QStringLiteral("-journal");
    if (!QFile::exists(journal)) throw DbError(QStringLiteral("no journal was written"));
    QFile::remove(path + QStringLiteral(".crash"));
    QFile::remove(path + QStringLiteral(".crash-journal"));
    QFile::copy(path, path + QStringLiteral(".crash"));
    QFile::copy(journal, path + QStringLiteral(".crash-journal"));
    w.exec(QStringLiteral("ROLLBACK"));
    w.close();
    QFile::remove(path);
    QFile::rename(path + QStringLiteral(".crash"), path);
    QFile::rename(path + QStringLiteral(".crash-journal"), journal);
}

void ReaderHold::release()
{
    if (c_.isOpen() && c_.inTransaction()) c_.exec(QStringLiteral("COMMIT"));
    c_.close();
}

// ------------------------------------------------------------ kill -9

KillResult killDuring(const std::function<void(int)>& iteration, int minMs, int maxMs, unsigned seed)
{
    KillResult result;
    int fds[2];
    if (::pipe(fds) != 0) throw AppError(QStringLiteral("pipe failed"));
    pid_t pid = ::fork();
    if (pid < 0) throw AppError(QStringLiteral("fork failed"));
    if (pid == 0) {
        ::close(fds[0]);
        for (int i = 0;; ++i) {
            try {
                iteration(i);
            } catch (...) {
                ::_exit(3);
            }
            if (::write(fds[1], &i, sizeof i) != ssize_t(sizeof i)) ::_exit(4);
        }
    }
    ::close(fds[1]);
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> delay(minMs, std::max(minMs, maxMs));
    std::this_thread::sleep_for(std::chrono::milliseconds(delay(rng)));
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    int v;
    while (::read(fds[0], &v, sizeof v) == ssize_t(sizeof v)) result.completed = v + 1;
    ::close(fds[0]);
    return result;
}

}
