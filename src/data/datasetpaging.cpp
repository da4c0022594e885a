// Rowids read by page: a query over a whole table, in table order or along an
// index, opens on one count of its rows and reads the rowids of a page of rows
// when one of them is first needed. A page is read from the nearer end of the
// order, so that the first and the last screens cost the same for any number
// of rows; the rowid breaks ties, so that every page sees one order.
#include "data/dataset.h"
#include "data/dataset_p.h"
#include <QRegularExpression>
#include <sqlite3.h>

namespace qm {

using namespace detail;

namespace {
// Rowids read at a time: a few blocks of rows.
constexpr int kRowidPage = 1024;

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

// The same order backwards: ASC and DESC swapped (SQLite puts nulls first
// ascending and last descending, so the reverse is exact).
QString reversedOrder(const QStringList& terms)
{
    static const QRegularExpression direction(QStringLiteral("\\s+(asc|desc)$"), QRegularExpression::CaseInsensitiveOption);
    QStringList out;
    for (const QString& t : terms) {
        const auto m = direction.match(t);
        if (!m.hasMatch()) out << t + QStringLiteral(" DESC");
        else out << t.left(m.capturedStart()) + (m.captured(1).compare(QLatin1String("desc"), Qt::CaseInsensitive) == 0
                                                      ? QStringLiteral(" ASC")
                                                      : QStringLiteral(" DESC"));
    }
    return out.join(QStringLiteral(", "));
}
}

void Dataset::detectPaging(const QString& base, const QString& rest)
{
    baseClause_ = base;
    orderTerms_.clear();
    reversedTerms_.clear();
    pageable_ = false;
    // Over every column as stored only: the page query selects the rowid alone,
    // where a name the select list gives to an expression would mean the table's column.
    if (selectList_ != QLatin1String("*")) return;
    const QString r = rest.trimmed();
    if (!r.isEmpty()) {
        static const QRegularExpression orderOnly(QStringLiteral("^order\\s+by\\s+(.+?)\\s*;?$"),
                                                  QRegularExpression::CaseInsensitiveOption |
                                                      QRegularExpression::DotMatchesEverythingOption);
        static const QRegularExpression other(QStringLiteral("\\b(limit|offset|nulls|where|select)\\b"),
                                              QRegularExpression::CaseInsensitiveOption);
        const auto m = orderOnly.match(r);
        if (!m.hasMatch() || m.captured(1).contains(other)) return;
        const QStringList terms = orderTermsOf(m.captured(1));
        // The rowid breaks ties in the direction of the last term, so that an
        // index read backwards serves a descending order too.
        static const QRegularExpression descending(QStringLiteral("\\sdesc$"), QRegularExpression::CaseInsensitiveOption);
        const bool down = terms.last().contains(descending);
        orderTerms_ = terms.join(QStringLiteral(", ")) + (down ? QStringLiteral(", rowid DESC") : QStringLiteral(", rowid"));
        reversedTerms_ = reversedOrder(terms) + (down ? QStringLiteral(", rowid") : QStringLiteral(", rowid DESC"));
    }
    pageable_ = true;
}

QString Dataset::pageSql(bool reverse) const
{
    QString order;
    if (orderTerms_.isEmpty()) order = reverse ? QStringLiteral("rowid DESC") : QStringLiteral("rowid");
    else order = reverse ? reversedTerms_ : orderTerms_;
    return QStringLiteral("SELECT rowid") + baseClause_ + QStringLiteral(" ORDER BY ") + order +
           QStringLiteral(" LIMIT :__n OFFSET :__k");
}

bool Dataset::pagesAlongIndex() const
{
    if (orderTerms_.isEmpty()) return true;
    // A page in an order no index gives would sort the whole table each time:
    // then every rowid is read at once, in one sort.
    Statement plan(conn_->handle(), QStringLiteral("EXPLAIN QUERY PLAN ") + pageSql(false));
    while (plan.step())
        if (plan.value(3).toString().contains(QLatin1String("TEMP B-TREE"))) return false;
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
    if (paged_ && rowids_[size_t(row)] == kUnknownRowid) readRowidPage(row / kRowidPage);
    return rowids_[size_t(row)];
}

void Dataset::ensureRowids(int from, int to) const
{
    if (!paged_) return;
    for (int page = from / kRowidPage; page * kRowidPage < to; ++page) {
        const int end = std::min(to, (page + 1) * kRowidPage);
        for (int r = std::max(from, page * kRowidPage); r < end; ++r)
            if (rowids_[size_t(r)] == kUnknownRowid) {
                readRowidPage(page);
                break;
            }
    }
}

void Dataset::readRowidPage(int page) const
{
    // A row being inserted sits at the end and is not stored yet.
    const int stored = recordCount() - (state_ == State::Insert ? 1 : 0);
    const int from = page * kRowidPage, to = std::min(stored, from + kRowidPage);
    if (from >= to) return;
    const bool reverse = stored - to < from;
    Statement st(conn_->handle(), pageSql(reverse));
    st.bind(params_);
    st.bind(QStringLiteral("__n"), to - from);
    st.bind(QStringLiteral("__k"), reverse ? stored - to : from);
    const int step = reverse ? -1 : 1;
    int r = reverse ? to - 1 : from;
    for (; r >= from && r < to && st.step(); r += step) rowids_[size_t(r)] = sqlite3_column_int64(st.handle(), 0);
    // Rows another program deleted since the count read as empty.
    for (; r >= from && r < to; r += step) rowids_[size_t(r)] = 0;
}

void Dataset::readAllRowids() const
{
    if (!paged_) return;
    const int pending = state_ == State::Insert ? 1 : 0;
    const size_t stored = rowids_.size() - size_t(pending);
    std::vector<qint64> ids;
    ids.reserve(rowids_.size());
    Statement st(conn_->handle(), pageSql(false));
    st.bind(params_);
    st.bind(QStringLiteral("__n"), -1);
    st.bind(QStringLiteral("__k"), 0);
    while (ids.size() < stored && st.step()) ids.push_back(sqlite3_column_int64(st.handle(), 0));
    // As many rows as the grids were told of: rows another program deleted
    // read as empty, rows it added wait for the next opening.
    ids.resize(stored, 0);
    if (pending) ids.push_back(rowids_.back());
    rowids_.swap(ids);
    paged_ = false;
}

}
