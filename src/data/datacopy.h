#pragma once
// The one routine that copies the data: SQLite's online backup of the
// database into a partial file beside the target, the file synced, checked
// (checkCopy) and renamed over the target, the folder synced. The target
// keeps its previous copy until the new one is whole, and a failure at any
// step, the folder's sync included, is reported. What differs between the
// copies is a small policy:
//
//   - the copy to bak/ behind the till reads in small steps and gives the
//     attempt up at once when a writer comes, to try again once the file is
//     quiet: the till never waits for it;
//   - the operator's copies wait a bounded time for another program's lock;
//   - restore's replacement of the live file's content copies in one step.
//
// A copy whose check fails is made once more; when the second fails too, or
// the source reads as damaged, the source's own check (referee.h) decides
// what the operator is told: the working data damaged (and remembered so), a
// read error, or the target's folder at fault while the working data is whole.
#include "data/progress.h"
#include <QString>
#include <functional>

struct sqlite3;

namespace qm {

struct DatabaseCheck;
struct FileVerdict;

// How long a copy waits for another connection's lock before it gives up.
inline constexpr int kBackupBusyWaitMs = 5000;

struct CopyPolicy {
    // Pages read under one read lock of the source; -1: all in one step.
    int stepPages = 1024;
    // A writer's lock or commit ends the attempt (CopyResult::WriterCame)
    // instead of being waited for.
    bool yieldToWriters = false;
    // Otherwise, how long at a time another connection's lock is waited for.
    int busyWaitMs = kBackupBusyWaitMs;
    // Asked between steps: true abandons the copy (CopyResult::Stopped).
    std::function<bool()> stopped;
    Progress progress;
    // Connections the check of a copy reads with (0: as many as the machine
    // offers, up to four).
    int checkThreads = 0;
};

// The copy to bak/: yields to any writer; checked on two threads, so that
// the till goes on meanwhile.
CopyPolicy backgroundPolicy(std::function<bool()> stopped, Progress progress);
// The operator's copies: a writer busier than the copy is long makes it copy
// the rest in one step, during which the writer waits.
CopyPolicy operatorPolicy(const Progress& progress = {}, int busyWaitMs = kBackupBusyWaitMs);
// Into the live file: the whole content in one write, so that other
// connections see either the old or the new; another program's lock waited
// for a bounded time.
CopyPolicy replacementPolicy(const Progress& progress = {});

enum class CopyResult { Done, WriterCame, Stopped };

// A connection of its own on the database a copy reads: read-only under a
// yielding policy (a writer's lock is a reason to step aside, never to
// wait); read-write otherwise, so that a journal left by a writer that died
// is rolled back first. Throws as throwCopyFailure does.
sqlite3* openCopySource(const QString& path, const CopyPolicy& policy);

// The loop of SQLite's online backup of `from` into `into`, under `policy`.
// Throws as throwCopyFailure does.
CopyResult copyPages(sqlite3* into, sqlite3* from, const CopyPolicy& policy);

// A copy of the database file `source` into `target`, checked before it
// replaces anything. With `open`, the copy reads through that connection (the
// caller's own, open on `source`); else through one of its own for each attempt.
class DatabaseCopy {
public:
    DatabaseCopy(const QString& source, const QString& target, CopyPolicy policy, sqlite3* open = nullptr);
    // Goes on with the copy: Done once the target holds the checked copy;
    // WriterCame or Stopped: nothing replaced, and run() again goes on where
    // it stood (the yielding policy only). Throws on failure, the target
    // unchanged; never DbDamagedError for a working file that its own check
    // did not find damaged.
    CopyResult run();
    QString source() const { return source_; }
    QString target() const { return target_; }

private:
    enum class Attempt { Done, WriterCame, Stopped, CopySpoilt, SourceUnread };
    Attempt attempt();
    [[noreturn]] void conclude(const FileVerdict& v);

    QString source_, target_;
    CopyPolicy policy_;
    sqlite3* open_;
    bool spoiltOnce_ = false; // the first copy failed its check
    bool judging_ = false;    // the source's own check is due
    bool sourceUnread_ = false; // a read of the source failed, not a copy's check
};

// Copies the database open on `source` into the new file `partial`
// (openPartialCopy), which the caller checks, syncs and renames, or removes.
void backupInto(sqlite3* source, const QString& partial, int busyWaitMs = kBackupBusyWaitMs, const Progress& progress = {});
// DatabaseCopy of the database open on `source` to `target`, waiting at most
// `busyWaitMs` at a time for another connection's lock.
void backupDatabase(sqlite3* source, const QString& target, int busyWaitMs = kBackupBusyWaitMs);

// Copies a plain file to `target` through a partial file beside it, synced
// and renamed over it.
void copyPlainFile(const QString& source, const QString& target, const Progress& progress = {});
// Copies the closed file `source`, which no one else writes, byte for byte
// into the new file `partial` through SQLite's file layer, synced, then reads
// the copy back and compares. A copy that differs is made once more; when
// the second differs too, the folder of `target` is at fault (CausedError
// naming it). The caller renames `partial` over `target`, or removes it.
void copyFileVerified(const QString& source, const QString& partial, const QString& target);

// Whether the check of a copy just written found it fit (true) or spoilt
// (false: damaged, or not a database); any other finding throws with its
// cause (the tables the source lacks, a failed read or sync).
bool fitCopy(const DatabaseCheck& check, const QString& what);

// A partial copy's name beside `target`: ".<name>.<pid>-<n>.part", unique
// among the copies of every thread and process writing beside it.
QString partialCopyName(const QString& target);
// Whether no process `pid` runs any more (never this one).
bool processEnded(qint64 pid);
// Removes from `folder` the partial copies (and their journals) whose process
// no longer runs: a copy killed halfway leaves them. Files of a copy still
// running, in this process or another, stay. With `nested`, the folder's
// subfolders too. Returns how many were removed.
int removeStalePartialCopies(const QString& folder, bool nested = false);
// Opens `path` for an online backup to write into: no journal and no sync of
// its own (a partial file is thrown away when anything fails, and is synced
// once complete, so that the source's lock is never held while the disk
// catches up). Throws as throwCopyFailure does.
sqlite3* openPartialCopy(const QString& path, int busyWaitMs);
// Flushes a closed file to the disk; false when that failed (errno says why).
bool syncFile(const QString& path);
// Makes a finished rename in `folder` survive a power cut; false when the
// disk refused.
bool syncFolder(const QString& folder);
// Renames the complete copy `from` over `to` and syncs the folder. A failed
// rename removes `from` and leaves `to` as it was; a failed sync of the
// folder is reported too (the copy is then in place, but not yet safe).
void renameCopyOver(const QString& from, const QString& to);

// Test hooks: called between the steps of the copies and of restore (after
// each file, before each rename) with a short name of the step; and with the
// complete partial copy of a database before its check.
void setCopyStepHook(void (*hook)(const char* step));
void copyStep(const char* name);
void setCopyWrittenHook(std::function<void(const QString& partial)> hook);

}
