#include "common/formats.h"
#include "common/errors.h"
#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace qm {

namespace {

// Shortest decimal form of a finite non-negative value: digits without dot, and the
// position of the decimal point counted from the start of the digits.
struct Decimal {
    std::string digits; // no leading zeros unless value is zero ("0")
    int point = 0;      // value = 0.digits * 10^point
};

Decimal toDecimal(double v)
{
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
    std::string s(buf, res.ptr);
    // d.ddddde[+-]xx
    auto e = s.find('e');
    std::string mant = s.substr(0, e);
    int exp = std::stoi(s.substr(e + 1));
    Decimal d;
    for (char c : mant)
        if (c != '.') d.digits += c;
    d.point = exp + 1;
    // strip trailing zeros of the mantissa
    while (d.digits.size() > 1 && d.digits.back() == '0') d.digits.pop_back();
    if (d.digits == "0") d.point = 1;
    return d;
}

// Rounds to `decimals` digits after the point, half away from zero (v >= 0).
// Returns integer digits and fraction digits (fraction exactly `decimals` long).
void roundTo(double v, int decimals, std::string& intDigits, std::string& fracDigits)
{
    Decimal d = toDecimal(v);
    // Build the full digit string with the point at a fixed place.
    int keep = d.point + decimals; // digits to keep from the start of d.digits
    std::string all = d.digits;
    if (keep < 0) {
        intDigits = "0";
        fracDigits = std::string(decimals, '0');
        return;
    }
    bool roundUp = false;
    if ((int)all.size() > keep) {
        roundUp = all[keep] >= '5';
        all.resize(keep);
    } else {
        all.append(keep - all.size(), '0');
    }
    // all now has `keep` digits representing value * 10^decimals truncated
    if (roundUp) {
        int i = (int)all.size() - 1;
        while (i >= 0) {
            if (all[i] == '9') { all[i] = '0'; --i; }
            else { all[i]++; break; }
        }
        if (i < 0) all.insert(all.begin(), '1');
    }
    // split
    int intLen = (int)all.size() - decimals;
    if (intLen <= 0) {
        intDigits = "0";
        fracDigits = std::string(-intLen, '0') + all;
    } else {
        intDigits = all.substr(0, intLen);
        fracDigits = all.substr(intLen);
    }
    size_t nz = intDigits.find_first_not_of('0');
    intDigits = nz == std::string::npos ? "0" : intDigits.substr(nz);
}

QString generalForm(double v)
{
    if (std::isnan(v)) return QStringLiteral("NAN");
    if (std::isinf(v)) return v > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    QString s = QString::number(v, 'g', 15);
    return s;
}

QStringList splitSections(const QString& fmt)
{
    QStringList out;
    QString cur;
    QChar quote;
    for (QChar c : fmt) {
        if (!quote.isNull()) {
            cur += c;
            if (c == quote) quote = QChar();
            continue;
        }
        if (c == '"' || c == '\'') { quote = c; cur += c; continue; }
        if (c == ';') { out << cur; cur.clear(); continue; }
        cur += c;
    }
    out << cur;
    return out;
}

QString formatSection(const QString& fmt, double v, bool withSign)
{
    // Locate the number placeholder run and the literals around it.
    struct Piece { bool literal; QString text; };
    int first = -1, last = -1;
    QChar quote;
    for (int i = 0; i < fmt.size(); ++i) {
        QChar c = fmt[i];
        if (!quote.isNull()) { if (c == quote) quote = QChar(); continue; }
        if (c == '"' || c == '\'') { quote = c; continue; }
        if (c == '0' || c == '#' || c == '.' || c == ',') {
            if (first < 0) first = i;
            last = i;
        }
    }
    auto literal = [](const QString& s) {
        QString out;
        QChar q;
        for (QChar c : s) {
            if (!q.isNull()) { if (c == q) q = QChar(); else out += c; continue; }
            if (c == '"' || c == '\'') { q = c; continue; }
            out += c;
        }
        return out;
    };
    if (first < 0) return literal(fmt);

    QString prefix = literal(fmt.left(first));
    QString suffix = literal(fmt.mid(last + 1));
    QString num;
    for (int i = first; i <= last; ++i) {
        QChar c = fmt[i];
        if (c == '0' || c == '#' || c == '.' || c == ',') num += c;
    }
    int dot = num.indexOf('.');
    QString intPart = dot < 0 ? num : num.left(dot);
    QString fracPart = dot < 0 ? QString() : num.mid(dot + 1);
    bool thousands = intPart.contains(',');
    intPart.remove(',');
    fracPart.remove(',');
    int firstZero = intPart.indexOf('0');
    int minInt = firstZero < 0 ? 0 : intPart.size() - firstZero;
    int fracMax = fracPart.size();
    int fracMin = fracPart.lastIndexOf('0') + 1;

    double a = std::fabs(v);
    std::string intDigits, fracDigits;
    if (std::isfinite(a)) roundTo(a, fracMax, intDigits, fracDigits);
    else return generalForm(v);

    while ((int)fracDigits.size() > fracMin && !fracDigits.empty() && fracDigits.back() == '0')
        fracDigits.pop_back();
    if (intDigits == "0" && minInt == 0) intDigits.clear();
    while ((int)intDigits.size() < minInt) intDigits.insert(intDigits.begin(), '0');
    QString intText = QString::fromStdString(intDigits);
    if (thousands && intText.size() > 3) {
        QString t;
        int n = intText.size();
        for (int i = 0; i < n; ++i) {
            t += intText[i];
            int rest = n - 1 - i;
            if (rest > 0 && rest % 3 == 0) t += ',';
        }
        intText = t;
    }
    QString body = intText;
    if (!fracDigits.empty()) body += '.' + QString::fromStdString(fracDigits);
    bool isZero = std::all_of(intDigits.begin(), intDigits.end(), [](char c) { return c == '0'; })
                  && std::all_of(fracDigits.begin(), fracDigits.end(), [](char c) { return c == '0'; });
    QString sign = (withSign && v < 0 && !isZero) ? QStringLiteral("-") : QString();
    return prefix + sign + body + suffix;
}

} // namespace

QString formatFloat(const QString& pattern, double value)
{
    if (pattern.isEmpty()) return generalForm(value);
    QStringList sections = splitSections(pattern);
    if (sections.size() >= 3 && value == 0 && !sections[2].isEmpty())
        return formatSection(sections[2], value, false);
    if (sections.size() >= 2 && value < 0 && !sections[1].isEmpty())
        return formatSection(sections[1], value, false);
    return formatSection(sections[0], value, true);
}

double roundDecimal(double value, int decimals)
{
    if (!std::isfinite(value)) return value;
    std::string i, f;
    roundTo(std::fabs(value), decimals, i, f);
    double r = std::stod(i + (f.empty() ? std::string() : "." + f));
    return value < 0 ? -r : r;
}

QString formatDate(const QDate& d) { return d.isValid() ? d.toString(QStringLiteral("yyyy-MM-dd")) : QString(); }

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
QString toDbDate(const QDate& d) { return d.isValid() ? d.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00:00") : QString(); }

QDateTime fromDbDateTime(const QString& s)
{
    if (s.isEmpty()) return QDateTime();
    QDateTime dt = QDateTime::fromString(s, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!dt.isValid()) {
        QDate d = QDate::fromString(s.left(10), QStringLiteral("yyyy-MM-dd"));
        if (d.isValid()) dt = QDateTime(d, QTime(0, 0));
    }
    return dt;
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

QString cutToLength(const QString& text, int length)
{
    if (length < 0 || text.size() <= length) return text;
    return wholeCharacters(text.left(length));
}

}
