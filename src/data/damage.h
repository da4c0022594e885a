#pragma once
// Damage to the working database, and what the operator is told about a
// failure of the data or of a copy of it.
//
// Only the working file's own check (referee.h) calls the working data
// damaged: once it has, the program remembers it for the run and nothing is
// copied over the copy in bak/ (it holds the last good data) until a restore
// puts a whole copy in place. A failing disk, a full one, another program's
// lock or a copy spoilt on its way to its folder never does.
#include <QString>
#include <exception>

namespace qm {

QString workingDamagedText();
QString diskFullText();
// The causes named for a failed read or write, and for another program's lock.
QString ioErrorText();
QString dataBusyText();
// A file other than the working database that SQLite's check found damaged.
QString damagedFileText(const QString& path);
// The tables a copy's source lacks ("apperror,units").
QString missingTablesText(const QString& names);
// Copies written into the folder of `target` were spoilt there while the
// working data is whole: the folder and its disk are named.
QString targetFaultText(const QString& target);
// The working data could not be read, and why; nothing was moved.
QString cannotReadText(const QString& path, const QString& cause);
// The cause of a failed file operation, from the system's error number.
QString fileErrorCause(int err);
// Raises the error that names the cause of a failed file operation: a full
// disk, a read or write error, or CausedError with the cause.
[[noreturn]] void throwFileError(int err, const QString& what);
// Raises the error that fits an SQLite result code met by a copy, after
// putting SQLite's own words in the text log: DbBusyError, DbDamagedError
// (nothing is judged here), DiskFullError, DbIoError, CausedError.
[[noreturn]] void throwCopyFailure(int rc, const QString& what, int sysErrno = 0);
// SQLite's or the system's own words about a failure, one line in the text
// log: the operator is told the cause in Chinese.
void logFailureDetail(const QString& detail);

void setWorkingDamaged(bool damaged);
bool workingDamaged();
// Whether `path` names the working database file.
bool isWorkingDatabase(const QString& path);

// The cause a message must name when its own text names another: the damage
// text for damage (not for what SQLite called damage in the working file
// before its own check found it), the full disk, the read or write error, the
// cause of CausedError; empty otherwise.
QString trueCause(const std::exception& e);
// What SQLite called damage in the working file, not yet judged by the file's
// own check: left to the global handler, which has it judged.
bool awaitsJudgement(const std::exception& e);
// `text`, and on a second line the true cause of `e` when there is one.
QString withTrueCause(const QString& text, const std::exception& e);
// The reason to give for a failure: another program's lock, its true cause,
// else its own text.
QString reasonOf(const std::exception& e);

}
