// Prepare and PDF output of a 10,000-row list layout: time and peak memory.
// Prepare is measured against a straight loop that builds the same page model
// (the same texts, formatted by the same fields, and the same lines) without the
// engine.
//   bench_report [rows] [sample.pdf]
// With a second argument it also writes a two-page sample of the same layout.
#include "common/clock.h"
#include "common/formats.h"
#include "data/connection.h"
#include "data/dataset.h"
#include "layouts/report.h"
#include "measure.h"
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

using namespace qm::report;

static void describe(Layout& r, qm::Dataset* rows, qm::Dataset* company, qm::Dataset* totals)
{
    r.setDataset(rows);
    auto& ph = r.pageHeader(22);
    ph.field(0, 0, 190, 8, company, "name").pt(15).bold().center();
    ph.label(0, 9, 190, 7, "进货统计单").pt(12).bold().center();
    ph.system(120, 16, 70, 5, SystemData::PrintDate).text("打印日期：%1").right();
    r.addColumns({{"日期", "billdate", 20},
                  {"单据名", "billname", 19},
                  {"操作号", "djh", 21},
                  {"货号", "sphh", 18},
                  {"品名", "spmc", 39},
                  {"数量", "sl", 16, Align::Right},
                  {"单价", "dj_w", 18, Align::Right},
                  {"货款金额", "amount", 20, Align::Right},
                  {"付款金额", "pay", 20, Align::Right}});
    auto& s = r.summary(10);
    s.label(0, 2, 22, 6, "合计数量:");
    s.field(22, 2, 30, 6, totals, "hjsl");
    s.label(60, 2, 22, 6, "货款合计:");
    s.field(82, 2, 35, 6, totals, "amount");
    s.label(120, 2, 22, 6, "付款合计:");
    s.field(142, 2, 35, 6, totals, "pay");
    r.pageFooter(8).system(80, 1, 30, 6, SystemData::PageNumber).text("第%1页").center();
}

// The page model of describe(), written out by hand.
static std::vector<Page> byHand(qm::Dataset* rows, qm::Dataset* company, qm::Dataset* totals)
{
    static const char* const captions[] = {"日期", "单据名", "操作号", "货号", "品名", "数量", "单价", "货款金额", "付款金额"};
    static const char* const fields[] = {"billdate", "billname", "djh", "sphh", "spmc", "sl", "dj_w", "amount", "pay"};
    static const double widths[] = {20, 19, 21, 18, 39, 16, 18, 20, 20};
    int index[9];
    for (int c = 0; c < 9; ++c) index[c] = rows->fieldByName(fields[c])->index;
    const double left = 10, top = 10, footerTop = 297 - 10 - 8, rowH = 6;
    std::vector<Page> pages;
    auto text = [](Page& p, double x, double y, double w, double h, const QString& t, int element, BandKind band) {
        PageText pt;
        pt.rect = QRectF(x, y, w, h);
        pt.text = t;
        pt.element = element;
        pt.band = band;
        p.texts.push_back(std::move(pt));
    };
    auto boxed = [&](Page& p, double x, double y, double w, double h, const QString& t, int element, BandKind band) {
        text(p, x, y, w, h, t, element, band);
        p.lines.emplace_back(x, y, x + w, y);
        p.lines.emplace_back(x, y + h, x + w, y + h);
        p.lines.emplace_back(x, y, x, y + h);
        p.lines.emplace_back(x + w, y, x + w, y + h);
    };
    double y = 0;
    auto newPage = [&]() {
        pages.emplace_back();
        Page& p = pages.back();
        p.number = int(pages.size());
        text(p, left, top, 190, 8, company->displayText("name"), 0, BandKind::PageHeader);
        text(p, left, top + 9, 190, 7, "进货统计单", 1, BandKind::PageHeader);
        text(p, left + 120, top + 16, 70, 5, QString("打印日期：%1").arg(qm::formatDate(qm::Clock::today())), 2,
             BandKind::PageHeader);
        p.bands.push_back({BandKind::PageHeader, top, 22, -1});
        double x = left;
        for (int c = 0; c < 9; ++c) {
            boxed(p, x, top + 22, widths[c], 7, captions[c], 3 + c, BandKind::ColumnHeader);
            x += widths[c];
        }
        p.bands.push_back({BandKind::ColumnHeader, top + 22, 7, -1});
        y = top + 29;
    };
    newPage();
    const int n = rows->recordCount();
    for (int row = 0; row < n; ++row) {
        if (y + rowH > footerTop + 1e-6) newPage();
        Page& p = pages.back();
        p.bands.push_back({BandKind::Detail, y, rowH, row});
        double x = left;
        for (int c = 0; c < 9; ++c) {
            boxed(p, x, y, widths[c], rowH, rows->displayText(row, index[c]), 12 + c, BandKind::Detail);
            x += widths[c];
        }
        y += rowH;
    }
    if (y + 10 > footerTop + 1e-6) newPage();
    Page& last = pages.back();
    last.bands.push_back({BandKind::Summary, y, 10, -1});
    text(last, left, y + 2, 22, 6, "合计数量:", 21, BandKind::Summary);
    text(last, left + 22, y + 2, 30, 6, totals->displayText("hjsl"), 22, BandKind::Summary);
    text(last, left + 60, y + 2, 22, 6, "货款合计:", 23, BandKind::Summary);
    text(last, left + 82, y + 2, 35, 6, totals->displayText("amount"), 24, BandKind::Summary);
    text(last, left + 120, y + 2, 22, 6, "付款合计:", 25, BandKind::Summary);
    text(last, left + 142, y + 2, 35, 6, totals->displayText("pay"), 26, BandKind::Summary);
    for (Page& p : pages) {
        p.bands.push_back({BandKind::PageFooter, footerTop, 8, -1});
        text(p, left + 80, footerTop + 1, 30, 6, QString("第%1页").arg(p.number), 27, BandKind::PageFooter);
    }
    return pages;
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int n = argc > 1 ? atoi(argv[1]) : 10000;
    const QString sample = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();

    QTemporaryDir dir;
    qm::Connection db;
    db.open(dir.path() + "/bench.db", true);
    db.exec("CREATE TABLE rows(billdate DATETIME, billname TEXT, djh TEXT, sphh TEXT, spmc TEXT, sl REAL, dj_w REAL,"
            " amount REAL, pay REAL)");
    db.exec("CREATE TABLE company(name TEXT)");
    db.exec("INSERT INTO company VALUES('Velkan示范超市')");
    db.exec("CREATE TABLE totals(hjsl REAL, amount REAL, pay REAL)");
    {
        qm::Transaction t(db);
        double sl = 0, amount = 0;
        for (int i = 0; i < n; ++i) {
            const double q = 1 + i % 17, price = 2.5 + (i % 40) * 0.75;
            sl += q;
            amount += q * price;
            db.exec("INSERT INTO rows VALUES(:p1,:p2,:p3,:p4,:p5,:p6,:p7,:p8,:p9)",
                    {{"p1", QString("2026-%1-%2 00:00:00").arg(1 + i % 12, 2, 10, QChar('0')).arg(1 + i % 28, 2, 10, QChar('0'))},
                     {"p2", i % 5 ? QStringLiteral("进货单") : QStringLiteral("进货退货单")},
                     {"p3", QString("%1").arg(i / 7 + 1, 10, 10, QChar('0'))},
                     {"p4", QString("%1").arg(i % 900 + 1, 8, 10, QChar('0'))},
                     {"p5", QStringLiteral("康师傅红烧牛肉面 %1 袋").arg(i % 97)},
                     {"p6", q}, {"p7", price}, {"p8", q * price}, {"p9", i % 3 ? 0.0 : q * price}});
        }
        db.exec("INSERT INTO totals VALUES(:p1,:p2,:p3)", {{"p1", sl}, {"p2", amount}, {"p3", amount / 3}});
        t.commit();
    }
    qm::Dataset rows(&db, "rows"), company(&db, "company"), totals(&db, "totals");
    rows.setSql("SELECT * FROM rows ORDER BY rowid");
    company.setTable("company");
    totals.setTable("totals");
    QElapsedTimer t;
    t.start();
    rows.open();
    company.open();
    totals.open();
    const qint64 openMs = t.elapsed();
    for (const char* f : {"sl"}) rows.fieldByName(f)->displayFormat = "0";
    for (const char* f : {"dj_w", "amount", "pay"}) rows.fieldByName(f)->displayFormat = "#,##0.00";
    totals.fieldByName("amount")->displayFormat = "#,##0.00";
    totals.fieldByName("pay")->displayFormat = "#,##0.00";
    const long before = qmbench::statusKb("VmHWM:");

    Layout r;
    describe(r, &rows, &company, &totals);
    double best = 1e9;
    int pages = 0;
    for (int i = 0; i < 3; ++i) {
        t.restart();
        pages = r.Prepare();
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    const long afterPrepare = qmbench::statusKb("VmHWM:");
    size_t engineTexts = 0;
    for (const Page& p : r.pages()) engineTexts += p.texts.size();
    const QString pdf = dir.path() + "/bench.pdf";
    t.restart();
    r.writePdf(pdf);
    const double pdfMs = t.nsecsElapsed() / 1e6;
    const long afterPdf = qmbench::statusKb("VmHWM:");
    double hand = 1e9;
    size_t handPages = 0, handTexts = 0;
    for (int i = 0; i < 3; ++i) {
        t.restart();
        std::vector<Page> pagesByHand = byHand(&rows, &company, &totals);
        hand = std::min(hand, t.nsecsElapsed() / 1e6);
        handPages = pagesByHand.size();
        handTexts = 0;
        for (const Page& p : pagesByHand) handTexts += p.texts.size();
    }
    std::printf("rows %d, pages %d\n", n, pages);
    std::printf("open dataset: %lld ms\n", openMs);
    std::printf("Prepare: %.1f ms (best of 3)\n", best);
    std::printf("the same page model by hand: %.1f ms (%zu pages, %zu texts; engine %zu texts)\n", hand, handPages,
                handTexts, engineTexts);
    std::printf("Prepare / by hand: %.2f (aim: within 3)\n", best / hand);
    std::printf("PDF output of the prepared pages: %.1f ms, file %.1f MB\n", pdfMs, QFileInfo(pdf).size() / 1e6);
    std::printf("peak memory (VmHWM): %ld kB before layout, %ld kB after Prepare, %ld kB after PDF\n", before,
                afterPrepare, afterPdf);

    if (!sample.isEmpty()) {
        rows.setSql("SELECT * FROM rows ORDER BY rowid LIMIT 60");
        rows.open();
        for (const char* f : {"dj_w", "amount", "pay"}) rows.fieldByName(f)->displayFormat = "#,##0.00";
        rows.fieldByName("sl")->displayFormat = "0";
        std::printf("sample: %s\n", r.writePdf(sample) ? "written" : "FAILED");
    }
    return 0;
}
