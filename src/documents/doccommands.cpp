// Main-menu items that open a new purchase or purchase return directly. The
// document lists take these items over when they register them.
#include "app/commands.h"
#include "app/tfrmain.h"
#include "documents/docwindows.h"

namespace {
void openNew(qm::doc::DocKind kind)
{
    frmain->docMode = QStringLiteral("T");
    qm::doc::openEntryWindow(kind, frmain);
}
}

QM_COMMAND("N75", [] { openNew(qm::doc::DocKind::Purchase); });
QM_COMMAND("N76", [] { openNew(qm::doc::DocKind::PurchaseReturn); });
