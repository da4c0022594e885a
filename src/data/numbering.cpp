#include "data/numbering.h"
#include "common/errors.h"
#include <QRegularExpression>

namespace qm {

namespace {
void requireName(const QString& name)
{
    static const QRegularExpression ident(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    if (!ident.match(name).hasMatch()) throw DbError(QStringLiteral("invalid table or column name: %1").arg(name));
}

qint64 numberAfter(const QVariant& largest)
{
    if (!largest.isValid() || largest.isNull()) return 1;
    QString text = largest.toString().trimmed();
    if (text.isEmpty()) return 1; // only blanks stand in the column
    bool ok = false;
    qint64 n = text.toLongLong(&ok);
    if (!ok || n < 0) throw ConversionError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return n + 1;
}

qint64 next(Connection& c, const QString& table, const QString& column, const QString& where, const Params& params)
{
    requireName(table);
    requireName(column);
    // Blank numbers (rows being entered) do not count; the condition keeps to
    // the column itself, so the largest number is one step down its index.
    QString sql = QStringLiteral("SELECT %2 FROM %1 WHERE %2>''%3 ORDER BY %2 DESC LIMIT 1").arg(table, column, where);
    return numberAfter(c.scalar(sql, params));
}
}

QString padCode(const QString& text, int width)
{
    return (QString(width, QLatin1Char('0')) + text).right(width);
}

QString zeroPad(qint64 number, int width) { return padCode(QString::number(number), width); }

qint64 nextNumber(Connection& c, const QString& table, const QString& column)
{
    return next(c, table, column, QString(), {});
}

qint64 nextNumberOfKind(Connection& c, const QString& table, const QString& kindColumn, const QVariant& kind,
                        const QString& column)
{
    requireName(kindColumn);
    return next(c, table, column, QStringLiteral(" AND %1=:kind").arg(kindColumn), {{"kind", kind}});
}

QString nextIntno(Connection& c, const QString& table, int width, const QString& column)
{
    return zeroPad(nextNumber(c, table, column), width);
}

QString nextIntnoOfKind(Connection& c, const QString& table, int width, const QString& kindColumn, const QVariant& kind,
                        const QString& column)
{
    return zeroPad(nextNumberOfKind(c, table, kindColumn, kind, column), width);
}
}
