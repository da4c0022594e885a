#include "reports/daterange.h"
#include "common/errors.h"
#include "common/formats.h"

namespace qm::reports {

Params rangeParams(const DateRange& r)
{
    // The day after the last day a date can name has no stored form of its own
    // ("10000-01-01" would sort before every date): the range is then open
    // above, bounded by a text that sorts after every stored date.
    const QDate after = r.to.addDays(1);
    const QString upper = after.isValid() && after.year() <= 9999 ? toDbDate(after) : QStringLiteral("9999-12-32");
    return {{QStringLiteral("p1"), toDbDate(r.from)}, {QStringLiteral("p2"), upper}};
}

QString editText(const QString& stored)
{
    const QString t = stored.left(10);
    return t.size() == 10 ? t : t.left(8);
}

QPair<QString, QString> rememberedTexts(Connection& c)
{
    auto rows = c.rows(QStringLiteral("SELECT ksdate, jsdate FROM dateconfig LIMIT 1"));
    if (rows.empty()) return {};
    return {editText(rows[0].value(0).toString()), editText(rows[0].value(1).toString())};
}

QString dateText(const QDate& d) { return d.toString(QStringLiteral("yyyy-MM-dd")); }

namespace {
QDate toDate(const QString& text)
{
    // A masked edit's blanks show as "_".
    QString t = text;
    t.replace(QLatin1Char('_'), QLatin1Char(' '));
    QDate d = parseDate(t);
    if (!d.isValid()) throw ConversionError(QStringLiteral("'%1' is not a valid date").arg(text));
    return d;
}
}

DateRange checkRange(const QString& fromText, const QString& toText)
{
    return {toDate(fromText), toDate(toText)};
}

void storeRange(Connection& c, const DateRange& r)
{
    const Params p = {{QStringLiteral("p1"), toDbDate(r.from)}, {QStringLiteral("p2"), toDbDate(r.to)}};
    Transaction t(c);
    if (c.exec(QStringLiteral("UPDATE dateconfig SET ksdate=:p1, jsdate=:p2"), p) == 0)
        c.exec(QStringLiteral("INSERT INTO dateconfig (ksdate, jsdate, bz) VALUES (:p1, :p2, 0)"), p);
    t.commit();
}

DateRange rangeStep(Connection& c, const QString& fromText, const QString& toText)
{
    DateRange r = checkRange(fromText, toText);
    storeRange(c, r);
    return r;
}

}
