#pragma once
// Copies of the working data: the weekday folders BAK0..BAK6, LASTBAK, the
// manual backup, the yearly archive, and compaction (restore: restore.h).
//
// Every copy is written beside its target and renamed over it only when it is
// complete and checked, so a failed copy leaves the previous one whole
// (datacopy.h). The database is always copied through the online backup of a
// connection of its own, never as a plain file: the front-desk program may be
// writing it. Failures throw with their cause (damage.h: reasonOf); the
// copies report no window of their own, so that they can run off the
// interface thread.
#include "common/dialogs.h"
#include "data/datacopy.h"
#include "data/progress.h"
#include <QDate>
#include <QString>

namespace qm {

// "BAK0" for Sunday, "BAK1" for Monday ... "BAK6" for Saturday.
QString weekdayBackupName(const QDate& day);
// The folder named after the year, "2026".
QString yearArchiveName(const QDate& day);

// The copies' progress reported as steps of a progress window (LongWork).
Progress stepsTo(const StepReport& report);

// Copies the database file `database` to the file `target` under the
// operator's policy (DatabaseCopy): the target is replaced only by a checked
// copy, and the working data is called damaged only by its own check.
void copyDatabaseFile(const QString& database, const QString& target, const Progress& progress = {});

// Copies the folder `source` with its files and subfolders into
// `destination`, replacing files already there. The working database in it is
// copied through the online backup, and a copy onto it replaces its content
// in one write; rollback journals, partial copies and the old data a restore
// kept beside the working file are left behind. Throws when the source folder
// is missing.
void copyFolder(const QString& source, const QString& destination, const Progress& progress = {});
// The same with the working database as the target: copyFolder of a folder
// into works/ replaces the database's content this way. Checks the source first.
void replaceDatabaseContent(const QString& source, const QString& database, const Progress& progress = {});
// copyFolder of works/ into the program folder's `folderName`.
void copyWorkingFolder(const QString& folderName, const Progress& progress = {});

// The exit backup's compaction and its copy of works/ into the program
// folder's `folderName`, reading and writing the data as few times as it can.
// With every other writer held off, the working database is compacted into a
// new file beside it (VACUUM INTO), which is checked and copied, byte for
// byte and read back, into the weekday folder at once; the copy takes its
// place there, and the new file the working file's, each only when whole. A
// front desk left running meanwhile loses no write: it waits and fails, and
// once the name holds the new file SQLite refuses a write through its old
// connection. When the compaction is not made, works/ is copied as it stands.
struct ExitBackupResult {
    QString compactionFailure; // the message for a compaction not made; empty when made
    bool copied = false;       // works/ is in the weekday folder
    QString copyFailure;       // else why not
};
ExitBackupResult compactAndBackUp(const QString& folderName, const Progress& progress = {});

// Rewrites the database file compactly. False, with the reason in `error`,
// when it could not (another program holding it past the wait): the file is
// then as it was.
bool compactDatabase(const QString& database, QString* error = nullptr);
// compactDatabase on the thread of `work`: empty when it was compacted, else
// the failure message (a damaged file or a full disk named on a second line),
// for reportCompaction once the work is done.
QString compactUnder(LongWork& work, const QString& database);
// Shows the failure message compactUnder returned; true when there is none.
bool reportCompaction(const QString& failure);
// "压缩数据库失败", and on a second line "原因：" with the cause: another
// program holding the file unless a truer cause is known.
QString compactionFailedText();
QString compactionFailedText(const QString& cause);

// "备份时间:<yyyy-MM-dd HH:mm:ss>  大小:<size>" of a backup file, empty when
// there is none: what the operator checks before restoring from it.
QString backupFileText(const QString& file);

// Removes the partial copies that copies killed in an earlier run left in the
// program's own backup folders (bak/, BAK0..BAK6, LASTBAK, the year folders,
// with their subfolders); a copy still running keeps its file. A folder the
// operator chose is cleaned by the next copy into it. Returns how many.
int removeCopyLeftovers();

// True when both paths name the same folder.
bool sameFolder(const QString& a, const QString& b);

}
