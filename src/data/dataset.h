#pragma once
// A dataset: SQL text that windows replace, named parameters, rows held in
// memory with their rowid, a current row, fields with label, display format
// and width, and Edit/Append/Post/Cancel/Delete written through to the table.
#include "data/connection.h"
#include <QObject>
#include <QString>
#include <QVariant>
#include <QDateTime>
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace qm {

namespace detail {
struct Place;
struct PageRuns;

// A growable array of plain values on malloc/realloc: large blocks grow in
// place (the C library remaps them) instead of being copied at each doubling.
template <typename T>
class PodBuffer {
public:
    PodBuffer() = default;
    PodBuffer(const PodBuffer&) = delete;
    PodBuffer& operator=(const PodBuffer&) = delete;
    PodBuffer(PodBuffer&& o) noexcept : p_(o.p_), n_(o.n_), cap_(o.cap_) { o.p_ = nullptr; o.n_ = o.cap_ = 0; }
    PodBuffer& operator=(PodBuffer&& o) noexcept
    {
        if (this != &o) { std::free(p_); p_ = o.p_; n_ = o.n_; cap_ = o.cap_; o.p_ = nullptr; o.n_ = o.cap_ = 0; }
        return *this;
    }
    ~PodBuffer() { std::free(p_); }

    size_t size() const { return n_; }
    bool empty() const { return n_ == 0; }
    T* begin() { return p_; }
    T* end() { return p_ + n_; }
    const T* begin() const { return p_; }
    const T* end() const { return p_ + n_; }
    T* data() { return p_; }
    const T* data() const { return p_; }
    T& operator[](size_t i) { return p_[i]; }
    const T& operator[](size_t i) const { return p_[i]; }
    void push_back(T v)
    {
        if (n_ == cap_) grow(n_ + 1);
        p_[n_++] = v;
    }
    void append(const T* v, size_t count)
    {
        if (n_ + count > cap_) grow(n_ + count);
        if (count) std::memcpy(p_ + n_, v, count * sizeof(T));
        n_ += count;
    }
    void erase(size_t i)
    {
        std::memmove(p_ + i, p_ + i + 1, (n_ - i - 1) * sizeof(T));
        --n_;
    }
    void clear() { n_ = 0; }
    void release() { std::free(p_); p_ = nullptr; n_ = cap_ = 0; }
    // `count` zero values. A large block comes from the system already zero and
    // is not touched: its pages cost nothing until they are written.
    void assignZeros(size_t count)
    {
        release();
        if (count == 0) return;
        p_ = static_cast<T*>(std::calloc(count, sizeof(T)));
        if (!p_) throw std::bad_alloc();
        n_ = cap_ = count;
    }
    void assign(const T* from, const T* to)
    {
        clear();
        append(from, size_t(to - from));
    }

private:
    void grow(size_t need)
    {
        size_t cap = std::max<size_t>({need, cap_ * 2, 64});
        T* p = static_cast<T*>(std::realloc(p_, cap * sizeof(T)));
        if (!p) throw std::bad_alloc();
        p_ = p;
        cap_ = cap;
    }
    T* p_ = nullptr;
    size_t n_ = 0, cap_ = 0;
};
}

enum class FieldType { Text, Float, Integer, Bool, DateTime, Memo };

struct FieldDef {
    QString name;
    FieldType type = FieldType::Text;
    int size = 0;           // characters, for text fields
    QString label;          // grid heading; empty means the name
    QString displayFormat;  // number pattern, or date pattern in Qt notation
    bool visible = true;
    int displayWidth = 0;   // characters; 0 means from size
};

class Dataset;

class Field {
public:
    QString name;
    FieldType type = FieldType::Text;
    int size = 0;
    QString label;
    QString displayFormat;
    bool visible = true;
    int displayWidth = 0;
    bool readOnly = false;
    QString trueText = QStringLiteral("True");
    QString falseText = QStringLiteral("False");
    int index = -1; // position among the dataset's fields
    // Set-text handler: replaces the default conversion of typed text.
    std::function<void(Dataset&, Field&, const QString&)> onSetText;

    QString displayLabel() const { return label.isEmpty() ? name : label; }
};

class Dataset : public QObject {
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Edit, Insert };

    Dataset(Connection* conn, const QString& name, QObject* parent = nullptr);
    ~Dataset() override;

    QString name() const { return objectName(); }
    Connection* connection() const { return conn_; }
    void setConnection(Connection* c);

    // SQL text. Replacing it closes the dataset and clears the parameters' values.
    void setSql(const QString& sql);
    QString sql() const { return sql_; }
    // A table dataset: "SELECT * FROM table".
    void setTable(const QString& table);
    void setParam(const QString& name, const QVariant& value);
    void clearParams() { params_.clear(); }
    // Closes, takes the SQL text and the parameters' values, and opens.
    void reopen(const QString& sql, const Params& params = {});
    const Params& params() const { return params_; }

    // Persistent fields: when given, opening fails with a field-not-found
    // DbError if the result lacks one, and only these fields are exposed.
    void setPersistentFields(const std::vector<FieldDef>& defs);
    bool hasPersistentFields() const { return !persistent_.empty(); }
    // Design-time settings by field name, kept across re-opens.
    FieldDef* persistentField(const QString& name);

    void open();
    void close();
    // Closes and opens again, keeping the current row number where possible.
    void requery();
    bool active() const { return state_ != State::Inactive; }
    State state() const { return state_; }
    bool readOnly() const { return readOnly_; }
    void setReadOnly(bool r) { readOnly_ = r; }
    // Rows fetched as they are needed: opening reads only the rows' rowids, in
    // the order of the SQL (a query without ORDER BY lists its table in rowid
    // order), and values are read from the table a block of rows at a time, so
    // that a list of half a million headers opens at once in little memory.
    // Takes effect at the next open; queries that are not over one table are
    // always read whole.
    void setFetchOnDemand(bool on) { onDemand_ = on; }
    bool fetchOnDemand() const { return onDemand_; }
    // With rows fetched on demand: a query over a whole table (no WHERE, no
    // LIMIT), in table order or ordered by one column that an index gives,
    // opens on one count of its rows, and its rowids are read a block at a
    // time as the rows are needed, by key: a block after the last row of the
    // block before it, or from the far end before the first row of the block
    // after it. Opening and the first and last screens then cost about the
    // same whatever the number of rows, and a row another program adds or
    // deletes meanwhile is never shown twice nor left out between two blocks.
    // The count stays as it was at opening until the query is opened again: a
    // row added inside a block already read, or beyond the count, waits for
    // that; a row deleted reads as empty (at the end of the list when its
    // block was not read yet). Rows that moved where the blocks met are told
    // to the views by rowsReplaced. A query with a condition reads the rowids
    // of the rows it finds at opening, found through the condition's own index
    // and then ordered, so that a search costs what it finds and not the
    // length of the table. Other queries read their rowids at opening, as
    // above; so does any query once a row is appended to it in an order of
    // its own, an edit moves a row in its order, or a row is looked up
    // (locate; rowOfRowid of a row not read yet). Takes effect at the next open.
    void setRowidsByPage(bool on) { byPage_ = on; }
    // The row holding `rowid`, or -1.
    int rowOfRowid(qint64 rowid) const;
    // The table that edits are written to; empty when the SQL is not updatable.
    QString updateTable() const { return table_; }

    // Fields of the open dataset (or the persistent ones when closed).
    int fieldCount() const { return int(fields_.size()); }
    Field* field(int i) { return fields_[size_t(i)].get(); }
    const Field* field(int i) const { return fields_[size_t(i)].get(); }
    Field* findField(const QString& name) const;
    // Throws DbError "Field 'x' not found".
    Field* fieldByName(const QString& name) const;
    int fieldIndex(const QString& name) const;

    // Navigation.
    int recordCount() const { return int(rowids_.size()); }
    bool isEmpty() const { return rowids_.empty(); }
    int recNo() const { return cur_; } // 0-based, -1 when empty
    bool bof() const { return bof_; }
    bool eof() const { return eof_; }
    void first();
    void last();
    void next();
    void prior();
    void moveTo(int row);
    // Finds the first row whose field equals value (texts: case-insensitively;
    // partial: the text starts with value). Moves there and returns true.
    bool locate(const QString& field, const QVariant& value, bool partial = false);

    // Values of the current row (the edit buffer while editing).
    QVariant value(const QString& field) const;
    QVariant value(int fieldIndex) const;
    QString asString(const QString& field) const;
    double asFloat(const QString& field) const; // null counts as 0
    qint64 asInt(const QString& field) const;
    bool asBool(const QString& field) const;
    QDateTime asDateTime(const QString& field) const; // invalid when null
    bool isNull(const QString& field) const;
    // Value of any row without moving.
    QVariant valueAt(int row, int fieldIndex) const;
    qint64 rowidAt(int row) const { return rowidOf(row); }
    qint64 rowid() const { return cur_ >= 0 ? rowidOf(cur_) : 0; }

    // Display text of a value through its field's format.
    QString displayText(int row, int fieldIndex) const;
    QString displayText(const QString& field) const;
    static QString formatValue(const Field& f, const QVariant& v);

    // Editing. setValue enters Edit from Browse by itself.
    void edit();
    void append();
    void setValue(const QString& field, const QVariant& v);
    // Typed text, through the field's set-text handler or the default conversion.
    // Throws ConversionError for a text that is not a number or date.
    void setText(const QString& field, const QString& text);
    void post();
    void cancel();
    // Runs the before-delete handler (it may throw SilentStop), then deletes.
    void remove();
    // After a rollback: reads the row again from the table; a row that is no
    // longer stored leaves the dataset. A row still being edited or inserted
    // is cancelled instead.
    void refreshRow(int row);
    // After a failed write: the current row is brought in step with the
    // table, as refreshRow does. Call it once the transaction has rolled back.
    void resync() { refreshRow(cur_); }
    // Reads again the one stored row of the update table whose `keyField`
    // equals `key` and makes it current, without reading the other rows.
    // False (nothing done) when the dataset does not hold that row, or the
    // table no longer has it: the caller then reads the dataset again.
    bool refreshStoredRow(const QString& keyField, const QVariant& key);

    // Handlers.
    std::function<void(Dataset&)> beforeDelete;
    std::function<void(Dataset&)> beforePost;

    // Tells views that display formats or labels changed.
    void notifyFieldsChanged() { emit fieldsChanged(); }

signals:
    void opened();
    void closed();
    void currentChanged(int row);
    void rowChanged(int row);
    void rowInserted(int row);
    void rowRemoved(int row);
    // The rows first..last now hold other rows of the table (another
    // program's change found while reading): views show them anew.
    void rowsReplaced(int first, int last);
    void fieldsChanged();
    void stateChanged();

private:
    struct Column {
        detail::PodBuffer<quint64> payload;
        detail::PodBuffer<quint8> tag; // 0 null, 1 integer, 2 real, 3 text, 4 long text
    };
    void buildFields(class Statement& st, std::vector<int>& srcIndex);
    QVariant cell(int row, int col) const;
    void storeCell(int row, int col, const QVariant& v);
    void appendCellRaw(Column& c, class Statement& st, int src) const;
    void loadBuffer();
    void setCurrent(int row);
    void detectTable();
    QString selectSql() const;
    // Reads `row` again from the table; false when it is no longer stored.
    bool refreshRowFromTable(int row);
    QVariant toStorage(const Field& f, const QVariant& v) const;
    bool lazy() const { return lazy_; }
    // On-demand rows: makes `row` one of the rows held in cols_ and returns its slot there.
    size_t slotOf(int row) const;
    void loadBlock(int row) const;
    void dropBlock() const { blockRows_ = 0; }
    QString rowidSql() const;
    // Rowids read by key (datasetpaging.cpp).
    void detectPaging(const QString& base, const QString& rest);
    bool pagesAlongIndex() const;
    // The rowids of a query with a condition, found through the condition's index and then ordered.
    QString foundRowidsSql() const;
    qint64 rowidOf(int row) const;
    void ensureRowids(int from, int to) const;
    void extendHead(int end) const;
    void extendTail(int start) const;
    void dropTail() const;
    std::vector<qint64> readRowids(const detail::Place* after, bool backwards, int n) const;
    detail::Place placeOf(qint64 rowid) const;
    int placesBefore(const std::vector<qint64>& read, const detail::Place& bound, bool backwards) const;
    bool comesBefore(qint64 rowid, const detail::Place& bound, bool backwards) const;
    int knownRowOf(qint64 rowid) const;
    // A row appended in table order and stored: the last row of the order.
    void keepAppended(int row) const;
    // A row leaving the list: the rows after it move up one place.
    void forgetRow(int row) const;
    // Every rowid at once; the rows are then held as any on-demand result's.
    void readAllRowids() const;
    bool ordersBy(const QString& field) const;
    quint64 packText(const char* text, size_t len, quint8& tag) const;
    void dropRow(int row); // from memory only

    Connection* conn_;
    QString sql_;
    QString table_;
    bool updatable_ = false;
    Params params_;
    std::vector<FieldDef> persistent_;
    std::vector<std::unique_ptr<Field>> fields_;
    // Whole results hold every row here; on-demand results one block of rows,
    // from row blockStart_ on.
    mutable std::vector<Column> cols_;
    // Rowids read by key are held only where a block is read (kNoRow: a row
    // not stored); elsewhere they are 0, not read yet.
    mutable detail::PodBuffer<qint64> rowids_;
    mutable detail::PodBuffer<char> arena_;
    mutable std::vector<QByteArray> longTexts_; // texts too long to pack into one word
    bool onDemand_ = false;
    bool lazy_ = false;
    QString fromClause_; // " from table where ...", for the rowid query
    bool ordered_ = false;
    QString selectList_;   // the SQL's select list, which on-demand rows are read with
    std::vector<int> blockSrc_; // each field's column in a row read with it
    bool byPage_ = false;
    mutable bool paged_ = false;  // this result's rowids are read by key
    bool pageable_ = false;       // the SQL is a whole table, in table order or along one column
    QString baseClause_;          // " from table", before the condition and the order
    QString condition_;           // "where ...", empty when none
    QString orderTerms_;          // the ORDER BY terms as written; empty: table order
    QString pageColumn_;          // the one term read by key, without its direction; empty: rowid
    bool pageDown_ = false;       // that term descends
    mutable std::unique_ptr<detail::PageRuns> runs_;
    mutable int blockStart_ = 0;
    mutable int blockRows_ = 0;
    int cur_ = -1;
    bool bof_ = true, eof_ = true;
    State state_ = State::Inactive;
    bool readOnly_ = false;
    std::vector<QVariant> buf_;
    std::vector<bool> modified_;
};

// Runs `write`, which edits or appends rows of `ds` and posts them, in one
// transaction on `ds`'s connection. `write` returns false to refuse (a check
// made inside the transaction failed): nothing is stored. After a refusal or
// a failure the transaction is rolled back first, then the current row of
// `ds` is brought in step with the table (a pending row cancelled, a posted
// one read again or dropped); a failure is then rethrown. No dialog may open
// inside `write`. Returns whether the write was committed.
bool writeInTransaction(Dataset& ds, const std::function<bool()>& write);

}
