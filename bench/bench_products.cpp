// Opening the product query over 100,000 generated products and filling a grid.
// Prints the time and the peak memory of the process.
// Usage: bench_products [COUNT [DATABASE]]
#include "common/clock.h"
#include "data/datasetmodel.h"
#include "data/schema.h"
#include "data/tfrdm.h"
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QRandomGenerator>
#include <QTableView>
#include <QTemporaryDir>
#include <cstdio>

#include "benchsupport.h"

using qmbench::statusKb;

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    int count = argc > 1 ? QByteArray(argv[1]).toInt() : 100000;

    // A second argument names a database kept between runs (generated when missing).
    QTemporaryDir dir;
    QString path = argc > 2 ? QString::fromLocal8Bit(argv[2]) : dir.path() + "/vkdb.mdb";
    if (!QFile::exists(path)) {
        qm::createInitialDatabase(path);
        qm::Connection c;
        c.open(path);
        qmbench::generateProducts(c, count);
    }
    long before = statusKb("VmRSS:");

    frdm = new Tfrdm;
    frdm->connectTo(path);
    QTableView view;
    view.resize(1200, 800);
    view.show();
    app.processEvents();

    QElapsedTimer timer;
    timer.start();
    frdm->applyNumberFormats();
    frdm->Aqproduct->open();
    qint64 openMs = timer.elapsed();
    qm::DatasetModel model(frdm->Aqproduct);
    qm::DatasetModel::bind(&view, &model);
    app.processEvents();
    view.viewport()->repaint();
    qint64 totalMs = timer.elapsed();

    // Scrolling to the end paints the last rows as well.
    view.scrollToBottom();
    view.viewport()->repaint();
    qint64 scrolledMs = timer.elapsed();

    std::printf("products              %d\n", frdm->Aqproduct->recordCount());
    std::printf("open Aqproduct        %lld ms\n", (long long)openMs);
    std::printf("open + grid painted   %lld ms\n", (long long)totalMs);
    std::printf("+ scroll to the end   %lld ms\n", (long long)scrolledMs);
    std::printf("RSS before opening    %.1f MB\n", before / 1024.0);
    std::printf("RSS after             %.1f MB\n", statusKb("VmRSS:") / 1024.0);
    std::printf("peak (VmHWM)          %.1f MB\n", statusKb("VmHWM:") / 1024.0);
    // QM_BENCH_SHOT=file.png saves a picture of the filled grid.
    if (!qEnvironmentVariableIsEmpty("QM_BENCH_SHOT")) {
        view.scrollToTop();
        view.grab().save(qEnvironmentVariable("QM_BENCH_SHOT"));
    }
    delete frdm;
    frdm = nullptr;
    return 0;
}
