#pragma once
// Number and date display of the program.
#include <QString>
#include <QDate>
#include <QDateTime>

namespace qm {

// Formats a number by a display pattern of digit placeholders: "0" (always a
// digit), "#" (a digit when significant), "." (decimal point, shown only when
// digits follow it), "," anywhere in the integer part (thousands separators),
// quoted or other characters as literals, and up to three sections
// "positive;negative;zero". Rounds halves away from zero on the number's
// shortest decimal form, so 2.675 with "0.00" gives "2.68". An empty pattern
// gives the general form with up to 15 significant digits.
QString formatFloat(const QString& pattern, double value);

// Rounds half away from zero to the given number of decimals, on the decimal form.
double roundDecimal(double value, int decimals);

// Dates are shown and typed as yyyy-mm-dd.
QString formatDate(const QDate& d);
// Parses "yyyy-mm-dd" (also "yyyy-m-d" and "yyyy/mm/dd"); invalid date when not a date.
QDate parseDate(const QString& text);

// Storage form of dates and times in the database.
QString toDbDateTime(const QDateTime& dt);
QString toDbDate(const QDate& d);            // midnight
QDateTime fromDbDateTime(const QString& s);  // invalid when empty or unparsable

// A stored date and time taken apart as written, with no time zone involved:
// "yyyy-MM-dd HH:mm:ss", or a text whose first ten characters are "yyyy-MM-dd"
// (midnight then). False when the text holds no valid date.
struct DbStamp {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    QDate date() const { return QDate(year, month, day); }
    bool midnight() const { return hour == 0 && minute == 0 && second == 0; }
};
bool parseDbStamp(QStringView text, DbStamp& out);

// The display text of a stored date and time: with an empty pattern
// "yyyy-MM-dd" at midnight and "yyyy-MM-dd HH:mm:ss" otherwise; else the Qt
// date pattern ("yyyy/M/d", "dd.MM.yy HH:mm"). Patterns are compiled once.
// A text that holds no date is shown as it is.
QString formatDbStamp(const QString& stored, const QString& pattern = QString());

// Text to number for typed input: trimmed, "." as decimal point; throws
// ConversionError when the text is not a number. Empty text is an error too,
// and so are NaN, infinity and numbers too large for a double.
double parseNumber(const QString& text);
// The same for whole numbers; also refuses what does not fit 64 bits.
qint64 parseWholeNumber(const QString& text);

// A date box left empty: only blanks and the mask's separators and
// placeholders. Anything else must be a date.
bool isBlankDateText(const QString& text);

// The text without a broken character at its end: a box cut to its length
// may have kept half of a character outside the basic plane (an emoji, a rare
// Chinese character).
QString wholeCharacters(const QString& text);

}
