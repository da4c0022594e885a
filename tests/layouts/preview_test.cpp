// The preview draws the pages in view from the page model, prints the pages
// it shows, and lets them go when it closes.
#include "layouts/report.h"
#include "layouts/reportpreview.h"
#include "common/printer.h"
#include "support/fixture.h"
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

using namespace qm::report;

namespace {
class PreviewTest : public AppFixture {
protected:
    // `rows` lines of text, `perPage` to a page, numbered pages.
    void describe(Layout& r, int rows, int perPage)
    {
        r.pageHeader(10).label(0, 0, 190, 8, QStringLiteral("流水明细")).center();
        r.detail(250.0 / perPage).label(0, 0, 120, 6, QString()).named("line").boxed();
        r.detail().label(120, 0, 70, 6, QString()).named("amount").right();
        r.summary(8).label(0, 1, 60, 6, QStringLiteral("合计:%1行").arg(rows));
        r.pageFooter(8).system(80, 1, 30, 6, SystemData::PageNumber).text("第%1页").center();
        r.needData = [this, &r, rows] {
            if (++line_ > rows) return false;
            r.setCaption("line", QStringLiteral("商品%1号").arg(line_));
            r.setCaption("amount", QString::number(line_ * 1.25, 'f', 2));
            return true;
        };
    }
    static PreviewDialog* shown(QDialog* d)
    {
        d->resize(900, 700);
        d->show();
        QApplication::processEvents();
        d->grab();
        return qobject_cast<PreviewDialog*>(d);
    }
    int line_ = 0;
};
}

TEST_F(PreviewTest, ALongReportDrawsOnlyThePagesInViewAndLetsThemGoOnClosing)
{
    Layout r;
    describe(r, 3000, 1);
    int drawnFirst = -1, drawnLast = -1, cached = -1, current = -1;
    QString count, box, typed;
    QStringList last;
    dialogs->onExec = [&](QDialog* d) {
        PreviewDialog* p = shown(d);
        EXPECT_NE(p, nullptr);
        if (!p) return int(QDialog::Rejected);
        drawnFirst = r.pagesDrawn();
        count = p->findChild<QLabel*>("pageCount")->text();
        p->lastPage();
        d->grab();
        drawnLast = r.pagesDrawn();
        current = p->view()->currentPage();
        box = p->findChild<QLineEdit*>("pageNumber")->text();
        last = r.page(current).textList();
        // A page number typed and entered is shown at once.
        auto* number = p->findChild<QLineEdit*>("pageNumber");
        number->setText("1234");
        QTest::keyClick(number, Qt::Key_Return);
        d->grab();
        typed = QString::number(p->view()->currentPage()) + " " + number->text();
        cached = r.cachedPages();
        return int(QDialog::Rejected);
    };
    r.Preview();
    EXPECT_EQ(dialogs->shown.back().text, "reportPreview");
    EXPECT_EQ(dialogs->shown.back().caption, "Velkan打印预览");
    EXPECT_EQ(count, QStringLiteral(" 页，共 3000 页 "));
    // The first page, then the last, each drawn when it came into view.
    EXPECT_GE(drawnFirst, 1);
    EXPECT_LE(drawnFirst, 4);
    EXPECT_GT(drawnLast, drawnFirst);
    EXPECT_LE(drawnLast, 8);
    EXPECT_EQ(current, 3000);
    EXPECT_EQ(box, "3000");
    EXPECT_TRUE(last.contains(QStringLiteral("商品3000号")));
    EXPECT_TRUE(last.contains(QStringLiteral("第3000页")));
    EXPECT_EQ(typed, "1234 1234");
    EXPECT_LE(cached, 8);
    // Closed: no page is kept, drawn or prepared.
    EXPECT_EQ(r.cachedPages(), 0);
    EXPECT_EQ(r.pageCount(), 0);
    EXPECT_FALSE(r.prepared());
    EXPECT_FALSE(qm::sharedPrinter().paintingActive());
}

// The preview's page count and the last page it shows are what its 打印 puts
// on paper.
TEST_F(PreviewTest, PrintFromThePreviewPrintsThePagesItShows)
{
    const QString tool = QStandardPaths::findExecutable("pdftotext");
    if (tool.isEmpty()) GTEST_SKIP() << "pdftotext is not installed";
    QPrinter& printer = qm::sharedPrinter();
    const QPrinter::OutputFormat format = printer.outputFormat();
    const QString file = printer.outputFileName();
    const QString pdf = folder() + "printed.pdf";
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);

    Layout r;
    describe(r, 100, 40);
    int pages = 0;
    QStringList last;
    dialogs->onExec = [&](QDialog* d) {
        PreviewDialog* p = shown(d);
        if (!p) return int(QDialog::Rejected);
        p->lastPage();
        d->grab();
        pages = p->view()->pageCount();
        last = r.page(p->view()->currentPage()).textList();
        p->findChild<QAction*>("print")->trigger();
        return d->result();
    };
    r.Preview();
    printer.setOutputFormat(format);
    printer.setOutputFileName(file);
    EXPECT_EQ(dialogs->shown.back().kind, "printer"); // the print dialog, answered OK
    EXPECT_EQ(pages, 3);

    QProcess p;
    p.start(tool, {pdf, "-"});
    ASSERT_TRUE(p.waitForFinished(20000));
    const QStringList printed = QString::fromUtf8(p.readAllStandardOutput()).split(QChar('\f'), Qt::SkipEmptyParts);
    ASSERT_EQ(printed.size(), pages);
    // Every text of the page shown, and nothing else, is on the last sheet.
    QString sheet = printed.back();
    sheet.remove(QRegularExpression("\\s"));
    QString shownText;
    for (QString t : last) shownText += t.remove(QRegularExpression("\\s"));
    EXPECT_EQ(sheet.size(), shownText.size()) << sheet.toStdString();
    for (const QString& t : last) EXPECT_TRUE(sheet.contains(QString(t).remove(QRegularExpression("\\s")))) << t.toStdString();
    EXPECT_TRUE(last.contains(QStringLiteral("合计:100行")));
}
