#include "common/receiptprinter.h"
#include "common/dialogs.h"
#include "common/errors.h"
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <csignal>
#include <poll.h>
#include <unistd.h>

namespace qm {

namespace {
int g_timeoutMs = 3000;

QString systemError(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

// Sleeps a little without overshooting the deadline.
void pause(const QElapsedTimer& clock, int timeoutMs)
{
    qint64 left = timeoutMs - clock.elapsed();
    if (left > 0) ::usleep(useconds_t(std::min<qint64>(left, 20)) * 1000);
}
}

QString receiptPrinterDevice()
{
    const QString configured = qEnvironmentVariable("QM_RECEIPT_PRINTER").trimmed();
    if (!configured.isEmpty()) return configured;
    if (QFileInfo::exists(QStringLiteral("/dev/usb/lp0"))) return QStringLiteral("/dev/usb/lp0");
    return QStringLiteral("/dev/lp0");
}

int receiptPrinterTimeout() { return g_timeoutMs; }
void setReceiptPrinterTimeout(int ms) { g_timeoutMs = ms; }

QByteArray printerLines(const QByteArray& text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += '\n';
        } else {
            out += c;
        }
    }
    // The last line is a line even without its line end.
    if (!out.isEmpty() && !out.endsWith('\n')) out += '\n';
    return out;
}

QString writeToDevice(const QString& device, const QByteArray& data, int timeoutMs)
{
    // A reader that goes away must fail the write, not end the program.
    static const bool sigpipeIgnored = [] {
        struct sigaction old {};
        if (::sigaction(SIGPIPE, nullptr, &old) == 0 && old.sa_handler == SIG_DFL) ::signal(SIGPIPE, SIG_IGN);
        return true;
    }();
    Q_UNUSED(sigpipeIgnored);
    QElapsedTimer clock;
    clock.start();
    const QByteArray path = QFile::encodeName(device);
    // Non-blocking throughout: a pipe without a reader refuses the open (ENXIO)
    // and a busy printer refuses the write (EAGAIN); both are retried until the
    // deadline.
    // A path outside /dev that names nothing yet is a file standing in for the
    // printer: made by the first receipt and appended to by the next ones.
    int flags = O_WRONLY | O_NONBLOCK | O_NOCTTY | O_APPEND | O_CLOEXEC;
    if (!device.startsWith(QStringLiteral("/dev/"))) flags |= O_CREAT;
    int fd = -1;
    for (;;) {
        fd = ::open(path.constData(), flags, 0644);
        if (fd >= 0) break;
        const int err = errno;
        if ((err != ENXIO && err != EAGAIN && err != EINTR && err != EBUSY) || clock.elapsed() >= timeoutMs)
            return device + QStringLiteral(": ") + systemError(err);
        pause(clock, timeoutMs);
    }
    qsizetype done = 0;
    QString failure;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        const int err = n < 0 ? errno : EAGAIN;
        if (err != EAGAIN && err != EINTR) {
            failure = device + QStringLiteral(": ") + systemError(err);
            break;
        }
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0) {
            failure = device + QStringLiteral(": ") + QStringLiteral("打印机在 %1 毫秒内没有接收数据").arg(timeoutMs);
            break;
        }
        pollfd p{fd, POLLOUT, 0};
        QElapsedTimer waited;
        waited.start();
        if (::poll(&p, 1, int(std::min<qint64>(left, 100))) > 0 && (p.revents & (POLLERR | POLLHUP))) {
            failure = device + QStringLiteral(": ") + systemError(EPIPE);
            break;
        }
        // Drivers without a poll of their own report ready at once.
        if (waited.elapsed() < 2) pause(clock, timeoutMs);
    }
    ::close(fd);
    return failure;
}

namespace {
QByteArray readReceipt(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) throw FileOpenError(path + QStringLiteral(": ") + f.errorString());
    return f.readAll();
}
}

void PrintFileToLPT1(const QString& path)
{
    const QString failure = writeToDevice(receiptPrinterDevice(), printerLines(readReceipt(path)), g_timeoutMs);
    if (!failure.isEmpty()) throw FileOpenError(failure);
}

bool frontDeskPrintFile(const QString& path)
{
    try {
        PrintFileToLPT1(path);
        return true;
    } catch (const FileOpenError&) {
        dlg::showMessage(QStringLiteral("请连接好打印机,装好打印纸并打开打印机电源！\n") + receiptPrinterDevice());
        return false;
    }
}

}
