#pragma once
// The path from launch to a logged-in main window.
#include "admin/restore.h"
#include "data/databasecheck.h"
#include <QDate>
#include <QString>
#include <memory>

class QLockFile;
class QWidget;
class Tfrmain;
class Tfrdm;

namespace qm {

// Single instance: a lock file "quillmart.lock" in the program folder. A lock
// left behind by a copy that crashed is stale and does not block. Null when
// another running copy holds it.
std::unique_ptr<QLockFile> acquireInstanceLock();
// The database engine opens an in-memory database.
bool databaseEngineWorks();

// From 26 December to the end of the year.
bool isYearEndReminderDay(const QDate& d);
QString yearEndReminderText();

struct RestoreResult {
    RestoreOutcome outcome = RestoreOutcome::FailedUnchanged;
    QString keptAs; // where the damaged working file was kept, if it was
    QString reason; // why the restore failed, when it failed
};
// Replaces a missing or damaged working database by a checked copy of the
// backup (restoreDatabase); a damaged working file is kept beside it as
// "vkdb.mdb.damaged-<time>", never destroyed. Nothing changes when the backup
// itself is not usable or the copy fails.
RestoreResult restoreWorkingDatabase(const QString& working, const QString& backup);
// What start-up says after it put the backup in place: from when the copy
// is, and where the damaged file was kept (empty: the working file was missing).
QString restoredAtStartText(const QString& backupTime, const QString& keptAs);
// What start-up says when the backup in bak/ is damaged as well (or the
// working file is missing, `workingMissing`): where both files are, and how
// to put a backup from another folder in place.
QString bothDamagedAtStartText(bool workingMissing);

// Another program kept the database locked past the wait at start-up.
QString lockedAtStartText();

// Opens the working database on `dm`, restoring it from bak/ first when it is
// missing, empty, not a database or damaged, and saying so. A file that is
// busy, unreadable for its permissions or fails otherwise is reported and left
// as it is (ProgramExit). No backup to restore from, a damaged backup, or a
// restore that failed: the message (with the failure's reason), then
// ProgramExit, with the files as they were. Leftovers of killed copies and
// restores go first.
void openWorkingDatabase(Tfrdm* dm, int busyWaitMs = kStartupBusyWaitMs);

// The quick-start guide unless the options row turns it off.
void showGuideUnlessOff(QWidget* owner);

// The first show of the main window, step by step (tests call the steps).
class StartUp {
public:
    StartUp(Tfrmain* main);

    // The whole sequence. Any failure before a successful login is reported
    // through the error window and ends the program (ProgramExit); a failure
    // after it is reported by the event loop and skips the remaining steps.
    void run();

    void showStatus();      // status bar
    void connect();         // open or restore the database
    void upgrade();         // every schema upgrade, in one transaction, only when one is due
    void splash();          // when flashbj
    void openCompany();
    void remindYearEnd();   // before and after the login
    void login();           // throws ProgramExit unless an operator logged in
    void applyOptions();    // number formats, input method, background picture
    void finish();          // navigator on its first group, firstActivate

private:
    Tfrmain* main_;
};

}
