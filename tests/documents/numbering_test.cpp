// Document numbers under two writers, and the unique guard the upgrade adds.
#include "documents/docdata.h"
#include "documents/purchase.h"
#include "data/upgrades.h"
#include <chrono>
#include <thread>

using namespace qm;
using namespace qm::doc;
using namespace doctest;

namespace {
class DocNumbering : public AppFixture {};
}

TEST_F(DocNumbering, TwoConnectionsNeverShareANumber)
{
    const DocDesc& d = purchaseDesc();
    Connection other;
    other.open(db().path());
    // Interleaved creation from the back office and a second writer.
    QStringList numbers;
    for (int i = 0; i < 5; ++i) {
        numbers << newDocument(db(), d);
        numbers << newDocument(other, d);
    }
    numbers.removeDuplicates();
    EXPECT_EQ(numbers.size(), 10);
    EXPECT_EQ(num("SELECT count(DISTINCT intno) FROM indetail"), 20);
    EXPECT_EQ(num("SELECT count(*) FROM indetail"), 20);

    // While the other writer holds its write transaction, numbering waits for
    // it instead of taking the same number.
    {
        Transaction hold(other);
        other.exec("INSERT INTO inlist (intno) VALUES ('0000000011')");
        db().exec("PRAGMA busy_timeout=50");
        EXPECT_THROW(newDocument(db(), d), DbError);
    }
    EXPECT_EQ(newDocument(db(), d), "0000000011");
    // A repeated number is refused by the table itself.
    EXPECT_THROW(db().exec("INSERT INTO inlist (intno) VALUES ('0000000011')"), DbError);
}

TEST_F(DocNumbering, NumberingThatWaitsForAnotherWriterNumbersAfterIt)
{
    // The other writer holds its write transaction with a new header and
    // commits while numbering waits: the number is read once the wait is over.
    Connection other;
    other.open(db().path());
    other.exec("BEGIN IMMEDIATE");
    other.exec("INSERT INTO inlist (intno) VALUES ('0000000001')");
    std::thread commit([&other] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        other.exec("COMMIT");
    });
    QString no;
    EXPECT_NO_THROW(no = newDocument(db(), purchaseDesc()));
    commit.join();
    EXPECT_EQ(no, "0000000002");
}

TEST_F(DocNumbering, UpgradeAddsTheGuardOnlyWhereTheDataAllowsIt)
{
    for (const char* t : {"inlist", "indetail", "outlist", "outdetail"})
        db().exec(QStringLiteral("DROP INDEX ux_%1_intno").arg(QLatin1String(t)));
    db().exec("INSERT INTO outlist (intno) VALUES ('0000000001'), ('0000000001')");
    db().exec("INSERT INTO indetail (intno, mainintno) VALUES ('', '1'), ('', '1'), ('0000000001', '1')");
    const QStringList run = upgradeSchema(db());
    EXPECT_TRUE(run.contains("CREATE UNIQUE INDEX ux_inlist_intno ON inlist(intno) WHERE intno<>''"));
    EXPECT_TRUE(run.contains("CREATE UNIQUE INDEX ux_indetail_intno ON indetail(intno) WHERE intno<>''"));
    EXPECT_TRUE(run.contains("CREATE UNIQUE INDEX ux_outdetail_intno ON outdetail(intno) WHERE intno<>''"));
    EXPECT_FALSE(run.join('\n').contains("ux_outlist_intno"));
    EXPECT_EQ(num("SELECT count(*) FROM outlist"), 2);
    EXPECT_TRUE(upgradeSchema(db()).isEmpty());
}
