#pragma once
// The 32-column text receipt of a sale: output.txt in the program folder, in
// GBK with CR LF line ends, rewritten on every print. Columns are counted in
// GBK bytes (a Chinese character is two bytes and two columns).
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <vector>

namespace qm {
class Dataset;

namespace receipt {

inline constexpr int Width = 32;
inline constexpr int NameWidth = 18;

// Closing lines: the posted sales view's and the checkout's.
inline QString postedViewSlogan() { return QStringLiteral("       多谢惠顾,欢迎光临!"); }
inline QString checkoutSlogan() { return QStringLiteral("       欢迎光临,多谢惠顾!"); }

struct Row {
    QString name; // spmc
    double sl = 0;
    double price = 0; // dj_n
    double amount = 0;
};

struct Content {
    QString company; // company.name
    QString intno;
    double amount = 0; // the header's
    double pay = 0;    // cash taken in and change given: the last row's
    double rest = 0;
    std::vector<Row> rows;
    QString slogan;
    QDateTime printedAt;
};

// The GBK bytes of `text`; characters GBK lacks become "?".
QByteArray gbk(const QString& text);
// The name field: whole characters up to `width` bytes, padded with blanks to
// exactly `width` bytes. A character never breaks across the edge.
QByteArray nameField(const QString& name, int width = NameWidth);
// `text` right-aligned in `width` columns; a longer text is kept whole.
QByteArray rightAligned(const QByteArray& text, int width);
// Money as the receipt's rows show it: one decimal, rounded.
QByteArray money(double v);
// Money that changes hands (合计, 现金, 找零): one decimal, two when there
// are cents, so that the change printed is the change given.
QByteArray cash(double v);

// The whole receipt, line by line, each line ended by CR LF.
QByteArray render(const Content& c);

// The receipt of the header's current row and every row of `rows` (left on the
// last row), with the company row's name, printed now.
Content fromDocument(Dataset* header, Dataset* rows, Dataset* company, const QString& slogan);

// Writes output.txt into the program folder and returns its path. Throws
// FileOpenError when it cannot be written.
QString writeFile(const Content& c);

}
}
