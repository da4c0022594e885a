#include "masterdata/openinglist.h"
#include "admin/rights.h"
#include "common/dialogs.h"
#include "common/errors.h"
#include "data/datasetmodel.h"
#include "data/schema.h"
#include "data/tfrdm.h"
#include "layouts/partnerreports.h"
#include "layouts/tfrrproduct_b.h"
#include "masterdata/partnerlist.h"
#include "shell/commands.h"
#include "shell/windowprotocol.h"
#include <QCloseEvent>
#include <QComboBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

QPointer<qm::OpeningList> Frcustomer_b, Frbranch_b, Frbank_b, Frproduct_b;

namespace qm {

namespace {
QPointer<OpeningList>& instance(OpeningKind kind)
{
    switch (kind) {
    case OpeningKind::Customer: return Frcustomer_b;
    case OpeningKind::Supplier: return Frbranch_b;
    case OpeningKind::Account: return Frbank_b;
    case OpeningKind::Product: break;
    }
    return Frproduct_b;
}

OpeningList* createList(OpeningKind kind, QWidget* owner)
{
    switch (kind) {
    case OpeningKind::Customer: return new TFrcustomer_b(owner);
    case OpeningKind::Supplier: return new TFrbranch_b(owner);
    case OpeningKind::Account: return new TFrbank_b(owner);
    case OpeningKind::Product: break;
    }
    return new TFrproduct_b(owner);
}
}

OpeningList::OpeningList(OpeningKind kind, QWidget* owner) : QWidget(owner, Qt::Window), kind_(kind)
{
    const OpeningDesc& d = openingDesc(kind);
    setObjectName(d.listInstance);
    setWindowTitle(d.listCaption);
    setAttribute(Qt::WA_DeleteOnClose, true);
    instance(kind) = this;

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("ToolBar1"));
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    layout->addWidget(bar);
    auto tool = [this, bar](const char* name, const QString& text, void (OpeningList::*slot)()) {
        auto* b = new QToolButton(bar);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(text);
        b->setMinimumWidth(52);
        connect(b, &QToolButton::clicked, this, slot);
        bar->addWidget(b);
        return b;
    };
    ToolButton6 = tool("ToolButton6", QStringLiteral("查找"), &OpeningList::ToolButton6Click);
    ToolButton1 = tool("ToolButton1", QStringLiteral("修改"), &OpeningList::ToolButton1Click);
    ToolButton5 = tool("ToolButton5", QStringLiteral("打印"), &OpeningList::ToolButton5Click);
    ToolButton15 = tool("ToolButton15", QStringLiteral("退出"), &OpeningList::ToolButton15Click);
    bar->addSeparator();
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setToolTip(QStringLiteral("选项为空,输入内容模糊查找"));
    Edit1->setMaximumWidth(200);
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setToolTip(QStringLiteral("选项"));
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->addItems(d.modeItems);
    ComboBox1->setEditText(d.modeShown);
    ComboBox1->setMinimumContentsLength(6);
    bar->addWidget(Edit1);
    bar->addWidget(ComboBox1);

    DBGrid1 = new QTableView(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setToolTip(QStringLiteral("要模糊查找,先点击查找列"));
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setAlternatingRowColors(true);
    Dataset* ds = openingDataset(kind);
    model_ = new DatasetModel(ds, this);
    DatasetModel::bind(DBGrid1, model_);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectItems);
    arrangeGridColumns(DBGrid1, ds, d.gridColumns);
    connect(model_, &QAbstractItemModel::modelReset, this, [this] {
        arrangeGridColumns(DBGrid1, openingDataset(kind_), openingDesc(kind_).gridColumns);
    });
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& i) {
        Dataset* ds = openingDataset(kind_);
        if (i.isValid() && i.column() < ds->fieldCount()) selectedField_ = ds->field(i.column())->name;
    });
    connect(DBGrid1->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int logical) {
        Dataset* ds = openingDataset(kind_);
        if (logical >= 0 && logical < ds->fieldCount()) selectGridColumn(ds->field(logical)->name);
    });
    DBGrid1->installEventFilter(this);
    layout->addWidget(DBGrid1, 1);

    if (kind == OpeningKind::Product) {
        // The product list searches as the text changes.
        connect(Edit1, &QLineEdit::textChanged, this, &OpeningList::ToolButton6Click);
        connect(ComboBox1, &QComboBox::currentTextChanged, this, &OpeningList::ToolButton6Click);
    } else {
        connect(Edit1, &QLineEdit::editingFinished, this, &OpeningList::ToolButton6Click);
    }
    resize(860, 520);
}

OpeningList::~OpeningList() = default;

void OpeningList::selectGridColumn(const QString& field)
{
    const int col = openingDataset(kind_)->fieldIndex(field);
    if (col < 0) return;
    selectedField_ = field;
    const int row = std::max(0, DBGrid1->currentIndex().row());
    if (row < model_->rowCount()) DBGrid1->setCurrentIndex(model_->index(row, col));
}

void OpeningList::ToolButton6Click()
{
    const OpeningSearch s = planOpeningSearch(kind_, Edit1->text(), ComboBox1->currentText(), selectedField_);
    if (Edit1->text() != s.boxText) {
        const QSignalBlocker block(Edit1);
        Edit1->setText(s.boxText);
    }
    if (!s.change) return;
    openingDataset(kind_)->reopen(s.sql, s.params);
}

void OpeningList::ToolButton1Click()
{
    Dataset* ds = openingDataset(kind_);
    if (!ds->active() || ds->isEmpty()) return;
    execOverList(this, new OpeningEditor(kind_, this));
}

void OpeningList::ToolButton5Click()
{
    Dataset* ds = openingDataset(kind_);
    switch (kind_) {
    case OpeningKind::Customer:
    case OpeningKind::Supplier: {
        ds->reopen(openingBaseSql(kind_) + QStringLiteral("\nWHERE balance<>0 or rest<>0"));
        ds->first();
        std::unique_ptr<report::Layout> r;
        if (kind_ == OpeningKind::Customer) r = std::make_unique<Tfrrcustomer>();
        else r = std::make_unique<Tfrrbranch>();
        r->ReportTitle = report::reportTitle();
        r->Preview();
        return;
    }
    case OpeningKind::Account:
        return;
    case OpeningKind::Product: {
        ds->reopen(QStringLiteral("SELECT * from product\nWHERE rest<>0.0 "));
        {
            Tfrrproduct_b r(ds);
            r.ReportTitle = report::reportTitle();
            r.Preview();
        }
        // Back to every product, shown again rather than left closed.
        ds->setSql(openingBaseSql(kind_));
        ds->open();
        return;
    }
    }
}

void OpeningList::ToolButton15Click() { close(); }

bool OpeningList::eventFilter(QObject* o, QEvent* e)
{
    if (o == DBGrid1 && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        Dataset* ds = openingDataset(kind_);
        // A row without an internal number is not a record: the arrows take it away.
        if ((key == Qt::Key_Up || key == Qt::Key_Down) && ds->active() && !ds->isEmpty()
            && ds->asString(QStringLiteral("intno")).isEmpty()) {
            try {
                ds->remove();
            } catch (const SilentStop&) {
            }
        }
    }
    return QWidget::eventFilter(o, e);
}

void OpeningList::closeEvent(QCloseEvent* e)
{
    if (!closed_) {
        closed_ = true;
        Dataset* ds = openingDataset(kind_);
        if (ds->state() == Dataset::State::Edit || ds->state() == Dataset::State::Insert) ds->post();
        ds->close();
    }
    e->accept();
}

// ---------------------------------------------------------------- editor

namespace {
std::vector<RowEditor::Box> editorBoxes(OpeningKind kind)
{
    std::vector<RowEditor::Box> boxes;
    for (const OpeningBox& b : openingDesc(kind).boxes) boxes.push_back({b.box, b.label, b.keys, false});
    // The code is what documents refer to: shown, not changed here.
    boxes[0].readOnly = true;
    return boxes;
}
}

OpeningEditor::OpeningEditor(OpeningKind kind, QWidget* owner)
    : RowEditor(owner, openingDesc(kind).editorInstance, openingDesc(kind).editorCaption, editorBoxes(kind),
                openingDataset(kind), false),
      kind_(kind)
{
    // The name and the third box stop at their columns' lengths.
    const OpeningDesc& d = openingDesc(kind);
    for (size_t i = 1; i < 3; ++i) setBoxLength(edits_[i], columnLength(d.table, d.boxes[i].column));
    FormShow();
}

void OpeningEditor::FormShow()
{
    const QMap<QString, QString> v = openingValues(kind_);
    const auto& boxes = openingDesc(kind_).boxes;
    for (size_t i = 0; i < boxes.size(); ++i) showBoxText(edits_[i], v.value(boxes[i].column));
    edits_[3]->setFocus();
}

void OpeningEditor::save()
{
    // A record without a name could no longer be told apart in any list or document.
    if (edits_[1]->text().trimmed().isEmpty()) {
        dlg::showMessage(openingDesc(kind_).boxes[1].label + QStringLiteral("不能为空!"));
        edits_[1]->setFocus();
        throw SilentStop();
    }
    saveOpening(kind_, edits_[1]->text(), edits_[2]->text(), edits_[3]->text());
}

OpeningList* openOpeningList(OpeningKind kind)
{
    if (!requireAdministrator()) return nullptr;
    OpeningList* list = nullptr;
    openChildWindow(
        [&](QWidget* owner) -> QWidget* {
            list = createList(kind, owner);
            return list;
        },
        [kind] {
            Dataset* ds = openingDataset(kind);
            ds->reopen(openingBaseSql(kind));
        });
    return list;
}

}

QM_COMMAND("N82", [] { qm::openOpeningList(qm::OpeningKind::Product); });
QM_COMMAND("N13", [] { qm::openOpeningList(qm::OpeningKind::Account); });
QM_COMMAND("N15", [] { qm::openOpeningList(qm::OpeningKind::Customer); });
QM_COMMAND("N10", [] { qm::openOpeningList(qm::OpeningKind::Supplier); });
