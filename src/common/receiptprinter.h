#pragma once
// The receipt printer: a character device written line by line. On Linux it is
// /dev/usb/lp0, else /dev/lp0; the environment variable QM_RECEIPT_PRINTER names
// another device (or a file or pipe standing in for one).
//
// Every write runs against a deadline: a printer that is off, unplugged or out
// of paper makes the write fail after the timeout instead of freezing the
// window that printed.
#include <QByteArray>
#include <QString>

namespace qm {

// The device the receipts go to.
QString receiptPrinterDevice();

// How long one receipt may take to reach the device, in milliseconds (3000 by
// default). Tests shorten it.
int receiptPrinterTimeout();
void setReceiptPrinterTimeout(int ms);

// The lines of a text file with their line ends (CR LF, LF or CR) replaced by a
// single LF each: what the printer receives for the file.
QByteArray printerLines(const QByteArray& text);

// Writes `data` to `device` within `timeoutMs`; a path outside /dev that does
// not exist is created as a file and appended to. Returns an empty string on
// success, else what went wrong (for the log and the error window).
QString writeToDevice(const QString& device, const QByteArray& data, int timeoutMs);

// Copies a text file to the receipt printer, each line followed by LF alone.
// Throws FileOpenError when the file cannot be read or the printer does not
// take it in time; nothing else is undone.
void PrintFileToLPT1(const QString& path);

// The same for the checkout: a failure shows "请连接好打印机,装好打印纸并打开打印机电源！"
// with the device's name on a second line instead of throwing. Returns whether the receipt reached the printer.
bool frontDeskPrintFile(const QString& path);

}
