// The sales list on the ten-year shop: opening it (grid painted), scrolling to
// the end, and each search, with time and memory, beside raw SQLite reading
// every header in the same run (what a list holding all rows would pay).
// Then, in alternated rounds, the list's opening and its search by the last
// month's first day, each against its raw floor in the same run: raw SQLite
// reading the rows of the first screen (every column), the search's through
// the date index.
//   bench_doclists [--scale x | --sales-headers N] [--rounds n] [--shot file.png]
// --shot saves a picture of the list with posted and reversed sales in view.
#include "app/tfrmain.h"
#include "common/dialogs.h"
#include "common/paths.h"
#include "data/tfrdm.h"
#include "data/upgrades.h"
#include "documents/doclists.h"
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

static double secs(const QElapsedTimer& t) { return t.nsecsElapsed() / 1e9; }

// Rows of a first screen of the maximised list.
constexpr int kScreenRows = 40;

// Raw SQLite reading the first screen of `sql` (every column), with `day` bound as ?1.
static double rawFirstScreen(sqlite3* db, const char* sql, const QByteArray& day = {})
{
    QElapsedTimer t;
    t.start();
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    if (!day.isEmpty()) sqlite3_bind_text(st, 1, day.constData(), int(day.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int(st, sqlite3_bind_parameter_count(st), kScreenRows);
    int rows = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int i = 0; i < sqlite3_column_count(st); ++i) sqlite3_column_text(st, i);
        ++rows;
    }
    sqlite3_finalize(st);
    const double s = secs(t);
    if (rows != kScreenRows) std::printf("raw first screen: %d rows\n", rows);
    return s;
}

// The list's query shows its first screen: every column of its first rows, as the grid reads them.
static void readFirstScreen(qm::Dataset* ds)
{
    for (int r = 0; r < std::min(kScreenRows, ds->recordCount()); ++r)
        for (int f = 0; f < ds->fieldCount(); ++f) ds->displayText(r, f);
}

// Alternated rounds of the list's opening and its date search, against their
// raw floors: first the data alone (the list's query, with no window over it),
// then through the window (grid painted).
static void floors(qm::doc::DocumentList* list, const QString& path, int rounds)
{
    const qm::doc::DocListDesc& d = qm::doc::docListDesc(qm::doc::DocKind::Sale);
    const QDate last = qm::bench::shopLastDay();
    const QString day = QDate(last.year(), last.month(), 1).toString(QStringLiteral("yyyy-MM-dd"));
    const qm::doc::ListSearch byDate = qm::doc::planListSearch(d, QStringLiteral("日期"), day);
    const QByteArray boundDay = (day + QStringLiteral(" 00:00:00")).toUtf8();
    const char* rawOpen = "SELECT * FROM outlist ORDER BY intno LIMIT ?1";
    const char* rawDate = "SELECT * FROM outlist INDEXED BY ix_outlist_billdate WHERE billdate>=?1 ORDER BY intno LIMIT ?2";
    sqlite3* raw = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &raw, SQLITE_OPEN_READONLY, nullptr);
    list->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // no grid over the query
    qm::Dataset* head = frdm->AQoutlist;
    std::vector<double> open, openRaw, openCounted, date, dateRaw, window, windowRaw, search, searchRaw;
    int found = 0;
    QElapsedTimer t;
    for (int i = 0; i < rounds; ++i) {
        t.start();
        head->reopen(qm::doc::allHeadersSql(d));
        readFirstScreen(head);
        open.push_back(secs(t));
        openRaw.push_back(rawFirstScreen(raw, rawOpen));
        t.restart();
        sqlite3_exec(raw, "SELECT count(*) FROM outlist", nullptr, nullptr, nullptr);
        openCounted.push_back(secs(t) + rawFirstScreen(raw, rawOpen));
        t.restart();
        qm::doc::runListSearch(head, byDate);
        readFirstScreen(head);
        date.push_back(secs(t));
        found = head->recordCount();
        dateRaw.push_back(rawFirstScreen(raw, rawDate, boundDay));
    }
    head->close();
    for (int i = 0; i < rounds; ++i) {
        t.restart();
        qm::runCommand("N39");
        list = qm::doc::openDocumentList(qm::doc::DocKind::Sale);
        paint(list);
        window.push_back(secs(t));
        windowRaw.push_back(rawFirstScreen(raw, rawOpen));
        list->ComboBox1->setEditText(QStringLiteral("日期"));
        list->Edit12->setText(day);
        t.restart();
        list->findbillClick();
        paint(list);
        search.push_back(secs(t));
        searchRaw.push_back(rawFirstScreen(raw, rawDate, boundDay));
        list->close();
    }
    sqlite3_close(raw);
    using qmbench::median;
    std::printf("\n%d alternated rounds, medians; first screen = %d rows, every column\n", rounds, kScreenRows);
    std::printf("list's query opened, first screen read: %.5f s  raw first screen %.5f s  ratio %.2f"
                "  (raw count + first screen %.5f s, ratio %.2f)\n",
                median(open), median(openRaw), median(open) / median(openRaw), median(openCounted),
                median(open) / median(openCounted));
    std::printf("date search %s (%d rows), first screen read: %.5f s  raw through the date index %.5f s  ratio %.2f\n",
                qPrintable(day), found, median(date), median(dateRaw), median(date) / median(dateRaw));
    std::printf("window: list opened from the menu, painted %.4f s (raw %.5f); 查找单据 by date, painted %.4f s (raw %.5f)\n",
                median(window), median(windowRaw), median(search), median(searchRaw));
}

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    qm::bench::ShopSpec spec;
    QString shot;
    int rounds = 9;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--sales-headers") == 0 && i + 1 < argc)
            spec = qm::bench::ShopSpec::forSalesHeaders(std::atoll(argv[++i]));
        else if (std::strcmp(argv[i], "--scale") == 0 && i + 1 < argc)
            spec.scale = std::atof(argv[++i]);
        else if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc)
            rounds = std::atoi(argv[++i]);
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
    floors(list, qm::AppPaths::workingDatabase(), rounds);
    delete frdm;
    delete frmain;
    return 0;
}
