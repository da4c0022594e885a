#include "reports/historyviewer.h"
#include "common/dialogs.h"
#include "data/tfrdm.h"
#include "reports/statements.h"
#include "shell/commands.h"
#include "shell/session.h"
#include "shell/windowprotocol.h"
#include <QApplication>
#include <QPointer>
#include <QLineEdit>
#include <QPushButton>

namespace qm::reports {

namespace {
QPointer<Tfrdetail> shownViewer;

const StatementDesc& customers() { return statementDesc(StatementKind::Customer); }

// The header table of each bill type the viewer opens.
QString headerTable(int billtype)
{
    switch (billtype) {
    case 1: return QStringLiteral("outlist");
    case 2: return QStringLiteral("inlist");
    case 5: return QStringLiteral("outbacklist");
    case 6: return QStringLiteral("inbacklist");
    default: return QString();
    }
}
}

Tfrdetail::Tfrdetail(const QString& spintno, QWidget* owner)
    : ReportWindow(owner, QStringLiteral("frdetail"), QStringLiteral("明细表查询")), spintno_(spintno)
{
    setModal(true);
    shownViewer = this;
    addPartyBoxes(customers(), QStringLiteral("备注："));
    Edit9 = partyCode_;
    Edit10 = partyName_;
    Memo1 = partyMemo_;
    addRunButton(QStringLiteral("刷新"));
    addEndButtons(QStringLiteral("查明细单"));
    bindGrid(frdm->AQdetail, {{"billdate", {}}, {"billname", {}}, {"sphh", QStringLiteral("编号")},
                              {"spmc", QStringLiteral("名称")}, {"remark", QStringLiteral("拼音首字")}, {"unit", {}},
                              {"sl", {}}, {"dj_n", QStringLiteral("单价")}, {"amount", {}}, {"deduck", {}}, {"pay", {}},
                              {"rest", {}}});
}

Tfrdetail::~Tfrdetail() = default;

QString Tfrdetail::postedViewCommand(int billtype)
{
    return QStringLiteral("PostedView%1").arg(billtype, 2, 10, QLatin1Char('0'));
}

Tfrdetail* Tfrdetail::current() { return shownViewer; }

void Tfrdetail::firstStep() { Edit9->setText(QStringLiteral("1")); }

void Tfrdetail::refreshClick()
{
    const DateRange r = saveRange();
    showProductHistory(spintno_, &r);
}

void Tfrdetail::reportClick()
{
    Dataset* rows = frdm->AQdetail;
    if (!rows->active() || rows->isEmpty() || rows->recNo() < 0) return;
    const int billtype = rows->asString(QStringLiteral("billtype")).trimmed().toInt();
    const QString table = headerTable(billtype);
    const QString command = postedViewCommand(billtype);
    // Another bill type, or no posted view to open: nothing happens.
    if (table.isEmpty() || !hasCommand(command)) return;
    Dataset* head = frdm->AQoutlist;
    head->reopen(QStringLiteral("SELECT * from %1 WHERE (intno=:p1)").arg(table),
                 {{QStringLiteral("p1"), rows->asString(QStringLiteral("mainintno"))}});
    if (head->isEmpty()) return;
    qm::session().docIntno = head->asString(QStringLiteral("intno"));
    qm::session().pickCode = 99;
    runCommand(command);
}

void Tfrdetail::closeReset()
{
    qm::session().pickCode = 0;
    frdm->AQoutlist->close();
    frdm->AQoutlist->setSql(QStringLiteral("SELECT * from outlist"));
    frdm->Aqcustomer->close();
    frdm->Aqcustomer->setSql(QStringLiteral("SELECT * from customer"));
    for (Dataset* ds : {frdm->AQoutdetail, frdm->AQdetail, frdm->ATcusttotal1, frdm->ATdateconfig}) ds->close();
}

void openProductHistory(QWidget* productList)
{
    Dataset* p = frdm->Aqproduct;
    if (!p->active() || p->isEmpty() || p->recNo() < 0) return;
    const QString spintno = p->asString(QStringLiteral("intno"));
    fillProductHistory(spintno);
    qm::session().pickCode = 99;
    auto* viewer = new Tfrdetail(spintno, productList);
    dlg::exec(viewer);
    viewer->close();
    delete viewer;
    qm::session().pickCode = 0;
}

// The product list runs this after refusing a list opened by a document.
QM_COMMAND("ProductHistory", [] { openProductHistory(findOpenWindow(QStringLiteral("Frproduct"))); });

}
