// The six document lists: searches on their boundary values, colours, which
// window 明细单 opens, 新开单 and closing.
#include "data/datasetmodel.h"
#include "documents/docdata.h"
#include "documents/docwindows.h"
#include "documents/salewindows.h"
#include "documents/tfrdoclist.h"
#include "shell/commands.h"
#include "common/formats.h"
#include "data/numbering.h"
#include "support/rowsread.h"
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QEvent>
#include <QLineEdit>
#include <QTableView>
#include <QToolButton>

using namespace qm;
using namespace qm::doc;
using namespace doctest;

namespace {
class DocListTest : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        supplier("0000000001", QStringLiteral("甲供应商"), 0);
        supplier("0000000002", QStringLiteral("乙商贸"), 0);
    }

    // A header as the front desk or an earlier session left it.
    static void header(const char* table, const QString& intno, const QString& billdate, const QString& party,
                       const QString& name, bool pass = false, bool cancel = false)
    {
        db().exec(QStringLiteral("INSERT INTO %1 (intno,billdate,customerid,customername,pass,cancel,amount) "
                                 "VALUES (:i,:d,:c,:n,:p,:x,10)")
                      .arg(table),
                  {{"i", intno}, {"d", billdate}, {"c", party}, {"n", name}, {"p", pass}, {"x", cancel}});
    }

    DocumentList* open(DocKind kind)
    {
        EXPECT_TRUE(runCommand(docListDesc(kind).menuItem));
        DocumentList* l = openDocumentList(kind);
        EXPECT_NE(l, nullptr);
        return l;
    }

    static QStringList shownNumbers()
    {
        QStringList v;
        Dataset* h = frdm->AQoutlist;
        for (int r = 0; r < h->recordCount(); ++r) v << h->valueAt(r, h->fieldIndex("intno")).toString();
        return v;
    }

    static void search(DocumentList* l, const QString& field, const QString& text)
    {
        l->ComboBox1->setEditText(field);
        l->Edit12->setText(text);
        l->findbillClick();
    }
};
}

TEST_F(DocListTest, PurchaseListSearchesNumbersDatesSuppliersAndNames)
{
    header("inlist", "0000000012", "2026-11-30 00:00:00", "0000000001", QStringLiteral("甲供应商"));
    header("inlist", "0000000013", "2026-11-30 16:45:10", "0000000002", QStringLiteral("乙商贸"));
    header("inlist", "0000000014", "2026-12-01 00:00:00", "0000000002", QStringLiteral("乙商贸"));
    DocumentList* l = open(DocKind::Purchase);
    EXPECT_EQ(l->windowTitle(), QStringLiteral("进货单据"));
    EXPECT_EQ(l->ComboBox1->currentText(), QStringLiteral("日期"));
    EXPECT_EQ(shownNumbers().size(), 3);

    // Numbers are padded and written back; zeros or nothing show every document.
    search(l, QStringLiteral("单据号"), "12");
    EXPECT_EQ(shownNumbers(), QStringList{"0000000012"});
    EXPECT_EQ(l->Edit12->text(), "0000000012");
    search(l, QStringLiteral("单据号"), "00");
    EXPECT_EQ(shownNumbers().size(), 3);
    search(l, QStringLiteral("单据号"), "990000000013");
    EXPECT_EQ(shownNumbers(), QStringList{"0000000013"});

    // A day finds the documents of that day whatever their time, not the next day's.
    search(l, QStringLiteral("日期"), "2026-11-30");
    EXPECT_EQ(shownNumbers(), (QStringList{"0000000012", "0000000013"}));

    // A bad typed date is refused and leaves the list as it was.
    search(l, QStringLiteral("日期"), "2026-13-01");
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("2026-13-01是无效日期!"));
    EXPECT_EQ(shownNumbers().size(), 2);

    // Supplier codes are compared as typed; names by any part.
    search(l, QStringLiteral("供应商号"), "1");
    EXPECT_TRUE(shownNumbers().isEmpty());
    search(l, QStringLiteral("供应商号"), "0000000001");
    EXPECT_EQ(shownNumbers(), QStringList{"0000000012"});
    search(l, QStringLiteral("供应商名"), QStringLiteral("贸"));
    EXPECT_EQ(shownNumbers(), (QStringList{"0000000013", "0000000014"}));
    search(l, QStringLiteral("供应商名"), "");
    EXPECT_EQ(shownNumbers().size(), 3);

    // The picker: refused over a bad typed date, else it writes the picked day.
    dialogs->clear();
    l->ComboBox1->setEditText(QStringLiteral("日期"));
    l->Edit12->setText("abc");
    l->Edit12DblClick();
    EXPECT_EQ(dialogs->messages(), QStringList{QStringLiteral("abc是无效日期!")});
    dialogs->onExec = [](QDialog*) { return int(QDialog::Accepted); };
    l->Edit12->setText("2026-11-30");
    l->Edit12DblClick();
    EXPECT_EQ(l->Edit12->text(), "2026-11-30");

    // Another search field empties the edit; an unknown one changes nothing.
    l->Edit12->setText("x");
    l->ComboBox1->setCurrentIndex(0);
    l->ComboBox1Select();
    EXPECT_TRUE(l->Edit12->text().isEmpty());
    search(l, QStringLiteral("客户号"), "1");
    EXPECT_EQ(shownNumbers().size(), 3);
    l->close();
}

TEST_F(DocListTest, SalesListsPadCustomersFindLaterDaysAndTakeDatesFromThePicker)
{
    header("outlist", "0000000001", "2026-11-29 21:59:59", "0000000001", QStringLiteral("零散客户"), true);
    header("outlist", "0000000002", "2026-11-30 08:00:01", "0000000001", QStringLiteral("零散客户"), true);
    header("outlist", "0000000003", "2026-12-02 10:00:00", "0000000005", QStringLiteral("王芳"), true);
    header("outbacklist", "0000000001", "2026-11-30 10:30:00", "0000000001", QStringLiteral("零散客户"));
    header("outbacklist", "0000000002", "2026-12-01 09:00:00", "0000000001", QStringLiteral("零散客户"));
    DocumentList* l = open(DocKind::Sale);
    // The sales list: that day and every later one.
    search(l, QStringLiteral("日期"), "2026-11-30");
    EXPECT_EQ(shownNumbers(), (QStringList{"0000000002", "0000000003"}));
    search(l, QStringLiteral("客户号"), "1");
    EXPECT_EQ(l->Edit12->text(), "0000000001");
    EXPECT_EQ(shownNumbers(), (QStringList{"0000000001", "0000000002"}));
    search(l, QStringLiteral("客户名"), QStringLiteral("芳"));
    EXPECT_EQ(shownNumbers(), QStringList{"0000000003"});
    // 新开单 belongs to the front desk.
    EXPECT_FALSE(l->ToolButton5->isEnabled());
    EXPECT_EQ(l->ToolButton5->toolTip(), QStringLiteral("请用前台销售开单收银"));
    // The date comes from the picker only.
    l->ComboBox1->setEditText(QStringLiteral("日期"));
    l->Edit12Enter();
    EXPECT_TRUE(l->Edit12->isReadOnly());
    l->ComboBox1->setEditText(QStringLiteral("单据号"));
    l->ComboBox1Select();
    EXPECT_FALSE(l->Edit12->isReadOnly());
    l->close();

    // The sales-return list: a return stamped at the till is found on its day only.
    l = open(DocKind::SalesReturn);
    search(l, QStringLiteral("日期"), "2026-11-30");
    EXPECT_EQ(shownNumbers(), QStringList{"0000000001"});
    l->close();
}

TEST_F(DocListTest, PostedBlueReversedRedUnpostedPlain)
{
    header("getlist", "0000000001", "2026-11-30 00:00:00", "0000000001", "a", false, false);
    header("getlist", "0000000002", "2026-11-30 00:00:00", "0000000001", "b", true, false);
    header("getlist", "0000000003", "2026-11-30 00:00:00", "0000000001", "c", true, true);
    DocumentList* l = open(DocKind::Receipt);
    QAbstractItemModel* m = l->DBGrid1->model();
    auto colour = [m](int row) { return m->data(m->index(row, 0), Qt::ForegroundRole); };
    EXPECT_FALSE(colour(0).isValid());
    EXPECT_EQ(colour(1).value<QColor>(), QColor(0, 0, 255));
    EXPECT_EQ(colour(2).value<QColor>(), QColor(255, 0, 0));
    // The supplier lists title the party columns as suppliers.
    l->close();
    l = open(DocKind::Payment);
    const int id = frdm->AQoutlist->fieldIndex("customerid");
    EXPECT_EQ(l->DBGrid1->model()->headerData(id, Qt::Horizontal).toString(), QStringLiteral("供应商号"));
    l->close();
}

TEST_F(DocListTest, DetailOpensTheEntryWindowOrThePostedViewByTheStoredState)
{
    DocumentList* l = open(DocKind::Purchase);
    l->detailClick();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("查无单据不能进入明细表!"));
    EXPECT_EQ(l->documentWindow(), nullptr);
    l->close();

    header("inlist", "0000000001", "2026-11-30 00:00:00", "0000000001", QStringLiteral("甲供应商"));
    header("inlist", "0000000002", "2026-11-30 00:00:00", "0000000001", QStringLiteral("甲供应商"), true);
    l = open(DocKind::Purchase);
    frdm->AQoutlist->first();
    l->detailClick();
    auto* entry = qobject_cast<EntryWindow*>(l->documentWindow());
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(frmain->docMode, "F");
    EXPECT_EQ(entry->docIntno(), "0000000001");
    EXPECT_FALSE(l->isEnabled());
    entry->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(l->isEnabled());

    // Posted meanwhile by another window: the list still shows it unposted,
    // 明细单 goes by what is stored.
    db().exec("UPDATE inlist SET pass=1 WHERE intno='0000000001'");
    frdm->AQoutlist->first();
    l->detailClick();
    auto* view = qobject_cast<PostedView*>(l->documentWindow());
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->docIntno(), "0000000001");
    view->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    // The list read the state again when the view closed.
    EXPECT_EQ(l->DBGrid1->model()->data(l->DBGrid1->model()->index(0, 0), Qt::ForegroundRole).value<QColor>(),
              QColor(0, 0, 255));
    l->close();
}

TEST_F(DocListTest, TheSalesListOpensTheSalesOwnWindows)
{
    // A sale left unposted by the front desk opens in the sale's entry window
    // (with its tender), a posted one in the sale's posted view.
    header("outlist", "0000000001", "2026-11-30 09:15:00", "0000000001", QStringLiteral("零散客户"));
    header("outlist", "0000000002", "2026-11-30 10:40:00", "0000000001", QStringLiteral("零散客户"), true);
    DocumentList* l = open(DocKind::Sale);
    ASSERT_TRUE(frdm->AQoutlist->locate("intno", "0000000001"));
    l->detailClick();
    auto* entry = qobject_cast<SaleEntryWindow*>(l->documentWindow());
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->docIntno(), "0000000001");
    EXPECT_EQ(entry->windowTitle(), QStringLiteral("销售明细单"));
    entry->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    ASSERT_TRUE(frdm->AQoutlist->locate("intno", "0000000002"));
    l->detailClick();
    auto* view = qobject_cast<SalePostedView*>(l->documentWindow());
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->docIntno(), "0000000002");
    EXPECT_EQ(view->windowTitle(), QStringLiteral("销售明细单(已过帐)"));
    view->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(l->isEnabled());
    l->close();
}

TEST_F(DocListTest, NewDocumentIsShownSelectedAndClosingResetsTheSharedQuery)
{
    for (int i = 1; i <= 15; ++i)
        header("inlist", QStringLiteral("%1").arg(i, 10, 10, QChar('0')), "2026-11-30 00:00:00", "0000000001",
               QStringLiteral("甲供应商"), true);
    DocumentList* l = open(DocKind::Purchase);
    l->ToolButton5Click();
    auto* entry = qobject_cast<EntryWindow*>(l->documentWindow());
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(frmain->docMode, "T");
    EXPECT_EQ(entry->docIntno(), "0000000016");
    entry->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Dataset* head = frdm->AQoutlist;
    ASSERT_TRUE(head->active());
    EXPECT_EQ(head->asString("intno"), "0000000016");
    EXPECT_EQ(l->DBGrid1->currentIndex().row(), head->recNo());

    l->close();
    EXPECT_FALSE(head->active());
    EXPECT_EQ(head->sql(), "SELECT * from inlist\norder by intno");
    EXPECT_TRUE(frdm->ADOCon.isOpen());
    EXPECT_TRUE(frdm->ATcompany->active());
}

// Closing a document's window reads that document's header again, not the
// whole list: a header added meanwhile elsewhere shows only when the list is
// read again.
TEST_F(DocListTest, ClosingADocumentRereadsOnlyItsOwnHeader)
{
    header("inlist", "0000000001", "2026-11-30 00:00:00", "0000000001", QStringLiteral("甲供应商"));
    header("inlist", "0000000002", "2026-11-30 00:00:00", "0000000002", QStringLiteral("乙商贸"));
    header("inlist", "0000000003", "2026-11-30 00:00:00", "0000000002", QStringLiteral("乙商贸"));
    DocumentList* l = open(DocKind::Purchase);
    Dataset* h = frdm->AQoutlist;
    ASSERT_TRUE(h->locate("intno", "0000000002"));
    l->detailClick();
    auto* entry = qobject_cast<EntryWindow*>(l->documentWindow());
    ASSERT_NE(entry, nullptr);
    header("inlist", "0000000004", "2026-11-30 00:00:00", "0000000001", QStringLiteral("甲供应商"));
    db().exec("UPDATE inlist SET pass=1 WHERE intno='0000000002'");
    h->first(); // the window may move the list
    entry->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(shownNumbers(), QStringList({"0000000001", "0000000002", "0000000003"}));
    EXPECT_EQ(h->asString("intno"), "0000000002");
    EXPECT_TRUE(h->asBool("pass"));

    // A document the list no longer finds stored (voided meanwhile): the list is read again.
    ASSERT_TRUE(h->locate("intno", "0000000003"));
    l->detailClick();
    entry = qobject_cast<EntryWindow*>(l->documentWindow());
    ASSERT_NE(entry, nullptr);
    db().exec("DELETE FROM inlist WHERE intno='0000000003'");
    entry->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(shownNumbers(), QStringList({"0000000001", "0000000002", "0000000004"}));

    // A list deleted with its document still open (the program ending) takes
    // the document with it without being called back half destroyed.
    l->detailClick();
    QPointer<QWidget> open = l->documentWindow();
    ASSERT_FALSE(open.isNull());
    delete l;
    EXPECT_TRUE(open.isNull());
}

// Headers stored out of order show in number order, searched or not.
TEST_F(DocListTest, EveryListShowsItsDocumentsByNumber)
{
    const QStringList ordered = {"0000000002", "0000000005", "0000000009"};
    for (const DocListDesc& d : docLists()) {
        SCOPED_TRACE(d.caption.toStdString());
        for (const char* n : {"0000000005", "0000000002", "0000000009"})
            header(qPrintable(d.table), n, "2026-11-30 00:00:00", "0000000001", QStringLiteral("甲供应商"));
        DocumentList* l = open(d.kind);
        EXPECT_EQ(shownNumbers(), ordered);
        search(l, d.supplierSide ? QStringLiteral("供应商名") : QStringLiteral("客户名"), QStringLiteral("甲"));
        EXPECT_EQ(shownNumbers(), ordered);
        l->close();
    }
}

namespace {
// Sales headers numbered `first` on, one a minute from `from` on, all of the walk-in customer.
void addHistory(int first, int count, const QDateTime& from)
{
    Transaction t(db());
    Statement st(db().handle(), "INSERT INTO outlist (intno,billdate,customerid,customername,pass,amount) "
                                "VALUES (:i,:d,'0000000001',:n,1,10)");
    for (int i = 0; i < count; ++i) {
        st.reset();
        st.bind({{"i", zeroPad(first + i, 10)}, {"d", toDbDateTime(from.addSecs(60 * i))}, {"n", QStringLiteral("零散客户")}});
        st.step();
    }
    t.commit();
}
}

// Opening the sales list and searching it by date, number or customer cost
// what they show: ten times the history costs no more work. What they list
// stays the same, in number order.
TEST_F(DocListTest, TheSalesListReadsWhatItShowsWhateverItsHistory)
{
    // The last three days: numbers and times not in the same order, two customers.
    QStringList lastDays, onTheLastTwo, wangs;
    for (int i = 1; i <= 45; ++i) {
        const QString n = QStringLiteral("00090000%1").arg(i, 2, 10, QChar('0'));
        const int day = 28 + (i * 7) % 3;
        const bool wang = i % 4 == 0;
        header("outlist", n, QStringLiteral("2026-11-%1 %2:00:00").arg(day).arg(8 + (45 - i) % 12, 2, 10, QChar('0')),
               wang ? "0000000007" : "0000000001", wang ? QStringLiteral("王芳") : QStringLiteral("零散客户"), true, i == 5);
        lastDays << n;
        if (day >= 29) onTheLastTwo << n;
        if (wang) wangs << n;
    }
    auto measure = [this](const std::function<void(DocumentList*&)>& work) {
        qmtest::RowsRead read(db().handle());
        DocumentList* l = nullptr;
        work(l);
        QAbstractItemModel* m = l->DBGrid1->model();
        for (int r = 0; r < std::min(30, m->rowCount()); ++r) m->data(m->index(r, 0), Qt::DisplayRole);
        return read.steps();
    };
    struct Work {
        long open, date, number, customer;
    };
    auto run = [&](int history) {
        Work w{};
        DocumentList* list = nullptr;
        w.open = measure([&](DocumentList*& l) { l = list = open(DocKind::Sale); });
        EXPECT_EQ(frdm->AQoutlist->recordCount(), history + 45);
        EXPECT_EQ(shownNumbers().mid(history), lastDays);
        w.date = measure([&](DocumentList*& l) { search(l = list, QStringLiteral("日期"), "2026-11-29"); });
        EXPECT_EQ(shownNumbers(), onTheLastTwo);
        w.number = measure([&](DocumentList*& l) { search(l = list, QStringLiteral("单据号"), "9000012"); });
        EXPECT_EQ(shownNumbers(), QStringList{"0009000012"});
        w.customer = measure([&](DocumentList*& l) { search(l = list, QStringLiteral("客户号"), "7"); });
        EXPECT_EQ(shownNumbers(), wangs);
        QAbstractItemModel* m = list->DBGrid1->model();
        EXPECT_EQ(m->data(m->index(0, 0), Qt::ForegroundRole).value<QColor>(), QColor(0, 0, 255));
        search(list, QStringLiteral("客户名"), QStringLiteral("芳"));
        EXPECT_EQ(shownNumbers(), wangs);
        search(list, QStringLiteral("单据号"), "9000005");
        EXPECT_EQ(m->data(m->index(0, 0), Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));
        list->close();
        return w;
    };
    addHistory(1, 2000, QDateTime(QDate(2025, 1, 1), QTime(8, 0)));
    const Work few = run(2000);
    addHistory(2001, 18000, QDateTime(QDate(2023, 1, 1), QTime(8, 0)));
    const Work many = run(20000);
    auto flat = [](long a, long b) { return b < a + a / 4 + 200; };
    EXPECT_PRED2(flat, few.open, many.open);
    EXPECT_PRED2(flat, few.date, many.date);
    EXPECT_PRED2(flat, few.number, many.number);
    EXPECT_PRED2(flat, few.customer, many.customer);
}
