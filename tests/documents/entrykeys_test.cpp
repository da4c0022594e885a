// Every kind's entry window driven by the keys alone: a value typed into a
// grid cell and ended with Enter is kept before the window takes its next
// step, and the header boxes are ready to be typed over.
#include "documents/docdata.h"
#include "documents/docwindows.h"
#include "masterdata/partnerlist.h"
#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QTableView>
#include <QTest>
#include <QToolButton>

using namespace qm;
using namespace qm::doc;
using namespace doctest;

namespace {
class EntryKeys : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        supplier("0000000007", QStringLiteral("供应商甲"), 200);
        customer("0000000005", QStringLiteral("王芳"), 500);
        product("101", QStringLiteral("商品1号"), 10, 5, 3);
    }
    void TearDown() override
    {
        deleteWindows<DocumentWindow>();
        AppFixture::TearDown();
    }

    static EntryWindow* openNew(DocKind kind)
    {
        frmain->docMode = "T";
        auto* w = qobject_cast<EntryWindow*>(openEntryWindow(kind, nullptr));
        QApplication::setActiveWindow(w);
        return w;
    }
    static int column(const char* field) { return frdm->AQoutdetail->fieldIndex(field); }
    static double cell(const char* field) { return frdm->AQoutdetail->asFloat(field); }

    // F2 opens the current cell's editor; the text is typed into it and Enter ends it.
    static void typeIntoCell(QTableView* g, const QString& text)
    {
        QTest::keyClick(g, Qt::Key_F2);
        QWidget* editor = g->indexWidget(g->currentIndex());
        ASSERT_NE(editor, nullptr);
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, Qt::Key_Return);
    }
};

// One kind: the party typed into its box, and the cells typed in order, each
// with the column Enter leads to ("" after 刷新 and 添加).
struct Walk {
    DocKind kind;
    QString party;
    bool productRows;
    std::vector<std::tuple<const char*, const char*, const char*>> cells;
    QString stored; // the row as stored at the end, "sl/price/rebate-or-pay/amount"
    QString sql;
};
}

TEST_F(EntryKeys, EnterInAGridCellKeepsTheTypedValueThenTakesTheNextStep)
{
    const std::vector<Walk> walks = {
        {DocKind::Purchase, "7", true, {{"dj_w", "3.5", "pay"}, {"pay", "10", "sl"}, {"sl", "24", ""}},
         "24.0/3.5/10.0/84.0", "SELECT sl||'/'||dj_w||'/'||pay||'/'||amount FROM indetail WHERE sphh='101'"},
        {DocKind::PurchaseReturn, "7", true, {{"dj_w", "2.5", "sl"}, {"sl", "4", ""}},
         "4.0/2.5/0.0/10.0", "SELECT sl||'/'||dj_w||'/'||pay||'/'||amount FROM inbackdetail WHERE sphh='101'"},
        {DocKind::Sale, "5", true, {{"dj_n", "4", "rebate"}, {"rebate", "90", "sl"}, {"sl", "2", ""}},
         "2.0/4.0/90.0/7.2", "SELECT sl||'/'||dj_n||'/'||rebate||'/'||amount FROM outdetail WHERE sphh='101'"},
        {DocKind::SalesReturn, "5", true, {{"dj_n", "5", "rebate"}, {"rebate", "80", "sl"}, {"sl", "3", ""}},
         "3.0/5.0/80.0/12.0", "SELECT sl||'/'||dj_n||'/'||rebate||'/'||amount FROM outbackdetail WHERE sphh='101'"},
        {DocKind::Receipt, "5", false, {{"amount", "50", "deduck"}, {"deduck", "5", "amount"}},
         "50.0/5.0/445.0", "SELECT amount||'/'||deduck||'/'||rest FROM getdetail WHERE spmc='现金'"},
        {DocKind::Payment, "7", false, {{"amount", "60", "deduck"}, {"deduck", "4", "amount"}},
         "60.0/4.0/136.0", "SELECT amount||'/'||deduck||'/'||rest FROM putdetail WHERE spmc='现金'"},
    };
    for (const Walk& walk : walks) {
        SCOPED_TRACE(int(walk.kind));
        EntryWindow* w = openNew(walk.kind);
        QLineEdit* party = w->box("Edit2");
        party->setFocus();
        party->selectAll();
        QTest::keyClicks(party, walk.party);
        QTest::keyClick(party, Qt::Key_Return);
        Dataset* rows = frdm->AQoutdetail;
        QTableView* g = w->DBGrid1;
        if (walk.productRows) {
            QTest::keyClicks(w->box("Edit12"), "101");
            QTest::keyClick(w->box("Edit12"), Qt::Key_Return);
        }
        const int row = rows->recordCount() - 1;
        for (const auto& [field, text, next] : walk.cells) {
            SCOPED_TRACE(field);
            g->setCurrentIndex(g->model()->index(row, column(field)));
            const int before = rows->recordCount();
            typeIntoCell(g, text);
            if (*next) {
                // Kept in the row, and on to the next cell.
                EXPECT_DOUBLE_EQ(cell(field), QString(text).toDouble());
                EXPECT_EQ(g->currentIndex(), g->model()->index(row, column(next)));
            } else {
                // Recalculated and written with the new row, which the code box fills.
                EXPECT_EQ(rows->recordCount(), before + 1);
                EXPECT_EQ(QApplication::focusWidget(), w->box("Edit12"));
            }
        }
        if (!walk.productRows) w->findChild<QToolButton*>("ToolButton3")->click();
        QCoreApplication::processEvents();
        EXPECT_EQ(str(walk.sql).toStdString(), walk.stored.toStdString());
        delete w;
    }
}

TEST_F(EntryKeys, TabAndTheArrowsAlsoKeepTheTypedValue)
{
    EntryWindow* w = openNew(DocKind::Purchase);
    QTest::keyClicks(w->box("Edit12"), "101");
    QTest::keyClick(w->box("Edit12"), Qt::Key_Return);
    QTableView* g = w->DBGrid1;
    QTest::keyClick(g, Qt::Key_F2);
    QTest::keyClicks(g->indexWidget(g->currentIndex()), "7");
    QTest::keyClick(g->indexWidget(g->currentIndex()), Qt::Key_Tab);
    EXPECT_EQ(g->currentIndex().column(), column("dj_w"));
    QTest::keyClick(g, Qt::Key_F2);
    QTest::keyClicks(g->indexWidget(g->currentIndex()), "4");
    QTest::keyClick(g->indexWidget(g->currentIndex()), Qt::Key_Up); // up to the carried-forward row
    QCoreApplication::processEvents();
    EXPECT_EQ(str("SELECT sl||'/'||dj_w||'/'||amount FROM indetail WHERE sphh='101'").toStdString(), "7.0/4.0/28.0");
}

// A refused text stays in the cell, selected: the correction typed next
// replaces it and is kept.
TEST_F(EntryKeys, EnterOnATypedTextThatIsNoNumberStaysInTheCell)
{
    EntryWindow* w = openNew(DocKind::Purchase);
    QTest::keyClicks(w->box("Edit12"), "101");
    QTest::keyClick(w->box("Edit12"), Qt::Key_Return);
    const int before = frdm->AQoutdetail->recordCount();
    QTableView* g = w->DBGrid1;
    typeIntoCell(g, "2x");
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("“2x”不是有效的数字！"));
    auto* editor = qobject_cast<QLineEdit*>(g->indexWidget(g->currentIndex()));
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->selectedText(), "2x");
    EXPECT_EQ(frdm->AQoutdetail->recordCount(), before);
    EXPECT_DOUBLE_EQ(cell("sl"), 1);

    // Out of range, then corrected the same way.
    dialogs->clear();
    QTest::keyClicks(editor, "1e7");
    QTest::keyClick(editor, Qt::Key_Return);
    ASSERT_EQ(g->indexWidget(g->currentIndex()), editor);
    EXPECT_EQ(editor->selectedText(), "1e7");
    QTest::keyClicks(editor, "3");
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(dialogs->messages().value(0), QStringLiteral("输入的数值超出范围！"));
    EXPECT_FALSE(dialogs->messages().mid(1).contains(QStringLiteral("输入的数值超出范围！")));
    QCoreApplication::processEvents();
    EXPECT_EQ(str("SELECT sl FROM indetail WHERE sphh='101'").toDouble(), 3);
}

TEST_F(EntryKeys, BoxesAreReadyToBeTypedOverAndAPickedPartyShowsItsName)
{
    // A new receipt: the "1" in 客户号 goes under the first digit typed.
    EntryWindow* w = openNew(DocKind::Receipt);
    QLineEdit* code = w->box("Edit2");
    ASSERT_EQ(QApplication::focusWidget(), code);
    QTest::keyClicks(code, "5");
    QTest::keyClick(code, Qt::Key_Return);
    EXPECT_EQ(code->text(), "0000000005");
    EXPECT_EQ(w->box("Edit3")->text(), QStringLiteral("王芳"));
    EXPECT_TRUE(dialogs->messages().isEmpty());

    // Into a box by Enter, by the arrows and by a click, the whole text is taken.
    QLineEdit* name = w->box("Edit3");
    name->setFocus();
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), w->box("Edit4"));
    EXPECT_EQ(w->box("Edit4")->selectedText(), QStringLiteral("李"));
    QTest::keyClick(w->box("Edit4"), Qt::Key_Up);
    EXPECT_EQ(name->selectedText(), QStringLiteral("王芳"));
    QTest::mouseClick(w->box("Edit9"), Qt::LeftButton);
    EXPECT_EQ(w->box("Edit9")->selectedText(), QStringLiteral("街2号"));

    // A supplier picked from the list into a new purchase brings its name at once.
    EntryWindow* p = openNew(DocKind::Purchase);
    PartnerList* list = openPartnerPick(PartnerKind::Supplier, p, 2);
    ASSERT_TRUE(frdm->AQbranch->locate("id", "0000000007"));
    list->ToolButton7Click();
    EXPECT_EQ(p->box("Edit2")->text(), "0000000007");
    EXPECT_EQ(p->box("Edit3")->text(), QStringLiteral("供应商甲"));
    EXPECT_EQ(p->box("Edit7")->text(), "200.00");
}
