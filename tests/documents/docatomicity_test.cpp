// Every write step of the document engine, with a fault injected at each of
// its writes, syncs and commit: the file afterwards holds the state before the
// step or the state after it, never a mixture.
#include "documents/docdata.h"
#include "documents/purchase.h"
#include "support/faultvfs.h"
#include "documents/docwindows.h"
#include "app/application.h"
#include "data/damage.h"
#include <QScopeGuard>
#include <QLineEdit>
#include <QTableView>

using namespace qm;
using namespace qm::doc;
using namespace doctest;

namespace {
class DocAtomicity : public AppFixture {
protected:
    QString path;
    QString doc;
    const DocDesc& pur = purchaseDesc();

    void SetUp() override
    {
        AppFixture::SetUp();
        path = db().path();
        supplier("0000000007", QStringLiteral("供应商甲"), 200);
        for (int i = 1; i <= 12; ++i) product(QString::number(100 + i), QStringLiteral("商品%1号").arg(i), 5, 3, 2 + i);
        doc = newDocument(db(), pur);
        for (int i = 1; i <= 12; ++i) {
            if (i > 1) addRow(db(), pur, doc);
            fillLast(pur, doc, QString::number(100 + i), i, 2 + i, i == 1 ? 20 : 0);
        }
        recalc(db(), pur, doc, input("7"));
        // The sweeps open the file on connections of their own.
        frdm->ADOCon.close();
    }

    void expectAtomic(const char* step, const std::function<void(Connection&)>& command)
    {
        for (bool persistent : {false, true}) {
            EXPECT_TRUE(fault::sound(fault::sweepCommand(path, command, persistent)))
                << step << (persistent ? " (disk gone)" : "");
        }
    }

    // Runs SQL on a connection of the test's own.
    void sql(const QString& text)
    {
        Connection c;
        c.open(path);
        c.exec(text);
    }

    // Sweep steps over the entry window open on the document; `typing` runs
    // once the window is open, before the command.
    fault::Steps overWindow(EntryWindow*& w, const std::function<void()>& typing = {})
    {
        fault::Steps s;
        s.detach = [&w] {
            if (w) {
                w->setAttribute(Qt::WA_DeleteOnClose, false);
                delete w;
                w = nullptr;
            }
            frdm->ADOCon.close();
        };
        s.attach = [this, &w, typing] {
            frdm->connectTo(path);
            frmain->docMode = "F";
            frmain->docIntno = doc;
            w = qobject_cast<EntryWindow*>(openEntryWindow(DocKind::Purchase, nullptr));
            w->findChild<QLineEdit*>("Edit2")->setText("7");
            w->findChild<QLineEdit*>("Edit3")->setText(QStringLiteral("供应商甲"));
            if (typing) typing();
        };
        return s;
    }

    void sweepFinishingARow(const std::function<void(EntryWindow*)>& finish);

    void postOnce()
    {
        Connection c;
        c.open(path);
        post(c, pur, doc, input("7"), false, "999");
    }
};
}

TEST_F(DocAtomicity, OpeningAddingAndEnteringRows)
{
    expectAtomic("new document", [this](Connection& c) { newDocument(c, pur); });
    expectAtomic("add row", [this](Connection& c) { addRow(c, pur, doc); });
    sql("UPDATE branch SET balance=275");
    expectAtomic("supplier lookup", [this](Connection& c) {
        applyParty(c, pur, doc, "0000000007", *findParty(c, pur, "0000000007", false));
    });
    expectAtomic("code entry", [this](Connection& c) {
        enterCode(c, pur, readRows(c, pur, doc).back().intno, "105");
    });
    expectAtomic("history number", [this](Connection& c) { copyHistory(c, pur, doc, doc); });
    expectAtomic("delete row", [this](Connection& c) { deleteRow(c, pur, readRows(c, pur, doc).back().intno); });
}

TEST_F(DocAtomicity, RecalculatingPostingVoidingAndClosing)
{
    sql("UPDATE indetail SET sl=sl+1"); // every row changes at the next recalculation
    sql("UPDATE branch SET balance=350");
    expectAtomic("recalculation", [this](Connection& c) { recalc(c, pur, doc, input("7")); });
    expectAtomic("posting", [this](Connection& c) { post(c, pur, doc, input("7"), true, "999"); });
    expectAtomic("voiding", [this](Connection& c) { voidDocument(c, pur, doc); });
    sql("INSERT INTO indetail (intno, mainintno, spmc) VALUES ('0000000800', '0000000001', ''), "
        "('', '0000000001', 'x')");
    expectAtomic("purge", [this](Connection& c) { purgeBlankRows(c, pur, doc); });
    sql("DELETE FROM indetail WHERE spmc='' OR intno=''");
    postOnce();
    expectAtomic("reversal", [this](Connection& c) { reverse(c, pur, doc); });
}

TEST_F(DocAtomicity, AnotherWriterPostingFirstGetsTheRefusalAndChangesNothing)
{
    Connection mine;
    mine.open(path);
    postOnce(); // a second window, or another program, posts the same document first
    const fault::Snapshot before = fault::snapshot(mine);
    try {
        post(mine, pur, doc, input("7"), true, "999");
        FAIL() << "posted twice";
    } catch (const Refusal& r) {
        EXPECT_EQ(r.message(), QStringLiteral("该单据已过帐,不能再过帐！"));
    }
    Connection other;
    other.open(path);
    reverse(other, pur, doc);
    const fault::Snapshot reversed = fault::snapshot(mine);
    EXPECT_THROW(reverse(mine, pur, doc), Refusal);
    EXPECT_TRUE(fault::difference(reversed, fault::snapshot(mine)).isEmpty());
    EXPECT_THROW(voidDocument(mine, pur, doc), Refusal);
    EXPECT_FALSE(fault::difference(before, reversed).isEmpty());
}

TEST_F(DocAtomicity, BalancesAddToWhatAnotherWriterStoredMeanwhile)
{
    Connection mine;
    mine.open(path);
    const double amount = mine.scalar("SELECT amount FROM inlist").toDouble();
    // A payment posted elsewhere after this window last looked at the supplier.
    mine.exec("UPDATE branch SET balance=balance-50");
    post(mine, pur, doc, input("7"), false, "999");
    EXPECT_DOUBLE_EQ(mine.scalar("SELECT balance FROM branch").toDouble(), 150 + amount - 20);
    // The document shows the balance it was posted against.
    EXPECT_DOUBLE_EQ(mine.scalar("SELECT balance FROM inlist").toDouble(), 150);
}

TEST_F(DocAtomicity, TheEntryWindowShowsWhatIsStoredAfterAFailedPosting)
{
    EntryWindow* w = nullptr;
    fault::Steps s = overWindow(w);
    s.command = [&] { w->ToolButton4Click(); };
    s.check = [&](const fault::Run& run) {
        if (run.outcome != fault::Outcome::Before) return;
        // Still open on the unposted document, its grid as stored.
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(frdm->AQoutdetail->recordCount(),
                  frdm->ADOCon.scalar("SELECT count(*) FROM indetail WHERE mainintno=:n", {{"n", doc}}).toInt())
            << run.point.describe().toStdString();
        EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("该功能暂时不能执行，请重新操作！"));
    };
    s.maxPoints = 12;
    sql("UPDATE branch SET balance=240"); // the posting recalculates from here
    frmain->operatorCode = "999";
    EXPECT_TRUE(fault::sound(fault::sweep(path, s)));
}

// 刷新 failing anywhere (a read or write error, a full disk): one message,
// the catch-all with the cause on a second line, never the error window; the
// window shows the rows and totals as stored.
TEST_F(DocAtomicity, ARecalculationThatFailsSaysWhyAndShowsWhatIsStored)
{
    sql("UPDATE indetail SET sl=sl+1"); // every row changes at the recalculation
    sql("UPDATE branch SET balance=350");
    EntryWindow* w = nullptr;
    fault::Steps s = overWindow(w);
    const auto open = s.attach;
    s.attach = [&] {
        open();
        dialogs->clear();
    };
    s.command = [&] { Application::guard(frmain, [&] { w->ToolButton3Click(); }); };
    auto showsStored = [&](const QString& where) {
        for (const auto& shown : dialogs->shown) EXPECT_NE(shown.caption, QStringLiteral("异常信息")) << where.toStdString();
        EXPECT_EQ(fault::compareWithTable(*frdm->AQoutdetail, "indetail", {"intno", "sl", "amount", "rest"}, "mainintno=:n",
                                          {{"n", doc}})
                      .toStdString(),
                  "")
            << where.toStdString();
        const double amount = frdm->ADOCon.scalar("SELECT amount FROM inlist WHERE intno=:n", {{"n", doc}}).toDouble();
        EXPECT_EQ(w->box("Edit5")->text(), QString::number(amount, 'f', 2)) << where.toStdString();
    };
    s.check = [&](const fault::Run& run) {
        ASSERT_NE(w, nullptr);
        const QString where = run.point.describe();
        if (run.outcome == fault::Outcome::Before) {
            EXPECT_EQ(dialogs->messages(), QStringList{QStringLiteral("该功能暂时不能执行，请重新操作！\r") + ioErrorText()})
                << where.toStdString();
        }
        showsStored(where);
    };
    EXPECT_TRUE(fault::sound(fault::sweep(path, s)));

    s.attach();
    const auto disarm = qScopeGuard([] { fault::disarm(); });
    fault::armDiskFull(1);
    s.command();
    fault::disarm();
    EXPECT_EQ(dialogs->messages(), QStringList{QStringLiteral("该功能暂时不能执行，请重新操作！\r") + diskFullText()});
    showsStored("disk full");
    s.detach();
}

TEST_F(DocAtomicity, KilledWhilePostingAndReversingLeavesWholeDocuments)
{
    const DocDesc& d = pur;
    for (unsigned seed : {1u, 2u, 3u}) {
        fault::KillResult k = fault::killDuring(
            [&](int i) {
                Connection c;
                c.open(path);
                const QString no = newDocument(c, d);
                for (int r = 1; r <= 6; ++r) {
                    if (r > 1) addRow(c, d, no);
                    const auto rows = readRows(c, d, no);
                    enterCode(c, d, rows.back().intno, QString::number(100 + r));
                    c.exec("UPDATE indetail SET sl=:s, dj_w=3 WHERE intno=:i", {{"s", r}, {"i", rows.back().intno}});
                }
                post(c, d, no, input("7"), false, "999");
                if (i % 2) reverse(c, d, no);
            },
            20, 400, seed);
        EXPECT_TRUE(k.killed);
        Connection c;
        c.open(path);
        // Header and rows agree on their state.
        EXPECT_EQ(c.scalar("SELECT count(*) FROM inlist h JOIN indetail r ON r.mainintno=h.intno "
                           "WHERE r.pass<>h.pass OR r.cancel<>h.cancel").toInt(),
                  0);
        // Stock and the supplier's totals are what the standing documents give.
        for (int r = 1; r <= 6; ++r) {
            const QString intno = (QStringLiteral("00000000") + QString::number(100 + r)).right(8);
            const double moved = c.scalar("SELECT coalesce(sum(r.sl),0) FROM indetail r JOIN inlist h ON h.intno=r.mainintno "
                                          "WHERE h.pass=1 AND h.cancel=0 AND r.spintno=:i",
                                          {{"i", intno}})
                                     .toDouble();
            EXPECT_DOUBLE_EQ(c.scalar("SELECT sl FROM product WHERE intno=:i", {{"i", intno}}).toDouble(), 5 + moved) << r;
        }
        EXPECT_NEAR(c.scalar("SELECT amount FROM branch").toDouble(),
                    c.scalar("SELECT coalesce(sum(amount),0) FROM inlist WHERE pass=1 AND cancel=0").toDouble(), 1e-6);
    }
}

// A product code and a quantity typed into the last row, not yet written;
// then the row finished by `finish`: stored whole or not at all, and the grid
// shows what is stored.
void DocAtomicity::sweepFinishingARow(const std::function<void(EntryWindow*)>& finish)
{
    EntryWindow* w = nullptr;
    fault::Steps s = overWindow(w, [&w] {
        Dataset* rows = frdm->AQoutdetail;
        rows->last();
        w->findChild<QLineEdit*>("Edit12")->setText("105");
        w->Edit12Enter();
        QAbstractItemModel* m = w->DBGrid1->model();
        m->setData(m->index(rows->recNo(), rows->fieldIndex("sl")), "9", Qt::EditRole);
    });
    s.command = [&] { finish(w); };
    s.check = [&](const fault::Run& run) {
        ASSERT_NE(w, nullptr);
        Dataset* rows = frdm->AQoutdetail;
        const QString last = frdm->ADOCon.scalar("SELECT spmc FROM indetail WHERE mainintno=:n ORDER BY intno LIMIT 1 OFFSET 12",
                                                 {{"n", doc}}).toString();
        EXPECT_EQ(rows->valueAt(12, rows->fieldIndex("spmc")).toString(), last) << run.point.describe().toStdString();
        EXPECT_EQ(rows->recordCount(),
                  frdm->ADOCon.scalar("SELECT count(*) FROM indetail WHERE mainintno=:n", {{"n", doc}}).toInt())
            << run.point.describe().toStdString();
        if (run.outcome == fault::Outcome::Before) {
            EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("该功能暂时不能执行，请重新操作！"));
        }
    };
    EXPECT_TRUE(fault::sound(fault::sweep(path, s)));
}

TEST_F(DocAtomicity, ARowFinishedByAddingIsStoredWholeOrNotAtAll)
{
    sweepFinishingARow([](EntryWindow* w) { w->ToolButton1Click(); });
}

TEST_F(DocAtomicity, ARowLeftForAnotherIsStoredWholeOrNotAtAll)
{
    sweepFinishingARow([](EntryWindow* w) {
        QAbstractItemModel* m = w->DBGrid1->model();
        w->DBGrid1->setCurrentIndex(m->index(1, frdm->AQoutdetail->fieldIndex("sl")));
        QCoreApplication::processEvents();
    });
}
