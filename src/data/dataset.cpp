#include "data/dataset.h"
#include "data/dataset_p.h"
#include "common/errors.h"
#include "common/formats.h"
#include <QRegularExpression>
#include <sqlite3.h>
#include <cmath>
#include <cstring>
#include <malloc.h>

namespace qm {

using namespace detail;

namespace {
// Row storage of a large list lives in big blocks. A fixed mmap threshold
// hands them back to the system when a dataset closes; the allocator's
// self-adjusting threshold would otherwise keep them in the heap and a
// re-opened list of 100,000 products would need the memory twice.
const int g_mmapThresholdFixed = mallopt(M_MMAP_THRESHOLD, 128 * 1024);

// A text cell packs its offset and length into one word; texts of this many
// bytes or more are kept whole on their own.
constexpr quint64 kPackedLengthLimit = 0xFFFFFF;

// Rows read at a time by an on-demand dataset: a screen of a grid where it is
// first shown or moved to, growing to a few screens while rows are read on in
// order (a grid scrolling, a print).
constexpr int kFirstBlockRows = 64;
constexpr int kBlockRows = 256;

FieldType typeFromDecl(const char* decl)
{
    if (!decl) return FieldType::Text;
    QByteArray d = QByteArray(decl).toUpper();
    if (d.contains("BOOL")) return FieldType::Bool;
    if (d.contains("DATE") || d.contains("TIME")) return FieldType::DateTime;
    if (d.contains("INT")) return FieldType::Integer;
    if (d.contains("REAL") || d.contains("FLOA") || d.contains("DOUB") || d.contains("NUMERIC")) return FieldType::Float;
    if (d.contains("MEMO")) return FieldType::Memo;
    return FieldType::Text;
}
}

Dataset::Dataset(Connection* conn, const QString& name, QObject* parent) : QObject(parent), conn_(conn)
{
    setObjectName(name);
}

Dataset::~Dataset()
{
    if (conn_) conn_->detach(this);
}

void Dataset::setConnection(Connection* c)
{
    close();
    conn_ = c;
}

void Dataset::setSql(const QString& sql)
{
    close();
    sql_ = sql;
    params_.clear();
    detectTable();
}

void Dataset::setTable(const QString& table) { setSql(QStringLiteral("SELECT * FROM ") + table); }

void Dataset::setParam(const QString& name, const QVariant& value)
{
    QString n = name.startsWith(':') ? name.mid(1) : name;
    for (auto& p : params_)
        if (p.first == n) { p.second = value; return; }
    params_.append({n, value});
}

void Dataset::reopen(const QString& sql, const Params& params)
{
    setSql(sql);
    for (const auto& p : params) setParam(p.first, p.second);
    open();
}

void Dataset::setPersistentFields(const std::vector<FieldDef>& defs)
{
    close();
    persistent_ = defs;
    fields_.clear();
    for (const auto& d : persistent_) {
        auto f = std::make_unique<Field>();
        f->name = d.name; f->type = d.type; f->size = d.size; f->label = d.label;
        f->displayFormat = d.displayFormat; f->visible = d.visible; f->displayWidth = d.displayWidth;
        f->index = int(fields_.size());
        fields_.push_back(std::move(f));
    }
}

FieldDef* Dataset::persistentField(const QString& name)
{
    for (auto& d : persistent_)
        if (d.name.compare(name, Qt::CaseInsensitive) == 0) return &d;
    return nullptr;
}

void Dataset::detectTable()
{
    // Updatable when the text reads "select <list> from <one table> [where|order ...]".
    static const QRegularExpression re(
        QStringLiteral("^\\s*select\\s+(.+?)\\s+from\\s+\\[?([A-Za-z_][A-Za-z0-9_]*)\\]?\\s*(?:(?:as\\s+)?([A-Za-z_][A-Za-z0-9_]*))?\\s*(where\\b.*|order\\b.*|limit\\b.*)?$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    table_.clear();
    fromClause_.clear();
    selectList_.clear();
    ordered_ = false;
    updatable_ = false;
    detectPaging(QString(), QString());
    auto m = re.match(sql_);
    if (!m.hasMatch()) return;
    QString list = m.captured(1).trimmed();
    QString alias = m.captured(3);
    static const QStringList keywords = {"where", "order", "group", "limit", "join", "left", "inner", "union"};
    if (!alias.isEmpty() && keywords.contains(alias.toLower())) return;
    if (list.startsWith(QStringLiteral("distinct"), Qt::CaseInsensitive)) return;
    QString rest = m.captured(4);
    if (rest.contains(QRegularExpression(QStringLiteral("\\b(group\\s+by|union|join)\\b"), QRegularExpression::CaseInsensitiveOption))) return;
    if (list.contains(QRegularExpression(QStringLiteral("\\b(sum|count|max|min|avg)\\s*\\("), QRegularExpression::CaseInsensitiveOption))) return;
    table_ = m.captured(2);
    updatable_ = true;
    selectList_ = list;
    fromClause_ = sql_.mid(m.capturedEnd(1));
    static const QRegularExpression orderBy(QStringLiteral("\\border\\s+by\\b"), QRegularExpression::CaseInsensitiveOption);
    ordered_ = rest.contains(orderBy);
    const int restAt = m.capturedStart(4) < 0 ? int(sql_.size()) : int(m.capturedStart(4));
    detectPaging(sql_.mid(m.capturedEnd(1), restAt - m.capturedEnd(1)), rest);
}

QString Dataset::rowidSql() const { return QStringLiteral("SELECT rowid") + fromClause_; }

QString Dataset::selectSql() const
{
    if (!updatable_) return sql_;
    static const QRegularExpression sel(QStringLiteral("^\\s*select\\s+"), QRegularExpression::CaseInsensitiveOption);
    QString s = sql_;
    auto m = sel.match(s);
    return s.replace(0, m.capturedLength(), QStringLiteral("SELECT rowid AS __rowid__, "));
}

void Dataset::buildFields(Statement& st, std::vector<int>& srcIndex)
{
    int n = st.columnCount();
    int first = updatable_ ? 1 : 0;
    srcIndex.clear();
    if (!persistent_.empty()) {
        for (auto& f : fields_) {
            int found = -1;
            for (int i = first; i < n; ++i)
                if (st.columnName(i).compare(f->name, Qt::CaseInsensitive) == 0) { found = i; break; }
            if (found < 0)
                throw DbError(QStringLiteral("%1: Field '%2' not found").arg(objectName(), f->name));
            srcIndex.push_back(found);
        }
        return;
    }
    fields_.clear();
    for (int i = first; i < n; ++i) {
        auto f = std::make_unique<Field>();
        f->name = st.columnName(i);
        f->type = typeFromDecl(sqlite3_column_decltype(st.handle(), i));
        f->index = int(fields_.size());
        fields_.push_back(std::move(f));
        srcIndex.push_back(i);
    }
}

void Dataset::appendCellRaw(Column& c, Statement& st, int src) const
{
    sqlite3_stmt* h = st.handle();
    switch (sqlite3_column_type(h, src)) {
    case SQLITE_INTEGER: {
        qint64 v = sqlite3_column_int64(h, src);
        quint64 p; std::memcpy(&p, &v, 8);
        c.payload.push_back(p); c.tag.push_back(TagInt);
        break;
    }
    case SQLITE_FLOAT: {
        double v = sqlite3_column_double(h, src);
        quint64 p; std::memcpy(&p, &v, 8);
        c.payload.push_back(p); c.tag.push_back(TagReal);
        break;
    }
    case SQLITE_NULL:
        c.payload.push_back(0); c.tag.push_back(TagNull);
        break;
    default: {
        const char* t = reinterpret_cast<const char*>(sqlite3_column_text(h, src));
        int len = sqlite3_column_bytes(h, src);
        quint8 tag;
        c.payload.push_back(packText(t, size_t(len), tag));
        c.tag.push_back(tag);
    }
    }
}

quint64 Dataset::packText(const char* text, size_t len, quint8& tag) const
{
    if (len >= kPackedLengthLimit) {
        tag = TagLongText;
        longTexts_.emplace_back(text, qsizetype(len));
        return longTexts_.size() - 1;
    }
    tag = TagText;
    quint64 off = arena_.size();
    arena_.append(text, len);
    return (off << 24) | quint64(len);
}

void Dataset::open()
{
    if (active()) return;
    if (!conn_ || !conn_->isOpen()) throw DbError(objectName() + QStringLiteral(": 数据库未连接"));
    if (sql_.trimmed().isEmpty()) throw DbError(objectName() + QStringLiteral(": SQL 为空"));
    // A list read on demand opens the same few texts again and again, a
    // search at every key: their statements are kept for the next opening.
    const bool onDemand = onDemand_ && updatable_;
    auto statement = [this, onDemand](const QString& sql) {
        return onDemand ? std::make_unique<Statement>(*conn_, sql) : std::make_unique<Statement>(conn_->handle(), sql);
    };
    const std::unique_ptr<Statement> full = statement(selectSql());
    Statement& st = *full;
    st.bind(params_);
    std::vector<int> src;
    buildFields(st, src);
    cols_.clear();
    cols_.resize(fields_.size());
    rowids_.clear();
    arena_.clear();
    longTexts_.clear();
    dropBlock();
    lazy_ = onDemand;
    paged_ = lazy_ && byPage_ && pageable_ && pagesAlongIndex();
    if (lazy_) {
        // Rows are read later with the SQL's own select list, without the rowid in front.
        blockSrc_.clear();
        for (int i : src) blockSrc_.push_back(i - 1);
        // Only the rowids now, or only their count; the prepared full query gave the fields.
        if (paged_) {
            const auto count = statement(QStringLiteral("SELECT count(*)") + baseClause_);
            const int n = count->step() ? int(sqlite3_column_int64(count->handle(), 0)) : 0;
            rowids_.assignZeros(size_t(n));
            runs_ = std::make_unique<PageRuns>();
            runs_->count = runs_->tail = n;
        } else if (ordered_) {
            const bool found = byPage_ && !condition_.isEmpty() && selectList_ == QLatin1String("*");
            const auto ids = statement(found ? foundRowidsSql() : rowidSql());
            ids->bind(params_);
            sqlite3_stmt* h = ids->handle();
            while (ids->step()) rowids_.push_back(sqlite3_column_int64(h, 0));
        } else {
            // All rowids in one step. The planner may read them from any index;
            // without ORDER BY the rows come in table order, as a whole read gives them.
            Statement ids(conn_->handle(), QStringLiteral("SELECT rowids(rowid)") + fromClause_);
            ids.bind(params_);
            if (ids.step()) {
                sqlite3_stmt* h = ids.handle();
                const auto* p = static_cast<const qint64*>(sqlite3_column_blob(h, 0));
                const size_t n = size_t(sqlite3_column_bytes(h, 0)) / sizeof(qint64);
                if (p) rowids_.assign(p, p + n);
            }
            if (!std::is_sorted(rowids_.begin(), rowids_.end())) std::sort(rowids_.begin(), rowids_.end());
        }
    } else {
        sqlite3_stmt* h = st.handle();
        while (st.step()) {
            rowids_.push_back(updatable_ ? sqlite3_column_int64(h, 0) : qint64(rowids_.size()));
            for (size_t i = 0; i < src.size(); ++i) appendCellRaw(cols_[i], st, src[i]);
        }
    }
    state_ = State::Browse;
    conn_->attach(this);
    cur_ = rowids_.empty() ? -1 : 0;
    bof_ = true;
    eof_ = rowids_.empty();
    emit opened();
    emit currentChanged(cur_);
}

void Dataset::close()
{
    if (state_ == State::Inactive) return;
    state_ = State::Inactive;
    cols_.clear();
    rowids_.release();
    paged_ = false;
    runs_.reset();
    arena_.release();
    longTexts_.clear();
    dropBlock();
    buf_.clear();
    modified_.clear();
    cur_ = -1;
    bof_ = eof_ = true;
    if (conn_) conn_->detach(this);
    emit closed();
}

void Dataset::requery()
{
    int keep = cur_;
    close();
    open();
    if (keep >= 0 && !isEmpty()) moveTo(std::min(keep, recordCount() - 1));
}

Field* Dataset::findField(const QString& name) const
{
    for (auto& f : fields_)
        if (f->name.compare(name, Qt::CaseInsensitive) == 0) return f.get();
    return nullptr;
}

Field* Dataset::fieldByName(const QString& name) const
{
    Field* f = findField(name);
    if (!f) throw DbError(QStringLiteral("%1: Field '%2' not found").arg(objectName(), name));
    return f;
}

int Dataset::fieldIndex(const QString& name) const
{
    Field* f = findField(name);
    return f ? f->index : -1;
}

// ------------------------------------------------------------- navigation

void Dataset::setCurrent(int row)
{
    if (state_ == State::Edit || state_ == State::Insert) post();
    if (row != cur_) {
        cur_ = row;
        emit currentChanged(cur_);
    }
}

void Dataset::first()
{
    if (!active()) return;
    setCurrent(isEmpty() ? -1 : 0);
    bof_ = true;
    eof_ = isEmpty();
}

void Dataset::last()
{
    if (!active()) return;
    setCurrent(recordCount() - 1);
    eof_ = true;
    bof_ = isEmpty();
}

void Dataset::next()
{
    if (!active()) return;
    if (cur_ + 1 < recordCount()) { setCurrent(cur_ + 1); bof_ = false; eof_ = false; }
    else { if (state_ != State::Browse) post(); eof_ = true; }
}

void Dataset::prior()
{
    if (!active()) return;
    if (cur_ > 0) { setCurrent(cur_ - 1); bof_ = false; eof_ = false; }
    else { if (state_ != State::Browse) post(); bof_ = true; }
}

void Dataset::moveTo(int row)
{
    if (!active() || row < 0 || row >= recordCount()) return;
    setCurrent(row);
    bof_ = eof_ = false;
}

bool Dataset::locate(const QString& fieldName, const QVariant& value, bool partial)
{
    if (!active()) return false;
    Field* f = fieldByName(fieldName);
    QString want = value.toString();
    if (lazy_) {
        // The table finds the rows; the first of them in this dataset's order wins.
        readAllRowids();
        const bool number = f->type == FieldType::Float || f->type == FieldType::Integer;
        const QString cond = number ? QStringLiteral("%1=:v")
                           : partial ? QStringLiteral("substr(%1,1,length(:v))=:v COLLATE NOCASE")
                                     : QStringLiteral("%1=:v COLLATE NOCASE");
        Statement st(conn_->handle(), QStringLiteral("SELECT rowid FROM %1 WHERE ").arg(table_) + cond.arg(f->name));
        st.bind("v", number ? QVariant(value.toDouble()) : QVariant(want));
        std::vector<qint64> hits;
        while (st.step()) hits.push_back(sqlite3_column_int64(st.handle(), 0));
        if (hits.empty()) return false;
        std::sort(hits.begin(), hits.end());
        for (int r = 0; r < recordCount(); ++r)
            if (std::binary_search(hits.begin(), hits.end(), rowids_[size_t(r)])) { moveTo(r); return true; }
        return false;
    }
    for (int r = 0; r < recordCount(); ++r) {
        QVariant v = cell(r, f->index);
        bool hit;
        if (f->type == FieldType::Float || f->type == FieldType::Integer) {
            hit = !v.isNull() && v.toDouble() == value.toDouble();
        } else {
            QString s = v.toString();
            hit = partial ? s.startsWith(want, Qt::CaseInsensitive) : s.compare(want, Qt::CaseInsensitive) == 0;
        }
        if (hit) { moveTo(r); return true; }
    }
    return false;
}

// ----------------------------------------------------------------- values

int Dataset::rowOfRowid(qint64 rowid) const
{
    // A row the list has read is found among the rowids read so far.
    if (const int row = knownRowOf(rowid); row >= 0 || !paged_) return row;
    readAllRowids();
    return knownRowOf(rowid);
}

size_t Dataset::slotOf(int row) const
{
    if (row < blockStart_ || row >= blockStart_ + blockRows_) loadBlock(row);
    return size_t(row - blockStart_);
}

void Dataset::loadBlock(int row) const
{
    // A block reaching a little before the row, for a grid scrolling either
    // way; twice the last one when the row follows on from it, and mostly
    // above the row when the rows are read upwards.
    const bool readingOn = blockRows_ > 0 && row >= blockStart_ - blockRows_ && row < blockStart_ + 2 * blockRows_;
    const bool upwards = readingOn && row < blockStart_;
    const int rows = readingOn ? std::min(kBlockRows, 2 * blockRows_) : kFirstBlockRows;
    const int start = std::max(0, std::min(row - (upwards ? rows * 3 / 4 : rows / 4), recordCount() - rows));
    const int end = std::min(recordCount(), start + rows);
    for (auto& c : cols_) { c.payload.clear(); c.tag.clear(); }
    arena_.clear();
    longTexts_.clear();
    dropBlock();
    // One read transaction for the block's rowids and rows: the file's lock and
    // its check for another program's changes are taken once, not at every row.
    ReadTransaction reading(conn_->handle());
    ensureRowids(start, end);
    auto emptyRow = [this] {
        for (auto& c : cols_) { c.payload.push_back(0); c.tag.push_back(TagNull); }
    };
    // Rows whose rowids ascend closely, as a table read in its own order
    // gives them, are read by one pass over their span rather than one
    // lookup a row; rows of the span the dataset does not hold are passed over.
    bool ascending = end - start > 1;
    for (int r = start + 1; ascending && r < end; ++r) ascending = rowids_[size_t(r - 1)] > 0 && rowids_[size_t(r - 1)] < rowids_[size_t(r)];
    ascending = ascending && rowids_[size_t(end - 1)] - rowids_[size_t(start)] < 2 * qint64(end - start);
    if (ascending) {
        Statement st(*conn_, QStringLiteral("SELECT rowid, ") + selectList_ + baseClause_ +
                                 QStringLiteral(" WHERE rowid>=:__from AND rowid<=:__to ORDER BY rowid"));
        st.bind(params_);
        sqlite3_stmt* h = st.handle();
        sqlite3_bind_int64(h, sqlite3_bind_parameter_index(h, ":__from"), rowids_[size_t(start)]);
        sqlite3_bind_int64(h, sqlite3_bind_parameter_index(h, ":__to"), rowids_[size_t(end - 1)]);
        int r = start;
        while (r < end && st.step()) {
            const qint64 rowid = sqlite3_column_int64(h, 0);
            // A row deleted meanwhile by another program reads as empty.
            for (; r < end && rowids_[size_t(r)] < rowid; ++r) emptyRow();
            if (r == end || rowids_[size_t(r)] != rowid) continue;
            for (size_t i = 0; i < fields_.size(); ++i) appendCellRaw(cols_[i], st, blockSrc_[i] + 1);
            ++r;
        }
        for (; r < end; ++r) emptyRow();
        blockStart_ = start;
        blockRows_ = end - start;
        return;
    }
    // The SQL's own columns: a result computed in the select list shows as the query gives it.
    Statement st(*conn_, QStringLiteral("SELECT ") + selectList_ + baseClause_ + QStringLiteral(" WHERE rowid=:__rowid"));
    st.bind(params_);
    sqlite3_stmt* h = st.handle();
    const int rowidAt = sqlite3_bind_parameter_index(h, ":__rowid");
    for (int r = start; r < end; ++r) {
        const qint64 rowid = rowids_[size_t(r)];
        sqlite3_reset(h); // the bindings stay
        sqlite3_bind_int64(h, rowidAt, rowid);
        // A row not yet written, or deleted meanwhile by another program, reads as empty.
        if (rowid != kNoRow && st.step()) {
            for (size_t i = 0; i < fields_.size(); ++i) appendCellRaw(cols_[i], st, blockSrc_[i]);
        } else {
            emptyRow();
        }
    }
    blockStart_ = start;
    blockRows_ = end - start;
}

QVariant Dataset::cell(int row, int col) const
{
    const size_t slot = lazy_ ? slotOf(row) : size_t(row);
    const Column& c = cols_[size_t(col)];
    quint64 p = c.payload[slot];
    switch (c.tag[slot]) {
    case TagInt: { qint64 v; std::memcpy(&v, &p, 8); return QVariant(qlonglong(v)); }
    case TagReal: { double v; std::memcpy(&v, &p, 8); return QVariant(v); }
    case TagText: {
        quint64 off = p >> 24, len = p & kPackedLengthLimit;
        return QVariant(QString::fromUtf8(arena_.data() + off, qsizetype(len)));
    }
    case TagLongText: return QVariant(QString::fromUtf8(longTexts_[size_t(p)]));
    default: return QVariant();
    }
}

void Dataset::storeCell(int row, int col, const QVariant& v)
{
    if (lazy_) {
        // The table holds the value; the block reads it again when needed.
        dropBlock();
        return;
    }
    Column& c = cols_[size_t(col)];
    quint64 p = 0;
    quint8 tag = TagNull;
    if (v.isValid() && !v.isNull()) {
        switch (v.typeId()) {
        case QMetaType::Bool: { qint64 i = v.toBool() ? 1 : 0; std::memcpy(&p, &i, 8); tag = TagInt; break; }
        case QMetaType::Int: case QMetaType::LongLong: case QMetaType::UInt: case QMetaType::ULongLong:
        case QMetaType::Long: case QMetaType::ULong:
            { qint64 i = v.toLongLong(); std::memcpy(&p, &i, 8); tag = TagInt; break; }
        case QMetaType::Double: case QMetaType::Float:
            { double d = v.toDouble(); std::memcpy(&p, &d, 8); tag = TagReal; break; }
        default: {
            QByteArray u = v.toString().toUtf8();
            p = packText(u.constData(), size_t(u.size()), tag);
        }
        }
    }
    c.payload[size_t(row)] = p;
    c.tag[size_t(row)] = tag;
}

QVariant Dataset::valueAt(int row, int fieldIndex) const
{
    if (!active() || row < 0 || row >= recordCount() || fieldIndex < 0 || fieldIndex >= fieldCount()) return QVariant();
    if (row == cur_ && (state_ == State::Edit || state_ == State::Insert)) return buf_[size_t(fieldIndex)];
    return cell(row, fieldIndex);
}

QVariant Dataset::value(int fieldIndex) const
{
    if (state_ == State::Edit || state_ == State::Insert) return buf_[size_t(fieldIndex)];
    if (cur_ < 0) return QVariant();
    return cell(cur_, fieldIndex);
}

QVariant Dataset::value(const QString& field) const
{
    Field* f = fieldByName(field);
    if (!active()) throw DbError(objectName() + QStringLiteral(": Cannot perform this operation on a closed dataset"));
    return value(f->index);
}

QString Dataset::asString(const QString& field) const
{
    Field* f = fieldByName(field);
    QVariant v = value(field);
    if (v.isNull()) return QString();
    if (f->type == FieldType::Float || f->type == FieldType::Integer) {
        if (v.typeId() == QMetaType::QString) return v.toString();
        return formatFloat(QString(), v.toDouble());
    }
    return v.toString();
}

double Dataset::asFloat(const QString& field) const
{
    QVariant v = value(field);
    if (v.isNull()) return 0.0;
    if (v.typeId() == QMetaType::QString) {
        bool ok; double d = v.toString().trimmed().toDouble(&ok);
        return ok ? d : 0.0;
    }
    return v.toDouble();
}

qint64 Dataset::asInt(const QString& field) const
{
    QVariant v = value(field);
    return v.isNull() ? 0 : v.toLongLong();
}

bool Dataset::asBool(const QString& field) const
{
    QVariant v = value(field);
    if (v.isNull()) return false;
    if (v.typeId() == QMetaType::QString) {
        QString s = v.toString().trimmed().toLower();
        return s == "1" || s == "true" || s == "-1" || s == "yes";
    }
    return v.toLongLong() != 0;
}

QDateTime Dataset::asDateTime(const QString& field) const
{
    QVariant v = value(field);
    if (v.isNull()) return QDateTime();
    return fromDbDateTime(v.toString());
}

bool Dataset::isNull(const QString& field) const { return value(field).isNull(); }

QString Dataset::formatValue(const Field& f, const QVariant& v)
{
    if (!v.isValid() || v.isNull()) return QString();
    switch (f.type) {
    case FieldType::Float:
    case FieldType::Integer: {
        bool ok = true;
        double d = v.typeId() == QMetaType::QString ? v.toString().toDouble(&ok) : v.toDouble();
        if (!ok) return v.toString();
        if (f.type == FieldType::Integer && f.displayFormat.isEmpty()) return QString::number(v.toLongLong());
        return formatFloat(f.displayFormat, d);
    }
    case FieldType::Bool: {
        bool b = v.typeId() == QMetaType::QString ? (v.toString() == "1" || v.toString().compare("true", Qt::CaseInsensitive) == 0)
                                                  : v.toLongLong() != 0;
        return b ? f.trueText : f.falseText;
    }
    case FieldType::DateTime:
        return formatDbStamp(v.toString(), f.displayFormat);
    default:
        return v.toString();
    }
}

QString Dataset::displayText(int row, int fieldIndex) const
{
    if (fieldIndex < 0 || fieldIndex >= fieldCount()) return QString();
    return formatValue(*fields_[size_t(fieldIndex)], valueAt(row, fieldIndex));
}

QString Dataset::displayText(const QString& field) const
{
    Field* f = fieldByName(field);
    return formatValue(*f, value(f->index));
}

}
