#include "common/errors.h"
#include "common/receiptprinter.h"
#include "documents/salereceipt.h"
#include "support/files.h"
#include <gtest/gtest.h>
#include <QElapsedTimer>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace qm;

namespace {
QString fromGbk(const QByteArray& b) { return QStringDecoder("GBK").decode(b); }

receipt::Content sample()
{
    receipt::Content c;
    c.company = QStringLiteral(" 八个汉字的好商店 ");
    c.intno = "0000000012";
    c.amount = 40;
    c.pay = 50;
    c.rest = 10;
    c.rows = {{QStringLiteral("可口可乐"), 2, 12.5, 25}, {QStringLiteral("A4纸"), 100, 0.15, 15}};
    c.slogan = receipt::checkoutSlogan();
    c.printedAt = QDateTime(QDate(2026, 3, 9), QTime(7, 5, 3));
    return c;
}
}

TEST(ReceiptText, NameFieldsCutOnWholeCharactersAndFillEighteenBytes)
{
    // 4 characters: padded with 10 blanks.
    EXPECT_EQ(receipt::nameField(QStringLiteral("可口可乐")), receipt::gbk(QStringLiteral("可口可乐")) + QByteArray(10, ' '));
    // 9 characters are exactly 18 bytes; 10 are cut to the first 9.
    const QString nine = QStringLiteral("一二三四五六七八九");
    EXPECT_EQ(receipt::nameField(nine), receipt::gbk(nine));
    EXPECT_EQ(receipt::nameField(nine + QStringLiteral("十")), receipt::gbk(nine));
    // "A" and 9 characters (19 bytes): "A" and 8 characters, then a blank.
    EXPECT_EQ(receipt::nameField("A" + nine), "A" + receipt::gbk(QStringLiteral("一二三四五六七八")) + " ");
    // A character that would straddle the edge is left out whole, never split.
    const QByteArray straddle = receipt::nameField("A" + nine + "B");
    EXPECT_EQ(straddle.size(), 18);
    EXPECT_EQ(fromGbk(straddle), "A" + QStringLiteral("一二三四五六七八") + " ");
    const QByteArray mixed = receipt::nameField(QStringLiteral("ABC一二三四五六七八"));
    EXPECT_EQ(fromGbk(mixed), QStringLiteral("ABC一二三四五六七 "));
    // Plain ASCII is cut at 18 bytes.
    EXPECT_EQ(receipt::nameField("0123456789abcdefghij"), QByteArray("0123456789abcdefgh"));
    for (const QString& n : {nine, "A" + nine + "B", QStringLiteral("ABC一二三四五六七八"), QString()})
        EXPECT_EQ(receipt::nameField(n).size(), 18) << n.toStdString();
}

TEST(ReceiptText, WholeReceiptLineByLine)
{
    const QByteArray bytes = receipt::render(sample());
    ASSERT_TRUE(bytes.endsWith("\r\n"));
    QList<QByteArray> lines = bytes.split('\n');
    lines.removeLast(); // after the last CR LF
    for (QByteArray& l : lines) {
        ASSERT_TRUE(l.endsWith('\r'));
        l.chop(1);
    }
    const QByteArray cola = receipt::gbk(QStringLiteral("可口可乐")) + QByteArray(10, ' ');
    const QByteArray paper = "A4" + receipt::gbk(QStringLiteral("纸")) + QByteArray(14, ' ');
    const QList<QByteArray> expected = {
        " ",
        QByteArray(8, ' ') + receipt::gbk(QStringLiteral("八个汉字的好商店")),
        QByteArray(32, '-'),
        receipt::gbk(QStringLiteral("单号:0000000012")),
        receipt::gbk(QStringLiteral("日期:26:03:09  时间:07:05:03")),
        QByteArray(32, '-'),
        receipt::gbk(QStringLiteral("商品名称         数量 单价  金额")),
        cola + " 2" + "  12.5" + "  25.0",
        paper + "100" + "   0.2" + "  15.0", // a quantity of 100 pushes the line one column right
        QByteArray(32, '-'),
        receipt::gbk(QStringLiteral("合计:")) + "    40.0" + receipt::gbk(QStringLiteral("    现金:")) + "    50.0",
        receipt::gbk(QStringLiteral("找零:")) + "  10.0",
        receipt::gbk(QStringLiteral("       欢迎光临,多谢惠顾!")),
        " ", " ", " ", " ", " "};
    ASSERT_EQ(lines.size(), expected.size());
    for (int i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i], expected[i]) << "line " << i + 1;
    EXPECT_EQ(lines[6].size(), 32);
    EXPECT_EQ(lines[7].size(), 32);
}

TEST(ReceiptText, CompanyLineAndNegativeChange)
{
    receipt::Content c = sample();
    c.company = QString(20, QChar(0x5E97)); // 40 bytes: no blanks before it
    c.pay = 30;
    c.rest = -10;
    const QList<QByteArray> lines = receipt::render(c).split('\n');
    EXPECT_EQ(lines[1], receipt::gbk(c.company) + "\r");
    EXPECT_EQ(lines[11], receipt::gbk(QStringLiteral("找零:")) + " -10.0\r");
}

class ReceiptPrinter : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString receiptFile;
    void SetUp() override
    {
        receiptFile = dir.filePath("output.txt");
        QFile f(receiptFile);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("line one\r\n\r\n" + receipt::gbk(QStringLiteral("合计:")) + "\r\nlast\r\n");
        setReceiptPrinterTimeout(300);
    }
    void TearDown() override
    {
        qunsetenv("QM_RECEIPT_PRINTER");
        setReceiptPrinterTimeout(3000);
    }
};

TEST_F(ReceiptPrinter, DeviceChoiceAndLineEnds)
{
    qunsetenv("QM_RECEIPT_PRINTER");
    const QString fallback = QFile::exists("/dev/usb/lp0") ? "/dev/usb/lp0" : "/dev/lp0";
    EXPECT_EQ(receiptPrinterDevice(), fallback);
    qputenv("QM_RECEIPT_PRINTER", "  /tmp/x  ");
    EXPECT_EQ(receiptPrinterDevice(), "/tmp/x");

    EXPECT_EQ(printerLines("a\r\nb\nc\rd"), QByteArray("a\nb\nc\nd\n"));
    EXPECT_EQ(printerLines(""), QByteArray());
}

TEST_F(ReceiptPrinter, FileStandingInForThePrinterIsCreatedAndAppendedTo)
{
    const QString device = dir.filePath("lp0");
    qputenv("QM_RECEIPT_PRINTER", device.toLocal8Bit());
    const QByteArray one = "line one\n\n" + receipt::gbk(QStringLiteral("合计:")) + "\nlast\n";
    PrintFileToLPT1(receiptFile);
    EXPECT_EQ(readFile(device), one);
    PrintFileToLPT1(receiptFile);
    EXPECT_EQ(readFile(device), one + one);
}

TEST_F(ReceiptPrinter, MissingDeviceAndPipeWithoutReaderFailWithinTheTimeout)
{
    // No printer where one is named: a missing device, a file in a missing folder.
    for (const QString& missing : {QStringLiteral("/dev/qm-no-such-printer"), dir.filePath("offline/lp0")}) {
        qputenv("QM_RECEIPT_PRINTER", missing.toLocal8Bit());
        EXPECT_THROW(PrintFileToLPT1(receiptFile), FileOpenError);
        EXPECT_FALSE(QFile::exists(missing));
    }

    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    qputenv("QM_RECEIPT_PRINTER", fifo.toLocal8Bit());
    QElapsedTimer t;
    t.start();
    EXPECT_THROW(PrintFileToLPT1(receiptFile), FileOpenError);
    EXPECT_GE(t.elapsed(), 250);
    EXPECT_LT(t.elapsed(), 2000);

    // A reader that holds the pipe open but never reads: the write waits no
    // longer than the timeout once the pipe is full.
    const int reader = ::open(fifo.toLocal8Bit().constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    t.restart();
    EXPECT_FALSE(writeToDevice(fifo, QByteArray(1 << 20, 'x'), 300).isEmpty());
    EXPECT_LT(t.elapsed(), 2000);
    ::close(reader);
}

TEST_F(ReceiptPrinter, PipeWithAReaderGetsTheBytes)
{
    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    const int reader = ::open(fifo.toLocal8Bit().constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    qputenv("QM_RECEIPT_PRINTER", fifo.toLocal8Bit());
    PrintFileToLPT1(receiptFile);
    char buf[256];
    const ssize_t n = ::read(reader, buf, sizeof buf);
    ::close(reader);
    EXPECT_EQ(QByteArray(buf, int(n)), "line one\n\n" + receipt::gbk(QStringLiteral("合计:")) + "\nlast\n");
}
