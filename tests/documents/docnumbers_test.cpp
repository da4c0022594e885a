// Numbers in documents stay finite and within the bounds that keep money exact
// to the cent: typed in a grid, stored by another program, computed from each
// other, handed to the tender; and a huge but allowed row posts and reverses
// without leaving a trace in the balances.
#include "documents/docdata.h"
#include "documents/docwindows.h"
#include "documents/sale.h"
#include "documents/salewindows.h"
#include "documents/tfrcash.h"
#include <QAbstractItemModel>
#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QTableView>
#include <cmath>
#include <map>

using namespace qm;
using namespace qm::doc;
using namespace doctest;

namespace {
const QString kOutOfRange = QStringLiteral("输入的数值超出范围！");

struct Kind {
    DocKind kind;
    QString party;
    QString qty;   // quantity column; empty: the money documents type the amount
    QString price; // price (or typed money) column
};

const std::vector<Kind> kKinds = {
    {DocKind::Purchase, "7", "sl", "dj_w"},   {DocKind::PurchaseReturn, "7", "sl", "dj_w"},
    {DocKind::Sale, "2", "sl", "dj_n"},       {DocKind::SalesReturn, "2", "sl", "dj_n"},
    {DocKind::Receipt, "2", "", "amount"},    {DocKind::Payment, "7", "", "amount"},
};

// What a grid or another program may put where a number goes, all out of range.
const QStringList kBadTexts = {"1e308", "-1e308", "inf", "nan", "1e16", "6901234567892", "123456789012345678"};

class DocNumbers : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        supplier("0000000007", QStringLiteral("供应商甲"), 1875.46);
        // The walk-in customer and the cash account come with the database.
        customer("0000000002", QStringLiteral("会员乙"), 1875.46);
        db().exec("UPDATE bank SET balance=310.25 WHERE id='0000000001'");
        product("101", QStringLiteral("可乐"), 10, 2, 2.5);
    }
    void TearDown() override
    {
        deleteWindows<DocumentWindow, TFrcash>();
        AppFixture::TearDown();
    }

    // An unposted document of the kind with one row: product 101 (or the
    // cash account) at `qty` × `price`, recalculated.
    QString oneRow(const Kind& k, double qty, double price)
    {
        const DocDesc& d = docDesc(k.kind);
        const QString no = newDocument(db(), d);
        const QString row = readRows(db(), d, no).back().intno;
        if (!k.qty.isEmpty()) enterCode(db(), d, row, "101");
        Params ps{{"p", price}, {"i", row}};
        QString sets = k.price + "=:p";
        if (!k.qty.isEmpty()) {
            sets += ", " + k.qty + "=:q";
            ps.append({"q", qty});
        }
        db().exec(QStringLiteral("UPDATE %1 SET %2 WHERE intno=:i").arg(d.detailTable, sets), ps);
        recalc(db(), d, no, input(k.party));
        return no;
    }

    // Every balance and stock figure posting moves, to the cent.
    static std::map<std::string, qint64> balances()
    {
        std::map<std::string, qint64> out;
        const std::pair<const char*, const char*> tables[] = {
            {"branch", "id, balance, amount, pay, deduck, amount_y, pay_y, deduck_y"},
            {"customer", "id, balance, amount, pay, deduck, amount_y, pay_y, deduck_y"},
            {"bank", "id, balance, amount, pay, amount_y, pay_y"},
            {"product", "sphh, sl, sl_in_m, sl_in_y, sl_out_m, sl_out_y"}};
        for (const auto& [table, columns] : tables)
            for (const auto& r : db().rows(QStringLiteral("SELECT %1 FROM %2").arg(columns, table)))
                for (int i = 1; i < r.size(); ++i)
                    out[QStringLiteral("%1 %2 #%3").arg(table, r[0].toString()).arg(i).toStdString()] =
                        std::llround(r[i].toDouble() * 100);
        return out;
    }

    // The whole database as text, one row a line, for readable differences.
    static std::string tables() { return snapshot().join('\n').toStdString(); }
    std::string shown() const { return dialogs->messages().join('\n').toStdString(); }

    EntryWindow* openNew(DocKind kind)
    {
        frmain->docMode = "T";
        return qobject_cast<EntryWindow*>(openEntryWindow(kind, nullptr));
    }

    static void typeCell(EntryWindow* w, const QString& field, const QString& text)
    {
        Dataset* rows = frdm->AQoutdetail;
        QAbstractItemModel* m = w->DBGrid1->model();
        m->setData(m->index(rows->recNo(), rows->fieldIndex(field)), text, Qt::EditRole);
    }
};
}

TEST_F(DocNumbers, StoredNumbersOutOfRangeAreNeverPosted)
{
    // Quantities, prices and typed money as another program may have stored
    // them, and a quantity and price each allowed whose amount is not.
    struct Stored {
        double qty, price;
    };
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<Stored> cases;
    for (double bad : {1e308, -1e308, inf, -inf, 1e16, 6901234567892.0, 123456789012345678.0}) {
        cases.push_back({bad, 2.5});
        cases.push_back({3, bad});
    }
    cases.push_back({999999, 9999999});
    // The bounds themselves: a quantity of 1,000,000, a price of 10,000,000, an
    // amount of 10,000,000,000 (typed, or a quantity times a price).
    cases.insert(cases.end(), {{1e6, 2.5}, {-1e6, 2.5}, {2, 1e7}, {2, -1e7}, {250000, 40000}, {3, 1e10}, {3, -1e10}});
    for (const Kind& k : kKinds) {
        const DocDesc& d = docDesc(k.kind);
        const QString no = oneRow(k, 3, 2.5);
        const QString row = readRows(db(), d, no).back().intno;
        // The purchase's 历史单号 copies no such row into another purchase either.
        const QString copy = d.historyNumber ? newDocument(db(), d) : QString();
        for (const Stored& s : cases) {
            if (k.qty.isEmpty() && s.qty != 3) continue;
            SCOPED_TRACE(d.headerTable.toStdString() + " " + std::to_string(s.qty) + " x " + std::to_string(s.price));
            db().exec(QStringLiteral("UPDATE %1 SET %2=:p%3 WHERE intno=:i")
                          .arg(d.detailTable, k.price, k.qty.isEmpty() ? QString() : ", " + k.qty + "=:q"),
                      k.qty.isEmpty() ? Params{{"p", s.price}, {"i", row}} : Params{{"p", s.price}, {"q", s.qty}, {"i", row}});
            const std::string before = tables();
            try {
                post(db(), d, no, input(k.party), false, "999");
                ADD_FAILURE() << "posted";
                return;
            } catch (const Refusal& r) {
                EXPECT_EQ(r.message(), kOutOfRange);
            }
            EXPECT_THROW(recalc(db(), d, no, input(k.party)), Refusal);
            if (!copy.isEmpty()) {
                EXPECT_THROW(copyHistory(db(), d, copy, no), Refusal);
            }
            EXPECT_EQ(tables(), before);
        }
    }
}

TEST_F(DocNumbers, RecalculationRewritesAStoredAmountThatIsNotTheComputedOne)
{
    // A stale amount a cent or a few units off a huge row, or not a number at
    // all, is no reason to keep it: the row and header get the computed one.
    const Kind& k = kKinds[0];
    const DocDesc& d = docDesc(k.kind);
    for (const char* stale : {"amount+5", "amount+0.01", "9e999", "-9e999"}) {
        SCOPED_TRACE(stale);
        const QString no = oneRow(k, 999999, 9999.99);
        db().exec(QStringLiteral("UPDATE indetail SET amount=%1, rest=%1 WHERE mainintno=:n AND spmc<>'上期结转'").arg(stale),
                  {{"n", no}});
        db().exec(QStringLiteral("UPDATE inlist SET amount=%1, rest=%1 WHERE intno=:n").arg(stale), {{"n", no}});
        const Header h = recalc(db(), d, no, input(k.party));
        const Row r = readRows(db(), d, no).back();
        EXPECT_EQ(r.amount, 999999 * 9999.99);
        EXPECT_EQ(r.rest, 1875.46 + 999999 * 9999.99);
        EXPECT_EQ(h.amount, r.amount);
        EXPECT_EQ(h.rest, r.rest);
    }
}

TEST_F(DocNumbers, AHugeRowPostsAndReversesToTheCentAndABarcodeQuantityIsRefused)
{
    for (const Kind& k : kKinds) {
        const DocDesc& d = docDesc(k.kind);
        // The largest amounts allowed, and a barcode scanned into the quantity.
        struct Case {
            double qty, price;
            bool posts;
        };
        const std::vector<Case> cases = k.qty.isEmpty()
            ? std::vector<Case>{{0, 9999999999.99, true}, {0, -9999990000.01, true}, {0, 123456789012345678.0, false}}
            : std::vector<Case>{{999999, 9999.99, true}, {-999999, 9999.99, true}, {123456789012345678.0, 2.5, false}};
        for (const Case& c : cases) {
            SCOPED_TRACE(d.headerTable.toStdString() + " " + std::to_string(c.qty) + " x " + std::to_string(c.price));
            const auto before = balances();
            const QString no = oneRow(k, c.posts ? c.qty : 3, c.posts ? c.price : 2.5);
            if (!c.posts) {
                db().exec(QStringLiteral("UPDATE %1 SET %2=:v WHERE mainintno=:n AND coalesce(spmc,'')<>'上期结转'")
                              .arg(d.detailTable, k.qty.isEmpty() ? k.price : k.qty),
                          {{"v", k.qty.isEmpty() ? c.price : c.qty}, {"n", no}});
                EXPECT_THROW(post(db(), d, no, input(k.party), false, "999"), Refusal);
                EXPECT_EQ(balances(), before);
                voidDocument(db(), d, no);
                continue;
            }
            post(db(), d, no, input(k.party), false, "999");
            EXPECT_NE(balances(), before);
            reverse(db(), d, no);
            EXPECT_EQ(balances(), before);
        }
    }
}

TEST_F(DocNumbers, EveryGridRefusesANumberOutOfRangeAndKeepsTheCell)
{
    for (const Kind& k : kKinds) {
        SCOPED_TRACE(docDesc(k.kind).headerTable.toStdString());
        EntryWindow* w = openNew(k.kind);
        ASSERT_TRUE(w);
        w->box("Edit2")->setText(k.party);
        w->Edit2Exit();
        Dataset* rows = frdm->AQoutdetail;
        rows->last();
        if (!k.qty.isEmpty()) {
            w->box("Edit12")->setText("101");
            w->Edit12Enter();
        } else {
            typeCell(w, k.price, "12.5");
        }
        w->ToolButton3Click();
        rows->last();
        const std::string before = tables();
        const QString column = k.qty.isEmpty() ? k.price : k.qty;
        const double kept = rows->asFloat(column);
        // The bound of the column itself, either sign, is out of range too.
        const QStringList bounds = k.qty.isEmpty() ? QStringList{"10000000000", "-10000000000"} : QStringList{"1000000", "-1000000"};
        for (const QString& bad : kBadTexts + bounds) {
            SCOPED_TRACE(bad.toStdString());
            dialogs->clear();
            typeCell(w, column, bad);
            EXPECT_EQ(shown(), kOutOfRange.toStdString());
            EXPECT_EQ(rows->asFloat(column), kept);
        }
        if (!k.qty.isEmpty()) {
            dialogs->clear();
            typeCell(w, k.price, "10000000");
            EXPECT_EQ(shown(), kOutOfRange.toStdString());
        }
        if (!k.qty.isEmpty()) {
            // Each allowed, but not what they give together.
            typeCell(w, k.qty, "999999");
            dialogs->clear();
            typeCell(w, k.price, "9999999");
            EXPECT_EQ(shown(), kOutOfRange.toStdString());
            EXPECT_EQ(rows->asFloat(k.price), 2.5 * (k.kind == DocKind::Sale || k.kind == DocKind::SalesReturn ? 1.5 : 1));
            rows->cancel();
        }
        dialogs->clear();
        w->ToolButton3Click();
        EXPECT_EQ(shown(), "");
        EXPECT_EQ(tables(), before);
        w->setAttribute(Qt::WA_DeleteOnClose, false);
        w->close();
        delete w;
    }
}

TEST_F(DocNumbers, ARowThatWouldCarryTheBalanceOutOfRangeIsRefusedWhole)
{
    // Each cell is allowed; the running balance the row gives is not.
    struct Typed {
        Kind kind;
        QList<QPair<QString, QString>> cells;
    };
    const std::vector<Typed> cases = {{kKinds[0], {{"sl", "999999"}, {"dj_w", "10000.009"}}},
                                      {kKinds[4], {{"amount", "-9999999000"}}}};
    for (const Typed& t : cases) {
        SCOPED_TRACE(docDesc(t.kind.kind).headerTable.toStdString());
        EntryWindow* w = openNew(t.kind.kind);
        w->box("Edit2")->setText(t.kind.party);
        w->Edit2Exit();
        w->ToolButton3Click();
        Dataset* rows = frdm->AQoutdetail;
        const std::string before = tables();
        auto totalsShown = [w] { return (w->box("Edit5")->text() + " " + w->box("Edit8")->text()).toStdString(); };
        const std::string totals = totalsShown();
        for (auto command : {&EntryWindow::ToolButton3Click, &EntryWindow::ToolButton4Click}) {
            rows->last();
            const double stored = rows->asFloat(t.cells.back().first);
            dialogs->clear();
            for (const auto& [column, text] : t.cells) typeCell(w, column, text);
            // Leaving the last cell for the next column shows the totals it would give.
            const QStringList columns = docDesc(t.kind.kind).recalcColumns;
            for (const QString& c : {t.cells.back().first, columns.value(columns.indexOf(t.cells.back().first) + 1)})
                w->DBGrid1->setCurrentIndex(w->DBGrid1->model()->index(rows->recNo(), rows->fieldIndex(c)));
            EXPECT_NE(totalsShown(), totals);
            EXPECT_EQ(shown(), "");
            (w->*command)();
            EXPECT_EQ(shown(), kOutOfRange.toStdString());
            EXPECT_EQ(tables(), before);
            rows->last();
            EXPECT_EQ(rows->asFloat(t.cells.back().first), stored);
            // The header shows the totals as stored, not those of the refused row.
            EXPECT_EQ(totalsShown(), totals);
        }
        w->setAttribute(Qt::WA_DeleteOnClose, false);
        w->close();
        delete w;
    }
}

TEST_F(DocNumbers, TheTenderTakesNoCashOutOfRange)
{
    // The box takes twelve digits: more than any till holds stays in the tender.
    std::vector<double> taken;
    QPointer<TFrcash> tender = new TFrcash(nullptr, 20, 0, [&taken](double cash) { taken.push_back(cash); });
    tender->show();
    tender->Edit2->setText("999999999999");
    tender->Button1Click();
    EXPECT_EQ(dialogs->lastMessage(), kOutOfRange);
    EXPECT_TRUE(taken.empty());
    EXPECT_TRUE(tender->isVisible());
    // The bound itself is refused too; just below it is cash the till takes.
    for (const char* cash : {"10000000000", "9999999999.9"}) {
        tender->Edit2->setText(cash);
        if (taken.empty()) tender->Button1Click();
    }
    EXPECT_EQ(taken, std::vector<double>{9999999999.9});
    delete tender;

    // The checkout itself refuses what no tender should hand it.
    frmain->docMode = "T";
    auto* w = qobject_cast<SaleEntryWindow*>(openEntryWindow(DocKind::Sale, nullptr));
    ASSERT_TRUE(w);
    w->box("Edit12")->setText("101");
    w->Edit12Enter();
    w->ToolButton3Click();
    const std::string before = tables();
    const QString sale = w->docIntno();
    for (double cash : {1e308, std::numeric_limits<double>::infinity(), std::nan(""), 1e16, 6901234567892.0, 1e10}) {
        SCOPED_TRACE(cash);
        dialogs->clear();
        w->frontDeskPostAndPrint(cash);
        EXPECT_EQ(shown(), (kOutOfRange + "\n" + text::catchAll()).toStdString());
        EXPECT_EQ(w->docIntno(), sale);
        EXPECT_EQ(tables(), before);
    }
}
