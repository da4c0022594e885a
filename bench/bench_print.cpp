// The print of the walk-in customer's statement, as the statement window's
// 打印 runs it: the run, the print's rows, the pages laid out, then the
// preview or the print to PDF.
//   bench_print [scale] [year|all] [measure]   each measure below (or the one named) in a fresh process, one line each
//   bench_print <scale> <range> <measure> <shop copy>
// The range is the shop's last full year (year, the default) or every year of
// its trade (all). Measures: "prepare" (the print's rows and the pages laid
// out: time, memory per page, peak), "preview" (打印 clicked: the first page
// shown, the last page after 末页, the peak, and the memory left once the
// preview has closed, against before 打印), "pdf" (打印 clicked and the
// preview's 打印 on a PDF printer: time to the file written, peak, file size;
// then raw SQLite reading the same rows in order in the same process), and
// "texts" (a digest of every page's texts, to compare two builds).
// Peak memory is the process's own high-water mark (VmHWM), as /usr/bin/time
// reports it; each measure runs in a process of its own so that one cannot
// lend its peak to another.
#if __has_include("shopgen.h")
#include "shopgen.h"
#include "app/tfrmain.h"
#include "common/clock.h"
#include "common/dialogs.h"
#include "common/formats.h"
#include "common/paths.h"
#include "common/printer.h"
#include "data/tfrdm.h"
#include "data/upgrades.h"
#include "layouts/report.h"
#include "reports/reportwindow.h"
#include "reports/statements.h"
#include "reports/statementmodel.h"
#include "reports/statementwindow.h"
#include "measure.h"
#include "rawstatement.h"
#include <QAction>
#include <QApplication>
#include <QCryptographicHash>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPixmap>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>
#include <sqlite3.h>
#include <cstdio>

using namespace qm;
using namespace qm::reports;

namespace {
double mb(long kb) { return kb / 1024.0; }

// Paints the dialog as the screen would, now; with QM_SHOTS set, the picture
// is kept in that folder as `name`.png.
void showNow(QDialog* d, const char* name)
{
    QApplication::processEvents();
    const QPixmap shown = d->grab();
    const QString shots = qEnvironmentVariable("QM_SHOTS");
    if (!shots.isEmpty() && QDir().mkpath(shots)) shown.save(shots + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"));
}

// Goes to the last page with the preview's own control.
void toLastPage(QDialog* d)
{
    if (auto* a = d->findChild<QAction*>(QStringLiteral("lastPage"))) a->trigger();
    showNow(d, "preview-last");
}

// Raw SQLite reading the statement's rows of the range in their order, every
// shown column, on a connection of its own.
double rawRead(const QString& path, const DateRange& r)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    QElapsedTimer t;
    t.start();
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, qmbench::customerRowsSql().toUtf8().constData(), -1, &s, nullptr);
    qmbench::bindStatementRange(s, r, QStringLiteral("0000000001"));
    const qint64 bytes = qmbench::readEveryRow(s);
    sqlite3_finalize(s);
    const double secs = t.nsecsElapsed() / 1e9;
    sqlite3_close(db);
    if (bytes == 42) std::puts(""); // keeps the reads
    return secs;
}

int measure(const QString& rangeName, const QString& what, const QString& shopPath)
{
    QTemporaryDir folder;
    AppPaths::setProgramFolder(folder.path());
    auto scripted = std::make_unique<ScriptedDialogs>();
    ScriptedDialogs* dialogs = scripted.get();
    dlg::setBackend(std::move(scripted));
    frmain = new Tfrmain;
    frdm = new Tfrdm;
    frdm->connectTo(shopPath);
    upgradeSchema(frdm->ADOCon); // the statements' indexes
    frmain->operatorCode = QStringLiteral("999");

    const QDate last = bench::shopLastDay();
    const DateRange range = rangeName == QLatin1String("all") ? DateRange{bench::shopFirstDay(), last}
                                                               : DateRange{QDate(last.year() - 1, 1, 1), QDate(last.year() - 1, 12, 31)};
    auto* w = new StatementWindow(StatementKind::Customer, nullptr);
    w->resize(1000, 640);
    w->show();
    QApplication::processEvents();
    w->MaskEdit1->setText(range.from.toString(QStringLiteral("yyyy-MM-dd")));
    w->MaskEdit2->setText(range.to.toString(QStringLiteral("yyyy-MM-dd")));
    w->codeEdit->setText(QStringLiteral("1"));
    w->refreshClick();
    QApplication::processEvents();
    const long before = qmbench::statusKb("VmRSS:");
    QElapsedTimer t;
    t.start();

    if (what == QLatin1String("prepare")) {
        // The print's rows as 打印 makes them, then the pages laid out.
        buildStatement(w->desc(), QStringLiteral("0000000001"), range);
        const double fill = t.nsecsElapsed() / 1e9;
        report::Layout* r = w->layout();
        t.restart();
        if (!prepareWithProgress(*r)) return 1;
        const double prepared = t.nsecsElapsed() / 1e9;
        const long after = qmbench::statusKb("VmRSS:");
        std::printf("%d rows ready in %.2f s; %d pages laid out in %.2f s, %.1f kB a page with the rows, peak %.0f MB\n",
                    w->rows()->rowCount(), fill, r->pageCount(), prepared, double(after - before) / r->pageCount(),
                    mb(qmbench::statusKb("VmHWM:")));
    } else if (what == QLatin1String("texts")) {
        // What the pages say, as one digest: equal digests, equal pages.
        buildStatement(w->desc(), QStringLiteral("0000000001"), range);
        report::Layout* r = w->layout();
        r->Prepare();
        QCryptographicHash digest(QCryptographicHash::Sha1);
        for (int i = 1; i <= r->pageCount(); ++i) {
            const report::Page page = r->makePage(i);
            for (const report::PageText& text : page.texts) {
                digest.addData(text.text.toUtf8());
                digest.addData(QByteArrayView("\x1f", 1));
            }
            digest.addData(QByteArrayView("\x1e", 1));
        }
        std::printf("%d pages, texts %s\n", r->pageCount(), digest.result().toHex().constData());
    } else if (what == QLatin1String("preview")) {
        double first = 0, toLast = 0;
        long open = 0;
        int pages = 0;
        dialogs->onExec = [&](QDialog* d) {
            d->show();
            showNow(d, "preview-first");
            first = t.nsecsElapsed() / 1e9;
            QElapsedTimer l;
            l.start();
            toLastPage(d);
            toLast = l.nsecsElapsed() / 1e9;
            open = qmbench::statusKb("VmRSS:");
            pages = w->layout()->pageCount();
            return int(QDialog::Rejected);
        };
        w->reportClick();
        QApplication::processEvents();
        const long closed = qmbench::statusKb("VmRSS:");
        std::printf("%d pages; first page shown %.2f s after 打印, last page %.2f s after 末页; "
                    "%.0f MB before 打印, %.0f MB open, %.0f MB after closing (%+.0f MB); peak %.0f MB\n",
                    pages, first, toLast, mb(before), mb(open), mb(closed), mb(closed - before), mb(qmbench::statusKb("VmHWM:")));
    } else {
        const QString pdf = folder.path() + QStringLiteral("/statement.pdf");
        QPrinter& printer = sharedPrinter();
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        int pages = 0;
        dialogs->onExec = [&](QDialog* d) {
            pages = w->layout()->pageCount();
            if (auto* a = d->findChild<QAction*>(QStringLiteral("print"))) a->trigger();
            return d->result();
        };
        w->reportClick();
        const double secs = t.nsecsElapsed() / 1e9;
        const double raw = rawRead(shopPath, range);
        std::printf("%d pages; 打印 to the PDF written %.2f s (%.1f MB file), peak %.0f MB; raw ordered read of the rows "
                    "%.2f s (ratio %.1f)\n",
                    pages, secs, QFileInfo(pdf).size() / 1e6, mb(qmbench::statusKb("VmHWM:")), raw, secs / raw);
        const QString shots = qEnvironmentVariable("QM_SHOTS");
        if (!shots.isEmpty() && QDir().mkpath(shots)) QFile::copy(pdf, shots + QStringLiteral("/statement.pdf"));
    }
    std::fflush(stdout);
    w->close();
    delete w;
    delete frdm;
    frdm = nullptr;
    delete frmain;
    frmain = nullptr;
    return 0;
}
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc > 4) return measure(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]), QString::fromLocal8Bit(argv[4]));

    const QByteArray file = QByteArrayLiteral("quillmart-bench-print-") + QByteArray::number(QCoreApplication::applicationPid()) + ".db";
    const bench::ShopFacts facts = bench::copyOfShopForRun(file.constData(), argc, argv);
    const QString scale = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("1");
    const QString range = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("year");
    std::printf("the walk-in customer's statement, %s\n", range == QLatin1String("all") ? "all years" : "last full year");
    const char* const all[] = {"prepare", "preview", "pdf"};
    const char* const one[] = {argc > 3 ? argv[3] : ""};
    for (const char* what : argc > 3 ? std::vector<const char*>(one, one + 1) : std::vector<const char*>(all, all + 3)) {
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(QCoreApplication::applicationFilePath(), {scale, range, QString::fromLatin1(what), facts.path});
        p.waitForFinished(-1);
        std::printf("%-8s %s", what, p.readAllStandardOutput().constData());
        std::fflush(stdout);
    }
    QFile::remove(facts.path);
    return 0;
}
#else
#include <cstdio>
int main()
{
    std::puts("bench_print needs the shop generator (bench/shopgen.h)");
    return 0;
}
#endif
