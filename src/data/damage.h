#pragma once
// Damage to the working database, and what the operator is told about it.
//
// Once a statement meets the damage or a copy's check finds it, the program
// remembers it for the run: nothing is copied over the copy in bak/ (it holds
// the last good data) until a restore puts a whole copy in place.
#include <QString>
#include <exception>

namespace qm {

QString workingDamagedText();
QString diskFullText();
// The causes named for a failed read or write, and for another program's lock.
QString ioErrorText();
QString dataBusyText();

void setWorkingDamaged(bool damaged);
bool workingDamaged();
// Whether `path` names the working database file.
bool isWorkingDatabase(const QString& path);
// A second copy of `database` failed its check as the first did: the damage
// is in the data copied. DbDamagedError, with the damage text, noted, when it
// is the working database; else naming the file and what the check found.
[[noreturn]] void throwCopiedDataDamaged(const QString& database, const QString& detail);

// The cause a message must name when its own text names another: the damage
// text for DbDamagedError, the full disk for DiskFullError, the read or write
// error for DbIoError; empty otherwise.
QString trueCause(const std::exception& e);
// `text`, and on a second line the true cause of `e` when there is one.
QString withTrueCause(const QString& text, const std::exception& e);
// The reason to give for a failure: another program's lock, its true cause,
// else its own text.
QString reasonOf(const std::exception& e);

}
