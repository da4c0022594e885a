#include "masterdata/tfrproduct.h"
#include <QScopeGuard>
#include "admin/rights.h"
#include "common/clock.h"
#include "common/dialogs.h"
#include "common/errors.h"
#include "data/tfrdm.h"
#include "layouts/tfrrproduct.h"
#include "masterdata/picklink.h"
#include "masterdata/productexport.h"
#include "masterdata/productgrid.h"
#include "masterdata/productlogic.h"
#include "masterdata/productsearch.h"
#include "masterdata/tfrproductedit.h"
#include "shell/commands.h"
#include "shell/session.h"
#include "shell/windowprotocol.h"
#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

QPointer<TFrproduct> Frproduct;

using namespace qm;

namespace {
const QString kPasswordPrompt = QStringLiteral("请输入操作员密码,以防误操作...........");
const QString kNotAdministrator = QStringLiteral("该用户无此权限,请用999登录系统！");
const QString kStockQuestion = QStringLiteral("该商品的库存量不为0,是否要删除?");

bool isDocumentPick(int code) { return code == 1 || code == 2 || code == 5 || code == 6; }
}

TFrproduct::TFrproduct(QWidget* owner) : QMainWindow(owner, Qt::Window)
{
    setObjectName(QStringLiteral("Frproduct"));
    setWindowTitle(QStringLiteral("商品资料"));
    Frproduct = this;

    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("ToolBar1"));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    addToolBar(bar);
    auto tool = [this, bar](const char* name, const QString& text) {
        auto* b = new QToolButton(bar);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(text);
        b->setMinimumWidth(56);
        bar->addWidget(b);
        return b;
    };
    ToolButton1 = tool("ToolButton1", QStringLiteral("新增"));
    ToolButton1->setToolTip(QStringLiteral("添加"));
    ToolButton2 = tool("ToolButton2", QStringLiteral("修改"));
    ToolButton3 = tool("ToolButton3", QStringLiteral("删除"));
    ToolButton5 = tool("ToolButton5", QStringLiteral("打印"));
    ToolButton7 = tool("ToolButton7", QStringLiteral("选中"));
    ToolButton6 = tool("ToolButton6", QStringLiteral("查找"));
    ToolButton15 = tool("ToolButton15", QStringLiteral("退出"));

    auto* central = new QWidget(this);
    auto* v = new QVBoxLayout(central);
    v->setContentsMargins(4, 4, 4, 0);
    auto* search = new ProductSearchBar(central,
                                        {QStringLiteral("拼音首字"), QStringLiteral("货品代码"), QStringLiteral("品名规格"),
                                         QStringLiteral("类别"), QStringLiteral("供应商"), QStringLiteral("有效期")},
                                        QStringLiteral("货品代码"), false);
    search_ = search;
    ComboBox1 = search->ComboBox1;
    Edit1 = search->Edit1;
    ComboBox2 = search->ComboBox2;
    RadioGroup1 = search->RadioGroup1;
    RadioExact = search->RadioExact;
    RadioFuzzy = search->RadioFuzzy;
    v->addLayout(search->layout());

    auto* grid = new ProductGridView(central);
    grid->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1 = grid;
    model_ = new ProductGridModel(frdm->Aqproduct, this);
    grid->attach(model_, frdm->Aqproduct);
    sizeColumns(DBGrid1, ProductGridModel::columns(),
                {4, 14, 9, 22, 8, 20, 20, 12, 5, 8, 8, 8, 10, 10, 9, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 14});
    v->addWidget(DBGrid1, 1);
    setCentralWidget(central);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    auto item = [this](const char* name, const QString& text) {
        QAction* a = PopupMenu1->addAction(text);
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    N1 = item("N1", QStringLiteral("进货价显示/隐藏"));
    N3 = item("N3", QStringLiteral("按货品类型排序"));
    N4 = item("N4", QStringLiteral("取消货品类型排序"));
    N3->setVisible(false);
    N4->setVisible(false);
    ExportMarked = item("N8", QStringLiteral("选择部分导出为EXCEL文件"));
    ExportAll = item("N9", QStringLiteral("全部导出为EXCEL文件"));
    N6 = item("N6", QStringLiteral("清除选择标记"));
    N12 = item("N12", QStringLiteral("选择所有商品"));
    N14 = item("N14", QStringLiteral("显示被选中的商品"));
    N11 = item("N11", QStringLiteral("删除被选中的商品"));
    N7 = item("N7", QStringLiteral("多栏打印"));
    N10 = item("N10", QStringLiteral("查商品历史明细单"));

    StatusPanel1 = new QLabel(this);
    StatusPanel2 = new QLabel(QStringLiteral("右击可显示或隐藏进货价,双击选择列则可选择部分商品导出。"), this);
    StatusPanel3 = new QLabel(QStringLiteral("记录数"), this);
    StatusPanel3->setObjectName(QStringLiteral("StatusPanel3"));
    StatusPanel1->setMinimumWidth(80);
    StatusPanel3->setMinimumWidth(120);
    statusBar()->addWidget(StatusPanel1);
    statusBar()->addWidget(StatusPanel2, 1);
    statusBar()->addWidget(StatusPanel3);

    connect(ToolButton1, &QToolButton::clicked, this, &TFrproduct::ToolButton1Click);
    connect(ToolButton2, &QToolButton::clicked, this, &TFrproduct::ToolButton2Click);
    connect(ToolButton3, &QToolButton::clicked, this, &TFrproduct::ToolButton3Click);
    connect(ToolButton5, &QToolButton::clicked, this, &TFrproduct::ToolButton5Click);
    connect(ToolButton7, &QToolButton::clicked, this, &TFrproduct::ToolButton7Click);
    connect(ToolButton6, &QToolButton::clicked, this, &TFrproduct::ToolButton6Click);
    connect(ToolButton15, &QToolButton::clicked, this, &TFrproduct::ToolButton15Click);
    connect(search_, &ProductSearchBar::changed, this, &TFrproduct::ToolButton6Click);
    connect(N1, &QAction::triggered, this, &TFrproduct::N1Click);
    connect(N3, &QAction::triggered, this, &TFrproduct::N3Click);
    connect(N4, &QAction::triggered, this, &TFrproduct::N4Click);
    connect(N6, &QAction::triggered, this, &TFrproduct::N6Click);
    connect(N12, &QAction::triggered, this, &TFrproduct::N12Click);
    connect(N14, &QAction::triggered, this, &TFrproduct::N14Click);
    connect(N11, &QAction::triggered, this, &TFrproduct::N11Click);
    connect(N7, &QAction::triggered, this, &TFrproduct::N7Click);
    connect(N10, &QAction::triggered, this, &TFrproduct::N10Click);
    connect(ExportAll, &QAction::triggered, this, &TFrproduct::EXCEL1Click);
    connect(ExportMarked, &QAction::triggered, this, &TFrproduct::dfds1Click);
    // The count stays true after every product added or deleted, as after a search.
    connect(frdm->Aqproduct, &Dataset::rowInserted, this, &TFrproduct::showRecordCount);
    connect(frdm->Aqproduct, &Dataset::rowRemoved, this, &TFrproduct::showRecordCount);
    connect(grid, &ProductGridView::markToggled, this, &TFrproduct::toggleMark);
    connect(grid, &ProductGridView::picked, this, &TFrproduct::ToolButton7Click);
    grid->setPopup(PopupMenu1);
    resize(1000, 600);
}

TFrproduct::~TFrproduct() = default;

TFrproduct* TFrproduct::openForPick(QWidget* opener, int pickCode)
{
    qm::session().pickCode = pickCode;
    auto* w = new TFrproduct(opener);
    w->setAttribute(Qt::WA_DeleteOnClose, true);
    w->link_ = new PickLink(w, opener, pickCode);
    if (!frdm->Aqproduct->active()) frdm->Aqproduct->open();
    w->show();
    w->raise();
    return w;
}

int TFrproduct::ownPickCode() const { return link_ ? link_->pickCode() : 0; }

void TFrproduct::showEvent(QShowEvent* e)
{
    QMainWindow::showEvent(e);
    if (!e->spontaneous()) FormShow();
}

void TFrproduct::applyPriceFlag(bool hidden)
{
    for (int c : priceColumns()) DBGrid1->setColumnHidden(c, hidden);
    N1->setText(hidden ? QStringLiteral("显示进货价") : QStringLiteral("隐藏进货价"));
}

void TFrproduct::FormShow()
{
    Dataset* cfg = frdm->ATdateconfig;
    cfg->open();
    applyPriceFlag(cfg->asBool("bz"));
    cfg->close();
    showRecordCount();
}

void TFrproduct::showRecordCount()
{
    Dataset* p = frdm->Aqproduct;
    StatusPanel3->setText(QStringLiteral("记录数:") + QString::number(p->active() ? p->recordCount() : 0));
}

void TFrproduct::N1Click()
{
    Dataset* cfg = frdm->ATdateconfig;
    cfg->open();
    auto closer = qScopeGuard([cfg] { cfg->close(); });
    writeInTransaction(*cfg, [cfg] {
        cfg->setValue("bz", cfg->asBool("bz") ? 0 : 1);
        cfg->post();
        return true;
    });
    applyPriceFlag(cfg->asBool("bz"));
}

void TFrproduct::ToolButton6Click()
{
    qm::session().sortedByType = 0;
    Dataset* p = frdm->Aqproduct;
    search_->search(*p, Clock::today());
    showRecordCount();
}

void TFrproduct::reopenProducts(const QString& sql) { frdm->Aqproduct->reopen(sql); }

void TFrproduct::ToolButton1Click()
{
    if (qm::session().sortedByType == 1) {
        dlg::showMessage(QStringLiteral("排序状态不能添加资料，请用右击取消类型排序!"));
        return;
    }
    qm::session().editMode = QStringLiteral("T");
    Tfrproductedit::openFrom(this);
}

void TFrproduct::ToolButton2Click()
{
    if (qm::session().sortedByType == 1) {
        dlg::showMessage(QStringLiteral("排序状态不能修改资料，请用右击取消类型排序!"));
        return;
    }
    Dataset* p = frdm->Aqproduct;
    if (!p->active() || p->isEmpty()) return;
    qm::session().editMode = QStringLiteral("F");
    qm::session().currentIntno = p->asString("intno");
    Tfrproductedit::openFrom(this);
}

void TFrproduct::ToolButton3Click()
{
    if (!recheckPassword(kPasswordPrompt)) return;
    Dataset* p = frdm->Aqproduct;
    if (!p->active() || p->isEmpty()) return;
    if (!requireAdministrator(kNotAdministrator)) return;
    if (p->asFloat("sl") != 0 && !dlg::confirm(kStockQuestion, QStringLiteral("提示！"))) return;
    try {
        p->remove();
    } catch (const SilentStop&) {
        // The confirmation was answered Cancel: the product stays.
    }
}

void TFrproduct::toggleMark() { product::toggleMark(*frdm->Aqproduct); }

void TFrproduct::N6Click()
{
    product::markAll(frdm->ADOCon, false);
    frdm->Aqproduct->close();
    frdm->Aqproduct->open();
}

void TFrproduct::N12Click()
{
    product::markAll(frdm->ADOCon, true);
    frdm->Aqproduct->close();
    frdm->Aqproduct->open();
}

void TFrproduct::N14Click() { reopenProducts(QStringLiteral("SELECT * from product where szbj=1\norder by sphh")); }

void TFrproduct::N11Click()
{
    // The marked products are deleted under the same checks as a single one.
    if (!recheckPassword(kPasswordPrompt)) return;
    reopenProducts(QStringLiteral("SELECT * from product\nWHERE szbj=1"));
    if (frdm->Aqproduct->isEmpty()) {
        dlg::showMessage(QStringLiteral("没有选定要删除记录!"));
        ToolButton6Click();
        return;
    }
    if (!requireAdministrator(kNotAdministrator)) {
        ToolButton6Click();
        return;
    }
    if (product::markedHoldStock(frdm->ADOCon) && !dlg::confirm(kStockQuestion, QStringLiteral("提示！"))) {
        ToolButton6Click();
        return;
    }
    if (!dlg::confirm(QStringLiteral("确实要删除所选如下记录吗?"), QStringLiteral("提示！"))) {
        ToolButton6Click();
        return;
    }
    frdm->Aqproduct->close();
    try {
        product::deleteMarked(frdm->ADOCon);
    } catch (...) {
        // Nothing was deleted: the list shows the products again all the same.
        try { ToolButton6Click(); } catch (...) {}
        throw;
    }
    ToolButton6Click();
}

void TFrproduct::N3Click() { sortByType(*frdm->Aqproduct, DBGrid1, true); }

void TFrproduct::N4Click() { sortByType(*frdm->Aqproduct, DBGrid1, false); }

void TFrproduct::ToolButton7Click()
{
    Dataset* p = frdm->Aqproduct;
    if (!p->active() || p->isEmpty()) return;
    // The code this list was opened with: another picker closing in the
    // meantime resets the main window's pickCode, not what this list serves.
    const int code = ownPickCode();
    if (code == 0) {
        ToolButton2Click();
        return;
    }
    if (!isDocumentPick(code)) return;
    // Only into the window that opened the list, and only while it is there.
    if (!link_ || !link_->openerAlive()) return;
    switch (product::pickIntoRow(*p, *frdm->AQoutdetail)) {
    case product::PickResult::CarriedForwardRow:
        dlg::showMessage(carriedForwardRefusal());
        return;
    case product::PickResult::Written:
        ToolButton15Click();
        return;
    default:
        return;
    }
}

void TFrproduct::ToolButton5Click()
{
    Tfrrproduct r(frdm->Aqproduct, false);
    r.ReportTitle = report::reportTitle();
    r.setCaption(QStringLiteral("SummaryCaption1"), QString());
    r.setCaption(QStringLiteral("SummaryCaption2"), QString());
    r.Preview();
}

void TFrproduct::N7Click()
{
    reopenProducts(QStringLiteral("SELECT * from product"));
    Tfrrproducts r(frdm->Aqproduct);
    r.ReportTitle = report::reportTitle();
    r.Preview();
}

void TFrproduct::N10Click()
{
    if (ownPickCode() != 0) {
        dlg::showMessage(QStringLiteral("由单据转到商品表的状态不能查明细帐！"));
        return;
    }
    // The product history viewer registers itself under this name.
    if (hasCommand(QStringLiteral("ProductHistory"))) runCommand(QStringLiteral("ProductHistory"));
}

void TFrproduct::EXCEL1Click() { product::exportProducts(this, false); }

void TFrproduct::dfds1Click() { product::exportProducts(this, true); }

void TFrproduct::ToolButton15Click() { close(); }

void TFrproduct::closeEvent(QCloseEvent* e)
{
    QMainWindow::closeEvent(e);
    if (!e->isAccepted()) return;
    // The main window comes back through the opening protocol when the list
    // came from the menu; a picker leaves it as its opener keeps it.
    qm::session().pickCode = 0;
    frdm->Aqproduct->close();
}

// 商品资料 in the main menu, toolbar and navigator.
QM_COMMAND("N14", [] {
    openChildWindow([](QWidget* owner) -> QWidget* { return new TFrproduct(owner); },
                    [] {
                        Dataset* p = frdm->Aqproduct;
                        p->reopen(QStringLiteral("SELECT * from product\norder by sphh"));
                    });
});
