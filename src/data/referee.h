#pragma once
// The working file's own check: asked before the program calls the working
// data damaged. SQLite reports a read the disk failed as damage ("database
// disk image is malformed"), and a copy spoilt on its way to a failing stick
// fails its check as damaged data would: neither may be taken for damage of
// the working file.
//
// The file is first read whole, plainly, through SQLite's file layer: a read
// that fails is a read error, whatever SQLite made of it. Then a private copy
// is made beside it (on the same disk) through the copy routine, which never
// holds the file's lock for more than a moment, and SQLite's integrity_check
// of that copy is the verdict. The verdict is remembered for the file as it
// stands, so that the failures of one moment ask only once.
#include "data/datacopy.h"
#include <QString>
#include <optional>

namespace qm {

struct FileVerdict {
    enum Kind { Whole, Damaged, ReadError, Busy, DiskFull, Failed } kind = Failed;
    QString detail;        // what was found, for the log
    QString missingTables; // Whole: the program's tables it lacks, comma-separated
};

// Reads every byte of `path` through SQLite's default file layer, taking no
// lock: SQLITE_OK, or the code of the first read that failed.
int readWholeFile(const QString& path);

// The verdict on the database file `path`. Under a yielding policy,
// std::nullopt when a writer came during its copy: ask again later.
std::optional<FileVerdict> judgeFile(const QString& path, const CopyPolicy& policy);
// The verdict on the working database, waiting as the operator's copies do.
FileVerdict judgeWorkingFile(const Progress& progress = {});

// Acts on a verdict that a failure called for: for damage of the working file
// it marks the working data damaged and throws WorkingDamagedError; a read
// error throws DbIoError, another program's lock DbBusyError, a full disk
// DiskFullError; damage of another file CausedError naming it. Returns for a
// whole file (the failure was not the file's).
void actOnVerdict(const QString& path, const FileVerdict& v);

// Forgets the verdicts remembered (the file was replaced).
void forgetVerdicts();

}
