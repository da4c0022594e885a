#include "documents/docwindows.h"
#include "documents/docwindows_p.h"
#include "common/boxkeys.h"
#include "common/dialogs.h"
#include "common/formats.h"
#include "data/datasetmodel.h"
#include "data/schema.h"
#include "data/tfrdm.h"
#include "layouts/report.h"
#include "layouts/tfrrindetail.h"
#include "masterdata/picklink.h"
#include "shell/mainwindow.h"
#include "shell/session.h"
#include "shell/windowprotocol.h"
#include <QCloseEvent>
#include <QGridLayout>
#include <QAbstractSpinBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMetaProperty>
#include <QRegularExpressionValidator>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

namespace qm::doc {

using namespace detail;

namespace {

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
// to the grid's own handling. A value the row refuses keeps the editor open,
// its text selected.
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
                if (!kept_) {
                    // Refused: the text stays, selected, so that what is
                    // typed next replaces it rather than adding to it.
                    if (auto* line = qobject_cast<QLineEdit*>(editor)) line->selectAll();
                    else if (auto* spin = qobject_cast<QAbstractSpinBox*>(editor)) spin->selectAll();
                    return true;
                }
                emit closeEditor(editor, NoHint);
                return false;
            }
        }
        return QStyledItemDelegate::eventFilter(o, e);
    }

private:
    mutable bool kept_ = true;
};

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

}

// ----------------------------------------------------------------- opening

QWidget* openEntryWindow(DocKind kind, QWidget* opener)
{
    const DocDesc& d = docDesc(kind);
    QWidget* owner = opener ? opener : qm::mainWidget();
    auto* w = d.makeEntryWindow ? static_cast<DocumentWindow*>(d.makeEntryWindow(d, owner)) : new EntryWindow(d, owner);
    disableOpener(opener);
    return showReleasedWindow(w);
}

QWidget* openPostedView(DocKind kind, QWidget* opener)
{
    const DocDesc& d = docDesc(kind);
    QWidget* owner = opener ? opener : qm::mainWidget();
    auto* w = d.makePostedView ? static_cast<DocumentWindow*>(d.makePostedView(d, owner))
                               : new PostedView(d, owner, qm::session().pickCode == 99);
    disableOpener(opener);
    return showReleasedWindow(w);
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
    shownBoxes_ = &boxes;
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
    // This window's own boxes only: a box of the other window with the same
    // name may mirror another column (the sale's Edit8).
    if (!shownBoxes_) return;
    for (const HeaderBox& b : *shownBoxes_) {
        QLineEdit* e = boxes_.value(b.box);
        if (!only.isEmpty() && !only.contains(b.column)) continue;
        if (e && !b.column.isEmpty()) showBoxText(e, headerText(h, b.column, b.decimals));
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
        qm::session().printPageCount = report::fillDocumentLabels(*r, company + d_.billName, qm::session().operatorName);
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

}
