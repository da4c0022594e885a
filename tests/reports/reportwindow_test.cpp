#include "reports/statementwindow.h"
#include "reports/statementmodel.h"
#include "reports/summarywindow.h"
#include "reports/historyviewer.h"
#include "support/visible.h"
#include "masterdata/partnerkinds.h"
#include "masterdata/partnerlist.h"
#include "reports/reportdata.h"
#include "common/datepicker.h"
#include "common/errors.h"
#include "layouts/report.h"
#include "layouts/reportlayouts.h"
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace qm;
using namespace qm::reports;
using namespace reporttest;

namespace {
class ReportWindowTest : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        Clock::setFixed(QDateTime(QDate(2009, 3, 15), QTime(10, 0)));
        storeRange(frdm->ADOCon, {QDate(2009, 3, 1), QDate(2009, 3, 31)});
    }
    void TearDown() override
    {
        delete w;
        AppFixture::TearDown();
    }
    QString stored(const char* column) { return frdm->ADOCon.scalar(QString("SELECT %1 FROM dateconfig").arg(column)).toString(); }
    ReportWindow* w = nullptr;
};
}

// Date edits take digits and "-" only; Enter walks from the from-date to the
// to-date, and from there runs a summary but moves to a statement's code.
TEST_F(ReportWindowTest, DateKeysAndEnter)
{
    auto* s = new SummaryWindow(SummaryKind::Receipts, nullptr);
    w = s;
    s->show();
    QLineEdit* from = s->MaskEdit1;
    from->setText("");
    from->setCursorPosition(0);
    QTest::keyClicks(from, "20x0a9-0");
    EXPECT_EQ(from->text().remove('_').remove(' '), "2009-0-");

    s->MaskEdit1->setText("2009-03-02");
    QTest::keyClick(s->MaskEdit1, Qt::Key_Return);
    EXPECT_EQ(s->focusWidget(), s->MaskEdit2);
    s->MaskEdit2->setText("2009-03-03");
    QTest::keyClick(s->MaskEdit2, Qt::Key_Return);
    EXPECT_EQ(stored("jsdate"), "2009-03-03 00:00:00"); // it ran

    delete w;
    auto* st = new StatementWindow(StatementKind::Customer, nullptr);
    w = st;
    st->show();
    EXPECT_EQ(st->codeEdit->text(), "1");
    st->MaskEdit2->setFocus();
    QTest::keyClick(st->MaskEdit2, Qt::Key_Return);
    EXPECT_EQ(st->focusWidget(), st->codeEdit);
    st->codeEdit->setText("1");
    QTest::keyClick(st->codeEdit, Qt::Key_Return);
    EXPECT_EQ(st->focusWidget(), st->nameEdit);
    QTest::keyClick(st->nameEdit, Qt::Key_Return);
    EXPECT_EQ(st->rows()->rowCount(), 1); // the statement of the walk-in customer
    EXPECT_EQ(st->codeEdit->text(), "0000000001");
}

// A box reached by the keys or the mouse has its text selected, so typing
// replaces it; a customer picked from the list shows its name at once.
TEST_F(ReportWindowTest, BoxesAreReadyToBeTypedOverAndAPickShowsTheName)
{
    auto* st = new StatementWindow(StatementKind::Customer, nullptr);
    w = st;
    st->show();
    QApplication::setActiveWindow(st);
    st->MaskEdit1->setFocus();
    QTest::keyClick(st->MaskEdit1, Qt::Key_Return);
    EXPECT_EQ(st->MaskEdit2->selectedText(), "2009-03-31");
    QTest::keyClick(st->MaskEdit2, Qt::Key_Return);
    ASSERT_EQ(st->focusWidget(), st->codeEdit);
    QTest::keyClicks(st->codeEdit, "7");
    EXPECT_EQ(st->codeEdit->text(), "7");
    QTest::mouseClick(st->MaskEdit1, Qt::LeftButton);
    EXPECT_EQ(st->MaskEdit1->selectedText(), "2009-03-01");

    delete w;
    frdm->ADOCon.exec("INSERT INTO branch (intno,id,name) VALUES ('0000000001','0000000012','华联批发')");
    st = new StatementWindow(StatementKind::SupplierRows, nullptr);
    w = st;
    st->show();
    PartnerList* list = openPartnerPick(PartnerKind::Supplier, st, 12);
    ASSERT_TRUE(partnerDataset(PartnerKind::Supplier)->locate("id", "0000000012"));
    list->ToolButton7Click();
    EXPECT_EQ(st->codeEdit->text(), "0000000012");
    EXPECT_EQ(st->nameEdit->text(), "华联批发");
}

// The picker starts on today for an empty edit and writes back only on OK; a
// text that is not a date is refused before the picker opens.
TEST_F(ReportWindowTest, DatePickerAndTodayButtons)
{
    auto* s = new SummaryWindow(SummaryKind::Purchases, nullptr);
    w = s;
    s->show();
    QDate seen;
    dialogs->onExec = [&seen](QDialog*) {
        seen = datePicker()->Date();
        return int(QDialog::Rejected);
    };
    s->MaskEdit1->setText("");
    s->MaskEdit1DblClick();
    EXPECT_EQ(seen, QDate(2009, 3, 15));
    EXPECT_EQ(s->MaskEdit1->text().remove('_').remove(' '), "--");
    dialogs->onExec = [](QDialog*) {
        datePicker()->setDate(QDate(2009, 2, 3));
        return int(QDialog::Accepted);
    };
    s->MaskEdit2DblClick();
    EXPECT_EQ(s->MaskEdit2->text(), "2009-02-03");
    s->MaskEdit2->setText("2009-13-01");
    EXPECT_THROW(s->MaskEdit2DblClick(), ConversionError);

    // The purchase summary's 今天 gives today twice and runs nothing.
    s->todayClick();
    EXPECT_EQ(s->MaskEdit1->text(), "2009-03-15");
    EXPECT_EQ(s->MaskEdit2->text(), "2009-03-15");
    EXPECT_EQ(stored("ksdate"), "2009-03-01 00:00:00");
}

// 打印 runs first where the window says so (the receipt summary prints the new
// range), and prints what is on screen in the purchase summary.
TEST_F(ReportWindowTest, PrintingRunsFirstOrPrintsWhatIsShown)
{
    auto* s = new SummaryWindow(SummaryKind::Purchases, nullptr);
    w = s;
    s->show();
    s->MaskEdit1->setText("2009-03-05");
    s->reportClick();
    EXPECT_EQ(stored("ksdate"), "2009-03-01 00:00:00");
    ASSERT_FALSE(dialogs->shown.empty());
    EXPECT_EQ(dialogs->shown.back().text, "reportPreview");
    EXPECT_EQ(dialogs->shown.back().caption, "Velkan打印预览");
    delete w;
    auto* g = new SummaryWindow(SummaryKind::Receipts, nullptr);
    w = g;
    g->show();
    g->MaskEdit1->setText("2009-03-05");
    g->reportClick();
    EXPECT_EQ(stored("ksdate"), "2009-03-05 00:00:00");
}

// A long print is prepared page by page; the operator's cancel stops it and
// nothing is shown.
TEST_F(ReportWindowTest, PreparingAPrintCanBeCancelled)
{
    {
        Transaction t(frdm->ADOCon);
        for (int i = 0; i < 300; ++i) row("getdetail", "2009-03-05", {{"sphh", "0000000001"}, {"amount", 1.0}});
        t.commit();
    }
    auto* g = new SummaryWindow(SummaryKind::Receipts, nullptr);
    w = g;
    g->show();
    report::Layout* r = g->layout();
    const int all = r->Prepare();
    EXPECT_GT(all, 3);
    std::vector<int> calls;
    r->onPage = [&calls](int done) {
        calls.push_back(done);
        return done < 2;
    };
    EXPECT_EQ(r->Prepare(), 0);
    EXPECT_TRUE(r->cancelled());
    EXPECT_EQ(calls, std::vector<int>({0, 1, 2}));
    const size_t shown = dialogs->shown.size();
    r->Preview();
    EXPECT_EQ(dialogs->shown.size(), shown);
    r->onPage = nullptr;
    EXPECT_EQ(r->Prepare(), all);
    EXPECT_FALSE(r->cancelled());

    // A print long enough for it shows the dialogs layer's progress window;
    // its 取消 leaves no preview.
    frdm->ADOCon.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<2000) "
                      "INSERT INTO getdetail (intno, mainintno, billdate, billtype, billname, pass, cancel, sphh, amount) "
                      "SELECT printf('9%09d', i), '0000000001', '2009-03-06 00:00:00', billtype, billname, 1, 0, sphh, 1 "
                      "FROM n, (SELECT billtype, billname, sphh FROM getdetail LIMIT 1)");
    dialogs->clear();
    dialogs->progressDelayMs = 0;
    dialogs->cancelProgress = true;
    g->reportClick();
    EXPECT_EQ(dialogs->progressSteps(), QStringList{QStringLiteral("Velkan打印预览|正在准备打印，已完成 0 页")});
    EXPECT_EQ(dialogs->shown.size(), 1u);
    EXPECT_TRUE(r->cancelled());
}

// Every report window looks finished: boxes inside, apart, captions whole.
TEST_F(ReportWindowTest, EveryWindowLooksFinished)
{
    for (SummaryKind k : allSummaryKinds()) {
        SummaryWindow s(k, nullptr);
        EXPECT_EQ(visible::layoutProblems(&s), QStringList()) << qPrintable(s.windowTitle());
    }
    for (StatementKind k : allStatementKinds()) {
        StatementWindow s(k, nullptr);
        EXPECT_EQ(visible::layoutProblems(&s), QStringList()) << qPrintable(s.windowTitle());
    }
    Tfrdetail h("00000001", nullptr);
    EXPECT_EQ(visible::layoutProblems(&h), QStringList());
}

// A double-click on a code edit opens the party's list under the window's pick
// code; the list's 选中 writes the chosen code back; the buttons run the window.
TEST_F(ReportWindowTest, CodesArePickedFromTheListsAndButtonsRun)
{
    frdm->ADOCon.exec("INSERT INTO branch (intno,id,name) VALUES ('0000000001','0000000012','华联批发')");
    auto* st = new StatementWindow(StatementKind::SupplierRows, nullptr);
    w = st;
    st->show();
    QTest::mouseDClick(st->codeEdit, Qt::LeftButton);
    EXPECT_EQ(frmain->pickCode, 12);
    PartnerList* list = openPartnerList(PartnerKind::Supplier);
    ASSERT_NE(list, nullptr);
    ASSERT_TRUE(partnerDataset(PartnerKind::Supplier)->locate("id", "0000000012"));
    list->ToolButton7Click();
    EXPECT_EQ(st->codeEdit->text(), "0000000012");
    delete openPartnerList(PartnerKind::Supplier);

    QTest::mouseClick(st->refresh, Qt::LeftButton);
    EXPECT_EQ(st->nameEdit->text(), "华联批发");
    EXPECT_EQ(st->rows()->rowCount(), 1);
    QTest::mouseClick(st->cancel, Qt::LeftButton);
    EXPECT_FALSE(st->isVisible());
    EXPECT_TRUE(frdm->ATcompany->active());

    auto* s = new SummaryWindow(SummaryKind::Purchases, nullptr);
    delete w;
    w = s;
    s->show();
    QTest::mouseDClick(s->filterEdit("Edit2"), Qt::LeftButton);
    EXPECT_EQ(frmain->pickCode, 4);
    ASSERT_TRUE(partnerDataset(PartnerKind::Supplier)->locate("id", "0000000012"));
    openPartnerList(PartnerKind::Supplier)->ToolButton7Click();
    EXPECT_EQ(s->filterEdit("Edit2")->text(), "0000000012");
    delete openPartnerList(PartnerKind::Supplier);
}

// Leaving a statement's code box pads and looks up the code even as it was
// shown; the member's label of the product sales summary picks like its box.
TEST_F(ReportWindowTest, LeavingTheCodeLooksItUpAndTheMemberLabelPicks)
{
    auto* st = new StatementWindow(StatementKind::Customer, nullptr);
    w = st;
    st->show();
    QApplication::setActiveWindow(st);
    st->codeEdit->setFocus();
    EXPECT_EQ(st->codeEdit->text(), "1");
    st->nameEdit->setFocus();
    EXPECT_EQ(st->codeEdit->text(), "0000000001");
    EXPECT_EQ(st->nameEdit->text(),
              frdm->ADOCon.scalar("SELECT name FROM customer WHERE id='0000000001'").toString());

    auto* s = new SummaryWindow(SummaryKind::ProductSales, nullptr);
    delete w;
    w = s;
    s->show();
    QLabel* label = nullptr;
    for (QLabel* l : s->findChildren<QLabel*>())
        if (l->buddy() == s->filterEdit("Edit2")) label = l;
    ASSERT_TRUE(label);
    QTest::mouseDClick(label, Qt::LeftButton);
    EXPECT_EQ(frmain->pickCode, 3);
    EXPECT_NE(openPartnerList(PartnerKind::Customer), nullptr);
    delete openPartnerList(PartnerKind::Customer);
}

// Maximised at 1366x768, every window shows all its columns with the usual
// data, each at least as wide as its title: the shop's long names and dates
// with their time of day included.
TEST_F(ReportWindowTest, AMaximisedWindowShowsEveryColumn)
{
    frdm->ADOCon.exec("INSERT INTO branch (intno,id,name,rest) VALUES ('0000000001','0000000012','杭州联华华商集团有限公司',2000)");
    const char* names[] = {"康师傅红烧牛肉面五连包 120g×5", "农夫山泉天然水 550ml", "清风抽纸三层 130抽×3包"};
    for (int i = 0; i < 30; ++i) {
        const QString day = QString("2009-03-%1 %2:41:07").arg(1 + i % 28, 2, 10, QChar('0')).arg(8 + i % 12, 2, 10, QChar('0'));
        const QVariantMap goods{{"spintno", QString("0000000%1").arg(i % 3)}, {"sphh", QString("690123456789%1").arg(i % 3)},
                                {"spmc", names[i % 3]}, {"remark", "KSFHSNRM120G"}, {"unit", "箱"}, {"sl", 120.0},
                                {"dj_n", 158.5}, {"dj_w", 131.25}, {"amount", 19020.0}, {"djh", "001"},
                                {"customerid", i % 2 ? "0000000001" : "0000000012"}, {"customername", "杭州联华华商集团有限公司"},
                                {"pay", 19020.0}, {"deduck", 12.5}};
        for (const char* t : {"outdetail", "outbackdetail", "indetail", "inbackdetail"}) row(t, day, goods);
        const QVariantMap money{{"sphh", "0000000001"}, {"spmc", "现金"}, {"amount", 258000.0}, {"deduck", 12.5},
                                {"customerid", i % 2 ? "0000000001" : "0000000012"}, {"customername", "杭州联华华商集团有限公司"}};
        for (const char* t : {"getdetail", "putdetail"}) row(t, day.left(10), money);
        row("outlist", day, {{"intno", QString("%1").arg(i, 10, 10, QChar('0'))}, {"customerid", "0000000001"}, {"bankid", "0000000001"},
                             {"amount", 19020.0}, {"pay", 19020.0}, {"customername", "杭州联华华商集团有限公司"}});
        row("inlist", day, {{"customerid", "0000000012"}, {"bankid", "0000000001"}, {"amount", 19020.0}, {"pay", 19020.0},
                            {"customername", "杭州联华华商集团有限公司"}, {"remark", "购进商品:康师傅红烧牛肉面"}});
    }
    // Maximised, then filled.
    auto check = [](ReportWindow* r, const std::function<void()>& fill = {}) {
        SCOPED_TRACE(r->windowTitle().toStdString());
        r->resize(1366, 740);
        r->show();
        QApplication::processEvents();
        if (fill) fill();
        QApplication::processEvents();
        ASSERT_GT(r->DBGrid2->model()->rowCount(), 2);
        QHeaderView* h = r->DBGrid2->horizontalHeader();
        EXPECT_LE(h->length(), r->DBGrid2->viewport()->width());
        for (int c = 0; c < r->DBGrid2->model()->columnCount(); ++c)
            if (!r->DBGrid2->isColumnHidden(c)) {
                EXPECT_GE(h->sectionSize(c), h->sectionSizeHint(c)) << c;
            }
    };
    for (SummaryKind k : allSummaryKinds()) {
        SummaryWindow s(k, nullptr);
        check(&s);
    }
    for (StatementKind k : allStatementKinds()) {
        StatementWindow s(k, nullptr);
        check(&s, [&] {
            s.codeEdit->setText(k == StatementKind::Customer || k == StatementKind::Journal ? "1" : "12");
            s.refreshClick();
        });
    }
    fillProductHistory("00000000");
    Tfrdetail h("00000000", nullptr);
    check(&h);
}
