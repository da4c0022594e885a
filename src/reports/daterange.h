#pragma once
// The date range every report window runs over, remembered in the one row of
// `dateconfig` between windows of any kind.
#include "data/connection.h"
#include <QDate>
#include <QString>

namespace qm::reports {

struct DateRange {
    QDate from;
    QDate to;
};

// Rows of a run: from the from-date's midnight up to, not including, the
// midnight after the to-date, so that the whole last day counts.
inline const char* rangeCondition() { return "billdate>=:p1 and billdate<:p2"; }
// p1 and p2 of rangeCondition().
Params rangeParams(const DateRange& r);

// The date text of a stored value for a date edit: "yyyy-MM-dd" when it has
// ten characters, otherwise its first eight.
QString editText(const QString& stored);
// The remembered range as the two edit texts.
QPair<QString, QString> rememberedTexts(Connection& c);

// Converts the two edit texts; throws ConversionError naming the first text
// that is not a date. Nothing is stored by this.
DateRange checkRange(const QString& fromText, const QString& toText);
// Remembers the range for the next report window (one short write).
void storeRange(Connection& c, const DateRange& r);
// checkRange, then storeRange: the first step of every run.
DateRange rangeStep(Connection& c, const QString& fromText, const QString& toText);

// The edit text of a date ("yyyy-MM-dd").
QString dateText(const QDate& d);

}
