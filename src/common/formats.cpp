#include "common/formats.h"
#include "common/errors.h"
#include <QHash>
#include <charconv>
#include <cmath>
#include <string>

namespace qm {

namespace {

// ------------------------------------------------------------------ digits

// Rounds v (finite, >= 0) to `decimals` digits after the point, half away from
// zero on its shortest decimal form (so 2.675 rounds up). Gives the integer
// digits without leading zeros ("0" for none) and exactly `decimals` fraction digits.
void roundTo(double v, int decimals, std::string& intDigits, std::string& fracDigits)
{
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
    // d[.ddd]e[+-]xx
    char mant[32];
    int nd = 0;
    const char* p = buf;
    for (; p < res.ptr && *p != 'e'; ++p)
        if (*p != '.' && nd < int(sizeof mant)) mant[nd++] = *p;
    int exp = 0;
    bool negExp = false;
    if (p < res.ptr) ++p;
    if (p < res.ptr && (*p == '-' || *p == '+')) negExp = *p++ == '-';
    for (; p < res.ptr; ++p) exp = exp * 10 + (*p - '0');
    if (negExp) exp = -exp;
    while (nd > 1 && mant[nd - 1] == '0') --nd;
    int point = exp + 1; // value = 0.mant * 10^point
    if (nd == 1 && mant[0] == '0') point = 1;

    const int keep = point + decimals; // digits of value * 10^decimals
    if (keep < 0) {
        intDigits.assign(1, '0');
        fracDigits.assign(size_t(decimals), '0');
        return;
    }
    std::string all(mant, size_t(std::min(nd, keep)));
    const bool roundUp = nd > keep && mant[keep] >= '5';
    if (nd < keep) all.append(size_t(keep - nd), '0');
    if (roundUp) {
        int i = int(all.size()) - 1;
        for (; i >= 0; --i) {
            if (all[size_t(i)] == '9') all[size_t(i)] = '0';
            else { ++all[size_t(i)]; break; }
        }
        if (i < 0) all.insert(all.begin(), '1');
    }
    const int intLen = int(all.size()) - decimals;
    if (intLen <= 0) {
        intDigits.assign(1, '0');
        fracDigits.assign(size_t(-intLen), '0');
        fracDigits += all;
    } else {
        fracDigits.assign(all, size_t(intLen), std::string::npos);
        const size_t nz = all.find_first_not_of('0');
        if (nz == std::string::npos || int(nz) >= intLen) intDigits.assign(1, '0');
        else intDigits.assign(all, nz, size_t(intLen) - nz);
    }
}

QString generalForm(double v)
{
    if (std::isnan(v)) return QStringLiteral("NAN");
    if (std::isinf(v)) return v > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    return QString::number(v, 'g', 15);
}

// --------------------------------------------------------- number patterns

// One section of a number pattern, taken apart once.
struct NumberSection {
    QString prefix, suffix;   // literals around the digits (the whole text when no placeholder)
    bool present = false;     // the section's text is not empty
    bool digits = false;      // holds a placeholder
    bool thousands = false;
    int minInt = 0;           // integer digits always shown
    int fracMax = 0, fracMin = 0;
};

struct NumberPattern {
    NumberSection sections[3];
    int count = 1;
};

bool isPlaceholder(QChar c) { return c == '0' || c == '#' || c == '.' || c == ','; }

// Literal text of a piece of pattern: quotes removed.
QString literal(QStringView s)
{
    QString out;
    QChar q;
    for (QChar c : s) {
        if (!q.isNull()) { if (c == q) q = QChar(); else out += c; continue; }
        if (c == '"' || c == '\'') { q = c; continue; }
        out += c;
    }
    return out;
}

NumberSection compileSection(QStringView fmt)
{
    NumberSection s;
    s.present = !fmt.isEmpty();
    int first = -1, last = -1;
    QChar quote;
    for (int i = 0; i < fmt.size(); ++i) {
        const QChar c = fmt[i];
        if (!quote.isNull()) { if (c == quote) quote = QChar(); continue; }
        if (c == '"' || c == '\'') { quote = c; continue; }
        if (isPlaceholder(c)) {
            if (first < 0) first = i;
            last = i;
        }
    }
    if (first < 0) {
        s.prefix = literal(fmt);
        return s;
    }
    s.digits = true;
    s.prefix = literal(fmt.left(first));
    s.suffix = literal(fmt.mid(last + 1));
    QString num;
    for (int i = first; i <= last; ++i)
        if (isPlaceholder(fmt[i])) num += fmt[i];
    const int dot = num.indexOf('.');
    QString intPart = dot < 0 ? num : num.left(dot);
    QString fracPart = dot < 0 ? QString() : num.mid(dot + 1);
    s.thousands = intPart.contains(',');
    intPart.remove(',');
    fracPart.remove(',');
    const int firstZero = intPart.indexOf('0');
    s.minInt = firstZero < 0 ? 0 : int(intPart.size()) - firstZero;
    s.fracMax = int(fracPart.size());
    s.fracMin = int(fracPart.lastIndexOf('0')) + 1;
    return s;
}

NumberPattern compileNumber(const QString& fmt)
{
    NumberPattern p;
    p.count = 0;
    int start = 0;
    QChar quote;
    for (int i = 0; i <= fmt.size(); ++i) {
        if (i < fmt.size()) {
            const QChar c = fmt[i];
            if (!quote.isNull()) { if (c == quote) quote = QChar(); continue; }
            if (c == '"' || c == '\'') { quote = c; continue; }
            if (c != ';') continue;
        }
        if (p.count < 3) p.sections[p.count] = compileSection(QStringView(fmt).mid(start, i - start));
        ++p.count;
        start = i + 1;
    }
    p.count = std::min(p.count, 3);
    return p;
}

// Patterns come from a handful of field formats, so a small cache per thread
// holds them all, each compiled once.
template <typename Pattern, Pattern (*compile)(const QString&)>
const Pattern& compiled(const QString& fmt)
{
    thread_local QHash<QString, Pattern> cache;
    auto it = cache.constFind(fmt);
    if (it != cache.constEnd()) return *it;
    if (cache.size() >= 256) cache.clear();
    return *cache.insert(fmt, compile(fmt));
}

const NumberPattern& numberPattern(const QString& fmt) { return compiled<NumberPattern, compileNumber>(fmt); }

QString formatSection(const NumberSection& s, double v, bool withSign)
{
    if (!s.digits) return s.prefix;
    const double a = std::fabs(v);
    if (!std::isfinite(a)) return generalForm(v);
    thread_local std::string intDigits, fracDigits;
    roundTo(a, s.fracMax, intDigits, fracDigits);

    while (int(fracDigits.size()) > s.fracMin && fracDigits.back() == '0') fracDigits.pop_back();
    const bool isZero = intDigits == "0" && fracDigits.find_first_not_of('0') == std::string::npos;
    if (intDigits == "0" && s.minInt == 0) intDigits.clear();
    if (int(intDigits.size()) < s.minInt) intDigits.insert(0, size_t(s.minInt) - intDigits.size(), '0');

    QString out;
    out.reserve(s.prefix.size() + s.suffix.size() + int(intDigits.size() + intDigits.size() / 3 + fracDigits.size()) + 2);
    out += s.prefix;
    if (withSign && v < 0 && !isZero) out += QLatin1Char('-');
    const int n = int(intDigits.size());
    for (int i = 0; i < n; ++i) {
        out += QLatin1Char(intDigits[size_t(i)]);
        const int rest = n - 1 - i;
        if (s.thousands && rest > 0 && rest % 3 == 0) out += QLatin1Char(',');
    }
    if (!fracDigits.empty()) {
        out += QLatin1Char('.');
        out += QLatin1StringView(fracDigits.data(), qsizetype(fracDigits.size()));
    }
    out += s.suffix;
    return out;
}

// ------------------------------------------------------------------- dates

// Appends n as at least `width` digits.
void appendNumber(QString& out, int n, int width)
{
    char buf[16];
    const auto r = std::to_chars(buf, buf + sizeof buf, n);
    for (int pad = width - int(r.ptr - buf); pad > 0; --pad) out += QLatin1Char('0');
    out += QLatin1StringView(buf, r.ptr - buf);
}

bool digitsAt(QStringView s, int from, int count, int& value)
{
    value = 0;
    for (int i = from; i < from + count; ++i) {
        const char16_t c = s[i].unicode();
        if (c < u'0' || c > u'9') return false;
        value = value * 10 + (c - u'0');
    }
    return true;
}

// A date pattern in Qt notation, taken apart once. Numeric parts are written
// directly; a pattern with names (ddd, MMMM, AP) is left to Qt on a UTC value.
struct DatePart {
    char what = 0;      // 'y' 'M' 'd' 'H' 'h' 'm' 's', or 0 for literal text
    int width = 0;      // digits: 1 (no padding), 2 or 4
    QString text;
};

struct DatePattern {
    std::vector<DatePart> parts;
    bool byQt = false;
};

DatePattern compileDate(const QString& fmt)
{
    DatePattern p;
    auto addText = [&](const QString& t) {
        if (!p.parts.empty() && p.parts.back().what == 0) p.parts.back().text += t;
        else p.parts.push_back({0, 0, t});
    };
    for (int i = 0; i < fmt.size();) {
        const QChar c = fmt[i];
        if (c == '\'') { // quoted text; '' is a quote
            int j = i + 1;
            QString t;
            while (j < fmt.size()) {
                if (fmt[j] == '\'') {
                    if (j + 1 < fmt.size() && fmt[j + 1] == '\'') { t += '\''; j += 2; continue; }
                    break;
                }
                t += fmt[j++];
            }
            addText(j == i + 1 && j < fmt.size() ? QStringLiteral("'") : t);
            i = j + 1;
            continue;
        }
        int n = 1;
        while (i + n < fmt.size() && fmt[i + n] == c) ++n;
        const char l = c.toLatin1();
        if (l == 'y' && (n == 2 || n == 4)) p.parts.push_back({'y', n, {}});
        else if ((l == 'M' || l == 'd') && n <= 2) p.parts.push_back({l, n, {}});
        else if ((l == 'H' || l == 'h' || l == 'm' || l == 's') && n <= 2) p.parts.push_back({l, n, {}});
        else if (QStringLiteral("yMdhHmszAatP").contains(c)) p.byQt = true;
        else addText(fmt.mid(i, n));
        i += n;
    }
    return p;
}

const DatePattern& datePattern(const QString& fmt) { return compiled<DatePattern, compileDate>(fmt); }

void appendIso(QString& out, const DbStamp& s, bool withTime)
{
    appendNumber(out, s.year, 4);
    out += QLatin1Char('-');
    appendNumber(out, s.month, 2);
    out += QLatin1Char('-');
    appendNumber(out, s.day, 2);
    if (!withTime) return;
    out += QLatin1Char(' ');
    appendNumber(out, s.hour, 2);
    out += QLatin1Char(':');
    appendNumber(out, s.minute, 2);
    out += QLatin1Char(':');
    appendNumber(out, s.second, 2);
}

} // namespace

QString formatFloat(const QString& pattern, double value)
{
    if (pattern.isEmpty()) return generalForm(value);
    const NumberPattern& p = numberPattern(pattern);
    if (p.count >= 3 && value == 0 && p.sections[2].present)
        return formatSection(p.sections[2], value, false);
    if (p.count >= 2 && value < 0 && p.sections[1].present)
        return formatSection(p.sections[1], value, false);
    return formatSection(p.sections[0], value, true);
}

double roundDecimal(double value, int decimals)
{
    if (!std::isfinite(value)) return value;
    std::string i, f;
    roundTo(std::fabs(value), decimals, i, f);
    double r = std::stod(i + (f.empty() ? std::string() : "." + f));
    return value < 0 ? -r : r;
}

QString formatDate(const QDate& d)
{
    if (!d.isValid()) return QString();
    DbStamp s;
    d.getDate(&s.year, &s.month, &s.day);
    if (s.year < 0 || s.year > 9999) return d.toString(QStringLiteral("yyyy-MM-dd"));
    QString out;
    out.reserve(10);
    appendIso(out, s, false);
    return out;
}

QDate parseDate(const QString& text)
{
    QString t = text.trimmed();
    t.replace('/', '-');
    QStringList parts = t.split('-');
    if (parts.size() != 3) return QDate();
    bool ok1, ok2, ok3;
    int y = parts[0].trimmed().toInt(&ok1), m = parts[1].trimmed().toInt(&ok2), d = parts[2].trimmed().toInt(&ok3);
    if (!ok1 || !ok2 || !ok3) return QDate();
    return QDate(y, m, d);
}

QString toDbDateTime(const QDateTime& dt) { return dt.isValid() ? dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString(); }
QString toDbDate(const QDate& d) { return d.isValid() ? formatDate(d) + QStringLiteral(" 00:00:00") : QString(); }

bool parseDbStamp(QStringView t, DbStamp& s)
{
    s = DbStamp();
    if (t.size() < 10 || t[4] != '-' || t[7] != '-') return false;
    if (!digitsAt(t, 0, 4, s.year) || !digitsAt(t, 5, 2, s.month) || !digitsAt(t, 8, 2, s.day)) return false;
    if (!QDate::isValid(s.year, s.month, s.day)) return false;
    // The time counts only in the full stored form; anything else is the date at midnight.
    DbStamp withTime = s;
    if (t.size() == 19 && t[10] == ' ' && t[13] == ':' && t[16] == ':' && digitsAt(t, 11, 2, withTime.hour)
        && digitsAt(t, 14, 2, withTime.minute) && digitsAt(t, 17, 2, withTime.second)
        && QTime::isValid(withTime.hour, withTime.minute, withTime.second))
        s = withTime;
    return true;
}

QDateTime fromDbDateTime(const QString& text)
{
    DbStamp s;
    if (!parseDbStamp(text, s)) return QDateTime();
    return QDateTime(s.date(), QTime(s.hour, s.minute, s.second));
}

QString formatDbStamp(const QString& stored, const QString& pattern)
{
    DbStamp s;
    if (!parseDbStamp(stored, s)) return stored;
    QString out;
    if (pattern.isEmpty()) {
        out.reserve(19);
        appendIso(out, s, !s.midnight());
        return out;
    }
    const DatePattern& p = datePattern(pattern);
    if (p.byQt) return QDateTime(s.date(), QTime(s.hour, s.minute, s.second), Qt::UTC).toString(pattern);
    for (const DatePart& part : p.parts) {
        switch (part.what) {
        case 0: out += part.text; break;
        case 'y': appendNumber(out, part.width == 2 ? s.year % 100 : s.year, part.width); break;
        case 'M': appendNumber(out, s.month, part.width); break;
        case 'd': appendNumber(out, s.day, part.width); break;
        case 'H':
        case 'h': appendNumber(out, s.hour, part.width); break; // 24 hours: no AP in the pattern
        case 'm': appendNumber(out, s.minute, part.width); break;
        case 's': appendNumber(out, s.second, part.width); break;
        }
    }
    return out;
}

double parseNumber(const QString& text)
{
    bool ok = false;
    double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v)) throw ConversionError(QStringLiteral("'%1' is not a valid floating point value").arg(text));
    return v;
}

qint64 parseWholeNumber(const QString& text)
{
    bool ok = false;
    qint64 v = text.trimmed().toLongLong(&ok);
    if (ok) return v;
    // A whole number written with a decimal point or exponent.
    double d = parseNumber(text);
    if (d < -9.2e18 || d > 9.2e18) throw ConversionError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return qint64(d);
}

bool isBlankDateText(const QString& text)
{
    for (QChar c : text)
        if (!c.isSpace() && c != '-' && c != '/' && c != '_') return false;
    return true;
}

QString wholeCharacters(const QString& text)
{
    if (!text.isEmpty() && text.back().isHighSurrogate()) return text.left(text.size() - 1);
    return text;
}

}
