#pragma once
// Binds a grid to a dataset: one row per record, one column per field, the
// fields' labels as headings and their display texts as cells.
#include "data/dataset.h"
#include <QAbstractTableModel>
#include <QPointer>

class QTableView;

namespace qm {

class DatasetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit DatasetModel(Dataset* ds, QObject* parent = nullptr);
    Dataset* dataset() const { return ds_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // Per-row colours chosen by the window (document states, marks).
    std::function<QVariant(int row, int role)> rowStyle;
    bool editable = false;

    // Hides the dataset's invisible fields and sizes the columns by their widths;
    // the view's current row follows the dataset and the other way round.
    static void bind(QTableView* view, DatasetModel* model);

private:
    void reset();
    QPointer<Dataset> ds_;
};

}
