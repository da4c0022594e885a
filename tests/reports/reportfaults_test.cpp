#include "reports/daterange.h"
#include "reports/statements.h"
#include "reports/summaries.h"
#include "reports/reportdata.h"
#include "support/faultvfs.h"
#include "data/schema.h"
#include "data/upgrades.h"

using namespace qm;
using namespace qm::reports;
using namespace reporttest;

namespace {
class ReportFaultTest : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        row("indetail", "2009-03-02", {{"spintno", "00000001"}, {"sphh", "A"}, {"customerid", "0000000012"},
                                       {"sl", 5.0}, {"amount", 10.0}, {"pay", 4.0}});
        row("indetail", "2009-03-03", {{"spintno", "00000002"}, {"sphh", "B"}, {"customerid", "0000000012"},
                                       {"sl", 1.0}, {"amount", 3.0}});
        row("putdetail", "2009-03-04", {{"customerid", "0000000012"}, {"sphh", "0000000001"}, {"amount", 6.0}});
        row("outdetail", "2009-03-04 10:00:00", {{"spintno", "00000001"}, {"sl", 1.0}, {"amount", 4.0}, {"pay", 5.0}, {"rest", 1.0}});
        frdm->ADOCon.exec("INSERT INTO branch (intno,id,name,rest) VALUES ('0000000001','0000000012','华联批发',20)");
        path = frdm->ADOCon.path();
    }
    // Every injected fault leaves the file as it was before the command or after it.
    void sweepOver(const std::function<void()>& command)
    {
        fault::Steps s;
        s.detach = [] { frdm->ADOCon.close(); };
        s.attach = [this] { frdm->connectTo(path); };
        s.command = command;
        EXPECT_TRUE(fault::sound(fault::sweep(path, s)));
    }
    QString path;
    const DateRange march{QDate(2009, 3, 1), QDate(2009, 3, 31)};
};
}

TEST_F(ReportFaultTest, RangeAndSummaryRefillsAreWholeOrNothing)
{
    sweepOver([] { storeRange(frdm->ADOCon, {QDate(2009, 3, 1), QDate(2009, 3, 31)}); });
    sweepOver([this] { runSummary(summaryDesc(SummaryKind::Purchases), march, {}); });
    sweepOver([this] { runGroupedSummary(summaryDesc(SummaryKind::Purchases), march, {}); });
}

TEST_F(ReportFaultTest, StatementJournalAndHistoryRefillsAreWholeOrNothing)
{
    // Rows an earlier run left in the scratch tables, which a statement empties.
    for (const char* t : {"custtotal", "custtotal1", "totallist1"})
        frdm->ADOCon.exec(QString("INSERT INTO %1 (remark, amount) VALUES ('上期结余', 1), ('x', 2)").arg(t));
    for (StatementKind k : {StatementKind::SupplierRows, StatementKind::SupplierDocuments}) {
        sweepOver([this, k] {
            const StatementDesc& d = statementDesc(k);
            ASSERT_TRUE(findParty(d, "0000000012"));
            buildStatement(d, "0000000012", march);
        });
    }
    sweepOver([this] {
        const StatementDesc& d = statementDesc(StatementKind::Journal);
        ASSERT_TRUE(findParty(d, "0000000001"));
        buildStatement(d, "0000000001", march);
    });
    sweepOver([] { fillProductHistory("00000001"); });
}

// A database made before the report indexes gains them at start-up, once.
TEST_F(ReportFaultTest, OlderDatabaseGainsTheReportIndexes)
{
    Connection& c = frdm->ADOCon;
    for (const IndexDef& ix : reportIndexes()) c.exec(QString("DROP INDEX %1").arg(ix.name));
    const QStringList run = upgradeSchema(c);
    EXPECT_EQ(run.size(), int(reportIndexes().size()));
    for (const IndexDef& ix : reportIndexes())
        EXPECT_TRUE(c.scalar("SELECT 1 FROM sqlite_master WHERE type='index' AND name=:p1", {{"p1", ix.name}}).isValid()) << qPrintable(ix.name);
    EXPECT_TRUE(upgradeSchema(c).isEmpty());
    // The walk-in customer's rows of a range are found through the party's index.
    const QString plan = c.rows("EXPLAIN QUERY PLAN SELECT * FROM outdetail WHERE customerid=:p1 AND billdate>=:p2",
                                {{"p1", "0000000001"}, {"p2", "2009-01-01 00:00:00"}})
                             .front()
                             .value(3)
                             .toString();
    EXPECT_TRUE(plan.contains("ix_outdetail_party_date")) << qPrintable(plan);
}
