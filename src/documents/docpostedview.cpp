// The view of a posted document: read only, with its reversal and printing.
#include "documents/docwindows.h"
#include "common/boxkeys.h"
#include "common/dialogs.h"
#include "data/tfrdm.h"
#include <QCloseEvent>
#include <QLineEdit>
#include <QVBoxLayout>

namespace qm::doc {

// ------------------------------------------------------------- posted view

PostedView::PostedView(const DocDesc& desc, QWidget* owner, bool fromHistory) : DocumentWindow(desc, owner, true)
{
    new QVBoxLayout(central_);
    addButton("ToolButton6", d_.texts.reverseCaption, QStringLiteral("抹帐"), [this] { ToolButton6Click(); })
        ->setVisible(!fromHistory);
    addButton("ToolButton5", QStringLiteral("   打印   "), QString(), [this] { ToolButton5Click(); });
    addButton("ToolButton7", QStringLiteral("退回"), QString(), [this] { ToolButton7Click(); });
    makeBoxes(d_.postedBoxes, true);
    // 摘要 and 负责人 take typing that nothing saves.
    for (const char* name : {"Edit9", "Edit16"})
        if (QLineEdit* e = boxes_.value(name)) e->setReadOnly(false);
    makeGrid(d_.postedGrid, true);
    addPopupItem("N1", QStringLiteral("打印"), [this] { ToolButton5Click(); });
    addPopupItem("N2", QStringLiteral("退回"), [this] { ToolButton7Click(); });
    for (QLineEdit* e : boxes_) selectWholeOnFocus(e);
    // Enter in the date box moves on to 摘要.
    if (QLineEdit* date = boxes_.value("Edit6"); date && boxes_.value("Edit9"))
        connect(date, &QLineEdit::returnPressed, this, [this] { boxes_.value("Edit9")->setFocus(); });
}

void PostedView::FormShow()
{
    Dataset* head = frdm->AQoutlist;
    if (head->active() && !head->isEmpty()) intno_ = head->asString("intno");
    try {
        showHeader(readHeader(frdm->ADOCon, d_, intno_));
        openRows(QStringLiteral("select * from %1 where mainintno=:p1 order by intno").arg(d_.detailTable));
    } catch (const AppError& e) {
        dlg::showMessage(e.message());
    }
}

void PostedView::ToolButton6Click()
{
    if (reverseBill(frdm->ADOCon, d_, intno_)) {
        close();
        return;
    }
    reread();
}

void PostedView::ToolButton7Click() { close(); }

void PostedView::closeEvent(QCloseEvent* e)
{
    frdm->AQoutdetail->close();
    DocumentWindow::closeEvent(e);
}

}
