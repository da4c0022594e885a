#include "documents/docwindows.h"
#include "app/tfrmain.h"
#include "common/boxkeys.h"
#include "common/datepicker.h"
#include "common/dialogs.h"
#include "common/formats.h"
#include "data/datasetmodel.h"
#include "data/schema.h"
#include "data/tfrdm.h"
#include "layouts/report.h"
#include "layouts/tfrrindetail.h"
#include "masterdata/partnerlist.h"
#include "masterdata/picklink.h"
#include "masterdata/tfrproduct.h"
#include "masterdata/tfrproductedit.h"
#include "common/boxkeys.h"
#include "common/clock.h"
#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStatusBar>
#include <QMetaProperty>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

namespace qm::doc {

namespace {

// The row being entered, from the row query's edit buffer.
Row bufferedRow(Dataset* rows)
{
    Row r;
    r.rowid = rows->rowid();
    r.spmc = rows->asString("spmc");
    r.sl = rows->asFloat("sl");
    r.dj_w = rows->asFloat("dj_w");
    r.dj_n = rows->asFloat("dj_n");
    r.rebate = rows->asFloat("rebate");
    r.pay = rows->asFloat("pay");
    r.deduck = rows->asFloat("deduck");
    r.rest = rows->asFloat("rest");
    r.amount = rows->asFloat("amount");
    return r;
}

// The number a cell's text stands for, when the column holds numbers and the
// text reads as one (infinity and NaN included, so that they are refused as
// out of range rather than as no number).
std::optional<double> typedNumber(const QString& column, const QString& text)
{
    if (!rowMagnitude(column) || text.trimmed().isEmpty()) return std::nullopt;
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (ok || std::isinf(v)) return v;
    return std::nullopt;
}

// The grid of a document window over the shared row query. Its titles and
// read-only columns are the window's own, so that windows of other kinds
// (which share the query's fields) never change them. In the entry window
// typed cells wait in the row's edit buffer: the row is written once, when the
// operator leaves it or recalculates, not per cell. A number out of range is
// refused as it is typed: the cell keeps its value.
class DocGridModel : public DatasetModel {
public:
    DocGridModel(Dataset* ds, const DocDesc& d, const std::vector<GridColumn>& columns, bool entry, QObject* parent)
        : DatasetModel(ds, parent), d_(d), columns_(columns)
    {
        editable = entry;
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override
    {
        Dataset* ds = dataset();
        if (role != Qt::DisplayRole || o != Qt::Horizontal || !ds || section < 0 || section >= ds->fieldCount())
            return DatasetModel::headerData(section, o, role);
        const QString name = ds->field(section)->name;
        if (const GridColumn* g = column(name); g && !g->title.isEmpty()) return g->title;
        // The label the data module gave the field.
        if (const FieldDef* f = ds->persistentField(name); f && !f->label.isEmpty()) return f->label;
        return name;
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        Qt::ItemFlags fl = QAbstractTableModel::flags(index);
        Dataset* ds = dataset();
        if (!editable || !ds || !index.isValid()) return fl;
        const GridColumn* g = column(ds->field(index.column())->name);
        if (!g || g->readOnly) return fl;
        // The carried-forward row and rows without a number take no typing.
        const QString name = ds->valueAt(index.row(), ds->fieldIndex("spmc")).toString().trimmed();
        const QString no = ds->valueAt(index.row(), ds->fieldIndex("intno")).toString().trimmed();
        if (name == carriedForwardName() || no.isEmpty()) return fl;
        return fl | Qt::ItemIsEditable;
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        // A row without a product or account has no running balance of its own to show.
        Dataset* ds = dataset();
        if (role == Qt::DisplayRole && ds && index.isValid() && ds->field(index.column())->name == QLatin1String("rest") &&
            ds->valueAt(index.row(), ds->fieldIndex("spmc")).toString().trimmed().isEmpty())
            return QString();
        return DatasetModel::data(index, role);
    }
    bool setData(const QModelIndex& index, const QVariant& value, int role) override
    {
        Dataset* ds = dataset();
        if (role != Qt::EditRole || !ds || !index.isValid() || !(flags(index) & Qt::ItemIsEditable)) return false;
        // Typing into the row being edited keeps it in the buffer.
        if (ds->recNo() != index.row()) ds->moveTo(index.row());
        const QString text = value.toString();
        const QString column = ds->field(index.column())->name;
        try {
            if (const std::optional<double> v = typedNumber(column, text)) checkCell(d_, bufferedRow(ds), column, *v);
            ds->setText(column, text);
        } catch (const Refusal& r) {
            dlg::showMessage(r.message());
            return false;
        } catch (const ConversionError&) {
            dlg::showMessage(QStringLiteral("“%1”不是有效的数字！").arg(text.trimmed()));
            return false;
        }
        return true;
    }

private:
    const GridColumn* column(const QString& field) const
    {
        for (const GridColumn& g : columns_)
            if (g.field.compare(field, Qt::CaseInsensitive) == 0) return &g;
        return nullptr;
    }
    const DocDesc& d_;
    std::vector<GridColumn> columns_;
};

// A cell's editor keeps what was typed before the grid acts on Enter: the
// value goes into the row and the editor closes at once, then the key goes on
// to the grid's own handling. A value the row refuses keeps the editor open.
class CellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        const QByteArray property = editor->metaObject()->userProperty().name();
        kept_ = property.isEmpty() || model->setData(index, editor->property(property), Qt::EditRole);
    }

protected:
    bool eventFilter(QObject* o, QEvent* e) override
    {
        auto* editor = qobject_cast<QWidget*>(o);
        if (editor && e->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(e)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                kept_ = true;
                emit commitData(editor);
                if (!kept_) return true;
                emit closeEditor(editor, NoHint);
                return false;
            }
        }
        return QStyledItemDelegate::eventFilter(o, e);
    }

private:
    mutable bool kept_ = true;
};

// Enter moves along the header boxes in this order; other boxes go on to the next control.
const QList<QPair<QString, QString>> kEnterChain = {{"Edit1", "Edit2"}, {"Edit2", "Edit12"}, {"Edit3", "Edit4"},
                                                    {"Edit4", "Edit6"}, {"Edit6", "Edit9"}, {"Edit9", "Edit1"}};

QString fixed(double v, int decimals)
{
    return formatFloat(decimals > 0 ? QStringLiteral("0.") + QString(decimals, QLatin1Char('0')) : QStringLiteral("0"), v);
}

QString headerText(const Header& h, const QString& column, int decimals)
{
    const std::map<QString, double> numbers{{"balance", h.balance}, {"amount", h.amount}, {"pay", h.pay},
                                            {"deduck", h.deduck},   {"rest", h.rest},     {"hjsl", h.hjsl},
                                            {"hjjs", h.hjjs},       {"hjss", h.hjss}};
    if (auto it = numbers.find(column); it != numbers.end()) return fixed(it->second, std::max(decimals, 0));
    if (column == "billdate") return h.billdate.isValid() ? formatDate(h.billdate.date()) : QString();
    const std::map<QString, QString> texts{{"intno", h.intno},        {"customerid", h.customerid},
                                           {"customername", h.customername}, {"persondeal", h.persondeal},
                                           {"tel", h.tel},            {"addr", h.addr},
                                           {"remark", h.remark},      {"employeename", h.employeename},
                                           {"bankid", h.bankid},      {"bankname", h.bankname},
                                           {"djh", h.djh}};
    auto it = texts.find(column);
    return it != texts.end() ? it->second : QString();
}

void disableOpener(QWidget* opener)
{
    if (opener) opener->setEnabled(false);
}

QWidget* showWindow(DocumentWindow* w)
{
    w->setAttribute(Qt::WA_DeleteOnClose, true);
    w->setWindowFlag(Qt::Window, true);
    if (!w->testAttribute(Qt::WA_ForceDisabled)) w->setEnabled(true);
    w->show();
    w->raise();
    w->activateWindow();
    return w;
}
}

// ----------------------------------------------------------------- opening

QWidget* openEntryWindow(DocKind kind, QWidget* opener)
{
    const DocDesc& d = docDesc(kind);
    QWidget* owner = opener ? opener : static_cast<QWidget*>(frmain);
    auto* w = d.makeEntryWindow ? static_cast<DocumentWindow*>(d.makeEntryWindow(d, owner)) : new EntryWindow(d, owner);
    disableOpener(opener);
    return showWindow(w);
}

QWidget* openPostedView(DocKind kind, QWidget* opener)
{
    const DocDesc& d = docDesc(kind);
    QWidget* owner = opener ? opener : static_cast<QWidget*>(frmain);
    auto* w = d.makePostedView ? static_cast<DocumentWindow*>(d.makePostedView(d, owner))
                               : new PostedView(d, owner, frmain && frmain->pickCode == 99);
    disableOpener(opener);
    return showWindow(w);
}

// ---------------------------------------------------------- shared window

DocumentWindow::DocumentWindow(const DocDesc& desc, QWidget* owner, bool posted)
    : QMainWindow(owner), d_(desc), opener_(owner)
{
    setObjectName(posted ? d_.texts.postedClass : d_.texts.entryClass);
    setWindowTitle(posted ? d_.texts.postedCaption : d_.texts.entryCaption);
    central_ = new QWidget(this);
    setCentralWidget(central_);
    resize(1000, 620);
}

DocumentWindow::~DocumentWindow()
{
    // The focus leaving a box while the window is taken down reaches no handler.
    for (QLineEdit* e : std::as_const(boxes_)) disconnect(e, nullptr, this, nullptr);
}

void DocumentWindow::showEvent(QShowEvent* e)
{
    QMainWindow::showEvent(e);
    if (shown_) return;
    shown_ = true;
    FormShow();
}

QAction* DocumentWindow::addPopupItem(const QString& name, const QString& caption, const std::function<void()>& slot)
{
    // The grid shows its actions as its pop-up menu (a right click).
    DBGrid1->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* a = new QAction(caption, DBGrid1);
    a->setObjectName(name);
    DBGrid1->addAction(a);
    connect(a, &QAction::triggered, this, slot);
    return a;
}

QAction* DocumentWindow::addButton(const QString& name, const QString& caption, const QString& hint,
                                   const std::function<void()>& slot)
{
    if (!toolBar_) {
        toolBar_ = addToolBar(QStringLiteral("ToolBar1"));
        toolBar_->setObjectName("ToolBar1");
    }
    auto* b = new QToolButton(toolBar_);
    b->setObjectName(name);
    b->setText(caption);
    b->setToolTip(hint);
    QAction* a = toolBar_->addWidget(b);
    connect(b, &QToolButton::clicked, this, slot);
    return a;
}

void DocumentWindow::makeBoxes(const std::vector<HeaderBox>& boxes, bool readOnly)
{
    auto* grid = new QGridLayout;
    int n = 0;
    for (const HeaderBox& b : boxes) {
        auto* e = new QLineEdit(central_);
        e->setObjectName(b.box);
        e->setReadOnly(readOnly || !b.editable);
        // A box stops at its column's length (the party code at ten digits).
        const int length = b.column.isEmpty() ? 0 : columnLength(d_.headerTable, b.column);
        if (length > 0) setBoxLength(e, length);
        if (b.numeric) e->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), e));
        if (b.decimals >= 0) e->setAlignment(Qt::AlignRight);
        e->setToolTip(b.hint);
        boxes_.insert(b.box, e);
        if (!b.visible) {
            e->hide();
            continue;
        }
        auto* l = new QLabel(b.label, central_);
        l->setBuddy(e);
        // A long text (摘要) takes the rest of its line.
        const int span = length >= 60 ? 3 - n % 4 : 0;
        grid->addWidget(l, n / 4, (n % 4) * 2);
        if (!readOnly && b.box == "Edit2" && d_.party.table == "branch") {
            // The supplier list is also a click away on the button beside the code.
            auto* pair = new QHBoxLayout;
            pair->setSpacing(0);
            pair->addWidget(e);
            auto* more = new QToolButton(central_);
            more->setObjectName("SpeedButton1");
            more->setText(QStringLiteral("…"));
            pair->addWidget(more);
            grid->addLayout(pair, n / 4, (n % 4) * 2 + 1, 1, span * 2 + 1);
            n += span + 1;
            continue;
        }
        grid->addWidget(e, n / 4, (n % 4) * 2 + 1, 1, span * 2 + 1);
        n += span + 1;
    }
    static_cast<QVBoxLayout*>(central_->layout())->addLayout(grid);
}

void DocumentWindow::makeGrid(const std::vector<GridColumn>& columns, bool readOnly)
{
    DBGrid1 = new QTableView(central_);
    DBGrid1->setObjectName("DBGrid1");
    DBGrid1->setToolTip(readOnly ? d_.texts.postedGridHint : d_.texts.gridHint);
    model_ = new DocGridModel(frdm->AQoutdetail, d_, columns, !readOnly, this);
    if (!readOnly) DBGrid1->setItemDelegate(new CellDelegate(DBGrid1));
    static_cast<QVBoxLayout*>(central_->layout())->addWidget(DBGrid1, 1);
    // The grid shows only the description's columns, in its order, under its titles.
    Dataset* ds = frdm->AQoutdetail;
    auto arrange = [this, ds, columns]() {
        if (!ds->active()) return;
        QHeaderView* hv = DBGrid1->horizontalHeader();
        for (int i = 0; i < ds->fieldCount(); ++i) DBGrid1->setColumnHidden(i, true);
        int visual = 0;
        for (const GridColumn& g : columns) {
            Field* f = ds->findField(g.field);
            if (!f) continue;
            DBGrid1->setColumnHidden(f->index, false);
            hv->moveSection(hv->visualIndex(f->index), visual++);
            const bool wide = g.field == "spmc" || g.field == "remark";
            const bool text = f->type == FieldType::Text;
            hv->resizeSection(f->index, wide ? 170 : text ? (g.field == "unit" ? 50 : 100) : 82);
        }
    };
    connect(ds, &Dataset::opened, this, arrange);
    DatasetModel::bind(DBGrid1, model_);
    arrange();
}

void DocumentWindow::showHeader(const Header& h, const QStringList& only)
{
    for (const std::vector<HeaderBox>* list : {&d_.boxes, &d_.postedBoxes}) {
        for (const HeaderBox& b : *list) {
            QLineEdit* e = boxes_.value(b.box);
            if (!only.isEmpty() && !only.contains(b.column)) continue;
            if (e && !b.column.isEmpty()) showBoxText(e, headerText(h, b.column, b.decimals));
        }
    }
}

void DocumentWindow::openRows(const QString& sql)
{
    Dataset* rows = frdm->AQoutdetail;
    rows->close();
    rows->setSql(sql);
    rows->setParam("p1", intno_);
    rows->open();
}

void DocumentWindow::positionHeader()
{
    // The header query stays as the list pointed it; the pick lists and the
    // layouts read its current row.
    Dataset* head = frdm->AQoutlist;
    if (!head->active() || head->updateTable().compare(d_.headerTable, Qt::CaseInsensitive) != 0) {
        head->close();
        head->setSql(QStringLiteral("SELECT * from %1 WHERE (intno=:p1)").arg(d_.headerTable));
        head->setParam("p1", intno_);
        head->open();
    } else {
        head->requery();
    }
    if (!head->locate("intno", intno_)) {
        head->close();
        head->setSql(QStringLiteral("SELECT * from %1 WHERE (intno=:p1)").arg(d_.headerTable));
        head->setParam("p1", intno_);
        head->open();
    }
}

void DocumentWindow::reread()
{
    Dataset* rows = frdm->AQoutdetail;
    if (rows->state() != Dataset::State::Browse && rows->active()) rows->cancel();
    if (rows->active()) rows->requery();
}

void DocumentWindow::ToolButton5Click()
{
    positionHeader();
    reread();
    std::unique_ptr<report::Layout> r = d_.makeLayout({frdm->AQoutlist, frdm->AQoutdetail});
    if (!r) return;
    if (d_.printPageCount) {
        if (!frdm->ATcompany->active()) frdm->ATcompany->open();
        const QString company = frdm->ATcompany->isEmpty() ? QString() : frdm->ATcompany->asString("name").trimmed();
        frmain->printPageCount = report::fillDocumentLabels(*r, company + d_.billName, frmain->operatorName);
    }
    r->ReportTitle = report::reportTitle();
    r->Preview();
}

void DocumentWindow::closeEvent(QCloseEvent* e)
{
    QMainWindow::closeEvent(e);
    if (!e->isAccepted()) return;
    if (opener_) opener_->setEnabled(true);
}

// ------------------------------------------------------------ entry window

EntryWindow::EntryWindow(const DocDesc& desc, QWidget* owner) : DocumentWindow(desc, owner, false)
{
    new QVBoxLayout(central_);
    addButton("ToolButton1", d_.texts.addCaption, d_.texts.addHint, [this] { ToolButton1Click(); });
    addButton("ToolButton2", QStringLiteral("删除&D"), QString(), [this] { ToolButton2Click(); });
    addButton("ToolButton3", QStringLiteral("刷新&R"), QString(), [this] { ToolButton3Click(); });
    addButton("ToolButton4", QStringLiteral("过帐&O"), QString(), [this] { ToolButton4Click(); });
    addButton("ToolButton6", QStringLiteral("作废&C"), QStringLiteral("抹帐"), [this] { ToolButton6Click(); });
    addButton("ToolButton5", QStringLiteral("打印&P"), QString(), [this] { ToolButton5Click(); });
    addButton("ToolButton7", QStringLiteral("退回&Q"), QString(), [this] { ToolButton7Click(); });

    makeBoxes(d_.boxes, false);
    // The code box and, for the purchase, the history number and 新增商品.
    auto* codes = new QHBoxLayout;
    auto addBox = [this, codes](const QString& name, const QString& label, const QString& hint) {
        auto* e = new QLineEdit(central_);
        e->setObjectName(name);
        e->setToolTip(hint);
        codes->addWidget(new QLabel(label, central_));
        codes->addWidget(e);
        boxes_.insert(name, e);
        return e;
    };
    addBox("Edit12", QStringLiteral("货品代码或条形码"), d_.texts.codeHint);
    if (d_.historyNumber) addBox("Edit17", QStringLiteral("历史单号"), QStringLiteral("输入单号后按回车取回历史单"));
    if (d_.newProductButton) {
        auto* b = new QPushButton(QStringLiteral("新增商品"), central_);
        b->setObjectName("Button1");
        codes->addWidget(b);
        connect(b, &QPushButton::clicked, this, &EntryWindow::Button1Click);
    }
    static_cast<QVBoxLayout*>(central_->layout())->addLayout(codes);
    if (!d_.productRows) {
        // Money documents have no code box.
        for (QLabel* w : central_->findChildren<QLabel*>())
            if (w->text() == QStringLiteral("货品代码或条形码")) w->hide();
        boxes_.value("Edit12")->hide();
    }
    makeGrid(d_.grid, false);
    // The pop-up menu runs the toolbar's commands (the sale has its own).
    addPopupItem("N1", QStringLiteral("新增"), [this] { ToolButton1Click(); });
    addPopupItem("N2", QStringLiteral("删除"), [this] { ToolButton2Click(); });
    addPopupItem("N3", QStringLiteral("刷新"), [this] { ToolButton3Click(); });
    addPopupItem("N4", QStringLiteral("过帐"), [this] { ToolButton4Click(); });
    addPopupItem("N5", QStringLiteral("打印"), [this] { ToolButton5Click(); });
    addPopupItem("N6", QStringLiteral("退回"), [this] { ToolButton7Click(); });
    for (const QString& panel : d_.texts.statusPanels) statusBar()->addWidget(new QLabel(panel, this), 1);

    for (QLineEdit* e : boxes_) {
        e->installEventFilter(this);
        selectWholeOnFocus(e);
    }
    DBGrid1->installEventFilter(this);
    connect(boxes_.value("Edit2"), &QLineEdit::editingFinished, this, &EntryWindow::Edit2Exit);
    connect(DBGrid1, &QTableView::doubleClicked, this, &EntryWindow::DBGrid1DblClick);
    if (auto* more = findChild<QToolButton*>("SpeedButton1"))
        connect(more, &QToolButton::clicked, this, &EntryWindow::SpeedButton1Click);
    // Leaving the row writes it with the recalculation, before the grid moves
    // the dataset on; the window shows the result once the move is done.
    // Leaving a column that feeds the totals within the row only shows the
    // row's amount.
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& now, const QModelIndex& before) {
                if (!before.isValid()) return;
                if (now.row() != before.row()) {
                    leaveRow();
                    return;
                }
                if (now.column() != before.column() && d_.recalcColumns.contains(gridField(before.column())))
                    showPendingRow();
            });
}

QString EntryWindow::gridField(int column) const
{
    Dataset* ds = frdm->AQoutdetail;
    return ds->active() && column >= 0 && column < ds->fieldCount() ? ds->field(column)->name : QString();
}

void EntryWindow::gridEnter()
{
    Dataset* rows = frdm->AQoutdetail;
    const QModelIndex at = DBGrid1->currentIndex();
    if (!at.isValid()) return;
    const QString field = gridField(at.column());
    QString to;
    for (const auto& [from, target] : d_.gridEnter)
        if (from == field) to = target;
    if (to.isEmpty()) return;
    if (to == "add") {
        appendRow();
        return;
    }
    if (to == "code") {
        if (!writable() || enterCode(rows->asString(field))) return;
        // Refused: the cell is cleared for another code (a row that holds a
        // product gets that product's code back) and stays current.
        const QString spintno = rows->asString("spintno").trimmed();
        const QString kept = spintno.isEmpty() ? QString()
                                               : frdm->ADOCon.scalar(QStringLiteral("SELECT sphh FROM product WHERE intno=:p1"),
                                                                     {{"p1", spintno}}).toString();
        if (rows->active() && !rows->isEmpty()) rows->setValue(field, kept);
        DBGrid1->setCurrentIndex(model_->index(at.row(), at.column()));
        DBGrid1->setFocus();
        return;
    }
    int row = at.row();
    QString column = to;
    if (to == "next") {
        if (row + 1 < rows->recordCount()) ++row;
        column = d_.recalcColumns.value(0);
    }
    const int index = rows->fieldIndex(column);
    if (index >= 0) DBGrid1->setCurrentIndex(model_->index(row, index));
}

HeaderInput EntryWindow::input() const
{
    auto text = [this](const QString& name) {
        QLineEdit* e = boxes_.value(name);
        return e ? e->text() : QString();
    };
    HeaderInput in;
    in.partyCode = text("Edit2");
    in.partyName = text("Edit3");
    in.contact = text("Edit4");
    in.date = parseDate(text("Edit6"));
    in.remark = text("Edit9");
    in.employee = text("Edit16");
    // The purchase's 银行编号 is Edit10; where Edit10 carries the reference it is djh.
    for (const HeaderBox& b : d_.boxes) {
        if (b.column == "bankid") in.bankId = text(b.box);
        if (b.column == "djh") in.djh = text(b.box);
    }
    return in;
}

void EntryWindow::FormShow()
{
    Connection& c = frdm->ADOCon;
    const bool isNew = frmain->docMode == "T";
    try {
        if (isNew) {
            intno_ = newDocument(c, d_);
            frmain->docIntno = intno_;
            openRows(QStringLiteral("SELECT * from %1\nWHERE (mainintno=:p1) order by intno").arg(d_.detailTable));
        } else {
            intno_ = frmain->docIntno;
            openRows(QStringLiteral("select * from %1 where mainintno=:p1 order by intno").arg(d_.detailTable));
        }
        guardDatasets(true);
        positionHeader();
        const Header h = readHeader(c, d_, intno_);
        showHeader(h);
        if (isNew) {
            boxes_.value("Edit2")->setText(d_.partyStart);
            boxes_.value("Edit6")->setText(formatDate(Clock::today()));
        }
        // Some kinds show a document they continue recalculated from the
        // balances as stored now; a new one waits for its party to be typed.
        if (d_.recalcOnOpen && !isNew && !h.pass) recalcBill();
        frdm->AQoutdetail->last();
        // Posted by another program since the list was read: shown, not entered.
        if (h.pass) setReadOnlyState(true);
    } catch (const AppError&) {
        dlg::showMessage(text::openFailed());
    }
    boxes_.value("Edit2")->setFocus();
}

void EntryWindow::Edit2Exit()
{
    // Leaving the box of a window that shows a posted document or is closing writes nothing.
    if (!writable()) return;
    QLineEdit* e = boxes_.value("Edit2");
    const std::optional<QString> code = padPartyCode(e->text());
    if (!code) return;
    e->setText(*code);
    Connection& c = frdm->ADOCon;
    std::optional<Party> p = findParty(c, d_, *code, false);
    if (!p) {
        dlg::showMessage(d_.party.notFound);
        return;
    }
    try {
        // A row being entered is written with the party, not dropped by the re-read.
        Transaction t(c);
        if (frdm->AQoutdetail->active()) frdm->AQoutdetail->post();
        applyParty(c, d_, intno_, *code, *p);
        t.commit();
    } catch (const PostedRefusal& r) {
        showPosted(r);
        return;
    } catch (const AppError&) {
        reread();
        dlg::showMessage(text::catchAll());
        return;
    }
    showBoxText(boxes_.value("Edit3"), p->name);
    showBoxText(boxes_.value("Edit4"), p->persondeal);
    if (d_.party.addressIntoRemark) showBoxText(boxes_.value("Edit9"), p->addr);
    if (QLineEdit* b = boxes_.value("Edit7")) b->setText(fixed(p->balance, 2));
    reread();
}

bool EntryWindow::fillPartyBoxes()
{
    const std::optional<QString> code = padPartyCode(boxes_.value("Edit2")->text());
    if (!code) return true;
    boxes_.value("Edit2")->setText(*code);
    std::optional<Party> p = findParty(frdm->ADOCon, d_, *code, false);
    if (!p) return false;
    // The lookup fills the boxes as leaving the code box does.
    showBoxText(boxes_.value("Edit3"), p->name);
    showBoxText(boxes_.value("Edit4"), p->persondeal);
    if (d_.party.addressIntoRemark) showBoxText(boxes_.value("Edit9"), p->addr);
    return true;
}

void EntryWindow::recalcBill(const std::function<void()>& alsoWrite)
{
    // The lookup's message comes first, outside the write.
    if (!fillPartyBoxes()) dlg::showMessage(d_.party.notFound);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    Dataset* rows = frdm->AQoutdetail;
    try {
        // The row being edited, what the caller adds and the recalculation go in together.
        Transaction t(frdm->ADOCon);
        if (rows->active()) rows->post();
        if (alsoWrite) alsoWrite();
        const Header h = recalc(frdm->ADOCon, d_, intno_, input());
        writeAlongside(h);
        t.commit();
        showTotals(h);
        reread();
    } catch (...) {
        QApplication::restoreOverrideCursor();
        reread();
        throw;
    }
    QApplication::restoreOverrideCursor();
}

bool EntryWindow::recalcOrRefuse()
{
    if (!writable()) return false;
    try {
        recalcBill();
        return true;
    } catch (const PostedRefusal& r) {
        showPosted(r);
        return false;
    } catch (const Refusal& r) {
        dlg::showMessage(r.message());
        return false;
    }
}

void EntryWindow::ToolButton3Click() { recalcOrRefuse(); }

void EntryWindow::ToolButton1Click() { appendRow(); }

void EntryWindow::appendRow()
{
    if (!writable()) return;
    Dataset* rows = frdm->AQoutdetail;
    try {
        // The row being left, its recalculation and the new row: one write.
        recalcBill([this] { addRow(frdm->ADOCon, d_, intno_); });
        rows->last();
    } catch (const PostedRefusal& r) {
        showPosted(r);
        dlg::showMessage(text::catchAll());
        return;
    } catch (const AppError& e) {
        reread();
        if (dynamic_cast<const Refusal*>(&e)) dlg::showMessage(e.message());
        dlg::showMessage(text::catchAll());
        return;
    }
    for (const char* name : {"Edit12", "Edit17"})
        if (QLineEdit* e = boxes_.value(name)) e->clear();
    if (QLineEdit* e = boxes_.value("Edit12"); e && e->isVisible()) e->setFocus();
}

void EntryWindow::ToolButton2Click()
{
    if (!writable()) return;
    if (d_.deleteAsks && !dlg::confirm(text::confirmDelete())) return;
    Dataset* rows = frdm->AQoutdetail;
    try {
        if (!rows->active() || rows->isEmpty()) throw Refusal(carriedForwardRefusal());
        if (rows->state() == Dataset::State::Insert) rows->cancel();
        deleteRow(frdm->ADOCon, d_, rows->asString("intno"));
    } catch (const Refusal& r) {
        dlg::showMessage(r.message());
    }
    reread();
}

void EntryWindow::Edit12Enter()
{
    if (!writable()) return;
    QLineEdit* e = boxes_.value("Edit12");
    if (!enterCode(e->text())) e->selectAll();
}

bool EntryWindow::enterCode(const QString& code)
{
    Dataset* rows = frdm->AQoutdetail;
    try {
        // A code goes only into a document that can still take it.
        requireUnposted(frdm->ADOCon, d_, intno_);
        if (!rows->active() || rows->isEmpty() || rows->asString("spmc").trimmed() == carriedForwardName() ||
            rows->asString("intno").trimmed().isEmpty())
            throw Refusal(carriedForwardRefusal());
        // The product goes into the row being entered; the row is written once,
        // when it is finished.
        for (const auto& [column, value] : productForCode(frdm->ADOCon, d_, code, boxes_.value("Edit2")->text()))
            rows->setValue(column, value);
        showPendingRow();
    } catch (const PostedRefusal& r) {
        // Posted meanwhile: the window now shows it, read-only.
        showPosted(r);
        return true;
    } catch (const Refusal& r) {
        dlg::showMessage(r.message());
        return false;
    }
    if (Field* f = rows->findField("sl")) DBGrid1->setCurrentIndex(model_->index(std::max(rows->recNo(), 0), f->index));
    DBGrid1->setFocus();
    return true;
}

void EntryWindow::showPendingRow()
{
    Dataset* rows = frdm->AQoutdetail;
    if (!rows->active() || rows->state() == Dataset::State::Browse) return;
    Row r = bufferedRow(rows);
    try {
        const Header h = previewTotals(frdm->ADOCon, d_, intno_, r);
        if (d_.rowAmount != RowAmount::Typed) rows->setValue("amount", r.amount);
        if (d_.running != Running::None) rows->setValue("rest", r.rest);
        QStringList totals{"amount", "hjsl", "pay", "deduck", "rest"};
        if (!d_.texts.summaryPrefix.isEmpty()) totals << "remark";
        showTotals(h, totals);
    } catch (const AppError&) {
        // The totals show at the row's write.
    }
}

void EntryWindow::leaveRow()
{
    if (!writable() || frdm->AQoutdetail->state() == Dataset::State::Browse) return;
    QString refused;
    const std::optional<Header> h = finishRow(refused);
    QTimer::singleShot(0, this, [this, h, refused]() {
        reread();
        if (h) showTotals(*h);
        else dlg::showMessage(refused);
    });
}

bool EntryWindow::writePendingRow()
{
    Dataset* rows = frdm->AQoutdetail;
    if (!rows->active() || rows->state() == Dataset::State::Browse) return true;
    QString refused;
    if (finishRow(refused)) return true;
    reread();
    dlg::showMessage(refused);
    return false;
}

std::optional<Header> EntryWindow::finishRow(QString& refused)
{
    Dataset* rows = frdm->AQoutdetail;
    fillPartyBoxes();
    try {
        Transaction t(frdm->ADOCon);
        rows->post();
        const Header h = recalc(frdm->ADOCon, d_, intno_, input());
        writeAlongside(h);
        t.commit();
        return h;
    } catch (const AppError& e) {
        // Rolled back: the row shows what is stored again.
        rows->cancel();
        refused = dynamic_cast<const Refusal*>(&e) ? e.message() : text::catchAll();
        return std::nullopt;
    }
}

void EntryWindow::Edit17Enter()
{
    QLineEdit* e = boxes_.value("Edit17");
    if (!e || !writable()) return;
    if (!writePendingRow()) return;
    try {
        copyHistory(frdm->ADOCon, d_, intno_, e->text());
    } catch (const Refusal& r) {
        dlg::showMessage(r.message());
        e->selectAll();
    }
    reread();
}

void EntryWindow::Edit6DblClick() { pickDateFor(boxes_.value("Edit6")); }

void EntryWindow::ToolButton4Click()
{
    if (!writable() || !writePendingRow()) return;
    const bool posted = postBill(frdm->ADOCon, d_, intno_, input(), frmain->operatorCode);
    if (posted) {
        posted_ = true;
        // From here on the window only closes: no box it leaves writes again.
        closing_ = true;
        this->posted();
        close();
        return;
    }
    // The window shows what is stored, after a refusal or a rollback.
    try {
        showHeader(readHeader(frdm->ADOCon, d_, intno_));
    } catch (const AppError&) {
    }
    reread();
}

void EntryWindow::ToolButton6Click()
{
    if (!writable()) return;
    if (frdm->AQoutdetail->active() && frdm->AQoutdetail->state() != Dataset::State::Browse) frdm->AQoutdetail->cancel();
    if (voidBill(frdm->ADOCon, d_, intno_)) {
        voided_ = true;
        close();
        return;
    }
    reread();
}

void EntryWindow::ToolButton5Click()
{
    // A posted document prints as it is stored.
    if (writable()) {
        Dataset* rows = frdm->AQoutdetail;
        if (!writePendingRow()) return;
        if (rows->active() && !rows->isEmpty()) {
            rows->last();
            if (rows->asString("spmc").isEmpty()) ToolButton2Click();
        }
        // A refusal stops the print, unless the document turned out posted.
        if (!recalcOrRefuse() && writable()) return;
    }
    DocumentWindow::ToolButton5Click();
}

void EntryWindow::ToolButton7Click()
{
    try {
        if (writable() && !dropIfEmpty(frdm->ADOCon, d_, intno_)) recalcBill();
    } catch (const PostedRefusal& r) {
        dlg::showMessage(r.message());
    } catch (const AppError&) {
        dlg::showMessage(text::cannotSave());
    }
    close();
}

void EntryWindow::Button1Click()
{
    // The product editor in add mode; it enables this window again when it closes.
    Tfrproductedit::openForPurchase(this);
}

void EntryWindow::SpeedButton1Click() { openPartyList(); }

void EntryWindow::openPartyList()
{
    openPartnerPick(d_.party.table == "branch" ? PartnerKind::Supplier : PartnerKind::Customer, this, d_.pickCode);
}

void EntryWindow::DBGrid1DblClick()
{
    Dataset* rows = frdm->AQoutdetail;
    if (!rows->active() || rows->isEmpty() || rows->asString("spmc").trimmed() == carriedForwardName()) {
        dlg::showMessage(carriedForwardRefusal());
        return;
    }
    if (rows->asString("intno").trimmed().isEmpty()) return;
    if (d_.productRows) TFrproduct::openForPick(this, d_.pickCode);
    else openPartnerPick(PartnerKind::Account, this, d_.pickCode);
}

bool EntryWindow::eventFilter(QObject* o, QEvent* e)
{
    if (o == DBGrid1 && e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_Insert) return true;
        if ((k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter)) {
            gridEnter();
            return true;
        }
        return false;
    }
    if (e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        const QString name = o->objectName();
        if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
            if (name == "Edit12") { Edit12Enter(); return true; }
            if (name == "Edit17") { Edit17Enter(); return true; }
            if (name == "Edit2" && !d_.productRows) {
                // Money documents have no code box: on to the next row's money.
                Dataset* rows = frdm->AQoutdetail;
                const int row = std::min(DBGrid1->currentIndex().row() + 1, rows->recordCount() - 1);
                const int col = rows->fieldIndex(d_.recalcColumns.value(0));
                DBGrid1->setFocus();
                if (row >= 0 && col >= 0) DBGrid1->setCurrentIndex(model_->index(row, col));
                return true;
            }
            for (const auto& [from, to] : kEnterChain) {
                if (from != name) continue;
                if (QLineEdit* next = boxes_.value(to); next && next->isVisible()) next->setFocus();
                return true;
            }
            focusNextChild();
            return true;
        }
        if (k->key() == Qt::Key_Down && (name == "Edit12" || name == "Edit17")) {
            // 新增商品, the grid, or nothing: as the kind says.
            const QString to = d_.codeBoxDown;
            Dataset* rows = frdm->AQoutdetail;
            if (auto* b = to.isEmpty() ? nullptr : findChild<QPushButton*>(to)) b->setFocus();
            else if (const int col = to.isEmpty() ? -1 : rows->fieldIndex(to); col >= 0) {
                DBGrid1->setFocus();
                DBGrid1->setCurrentIndex(model_->index(std::max(rows->recNo(), 0), col));
            }
            return true;
        }
        if (k->key() == Qt::Key_Up || k->key() == Qt::Key_Down) {
            focusNextPrevChild(k->key() == Qt::Key_Down);
            return true;
        }
    } else if (e->type() == QEvent::FocusIn && o->objectName() == "Edit12") {
        // Codes go into the last row; a row left for it is written first, and
        // the last row, when it is the one being entered, stays as it is.
        Dataset* rows = frdm->AQoutdetail;
        if (rows->active() && rows->recNo() != rows->recordCount() - 1) {
            leaveRow();
            rows->last();
        }
    } else if (e->type() == QEvent::MouseButtonPress && d_.party.pickOnClick && o->objectName() == "Edit2") {
        openPartyList();
    } else if (e->type() == QEvent::MouseButtonDblClick) {
        const QString name = o->objectName();
        if (name == "Edit6") { Edit6DblClick(); return true; }
        if (name == "Edit2") { openPartyList(); return true; }
        if (name == "Edit16") { openPartnerPick(PartnerKind::Employee, this, d_.pickCode); return true; }
        if (name == "Edit10" && !boxes_.value(name)->isHidden()) { openPartnerPick(PartnerKind::Account, this, d_.pickCode); return true; }
    }
    return QMainWindow::eventFilter(o, e);
}

void EntryWindow::closeEvent(QCloseEvent* e)
{
    Dataset* rows = frdm->AQoutdetail;
    // The row being entered is written; after that nothing the closing moves writes.
    if (!closing_ && !readOnly_) writePendingRow();
    closing_ = true;
    rows->close();
    guardDatasets(false);
    try {
        if (!voided_ && !readOnly_ && !posted_) purgeBlankRows(frdm->ADOCon, d_, intno_);
    } catch (const AppError&) {
    }
    copyToBak();
    // The list shows what is stored now (a new document, new totals): the
    // document's own row when the list holds it, else the list read again.
    Dataset* head = frdm->AQoutlist;
    if (head->active() && !head->refreshStoredRow(QStringLiteral("intno"), intno_)) head->requery();
    DocumentWindow::closeEvent(e);
}

void EntryWindow::reread()
{
    DocumentWindow::reread();
    if (readOnly_ || intno_.isEmpty()) return;
    try {
        if (!isPosted(frdm->ADOCon, d_, intno_)) return;
        showHeader(readHeader(frdm->ADOCon, d_, intno_));
    } catch (const AppError&) {
        return;
    }
    setReadOnlyState(true);
}

void EntryWindow::setReadOnlyState(bool on)
{
    readOnly_ = on;
    for (const HeaderBox& b : d_.boxes)
        if (QLineEdit* e = boxes_.value(b.box)) e->setReadOnly(on || !b.editable);
    for (const char* name : {"Edit12", "Edit17"})
        if (QLineEdit* e = boxes_.value(name)) e->setReadOnly(on);
    if (model_) model_->editable = !on;
    // What writes goes; 打印 and 退回 stay.
    for (QToolButton* b : findChildren<QToolButton*>()) {
        const QString name = b->objectName();
        if (name.startsWith(QLatin1String("ToolButton")) && name != QLatin1String("ToolButton5") &&
            name != QLatin1String("ToolButton7"))
            b->setEnabled(!on);
    }
    if (auto* b = findChild<QPushButton*>(QStringLiteral("Button1"))) b->setEnabled(!on);
}

void EntryWindow::showPosted(const PostedRefusal& r)
{
    dlg::showMessage(r.message());
    DocumentWindow::reread();
    try {
        showHeader(readHeader(frdm->ADOCon, d_, intno_));
    } catch (const AppError&) {
    }
    setReadOnlyState(true);
}

void EntryWindow::guardDatasets(bool on)
{
    Dataset* rows = frdm->AQoutdetail;
    Dataset* head = frdm->AQoutlist;
    if (!on) {
        rows->beforePost = nullptr;
        head->beforePost = nullptr;
        return;
    }
    const DocDesc* d = &d_;
    QPointer<EntryWindow> self(this);
    rows->beforePost = [self, d](Dataset& ds) {
        if (!self || ds.updateTable().compare(d->detailTable, Qt::CaseInsensitive) != 0) return;
        const QString doc = ds.asString(QStringLiteral("mainintno")).trimmed();
        requireUnposted(*ds.connection(), *d, doc.isEmpty() ? self->docIntno() : doc);
    };
    head->beforePost = [self, d](Dataset& ds) {
        if (!self || ds.updateTable().compare(d->headerTable, Qt::CaseInsensitive) != 0) return;
        requireUnposted(*ds.connection(), *d, ds.asString(QStringLiteral("intno")));
    };
}

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
