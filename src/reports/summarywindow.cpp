#include "reports/summarywindow.h"
#include "common/clock.h"
#include "common/formats.h"
#include "data/schema.h"
#include "data/tfrdm.h"
#include "layouts/reportlayouts.h"
#include "masterdata/partnerkinds.h"
#include "masterdata/partnerlist.h"
#include "shell/commands.h"
#include "shell/windowprotocol.h"
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

namespace qm::reports {

SummaryWindow::SummaryWindow(SummaryKind kind, QWidget* owner)
    : ReportWindow(owner, summaryDesc(kind).className, summaryDesc(kind).caption), d_(summaryDesc(kind))
{
    int col = 0;
    for (const SummaryFilter& f : d_.filters) {
        QLineEdit* e = addEdit(codes_, 0, col, f.edit, f.label);
        e->setMaxLength(columnLength(d_.rowTable, f.column));
        e->setFixedWidth(110);
        if (!f.hint.isEmpty()) e->setToolTip(f.hint);
        filters_.insert(f.edit, e);
        // The member's label opens the customer list as its box does.
        if (f.pickCode == 3)
            for (QLabel* l : findChildren<QLabel*>())
                if (l->buddy() == e) l->installEventFilter(this);
        col += 2;
    }
    // Button names follow the windows: 今天 is Button1 where 分类汇总 is Button2, and the other way round.
    const bool groupFirst = d_.kind == SummaryKind::ProductSales;
    if (d_.today != TodayRule::None) {
        todayButton = addButton(groupFirst ? QStringLiteral("Button2") : QStringLiteral("Button1"), QStringLiteral("今天"));
        connect(todayButton, &QPushButton::clicked, this, &SummaryWindow::todayClick);
    }
    addRunButton(d_.refreshCaption);
    if (d_.grouped) {
        groupButton = addButton(groupFirst ? QStringLiteral("Button1") : QStringLiteral("Button2"), QStringLiteral("分类汇总"));
        groupButton->setToolTip(QStringLiteral("按相同货品计算合计值"));
        connect(groupButton, &QPushButton::clicked, this, &SummaryWindow::groupClick);
    }
    addEndButtons();

    std::vector<GridCaption> grid;
    for (const GridColumn& c : d_.grid) grid.push_back({c.field, c.caption});
    bindGrid(frdm->AQoutdetail, grid);

    col = 0;
    for (const TotalBox& b : d_.boxes) {
        QLineEdit* e = addEdit(boxes_, 0, col, b.box, b.label, true);
        e->setFocusPolicy(Qt::ClickFocus);
        totals_.insert(b.box, e);
        col += 2;
    }
    boxes_->setColumnStretch(col, 1);
    if (!d_.statusText.isEmpty()) {
        auto* status = new QStatusBar(this);
        status->setObjectName(QStringLiteral("StatusBar1"));
        status->setSizeGripEnabled(false);
        auto* text = new QLabel(d_.statusText, status);
        text->setWordWrap(true);
        status->addWidget(text, 1);
        body_->addWidget(status);
    }
    layout_ = report::buildLayout(d_.layout, frdm->AQoutdetail);
}

SummaryWindow::~SummaryWindow() = default;

report::Layout* SummaryWindow::printLayout()
{
    holdRowsForPrint();
    return layout_.get();
}

FilterValues SummaryWindow::filterValues() const
{
    FilterValues v;
    for (const SummaryFilter& f : d_.filters) v << filters_.value(f.edit)->text();
    return v;
}

void SummaryWindow::showTotals(bool grouped)
{
    Dataset* t = frdm->AQtotallist;
    for (const TotalBox& b : d_.boxes) {
        const double v = t->active() && !t->isEmpty() ? t->asFloat(b.column) : 0.0;
        const int decimals = grouped ? b.groupedDecimals : b.decimals;
        totals_.value(b.box)->setText(formatFloat(decimals ? QStringLiteral("0.") + QString(decimals, QLatin1Char('0')) : QStringLiteral("0"), v));
    }
}

void SummaryWindow::refreshClick()
{
    const DateRange r = saveRange();
    runSummary(d_, r, filterValues());
    showTotals(false);
}

void SummaryWindow::groupClick()
{
    const DateRange r = saveRange();
    runGroupedSummary(d_, r, filterValues());
    showTotals(true);
}

void SummaryWindow::todayClick()
{
    const QDate today = Clock::today();
    MaskEdit1->setText(dateText(today));
    MaskEdit2->setText(dateText(d_.today == TodayRule::TodayAndTomorrow ? today.addDays(1) : today));
}

void SummaryWindow::filterExit(QLineEdit* edit)
{
    for (const SummaryFilter& f : d_.filters)
        if (f.edit == edit->objectName() && f.padOnExit && !edit->text().trimmed().isEmpty())
            edit->setText(padCode(edit->text().trimmed()));
}

void SummaryWindow::filterDblClick(QLineEdit* edit)
{
    for (const SummaryFilter& f : d_.filters) {
        if (f.edit != edit->objectName() || f.pickCode == 0) continue;
        openPartnerPick(f.pickCode == 4 ? PartnerKind::Supplier : PartnerKind::Customer, this, f.pickCode);
    }
}

bool SummaryWindow::eventFilter(QObject* o, QEvent* e)
{
    if (auto* label = qobject_cast<QLabel*>(o); label && e->type() == QEvent::MouseButtonDblClick) {
        if (auto* box = qobject_cast<QLineEdit*>(label->buddy())) filterDblClick(box);
        return true;
    }
    auto* edit = qobject_cast<QLineEdit*>(o);
    if (edit && filters_.value(edit->objectName()) == edit) {
        if (e->type() == QEvent::FocusOut) filterExit(edit);
        if (e->type() == QEvent::MouseButtonDblClick) {
            filterDblClick(edit);
            return true;
        }
    }
    return ReportWindow::eventFilter(o, e);
}

void SummaryWindow::closeReset()
{
    if (!d_.closeSql.isEmpty()) {
        frdm->AQoutlist->close();
        frdm->AQoutlist->setSql(d_.closeSql);
    }
    if (d_.closesTotals) frdm->AQtotallist->close();
    // The shared row query goes back to holding its rows for the windows that edit them.
    frdm->AQoutdetail->close();
    frdm->AQoutdetail->setFetchOnDemand(false);
    reconnectOnClose();
}

void openSummary(SummaryKind kind)
{
    openChildWindow([kind](QWidget* owner) -> QWidget* { return new SummaryWindow(kind, owner); });
}

namespace {
const bool registered = [] {
    for (SummaryKind k : allSummaryKinds())
        for (const QString& item : summaryDesc(k).menuItems) registerCommand(item, [k] { openSummary(k); });
    return true;
}();
}

}
