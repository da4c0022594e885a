#include "masterdata/tfrproductp.h"
#include "admin/errorhandler.h"
#include "admin/rights.h"
#include "common/boxkeys.h"
#include "common/clock.h"
#include "common/dialogs.h"
#include "common/formats.h"
#include "data/tfrdm.h"
#include "layouts/tfrrproduct.h"
#include "layouts/tfrrproduct1.h"
#include "masterdata/productgrid.h"
#include "masterdata/productlogic.h"
#include "masterdata/productsearch.h"
#include "masterdata/stocklogic.h"
#include "shell/commands.h"
#include "shell/session.h"
#include "shell/windowprotocol.h"
#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QGuiApplication>
#include <QScreen>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

QPointer<TFrproductp> Frproductp;
QPointer<Tfrproductpedit> frproductpedit;

using namespace qm;

namespace {
const QString kRefusal = QStringLiteral("该用户无权使用此功能,请用管理员进入！");

const QList<ProductGridModel::Column>& stockColumns()
{
    static const QList<ProductGridModel::Column> cols = {
        {"选择", "szbj"},        {"货品代码", "sphh"},     {"品名规格", "spmc"},    {"单位", "spbzxh"},
        {"自定进价", "dj_w"},    {"最近进价", "dj_n"},     {"零售价", "spmz"},      {"批发价", "spzz"},
        {"会员价", "hydj"},      {"促销价", "csdj"},       {"平均进价", "avdj"},    {"库存数量", "sl"},
        {"实库存量", "factsl"},  {"标准存量", "fitsl"},    {"年进货量", "sl_in_y"}, {"年出货量", "sl_out_y"},
        {"上限数量", "maxsl"},   {"下限数量", "minsl"},    {"差额数量", "resl"},    {"批号", "spph"},
        {"厂家", "factory"},     {"生产日期", "outdate"},  {"有效日期", "enddate"}, {"备注", "bz"},
        {"月进货量", "sl_in_m"}, {"月出货量", "sl_out_m"}};
    return cols;
}
}

TFrproductp::TFrproductp(QWidget* owner, int mode) : QMainWindow(owner, Qt::Window), mode_(mode)
{
    setObjectName(QStringLiteral("Frproductp"));
    const stock::Mode* m = stock::mode(mode);
    setWindowTitle(m ? m->caption : stock::stocktakingCaption());
    Frproductp = this;

    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("ToolBar1"));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    addToolBar(bar);
    auto tool = [this, bar](const char* name, const QString& text, void (TFrproductp::*slot)()) {
        auto* b = new QToolButton(bar);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(text);
        b->setMinimumWidth(56);
        connect(b, &QToolButton::clicked, this, slot);
        return std::make_pair(b, bar->addWidget(b));
    };
    ToolButton7 = tool("ToolButton7", QStringLiteral("打印"), &TFrproductp::ToolButton7Click).first;
    ToolButton6 = tool("ToolButton6", QStringLiteral("查找"), &TFrproductp::ToolButton6Click).first;
    auto count = tool("ToolButton2", QStringLiteral("盘点录入"), &TFrproductp::ToolButton2Click);
    ToolButton2 = count.first;
    count.second->setVisible(mode == 0);
    ToolButton15 = tool("ToolButton15", QStringLiteral("退出"), &TFrproductp::ToolButton15Click).first;

    auto* central = new QWidget(this);
    auto* v = new QVBoxLayout(central);
    v->setContentsMargins(4, 4, 4, 4);
    search_ = new ProductSearchBar(central,
                                   {QStringLiteral("拼音首字"), QStringLiteral("货品代码"), QStringLiteral("品名规格"),
                                    QStringLiteral("类别"), QStringLiteral("供应商")},
                                   QStringLiteral("拼音首字"), true);
    ComboBox1 = search_->ComboBox1;
    Edit1 = search_->Edit1;
    ComboBox2 = search_->ComboBox2;
    RadioGroup1 = search_->RadioGroup1;
    RadioExact = search_->RadioExact;
    RadioFuzzy = search_->RadioFuzzy;
    v->addLayout(search_->layout());

    auto* grid = new ProductGridView(central);
    grid->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1 = grid;
    model_ = new ProductGridModel(frdm->Aqproduct, stockColumns(), -1, this);
    if (mode == 6) {
        // The stock value is money, shown as the totals are.
        model_->setTitle(resultColumn, QStringLiteral("库存金额"));
        model_->setFormat(resultColumn, QStringLiteral("0.00"));
    }
    grid->attach(model_, frdm->Aqproduct);
    sizeColumns(DBGrid1, stockColumns(), {4, 9, 22, 5, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 10, 9, 20, 10, 10, 14, 8, 8});
    DBGrid1->setColumnHidden(resultColumn, mode == 0);
    v->addWidget(DBGrid1, 1);
    setCentralWidget(central);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    auto item = [this](const char* name, const QString& text, void (TFrproductp::*slot)()) {
        QAction* a = PopupMenu1->addAction(text);
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    N1 = item("N1", QStringLiteral("选择全部商品"), &TFrproductp::N1Click);
    N5 = item("N5", QStringLiteral("清除选择标记"), &TFrproductp::N5Click);
    N6 = item("N6", QStringLiteral("显示所选商品"), &TFrproductp::N6Click);
    N2 = item("N2", QStringLiteral("打印盘点表"), &TFrproductp::N2Click);
    N3 = item("N3", QStringLiteral("按货品类型排序"), &TFrproductp::N3Click);
    N4 = item("N4", QStringLiteral("取消货品类型排序"), &TFrproductp::N4Click);
    N3->setVisible(false);
    N4->setVisible(false);

    connect(search_, &ProductSearchBar::changed, this, &TFrproductp::ToolButton6Click);
    connect(grid, &ProductGridView::markToggled, this, &TFrproductp::toggleMark);
    grid->setPopup(PopupMenu1);
    // Its many columns get the whole work area (at 1366 pixels through 库存金额);
    // the rest scroll. Un-maximised, most of it.
    if (QScreen* s = owner ? owner->screen() : QGuiApplication::primaryScreen()) resize(s->availableGeometry().size() * 0.85);
    setWindowState(Qt::WindowMaximized);
}

TFrproductp::~TFrproductp() = default;

void TFrproductp::ToolButton6Click()
{
    // The search replaces the report's rows; the mode stays for the print.
    // The rows read from the table show the report's result once it is stored.
    qm::session().sortedByType = 0;
    stock::waitForStoredResults();
    search_->search(*frdm->Aqproduct, Clock::today());
}

void TFrproductp::reopenProducts(const QString& sql)
{
    stock::waitForStoredResults();
    frdm->Aqproduct->reopen(sql);
}

void TFrproductp::toggleMark() { product::toggleMark(*frdm->Aqproduct); }

void TFrproductp::N1Click()
{
    product::markAll(frdm->ADOCon, true);
    frdm->Aqproduct->requery();
}

void TFrproductp::N5Click()
{
    product::markAll(frdm->ADOCon, false);
    frdm->Aqproduct->requery();
}

void TFrproductp::N6Click() { reopenProducts(QStringLiteral("SELECT * from product where szbj=1\norder by sphh")); }

void TFrproductp::N3Click() { sortByType(*frdm->Aqproduct, DBGrid1, true); }

void TFrproductp::N4Click() { sortByType(*frdm->Aqproduct, DBGrid1, false); }

void TFrproductp::ToolButton2Click()
{
    Dataset* p = frdm->Aqproduct;
    if (!p->active() || p->isEmpty()) return;
    execOverList(this, new Tfrproductpedit(this));
}

void prepareStockPrint(Tfrrproduct& r, int mode)
{
    const stock::Mode* m = stock::mode(mode);
    r.setCaption(QStringLiteral("title"), m ? m->printTitle : QStringLiteral("库存商品情况表"));
    if (m && !m->printFields.isEmpty()) {
        for (int i = 0; i < 4; ++i) {
            r.setCaption(QStringLiteral("column%1Caption").arg(4 + i), m->printCaptions[i]);
            // The stock value is money, printed as its total is.
            const bool money = mode == 6 && m->printFields[i] == QLatin1String("resl");
            r.setField(QStringLiteral("column%1").arg(4 + i), m->printFields[i], money ? QStringLiteral("0.00") : QString());
        }
    }
    if (m && !m->expiry.isEmpty()) {
        r.setCaption(QStringLiteral("column0Caption"), QStringLiteral("有效期"));
        r.setField(QStringLiteral("column0"), QStringLiteral("enddate"));
    }
    if (mode != 6) {
        r.setCaption(QStringLiteral("SummaryCaption1"), QString());
        r.setCaption(QStringLiteral("SummaryCaption2"), QString());
    }
}

void TFrproductp::ToolButton7Click()
{
    if (mode_ == 6) {
        // The totals as the report stored them; none when they could not be stored.
        stock::requireStoredTotals();
        frdm->AQtotallist->close();
        frdm->AQtotallist->open();
    }
    {
        Tfrrproduct r(frdm->Aqproduct, mode_ == 6);
        prepareStockPrint(r, mode_);
        r.ReportTitle = report::reportTitle();
        r.Preview();
    }
    if (mode_ == 5) reopenProducts(QStringLiteral("SELECT * from product"));
}

void TFrproductp::N2Click()
{
    Tfrrproduct1 r(frdm->Aqproduct);
    r.ReportTitle = report::reportTitle();
    r.Preview();
}

void TFrproductp::ToolButton15Click() { close(); }

void TFrproductp::closeEvent(QCloseEvent* e)
{
    QMainWindow::closeEvent(e);
    if (!e->isAccepted() || closed_) return;
    closed_ = true;
    qm::session().pickCode = 0;
    frdm->Aqproduct->close();
    frdm->AQtotallist->close();
    stock::waitForStoredResults();
    // The connection is opened afresh, as after every list of the stock menu.
    frdm->reconnect();
    frdm->ATcompany->open();
}

// ------------------------------------------------------------ count window

Tfrproductpedit::Tfrproductpedit(QWidget* owner)
    : RowEditor(owner, QStringLiteral("frproductpedit"), QStringLiteral("录入实际库存量"),
                {{"Edit2", QStringLiteral("货品代码"), KeyRule::Free, true},
                 {"Edit3", QStringLiteral("品名规格"), KeyRule::Free, true},
                 {"Edit4", QStringLiteral("帐面库存量"), KeyRule::Free, true},
                 {"Edit5", QStringLiteral("实际库存量"), KeyRule::Decimal, false}},
                frdm->Aqproduct, true)
{
    frproductpedit = this;
    Edit2 = box(0);
    Edit3 = box(1);
    Edit4 = box(2);
    Edit5 = box(3);
    FormShow();
}

void Tfrproductpedit::FormShow()
{
    Dataset* p = frdm->Aqproduct;
    if (!p->active() || p->isEmpty()) return;
    // The book stock as stored now, not as the list read it.
    const double stock = stock::storedStock(*p);
    Edit2->setText(p->asString(QStringLiteral("sphh")));
    Edit3->setText(p->asString(QStringLiteral("spmc")));
    Edit4->setText(p->isNull(QStringLiteral("sl")) ? QString() : formatFloat(QString(), stock));
    Edit5->setText(stock::countText(*p));
    Edit5->setFocus();
    Edit5->selectAll();
}

void Tfrproductpedit::save() { stock::saveCount(*frdm->Aqproduct, Edit5->text()); }

// ------------------------------------------------------------- menu commands

namespace {
void openStockList(int mode, const stock::ListQuery& q)
{
    openChildWindow([mode](QWidget* owner) -> QWidget* { return new TFrproductp(owner, mode); },
                    [mode, q] {
                        Dataset* p = frdm->Aqproduct;
                        p->reopen(q.sql, q.params);
                        if (mode >= 1 && mode <= 6) p->first();
                    });
}

void runReport(int mode)
{
    const stock::ListQuery q = stock::prepareReport(mode, Clock::today());
    qm::session().pickCode = mode;
    openStockList(mode, q);
    stock::storeResults(frdm->ADOCon.path(), mode,
                        [](std::exception_ptr e) { reportException(Frproductp.data(), e); });
}

void stocktaking()
{
    if (!requireAdministrator(kRefusal)) return;
    openStockList(0, {stock::stocktakingSql(), {}});
}

void updateStock()
{
    if (!recheckPassword()) return;
    if (!requireAdministrator(kRefusal)) return;
    if (!dlg::confirm(QStringLiteral("更新库存量是对被选中的商品,用盘点的实际库存量\n\n替换原来的库存量!确实要更新商品库存量吗?"),
                      QStringLiteral("提示！")))
        return;
    const int n = stock::applyCounts(frdm->ADOCon);
    Dataset* p = frdm->Aqproduct;
    p->reopen(QStringLiteral("SELECT * from product"));
    p->first();
    dlg::showMessage(QStringLiteral("库存量更新完毕,共有%1种已盘点的选中商品更新了库存量!").arg(n));
}
}

QM_COMMAND("N4", stocktaking);
QM_COMMAND("N6", updateStock);
QM_COMMAND("N5", [] { runReport(5); });
QM_COMMAND("N7", [] { runReport(6); });
QM_COMMAND("N8", [] { runReport(1); });
QM_COMMAND("N9", [] { runReport(2); });
QM_COMMAND("N11", [] { runReport(3); });
QM_COMMAND("N12", [] { runReport(4); });
QM_COMMAND("N19", [] { runReport(7); });
QM_COMMAND("N21", [] { runReport(8); });
QM_COMMAND("N23", [] { runReport(9); });
