#include "data/datasetmodel.h"
#include <QTableView>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QFontMetrics>

namespace qm {

DatasetModel::DatasetModel(Dataset* ds, QObject* parent) : QAbstractTableModel(parent), ds_(ds)
{
    connect(ds, &Dataset::opened, this, &DatasetModel::reset);
    connect(ds, &Dataset::closed, this, &DatasetModel::reset);
    connect(ds, &Dataset::fieldsChanged, this, &DatasetModel::reset);
    connect(ds, &Dataset::rowChanged, this, [this](int row) {
        if (row >= 0 && row < rowCount()) emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    });
    connect(ds, &Dataset::rowsReplaced, this, [this](int first, int last) {
        if (last < rowCount()) emit dataChanged(index(first, 0), index(last, columnCount() - 1));
    });
    connect(ds, &Dataset::rowInserted, this, &DatasetModel::reset);
    connect(ds, &Dataset::rowRemoved, this, &DatasetModel::reset);
}

void DatasetModel::reset()
{
    beginResetModel();
    endResetModel();
}

int DatasetModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !ds_ || !ds_->active()) return 0;
    return ds_->recordCount();
}

int DatasetModel::columnCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !ds_) return 0;
    return ds_->fieldCount();
}

QVariant DatasetModel::data(const QModelIndex& index, int role) const
{
    if (!ds_ || !index.isValid() || !ds_->active()) return QVariant();
    if (rowStyle && (role == Qt::ForegroundRole || role == Qt::BackgroundRole || role == Qt::FontRole)) {
        QVariant v = rowStyle(index.row(), role);
        if (v.isValid()) return v;
    }
    const Field* f = ds_->field(index.column());
    switch (role) {
    case Qt::DisplayRole:
        return ds_->displayText(index.row(), index.column());
    case Qt::EditRole: {
        QVariant v = ds_->valueAt(index.row(), index.column());
        if (f->type == FieldType::Float || f->type == FieldType::Integer)
            return v.isNull() ? QString() : Dataset::formatValue(*f, v).remove(',');
        return ds_->displayText(index.row(), index.column());
    }
    case Qt::TextAlignmentRole:
        if (f->type == FieldType::Float || f->type == FieldType::Integer)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return QVariant();
    }
}

QVariant DatasetModel::headerData(int section, Qt::Orientation o, int role) const
{
    if (role != Qt::DisplayRole || !ds_) return QVariant();
    if (o == Qt::Horizontal) {
        if (section < 0 || section >= ds_->fieldCount()) return QVariant();
        return ds_->field(section)->displayLabel();
    }
    return QVariant();
}

Qt::ItemFlags DatasetModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags fl = QAbstractTableModel::flags(index);
    if (editable && ds_ && index.isValid() && !ds_->field(index.column())->readOnly) fl |= Qt::ItemIsEditable;
    return fl;
}

bool DatasetModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !ds_ || !index.isValid()) return false;
    ds_->moveTo(index.row());
    ds_->setText(ds_->field(index.column())->name, value.toString());
    ds_->post();
    return true;
}

void DatasetModel::bind(QTableView* view, DatasetModel* model)
{
    view->setModel(model);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    auto layoutColumns = [view, model]() {
        Dataset* ds = model->dataset();
        if (!ds) return;
        QFontMetrics fm(view->font());
        for (int i = 0; i < ds->fieldCount(); ++i) {
            const Field* f = ds->field(i);
            view->setColumnHidden(i, !f->visible);
            int chars = f->displayWidth > 0 ? f->displayWidth : (f->size > 0 ? std::min(f->size, 30) : 10);
            int w = std::max(fm.horizontalAdvance(f->displayLabel()) + 16, fm.horizontalAdvance(QLatin1Char('0')) * chars + 12);
            view->setColumnWidth(i, w);
        }
    };
    layoutColumns();
    QObject::connect(model, &QAbstractItemModel::modelReset, view, [view, model, layoutColumns]() {
        layoutColumns();
        Dataset* ds = model->dataset();
        if (ds && ds->recNo() >= 0) view->selectRow(ds->recNo());
    });
    Dataset* ds = model->dataset();
    QObject::connect(ds, &Dataset::currentChanged, view, [view](int row) {
        if (row >= 0 && view->currentIndex().row() != row) view->selectRow(row);
    });
    QObject::connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, view,
                     [model](const QModelIndex& cur, const QModelIndex&) {
                         Dataset* ds = model->dataset();
                         if (ds && cur.isValid() && ds->recNo() != cur.row()) ds->moveTo(cur.row());
                     });
}

}
