#pragma once
// The grid of a statement or of the journal: the rows of one run, read on
// demand in the statement's order with the running balance carried along.
// Scrolling further walks further; a row shown is read from its table.
#include "reports/statements.h"
#include <QAbstractTableModel>
#include <memory>

namespace qm {
struct FieldDef;
}

namespace qm::reports {

class StatementModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // `columns`: the grid's fields in order, each with its heading (empty: the
    // field's label in the statement's dataset).
    StatementModel(const StatementDesc& d, std::vector<StatementColumn> columns, QObject* parent = nullptr);
    ~StatementModel() override;

    // Shows a new run (nullptr: nothing).
    void setRun(std::unique_ptr<StatementRun> run);
    StatementRun* run() const { return run_.get(); }
    int fieldColumn(const QString& field) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

private:
    const QVariantList& values(int row) const;
    void shrink();

    const StatementDesc& d_;
    std::vector<StatementColumn> columns_;
    std::vector<int> source_;   // each column's place in the run's values
    std::vector<const FieldDef*> defs_; // each column's field in the statement's dataset, or nullptr
    std::unique_ptr<StatementRun> run_;
    int shown_ = 0;             // rows the views were told of
    mutable int blockStart_ = -1;
    mutable std::vector<QVariantList> block_;
};

}
