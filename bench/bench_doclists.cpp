// The sales list on the ten-year shop: opening it (grid painted), scrolling to
// the end, and each search, with time and memory, beside raw SQLite reading
// every header in the same run (what a list holding all rows would pay).
//   bench_doclists [--sales-headers N] [--shot file.png]
// --shot saves a picture of the list with posted and reversed sales in view.
#include "app/tfrmain.h"
#include "common/dialogs.h"
#include "common/paths.h"
#include "data/tfrdm.h"
#include "data/upgrades.h"
#include "documents/tfrdoclist.h"
#include "measure.h"
#include "shell/commands.h"
#include "shopgen.h"
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sqlite3.h>

// Every header of the table read whole through the C API.
static double rawReadAll(const QString& path, const char* table, long* rows)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    QElapsedTimer t;
    t.start();
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, QStringLiteral("SELECT * FROM %1").arg(table).toUtf8().constData(), -1, &st, nullptr);
    *rows = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int i = 0; i < sqlite3_column_count(st); ++i) sqlite3_column_text(st, i);
        ++*rows;
    }
    sqlite3_finalize(st);
    const double s = t.nsecsElapsed() / 1e9;
    sqlite3_close(db);
    return s;
}

static void paint(QWidget* w)
{
    QApplication::processEvents();
    w->grab();
}

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    qm::bench::ShopSpec spec;
    QString shot;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--sales-headers") == 0 && i + 1 < argc)
            spec = qm::bench::ShopSpec::forSalesHeaders(std::atoll(argv[++i]));
        else if (std::strcmp(argv[i], "--shot") == 0 && i + 1 < argc)
            shot = QString::fromLocal8Bit(argv[++i]);
    }
    QTemporaryDir dir;
    qm::AppPaths::setProgramFolder(dir.path());
    QDir().mkpath(dir.path() + "/works");
    QDir().mkpath(dir.path() + "/bak");
    const qm::bench::ShopFacts shop = qm::bench::copyOfShop(qm::AppPaths::workingDatabase(), spec);
    std::printf("shop: %lld sales headers, %lld document rows, %.0f MB\n",
                static_cast<long long>(shop.headers[qm::bench::Sale]), static_cast<long long>(shop.totalRows()),
                shop.bytes / 1048576.0);

    qm::dlg::setBackend(std::make_unique<qm::ScriptedDialogs>());
    frmain = new Tfrmain;
    frdm = new Tfrdm;
    frdm->connectTo(qm::AppPaths::workingDatabase());
    qm::upgradeSchema(frdm->ADOCon);
    frmain->operatorCode = "999";
    frmain->resize(1280, 800);

    long rawRows = 0;
    const double raw = rawReadAll(qm::AppPaths::workingDatabase(), "outlist", &rawRows);
    std::printf("raw SQLite, every header read whole: %.3f s (%ld rows)\n", raw, rawRows);

    const long rssBefore = qmbench::statusKb("VmRSS:");
    QElapsedTimer t;
    t.start();
    qm::runCommand("N39");
    qm::doc::DocumentList* list = qm::doc::openDocumentList(qm::doc::DocKind::Sale);
    paint(list);
    const double openS = t.nsecsElapsed() / 1e9;
    std::printf("open the sales list, grid painted: %.3f s (%d rows; ratio to raw %.2f)\n", openS,
                frdm->AQoutlist->recordCount(), openS / raw);
    t.restart();
    list->DBGrid1->scrollToBottom();
    paint(list);
    std::printf("scroll to the end, painted:        %.3f s\n", t.nsecsElapsed() / 1e9);
    std::printf("memory: VmRSS %ld MB before, %ld MB with the list open; peak VmHWM %ld MB\n", rssBefore / 1024,
                qmbench::statusKb("VmRSS:") / 1024, qmbench::statusKb("VmHWM:") / 1024);

    struct Search {
        const char* field;
        const char* text;
    };
    const Search searches[] = {{"单据号", "123456"},   {"日期", "2026-11-01"}, {"日期", "2017-01-01"},
                               {"客户号", "1"},        {"客户号", "25"},       {"客户名", "王"},
                               {"客户名", "零"},       {"客户名", "无此人"},   {"单据号", ""}};
    for (const Search& s : searches) {
        list->ComboBox1->setEditText(QString::fromUtf8(s.field));
        list->Edit12->setText(QString::fromUtf8(s.text));
        t.restart();
        list->findbillClick();
        paint(list);
        std::printf("search %-6s %-12s %.3f s  %7d rows\n", s.field, s.text, t.nsecsElapsed() / 1e9,
                    frdm->AQoutlist->recordCount());
    }
    t.restart();
    list->DBGrid1->scrollToBottom();
    paint(list);
    std::printf("scroll to the end again:           %.3f s\n", t.nsecsElapsed() / 1e9);
    std::printf("peak memory (VmHWM): %ld MB\n", qmbench::statusKb("VmHWM:") / 1024);
    if (!shot.isEmpty()) {
        // The last days: posted sales in blue, a reversed one in red, unposted ones in black.
        const QString day = frdm->ADOCon.scalar("SELECT substr(max(billdate),1,10) FROM outlist WHERE cancel=1").toString();
        list->ComboBox1->setEditText(QStringLiteral("日期"));
        list->Edit12->setText(day);
        list->findbillClick();
        list->resize(1200, 700);
        list->DBGrid1->setCurrentIndex(list->DBGrid1->model()->index(0, 0));
        paint(list);
        list->grab().save(shot);
        std::printf("picture: %s (sales from %s)\n", qPrintable(shot), qPrintable(day));
    }
    list->close();
    delete frdm;
    delete frmain;
    return 0;
}
