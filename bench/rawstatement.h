#pragma once
// Raw SQLite over a customer's statement rows, for the benchmarks that compare
// with it: the posted rows of a range in the statement's order, every column
// the statement shows.
#include "common/formats.h"
#include "reports/daterange.h"
#include <QStringList>
#include <sqlite3.h>
#include <utility>

namespace qmbench {

// The columns read, in the order of the select.
inline const char* customerRowColumns()
{
    return "billdate,billname,djh,sphh,spmc,amount,deduck,pay,dj_n,unit,sl,sl_j,remark,billtype,mainintno,intno";
}

// A customer's posted rows (party :p3) dated from :p1 to before :p2, in the
// statement's order: date, document number, row number.
inline QString customerRowsSql()
{
    QStringList parts;
    for (const char* t : {"outdetail", "outbackdetail", "getdetail"})
        parts << QStringLiteral("SELECT %1 FROM %2 WHERE customerid=:p3 AND pass=1 AND cancel=0 AND spmc<>'上期结转' "
                                "AND billdate>=:p1 AND billdate<:p2")
                     .arg(QLatin1String(customerRowColumns()), QLatin1String(t));
    return parts.join(QStringLiteral(" UNION ALL ")) + QStringLiteral(" ORDER BY 1, 15, 16");
}

// Binds :p1, :p2 and :p3 (where the statement has them) for `code` over the range.
inline void bindStatementRange(sqlite3_stmt* s, const qm::reports::DateRange& r, const QString& code)
{
    for (const auto& [name, v] : {std::pair{":p1", qm::toDbDate(r.from)}, {":p2", qm::toDbDate(r.to.addDays(1))}, {":p3", code}}) {
        const QByteArray b = v.toUtf8();
        sqlite3_bind_text(s, sqlite3_bind_parameter_index(s, name), b.constData(), b.size(), SQLITE_TRANSIENT);
    }
}

// Runs the statement to its end, reading every text it returns; the bytes read.
inline qint64 readEveryRow(sqlite3_stmt* s)
{
    qint64 bytes = 0;
    while (sqlite3_step(s) == SQLITE_ROW)
        for (int i = 0; i < sqlite3_column_count(s); ++i)
            if (sqlite3_column_type(s, i) == SQLITE_TEXT) bytes += sqlite3_column_bytes(s, i);
    return bytes;
}

}
