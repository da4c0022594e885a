#pragma once
// The program folder: where works/, bak/, the weekday backups, excel/, the
// year folders, output.txt and the error log live. Tests point it elsewhere.
#include <QString>

namespace qm {
class AppPaths {
public:
    // With a trailing "/".
    static QString programFolder();
    static void setProgramFolder(const QString& folder);
    // programFolder() + relative
    static QString file(const QString& relative);
    static QString workingDatabase() { return file("works/vkdb.mdb"); }
    static QString backupDatabase() { return file("bak/vkdb.mdb"); }
    // The program file's base name ("quillmart"), used for the text log.
    static QString programName();
    // The text log of failures: <program folder>/<program name>.txt
    static QString errorLog() { return file(programName() + QStringLiteral(".txt")); }
};
}
