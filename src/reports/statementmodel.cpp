#include "reports/statementmodel.h"
#include "data/dataset.h"
#include <QTimer>

namespace qm::reports {

namespace {
// Rows read at a time: the first block holds the first screen and the rows
// the grid's columns are fitted to.
constexpr int kBlock = 256;
}

StatementModel::StatementModel(const StatementDesc& d, std::vector<StatementColumn> columns, QObject* parent)
    : QAbstractTableModel(parent), d_(d), columns_(std::move(columns))
{
    QStringList all = scratchColumns(d);
    all << QStringLiteral("balance") << QStringLiteral("rest");
    for (const StatementColumn& c : columns_) {
        source_.push_back(int(all.indexOf(c.field)));
        defs_.push_back(statementRows(d)->persistentField(c.field));
    }
}

StatementModel::~StatementModel() = default;

void StatementModel::setRun(std::unique_ptr<StatementRun> run)
{
    beginResetModel();
    run_ = std::move(run);
    blockStart_ = -1;
    block_.clear();
    shown_ = run_ ? run_->rowCount() : 0;
    endResetModel();
}

int StatementModel::fieldColumn(const QString& field) const
{
    for (size_t i = 0; i < columns_.size(); ++i)
        if (columns_[i].field == field) return int(i);
    return -1;
}

int StatementModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : shown_; }
int StatementModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(columns_.size()); }

const QVariantList& StatementModel::values(int row) const
{
    static const QVariantList none;
    const int start = row - row % kBlock;
    if (start != blockStart_) {
        block_.clear();
        blockStart_ = start;
        run_->walkTo(start + kBlock - 1);
        block_ = run_->rowValues(start, std::min(start + kBlock, run_->walked()));
        // Fewer rows than counted: rows were reversed since the run began.
        if (run_->rowCount() < shown_) QTimer::singleShot(0, const_cast<StatementModel*>(this), &StatementModel::shrink);
    }
    const int i = row - start;
    return i < int(block_.size()) ? block_[size_t(i)] : none;
}

void StatementModel::shrink()
{
    if (!run_ || run_->rowCount() >= shown_) return;
    beginRemoveRows({}, run_->rowCount(), shown_ - 1);
    shown_ = run_->rowCount();
    endRemoveRows();
}

QVariant StatementModel::data(const QModelIndex& index, int role) const
{
    if (!run_ || !index.isValid() || index.row() >= shown_) return {};
    const int src = source_[size_t(index.column())];
    const FieldDef* def = defs_[size_t(index.column())];
    if (role == Qt::TextAlignmentRole) {
        const bool number = def && (def->type == FieldType::Float || def->type == FieldType::Integer);
        return number ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    }
    if (role != Qt::DisplayRole || src < 0) return {};
    const QVariantList& v = values(index.row());
    if (src >= v.size()) return {};
    if (!def) return v[src].toString();
    Field f;
    f.name = def->name;
    f.type = def->type;
    f.displayFormat = def->displayFormat;
    // Numbers come back as the table stores them: text for an empty cell.
    QVariant value = v[src];
    if ((f.type == FieldType::Float || f.type == FieldType::Integer) && value.typeId() == QMetaType::QString && value.toString().isEmpty())
        value = 0.0;
    return Dataset::formatValue(f, value);
}

QVariant StatementModel::headerData(int section, Qt::Orientation o, int role) const
{
    if (role != Qt::DisplayRole) return QAbstractTableModel::headerData(section, o, role);
    if (o == Qt::Vertical) return section + 1;
    if (section < 0 || section >= int(columns_.size())) return {};
    const StatementColumn& c = columns_[size_t(section)];
    if (!c.caption.isEmpty()) return c.caption;
    const FieldDef* f = statementRows(d_)->persistentField(c.field);
    return f && !f->label.isEmpty() ? f->label : c.field;
}

}
