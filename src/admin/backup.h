#pragma once
// Copies of the working data: the weekday folders BAK0..BAK6, LASTBAK, the
// manual backup and restore, the yearly archive, and compaction.
//
// Every copy is written beside its target and renamed over it only when it is
// complete and checked, so a failed copy leaves the previous one whole. The
// database is always copied through the online backup of a connection of its
// own, never as a plain file: the front-desk program may be writing it.
// Failures throw FileOpenError or DbError with the reason.
#include <QDate>
#include <QString>

namespace qm {

class Connection;

// "BAK0" for Sunday, "BAK1" for Monday ... "BAK6" for Saturday.
QString weekdayBackupName(const QDate& day);
// The folder named after the year, "2026".
QString yearArchiveName(const QDate& day);

// Copies a plain file to `target` through a temporary file beside it.
void copyFileChecked(const QString& source, const QString& target);
// Copies the open database `c` to the file `target`: online backup into a
// temporary file beside it, integrity check, then rename.
void copyOpenDatabase(Connection& c, const QString& target);
// The same from a database file, opened for the copy only.
void copyDatabaseFile(const QString& database, const QString& target);

// Copies the folder `source` with its files and subfolders into
// `destination`, replacing files already there. The working database in it is
// copied through the online backup, and a copy onto it replaces its content
// in one write; rollback journals are left behind (they belong to the live
// file only). Throws when the source folder is missing.
void copyFolder(const QString& source, const QString& destination);
// The same with the working database as the target: copyFolder of a folder
// into works/ replaces the database's content this way. Checks the source first.
void replaceDatabaseContent(const QString& source, const QString& database);
// copyFolder of works/ into the program folder's `folderName`.
void copyWorkingFolder(const QString& folderName);

// Rewrites the database file compactly. False, with the reason in `error`,
// when it could not (another program holding it past the wait): the file is
// then as it was.
bool compactDatabase(const QString& database, QString* error = nullptr);
// compactDatabase with the failure message shown.
bool compactDatabaseReporting(const QString& database);
QString compactionFailedText();

// What restoring from a backup file found, and after a failure of the
// replacement itself, what the working database holds.
enum class RestoreOutcome {
    Restored,
    NotUsable,
    FailedUnchanged,    // the old data, as it was
    FailedButRestored,  // the restored data: the failure came after it was in place
    FailedUndetermined, // the file could not be read back (the old data is kept aside)
};
// Replaces the content of the working database by the backup file's:
// the backup is checked (whole, and this program's data), copied to a staging file beside the working one and
// brought up to the current schema there; the working database is kept under
// a new name ("vkdb.mdb.before-restore-<time>", returned in `keptAs`) and then
// receives the staged content in one write, so a failure at any step leaves
// it as it was. A failure before the replacement throws; a failure of the
// replacement is answered by what the working file then holds, with the
// failure's text in `reason`.
RestoreOutcome restoreDatabase(const QString& backupFile, const QString& working, QString* keptAs = nullptr,
                               QString* reason = nullptr);

// True when both paths name the same folder.
bool sameFolder(const QString& a, const QString& b);

// Test hook: called between the steps of the copies (after each file, and
// before each rename) with a short name of the step.
void setCopyStepHook(void (*hook)(const char* step));

}
