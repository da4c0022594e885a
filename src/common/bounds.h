#pragma once
// The bounds of the numbers the operator types and the program stores.
//
// Every typed quantity, price, rebate and money amount, and every amount
// computed from them, is finite and below the bound of its kind, so that a
// quantity times a price stays below 2^53 cents and money is exact to the cent
// in a double. A write that would store anything else is refused with
// outOfRangeText() and changes nothing.
#include "common/errors.h"
#include "common/formats.h"
#include <QString>
#include <cmath>

namespace qm {

enum class Magnitude { Quantity, Price, Amount };

constexpr double bound(Magnitude m)
{
    return m == Magnitude::Quantity ? 1e6 : m == Magnitude::Price ? 1e7 : 1e10;
}

inline bool inRange(double v, Magnitude m) { return std::isfinite(v) && std::fabs(v) < bound(m); }

inline QString outOfRangeText() { return QStringLiteral("输入的数值超出范围！"); }

// A number refused by its bound; `column` names where it was to be stored.
class OutOfRange : public AppError {
public:
    explicit OutOfRange(const QString& column) : AppError(outOfRangeText()), column(column) {}
    QString column;
};

// Whether `text` reads as a number no double holds: infinity, NaN, a number
// past 1e308.
inline bool beyondDouble(const QString& text)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    return (ok || std::isinf(v)) && !std::isfinite(v);
}

// The number typed into a box that stores into `column`: throws OutOfRange
// when the text reads as a number no double holds, ConversionError when it is
// no number at all.
inline double parseBoxNumber(const QString& text, const QString& column)
{
    if (beyondDouble(text)) throw OutOfRange(column);
    return parseNumber(text);
}

// Throws OutOfRange when `v` is outside the bound of `m`.
inline void requireBounded(double v, Magnitude m, const QString& column)
{
    if (!inRange(v, m)) throw OutOfRange(column);
}

}
