#pragma once
// The copy of the working database to bak/ that a product save, a checkout
// and the close of an entry window make. The copy runs on one background
// thread through a connection of its own, so the window that asked for it
// does not wait for it; requests made while a copy waits or runs coalesce into
// one copy made after the last of them. A failure reaches the operator
// through the dialogs layer, on the GUI thread.
//
// The till never waits for it: the copy reads the file in small steps, and
// when a writer comes (the front desk, the next sale) it gives up the attempt
// and tries again once the file has stayed unchanged for a while, waiting
// longer each time. A copy is checked before it replaces bak/vkdb.mdb, and
// one that fails its check is made once more (datacopy.h). When the working
// file's own check then finds it damaged, the operator is told so, and from
// then on every request says so at once and copies nothing, until a restore
// replaces the working file; when it finds the file whole, bak/ and its disk
// are named, and bak/ keeps its previous copy.
#include <QString>
#include <functional>

namespace qm {

// Copies works/vkdb.mdb over bak/vkdb.mdb. When the working file is missing
// or known to be damaged the message shows at once and nothing is copied.
void requestBakCopy();
// The same between any two files (tests and benchmarks).
void requestBakCopy(const QString& source, const QString& target);

// While held (last year's data shown in works/), the copy to bak/ is not made:
// bak/ then keeps this year's data until it is brought back.
void holdBakCopies(bool held);

// Waits until no copy is pending or running: before the program ends, and
// before anything that replaces or compacts the working file. A negative
// timeout waits as long as it takes; false when the time ran out.
bool waitForBakCopies(int timeoutMs = -1);

// The same for the operator: after a moment, a window shows the copy's
// progress and lets him stop waiting, which abandons the copy: bak/ keeps
// its previous copy (at the program's end the exit backup saves the data).
// False when he stopped waiting.
bool finishBakCopies();

// Abandons the pending and running copy; bak/ keeps its previous copy.
void abandonBakCopies();

// Copies finished (made, failed or abandoned) since the program started:
// lets tests and benchmarks see that requests coalesced.
int bakCopiesMade();

}
