#pragma once
// Whether a database file may be opened as it is, must be replaced from the
// backup copy, or must be left alone and reported. Another process (the
// front-desk program) may hold the file: busy is never taken for damage.
#include "data/progress.h"
#include <QString>

namespace qm {

enum class DatabaseFileState {
    Usable,
    Missing,     // no file, or an empty one
    NotDatabase, // not an SQLite database, or none of this program's tables
    MissingTables, // this program's data lacking some of its tables (detail: their names, comma-separated); not damage
    Damaged,     // fails the integrity check after SQLite opened it read-write
    Busy,        // another process kept it locked longer than we waited
    Unreadable,  // the file's permissions keep us out
    Failed,      // any other failure (folder not writable): not ours to mend
    IoError,     // reading the file failed (a failing disk, a network share gone): it may be whole; never replaced
};

struct DatabaseCheck {
    DatabaseFileState state = DatabaseFileState::Failed;
    QString detail; // the database's own message, when it gave one
    // Missing, not a database, or damaged: the backup copy may replace it.
    bool replaceable() const
    {
        return state == DatabaseFileState::Missing || state == DatabaseFileState::NotDatabase
               || state == DatabaseFileState::Damaged;
    }
};

// How long start-up waits for another process's lock.
inline constexpr int kStartupBusyWaitMs = 10000;

// Opens the working database read-write, as the program will, so that SQLite
// rolls back a journal left by a writer that died. The cost does not grow with
// the file: the schema is read and each table's first and last pages touched;
// the full integrity check runs only when one of those fails. A file that
// then looks damaged is read whole, plainly: SQLite reports a read the disk
// failed as damage, and a read that fails makes it IoError, not Damaged.
DatabaseCheck checkWorkingDatabase(const QString& path, int busyWaitMs = kStartupBusyWaitMs);

// The check of a copy before it replaces anything: it opens, holds this
// program's tables, passes SQLite's check of every page, and every index holds
// exactly its table's rows, in its order, a UNIQUE one no key twice (the
// check that finds an index damaged, at the cost of about two reads of the
// file). Usable, NotDatabase, MissingTables (their names), Damaged (with what
// was found), or the state of a failure to read it. The file is only read, by
// `threads` connections at once (0: as many as the machine offers, up to four).
DatabaseCheck checkCopy(const QString& path, const Progress& progress = {}, int threads = 0);
// checkCopy of a copy just written, while a second thread syncs it to the
// disk; Failed when the sync failed.
DatabaseCheck checkFinishedCopy(const QString& path, const Progress& progress = {}, int threads = 0);
// A copy fit to replace the working database: checkCopy of it as it stands
// once a journal beside it is rolled back on a private copy (SettledBackup).
bool isUsableBackup(const QString& path);

// A backup file as it stands once the journal beside it, if any, is rolled
// back: a copy taken while a writer was in the middle of a transaction holds
// that writer's pages and the journal that undoes them. The file and its
// journal are then copied into a private temporary folder and opened
// read-write there, so the journal rolls back; the backup's own folder is
// never written. Without a journal, path() is the file itself.
class SettledBackup {
public:
    explicit SettledBackup(const QString& path);
    ~SettledBackup();
    QString path() const { return path_; }
    SettledBackup(const SettledBackup&) = delete;
    SettledBackup& operator=(const SettledBackup&) = delete;

private:
    QString path_;
    QString folder_; // the private folder, removed with the object
};
// Removes the private folders of SettledBackup that ended processes left.
int removeStaleSettledBackups();

}
