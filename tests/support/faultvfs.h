#pragma once
// Fault injection for write commands: an SQLite VFS that wraps the real one and
// makes the n-th write, sync or commit fail with an I/O error, a snapshot of
// every table, a sweep that runs a command once per injection point, and a
// kill -9 driver.
//
// The VFS is installed as the default before main(), so every connection the
// tests open goes through it; it passes everything through until armed.
//
// Usage over a command of the data layer (a fresh Connection per run):
//
//   auto r = qm::fault::sweepCommand(path, [](qm::Connection& c) { qm::Transaction t(c); ...; t.commit(); });
//   EXPECT_TRUE(qm::fault::sound(r));   // before or after at every point, and some faults took
//
// Usage over a window's command (the window and frdm are rebuilt on each run):
//
//   qm::fault::Steps s;
//   s.detach  = [&] { delete window; window = nullptr; qm::waitForBakCopies(); frdm->ADOCon.close(); };
//   s.attach  = [&] { frdm->connectTo(path); window = new Tfr...; /* type into boxes */ };
//   s.command = [&] { window->Button1Click(); };        // may throw, as a failed save may
//   s.check   = [&](const qm::fault::Run& run) {        // optional: windows still open here
//       EXPECT_EQ(qm::fault::compareWithTable(*frdm->Aqproduct, "product", {"intno", "sphh"}).toStdString(), "")
//           << run.point.describe().toStdString();
//       window->Button5Click();                           // 取消, move on: must write nothing
//   };
//   EXPECT_TRUE(qm::fault::sound(qm::fault::sweep(path, s)));
//
// After each injected fault the database, opened afresh (which rolls back a
// hot journal), must equal its state before or after the fault-free run, and
// still equal it once check() has run and the windows are closed.
//
// A commit refused because another program reads the file (the front desk):
//
//   { qm::fault::ReaderHold reader(path); sqlite3_busy_timeout(frdm->ADOCon.handle(), 100);
//     EXPECT_THROW(window->Button1Click(), qm::DbError); }
//
// Usage of the kill -9 driver (the child runs only its own Connection):
//
//   auto k = qm::fault::killDuring([&](int i) { qm::Connection c; c.open(path); ... commit ...; }, 20, 200, seed);
//   // every i < k.completed committed; iteration k.completed may or may not have.
#include "data/connection.h"
#include "data/dataset.h"
#include <QString>
#include <gtest/gtest.h>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <map>
#include <vector>

namespace qm::fault {

enum class Op { Write, Sync, Delete, Read };
QString opName(Op op);

struct Counts {
    int writes = 0;
    int syncs = 0;
    int deletes = 0; // files removed: in rollback-journal mode, deleting the journal is the commit
    int reads = 0;
    int of(Op op) const { return op == Op::Write ? writes : op == Op::Sync ? syncs : op == Op::Read ? reads : deletes; }
};

// Only files whose path starts with `prefix` are counted and failed; an empty
// prefix means every file. Sweeps set it to the database they run over.
void setTarget(const QString& prefix);
// The n-th (1-based) operation of kind `op` from now on fails with an I/O
// error; with `persistent`, every operation after it fails too (a disk that
// went away), so that the rollback fails as well and leaves a hot journal.
// With `afterEffect` the operation is carried out before it reports the
// failure (a journal unlinked whose folder then failed to sync).
// A failing read reports what the system's VFS reports for EIO: SQLite then
// calls the file "malformed", as it does on a disk or share that fails.
// Reads are counted apart: they never count towards armKill and total().
void arm(Op op, int n, bool persistent = false, bool afterEffect = false);
// From now on every `every`-th write into a file whose path starts with
// `prefix` reaches the disk with its first bytes overwritten, and reports
// success: a failing stick or network folder that corrupts what it is given.
// An empty prefix stops it.
void corruptWrites(const QString& prefix, int every);
// Writes from the n-th on fail as on a full disk (SQLITE_FULL).
void armDiskFull(int n);
// Runs `hook` each time a connection gives up its last lock on the database
// file `path` (another program can take the file from that moment), until it
// returns true; an empty hook stops.
void onUnlock(const QString& path, std::function<bool()> hook);
void disarm();
// In a child process: ends it at once, as kill -9 would, at the n-th
// operation of any kind on a counted file or the n-th tick(), whichever
// comes first. total() counts both.
void armKill(int n);
// One step outside SQLite (a rename, a link, a sync of a folder), counted
// and killed at like an operation.
void tick();
int total();
// Whether the armed fault has been hit since the last arm().
bool fired();
Counts counts();
void resetCounts();
// The most pages that a connection opened read-only (a copy's source) read
// from a counted database file under one read lock since the reset: a writer
// that comes meanwhile waits for that many.
int longestReadOnlyHold();
void resetLongestReadOnlyHold();

// Arms on construction, disarms on destruction.
class Injection {
public:
    Injection(Op op, int n, bool persistent = false, bool afterEffect = false) { arm(op, n, persistent, afterEffect); }
    ~Injection() { disarm(); }
    Injection(const Injection&) = delete;
    Injection& operator=(const Injection&) = delete;
};

// Every table's rows (sqlite_sequence included), in rowid order.
using Snapshot = std::map<QString, std::vector<QVariantList>>;
Snapshot snapshot(Connection& c);
// Opens the file read-write on its own connection (rolling back a hot journal)
// and takes its snapshot. Throws DbError when the file stays locked.
Snapshot snapshotFile(const QString& path);
// Empty when equal, else a line naming the first difference.
QString difference(const Snapshot& a, const Snapshot& b);

struct Point {
    Op op = Op::Write;
    int n = 0;
    bool persistent = false;
    QString describe() const;
};

enum class Outcome { Before, After, Neither };

struct Run {
    Point point;
    bool threw = false;  // the command raised an exception
    bool fired = false;  // the fault was hit
    Outcome outcome = Outcome::Neither;
    QString error;       // the exception's text, when it threw
};

struct Steps {
    std::function<void()> detach;  // close every connection to the file (windows, frdm)
    std::function<void()> attach;  // open the file and bring the windows to the command
    std::function<void()> command; // the command under test; may throw
    std::function<void(const Run&)> check; // optional, before detach: the windows show what is stored
    bool persistent = false;       // also fail every operation after the n-th
    int maxPoints = 0;             // 0: every point; else at most this many, spread evenly
    QString target;                // prefix of the files counted; empty: the database file itself
};

struct Report {
    Counts counted;                // I/O of the fault-free run
    int runs = 0;                  // runs with a fault injected
    int before = 0, after = 0;     // how many ended in each state
    QStringList failures;          // runs that ended in neither state, or left the file locked
    bool ok() const { return failures.isEmpty(); }
};

// For EXPECT_TRUE: every run ended in the state before or after, some before
// (a fault took), and there were more than `minRuns` runs.
::testing::AssertionResult sound(const Report& r, int minRuns = 3);

// Runs the command once fault-free to count its I/O and learn the state after,
// then once per injection point from the state before.
Report sweep(const QString& dbPath, const Steps& steps);
// The same for a command over a fresh Connection of its own.
Report sweepCommand(const QString& dbPath, const std::function<void(Connection&)>& command, bool persistent = false);

// The window shows what is stored: empty when every row of `ds` equals the
// stored row with the same rowid in `columns`, and `ds` holds as many rows as
// the table has where `where` holds (all rows when empty); else the first
// difference.
QString compareWithTable(Dataset& ds, const QString& table, const QStringList& columns,
                         const QString& where = {}, const Params& params = {});

// Copies a database file (no journal may be hot): used to restore between runs.
void copyDatabase(const QString& from, const QString& to);

// Holds a read transaction on the file, as the front desk does while it reads:
// another connection's COMMIT then fails with "busy" once its busy timeout
// runs out, and its transaction is still open. Lower that connection's
// timeout (sqlite3_busy_timeout) to keep the test fast.
class ReaderHold {
public:
    explicit ReaderHold(const QString& path);
    ~ReaderHold() { release(); }
    void release();
    ReaderHold(const ReaderHold&) = delete;
    ReaderHold& operator=(const ReaderHold&) = delete;

private:
    Connection c_;
};

// Holds a write transaction on the file, as the front desk does while it
// writes: another connection's BEGIN IMMEDIATE then fails with "busy" once its
// busy timeout runs out; readers go on. Rolled back on destruction.
class WriterHold {
public:
    explicit WriterHold(const QString& path);
    ~WriterHold();
    WriterHold(const WriterHold&) = delete;
    WriterHold& operator=(const WriterHold&) = delete;

private:
    Connection c_;
};

// What a writer that died in the middle of a transaction leaves: pages of
// the transaction (every customer replaced by 400 named "未提交") already in
// the file, and the journal that undoes them.
void leaveHotJournal(const QString& path);

struct KillResult {
    int completed = 0; // iterations whose call returned in the child before the kill
    bool killed = false; // false when the child ended by itself before the kill
};
// Forks a child that calls iteration(0), iteration(1), ... until it is killed
// with SIGKILL after a random delay in [minMs, maxMs]. The child must use only
// connections it opens itself and touch no window.
KillResult killDuring(const std::function<void(int)>& iteration, int minMs, int maxMs, unsigned seed);

}
