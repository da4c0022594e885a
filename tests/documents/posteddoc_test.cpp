// A posted document is written again only by its reversal: not by the engine's
// other steps, not by an entry window that outlives the posting, whoever
// posted it; and a window left without a document writes nothing.
#include "admin/errorhandler.h"
#include "documents/docdata.h"
#include "documents/doclists.h"
#include "documents/docwindows.h"
#include "documents/sale.h"
#include "documents/salewindows.h"
#include "documents/tfrcash.h"
#include "documents/tfrdoclist.h"
#include "masterdata/partnerkinds.h"
#include "masterdata/partnerlist.h"
#include "masterdata/tfrproduct.h"
#include "shell/commands.h"
#include "support/faultvfs.h"
#include "support/files.h"
#include <QApplication>
#include <QLineEdit>
#include <QTableView>
#include <QToolButton>
#include <functional>

using namespace qm;
using namespace qm::doc;
using namespace doctest;

namespace {
const QString kPosted = QStringLiteral("该单据已过帐,不能修改！");
const QString kCatchAll = QStringLiteral("该功能暂时不能执行，请重新操作！");
const QList<DocKind> kKinds = {DocKind::Purchase, DocKind::PurchaseReturn, DocKind::Payment,
                               DocKind::Sale,     DocKind::SalesReturn,    DocKind::Receipt};

class PostedDocTest : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        supplier("0000000007", QStringLiteral("供应商甲"), 150);
        customer("0000000007", QStringLiteral("客户乙"), 500);
        product("101", QStringLiteral("商品1号"), 10, 2, 2);
        product("102", QStringLiteral("商品2号"), 10, 3, 3);
    }
    void TearDown() override
    {
        deleteWindows<DocumentWindow, DocumentList>();
        AppFixture::TearDown();
    }

    // An unposted document of the kind from party 7 with one row worth 20.00
    // (two of product 101 at 10.00, or 20.00 into the cash account), and a
    // blank row after it.
    static QString unposted(const DocDesc& d)
    {
        const QString no = newDocument(db(), d);
        recalc(db(), d, no, input("7"));
        const QString row = readRows(db(), d, no).back().intno;
        if (d.productRows) {
            enterCode(db(), d, row, "101", "0000000007");
            db().exec(QStringLiteral("UPDATE %1 SET sl=2, dj_w=10, dj_n=10 WHERE intno=:i").arg(d.detailTable), {{"i", row}});
        } else {
            db().exec(QStringLiteral("UPDATE %1 SET amount=20 WHERE intno=:i").arg(d.detailTable), {{"i", row}});
        }
        addRow(db(), d, no);
        recalc(db(), d, no, input("7"));
        return no;
    }

    // The kind's list, on `no`, and 明细单: the window it opens.
    static EntryWindow* openFromList(DocKind kind, const QString& no)
    {
        EXPECT_TRUE(runCommand(docListDesc(kind).menuItem));
        DocumentList* l = openDocumentList(kind);
        EXPECT_TRUE(frdm->AQoutlist->locate("intno", no));
        l->detailClick();
        QApplication::processEvents();
        return qobject_cast<EntryWindow*>(QApplication::activeWindow());
    }

    static bool readOnly(EntryWindow* w)
    {
        return !w->findChild<QToolButton*>("ToolButton1")->isEnabled() &&
               !w->findChild<QToolButton*>("ToolButton4")->isEnabled() && w->box("Edit2")->isReadOnly() &&
               w->findChild<QToolButton*>("ToolButton7")->isEnabled();
    }

    static void settle()
    {
        QApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};
}

TEST_F(PostedDocTest, EveryStepButReversalRefusesAPostedDocumentAndWritesNothing)
{
    using Step = std::function<void(const DocDesc&, const QString& no, const QString& row)>;
    const std::vector<std::pair<const char*, Step>> steps = {
        {"recalc", [](const DocDesc& d, const QString& no, const QString&) { recalc(db(), d, no, input("7")); }},
        {"addRow", [](const DocDesc& d, const QString& no, const QString&) { addRow(db(), d, no); }},
        {"applyParty",
         [](const DocDesc& d, const QString& no, const QString&) {
             applyParty(db(), d, no, "0000000007", *findParty(db(), d, "0000000007", false));
         }},
        {"enterCode", [](const DocDesc& d, const QString&, const QString& row) { enterCode(db(), d, row, "102"); }},
        {"deleteRow", [](const DocDesc& d, const QString&, const QString& row) { deleteRow(db(), d, row); }},
        {"copyHistory", [](const DocDesc& d, const QString& no, const QString&) { copyHistory(db(), d, no, no); }},
        {"voidDocument", [](const DocDesc& d, const QString& no, const QString&) { voidDocument(db(), d, no); }},
        {"purgeBlankRows", [](const DocDesc& d, const QString& no, const QString&) { purgeBlankRows(db(), d, no); }},
        {"dropIfEmpty", [](const DocDesc& d, const QString& no, const QString&) { dropIfEmpty(db(), d, no); }},
        // Posting again from a recalculation made before the first posting.
        {"postRecalculated",
         [](const DocDesc& d, const QString& no, const QString&) {
             postRecalculated(db(), d, no, input("7"), readHeader(db(), d, no), readRows(db(), d, no), "999");
         }},
    };
    for (DocKind kind : kKinds) {
        const DocDesc& d = docDesc(kind);
        const QString no = unposted(d);
        post(db(), d, no, input("7"), true, "999");
        const QString row = readRows(db(), d, no).back().intno;
        const QStringList before = snapshot();
        for (const auto& [name, step] : steps) {
            SCOPED_TRACE(QStringLiteral("%1 %2").arg(d.billName, QLatin1String(name)).toStdString());
            try {
                step(d, no, row);
                ADD_FAILURE() << "not refused";
            } catch (const Refusal& r) {
                EXPECT_EQ(r.message(), name == std::string("postRecalculated") ? text::alreadyPosted() : kPosted);
            }
            EXPECT_EQ(snapshot(), before);
        }
        // Reversal still goes.
        reverse(db(), d, no);
        EXPECT_EQ(num(QStringLiteral("SELECT cancel FROM %1 WHERE intno=:n").arg(d.headerTable), {{"n", no}}), 1);
    }
}

TEST_F(PostedDocTest, PostingFromTheListLeavesTheStoredBalanceAsItWas)
{
    for (DocKind kind : kKinds) {
        const DocDesc& d = docDesc(kind);
        SCOPED_TRACE(d.billName.toStdString());
        const QString no = unposted(d);
        const QString head = QStringLiteral("SELECT balance FROM %1 WHERE intno=:n").arg(d.headerTable);
        const QString first = QStringLiteral("SELECT amount||'/'||rest FROM %1 WHERE mainintno=:n ORDER BY intno LIMIT 1")
                                  .arg(d.detailTable);
        const double balance = num(head, {{"n", no}});
        const QString carried = str(first, {{"n", no}});
        EntryWindow* w = openFromList(kind, no);
        ASSERT_NE(w, nullptr);
        // Straight to 过帐, the party box still holding the focus it opened with.
        w->ToolButton4Click();
        settle();
        EXPECT_EQ(num(QStringLiteral("SELECT pass FROM %1 WHERE intno=:n").arg(d.headerTable), {{"n", no}}), 1);
        EXPECT_DOUBLE_EQ(num(head, {{"n", no}}), balance);
        EXPECT_EQ(str(first, {{"n", no}}), carried);
        for (QWidget* l : QApplication::topLevelWidgets())
            if (qobject_cast<DocumentList*>(l)) l->close();
        settle();
    }
}

TEST_F(PostedDocTest, ADocumentPostedUnderAnOpenWindowIsRefusedThereAndShownReadOnly)
{
    const DocDesc& d = docDesc(DocKind::Purchase);
    auto lastRow = [] { frdm->AQoutdetail->last(); };
    using Action = std::function<void(EntryWindow*)>;
    const std::vector<std::tuple<const char*, Action, QStringList>> actions = {
        {"刷新", [](EntryWindow* w) { w->ToolButton3Click(); }, {kPosted}},
        {"添加", [](EntryWindow* w) { w->ToolButton1Click(); }, {kPosted, kCatchAll}},
        {"a code",
         [&](EntryWindow* w) {
             lastRow();
             w->box("Edit12")->setText("102");
             w->Edit12Enter();
         },
         {kPosted}},
        {"a quantity",
         [&](EntryWindow* w) {
             Dataset* rows = frdm->AQoutdetail;
             rows->moveTo(1);
             QAbstractItemModel* m = w->DBGrid1->model();
             w->DBGrid1->setCurrentIndex(m->index(1, rows->fieldIndex("sl")));
             m->setData(m->index(1, rows->fieldIndex("sl")), "99", Qt::EditRole);
             w->DBGrid1->setCurrentIndex(m->index(2, rows->fieldIndex("sl")));
             QApplication::processEvents();
         },
         {kPosted}},
        {"删除",
         [](EntryWindow* w) {
             frdm->AQoutdetail->moveTo(1);
             w->ToolButton2Click();
         },
         {QStringLiteral("确实要删除当前记录吗?"), kPosted}},
        {"历史单号",
         [](EntryWindow* w) {
             w->box("Edit17")->setText(w->docIntno());
             w->Edit17Enter();
         },
         {kPosted}},
        {"作废", [](EntryWindow* w) { w->ToolButton6Click(); }, {QStringLiteral("单据确实要废弃吗?"), kPosted, kCatchAll}},
        {"an account picked",
         [](EntryWindow* w) {
             PartnerList* l = openPartnerPick(PartnerKind::Account, w, w->desc().pickCode);
             ASSERT_TRUE(partnerDataset(PartnerKind::Account)->locate("id", "0000000002"));
             EXPECT_THROW(l->ToolButton7Click(), SilentStop);
             QApplication::processEvents();
             EXPECT_EQ(w->box("Edit10")->text(), "0000000001");
             EXPECT_EQ(frdm->AQoutlist->state(), Dataset::State::Browse);
         },
         {kPosted}},
        {"a product picked into a row",
         [&](EntryWindow* w) {
             lastRow();
             TFrproduct* l = TFrproduct::openForPick(w, w->desc().pickCode);
             ASSERT_TRUE(frdm->Aqproduct->active() && !frdm->Aqproduct->isEmpty());
             EXPECT_THROW(l->ToolButton7Click(), SilentStop);
             QApplication::processEvents();
             EXPECT_EQ(frdm->AQoutdetail->state(), Dataset::State::Browse);
         },
         {kPosted}},
    };
    account("0000000002", QStringLiteral("银行乙"));
    Connection other;
    other.open(db().path());
    for (const auto& [name, action, messages] : actions) {
        SCOPED_TRACE(name);
        const QString no = unposted(d);
        EntryWindow* w = openFromList(DocKind::Purchase, no);
        ASSERT_NE(w, nullptr);
        // The front desk or a second window posts it.
        post(other, d, no, input("7"), true, "999");
        const QStringList before = snapshot();
        dialogs->clear();
        action(w);
        EXPECT_EQ(dialogs->messages(), messages);
        EXPECT_EQ(snapshot(), before);
        // The window shows what is stored, and takes nothing more.
        EXPECT_TRUE(readOnly(w));
        EXPECT_EQ(w->box("Edit8")->text(), QString::number(num("SELECT rest FROM inlist WHERE intno=:n", {{"n", no}}), 'f', 2));
        dialogs->clear();
        w->ToolButton3Click();
        w->Edit2Exit();
        w->close();
        settle();
        EXPECT_TRUE(dialogs->messages().isEmpty());
        EXPECT_EQ(snapshot(), before);
        for (QWidget* l : QApplication::topLevelWidgets())
            if (qobject_cast<DocumentList*>(l)) l->close();
        settle();
    }
}

namespace {
// Answers the receipt question while another program takes the write lock and
// keeps it: the next sale cannot be numbered.
class LockDuringReceiptQuestion : public ScriptedDialogs {
public:
    Connection* other = nullptr;
    Answer messageBox(const QString& text, const QString& caption, Buttons b, Icon icon) override
    {
        if (text == QStringLiteral("是否要打印销售小票?") && other) other->exec("BEGIN IMMEDIATE");
        return ScriptedDialogs::messageBox(text, caption, b, icon);
    }
};
}

TEST_F(PostedDocTest, TheTillRefusesShortCashAndASaleWithoutItsAccount)
{
    const DocDesc& d = saleDesc();
    HeaderInput walkIn = input("0000000001");
    const QString no = unposted(d);
    const QStringList before = snapshot();
    // 20.00 due: 19.99 and an account that is not there are refused before any write.
    const std::vector<std::tuple<HeaderInput, double, QString>> refused = {
        {walkIn, 19.99, QStringLiteral("收款金额不足,请重新输入！")},
        {input("0000000001", "0000000099"), 50, QStringLiteral("查无此银行编号！")}};
    for (const auto& [in, cash, message] : refused) {
        try {
            postTendered(db(), no, in, cash, "999");
            ADD_FAILURE() << message.toStdString();
        } catch (const Refusal& r) {
            EXPECT_EQ(r.message(), message);
        }
        EXPECT_EQ(snapshot(), before);
    }

    frmain->docMode = "F";
    frmain->docIntno = no;
    auto* w = qobject_cast<SaleEntryWindow*>(openEntryWindow(DocKind::Sale, nullptr));
    ASSERT_NE(w, nullptr);
    w->box("Edit10")->setText("0000000099");
    const QStringList shown = snapshot();
    dialogs->clear();
    w->frontDeskPostAndPrint(50);
    EXPECT_EQ(dialogs->messages(), (QStringList{QStringLiteral("查无此银行编号！"), kCatchAll}));
    EXPECT_EQ(snapshot(), shown);
}

TEST_F(PostedDocTest, WhenTheNextSaleCannotBeOpenedTheWindowIsLeftEmptyAndReadOnly)
{
    Connection other;
    other.open(db().path());
    auto backend = std::make_unique<LockDuringReceiptQuestion>();
    backend->other = &other;
    backend->answers = {Answer::No};
    dialogs = backend.get();
    dlg::setBackend(std::move(backend));
    db().exec("PRAGMA busy_timeout=50");

    EXPECT_TRUE(runCommand("N29"));
    auto* w = frmain->findChild<SaleEntryWindow*>();
    ASSERT_NE(w, nullptr);
    const QString sold = w->docIntno();
    w->box("Edit12")->setText("101");
    w->Edit12Enter();
    w->ToolButton8Click();
    ASSERT_TRUE(Frcash);
    Frcash->Edit2->setText("10");
    dialogs->clear();
    Frcash->Button1Click();
    other.exec("ROLLBACK");

    EXPECT_EQ(num("SELECT pass FROM outlist WHERE intno=:n", {{"n", sold}}), 1);
    EXPECT_EQ(num("SELECT count(*) FROM outlist"), 1);
    ASSERT_EQ(dialogs->messages().size(), 2);
    // The cause in the operator's words; SQLite's own, with the statement, in the log.
    EXPECT_EQ(dialogs->messages()[1], QStringLiteral("本单已过帐,下一张单没有打开:数据被其他程序占用\n请退回后重新开单！"));
    EXPECT_TRUE(readFile(errorLogPath()).contains("database is locked"));
    // Nothing of the posted sale is left to type into.
    EXPECT_TRUE(readOnly(w));
    EXPECT_EQ(frdm->AQoutdetail->recordCount(), 0);
    for (const char* box : {"Edit1", "Edit2", "Edit5"}) EXPECT_TRUE(w->box(box)->text().isEmpty()) << box;
    const QStringList before = snapshot();
    w->box("Edit12")->setText("102");
    w->Edit12Enter();
    w->ToolButton3Click();
    w->ToolButton8Click();
    w->close();
    settle();
    EXPECT_EQ(snapshot(), before);
}

// A row being entered is written when the rows are moved through: the check
// that its document is unposted goes into the same write, so a posting by
// another program comes before the check (refused) or after the write.
TEST_F(PostedDocTest, ARowWrittenByMovingOnIsCheckedInsideItsWrite)
{
    const DocDesc& d = docDesc(DocKind::Purchase);
    const QString no = unposted(d);
    ASSERT_NE(openFromList(DocKind::Purchase, no), nullptr);
    Connection other;
    other.open(db().path());
    auto stored = [&] {
        return other.scalar("SELECT group_concat(intno||':'||sl, ' ') FROM indetail WHERE mainintno=:n", {{"n", no}}).toString();
    };
    QString atPosting;
    frdm->AQoutdetail->moveTo(1);
    frdm->AQoutdetail->setValue("sl", 7.0);
    // The other program posts the moment this connection lets go of the file.
    fault::onUnlock(db().path(), [&] {
        post(other, d, no, input("7"), true, "999");
        atPosting = stored();
        return true;
    });
    try {
        frdm->AQoutdetail->next(); // refused, or written before the posting
    } catch (const PostedRefusal&) {
    }
    fault::onUnlock(db().path(), {});
    ASSERT_FALSE(atPosting.isEmpty());
    EXPECT_EQ(stored().toStdString(), atPosting.toStdString());
}
