#pragma once
// Numbering of new rows: the largest number in use plus one, written with
// leading zeros (ten digits for documents, rows and parties, eight for
// products, two for units and categories). Call it inside the write
// transaction that inserts the numbered row, so that the number and the row
// go in together.
#include "data/connection.h"
#include <QString>
#include <QVariant>

namespace qm {

// A typed code padded with leading zeros: the last `width` characters of zeros
// followed by the text ("12" -> "0000000012").
QString padCode(const QString& text, int width = 10);
// The last `width` characters of the number written with leading zeros:
// zeroPad(12, 10) is "0000000012", zeroPad(100, 2) is "00".
QString zeroPad(qint64 number, int width);

// The number after the largest `column` of `table` (compared as text, which is
// numeric order for numbers of equal width); 1 for a table without numbers.
// `table` and `column` are fixed names from code. Throws ConversionError when
// the largest entry is not a number.
qint64 nextNumber(Connection& c, const QString& table, const QString& column = QStringLiteral("intno"));
// The same over the rows whose `kindColumn` equals `kind` (units and categories of spec).
qint64 nextNumberOfKind(Connection& c, const QString& table, const QString& kindColumn, const QVariant& kind,
                        const QString& column = QStringLiteral("intno"));

// nextNumber written with `width` digits.
QString nextIntno(Connection& c, const QString& table, int width, const QString& column = QStringLiteral("intno"));
QString nextIntnoOfKind(Connection& c, const QString& table, int width, const QString& kindColumn, const QVariant& kind,
                        const QString& column = QStringLiteral("intno"));
}
