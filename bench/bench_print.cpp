// The print of the walk-in customer's statement of the shop's last full year,
// as the statement window's 打印 runs it once the rows are read (the scratch
// table filled): the pages laid out, then the preview or the print to PDF.
//   bench_print [scale]                each measure below in a fresh process, one line each
//   bench_print <scale> <measure> <shop copy>
// Measures: "prepare" (the pages laid out: time, memory per page, peak),
// "preview" (the first page shown after 打印, the last page after 末页, the
// peak, and the memory left once the preview has closed, against before 打印),
// "pdf" (laid out and printed on a PDF printer: time, peak, file size).
// Peak memory is the process's own high-water mark (VmHWM), as /usr/bin/time
// reports it; each measure runs in a process of its own so that one cannot
// lend its peak to another.
#if __has_include("shopgen.h")
#include "shopgen.h"
#include "app/tfrmain.h"
#include "common/clock.h"
#include "common/dialogs.h"
#include "common/paths.h"
#include "data/tfrdm.h"
#include "data/upgrades.h"
#include "layouts/report.h"
#include "reports/reportwindow.h"
#include "reports/statements.h"
#include "reports/statementwindow.h"
#include "measure.h"
#include <QAction>
#include <QApplication>
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

int measure(const QString& what, const QString& shopPath)
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
    const DateRange year{QDate(last.year() - 1, 1, 1), QDate(last.year() - 1, 12, 31)};
    auto* w = new StatementWindow(StatementKind::Customer, nullptr);
    w->resize(1000, 640);
    w->show();
    QApplication::processEvents();
    w->MaskEdit1->setText(year.from.toString(QStringLiteral("yyyy-MM-dd")));
    w->MaskEdit2->setText(year.to.toString(QStringLiteral("yyyy-MM-dd")));
    w->codeEdit->setText(QStringLiteral("1"));
    w->refreshClick();
    QApplication::processEvents();

    // What 打印 does first: the scratch table filled with the rows shown.
    QElapsedTimer t;
    t.start();
    buildStatement(w->desc(), QStringLiteral("0000000001"), year);
    const double fill = t.nsecsElapsed() / 1e9;
    report::Layout* r = w->layout();
    const int rows = statementRows(w->desc())->recordCount();
    const long before = qmbench::statusKb("VmRSS:");

    t.restart();
    if (!prepareWithProgress(*r)) return 1;
    const double prepared = t.nsecsElapsed() / 1e9;
    const int pages = r->pageCount();
    std::printf("%d rows filled in %.2f s; %d pages; ", rows, fill, pages);

    if (what == QLatin1String("prepare")) {
        const long after = qmbench::statusKb("VmRSS:");
        std::printf("laid out in %.2f s, %.1f kB a page, peak %.0f MB\n", prepared, double(after - before) / pages,
                    mb(qmbench::statusKb("VmHWM:")));
    } else if (what == QLatin1String("preview")) {
        double first = 0, toLast = 0;
        long open = 0;
        dialogs->onExec = [&](QDialog* d) {
            d->show();
            showNow(d, "preview-first");
            first = t.nsecsElapsed() / 1e9;
            QElapsedTimer l;
            l.start();
            toLastPage(d);
            toLast = l.nsecsElapsed() / 1e9;
            open = qmbench::statusKb("VmRSS:");
            return int(QDialog::Rejected);
        };
        r->Preview();
        QApplication::processEvents();
        const long closed = qmbench::statusKb("VmRSS:");
        std::printf("laid out in %.2f s, first page shown %.2f s after 打印, last page %.2f s after 末页; "
                    "%.0f MB before 打印, %.0f MB open, %.0f MB after closing (%+.0f MB); peak %.0f MB\n",
                    prepared, first, toLast, mb(before), mb(open), mb(closed), mb(closed - before),
                    mb(qmbench::statusKb("VmHWM:")));
    } else {
        const QString pdf = folder.path() + QStringLiteral("/statement.pdf");
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        r->print(printer);
        std::printf("laid out and printed to PDF in %.2f s (%.1f MB file), peak %.0f MB\n", t.nsecsElapsed() / 1e9,
                    QFileInfo(pdf).size() / 1e6, mb(qmbench::statusKb("VmHWM:")));
        const QString shots = qEnvironmentVariable("QM_SHOTS");
        if (!shots.isEmpty() && QDir().mkpath(shots)) QFile::copy(pdf, shots + QStringLiteral("/statement.pdf"));
    }
    std::fflush(stdout);
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
    if (argc > 3) return measure(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));

    const bench::ShopFacts facts = bench::copyOfShopForRun("quillmart-bench-print.db", argc, argv);
    const QString scale = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("1");
    for (const char* what : {"prepare", "preview", "pdf"}) {
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(QCoreApplication::applicationFilePath(), {scale, QString::fromLatin1(what), facts.path});
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
