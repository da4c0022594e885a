#include "masterdata/partnerlist.h"
#include "common/dialogs.h"
#include "common/errors.h"
#include "data/datasetmodel.h"
#include "data/tfrdm.h"
#include "layouts/partnerreports.h"
#include "masterdata/partneredit.h"
#include "masterdata/picklink.h"
#include "shell/commands.h"
#include "shell/session.h"
#include "shell/windowprotocol.h"
#include <QCloseEvent>
#include <QComboBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMap>
#include <QAction>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

QPointer<TFrcustomer> Frcustomer;
QPointer<TFrbranch> Frbranch;
QPointer<TFrbank> Frbank;
QPointer<TFremployee> Fremployee;
QPointer<TFrstore> Frstore;

namespace qm {

// ------------------------------------------------------------------ search

namespace {
// The text columns a list searches, by mode item or by grid column.
const QStringList kSearchable = {"id", "name", "tel", "fax", "movetel", "persondeal"};

}

QString searchModeColumn(const QString& mode)
{
    static const QList<QPair<QString, QString>> map = {
        {QStringLiteral("编号"), "id"},       {QStringLiteral("客户名"), "name"}, {QStringLiteral("名称"), "name"},
        {QStringLiteral("电话"), "tel"},      {QStringLiteral("传真"), "fax"},    {QStringLiteral("手机"), "movetel"},
        {QStringLiteral("联系人"), "persondeal"}};
    for (const auto& p : map)
        if (p.first == mode) return p.second;
    return QString();
}

PartnerSearch planPartnerSearch(PartnerKind kind, const QString& text, const QString& mode, const QString& gridColumn)
{
    const PartnerDesc& d = partnerDesc(kind);
    PartnerSearch s;
    s.boxText = text;
    const QString typed = text.trimmed();
    const QString all = QStringLiteral("SELECT * from %1").arg(d.table);
    auto like = [&](const QString& column, const QString& value) {
        s.change = true;
        s.sql = all;
        if (value.isEmpty()) return;
        s.sql += QStringLiteral(" WHERE (%1 like :p1)").arg(column);
        s.params = {{"p1", QStringLiteral("%") + value + QStringLiteral("%")}};
    };
    auto range = [&](const QString& column, const QString& value) {
        s.change = true;
        s.sql = all;
        if (value.isEmpty()) return;
        s.sql += QStringLiteral(" WHERE (%1>=:p1)and(%1<=:p2)").arg(column);
        s.params = {{"p1", value}, {"p2", prefixEnd(value)}};
    };

    const QString m = mode.trimmed();
    if (m.isEmpty()) {
        // By the grid column the operator selected, as typed, with like.
        if (kSearchable.contains(gridColumn)) like(gridColumn, typed);
        return s;
    }
    const QString column = searchModeColumn(m);
    if (column.isEmpty()) return s;
    if (column == QLatin1String("id") && d.list.idSearch != IdSearch::AsTypedLike) {
        const QString padded = padCode(typed, d.idWidth);
        s.boxText = padded;
        const QString value = padded == QString(d.idWidth, QLatin1Char('0')) ? QString() : padded;
        if (d.list.idSearch == IdSearch::PaddedPrefix) range(column, value);
        else like(column, value);
        return s;
    }
    if (d.list.idSearch == IdSearch::PaddedPrefix) range(column, typed);
    else like(column, typed);
    return s;
}

// ------------------------------------------------------------------ delete

bool deletePartner(PartnerKind kind)
{
    const PartnerDesc& d = partnerDesc(kind);
    Dataset* ds = partnerDataset(kind);
    const bool any = ds->active() && !ds->isEmpty();
    switch (d.list.deleteRule) {
    case DeleteRule::WalkInRefused:
        if (any && ds->asString(QStringLiteral("intno")) == QLatin1String("0000000001")) {
            dlg::showMessage(QStringLiteral("不能删除零售散户！"));
            return false;
        }
        if (!dlg::confirm(QStringLiteral("确实要删除记录吗?"), QStringLiteral("提示！"))) return false;
        break;
    case DeleteRule::AskOnBalance:
        if (any && ds->asFloat(QStringLiteral("balance")) != 0
            && !dlg::confirm(QStringLiteral("该供应商的余额不为0,是否要删除?"), QStringLiteral("提示！")))
            return false;
        break;
    case DeleteRule::DataModuleOnly:
        break;
    }
    if (!any) return false;
    try {
        ds->remove(); // the data module asks its own confirmation where it has one
    } catch (const SilentStop&) {
        return false;
    }
    return true;
}

// -------------------------------------------------------------------- pick

bool writePartnerPick(PartnerKind kind, int pickCode, PickLink& link)
{
    const PartnerDesc& d = partnerDesc(kind);
    Dataset* ds = partnerDataset(kind);
    if (!d.list.pickCodes.contains(pickCode) || !ds->active() || ds->isEmpty() || !link.openerAlive()) return false;
    const QString id = ds->asString(QStringLiteral("id"));
    const QString name = ds->asString(QStringLiteral("name"));
    switch (kind) {
    case PartnerKind::Customer:
        return link.writeBox(pickCode == 11 ? QStringLiteral("Edit9") : QStringLiteral("Edit2"), id.trimmed());
    case PartnerKind::Supplier:
        return link.writeBox(pickCode == 11 || pickCode == 12 ? QStringLiteral("Edit9") : QStringLiteral("Edit2"),
                             id.trimmed());
    case PartnerKind::Employee:
        return link.writeBox(QStringLiteral("Edit16"), name.trimmed());
    case PartnerKind::Account:
        if (pickCode == 12) return link.writeBox(QStringLiteral("Edit3"), id.trimmed());
        if (pickCode == 1 || pickCode == 2) {
            // The document's paying or receiving account.
            Dataset* head = frdm->AQoutlist;
            if (!head->active() || head->isEmpty()) return false;
            head->edit();
            head->setValue(QStringLiteral("bankid"), id);
            link.writeBox(QStringLiteral("Edit10"), id.trimmed());
            head->post();
            return true;
        }
        {
            // 13, 14: the account goes into the current row of the money document;
            // the carried-forward row takes no account.
            Dataset* rows = frdm->AQoutdetail;
            if (!rows->active() || rows->isEmpty()) return false;
            if (rows->asString(QStringLiteral("spmc")).trimmed() == carriedForwardName()) {
                dlg::showMessage(carriedForwardRefusal());
                return false;
            }
            rows->edit();
            rows->setValue(QStringLiteral("sphh"), id);
            rows->setValue(QStringLiteral("spmc"), name);
            rows->post();
            return true;
        }
    case PartnerKind::Store:
        return false;
    }
    return false;
}

// ------------------------------------------------------------------ window

namespace {
// Headings for the columns the data module leaves unlabelled.
const QList<QPair<QString, QString>> kHeadings = {
    {"id", QStringLiteral("编号")},      {"name", QStringLiteral("名称")},  {"tel", QStringLiteral("电话")},
    {"fax", QStringLiteral("传真")},     {"movetel", QStringLiteral("手机")}, {"persondeal", QStringLiteral("联系人")},
    {"email", QStringLiteral("E-mail")}, {"addr", QStringLiteral("地址")},  {"accno", QStringLiteral("帐号")},
    {"remark", QStringLiteral("备注")}};

// A toolbar picture: the button's sign on a rounded tile; with `hot` a lit
// variant shows while the mouse is over the button.
QIcon toolPicture(const QString& sign, bool hot)
{
    auto tile = [&](const QColor& fill) {
        QPixmap pm(40, 40);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(fill);
        p.drawRoundedRect(QRectF(2, 2, 36, 36), 7, 7);
        QFont f = p.font();
        f.setPixelSize(22);
        f.setBold(true);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QRectF(0, 0, 40, 40), Qt::AlignCenter, sign);
        return pm;
    };
    QIcon icon(tile(QColor(70, 110, 160)));
    if (hot) icon.addPixmap(tile(QColor(230, 130, 20)), QIcon::Active);
    return icon;
}

void setInstance(PartnerKind kind, PartnerList* l)
{
    switch (kind) {
    case PartnerKind::Customer: Frcustomer = static_cast<TFrcustomer*>(l); break;
    case PartnerKind::Supplier: Frbranch = static_cast<TFrbranch*>(l); break;
    case PartnerKind::Account: Frbank = static_cast<TFrbank*>(l); break;
    case PartnerKind::Employee: Fremployee = static_cast<TFremployee*>(l); break;
    case PartnerKind::Store: Frstore = static_cast<TFrstore*>(l); break;
    }
}

PartnerList* createList(PartnerKind kind, QWidget* owner, QWidget* opener, int code)
{
    PartnerList* l = nullptr;
    switch (kind) {
    case PartnerKind::Customer: l = new TFrcustomer(owner, opener, code); break;
    case PartnerKind::Supplier: l = new TFrbranch(owner, opener, code); break;
    case PartnerKind::Account: l = new TFrbank(owner, opener, code); break;
    case PartnerKind::Employee: l = new TFremployee(owner, opener, code); break;
    case PartnerKind::Store: l = new TFrstore(owner, opener, code); break;
    }
    setInstance(kind, l);
    return l;
}

// A list of the kind still open is closed before the kind's list opens again.
void closeOpenList(PartnerKind kind)
{
    if (PartnerList* old = openPartnerList(kind)) {
        old->close();
        delete old;
    }
}
}

PartnerList* openPartnerList(PartnerKind kind)
{
    switch (kind) {
    case PartnerKind::Customer: return Frcustomer.data();
    case PartnerKind::Supplier: return Frbranch.data();
    case PartnerKind::Account: return Frbank.data();
    case PartnerKind::Employee: return Fremployee.data();
    case PartnerKind::Store: return Frstore.data();
    }
    return nullptr;
}

PartnerList* openPartnerListFromMenu(PartnerKind kind)
{
    closeOpenList(kind);
    PartnerList* list = nullptr;
    openChildWindow(
        [&](QWidget* owner) {
            list = createList(kind, owner, nullptr, 0);
            return list;
        },
        [&] {
            // Created under the disabled main window: the list itself works.
            list->setEnabled(true);
            partnerDataset(kind)->open();
        },
        true);
    return list;
}

PartnerList* openPartnerPick(PartnerKind kind, QWidget* opener, int pickCode)
{
    closeOpenList(kind);
    qm::session().pickCode = pickCode;
    PartnerList* list = createList(kind, opener, opener, pickCode);
    try {
        partnerDataset(kind)->open();
    } catch (...) {
        delete list;
        qm::session().pickCode = 0;
        throw;
    }
    list->show();
    list->raise();
    list->activateWindow();
    return list;
}

PartnerList::PartnerList(PartnerKind kind, QWidget* owner, QWidget* opener, int pickCode)
    : QWidget(owner, Qt::Window), kind_(kind)
{
    const PartnerDesc& d = partnerDesc(kind);
    const ListDesc& ld = d.list;
    setObjectName(ld.instance);
    setWindowTitle(ld.caption);
    setAttribute(Qt::WA_DeleteOnClose, true);
    link_ = new PickLink(this, opener, pickCode);

    Dataset* ds = partnerDataset(kind);
    for (const auto& h : kHeadings) {
        if (FieldDef* f = ds->persistentField(h.first); f && f->label.isEmpty()) f->label = h.second;
        if (Field* f = ds->findField(h.first); f && f->label.isEmpty()) f->label = h.second;
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("ToolBar1"));
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    bar->setIconSize(QSize(20, 20));
    layout->addWidget(bar);

    QMap<QString, QAction*> actions;
    auto add = [this, bar, &actions, &ld](const char* name, const QString& text, void (PartnerList::*slot)(),
                                          const QString& sign) {
        QToolButton* b = addButton(name, text, slot);
        b->setIcon(toolPicture(sign, ld.hotImages));
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        actions.insert(QString::fromLatin1(name), bar->addWidget(b));
        return b;
    };
    add("ToolButton1", QStringLiteral(" 新增 "), &PartnerList::ToolButton1Click, QStringLiteral("+"))
        ->setToolTip(QStringLiteral("添加"));
    add("ToolButton2", QStringLiteral("修改"), &PartnerList::ToolButton2Click, QStringLiteral("✎"));
    add("ToolButton3", QStringLiteral("删除"), &PartnerList::ToolButton3Click, QStringLiteral("✕"));
    add("ToolButton7", QStringLiteral("选中"), &PartnerList::ToolButton7Click, QStringLiteral("✓"));
    // Four buttons that stay disabled: record steps this list does not offer.
    const char* const steps[] = {"ToolButton8", "ToolButton9", "ToolButton10", "ToolButton11"};
    const QString signs[] = {QStringLiteral("«"), QStringLiteral("‹"), QStringLiteral("›"), QStringLiteral("»")};
    for (int i = 0; i < 4; ++i) add(steps[i], QString(), nullptr, signs[i])->setEnabled(false);
    bar->addSeparator();

    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setEditable(true);
    ComboBox1->addItems(ld.modeItems);
    ComboBox1->setEditText(QStringLiteral("编号"));
    ComboBox1->setToolTip(QStringLiteral("选项"));
    ComboBox1->setMinimumContentsLength(6);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setToolTip(QStringLiteral("选项为空,输入内容模糊查找"));
    Edit1->setMaximumWidth(180);
    connect(Edit1, &QLineEdit::editingFinished, this, &PartnerList::ToolButton6Click);
    QAction* modeAction = bar->addWidget(ComboBox1);
    QAction* editAction = bar->addWidget(Edit1);
    add("ToolButton6", QStringLiteral("查找"), &PartnerList::ToolButton6Click, QStringLiteral("?"));
    QToolButton* print = add("ToolButton5", QStringLiteral("打印"), &PartnerList::ToolButton5Click, QStringLiteral("▤"));
    QToolButton* across = add("ToolButton4", QStringLiteral("多栏"), &PartnerList::ToolButton4Click, QStringLiteral("▥"));
    add("ToolButton15", QStringLiteral("退出"), &PartnerList::ToolButton15Click, QStringLiteral("⏏"));
    if (ld.modeItems.isEmpty()) {
        // Accounts: no search.
        modeAction->setVisible(false);
        editAction->setVisible(false);
        actions.value("ToolButton6")->setVisible(false);
    }
    if (ld.print == PrintRule::Hidden) actions.value("ToolButton5")->setVisible(false);
    if (ld.print == PrintRule::Disabled) print->setEnabled(false);
    actions.value("ToolButton4")->setVisible(false); // 多栏 is kept off the bar
    across->setEnabled(ld.fourAcross);

    DBGrid1 = new QTableView(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setToolTip(ld.gridHint);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setAlternatingRowColors(true);
    model_ = new DatasetModel(ds, this);
    DatasetModel::bind(DBGrid1, model_);
    // Cells, not rows: the operator picks the column a search goes by.
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectItems);
    connect(model_, &QAbstractItemModel::modelReset, this, &PartnerList::applyGridColumns);
    connect(DBGrid1, &QAbstractItemView::doubleClicked, this, &PartnerList::DBGrid1DblClick);
    // The selected column outlives a search that empties the grid.
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& i) {
        Dataset* d = partnerDataset(kind_);
        if (i.isValid() && i.column() < d->fieldCount()) selectedField_ = d->field(i.column())->name;
    });
    connect(DBGrid1->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int logical) {
        Dataset* d = partnerDataset(kind_);
        if (logical >= 0 && logical < d->fieldCount()) selectGridColumn(d->field(logical)->name);
    });
    applyGridColumns();
    layout->addWidget(DBGrid1, 1);

    if (!ld.statusText.isEmpty()) {
        auto* status = new QStatusBar(this);
        status->setObjectName(QStringLiteral("StatusBar1"));
        status->setSizeGripEnabled(false);
        status->addWidget(new QLabel(ld.statusText, status), 1);
        layout->addWidget(status);
    }
    resize(900, 520);
}

PartnerList::~PartnerList() = default;

int PartnerList::pickCode() const { return link_ ? link_->pickCode() : 0; }

QToolButton* PartnerList::addButton(const char* name, const QString& text, void (PartnerList::*slot)())
{
    auto* b = new QToolButton(this);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(text);
    b->setAutoRaise(true);
    b->setMinimumWidth(48);
    if (slot) connect(b, &QToolButton::clicked, this, slot);
    return b;
}

void arrangeGridColumns(QTableView* grid, Dataset* ds, const QStringList& cols)
{
    QHeaderView* h = grid->horizontalHeader();
    for (int i = 0; i < ds->fieldCount(); ++i) grid->setColumnHidden(i, !cols.contains(ds->field(i)->name));
    // Wide text columns get a width for what they usually hold, not for their
    // full length, so that the amounts stay in view.
    static const QList<QPair<QString, int>> caps = {{"name", 26}, {"movetel", 14}, {"email", 22},
                                                    {"addr", 30},  {"accno", 22},   {"remark", 22}};
    const int digit = grid->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    for (const auto& c : caps) {
        const int logical = ds->fieldIndex(c.first);
        if (logical >= 0 && grid->columnWidth(logical) > digit * c.second + 12)
            grid->setColumnWidth(logical, digit * c.second + 12);
    }
    for (int pos = 0; pos < cols.size(); ++pos) {
        const int logical = ds->fieldIndex(cols[pos]);
        if (logical < 0) continue;
        const int from = h->visualIndex(logical);
        if (from != pos) h->moveSection(from, pos);
    }
}

void PartnerList::applyGridColumns()
{
    arrangeGridColumns(DBGrid1, partnerDataset(kind_), partnerDesc(kind_).list.gridColumns);
}

void PartnerList::selectGridColumn(const QString& field)
{
    Dataset* ds = partnerDataset(kind_);
    const int col = ds->fieldIndex(field);
    if (col < 0) return;
    selectedField_ = field;
    const int row = std::max(0, DBGrid1->currentIndex().row());
    if (row < model_->rowCount()) DBGrid1->setCurrentIndex(model_->index(row, col));
}

QString PartnerList::selectedGridField() const
{
    // Until the operator clicks a cell the grid's first column is the selected one.
    if (!selectedField_.isEmpty()) return selectedField_;
    const QStringList& cols = partnerDesc(kind_).list.gridColumns;
    return cols.isEmpty() ? QString() : cols.first();
}

void PartnerList::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void PartnerList::FormShow()
{
    if (partnerDesc(kind_).list.searchOnShow) ToolButton6Click();
}

void PartnerList::ToolButton1Click()
{
    qm::session().editMode = QStringLiteral("T");
    showPartnerEditor(kind_, this);
}

void PartnerList::ToolButton2Click()
{
    Dataset* ds = partnerDataset(kind_);
    if (!ds->active() || ds->isEmpty()) return;
    qm::session().editMode = QStringLiteral("F");
    qm::session().currentIntno = ds->asString(QStringLiteral("intno"));
    showPartnerEditor(kind_, this);
}

void PartnerList::ToolButton3Click()
{
    deletePartner(kind_);
}

void PartnerList::ToolButton7Click()
{
    const int code = pickCode();
    if (code == 0) return;
    // A code this list does not serve writes nothing, and the list closes all
    // the same; an empty list or a refused row keeps it open for another choice.
    if (!partnerDesc(kind_).list.pickCodes.contains(code) || writePartnerPick(kind_, code, *link_))
        ToolButton15Click();
}

void PartnerList::DBGrid1DblClick()
{
    ToolButton7Click();
}

void PartnerList::ToolButton6Click()
{
    if (partnerDesc(kind_).list.modeItems.isEmpty()) return;
    const QString gridField = selectedGridField();
    const PartnerSearch s = planPartnerSearch(kind_, Edit1->text(), ComboBox1->currentText(), gridField);
    if (Edit1->text() != s.boxText) {
        const QSignalBlocker block(Edit1);
        Edit1->setText(s.boxText);
    }
    if (s.change) {
        partnerDataset(kind_)->reopen(s.sql, s.params);
        if (!gridField.isEmpty()) selectGridColumn(gridField);
    }
    DBGrid1->setFocus();
}

void PartnerList::ToolButton5Click()
{
    const PrintRule rule = partnerDesc(kind_).list.print;
    if (rule == PrintRule::Customers) printPartners(PartnerReport::Customers);
    else if (rule == PrintRule::Suppliers) printPartners(PartnerReport::Suppliers);
}

void PartnerList::ToolButton4Click()
{
    if (partnerDesc(kind_).list.fourAcross) printPartners(PartnerReport::CustomersAcross);
}

void PartnerList::ToolButton15Click()
{
    close();
}

void PartnerList::closeEvent(QCloseEvent* e)
{
    if (!closing_) {
        closing_ = true;
        // The main window comes back through the opening protocol when the list
        // came from the menu; a pick leaves the opener as it was.
        if (!partnerDesc(kind_).list.menuOnly) qm::session().pickCode = 0;
        partnerDataset(kind_)->close();
    }
    e->accept();
}

}

QM_COMMAND("N16", [] { qm::openPartnerListFromMenu(qm::PartnerKind::Customer); });
QM_COMMAND("N79", [] { qm::openPartnerListFromMenu(qm::PartnerKind::Supplier); });
QM_COMMAND("N33", [] { qm::openPartnerListFromMenu(qm::PartnerKind::Account); });
QM_COMMAND("N80", [] { qm::openPartnerListFromMenu(qm::PartnerKind::Employee); });
QM_COMMAND("N81", [] { qm::openPartnerListFromMenu(qm::PartnerKind::Store); });
