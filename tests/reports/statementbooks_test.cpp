// A year of documents posted and reversed through the engine: every party's
// and account's statement closes at the balance posting stored, and the rows
// the grid shows are the rows the print reads from the scratch tables.
#include "documents/docdata.h"
#include "documents/moneydoc.h"
#include "documents/purchase.h"
#include "documents/sale.h"
#include "reports/statements.h"
#include <random>

using namespace qm;
using namespace qm::doc;
using namespace qm::reports;
using namespace doctest;

namespace {
class StatementBooks : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        customer("0000000002", QStringLiteral("张三"), 120);
        customer("0000000003", QStringLiteral("李四"), 0);
        supplier("0000000007", QStringLiteral("供应商甲"), 300);
        supplier("0000000008", QStringLiteral("供应商乙"), 0);
        account("0000000002", QStringLiteral("工商银行"), 500);
        db().exec("UPDATE bank SET balance=1000 WHERE id='0000000001'");
        for (const char* t : {"customer", "branch", "bank"}) db().exec(QString("UPDATE %1 SET rest=balance").arg(t));
        product("101", QStringLiteral("铅笔"), 5000, 4, 4);
        product("102", QStringLiteral("橡皮"), 5000, 2, 2);
        product("103", QStringLiteral("尺子"), 5000, 3, 3);
    }

    // One document of a kind chosen by `rng` on `day`, posted, and now and
    // then reversed.
    void generate(std::mt19937& rng, const QDate& day)
    {
        auto pick = [&rng](int n) { return int(rng() % unsigned(n)); };
        const QString codes[] = {"101", "102", "103"};
        const QString customers[] = {"0000000001", "0000000002", "0000000003"};
        const QString suppliers[] = {"0000000007", "0000000008"};
        const QString accounts[] = {"0000000001", "0000000002"};
        Clock::setFixed(QDateTime(day, QTime(8 + pick(10), pick(60))));
        const int kind = pick(7);
        const DocDesc& d = kind == 0 || kind == 1 ? saleDesc()
                           : kind == 2            ? salesReturnDesc()
                           : kind == 3            ? purchaseDesc()
                           : kind == 4            ? purchaseReturnDesc()
                           : kind == 5            ? receiptDesc()
                                                  : paymentDesc();
        const bool customerSide = kind <= 2 || kind == 5;
        HeaderInput in = input(customerSide ? customers[pick(3)] : suppliers[pick(2)], accounts[pick(2)]);
        in.date = day;
        const QString doc = newDocument(db(), d);
        const int rows = 1 + pick(3);
        for (int i = 0; i < rows; ++i) {
            if (i > 0) addRow(db(), d, doc);
            if (kind == 5 || kind == 6) {
                const QString a = accounts[pick(2)];
                db().exec(QStringLiteral("UPDATE %1 SET sphh=:a, spmc=(SELECT name FROM bank WHERE id=:a), amount=:m, deduck=:d "
                                         "WHERE intno=:i")
                              .arg(d.detailTable),
                          {{"a", a}, {"m", 5 + pick(200)}, {"d", pick(3) == 0 ? pick(5) : 0}, {"i", readRows(db(), d, doc).back().intno}});
            } else {
                fillLast(d, doc, codes[pick(3)], 1 + pick(5), 1 + pick(9), kind == 3 && pick(2) ? pick(20) : 0);
            }
        }
        if (kind == 1) {
            // At the till: paid in cash, change handed back.
            postTendered(db(), doc, in, 100, "999");
        } else {
            if (kind == 0)
                db().exec("UPDATE outlist SET pay=:p, deduck=:d WHERE intno=:n", {{"p", pick(3) ? pick(30) : 0}, {"d", pick(4) ? 0 : 1}, {"n", doc}});
            post(db(), d, doc, in, false, "999");
        }
        if (pick(6) == 0) reverse(db(), d, doc);
    }

    static bool sameValue(const QVariant& a, const QVariant& b)
    {
        bool okA = false, okB = false;
        const double x = a.toDouble(&okA), y = b.toDouble(&okB);
        if (okA && okB && a.typeId() != QMetaType::QString && b.typeId() != QMetaType::QString) return std::fabs(x - y) < 1e-9;
        return a.toString() == b.toString();
    }
};
}

TEST_F(StatementBooks, AYearOfDocumentsClosesAtTheStoredBalancesAndPrintsWhatTheGridShows)
{
    std::mt19937 rng(20091);
    for (QDate day(2025, 1, 2); day.year() == 2025; day = day.addDays(4)) generate(rng, day);
    Clock::setFixed(QDateTime(QDate(2025, 12, 31), QTime(23, 0)));
    const DateRange year{QDate(2025, 1, 1), QDate(2025, 12, 31)};
    ASSERT_GT(num("SELECT count(*) FROM outdetail WHERE cancel=1"), 0);

    struct Party {
        StatementKind kind;
        const char* code;
    };
    const Party parties[] = {{StatementKind::Customer, "0000000001"},        {StatementKind::Customer, "0000000002"},
                             {StatementKind::Customer, "0000000003"},        {StatementKind::SupplierRows, "0000000007"},
                             {StatementKind::SupplierRows, "0000000008"},    {StatementKind::SupplierDocuments, "0000000007"},
                             {StatementKind::SupplierDocuments, "0000000008"}, {StatementKind::Journal, "0000000001"},
                             {StatementKind::Journal, "0000000002"}};
    for (const Party& p : parties) {
        SCOPED_TRACE(QString("%1 %2").arg(int(p.kind)).arg(p.code).toStdString());
        const StatementDesc& d = statementDesc(p.kind);
        ASSERT_TRUE(findParty(d, p.code));
        Dataset* party = partyDataset(d);
        StatementRun run(d, p.code, party->asString("name"), party->asFloat("rest"), year);
        run.walkTo(run.rowCount());
        const double stored = party->asFloat("balance");
        EXPECT_NEAR(run.closing(), stored, 1e-6);
        EXPECT_NEAR(run.balanceAt(run.walked() - 1), stored, 1e-6);
        EXPECT_EQ(run.walked(), run.rowCount());

        // The print's scratch table holds the same rows, values and balances.
        buildStatement(d, p.code, year);
        Dataset* printed = statementRows(d);
        ASSERT_EQ(printed->recordCount(), run.walked());
        QStringList columns = scratchColumns(d);
        if (p.kind == StatementKind::SupplierDocuments) columns << "balance";
        columns << "rest";
        for (int r = 0; r < run.walked(); ++r) {
            const QVariantList shown = run.rowValues(r);
            printed->moveTo(r);
            for (int c = 0; c < columns.size(); ++c) {
                const int at = c < scratchColumns(d).size() ? c : (columns[c] == "rest" ? int(shown.size()) - 1 : int(shown.size()) - 2);
                EXPECT_TRUE(sameValue(printed->value(columns[c]), shown[at]))
                    << "row " << r << " " << columns[c].toStdString() << ": " << printed->value(columns[c]).toString().toStdString()
                    << " / " << shown[at].toString().toStdString();
            }
        }
    }
}
