#include "reports/statementwindow.h"
#include "app/commands.h"
#include "app/windowprotocol.h"
#include "common/dialogs.h"
#include "common/errors.h"
#include "data/tfrdm.h"
#include "layouts/reportlayouts.h"
#include "masterdata/partnerkinds.h"
#include "masterdata/partnerlist.h"
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace qm::reports {

namespace {
PartnerKind partnerKindOf(const StatementDesc& d)
{
    if (d.partyTable == QLatin1String("customer")) return PartnerKind::Customer;
    if (d.partyTable == QLatin1String("branch")) return PartnerKind::Supplier;
    return PartnerKind::Account;
}
}

StatementWindow::StatementWindow(StatementKind kind, QWidget* owner)
    : ReportWindow(owner, statementDesc(kind).className, statementDesc(kind).caption), d_(statementDesc(kind))
{
    codeEdit = addEdit(codes_, 0, 0, d_.codeEdit, d_.codeLabel);
    codeEdit->setMaxLength(10);
    codeEdit->setFixedWidth(110);
    codeEdit->setToolTip(QStringLiteral("双击选取"));
    nameEdit = addEdit(codes_, 0, 2, d_.nameEdit, d_.nameLabel);
    nameEdit->setMinimumWidth(180);
    refresh = addButton(QStringLiteral("refresh"), QStringLiteral("刷新"));
    connect(refresh, &QPushButton::clicked, this, &StatementWindow::refreshClick);
    report = addButton(QStringLiteral("report"), QStringLiteral("打印"));
    connect(report, &QPushButton::clicked, this, &StatementWindow::reportClick);
    cancel = addButton(QStringLiteral("cancel"), QStringLiteral("返回"));
    connect(cancel, &QPushButton::clicked, this, &StatementWindow::cancelClick);

    std::vector<GridCaption> grid;
    for (const StatementColumn& c : d_.grid) grid.push_back({c.field, c.caption});
    bindGrid(statementRows(d_), grid);

    if (d_.hasRemark) {
        auto* label = new QLabel(d_.kind == StatementKind::SupplierDocuments ? QStringLiteral("备注:") : QStringLiteral("备注："), this);
        Memo1 = new QPlainTextEdit(this);
        Memo1->setObjectName(QStringLiteral("Memo1"));
        Memo1->setReadOnly(true);
        Memo1->setFixedHeight(Memo1->fontMetrics().height() * 3 + 12);
        boxes_->addWidget(label, 0, 0, Qt::AlignTop | Qt::AlignRight);
        boxes_->addWidget(Memo1, 0, 1);
    }
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

void StatementWindow::editEnter(QLineEdit* e)
{
    if (e == codeEdit) nameEdit->setFocus();
    else if (e == nameEdit) refreshClick();
}

void StatementWindow::showParty(bool found)
{
    Dataset* party = partyDataset(d_);
    if (found) nameEdit->setText(party->asString(QStringLiteral("name")));
    if (Memo1) Memo1->setPlainText(found ? party->asString(QStringLiteral("remark")) : QString());
}

void StatementWindow::codeExit()
{
    codeEdit->setText(padCode(codeEdit->text().trimmed()));
    const bool found = findParty(d_, codeEdit->text());
    showParty(found);
    if (!found) dlg::showMessage(d_.unknownOnExit);
}

void StatementWindow::codeDblClick() { openPartnerPick(partnerKindOf(d_), this, d_.pickCode); }

void StatementWindow::refreshClick()
{
    const DateRange r = saveRange();
    codeExit();
    const QString code = codeEdit->text();
    // Looked up again: an unknown party leaves the last statement as it was.
    if (!findParty(d_, code)) {
        dlg::showMessage(d_.unknownOnRun);
        return;
    }
    buildStatement(d_, code, r);
}

report::Layout* StatementWindow::printLayout()
{
    // The statement by document makes its layout at each print.
    if (d_.kind == StatementKind::SupplierDocuments) layout_ = report::buildLayout(d_.layout, statementRows(d_));
    return layout_.get();
}

bool StatementWindow::eventFilter(QObject* o, QEvent* e)
{
    if (o == codeEdit) {
        if (e->type() == QEvent::FocusOut && codeEdit->isModified()) {
            codeEdit->setModified(false);
            codeExit();
        }
        if (e->type() == QEvent::MouseButtonDblClick) {
            codeDblClick();
            return true;
        }
    }
    return ReportWindow::eventFilter(o, e);
}

void StatementWindow::closeReset()
{
    Dataset* party = partyDataset(d_);
    party->close();
    party->setSql(QStringLiteral("SELECT * from %1").arg(d_.partyTable));
    frdm->AQoutlist->close();
    frdm->AQoutlist->setSql(QStringLiteral("SELECT * from outlist"));
    frdm->AQoutdetail->close();
    frdm->ATcusttotal1->close();
    frdm->ATdateconfig->close();
    frdm->reconnect();
    frdm->ATcompany->open();
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
