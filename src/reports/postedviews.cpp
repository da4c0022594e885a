// The posted views that the product history viewer's 查明细单 opens, one
// command per bill type (Tfrdetail::postedViewCommand).
#include "documents/docwindows.h"
#include "reports/historyviewer.h"
#include "shell/commands.h"

namespace {
const bool registered = [] {
    for (int billtype : {1, 2, 5, 6})
        qm::registerCommand(qm::reports::Tfrdetail::postedViewCommand(billtype), [billtype] {
            // A kind the program does not have yet opens nothing.
            const auto kind = static_cast<qm::doc::DocKind>(billtype);
            if (qm::doc::hasKind(kind)) qm::doc::openPostedView(kind, qm::reports::Tfrdetail::current());
        });
    return true;
}();
}
