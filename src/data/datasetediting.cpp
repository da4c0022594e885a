// Editing a dataset: the edit buffer of the current row, and Edit, Append,
// Post, Cancel and Delete written through to the table.
#include "data/dataset.h"
#include "data/dataset_p.h"
#include "common/errors.h"
#include "common/formats.h"
#include <optional>

namespace qm {

using namespace detail;

// ---------------------------------------------------------------- editing

void Dataset::loadBuffer()
{
    buf_.assign(fields_.size(), QVariant());
    modified_.assign(fields_.size(), false);
    if (cur_ >= 0 && state_ == State::Browse)
        for (size_t i = 0; i < fields_.size(); ++i) buf_[i] = cell(cur_, int(i));
}

void Dataset::edit()
{
    if (!active()) throw DbError(objectName() + QStringLiteral(": Dataset not open"));
    if (state_ == State::Edit || state_ == State::Insert) return;
    if (readOnly_ || !updatable_) throw DbError(objectName() + QStringLiteral(": Cannot modify a read-only dataset"));
    if (cur_ < 0) { append(); return; }
    loadBuffer();
    state_ = State::Edit;
    emit stateChanged();
}

void Dataset::append()
{
    if (!active()) throw DbError(objectName() + QStringLiteral(": Dataset not open"));
    if (readOnly_ || !updatable_) throw DbError(objectName() + QStringLiteral(": Cannot modify a read-only dataset"));
    if (state_ == State::Edit || state_ == State::Insert) post();
    // The new row sits at the end, as the current row. In a list with an order
    // of its own the stored rows' places are taken first: once written, the new
    // row sorts among them in the table.
    if (!orderTerms_.isEmpty()) readAllRowids();
    if (lazy_) dropBlock();
    else
        for (auto& c : cols_) { c.payload.push_back(0); c.tag.push_back(TagNull); }
    rowids_.push_back(kNoRow);
    cur_ = recordCount() - 1;
    buf_.assign(fields_.size(), QVariant());
    modified_.assign(fields_.size(), false);
    state_ = State::Insert;
    bof_ = eof_ = false;
    emit rowInserted(cur_);
    emit currentChanged(cur_);
    emit stateChanged();
}

QVariant Dataset::toStorage(const Field& f, const QVariant& v) const
{
    if (!v.isValid() || v.isNull()) return QVariant();
    switch (f.type) {
    case FieldType::Bool:
        if (v.typeId() == QMetaType::QString) {
            QString s = v.toString().trimmed().toLower();
            return QVariant(qlonglong(s == "1" || s == "true" || s == "-1" ? 1 : 0));
        }
        return QVariant(qlonglong(v.toBool() ? 1 : 0));
    case FieldType::Float:
        if (v.typeId() == QMetaType::QString) return QVariant(parseNumber(v.toString()));
        if (!std::isfinite(v.toDouble()))
            throw ConversionError(QStringLiteral("'%1' is not a valid floating point value").arg(v.toString()));
        return QVariant(v.toDouble());
    case FieldType::Integer:
        if (v.typeId() == QMetaType::QString) return QVariant(qlonglong(parseWholeNumber(v.toString())));
        if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float)
            return QVariant(qlonglong(parseWholeNumber(QString::number(v.toDouble(), 'g', 17))));
        return QVariant(v.toLongLong());
    case FieldType::DateTime:
        if (v.typeId() == QMetaType::QDate) return QVariant(toDbDate(v.toDate()));
        if (v.typeId() == QMetaType::QDateTime) return QVariant(toDbDateTime(v.toDateTime()));
        return QVariant(v.toString());
    default:
        return QVariant(wholeCharacters(v.toString()));
    }
}

void Dataset::setValue(const QString& fieldName, const QVariant& v)
{
    Field* f = fieldByName(fieldName);
    if (state_ == State::Browse) edit();
    if (state_ != State::Edit && state_ != State::Insert)
        throw DbError(objectName() + QStringLiteral(": Dataset not in edit or insert mode"));
    buf_[size_t(f->index)] = toStorage(*f, v);
    modified_[size_t(f->index)] = true;
    emit rowChanged(cur_);
}

void Dataset::setText(const QString& fieldName, const QString& text)
{
    Field* f = fieldByName(fieldName);
    if (f->onSetText) { f->onSetText(*this, *f, text); return; }
    switch (f->type) {
    case FieldType::Float:
    case FieldType::Integer:
        if (text.trimmed().isEmpty()) setValue(fieldName, QVariant());
        else if (f->type == FieldType::Integer) setValue(fieldName, qlonglong(parseWholeNumber(text)));
        else setValue(fieldName, parseNumber(text));
        break;
    case FieldType::DateTime: {
        if (isBlankDateText(text)) { setValue(fieldName, QVariant()); break; }
        QDate d = parseDate(text);
        if (!d.isValid()) throw ConversionError(QStringLiteral("'%1' is not a valid date").arg(text));
        setValue(fieldName, d);
        break;
    }
    case FieldType::Bool:
        setValue(fieldName, text.trimmed() == f->trueText || text.trimmed() == "1" || text.trimmed().compare("true", Qt::CaseInsensitive) == 0);
        break;
    default:
        setValue(fieldName, text);
    }
}

bool Dataset::refreshRowFromTable(int row)
{
    QStringList names;
    for (auto& f : fields_) names << f->name;
    Statement st(conn_->handle(), QStringLiteral("SELECT %1 FROM %2 WHERE rowid=:r").arg(names.join(','), table_));
    st.bind("r", rowidOf(row));
    if (!st.step()) return false;
    for (size_t i = 0; i < fields_.size(); ++i) storeCell(row, int(i), st.value(int(i)));
    return true;
}

void Dataset::post()
{
    if (state_ != State::Edit && state_ != State::Insert) return;
    // A check before the write reads what the write depends on: both go in
    // one transaction, so that what the check found still holds when the row
    // is written. The row in memory changes only once the write is committed.
    std::optional<Transaction> t;
    if (beforePost) {
        t.emplace(*conn_);
        beforePost(*this);
    }
    if (state_ == State::Insert) {
        QStringList cols, marks;
        Params ps;
        for (size_t i = 0; i < fields_.size(); ++i) {
            if (!modified_[i]) continue;
            cols << fields_[i]->name;
            marks << QStringLiteral(":c%1").arg(i);
            ps.append({QStringLiteral("c%1").arg(i), buf_[i]});
        }
        QString sql = cols.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table_)
                                     : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(table_, cols.join(','), marks.join(','));
        conn_->exec(sql, ps);
        const qint64 rowid = conn_->lastInsertRowid();
        if (t) t->commit();
        rowids_[size_t(cur_)] = rowid;
        if (paged_) keepAppended(cur_);
        state_ = State::Browse;
        refreshRowFromTable(cur_);
    } else {
        QStringList sets;
        Params ps;
        for (size_t i = 0; i < fields_.size(); ++i) {
            if (!modified_[i]) continue;
            sets << QStringLiteral("%1=:c%2").arg(fields_[i]->name).arg(i);
            ps.append({QStringLiteral("c%1").arg(i), buf_[i]});
        }
        if (!sets.isEmpty()) {
            // A row moved in the list's order keeps its place until the list is read again.
            for (size_t i = 0; i < fields_.size(); ++i)
                if (modified_[i] && ordersBy(fields_[i]->name) && buf_[i] != cell(cur_, int(i))) readAllRowids();
            ps.append({QStringLiteral("rid"), rowidOf(cur_)});
            conn_->exec(QStringLiteral("UPDATE %1 SET %2 WHERE rowid=:rid").arg(table_, sets.join(',')), ps);
            if (t) t->commit();
            for (size_t i = 0; i < fields_.size(); ++i)
                if (modified_[i]) storeCell(cur_, int(i), buf_[i]);
        }
        state_ = State::Browse;
    }
    buf_.clear();
    modified_.clear();
    emit rowChanged(cur_);
    emit stateChanged();
}

void Dataset::cancel()
{
    if (state_ == State::Insert) {
        state_ = State::Browse;
        dropRow(cur_);
    } else if (state_ == State::Edit) {
        state_ = State::Browse;
        emit rowChanged(cur_);
    }
    buf_.clear();
    modified_.clear();
    emit stateChanged();
}

void Dataset::remove()
{
    if (!active()) throw DbError(objectName() + QStringLiteral(": Dataset not open"));
    if (state_ == State::Insert) { cancel(); return; }
    if (cur_ < 0) throw DbError(objectName() + QStringLiteral(": Cannot perform this operation on an empty dataset"));
    if (readOnly_ || !updatable_) throw DbError(objectName() + QStringLiteral(": Cannot modify a read-only dataset"));
    if (state_ == State::Edit) cancel();
    if (beforeDelete) beforeDelete(*this);
    int row = cur_;
    conn_->exec(QStringLiteral("DELETE FROM %1 WHERE rowid=:rid").arg(table_), {{"rid", rowidOf(row)}});
    dropRow(row);
}

void Dataset::dropRow(int row)
{
    if (paged_) forgetRow(row);
    if (lazy_) dropBlock();
    else
        for (auto& c : cols_) { c.payload.erase(size_t(row)); c.tag.erase(size_t(row)); }
    rowids_.erase(size_t(row));
    cur_ = std::min(cur_ > row ? cur_ - 1 : cur_, recordCount() - 1);
    eof_ = isEmpty();
    emit rowRemoved(row);
    emit currentChanged(cur_);
}

void Dataset::refreshRow(int row)
{
    if (!active()) return;
    if (state_ == State::Insert || state_ == State::Edit) {
        cancel();
        return;
    }
    if (row < 0 || row >= recordCount()) return;
    if (!updatable_) {
        requery();
        return;
    }
    if (!refreshRowFromTable(row)) {
        dropRow(row);
        return;
    }
    emit rowChanged(row);
}

bool Dataset::refreshStoredRow(const QString& keyField, const QVariant& key)
{
    if (!active() || !updatable_ || state_ != State::Browse) return false;
    const QVariant rowid =
        conn_->scalar(QStringLiteral("SELECT rowid FROM %1 WHERE %2=:k LIMIT 1").arg(table_, keyField), {{QStringLiteral("k"), key}});
    if (!rowid.isValid() || rowid.isNull()) return false;
    const int row = rowOfRowid(rowid.toLongLong());
    if (row < 0) return false;
    refreshRow(row);
    if (row < recordCount() && rowidOf(row) == rowid.toLongLong()) moveTo(row);
    return true;
}

bool writeInTransaction(Dataset& ds, const std::function<bool()>& write)
{
    Transaction t(*ds.connection());
    bool done = false;
    try {
        done = write();
        if (done) t.commit();
    } catch (...) {
        t.rollback();
        try { ds.resync(); } catch (...) {}
        throw;
    }
    if (!done) {
        t.rollback();
        ds.resync();
    }
    return done;
}

}
