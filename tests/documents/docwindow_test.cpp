// The purchase entry window and posted view driven as an operator would:
// boxes, code entry, grid cells, the toolbar, closing.
#include "documents/docdata.h"
#include "documents/docwindows.h"
#include "documents/purchase.h"
#include "data/datasetmodel.h"
#include "masterdata/picklink.h"
#include <QDir>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <sqlite3.h>

using namespace qm;
using namespace qm::doc;
using namespace doctest;

namespace {
// Counts the transactions committed on a connection that changed something.
class WriteCounter {
public:
    explicit WriteCounter(qm::Connection& c) : h_(c.handle()), seen_(sqlite3_total_changes64(h_))
    {
        sqlite3_commit_hook(h_, &WriteCounter::hook, this);
    }
    ~WriteCounter() { sqlite3_commit_hook(h_, nullptr, nullptr); }
    int writes() const { return n_; }

private:
    static int hook(void* p)
    {
        auto* self = static_cast<WriteCounter*>(p);
        const sqlite3_int64 now = sqlite3_total_changes64(self->h_);
        if (now != self->seen_) ++self->n_;
        self->seen_ = now;
        return 0;
    }
    sqlite3* h_;
    sqlite3_int64 seen_;
    int n_ = 0;
};

class DocWindowTest : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        supplier("0000000007", QStringLiteral("供应商甲"), 200);
        for (int i = 1; i <= 12; ++i)
            product(QString::number(100 + i), QStringLiteral("商品%1号").arg(i), 10, 5, 2 + i * 0.5);
    }

    EntryWindow* openNew(DocKind kind = DocKind::Purchase)
    {
        frmain->docMode = "T";
        auto* w = qobject_cast<EntryWindow*>(openEntryWindow(kind, nullptr));
        EXPECT_NE(w, nullptr);
        return w;
    }

    static QLineEdit* box(QWidget* w, const char* name) { return w->findChild<QLineEdit*>(name); }

    // A new purchase from supplier 7 with product `code` entered into its last row.
    EntryWindow* openWithCode(const QString& code)
    {
        EntryWindow* w = openNew();
        box(w, "Edit2")->setText("7");
        w->Edit2Exit();
        frdm->AQoutdetail->last();
        box(w, "Edit12")->setText(code);
        w->Edit12Enter();
        return w;
    }

    // Types into the grid cell of the current row, as the delegate would.
    static void typeCell(DocumentWindow* w, const char* field, const QString& text)
    {
        Dataset* rows = frdm->AQoutdetail;
        QAbstractItemModel* m = w->DBGrid1->model();
        m->setData(m->index(rows->recNo(), rows->fieldIndex(field)), text, Qt::EditRole);
    }

    static void shoot(QWidget* w, const QString& name)
    {
        const QString dir = qEnvironmentVariable("QM_SHOTS");
        if (dir.isEmpty()) return;
        QDir().mkpath(dir);
        w->grab().save(dir + "/" + name + ".png");
    }
};
}

TEST_F(DocWindowTest, EnteringTwelveRowsAndPosting)
{
    EntryWindow* w = openNew();
    EXPECT_EQ(w->objectName(), "Tfrindetail");
    EXPECT_EQ(w->windowTitle(), QStringLiteral("进货明细单"));
    EXPECT_EQ(box(w, "Edit1")->text(), "0000000001");
    EXPECT_EQ(box(w, "Edit2")->text(), "1");
    // The code box takes ten digits at most, and digits only.
    box(w, "Edit2")->clear();
    QTest::keyClicks(box(w, "Edit2"), "12a3456789012");
    EXPECT_EQ(box(w, "Edit2")->text(), "1234567890");
    // Leaving the supplier box pads the code and brings the supplier in.
    box(w, "Edit2")->setText("7");
    w->Edit2Exit();
    EXPECT_EQ(box(w, "Edit2")->text(), "0000000007");
    EXPECT_EQ(box(w, "Edit3")->text(), QStringLiteral("供应商甲"));
    EXPECT_EQ(box(w, "Edit7")->text(), "200.00");
    EXPECT_EQ(frdm->AQoutdetail->recordCount(), 2);
    EXPECT_DOUBLE_EQ(frdm->AQoutdetail->valueAt(0, frdm->AQoutdetail->fieldIndex("rest")).toDouble(), 200);

    // A code on the carried-forward row is refused.
    frdm->AQoutdetail->first();
    box(w, "Edit12")->setText("101");
    w->Edit12Enter();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("明细表中的第一行为上期结转行,不能删除或修改"));

    for (int i = 1; i <= 12; ++i) {
        if (i > 1) w->ToolButton1Click();
        frdm->AQoutdetail->last();
        box(w, "Edit12")->setText(QString::number(100 + i));
        w->Edit12Enter();
        typeCell(w, "sl", QString::number(i));
        typeCell(w, "pay", i == 1 ? "10" : "0");
    }
    // A bad number is told and writes nothing.
    dialogs->clear();
    typeCell(w, "sl", "1x");
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("“1x”不是有效的数字！"));
    w->ToolButton3Click();
    // Twelve rows: quantities 1..12 at 2.5..8.
    double amount = 0;
    for (int i = 1; i <= 12; ++i) amount += i * (2 + i * 0.5);
    EXPECT_EQ(box(w, "Edit5")->text(), QString::number(amount, 'f', 2));
    EXPECT_EQ(box(w, "Edit13")->text(), "10.00");
    EXPECT_EQ(box(w, "Edit8")->text(), QString::number(200 + amount - 10, 'f', 2));
    EXPECT_EQ(box(w, "Edit14")->text(), "78");
    EXPECT_TRUE(box(w, "Edit9")->text().startsWith(QStringLiteral("购进商品:商品1号、商品2号")));
    shoot(w, "purchase-entry");

    QPointer<EntryWindow> guard(w);
    dialogs->clear();
    w->ToolButton4Click();
    EXPECT_EQ(dialogs->messages(), QStringList{QStringLiteral("单据确实要过帐吗?")});
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());
    EXPECT_DOUBLE_EQ(num("SELECT balance FROM branch"), 200 + amount - 10);
    settleBakCopies();
    EXPECT_TRUE(QFile::exists(folder() + "bak/vkdb.mdb"));

    // The posted view opens on AQoutlist's current header, read-only.
    frdm->AQoutlist->close();
    frdm->AQoutlist->setSql("SELECT * from inlist");
    frdm->AQoutlist->open();
    auto* v = qobject_cast<PostedView*>(openPostedView(DocKind::Purchase, nullptr));
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->windowTitle(), QStringLiteral("进货明细单(已过帐)"));
    EXPECT_TRUE(box(v, "Edit2")->isReadOnly());
    EXPECT_EQ(box(v, "Edit13")->text(), "10.00");
    EXPECT_EQ(frdm->AQoutdetail->recordCount(), 13);
    EXPECT_FALSE(v->DBGrid1->model()->flags(v->DBGrid1->model()->index(1, frdm->AQoutdetail->fieldIndex("sl"))) &
                 Qt::ItemIsEditable);
    shoot(v, "purchase-posted");
    QPointer<PostedView> vg(v);
    v->ToolButton6Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(vg.isNull());
    EXPECT_DOUBLE_EQ(num("SELECT balance FROM branch"), 200);
}

TEST_F(DocWindowTest, ClosingPurgesOnlyThisDocumentsBlankRowsAndBacksUp)
{
    // A blank row of another document (the front desk entering one).
    db().exec("INSERT INTO indetail (intno, mainintno, spmc) VALUES ('0000000900', '0000000099', '')");
    EntryWindow* w = openNew();
    box(w, "Edit2")->setText("7");
    w->Edit2Exit();
    w->ToolButton1Click();
    EXPECT_EQ(num("SELECT count(*) FROM indetail WHERE mainintno='0000000001'"), 3);
    // Blank rows show no running balance; the carried-forward row shows its own.
    w->ToolButton3Click();
    QAbstractItemModel* m = w->DBGrid1->model();
    const int rest = frdm->AQoutdetail->fieldIndex("rest");
    ASSERT_EQ(m->rowCount(), 3);
    EXPECT_EQ(m->data(m->index(0, rest)).toString(), "200.00");
    EXPECT_EQ(m->data(m->index(1, rest)).toString(), QString());
    EXPECT_EQ(m->data(m->index(2, rest)).toString(), QString());
    QFile::remove(folder() + "bak/vkdb.mdb");
    w->ToolButton7Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(num("SELECT count(*) FROM indetail WHERE mainintno='0000000001'"), 1);
    EXPECT_EQ(num("SELECT count(*) FROM indetail WHERE mainintno='0000000099'"), 1);
    settleBakCopies();
    EXPECT_TRUE(QFile::exists(folder() + "bak/vkdb.mdb"));

    // When bak cannot be written the copy fails with its message and the window still closes.
    QDir(folder() + "bak").removeRecursively();
    QFile blocker(folder() + "bak");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    frmain->docMode = "F";
    frmain->docIntno = "0000000001";
    auto* again = qobject_cast<EntryWindow*>(openEntryWindow(DocKind::Purchase, nullptr));
    EXPECT_EQ(box(again, "Edit2")->text(), "0000000007");
    dialogs->clear();
    QPointer<EntryWindow> g(again);
    again->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(g.isNull());
    settleBakCopies();
    EXPECT_EQ(dialogs->messages(), QStringList{QStringLiteral("请检查本系统的数据备份目录bak是否存在！ \r找不到文件或文件夹")});
}

TEST_F(DocWindowTest, VoidingAsksAndDeletesTheUnpostedDocument)
{
    EntryWindow* w = openNew(DocKind::PurchaseReturn);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("进货退货明细单"));
    EXPECT_EQ(box(w, "Edit10")->isHidden(), true); // the reference box
    shoot(w, "purchase-return-entry");
    dialogs->answers = {Answer::Cancel};
    w->ToolButton6Click();
    EXPECT_EQ(num("SELECT count(*) FROM inbacklist"), 1);
    w->ToolButton6Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(num("SELECT count(*) FROM inbacklist"), 0);
    EXPECT_EQ(num("SELECT count(*) FROM inbackdetail"), 0);
}

TEST_F(DocWindowTest, GridKeysFollowTheColumns)
{
    EntryWindow* w = openWithCode("101");
    Dataset* rows = frdm->AQoutdetail;
    QTableView* g = w->DBGrid1;
    auto at = [&](const char* field) { return g->model()->index(rows->recNo(), rows->fieldIndex(field)); };
    // The carried-forward row takes no typing.
    EXPECT_FALSE(g->model()->flags(g->model()->index(0, rows->fieldIndex("sl"))) & Qt::ItemIsEditable);
    EXPECT_TRUE(g->model()->flags(at("sl")) & Qt::ItemIsEditable);
    // Enter in 进货价 goes to 付款金额; in 付款金额 back to 数量.
    g->setCurrentIndex(at("dj_w"));
    QTest::keyClick(g, Qt::Key_Return);
    EXPECT_EQ(g->currentIndex().column(), rows->fieldIndex("pay"));
    QTest::keyClick(g, Qt::Key_Return);
    EXPECT_EQ(g->currentIndex().column(), rows->fieldIndex("sl"));
    // Enter in 数量 recalculates and adds a row.
    typeCell(w, "sl", "3");
    QTest::keyClick(g, Qt::Key_Return);
    EXPECT_EQ(rows->recordCount(), 3);
    EXPECT_EQ(box(w, "Edit14")->text(), "3");
    // Insert adds nothing.
    QTest::keyClick(g, Qt::Key_Insert);
    EXPECT_EQ(num("SELECT count(*) FROM indetail"), 3);
}

TEST_F(DocWindowTest, EachRowIsWrittenOnceWhenItIsFinishedAndNothingTypedIsLost)
{
    EntryWindow* w = openNew();
    box(w, "Edit2")->setText("7");
    w->Edit2Exit();
    Dataset* rows = frdm->AQoutdetail;
    QTableView* g = w->DBGrid1;
    auto at = [&](int row, const char* field) { return g->model()->index(row, rows->fieldIndex(field)); };
    auto stored = [&](const char* column) {
        return str(QStringLiteral("SELECT %1 FROM indetail WHERE mainintno=:n ORDER BY intno DESC LIMIT 1").arg(column),
                   {{"n", w->docIntno()}});
    };
    const int rowsBefore = int(num("SELECT count(*) FROM indetail"));

    // Code, quantity and price wait in the row; the window shows the totals they give.
    WriteCounter counter(db());
    rows->last();
    box(w, "Edit12")->setText("101");
    w->Edit12Enter();
    EXPECT_EQ(g->currentIndex(), at(1, "sl"));
    typeCell(w, "sl", "4");
    g->setCurrentIndex(at(1, "dj_w"));
    typeCell(w, "dj_w", "3");
    g->setCurrentIndex(at(1, "sl"));
    EXPECT_EQ(counter.writes(), 0);
    EXPECT_EQ(stored("spmc"), "");
    EXPECT_EQ(rows->asString("spmc"), QStringLiteral("商品1号"));
    EXPECT_EQ(g->model()->data(at(1, "amount")).toString(), "12.00");
    EXPECT_EQ(g->model()->data(at(1, "rest")).toString(), "212.00");
    EXPECT_EQ(box(w, "Edit5")->text(), "12.00");
    EXPECT_EQ(box(w, "Edit14")->text(), "4");
    shoot(w, "purchase-row-being-entered");

    // Enter at the end of the row: the row, the recalculation and the next row in one write.
    QTest::keyClick(g, Qt::Key_Return);
    EXPECT_EQ(counter.writes(), 1);
    EXPECT_EQ(num("SELECT count(*) FROM indetail"), rowsBefore + 1);
    EXPECT_DOUBLE_EQ(num("SELECT amount FROM inlist WHERE intno=:n", {{"n", w->docIntno()}}), 12);
    EXPECT_EQ(str("SELECT spmc||'/'||sl||'/'||dj_w||'/'||amount FROM indetail WHERE spmc<>'' AND spmc<>:c",
                  {{"c", qm::carriedForwardName()}}),
              QStringLiteral("商品1号/4.0/3.0/12.0"));

    // Leaving the row for another: one write, then the window shows what is stored.
    rows->last();
    box(w, "Edit12")->setText("102");
    w->Edit12Enter();
    typeCell(w, "sl", "2");
    g->setCurrentIndex(at(1, "sl"));
    EXPECT_EQ(counter.writes(), 2);
    QCoreApplication::processEvents();
    EXPECT_EQ(counter.writes(), 2);
    EXPECT_EQ(box(w, "Edit5")->text(), "18.00"); // 12 + 2 x 3.00
    EXPECT_EQ(rows->recNo(), 1);

    // 添加 writes the row being entered with the new row.
    w->ToolButton1Click();
    rows->last();
    box(w, "Edit12")->setText("103");
    w->Edit12Enter();
    w->ToolButton1Click();
    EXPECT_EQ(counter.writes(), 4);
    EXPECT_EQ(rows->recordCount(), 5);
    EXPECT_EQ(str("SELECT spmc FROM indetail WHERE sphh='103'"), QStringLiteral("商品3号"));

    // The supplier box left while a row is being entered keeps the row.
    rows->last();
    box(w, "Edit12")->setText("104");
    w->Edit12Enter();
    typeCell(w, "sl", "5");
    w->Edit2Exit();
    EXPECT_DOUBLE_EQ(num("SELECT sl FROM indetail WHERE sphh='104'"), 5);
    w->ToolButton1Click();

    // Closing writes the row being entered before the blank rows go.
    rows->last();
    box(w, "Edit12")->setText("105");
    w->Edit12Enter();
    typeCell(w, "sl", "6");
    const QString doc = w->docIntno();
    w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_DOUBLE_EQ(num("SELECT sl FROM indetail WHERE sphh='105' AND mainintno=:n", {{"n", doc}}), 6);
    EXPECT_EQ(num("SELECT count(*) FROM indetail WHERE mainintno=:n", {{"n", doc}}), 6);
}

TEST_F(DocWindowTest, PostingTakesTheRowBeingEntered)
{
    EntryWindow* w = openWithCode("101");
    typeCell(w, "sl", "3");
    w->ToolButton4Click();
    EXPECT_EQ(num("SELECT pass FROM inlist"), 1);
    EXPECT_DOUBLE_EQ(num("SELECT amount FROM inlist"), 7.5); // 3 x 2.50
    EXPECT_DOUBLE_EQ(productValue("00000101", "sl"), 13);
}

// Windows of every kind side by side: the grid titles are each window's own
// (the row query and its fields are shared), and so are the toolbar texts, the
// grid's pop-up menu and the supplier button beside 供应商号.
TEST_F(DocWindowTest, EachKindsWindowsKeepTheirOwnTitlesTextsAndMenus)
{
    const QStringList commands = {QStringLiteral("新增"), QStringLiteral("删除"), QStringLiteral("刷新"),
                                  QStringLiteral("过帐"), QStringLiteral("打印"), QStringLiteral("退回")};
    struct Kind {
        DocKind kind;
        QString codeTitle, addCaption, reverseCaption;
        bool supplierButton;
        QStringList popup;
    };
    // Each kind follows one whose titles differ, so a title left behind would show.
    const std::vector<Kind> kinds = {
        {DocKind::Receipt, QStringLiteral("银行编号"), QStringLiteral("  新增&A  "), QStringLiteral(" 冲数 "), false, commands},
        {DocKind::Purchase, QStringLiteral("货品代码"), QStringLiteral("  添加&A  "), QStringLiteral("   冲数   "), true, commands},
        {DocKind::Payment, QStringLiteral("银行编号"), QStringLiteral("  新增&A  "), QStringLiteral(" 冲数 "), true, commands},
        {DocKind::PurchaseReturn, QStringLiteral("货品代码"), QStringLiteral("  添加&A  "), QStringLiteral("   冲数   "), true, commands},
        {DocKind::Sale, QStringLiteral("货号"), QStringLiteral("  新增&A  "), QStringLiteral("   冲数   "), false, {QStringLiteral("打印设置")}},
        {DocKind::SalesReturn, QStringLiteral("货品代码"), QStringLiteral("  新增&A  "), QStringLiteral("   冲数   "), false, commands},
    };
    // The label of the party's name (Edit3) in the entry window and the posted view.
    const QMap<DocKind, QString> nameLabels = {
        {DocKind::Receipt, "客户名 客户名"}, {DocKind::Purchase, "供货商名 供应商名"}, {DocKind::Payment, "供应商名 供应商名"},
        {DocKind::PurchaseReturn, "供货商名 供货商名"}, {DocKind::Sale, "会员名 客户名"}, {DocKind::SalesReturn, "客户名 客户名"}};
    // A new sales return, receipt or payment opens recalculated, as a stored one
    // does: the first party's code and name, ready to be typed over.
    supplier("0000000001", QStringLiteral("供应商一"), 80);
    const QString walkIn = "0000000001 " + str("SELECT name FROM customer WHERE id='0000000001'");
    const QMap<DocKind, QString> opened = {
        {DocKind::Receipt, walkIn}, {DocKind::Payment, QStringLiteral("0000000001 供应商一")}, {DocKind::SalesReturn, walkIn}};
    auto texts = [](QWidget* grid) {
        QStringList out;
        for (QAction* a : grid->actions()) out << a->text();
        return out;
    };
    auto labelOf = [](QWidget* w, const char* box) {
        for (QLabel* l : w->findChildren<QLabel*>())
            if (l->buddy() && l->buddy()->objectName() == QLatin1String(box)) return l->text();
        return QString();
    };
    Dataset* rows = frdm->AQoutdetail;
    for (const Kind& k : kinds) {
        SCOPED_TRACE(int(k.kind));
        dialogs->clear();
        EntryWindow* w = openNew(k.kind);
        EXPECT_EQ(w->DBGrid1->model()->headerData(rows->fieldIndex("sphh"), Qt::Horizontal).toString(), k.codeTitle);
        EXPECT_EQ(w->findChild<QToolButton*>("ToolButton1")->text(), k.addCaption);
        EXPECT_EQ(w->DBGrid1->contextMenuPolicy(), Qt::ActionsContextMenu);
        EXPECT_EQ(texts(w->DBGrid1), k.popup);
        const QString labels = labelOf(w, "Edit3");
        if (opened.contains(k.kind)) {
            QApplication::setActiveWindow(w);
            QApplication::processEvents();
            EXPECT_EQ(box(w, "Edit2")->selectedText() + " " + box(w, "Edit3")->text() + dialogs->messages().join('|'),
                      opened.value(k.kind));
        }
        // Only the sale has a note beside its code box, where no placeholder is.
        auto* note = w->findChild<QLabel*>("CodeNote");
        EXPECT_EQ(note ? note->text() : QString(), k.kind == DocKind::Sale ? QStringLiteral("位数≥13为条形码") : QString());
        EXPECT_EQ(box(w, "Edit12")->placeholderText(), QString());
        auto* more = w->findChild<QToolButton*>("SpeedButton1");
        EXPECT_EQ(more != nullptr, k.supplierButton);
        if (more) {
            EXPECT_EQ(more->text(), QStringLiteral("…"));
            more->click();
            EXPECT_EQ(frmain->pickCode, int(k.kind));
            EXPECT_TRUE(w->findChild<QWidget*>("Frbranch"));
        }
        if (k.kind == DocKind::Purchase) {
            // The pop-up's 刷新 is the toolbar's.
            box(w, "Edit2")->setText("7");
            w->DBGrid1->actions()[2]->trigger();
            EXPECT_EQ(box(w, "Edit7")->text(), "200.00");
            shoot(w, "purchase-after-receipt");
        }
        if (k.kind == DocKind::Sale) {
            w->DBGrid1->actions()[0]->trigger();
            EXPECT_EQ(dialogs->shown.back().kind, "printer");
        }
        w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        frdm->AQoutlist->reopen(QStringLiteral("SELECT * from %1").arg(docDesc(k.kind).headerTable));
        auto* v = qobject_cast<PostedView*>(openPostedView(k.kind, nullptr));
        ASSERT_TRUE(v);
        EXPECT_EQ(v->findChild<QToolButton*>("ToolButton6")->text(), k.reverseCaption);
        EXPECT_EQ(labels + " " + labelOf(v, "Edit3"), nameLabels.value(k.kind));
        EXPECT_EQ(texts(v->DBGrid1), (QStringList{QStringLiteral("打印"), QStringLiteral("退回")}));
        v->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// The Down arrow in the code box: 新增商品 in the purchase, nothing in the return.
TEST_F(DocWindowTest, DownInTheCodeBoxGoesToNewProductOrStays)
{
    for (DocKind kind : {DocKind::Purchase, DocKind::PurchaseReturn}) {
        EntryWindow* w = openNew(kind);
        w->show();
        QApplication::setActiveWindow(w);
        QLineEdit* code = box(w, "Edit12");
        code->setFocus();
        QTest::keyClick(code, Qt::Key_Down);
        if (kind == DocKind::Purchase) {
            EXPECT_TRUE(w->findChild<QPushButton*>("Button1")->hasFocus());
            box(w, "Edit17")->setFocus();
            QTest::keyClick(box(w, "Edit17"), Qt::Key_Down);
            EXPECT_TRUE(w->findChild<QPushButton*>("Button1")->hasFocus());
        } else {
            EXPECT_TRUE(code->hasFocus());
        }
        w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}
