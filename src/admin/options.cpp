#include "admin/options.h"
#include "common/bounds.h"
#include <cmath>
#include <limits>
#include <QProcess>
#include <QStandardPaths>

namespace qm::options {

namespace {
void orDefault(QString& box, const char* value)
{
    if (box.trimmed().isEmpty()) box = QString::fromLatin1(value);
}

int wholeNumber(const QString& text)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    if (ok) return n;
    // A whole number too large for the box, or one no double holds, is out
    // of range; anything else is no whole number.
    if (beyondDouble(text)) throw OutOfRange(QString());
    const double v = text.trimmed().toDouble(&ok);
    if (ok && v == std::trunc(v) && std::fabs(v) > std::numeric_limits<int>::max()) throw OutOfRange(QString());
    throw ConversionError(QStringLiteral("'%1' is not a valid integer value").arg(text));
}
}

void fillDefaults(Page& p)
{
    orDefault(p.amountInt, "12");
    orDefault(p.priceInt, "10");
    orDefault(p.qtyInt, "10");
    orDefault(p.amountDec, "2");
    orDefault(p.priceDec, "2");
    orDefault(p.qtyDec, "0");
    orDefault(p.weightInt, "10");
    orDefault(p.weightDec, "2");
}

QString numberFormat(const QString& decimals, bool separator)
{
    const int d = wholeNumber(decimals);
    const QString head = separator ? QStringLiteral("0,.") : QStringLiteral("0.");
    return head + QString(d < 6 ? qMax(d, 0) : 6, QLatin1Char('0'));
}

Row build(Page& p)
{
    fillDefaults(p);
    Row r;
    r.amountformat = numberFormat(p.amountDec, p.amountSeparator);
    r.priceformat = numberFormat(p.priceDec, p.priceSeparator);
    r.qtyformat = numberFormat(p.qtyDec, false);
    r.weightformat = numberFormat(p.weightDec, false);

    r.dateseparator = QStringLiteral("-");
    const QString year = p.year.trimmed().toUpper();
    if (year == QLatin1String("YYYY") || year == QLatin1String("YY"))
        r.dateformat = p.year.trimmed() + "-" + p.month.trimmed() + "-" + p.day.trimmed();
    else
        r.dateformat = QStringLiteral("yyyy-mm-dd");

    const QString editYear = p.editYear.trimmed();
    if (editYear == QLatin1String("0000") || editYear == QLatin1String("00"))
        r.dateeditmask = editYear + "/" + p.editMonth.trimmed() + "/" + p.editDay.trimmed() + ";1;";
    else
        r.dateeditmask.clear();

    r.imename = p.imeName.trimmed();
    r.printbj = p.serialPrinter;
    r.cashboxbj = p.cashbox;
    return r;
}

int decimalsOf(const QString& format)
{
    const int point = format.lastIndexOf(QLatin1Char('.'));
    if (point < 0) return 0;
    int n = 0;
    for (int i = point + 1; i < format.size() && (format[i] == QLatin1Char('0') || format[i] == QLatin1Char('#')); ++i) ++n;
    return n;
}

Page readBack(const Row& r)
{
    Page p;
    fillDefaults(p);
    p.amountSeparator = r.amountformat.contains(QLatin1Char(','));
    p.priceSeparator = r.priceformat.contains(QLatin1Char(','));
    p.amountDec = QString::number(decimalsOf(r.amountformat));
    p.priceDec = QString::number(decimalsOf(r.priceformat));
    p.qtyDec = QString::number(decimalsOf(r.qtyformat));
    p.weightDec = QString::number(decimalsOf(r.weightformat));

    // Date display format: year part as saved, month and day boxes likewise.
    const QStringList dateParts = r.dateformat.split(QLatin1Char('-'));
    p.month = QStringLiteral("mm");
    p.day = QStringLiteral("dd");
    if (r.dateseparator == QLatin1String("-")) {
        p.year = r.dateformat.size() == 10 ? QStringLiteral("yyyy") : QStringLiteral("yy");
        if (dateParts.size() == 3) {
            const QString y = dateParts[0].toUpper();
            if (y == QLatin1String("YYYY") || y == QLatin1String("YY")) p.year = dateParts[0];
            if (!dateParts[1].isEmpty()) p.month = dateParts[1];
            if (!dateParts[2].isEmpty()) p.day = dateParts[2];
        }
    } else {
        p.year.clear();
    }

    // Date edit mask, saved as "0000/00/00;1;" for a four-digit year: the
    // year is recognised by its own part, not by the length of the whole mask.
    const QString maskYear = r.dateeditmask.section(QLatin1Char('/'), 0, 0);
    p.editYear = maskYear == QLatin1String("0000") ? QStringLiteral("0000") : QStringLiteral("00");
    const QStringList maskParts = r.dateeditmask.section(QLatin1Char(';'), 0, 0).split(QLatin1Char('/'));
    p.editMonth = maskParts.size() == 3 && !maskParts[1].isEmpty() ? maskParts[1] : QStringLiteral("00");
    p.editDay = maskParts.size() == 3 && !maskParts[2].isEmpty() ? maskParts[2] : QStringLiteral("00");

    p.imeName = r.imename;
    p.serialPrinter = r.printbj;
    p.cashbox = r.cashboxbj;
    return p;
}

QStringList parseEngineList(const QString& output)
{
    // "language: Chinese" headings, then "  pinyin - Pinyin" lines.
    QStringList names;
    for (const QString& line : output.split(QLatin1Char('\n'))) {
        if (!line.startsWith(QLatin1Char(' ')) && !line.startsWith(QLatin1Char('\t'))) continue;
        QString name = line.trimmed().section(QStringLiteral(" - "), 0, 0).trimmed();
        if (!name.isEmpty() && !names.contains(name)) names << name;
    }
    return names;
}

QStringList installedInputMethods()
{
    const QString ibus = QStandardPaths::findExecutable(QStringLiteral("ibus"));
    if (ibus.isEmpty()) return {};
    QProcess p;
    p.start(ibus, {QStringLiteral("list-engine")});
    if (!p.waitForStarted(1000)) return {};
    if (!p.waitForFinished(2000)) {
        p.kill();
        p.waitForFinished(500);
        return {};
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) return {};
    return parseEngineList(QString::fromUtf8(p.readAllStandardOutput()));
}

}
