// The product list and a new product saved from the editor on the ten-year
// shop, each against raw SQLite doing the same work on the same file in the
// same run:
//   bench_product_list [scale [products]]
// The shop holds 20,000 products at every scale; at scale 2 (or when a count
// is given) products are added to the private copy up to 40,000 (the count).
// Figures: the list opened (商品资料 from the menu, its first screen painted and
// 记录数 shown) against the raw ordered read of every product; scrolling to the
// end and three searches; the peak memory with the list open; a new product
// saved from the editor (the check, the write and the list shown again)
// against a raw check and insert in their own transaction.
#if __has_include("shopgen.h")
#include "shopgen.h"
#include "app/tfrmain.h"
#include "common/dialogs.h"
#include "common/paths.h"
#include "data/bakcopy.h"
#include "data/schema.h"
#include "data/tfrdm.h"
#include "masterdata/tfrproduct.h"
#include "masterdata/tfrproductedit.h"
#include "measure.h"
#include "shell/commands.h"
#include "shell/session.h"
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTemporaryDir>
#include <sqlite3.h>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace qm;

namespace {
double secs(const QElapsedTimer& t) { return t.nsecsElapsed() / 1e9; }

// Copies of the shop's products under new numbers, codes and barcodes until
// the table holds `want`.
void topUpProducts(sqlite3* db, int want)
{
    QStringList cols;
    for (const ColumnDef& c : tableColumns(QStringLiteral("product"))) cols << QString::fromLatin1(c.name);
    QStringList from = cols;
    from[int(cols.indexOf("intno"))] = QStringLiteral("printf('%08d', n.base + product.rowid)");
    from[int(cols.indexOf("sphh"))] = QStringLiteral("printf('%d', 100000 + n.base + product.rowid - 1)");
    from[int(cols.indexOf("name"))] = QStringLiteral("printf('69%011d', n.base + product.rowid)");
    for (;;) {
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db, "SELECT count(*) FROM product", -1, &s, nullptr);
        sqlite3_step(s);
        const int have = sqlite3_column_int(s, 0);
        sqlite3_finalize(s);
        if (have >= want) return;
        // Joined, not formatted: the printf patterns hold their own "%".
        const QString sql = QStringLiteral("INSERT INTO product (") + cols.join(',') + QStringLiteral(") SELECT ") +
                            from.join(',') + QStringLiteral(" FROM product, (SELECT ") + QString::number(have) +
                            QStringLiteral(" AS base) n WHERE product.rowid <= ") + QString::number(want - have) +
                            QStringLiteral(" ORDER BY product.rowid");
        char* error = nullptr;
        if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
            std::printf("cannot add products: %s\n", error);
            std::exit(1);
        }
    }
}

// The raw ordered read: every product in code order, every column read.
double rawOrderedRead(sqlite3* db)
{
    QElapsedTimer t;
    t.start();
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "SELECT * FROM product ORDER BY sphh", -1, &s, nullptr);
    qint64 bytes = 0;
    const int n = sqlite3_column_count(s);
    while (sqlite3_step(s) == SQLITE_ROW)
        for (int i = 0; i < n; ++i)
            if (sqlite3_column_type(s, i) == SQLITE_TEXT) bytes += sqlite3_column_bytes(s, i);
            else bytes += sqlite3_column_int(s, i) == 42;
    sqlite3_finalize(s);
    const double d = secs(t);
    if (bytes == 42) std::puts(""); // keeps the reads
    return d;
}

// The raw check and insert of a new product, in its own transaction.
double rawCheckAndInsert(sqlite3* db, int serial)
{
    QElapsedTimer t;
    t.start();
    sqlite3_stmt* s = nullptr;
    const QByteArray code = QStringLiteral("R%1").arg(serial).toUtf8();
    sqlite3_prepare_v2(db, "SELECT 1 FROM product WHERE sphh=?1 LIMIT 1", -1, &s, nullptr);
    sqlite3_bind_text(s, 1, code.constData(), code.size(), SQLITE_TRANSIENT);
    const bool taken = sqlite3_step(s) == SQLITE_ROW;
    sqlite3_finalize(s);
    sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    sqlite3_prepare_v2(db, "INSERT INTO product (intno, sphh, spmc, dj_w, avdj, spmz) VALUES "
                           "((SELECT printf('%08d', max(intno)+1) FROM product), ?1, '新品', 2, 2, 3)", -1, &s, nullptr);
    sqlite3_bind_text(s, 1, code.constData(), code.size(), SQLITE_TRANSIENT);
    if (!taken) sqlite3_step(s);
    sqlite3_finalize(s);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    return secs(t);
}

void settle() { for (int i = 0; i < 3; ++i) QApplication::processEvents(); }

// Opens 商品资料 from the menu and paints its first screen; the time until 记录数 shows.
double openList()
{
    QElapsedTimer t;
    t.start();
    runCommand(QStringLiteral("N14"));
    TFrproduct* list = Frproduct;
    list->DBGrid1->viewport()->repaint();
    settle();
    const double d = secs(t);
    if (!list->StatusPanel3->text().startsWith(QStringLiteral("记录数:"))) std::puts("记录数 not shown");
    return d;
}

void closeList()
{
    if (Frproduct) Frproduct->close();
    settle();
}
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    bench::ShopSpec spec;
    if (argc > 1) spec.scale = std::atof(argv[1]);
    const int products = argc > 2 ? std::atoi(argv[2]) : spec.scale >= 2 ? 40000 : 20000;

    QTemporaryDir dir(QDir::tempPath() + "/qmlist-XXXXXX");
    AppPaths::setProgramFolder(dir.path());
    QDir().mkpath(dir.path() + "/works");
    QDir().mkpath(dir.path() + "/bak");
    const QString path = AppPaths::workingDatabase();
    const bench::ShopFacts facts = bench::copyOfShop(path, spec);
    sqlite3* raw = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_busy_timeout(raw, 5000);
    topUpProducts(raw, products);
    std::printf("shop: %lld document rows (scale %.2f), %d products, %.0f MB\n", static_cast<long long>(facts.totalRows()),
                spec.scale, products, QFileInfo(path).size() / 1048576.0);

    dlg::setBackend(std::make_unique<ScriptedDialogs>());
    session() = {};
    frmain = new Tfrmain;
    frdm = new Tfrdm;
    frdm->connectTo(path);
    frmain->operatorCode = "999";

    // The memory of the program with the list open, before anything else is read.
    const long startKb = qmbench::statusKb("VmHWM:");
    const double firstOpen = openList();
    const long openKb = qmbench::statusKb("VmHWM:");
    std::printf("list opened first:        %6.3f s, peak memory %.0f MB (%.0f MB before)  %s\n", firstOpen, openKb / 1024.0,
                startKb / 1024.0, qPrintable(Frproduct->StatusPanel3->text()));

    // Alternated rounds of the list's opening and the raw read.
    std::vector<double> open, rawRead;
    for (int i = 0; i < 7; ++i) {
        closeList();
        open.push_back(openList());
        rawRead.push_back(rawOrderedRead(raw));
    }
    const double o = qmbench::median(open), r = qmbench::median(rawRead);
    std::printf("list opened (median):     %6.3f s   raw ordered read %6.3f s   ratio %.2f (aim <= 0.5)\n", o, r, o / r);

    TFrproduct* list = Frproduct;
    QElapsedTimer t;
    t.start();
    list->DBGrid1->scrollToBottom();
    list->DBGrid1->viewport()->repaint();
    settle();
    std::printf("scrolled to the end:      %6.3f s\n", secs(t));
    list->ComboBox1->setCurrentText(QStringLiteral("品名规格"));
    list->RadioFuzzy->setChecked(true);
    for (const char* text : {"可乐", "KSF", ""}) {
        if (QLatin1String(text) == QLatin1String("KSF")) list->ComboBox1->setCurrentText(QStringLiteral("拼音首字"));
        t.restart();
        list->Edit1->setText(QString::fromUtf8(text));
        list->DBGrid1->viewport()->repaint();
        settle();
        std::printf("search '%s':%*s %6.3f s  (%s)\n", text, int(12 - strlen(text)), "", secs(t), qPrintable(list->StatusPanel3->text()));
    }

    // A new product saved from the editor over the list as it opens, against
    // the raw check and insert: each round opens the list afresh.
    std::vector<double> save, rawSave;
    QString count;
    for (int i = 0; i < 9; ++i) {
        closeList();
        openList();
        Frproduct->ToolButton1Click();
        settle();
        Tfrproductedit* editor = frproductedit;
        editor->Edit7->setText(QStringLiteral("B%1").arg(i));
        editor->Edit8->setText(QStringLiteral("新品矿泉水%1").arg(i));
        editor->Edit17->setText(QStringLiteral("2"));
        editor->Edit15->setText(QStringLiteral("3"));
        t.restart();
        editor->Button1Click();
        Frproduct->DBGrid1->viewport()->repaint();
        settle();
        save.push_back(secs(t));
        count = Frproduct->StatusPanel3->text();
        editor->close();
        // The copy to bak/ runs beside the operator; it is left out here.
        abandonBakCopies();
        waitForBakCopies();
        rawSave.push_back(rawCheckAndInsert(raw, i));
    }
    const double s = qmbench::median(save), rs = qmbench::median(rawSave);
    std::printf("new product saved:        %6.3f s   raw check + insert %6.3f s   ratio %.1f (aim <= 10)  %s after the save\n", s,
                rs, s / rs, qPrintable(count));
    closeList();
    std::printf("peak memory of the run:   %.0f MB\n", qmbench::statusKb("VmHWM:") / 1024.0);

    sqlite3_close(raw);
    delete frdm;
    frdm = nullptr;
    delete frmain;
    frmain = nullptr;
    return 0;
}
#else
#include <cstdio>
int main()
{
    std::puts("bench_product_list needs the shop generator (bench/shopgen.h)");
    return 0;
}
#endif
