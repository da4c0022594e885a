#include "layouts/report.h"
#include "layouts/reportlayouts.h"
#include "support/fixture.h"
#include <QDialog>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <cmath>
#include <set>

using namespace qm::report;

namespace {

class ReportTest : public AppFixture {
protected:
    std::unique_ptr<qm::Dataset> rows;
    std::unique_ptr<qm::Dataset> head;

    void SetUp() override
    {
        AppFixture::SetUp();
        frdm->ADOCon.exec(QStringLiteral("CREATE TABLE rrows(sphh TEXT, spmc TEXT, sl REAL, amount REAL, billdate DATETIME)"));
        frdm->ADOCon.exec(QStringLiteral("CREATE TABLE rhead(name TEXT, amount REAL)"));
        frdm->ADOCon.exec(QStringLiteral("INSERT INTO rhead VALUES('第一分店', 1.5), ('第二分店', 2.25)"));
        rows = std::make_unique<qm::Dataset>(&frdm->ADOCon, "rows");
        rows->setSql(QStringLiteral("SELECT * FROM rrows ORDER BY rowid"));
        head = std::make_unique<qm::Dataset>(&frdm->ADOCon, "head");
        head->setSql(QStringLiteral("SELECT * FROM rhead ORDER BY rowid"));
        head->open();
    }

    void fill(int n)
    {
        qm::Transaction t(frdm->ADOCon);
        for (int i = 0; i < n; ++i)
            frdm->ADOCon.exec(QStringLiteral("INSERT INTO rrows VALUES(:p1, :p2, :p3, :p4, :p5)"),
                              {{"p1", QStringLiteral("%1").arg(i, 8, 10, QChar('0'))},
                               {"p2", QStringLiteral("商品%1").arg(i)},
                               {"p3", i},
                               {"p4", i * 1.25},
                               {"p5", i % 2 ? QStringLiteral("2026-03-05 14:30:00") : QStringLiteral("2026-03-05 00:00:00")}});
        t.commit();
        rows->open();
    }

    // The list layout the other windows build: header, ruled columns, totals, page numbers.
    void describe(Layout& r)
    {
        r.setDataset(rows.get());
        auto& ph = r.pageHeader(20);
        ph.field(0, 0, 190, 8, head.get(), "name").named("company").pt(14).bold().center();
        ph.label(0, 9, 190, 6, "进货统计单").named("title").center();
        ph.system(130, 15, 60, 5, SystemData::PrintDate).text("打印日期：%1");
        r.addColumns({{"货品代码", "sphh", 30}, {"品名规格", "spmc", 60}, {"数量", "sl", 20, Align::Right},
                      {"金额", "amount", 25, Align::Right}, {"日期", "billdate", 45}});
        r.summary(8).label(0, 1, 25, 6, "合计数量:");
        r.summary().field(25, 1, 30, 6, "sl").named("lastsl");
        r.pageFooter(8).system(80, 1, 30, 6, SystemData::PageNumber).text("第%1页").center();
    }

    static std::vector<const PageBand*> bandsOf(const Page& p, BandKind k)
    {
        std::vector<const PageBand*> out;
        for (const auto& b : p.bands)
            if (b.kind == k) out.push_back(&b);
        return out;
    }
};

TEST_F(ReportTest, PagesBreakBetweenDetailBandsWithHeaderAndFooterOnEveryPage)
{
    fill(100);
    qm::Clock::setFixed(QDateTime(QDate(2026, 5, 1), QTime(9, 30)));
    Layout r;
    describe(r);
    // 297 - 10 - 10 mm, less header 20, column header 7 and footer 8: 242 mm, 40 rows of 6 mm.
    ASSERT_EQ(r.Prepare(), 3);
    const auto& pages = r.pages();
    int records = 0;
    for (const Page& p : pages) {
        EXPECT_TRUE(p.find("第一分店")) << p.number;
        EXPECT_TRUE(p.find("打印日期：2026-05-01")) << p.number;
        EXPECT_TRUE(p.find(QStringLiteral("第%1页").arg(p.number))) << p.number;
        ASSERT_EQ(bandsOf(p, BandKind::ColumnHeader).size(), 1u);
        EXPECT_DOUBLE_EQ(bandsOf(p, BandKind::ColumnHeader)[0]->top, 30);
        auto foot = bandsOf(p, BandKind::PageFooter);
        ASSERT_EQ(foot.size(), 1u);
        EXPECT_DOUBLE_EQ(foot[0]->top, 279);
        for (const PageBand* b : bandsOf(p, BandKind::Detail)) {
            EXPECT_EQ(b->record, records++);
            EXPECT_LE(b->top + b->height, foot[0]->top + 1e-9);
        }
    }
    EXPECT_EQ(records, 100);
    EXPECT_EQ(bandsOf(pages[1], BandKind::Detail).front()->record, 40);
    EXPECT_DOUBLE_EQ(bandsOf(pages[1], BandKind::Detail).front()->top, 37);
    // The summary follows the last row and prints the last row's fields.
    auto sum = bandsOf(pages[2], BandKind::Summary);
    ASSERT_EQ(sum.size(), 1u);
    EXPECT_DOUBLE_EQ(sum[0]->top, 37 + 20 * 6);
    EXPECT_TRUE(pages[2].find("99"));
    EXPECT_EQ(rows->recNo(), 99);

    // Every text of a boxed cell lies within its frame lines.
    const Page& p1 = pages[0];
    const PageText* cell = p1.find("商品5");
    ASSERT_TRUE(cell);
    int sides = 0;
    for (const QLineF& l : p1.lines)
        if ((l.y1() == cell->rect.top() || l.y1() == cell->rect.bottom()) && l.x1() == cell->rect.left() &&
            l.x2() == cell->rect.right())
            ++sides;
    EXPECT_GE(sides, 2);
}

TEST_F(ReportTest, SummaryThatNoLongerFitsMovesToANewPage)
{
    fill(40); // exactly one full page of rows
    Layout r;
    describe(r);
    ASSERT_EQ(r.Prepare(), 2);
    EXPECT_TRUE(bandsOf(r.pages()[1], BandKind::Detail).empty());
    ASSERT_EQ(bandsOf(r.pages()[1], BandKind::Summary).size(), 1u);
    EXPECT_DOUBLE_EQ(bandsOf(r.pages()[1], BandKind::Summary)[0]->top, 37);
}

TEST_F(ReportTest, EmptyDatasetStillPrintsHeadersAndSummary)
{
    fill(0);
    Layout r;
    describe(r);
    ASSERT_EQ(r.Prepare(), 1);
    const Page& p = r.pages()[0];
    EXPECT_TRUE(p.find("进货统计单"));
    EXPECT_TRUE(p.find("货品代码"));
    EXPECT_TRUE(p.find("合计数量:"));
    EXPECT_TRUE(p.find("第1页"));
    EXPECT_TRUE(bandsOf(p, BandKind::Detail).empty());
    ASSERT_EQ(bandsOf(p, BandKind::Summary).size(), 1u);
    EXPECT_DOUBLE_EQ(bandsOf(p, BandKind::Summary)[0]->top, 37);
    // A closed master dataset lays out the same way.
    rows->close();
    EXPECT_EQ(r.Prepare(), 1);
}

TEST_F(ReportTest, DataTextsPrintDisplayFormatsAndSideRowsAtTheirCurrentRow)
{
    fill(3);
    rows->fieldByName("amount")->displayFormat = "#,##0.00";
    rows->fieldByName("sl")->displayFormat = "0";
    head->last();
    Layout r;
    describe(r);
    r.Prepare();
    QStringList t = r.pages()[0].textList();
    EXPECT_TRUE(t.contains("第二分店"));
    EXPECT_FALSE(t.contains("第一分店"));
    EXPECT_TRUE(t.contains("2.50"));  // 2 * 1.25
    EXPECT_TRUE(t.contains("2026-03-05"));           // midnight: the date alone
    EXPECT_TRUE(t.contains("2026-03-05 14:30:00"));
    // The field of a data text can change at run time.
    r.setField("lastsl", "amount");
    r.Prepare();
    const Page& p = r.pages()[0];
    auto sum = bandsOf(p, BandKind::Summary);
    bool found = false;
    for (const PageText& x : p.texts)
        if (x.band == BandKind::Summary && x.text == "2.50") found = true;
    EXPECT_TRUE(found);
    EXPECT_THROW(r.setField("nosuch", "x"), std::out_of_range);
}

TEST_F(ReportTest, NeedDataPrintsSeveralRecordsAcrossALine)
{
    fill(7);
    Layout r;
    r.setDataset(rows.get());
    r.pageHeader(10).label(0, 0, 190, 8, "商品资料").center();
    for (int g = 0; g < 3; ++g) {
        r.detail(6).label(g * 63, 0, 30, 6, QString()).named(QStringLiteral("code%1").arg(g)).boxed();
        r.detail().label(g * 63 + 30, 0, 33, 6, QString()).named(QStringLiteral("name%1").arg(g)).boxed();
    }
    int calls = 0;
    r.needData = [&] {
        ++calls;
        if (calls == 1) rows->first();
        for (int g = 0; g < 3; ++g) {
            r.setCaption(QStringLiteral("code%1").arg(g), QString());
            r.setCaption(QStringLiteral("name%1").arg(g), QString());
        }
        const bool more = !rows->eof();
        for (int g = 0; g < 3 && !rows->eof(); ++g) {
            r.setCaption(QStringLiteral("code%1").arg(g), rows->asString("sphh"));
            r.setCaption(QStringLiteral("name%1").arg(g), rows->asString("spmc"));
            rows->next();
        }
        return more;
    };
    ASSERT_EQ(r.Prepare(), 1);
    const Page& p = r.pages()[0];
    auto lines = bandsOf(p, BandKind::Detail);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(calls, 4);
    const PageText* first = p.find("商品0");
    const PageText* third = p.find("商品2");
    const PageText* fourth = p.find("商品3");
    const PageText* last = p.find("商品6");
    ASSERT_TRUE(first && third && fourth && last);
    EXPECT_EQ(first->rect.top(), third->rect.top());
    EXPECT_GT(third->rect.left(), first->rect.left());
    EXPECT_EQ(fourth->rect.left(), first->rect.left());
    EXPECT_EQ(fourth->rect.top(), first->rect.top() + 6);
    EXPECT_EQ(last->rect.top(), first->rect.top() + 12);
    // The last line's empty groups print nothing of the previous line.
    int onLast = 0;
    for (const PageText& x : p.texts)
        if (x.band == BandKind::Detail && x.rect.top() == last->rect.top() && !x.text.isEmpty()) ++onLast;
    EXPECT_EQ(onLast, 2);
}

TEST_F(ReportTest, TicketPaperWithFirstPageHeaderLastPageFooterAndRunTimeLength)
{
    fill(40);
    Layout r;
    r.setPaper(Paper::custom(58, 200, 2));
    r.setDataset(rows.get());
    r.pageHeader(12).firstPageOnly().label(0, 0, 54, 6, "第一分店").center();
    r.columnHeader(5).label(0, 0, 24, 5, "品名规格");
    r.detail(5).field(0, 0, 24, 5, "spmc");
    r.summary(10).label(0, 0, 54, 5, "欢迎光临,多谢惠顾!");
    r.pageFooter(4).lastPageOnly().label(0, 0, 54, 4, "END").named("end");
    // 196 mm: header 12 + column header 5 on the first page, then rows of 5 mm.
    ASSERT_EQ(r.Prepare(), 2);
    EXPECT_TRUE(r.pages()[0].find("第一分店"));
    EXPECT_FALSE(r.pages()[1].find("第一分店"));
    EXPECT_FALSE(r.pages()[0].find("END"));
    ASSERT_TRUE(r.pages()[1].find("END"));
    EXPECT_DOUBLE_EQ(r.pages()[1].find("END")->rect.bottom(), 198);
    EXPECT_EQ(bandsOf(r.pages()[0], BandKind::Detail).size(), 35u);

    r.setPageLength(600);
    EXPECT_EQ(r.Prepare(), 1);
    EXPECT_TRUE(r.pages()[0].find("END"));
    EXPECT_TRUE(r.pages()[0].find("欢迎光临,多谢惠顾!"));
}

TEST_F(ReportTest, BandTallerThanThePageDoesNotLoop)
{
    fill(3);
    Layout r;
    r.setDataset(rows.get());
    r.detail(400).field(0, 0, 50, 6, "spmc");
    EXPECT_EQ(r.Prepare(), 3);
}

TEST_F(ReportTest, CaptionAfterPrepareReachesThePreviewWithoutLayingOutAgain)
{
    fill(50);
    Layout r;
    describe(r);
    r.pageHeader().label(150, 0, 40, 6, QString()).named("pages").text("共  %1 页");
    int count = r.Prepare();
    ASSERT_EQ(count, 2);
    r.setCaption("pages", QString::number(count));
    const PageText* shown = r.pages()[1].find("共  2 页");
    ASSERT_TRUE(shown);
    rows->close(); // a second lay-out would lose every row

    int pagesSeen = -1;
    dialogs->onExec = [&](QDialog*) {
        pagesSeen = r.pageCount();
        return int(QDialog::Accepted);
    };
    r.Preview();
    ASSERT_FALSE(dialogs->shown.empty());
    EXPECT_EQ(dialogs->shown.back().kind, "exec");
    EXPECT_EQ(dialogs->shown.back().caption, "Velkan打印预览");
    EXPECT_EQ(pagesSeen, 2);
    EXPECT_FALSE(r.prepared()); // the preparation is released with the preview
}

TEST_F(ReportTest, PdfCarriesTheChineseText)
{
    const QString tool = QStandardPaths::findExecutable("pdftotext");
    if (tool.isEmpty()) GTEST_SKIP() << "pdftotext is not installed";
    fill(45);
    Layout r;
    describe(r);
    const QString pdf = folder() + "r.pdf";
    ASSERT_TRUE(r.writePdf(pdf));
    QProcess p;
    p.start(tool, {pdf, "-"});
    ASSERT_TRUE(p.waitForFinished(20000));
    const QString text = QString::fromUtf8(p.readAllStandardOutput());
    EXPECT_TRUE(text.contains("进货统计单"));
    EXPECT_TRUE(text.contains("第一分店"));
    EXPECT_TRUE(text.contains("商品44"));
    EXPECT_TRUE(text.contains("第2页"));
    EXPECT_EQ(text.count(QChar('\f')), 2);

    EXPECT_FALSE(r.writePdf(folder() + "no/such/folder/r.pdf"));
}

// The rules are painted joined; the paper must show the same ink: no gap where
// cells meet, no line running past the table, slanted lines kept.
TEST_F(ReportTest, JoinedRulesCoverExactlyTheCellSides)
{
    fill(40);
    Layout r;
    describe(r);
    r.detail().hrule(150, 3, 20); // a short rule inside the last cell, then a gap
    r.Prepare();
    Page page = r.pages().front();
    page.lines.emplace_back(10, 10, 20, 20);

    // Ink on a half-millimetre grid (every coordinate here is a multiple of 0.5).
    auto ink = [](const std::vector<QLineF>& lines) {
        std::set<std::pair<int, int>> dots;
        for (const QLineF& l : lines) {
            const int steps = int(std::lround(std::max(std::abs(l.dx()), std::abs(l.dy())) * 2));
            for (int i = 0; i <= steps; ++i) {
                const QPointF p = steps ? l.pointAt(double(i) / steps) : l.p1();
                dots.insert({int(std::lround(p.x() * 2)), int(std::lround(p.y() * 2))});
            }
        }
        return dots;
    };
    const std::vector<QLineF> joined = joinRules(page.lines);
    EXPECT_EQ(ink(joined), ink(page.lines));
    // A boxed table draws one line per row rule and one per column rule.
    EXPECT_LT(joined.size(), page.lines.size() / 5);
    EXPECT_TRUE(std::find(joined.begin(), joined.end(), QLineF(10, 10, 20, 20)) != joined.end());
}

} // namespace

// The daily summary's columns hold a day's rows whole; a text longer than its
// cell ends in an ellipsis after its last whole character.
TEST_F(ReportTest, DailySummaryColumnsHoldTheirRowsOrEndInAnEllipsis)
{
    const QString tool = QStandardPaths::findExecutable("pdftotext");
    if (tool.isEmpty()) GTEST_SKIP() << "pdftotext is not installed";
    const QString remark = QStringLiteral("规格100g一箱二十四袋装");
    frdm->ADOCon.exec("INSERT INTO outdetail (intno,billdate,djh,sphh,spmc,unit,sl,dj_n,amount,deduck,remark) "
                      "VALUES ('0000000001','2026-12-07 10:30:00','999','6901234567890',:m,'100g',12,1234.5,14814,0,:r)",
                      {{"m", QStringLiteral("可口可乐330ml")}, {"r", remark}});
    qm::Dataset* d = frdm->AQoutdetail;
    d->reopen("SELECT * FROM outdetail");
    frdm->applyNumberFormats();
    std::unique_ptr<Layout> r = buildLayout(QStringLiteral("Tfrrouttotal"), d);
    const QString pdf = folder() + "daily.pdf";
    ASSERT_TRUE(r->writePdf(pdf));
    QProcess p;
    p.start(tool, {"-raw", pdf, "-"});
    ASSERT_TRUE(p.waitForFinished(20000));
    const QString text = QString::fromUtf8(p.readAllStandardOutput());
    frdm->ADOCon.exec("INSERT INTO totallist (hjsl,amount,deduck,pay) VALUES (12,14814,0,3000)");
    frdm->AQtotallist->reopen("SELECT * FROM totallist");
    for (const char* whole : {"2026-12-07 10:30:00", "6901234567890", "可口可乐330ml", "100g", "1234.50", "14814.00",
                              "合计数量:", "合计金额:", "合计扣除:", "毛利:"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(whole))) << whole << "\n" << text.toStdString();
    EXPECT_FALSE(text.contains(remark));
    const qsizetype cut = text.indexOf(QStringLiteral("…"));
    ASSERT_GT(cut, 0) << text.toStdString();
    qsizetype from = cut;
    while (from > 0 && !text[from - 1].isSpace()) --from;
    EXPECT_TRUE(remark.startsWith(text.mid(from, cut - from))) << text.mid(from, cut - from).toStdString();
}
