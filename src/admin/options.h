#pragma once
// The rules of the options window: number formats built from decimals and the
// thousands separator, the date format and edit mask from their boxes, and
// the boxes read back from a saved options row.
#include <QString>
#include <QStringList>

namespace qm::options {

// What the options page holds, as text in its boxes.
struct Page {
    QString amountInt, priceInt, qtyInt, weightInt;     // integer digits (stored nowhere)
    QString amountDec, priceDec, qtyDec, weightDec;      // decimals
    bool amountSeparator = false, priceSeparator = false; // "是" chosen
    QString year, month, day;                            // date display format
    QString editYear, editMonth, editDay;                // date edit format
    QString imeName;
    bool serialPrinter = false;                          // 串口打印机 chosen
    bool cashbox = false;                                // open the drawer: "是"
};

// The columns of the options row that the page writes.
struct Row {
    QString amountformat, priceformat, qtyformat, weightformat;
    QString dateformat, dateeditmask, dateseparator, imename;
    bool printbj = false, cashboxbj = false;
};

// Empty digit boxes take their defaults (12/10/10/10 integer digits; 2, 2, 0, 2 decimals).
void fillDefaults(Page& page);
// "0.00", "0,.000", at most six decimals. Throws ConversionError when the
// decimals are not a whole number, OutOfRange when they are one too large.
QString numberFormat(const QString& decimals, bool separator);
// The row the page saves; fills the empty boxes of `page` first.
Row build(Page& page);
// The page shown for a saved row (integer-digit boxes keep their defaults).
Page readBack(const Row& row);
// Digits after the point of a format.
int decimalsOf(const QString& format);

// Names of the input methods installed here (the engines ibus reports), or
// an empty list where there is none.
QStringList installedInputMethods();
// The engine names of `ibus list-engine` output.
QStringList parseEngineList(const QString& output);

}
