#pragma once
// Restore of the working database from a backup copy: the manual restore and
// start-up's restore from bak/.
//
// The backup is copied beside the working file, checked there (whole, every
// index matching its table, this program's data) and brought up to the
// current schema; only then, with the working file locked against the
// front desk, is the working file kept under a second name and the checked
// copy renamed over it. At every moment the working file's name holds either
// the old data or the new, whole: a kill at any step leaves one of them, and
// the next start or restore removes what the killed process left. The
// working file itself is never checked or read for this: a damaged one is
// kept aside as it is.
#include "data/progress.h"
#include <QString>
#include <QStringList>

namespace qm {

// What restoring from a backup file found, and after a failure of the
// replacement itself, what the working database holds.
enum class RestoreOutcome {
    Restored,
    NotUsable,         // the backup is damaged or not this program's data: nothing changed
    FailedUnchanged,   // the old data, as it was (another program held it, or the rename failed)
    FailedButRestored, // the restored data: the failure came after it was in place
};

// What the old working file is kept as: "vkdb.mdb.before-restore-<time>" for
// the manual restore (see pruneKeptCopies), and "vkdb.mdb.damaged-<time>" at
// start-up (every one is kept: the documents entered since the backup are in
// it). <time> is the clock's, yyyyMMdd-HHmmss.
enum class KeptAs { BeforeRestore, Damaged };

// Replaces the working database by the backup file. A failure before the
// replacement throws (nothing changed); a failure of the replacement is
// answered by what the working file then holds, with the failure's text in
// `reason`. `keptAs` receives where the old working file was kept (empty
// when there was none).
RestoreOutcome restoreDatabase(const QString& backupFile, const QString& working, QString* keptAs = nullptr,
                               QString* reason = nullptr, KeptAs kind = KeptAs::BeforeRestore,
                               const Progress& progress = {});

// The copies that earlier manual restores kept may hold the only record of
// the documents entered before them: each one of the last kKeptCopyDays days
// stays, and the last kKeptCopiesAtLeast whatever their age. Only older ones
// beyond those are removed, and the restore's message names them.
inline constexpr int kKeptCopyDays = 30;
inline constexpr int kKeptCopiesAtLeast = 3;
struct KeptCopies {
    QStringList earlier; // still kept besides the latest, newest first
    QStringList removed;
};
// Applies the rule above to the before-restore copies beside `working`;
// `latest`, the one the restore just made, always stays.
KeptCopies pruneKeptCopies(const QString& working, const QString& latest);

// After a restore replaced the working data: `head` ("数据恢复完毕！ "), where
// the data before it was kept (`keptAs`, empty when there was none), the
// copies of earlier restores kept and removed, and that the front desk must
// be started again.
QString restoredText(const QString& head, const QString& keptAs, const KeptCopies& copies);

// Removes what restores and copies of ended processes left beside the working
// file: partial copies, a staging file of an older version, a second name of
// the working file itself (a restore killed between keeping and replacing),
// and their private folders in the temporary folder. Returns how many.
int removeRestoreLeftovers(const QString& working);

}
