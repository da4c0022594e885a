#include "masterdata/productgrid.h"
#include "common/formats.h"
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QWheelEvent>

using qm::Dataset;

ProductGridModel::ProductGridModel(Dataset* ds, QObject* parent) : ProductGridModel(ds, columns(), stockColumn(), parent) {}

ProductGridModel::ProductGridModel(Dataset* ds, const QList<Column>& columns, int skyBlueColumn, QObject* parent)
    : QAbstractTableModel(parent), ds_(ds), cols_(columns), skyBlue_(skyBlueColumn)
{
    connect(ds, &Dataset::opened, this, &ProductGridModel::reset);
    connect(ds, &Dataset::closed, this, &ProductGridModel::reset);
    connect(ds, &Dataset::fieldsChanged, this, &ProductGridModel::reset);
    connect(ds, &Dataset::rowInserted, this, &ProductGridModel::reset);
    connect(ds, &Dataset::rowRemoved, this, &ProductGridModel::reset);
    connect(ds, &Dataset::rowChanged, this, [this](int row) {
        if (row >= 0 && row < rowCount()) emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    });
    connect(ds, &Dataset::rowsReplaced, this, [this](int first, int last) {
        if (last < rowCount()) emit dataChanged(index(first, 0), index(last, columnCount() - 1));
    });
    reset();
}

const QList<ProductGridModel::Column>& ProductGridModel::columns()
{
    static const QList<Column> cols = {
        {"选择", "szbj"},      {"条形码", "name"},       {"货品代码", "sphh"},    {"品名规格", "spmc"},
        {"类别", "splb"},      {"厂家", "factory"},      {"供应商名", "branchname"}, {"拼音首字", "spgg"},
        {"单位", "spbzxh"},    {"库存量", "sl"},         {"自定进价", "dj_w"},    {"零售价", "spmz"},
        {"生产日期", "outdate"}, {"有效日期", "enddate"}, {"批号", "spph"},        {"期初数量", "rest"},
        {"标准存量", "fitsl"}, {"批发价", "spzz"},       {"会员价", "hydj"},      {"促销价", "csdj"},
        {"最近进价", "dj_n"},  {"平均进价", "avdj"},     {"月进货量", "sl_in_m"}, {"年进货量", "sl_in_y"},
        {"月出货量", "sl_out_m"}, {"年出货量", "sl_out_y"}, {"上限数量", "maxsl"},  {"下限数量", "minsl"},
        {"差额数量", "resl"},  {"备注", "bz"}};
    return cols;
}

void ProductGridModel::reset()
{
    beginResetModel();
    fieldIndex_.clear();
    if (ds_ && ds_->active())
        for (const Column& c : cols_) fieldIndex_.push_back(ds_->fieldIndex(c.field));
    endResetModel();
}

int ProductGridModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !ds_ || !ds_->active()) return 0;
    return ds_->recordCount();
}

int ProductGridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(cols_.size()); }

void ProductGridModel::setTitle(int column, const QString& title)
{
    if (column < 0 || column >= cols_.size()) return;
    cols_[column].title = title;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

void ProductGridModel::setFormat(int column, const QString& format)
{
    if (column < 0 || column >= cols_.size()) return;
    cols_[column].format = format;
    if (rowCount() > 0) emit dataChanged(index(0, column), index(rowCount() - 1, column));
}

QVariant ProductGridModel::data(const QModelIndex& index, int role) const
{
    if (!ds_ || !ds_->active() || !index.isValid() || size_t(index.column()) >= fieldIndex_.size()) return QVariant();
    const int fi = fieldIndex_[size_t(index.column())];
    if (fi < 0) return QVariant();
    const int row = index.row();
    auto marked = [&]() {
        int mi = fieldIndex_[0];
        QVariant m = mi >= 0 ? ds_->valueAt(row, mi) : QVariant();
        return !m.isNull() && m.toString() != "0" && m.toString().compare("false", Qt::CaseInsensitive) != 0;
    };
    const qm::Field* f = ds_->field(fi);
    switch (role) {
    case Qt::DisplayRole: {
        if (index.column() == 0) return QVariant();
        QVariant v = ds_->valueAt(row, fi);
        if (f->name == "outdate" || f->name == "enddate") {
            qm::DbStamp stamp;
            return !v.isNull() && qm::parseDbStamp(v.toString(), stamp) ? qm::formatDate(stamp.date()) : QString();
        }
        const QString& format = cols_[index.column()].format;
        if (!format.isEmpty() && !v.isNull()) return qm::formatFloat(format, v.toDouble());
        return ds_->displayText(row, fi);
    }
    case Qt::CheckStateRole:
        if (index.column() == 0) return marked() ? Qt::Checked : Qt::Unchecked;
        return QVariant();
    case Qt::ForegroundRole:
        if (marked()) return QColor(Qt::blue);
        return QVariant();
    case Qt::TextAlignmentRole:
        if (f->type == qm::FieldType::Float || f->type == qm::FieldType::Integer)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        if (index.column() == 0) return int(Qt::AlignCenter);
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return QVariant();
    }
}

QVariant ProductGridModel::headerData(int section, Qt::Orientation o, int role) const
{
    if (o != Qt::Horizontal || section < 0 || section >= columnCount()) return QVariant();
    if (role == Qt::DisplayRole) return cols_[section].title;
    if (role == Qt::BackgroundRole && section == skyBlue_) return QColor(0xA6, 0xCA, 0xF0); // sky blue
    return QVariant();
}

void followDataset(QTableView* grid, ProductGridModel* model, Dataset* ds)
{
    QObject::connect(ds, &Dataset::currentChanged, grid, [grid, model](int row) {
        if (row >= 0 && grid->currentIndex().row() != row)
            grid->setCurrentIndex(model->index(row, std::max(0, grid->currentIndex().column())));
    });
    QObject::connect(model, &QAbstractItemModel::modelReset, grid, [grid, model, ds]() {
        int row = ds->recNo();
        if (row < 0) return;
        grid->setCurrentIndex(model->index(row, 1));
        // Once the grid has laid out its new rows, the current one is shown whole.
        QTimer::singleShot(0, grid, [grid] { grid->scrollTo(grid->currentIndex()); });
    });
    QObject::connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, grid,
                     [ds](const QModelIndex& cur, const QModelIndex&) {
                         if (cur.isValid() && ds->active() && ds->recNo() != cur.row()) ds->moveTo(cur.row());
                     });
}

void ProductGridView::attach(ProductGridModel* model, Dataset* ds)
{
    setModel(model);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setVisible(false);
    followDataset(this, model, ds);
}

void ProductGridView::setPopup(QMenu* menu)
{
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, menu,
            [this, menu](const QPoint& at) { menu->popup(viewport()->mapToGlobal(at)); });
}

void sizeColumns(QTableView* grid, const QList<ProductGridModel::Column>& columns, const QList<int>& chars)
{
    QFontMetrics fm(grid->font());
    for (int i = 0; i < columns.size() && i < chars.size(); ++i)
        grid->setColumnWidth(i, std::max(fm.horizontalAdvance(columns[i].title) + 14,
                                         fm.horizontalAdvance(QLatin1Char('0')) * chars[i] + 10));
}

void ProductHeader::paintSection(QPainter* p, const QRect& rect, int logicalIndex) const
{
    QVariant bg = model() ? model()->headerData(logicalIndex, Qt::Horizontal, Qt::BackgroundRole) : QVariant();
    if (!bg.isValid()) {
        QHeaderView::paintSection(p, rect, logicalIndex);
        return;
    }
    p->save();
    p->fillRect(rect, bg.value<QColor>());
    p->setPen(palette().color(QPalette::Mid));
    p->drawRect(rect.adjusted(0, 0, -1, -1));
    p->setPen(palette().color(QPalette::ButtonText));
    p->drawText(rect, Qt::AlignCenter, model()->headerData(logicalIndex, Qt::Horizontal, Qt::DisplayRole).toString());
    p->restore();
}

ProductGridView::ProductGridView(QWidget* parent) : QTableView(parent)
{
    setHorizontalHeader(new ProductHeader(this));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Selected cells on fuchsia.
    QPalette pal = palette();
    pal.setColor(QPalette::Highlight, QColor(255, 0, 255));
    pal.setColor(QPalette::HighlightedText, Qt::white);
    pal.setColor(QPalette::Inactive, QPalette::Highlight, QColor(255, 0, 255));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText, Qt::white);
    setPalette(pal);
}

void ProductGridView::mousePressEvent(QMouseEvent* e)
{
    QTableView::mousePressEvent(e);
    QModelIndex i = indexAt(e->position().toPoint());
    if (e->button() == Qt::LeftButton && i.isValid() && i.column() == 0) emit markToggled();
}

void ProductGridView::mouseDoubleClickEvent(QMouseEvent* e)
{
    QModelIndex i = indexAt(e->position().toPoint());
    // Each press of a double-click on the selection column has toggled the
    // mark; the double-click toggles once more, so that the whole gesture
    // toggles it once. On any column it then picks, as 选中 does.
    if (i.isValid() && i.column() == 0) emit markToggled();
    if (i.isValid()) emit picked();
}

void ProductGridView::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Space && currentIndex().column() == 0) {
        emit markToggled();
        return;
    }
    QTableView::keyPressEvent(e);
}

void ProductGridView::wheelEvent(QWheelEvent* e)
{
    int steps = e->angleDelta().y() / 120;
    if (steps == 0) {
        e->accept();
        return;
    }
    QModelIndex cur = currentIndex();
    int row = (cur.isValid() ? cur.row() : 0) - steps; // away from the user: up
    row = std::clamp(row, 0, std::max(0, model() ? model()->rowCount() - 1 : 0));
    if (model() && model()->rowCount() > 0) setCurrentIndex(model()->index(row, cur.isValid() ? cur.column() : 1));
    e->accept();
}
