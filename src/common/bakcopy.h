#pragma once
// The copy of the working database to bak/ that a product save and the close
// of an entry window make. The copy runs on one background thread through a
// connection of its own, so the window that asked for it does not wait for
// it; requests made while a copy waits or runs coalesce into one copy made
// after the last of them. A failure reaches the operator through the dialogs
// layer, on the GUI thread.
#include <QString>

namespace qm {

// Copies works/vkdb.mdb over bak/vkdb.mdb. When the working file is missing
// the message shows at once and nothing is copied.
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

// Copies finished (made or failed) since the program started: lets tests and
// benchmarks see that requests coalesced.
int bakCopiesMade();

}
