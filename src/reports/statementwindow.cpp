#include "reports/statementwindow.h"
#include "common/dialogs.h"
#include "common/errors.h"
#include "data/tfrdm.h"
#include "layouts/reportlayouts.h"
#include "reports/statementmodel.h"
#include "shell/commands.h"
#include "shell/windowprotocol.h"
#include <QLineEdit>
#include <QPushButton>

namespace qm::reports {

StatementWindow::StatementWindow(StatementKind kind, QWidget* owner)
    : ReportWindow(owner, statementDesc(kind).className, statementDesc(kind).caption), d_(statementDesc(kind))
{
    addPartyBoxes(d_, !d_.hasRemark ? QString()
                      : d_.kind == StatementKind::SupplierDocuments ? QStringLiteral("备注:")
                                                                     : QStringLiteral("备注："));
    codeEdit = partyCode_;
    nameEdit = partyName_;
    Memo1 = partyMemo_;
    addRunButton(QStringLiteral("刷新"));
    addEndButtons();

    std::vector<GridCaption> grid;
    for (const StatementColumn& c : d_.grid) grid.push_back({c.field, c.caption});
    rows_ = new StatementModel(d_, d_.grid, this);
    bindModel(rows_, grid);
    if (d_.kind != StatementKind::SupplierDocuments) layout_ = report::buildLayout(d_.layout, statementRows(d_));
}

StatementWindow::~StatementWindow() = default;

void StatementWindow::firstStep()
{
    codeEdit->setText(QStringLiteral("1"));
    if (d_.runsOnShow) {
        refreshClick();
        return;
    }
    codeEdit->setFocus();
}

void StatementWindow::toDateEnter() { codeEdit->setFocus(); }

void StatementWindow::refreshClick()
{
    const DateRange r = saveRange();
    // An unknown party leaves the last statement as it was.
    if (!partyCodeExit()) {
        dlg::showMessage(d_.unknownOnRun);
        return;
    }
    Dataset* party = partyDataset(d_);
    rows_->setRun(std::make_unique<StatementRun>(d_, codeEdit->text(), party->asString(QStringLiteral("name")),
                                                  party->asFloat(QStringLiteral("rest")), r));
}

report::Layout* StatementWindow::printLayout()
{
    // The print reads its own copy of the scratch table, filled now with the rows shown.
    if (StatementRun* run = rows_->run()) buildStatement(d_, run->code(), run->range());
    // The statement by document makes its layout at each print.
    if (d_.kind == StatementKind::SupplierDocuments) layout_ = report::buildLayout(d_.layout, statementRows(d_));
    return layout_.get();
}

void StatementWindow::printClosed()
{
    // The pages are gone with the preview; so go the rows they were laid out from.
    if (layout_) layout_->clearPages();
    releaseStatement(d_);
}

void StatementWindow::closeReset()
{
    releaseStatement(d_);
    Dataset* party = partyDataset(d_);
    party->close();
    party->setSql(QStringLiteral("SELECT * from %1").arg(d_.partyTable));
    frdm->AQoutlist->close();
    frdm->AQoutlist->setSql(QStringLiteral("SELECT * from outlist"));
    frdm->ATcusttotal1->close();
    reconnectOnClose();
}

void openStatement(StatementKind kind)
{
    openChildWindow([kind](QWidget* owner) -> QWidget* { return new StatementWindow(kind, owner); });
}

namespace {
const bool registered = [] {
    for (StatementKind k : allStatementKinds()) registerCommand(statementDesc(k).menuItem, [k] { openStatement(k); });
    return true;
}();
}

}
