#include "common/pinyin.h"
#include <QList>
#include <QStringEncoder>

namespace qm {

namespace {
struct Range {
    int from;
    int to;
    char letter;
};

// First-level GB2312 characters by initial; the ranges follow one another.
constexpr Range kRanges[] = {
    {0xB0A1, 0xB0C4, 'A'}, {0xB0C5, 0xB2C0, 'B'}, {0xB2C1, 0xB4ED, 'C'}, {0xB4EE, 0xB6E9, 'D'},
    {0xB6EA, 0xB7A1, 'E'}, {0xB7A2, 0xB8C0, 'F'}, {0xB8C1, 0xB9FD, 'G'}, {0xB9FE, 0xBBF6, 'H'},
    {0xBBF7, 0xBFA5, 'J'}, {0xBFA6, 0xC0AB, 'K'}, {0xC0AC, 0xC2E7, 'L'}, {0xC2E8, 0xC4C2, 'M'},
    {0xC4C3, 0xC5B5, 'N'}, {0xC5B6, 0xC5BD, 'O'}, {0xC5BE, 0xC6D9, 'P'}, {0xC6DA, 0xC8BA, 'Q'},
    {0xC8BB, 0xC8F5, 'R'}, {0xC8F6, 0xCBF9, 'S'}, {0xCBFA, 0xCDD9, 'T'}, {0xCDDA, 0xCEF3, 'W'},
    {0xCEF4, 0xD1B8, 'X'}, {0xD1B9, 0xD4D0, 'Y'}, {0xD4D1, 0xD7F9, 'Z'},
};

// The initial of one character given as a code point.
QString initialOf(char32_t ch, bool upper)
{
    QString self = QString::fromUcs4(&ch, 1);
    if (ch < 0x80) return self;
    QStringEncoder gbk("GBK", QStringEncoder::Flag::Stateless);
    if (!gbk.isValid()) return self;
    QByteArray bytes = gbk.encode(self);
    if (gbk.hasError() || bytes.size() != 2) return self;
    int code = (uchar(bytes[0]) << 8) | uchar(bytes[1]);
    char letter = pinyinLetterOfCode(code);
    if (!letter) return self;
    return QString(QChar(upper ? letter : char(letter + 32)));
}
}

char pinyinLetterOfCode(int code)
{
    if (code < kRanges[0].from || code > kRanges[std::size(kRanges) - 1].to) return 0;
    for (const Range& r : kRanges)
        if (code >= r.from && code <= r.to) return r.letter;
    return 0;
}

QString PinyinInitial(const QString& text, bool upper)
{
    if (text.isEmpty()) return QString();
    char32_t ch = text.at(0).unicode();
    if (text.at(0).isHighSurrogate() && text.size() > 1 && text.at(1).isLowSurrogate())
        ch = QChar::surrogateToUcs4(text.at(0), text.at(1));
    return initialOf(ch, upper);
}

QString GetPinyinCode(const QString& text, bool upper)
{
    QString out;
    out.reserve(text.size());
    for (char32_t ch : text.toUcs4()) out += initialOf(ch, upper);
    return out;
}

}
