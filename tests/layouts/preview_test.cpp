// The preview draws the pages in view from the page model, prints the pages
// it shows, and lets them go when it closes.
#include "layouts/report.h"
#include "layouts/reportpreview.h"
#include "common/printer.h"
#include "support/fixture.h"
#include <QAction>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTest>

using namespace qm::report;

namespace {
class PreviewTest : public AppFixture {
protected:
    // `rows` lines of text, `perPage` to a page, numbered pages; the preview,
    // shown at the last page, is handed to `look`. Line n says line(n).
    void preview(int rows, int perPage, const std::function<void(PreviewDialog*)>& look,
                 const std::function<QString(int)>& line = [](int n) { return QStringLiteral("商品%1号").arg(n); })
    {
        r.pageHeader(10).label(0, 0, 190, 8, QStringLiteral("流水明细")).center();
        r.detail(250.0 / perPage).label(0, 0, 120, 6, QString()).named("line").boxed();
        r.detail().label(120, 0, 70, 6, QString()).named("amount").right();
        r.summary(8).label(0, 1, 60, 6, QStringLiteral("合计:%1行").arg(rows));
        r.pageFooter(8).system(80, 1, 30, 6, SystemData::PageNumber).text("第%1页").center();
        r.needData = [this, rows, line] {
            if (++line_ > rows) return false;
            r.setCaption("line", line(line_));
            r.setCaption("amount", QString::number(line_ * 1.25, 'f', 2));
            return true;
        };
        dialogs->onExec = [&](QDialog* d) {
            auto* p = qobject_cast<PreviewDialog*>(d);
            EXPECT_NE(p, nullptr);
            if (!p) return int(QDialog::Rejected);
            d->resize(900, 700);
            d->show();
            QApplication::processEvents();
            d->grab();
            look(p);
            return d->result();
        };
        r.Preview();
    }
    Layout r;
    int line_ = 0;
};
}

TEST_F(PreviewTest, ALongReportDrawsOnlyThePagesInViewAndLetsThemGoOnClosing)
{
    preview(3000, 1, [this](PreviewDialog* p) {
        EXPECT_EQ(p->findChild<QLabel*>("pageCount")->text(), QStringLiteral(" 页，共 3000 页 "));
        // The first page, then the last, each drawn when it came into view.
        const int first = r.pagesDrawn();
        EXPECT_TRUE(first >= 1 && first <= 4) << first;
        p->lastPage();
        p->grab();
        EXPECT_TRUE(r.pagesDrawn() > first && r.pagesDrawn() <= 8) << r.pagesDrawn();
        auto* number = p->findChild<QLineEdit*>("pageNumber");
        EXPECT_EQ(number->text(), "3000");
        EXPECT_TRUE(r.page(p->view()->currentPage()).textList().contains(QStringLiteral("第3000页")));
        // A page number typed and entered is shown at once.
        number->setText("1234");
        QTest::keyClick(number, Qt::Key_Return);
        p->grab();
        EXPECT_EQ(p->view()->currentPage(), 1234);
        EXPECT_LE(r.cachedPages(), 8);
    });
    // Closed: no page is kept, drawn or prepared.
    EXPECT_EQ(r.cachedPages() + r.pageCount(), 0);
    EXPECT_FALSE(r.prepared());
    EXPECT_FALSE(qm::sharedPrinter().paintingActive());
}

// The preview's page count and the last page it shows are what its 打印 puts
// on paper; its 打印设置 puts nothing.
TEST_F(PreviewTest, PrintFromThePreviewPrintsThePagesItShows)
{
    const QString tool = QStandardPaths::findExecutable("pdftotext");
    if (tool.isEmpty()) GTEST_SKIP() << "pdftotext is not installed";
    QPrinter& printer = qm::sharedPrinter();
    const auto restore = qScopeGuard([&printer, format = printer.outputFormat(), file = printer.outputFileName()] {
        printer.setOutputFormat(format);
        printer.setOutputFileName(file);
    });
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(folder() + "printed.pdf");
    int pages = 0;
    QString shown;
    QStringList asked;
    preview(100, 40, [&](PreviewDialog* p) {
        p->lastPage();
        pages = p->view()->pageCount();
        shown = r.page(p->view()->currentPage()).textList().join("");
        // 打印设置 sets the printer up and prints nothing; 打印 asks the print dialog, then prints.
        p->findChild<QAction*>("printSetup")->trigger();
        asked << dialogs->shown.back().kind + (QFileInfo::exists(folder() + "printed.pdf") ? " printed" : "");
        p->findChild<QAction*>("print")->trigger();
        asked << dialogs->shown.back().kind;
    });
    EXPECT_EQ(asked, (QStringList{"printer", "print"}));
    EXPECT_EQ(pages, 3);
    QProcess p;
    p.start(tool, {folder() + "printed.pdf", "-"});
    ASSERT_TRUE(p.waitForFinished(20000));
    const QStringList printed = QString::fromUtf8(p.readAllStandardOutput()).split(QChar('\f'), Qt::SkipEmptyParts);
    ASSERT_EQ(printed.size(), pages);
    // Every character of the page shown, and nothing else, is on the last sheet.
    auto letters = [](QString s) {
        s.remove(QRegularExpression("\\s"));
        std::sort(s.begin(), s.end());
        return s.toStdString();
    };
    EXPECT_EQ(letters(printed.back()), letters(shown));
}

// Each sheet of the preview shows its own page: the odd pages have a text in
// the first cell and the even ones none, so a sheet showing its neighbour's
// page has ink where its own page has none, or none where it has some.
TEST_F(PreviewTest, EachSheetShowsItsOwnPage)
{
    // Ten lines, one a page.
    preview(10, 1, [this](PreviewDialog* p) {
        ASSERT_EQ(p->view()->pageCount(), 10);
        const QString sample = QStringLiteral("商品1号");
        const PageText* cell = r.page(1).find(sample);
        ASSERT_TRUE(cell);
        const QRectF inside = cell->rect.adjusted(1, 1, -1, -1); // within the cell's frame, mm
        for (int n : {1, 2, 3, 9, 10}) {
            SCOPED_TRACE(n);
            const bool text = n % 2 == 1;
            ASSERT_EQ(r.page(n).find(QStringLiteral("商品%1号").arg(n)) != nullptr, text);
            p->view()->showPage(n);
            const QImage shown = p->view()->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
            // The sheet at the top of the view: the first row of white paper, as wide as its white.
            int top = -1, left = shown.width(), right = -1;
            for (int y = 0; y < shown.height() && top < 0; ++y)
                for (int x = 0; x < shown.width(); ++x)
                    if (shown.pixel(x, y) == qRgb(255, 255, 255)) {
                        top = y;
                        left = std::min(left, x);
                        right = std::max(right, x);
                    }
            ASSERT_GE(top, 0);
            const double pxPerMm = (right - left + 1) / r.paper().width;
            int ink = 0;
            for (int y = int(top + inside.top() * pxPerMm); y < top + inside.bottom() * pxPerMm; ++y)
                for (int x = int(left + inside.left() * pxPerMm); x < left + inside.right() * pxPerMm; ++x)
                    ink += qGray(shown.pixel(x, y)) < 160;
            if (text) {
                EXPECT_GT(ink, 5);
            } else {
                EXPECT_EQ(ink, 0);
            }
        }
    }, [](int n) { return n % 2 ? QStringLiteral("商品%1号").arg(n) : QString(); });
}
