#include "documents/salereceipt.h"
#include "common/clock.h"
#include "common/errors.h"
#include "common/formats.h"
#include "common/paths.h"
#include "data/dataset.h"
#include <QFile>
#include <QStringEncoder>

namespace qm::receipt {

namespace {
// One character (a surrogate pair counts as one) in GBK, or "?" when GBK lacks it.
QByteArray gbkChar(QStringEncoder& enc, QStringView ch)
{
    QByteArray b = enc.encode(ch);
    const bool bad = enc.hasError() || b.isEmpty();
    enc.resetState();
    return bad ? QByteArray("?") : b;
}

qsizetype charLength(const QString& text, qsizetype i)
{
    return (text[i].isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
}
}

QByteArray gbk(const QString& text)
{
    QStringEncoder enc("GBK", QStringEncoder::Flag::Stateless);
    QByteArray out;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype n = charLength(text, i);
        out += gbkChar(enc, QStringView(text).mid(i, n));
        i += n;
    }
    return out;
}

QByteArray nameField(const QString& name, int width)
{
    QStringEncoder enc("GBK", QStringEncoder::Flag::Stateless);
    QByteArray out;
    for (qsizetype i = 0; i < name.size();) {
        const qsizetype n = charLength(name, i);
        const QByteArray ch = gbkChar(enc, QStringView(name).mid(i, n));
        if (out.size() + ch.size() > width) break;
        out += ch;
        i += n;
    }
    return out + QByteArray(width - out.size(), ' ');
}

QByteArray rightAligned(const QByteArray& text, int width)
{
    return text.size() >= width ? text : QByteArray(width - text.size(), ' ') + text;
}

QByteArray money(double v) { return formatFloat(QStringLiteral("0.0"), v).toLatin1(); }

QByteArray cash(double v) { return formatFloat(QStringLiteral("0.0#"), v).toLatin1(); }

namespace {
QByteArray twoDigits(int v) { return QByteArray::number(v % 100).rightJustified(2, '0'); }
}

QByteArray render(const Content& c)
{
    QByteArray out;
    auto line = [&out](const QByteArray& text) { out += text + "\r\n"; };
    const QByteArray rule(Width, '-');

    line(" ");
    const QByteArray company = gbk(c.company.trimmed());
    line(QByteArray(std::max<qsizetype>(0, (Width - company.size()) / 2), ' ') + company);
    line(rule);
    line(gbk(QStringLiteral("单号:")) + gbk(c.intno));
    const QDate d = c.printedAt.date();
    const QTime t = c.printedAt.time();
    line(gbk(QStringLiteral("日期:")) + twoDigits(d.year()) + ':' + twoDigits(d.month()) + ':' + twoDigits(d.day())
         + gbk(QStringLiteral("  时间:")) + twoDigits(t.hour()) + ':' + twoDigits(t.minute()) + ':'
         + twoDigits(t.second()));
    line(rule);
    line(gbk(QStringLiteral("商品名称         数量 单价  金额")));
    for (const Row& r : c.rows)
        line(nameField(r.name) + rightAligned(formatFloat(QString(), r.sl).toLatin1(), 2)
             + rightAligned(money(r.price), 6) + rightAligned(money(r.amount), 6));
    line(rule);
    line(gbk(QStringLiteral("合计:")) + rightAligned(cash(c.amount), 8) + gbk(QStringLiteral("    现金:"))
         + rightAligned(cash(c.pay), 8));
    line(gbk(QStringLiteral("找零:")) + rightAligned(cash(c.rest), 6));
    line(gbk(c.slogan));
    for (int i = 0; i < 5; ++i) line(" ");
    return out;
}

Content fromDocument(Dataset* header, Dataset* rows, Dataset* company, const QString& slogan)
{
    Content c;
    if (company) {
        if (!company->active()) company->open();
        if (!company->isEmpty()) c.company = company->asString(QStringLiteral("name"));
    }
    c.intno = header->asString(QStringLiteral("intno"));
    c.amount = header->asFloat(QStringLiteral("amount"));
    for (rows->first(); !rows->eof(); rows->next()) {
        c.rows.push_back({rows->asString(QStringLiteral("spmc")), rows->asFloat(QStringLiteral("sl")),
                          rows->asFloat(QStringLiteral("dj_n")), rows->asFloat(QStringLiteral("amount"))});
        c.pay = rows->asFloat(QStringLiteral("pay"));
        c.rest = rows->asFloat(QStringLiteral("rest"));
    }
    c.slogan = slogan;
    c.printedAt = Clock::now();
    return c;
}

QString writeFile(const Content& c)
{
    const QString path = AppPaths::file(QStringLiteral("output.txt"));
    // A scratch file rewritten by every print: no need to wait for the disk.
    QFile f(path);
    const QByteArray bytes = render(c);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size() || !f.flush())
        throw FileOpenError(path + QStringLiteral(": ") + f.errorString());
    return path;
}

}
