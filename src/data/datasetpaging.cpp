// Rowids read by key: a query over a whole table, in table order or along one
// indexed column, opens on one count of its rows and reads the rowids of a
// block of rows when one of them is first needed. The rows read from the
// start form one run, those read from the far end (for the last screen)
// another; a block is read from the run nearer to it, after the last row of
// the run before it or before the first row of the run after it, never by
// position. Another program's insert or delete then moves no row from one
// block into the next: no row shows twice and none is left out between two
// blocks. The rowid breaks ties, so that every block sees one order.
//
// The count stays as it was at opening. Where the runs meet, the rows left
// between them must be exactly the rows the count left for them; when they
// are not (another program added or deleted rows there), the run from the far
// end is given up and the list is read on from the start's side only: the
// rows beyond the count then wait for the next opening, and missing rows read
// as empty at the end.
#include "data/dataset.h"
#include "data/dataset_p.h"
#include <QRegularExpression>

namespace qm {

using namespace detail;

namespace {
// Rowids read at a time: a few blocks of rows.
constexpr int kRowidPage = 1024;

int wholePages(int rows) { return (rows + kRowidPage - 1) / kRowidPage * kRowidPage; }

// The terms of an ORDER BY, split at the commas outside parentheses.
QStringList orderTermsOf(const QString& terms)
{
    QStringList out;
    int depth = 0, from = 0;
    for (int i = 0; i < terms.size(); ++i) {
        const QChar c = terms.at(i);
        if (c == '(') ++depth;
        else if (c == ')') --depth;
        else if (c == ',' && depth == 0) {
            out << terms.mid(from, i - from).trimmed();
            from = i + 1;
        }
    }
    out << terms.mid(from).trimmed();
    return out;
}

// A term that names one column, with its collation and direction: "sphh", "name COLLATE NOCASE DESC".
const QRegularExpression& columnTerm()
{
    static const QRegularExpression re(
        QStringLiteral("^([A-Za-z_][A-Za-z0-9_]*(?:\\s+collate\\s+[A-Za-z_][A-Za-z0-9_]*)?)(?:\\s+(asc|desc))?$"),
        QRegularExpression::CaseInsensitiveOption);
    return re;
}

bool isRowid(const QString& column)
{
    return column.compare(QLatin1String("rowid"), Qt::CaseInsensitive) == 0 ||
           column.compare(QLatin1String("oid"), Qt::CaseInsensitive) == 0 ||
           column.compare(QLatin1String("_rowid_"), Qt::CaseInsensitive) == 0;
}

void bindKey(Statement& st, const Place& p)
{
    sqlite3_stmt* h = st.handle();
    if (const int k = sqlite3_bind_parameter_index(h, ":__k"); k && p.key) sqlite3_bind_value(h, k, p.key.get());
    if (const int r = sqlite3_bind_parameter_index(h, ":__r")) sqlite3_bind_int64(h, r, p.rowid);
}
}

void Dataset::detectPaging(const QString& base, const QString& rest)
{
    baseClause_ = base;
    condition_.clear();
    orderTerms_.clear();
    pageColumn_.clear();
    pageDown_ = false;
    pageable_ = false;
    static const QRegularExpression shape(QStringLiteral("^(where\\b.*?)?\\s*(?:order\\s+by\\s+(.+?))?\\s*;?$"),
                                          QRegularExpression::CaseInsensitiveOption |
                                              QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression other(QStringLiteral("\\b(limit|offset|nulls|select)\\b"),
                                          QRegularExpression::CaseInsensitiveOption);
    const auto m = shape.match(rest.trimmed());
    if (!m.hasMatch() || m.captured(2).contains(other) || m.captured(1).contains(other)) return;
    static const QRegularExpression where(QStringLiteral("\\bwhere\\b"), QRegularExpression::CaseInsensitiveOption);
    if (m.captured(2).contains(where)) return;
    condition_ = m.captured(1).trimmed();
    orderTerms_ = m.captured(2).trimmed();
    // Over every column as stored only: the rowid queries select the rowid alone,
    // where a name the select list gives to an expression would mean the table's column.
    if (selectList_ != QLatin1String("*") || !condition_.isEmpty()) return;
    if (!orderTerms_.isEmpty()) {
        const QStringList terms = orderTermsOf(orderTerms_);
        const auto t = columnTerm().match(terms.first());
        if (terms.size() != 1 || !t.hasMatch()) return;
        pageDown_ = t.captured(2).compare(QLatin1String("desc"), Qt::CaseInsensitive) == 0;
        if (!isRowid(t.captured(1))) pageColumn_ = t.captured(1);
    }
    pageable_ = true;
}

QString Dataset::foundRowidsSql() const
{
    // A column term with a unary plus orders as the column does (same
    // collation) but gives the planner no index for the order: the condition's
    // index finds the rows, and the rows found are sorted.
    QStringList terms = orderTermsOf(orderTerms_);
    bool down = false;
    bool byRowid = false;
    for (QString& term : terms) {
        const auto t = columnTerm().match(term);
        down = t.hasMatch() && t.captured(2).compare(QLatin1String("desc"), Qt::CaseInsensitive) == 0;
        byRowid = t.hasMatch() && isRowid(t.captured(1).section(QLatin1Char(' '), 0, 0));
        if (t.hasMatch() && !byRowid) term = QLatin1Char('+') + term;
    }
    if (!byRowid) terms << (down ? QStringLiteral("rowid DESC") : QStringLiteral("rowid"));
    return QStringLiteral("SELECT rowid") + baseClause_ + QLatin1Char(' ') + condition_ + QStringLiteral(" ORDER BY ") +
           terms.join(QStringLiteral(", "));
}

namespace {
// The query of one stretch of the order read by key: the rows whose key is
// NULL (first ascending, last descending) or the others, each stretch read
// along the index, from the place :__k, :__r when `bounded`.
QString stretchSql(const QString& base, const QString& column, bool nulls, bool bounded, bool down)
{
    const QString e = QLatin1Char('(') + column + QLatin1Char(')');
    const QString dir = down ? QStringLiteral(" DESC") : QString();
    const QString after = down ? QStringLiteral(" < ") : QStringLiteral(" > ");
    QString where;
    if (column.isEmpty()) where = bounded ? QStringLiteral(" WHERE rowid") + after + QStringLiteral(":__r") : QString();
    else if (nulls) where = QStringLiteral(" WHERE ") + e + QStringLiteral(" IS NULL") +
                            (bounded ? QStringLiteral(" AND rowid") + after + QStringLiteral(":__r") : QString());
    else {
        where = QStringLiteral(" WHERE ") + e + QStringLiteral(" IS NOT NULL");
        if (bounded)
            where += QStringLiteral(" AND ") + e + (down ? QStringLiteral(" <= ") : QStringLiteral(" >= ")) +
                     QStringLiteral(":__k AND (") + e + after + QStringLiteral(":__k OR rowid") + after + QStringLiteral(":__r)");
    }
    const QString key = column.isEmpty() ? QStringLiteral("rowid") : e + dir + QStringLiteral(", rowid");
    return QStringLiteral("SELECT rowid") + base + where + QStringLiteral(" ORDER BY ") + key + dir +
           QStringLiteral(" LIMIT :__n");
}

// The rows strictly after the place :__k, :__r in the order (`down`: descending).
QString afterCondition(const QString& column, bool nullKey, bool down)
{
    if (column.isEmpty()) return down ? QStringLiteral("rowid < :__r") : QStringLiteral("rowid > :__r");
    const QString e = QLatin1Char('(') + column + QLatin1Char(')');
    if (!down)
        return nullKey ? QStringLiteral("(%1 IS NOT NULL OR rowid > :__r)").arg(e)
                       : QStringLiteral("(%1 > :__k OR (%1 = :__k AND rowid > :__r))").arg(e);
    return nullKey ? QStringLiteral("(%1 IS NULL AND rowid < :__r)").arg(e)
                   : QStringLiteral("(%1 < :__k OR %1 IS NULL OR (%1 = :__k AND rowid < :__r))").arg(e);
}
}

bool Dataset::pagesAlongIndex() const
{
    if (pageColumn_.isEmpty()) return true;
    // A block read in an order no index gives would sort the whole table each
    // time: then every rowid is read at once, in one sort.
    for (bool down : {false, true}) {
        Statement plan(*conn_, QStringLiteral("EXPLAIN QUERY PLAN ") + stretchSql(baseClause_, pageColumn_, false, true, down));
        while (plan.step())
            if (plan.value(3).toString().contains(QLatin1String("TEMP B-TREE"))) return false;
    }
    return true;
}

bool Dataset::ordersBy(const QString& field) const
{
    if (!paged_ || orderTerms_.isEmpty()) return false;
    const QRegularExpression word(QStringLiteral("\\b%1\\b").arg(QRegularExpression::escape(field)),
                                  QRegularExpression::CaseInsensitiveOption);
    return orderTerms_.contains(word);
}

qint64 Dataset::rowidOf(int row) const
{
    if (paged_ && row >= runs_->head && row < runs_->tail) ensureRowids(row, row + 1);
    return rowids_[size_t(row)];
}

std::vector<qint64> Dataset::readRowids(const Place* after, bool backwards, int n) const
{
    std::vector<qint64> out;
    const bool down = pageDown_ != backwards;
    // Ascending, the rows with a NULL key come first; descending, last.
    const bool stretches[2] = {down ? false : true, down ? true : false}; // true: the NULL keys
    int i = 0;
    if (after && !pageColumn_.isEmpty() && stretches[0] != !after->key) i = 1;
    for (bool first = true; i < (pageColumn_.isEmpty() ? 1 : 2) && int(out.size()) < n; ++i, first = false) {
        const bool bounded = after && first;
        Statement st(*conn_, stretchSql(baseClause_, pageColumn_, stretches[i], bounded, down));
        if (bounded) bindKey(st, *after);
        st.bind(QStringLiteral("__n"), n - int(out.size()));
        while (st.step()) out.push_back(sqlite3_column_int64(st.handle(), 0));
    }
    return out;
}

Place Dataset::placeOf(qint64 rowid) const
{
    Place p;
    p.rowid = rowid;
    if (pageColumn_.isEmpty()) return p;
    Statement st(*conn_, QStringLiteral("SELECT ") + pageColumn_ + baseClause_ + QStringLiteral(" WHERE rowid=:__r"));
    st.bind(QStringLiteral("__r"), rowid);
    if (st.step() && sqlite3_column_type(st.handle(), 0) != SQLITE_NULL) p.key.reset(sqlite3_value_dup(sqlite3_column_value(st.handle(), 0)));
    return p;
}

bool Dataset::comesBefore(qint64 rowid, const Place& bound, bool backwards) const
{
    // Before the bound in the reading direction: after it in the other one.
    const bool down = pageDown_ == backwards;
    Statement st(*conn_, QStringLiteral("SELECT 1") + baseClause_ + QStringLiteral(" WHERE rowid=:__x AND ") +
                                      afterCondition(pageColumn_, !bound.key, down));
    bindKey(st, bound);
    st.bind(QStringLiteral("__x"), rowid);
    return st.step();
}

int Dataset::placesBefore(const std::vector<qint64>& read, const Place& bound, bool backwards) const
{
    // The rows come in order: those before the bound, then the others.
    if (read.empty() || comesBefore(read.back(), bound, backwards)) return int(read.size());
    int lo = 0, hi = int(read.size()) - 1; // read[hi] is not before the bound
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (comesBefore(read[size_t(mid)], bound, backwards)) lo = mid + 1;
        else hi = mid;
    }
    return lo;
}

void Dataset::dropTail() const
{
    PageRuns& p = *runs_;
    const int from = p.tail;
    p.tail = p.count;
    p.tailFirst = Place();
    p.tailOff = true;
    dropBlock();
    // A grid may show these rows already: it paints them again, read anew.
    if (from < p.count) emit const_cast<Dataset*>(this)->rowsReplaced(from, p.count - 1);
}

void Dataset::extendHead(int end) const
{
    PageRuns& p = *runs_;
    const int n = end - p.head;
    const bool tailRead = p.tail < p.count;
    const bool closing = tailRead && end == p.tail;
    std::vector<qint64> ids;
    if (!p.headAtEnd) ids = readRowids(p.head > 0 ? &p.headLast : nullptr, false, n + (closing ? 1 : 0));
    bool joined = false;
    // Once the order has no row after the head, the rows left before the far
    // run (an appended row) went meanwhile: they read as empty.
    if (tailRead && !p.headAtEnd) {
        // Exactly the rows the count left between the runs, or the far run goes.
        if (placesBefore(ids, p.tailFirst, false) == n) joined = closing;
        else dropTail();
    }
    if (int(ids.size()) > n) ids.resize(size_t(n));
    for (int i = 0; i < n; ++i) rowids_[size_t(p.head + i)] = i < int(ids.size()) ? ids[size_t(i)] : kNoRow;
    if (int(ids.size()) < n) p.headAtEnd = true;
    if (!ids.empty()) p.headLast = placeOf(ids.back());
    p.head = end;
    if (joined) p.head = p.tail = p.count;
}

void Dataset::extendTail(int start) const
{
    PageRuns& p = *runs_;
    const int n = p.tail - start;
    const bool closing = start == p.head;
    const std::vector<qint64> ids = readRowids(p.tail < p.count ? &p.tailFirst : nullptr, true, n + (closing ? 1 : 0));
    const int before = p.head > 0 ? placesBefore(ids, p.headLast, true) : int(ids.size());
    if (before != n) {
        // More or fewer rows than the count left: the rows are read from the start's side.
        dropTail();
        return;
    }
    for (int i = 0; i < n; ++i) rowids_[size_t(p.tail - 1 - i)] = ids[size_t(i)];
    p.tail = start;
    p.tailFirst = placeOf(ids[size_t(n - 1)]);
    if (closing) p.head = p.tail = p.count;
}

void Dataset::ensureRowids(int from, int to) const
{
    if (!paged_) return;
    PageRuns& p = *runs_;
    ReadTransaction reading(conn_->handle());
    for (;;) {
        const int lo = std::max(from, p.head), hi = std::min(to, p.tail);
        if (lo >= hi) return;
        // From the nearer run, whole blocks at a time.
        if (p.tailOff || p.headAtEnd || hi - p.head <= p.tail - lo) extendHead(std::min(p.tail, p.head + wholePages(hi - p.head)));
        else extendTail(std::max(p.head, p.tail - wholePages(p.tail - lo)));
    }
}

int Dataset::knownRowOf(qint64 rowid) const
{
    auto find = [&](int from, int to) {
        const qint64* b = rowids_.begin();
        const qint64* it = std::find(b + from, b + to, rowid);
        return it == b + to ? -1 : int(it - b);
    };
    if (!paged_) return find(0, recordCount());
    const int r = find(0, runs_->head);
    return r >= 0 ? r : find(runs_->tail, runs_->count);
}

void Dataset::keepAppended(int row) const
{
    PageRuns& p = *runs_;
    // The last row of the order, read as the run from the far end reads it:
    // a block read later from the start's side stops before it.
    if (p.tail == p.count) p.tailFirst = placeOf(rowids_[size_t(row)]);
    ++p.count;
}

void Dataset::forgetRow(int row) const
{
    PageRuns& p = *runs_;
    // A row being appended is not among the rows read by key. A row that
    // goes keeps its place as the bound of its run.
    if (row >= p.count) return;
    if (row < p.head) --p.head;
    if (row < p.tail) --p.tail;
    --p.count;
}

void Dataset::readAllRowids() const
{
    if (!paged_) return;
    ensureRowids(0, runs_->count);
    paged_ = false;
    runs_.reset();
}

}
