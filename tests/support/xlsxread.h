#pragma once
// Reads a written workbook back for the tests: the zip container through
// zlib, the first sheet's cells, column widths, row heights and print options.
#include <QByteArray>
#include <QFile>
#include <QMap>
#include <QString>
#include <QXmlStreamReader>
#include <zlib.h>
#include <cstring>

namespace qmtest {

// The content of the entry `name` of the zip file at `path`; empty when missing.
inline QByteArray zipEntry(const QString& path, const QString& name)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray zip = f.readAll();
    auto u16 = [&](qsizetype at) { return quint16(uchar(zip[at]) | uchar(zip[at + 1]) << 8); };
    auto u32 = [&](qsizetype at) { return quint32(u16(at)) | quint32(u16(at + 2)) << 16; };
    // The end of the central directory, then its entries.
    qsizetype end = zip.lastIndexOf(QByteArray("PK\x05\x06", 4));
    if (end < 0) return {};
    qsizetype at = u32(end + 16);
    const int entries = u16(end + 10);
    for (int i = 0; i < entries && at + 46 <= zip.size(); ++i) {
        const int method = u16(at + 10);
        const quint32 packed = u32(at + 20), size = u32(at + 24);
        const int nameLen = u16(at + 28), extraLen = u16(at + 30), commentLen = u16(at + 32);
        const quint32 local = u32(at + 42);
        const QByteArray entryName = zip.mid(at + 46, nameLen);
        at += 46 + nameLen + extraLen + commentLen;
        if (QString::fromUtf8(entryName) != name) continue;
        const qsizetype data = local + 30 + u16(local + 26) + u16(local + 28);
        const QByteArray raw = zip.mid(data, packed);
        if (method == 0) return raw;
        QByteArray out(qsizetype(size), '\0');
        z_stream z;
        std::memset(&z, 0, sizeof z);
        inflateInit2(&z, -MAX_WBITS);
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(raw.data()));
        z.avail_in = uInt(raw.size());
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = uInt(out.size());
        const int rc = inflate(&z, Z_FINISH);
        inflateEnd(&z);
        return rc == Z_STREAM_END ? out : QByteArray();
    }
    return {};
}

struct Cell {
    QString type;  // "s" shared, "inlineStr", "str", "n" (no type: a number)
    QString text;  // the text, or the number as written
};

struct Sheet {
    QMap<QString, Cell> cells;   // "A1" -> cell
    QMap<int, double> widths;    // column from 1
    QMap<int, double> heights;   // row from 1
    bool printGridLines = false;
    int rows = 0;
};

inline Sheet readSheet(const QString& path)
{
    Sheet s;
    QStringList shared;
    QXmlStreamReader ss(zipEntry(path, "xl/sharedStrings.xml"));
    while (!ss.atEnd())
        if (ss.readNext() == QXmlStreamReader::StartElement && ss.name() == QLatin1String("t")) shared << ss.readElementText();
    QXmlStreamReader x(zipEntry(path, "xl/worksheets/sheet1.xml"));
    QString ref, type;
    while (!x.atEnd()) {
        if (x.readNext() != QXmlStreamReader::StartElement) continue;
        const auto a = x.attributes();
        if (x.name() == QLatin1String("col")) {
            for (int c = a.value("min").toInt(); c <= a.value("max").toInt(); ++c) s.widths[c] = a.value("width").toDouble();
        } else if (x.name() == QLatin1String("row")) {
            s.rows = std::max(s.rows, a.value("r").toInt());
            if (a.hasAttribute("ht")) s.heights[a.value("r").toInt()] = a.value("ht").toDouble();
        } else if (x.name() == QLatin1String("c")) {
            ref = a.value("r").toString();
            type = a.hasAttribute("t") ? a.value("t").toString() : QStringLiteral("n");
        } else if (x.name() == QLatin1String("v")) {
            const QString v = x.readElementText();
            s.cells[ref] = {type, type == QLatin1String("s") ? shared.value(v.toInt()) : v};
        } else if (x.name() == QLatin1String("t")) {
            s.cells[ref] = {type, x.readElementText()};
        } else if (x.name() == QLatin1String("f")) {
            s.cells[ref] = {QStringLiteral("formula"), x.readElementText()};
        } else if (x.name() == QLatin1String("printOptions")) {
            s.printGridLines = a.value("gridLines") == QLatin1String("1");
        }
    }
    return s;
}

}
