// The stock and opening-balance writes under injected faults: after each one
// the database is as it was before the command or as after it.
#include "support/fixture.h"
#include "support/faultvfs.h"
#include "masterdata/opening.h"
#include "masterdata/stocklogic.h"

using namespace qm;

namespace {
class StockFaults : public AppFixture {
protected:
    QString path;
    void SetUp() override
    {
        AppFixture::SetUp();
        path = AppPaths::workingDatabase();
        Connection& c = frdm->ADOCon;
        Transaction t(c);
        for (int i = 1; i <= 300; ++i)
            c.exec("INSERT INTO product (intno,sphh,spmc,sl,fitsl,avdj,factsl,factdate,szbj,rest) "
                   "VALUES (:i,:i,:m,:s,50,1.5,:f,:d,:k,0)",
                   {{"i", QString("%1").arg(i, 8, 10, QChar('0'))}, {"m", QStringLiteral("商品%1").arg(i)},
                    {"s", double(i % 90)}, {"f", double(i % 7)}, {"d", i % 3 ? QVariant("2026-12-06 09:00:00") : QVariant()},
                    {"k", i % 2}});
        c.exec("INSERT INTO branch (intno,id,name,rest) VALUES ('0000000001','0000000001','华联',5)");
        t.commit();
        frdm->ADOCon.close();
    }
    void expectSound(const fault::Report& r)
    {
        EXPECT_TRUE(r.ok()) << r.failures.join("\n").toStdString();
        EXPECT_GT(r.runs, 2);
        EXPECT_GT(r.before, 0);
        EXPECT_EQ(r.runs, r.before + r.after);
    }
};
}

TEST_F(StockFaults, UpdateFromCountsReportsAndTotalsAreWholeOrNothing)
{
    expectSound(fault::sweepCommand(path, [](Connection& c) { stock::applyCounts(c); }));
    expectSound(fault::sweepCommand(path, [](Connection& c) { stock::writeResults(c, 1); }, true));
    expectSound(fault::sweepCommand(path, [](Connection& c) { stock::writeResults(c, 6); }));
}

TEST_F(StockFaults, CountAndOpeningEditsLeaveTheRowAsStored)
{
    fault::Steps s;
    s.detach = [] { frdm->ADOCon.close(); };
    s.attach = [this] {
        frdm->connectTo(path);
        frdm->Aqproduct->setSql(stock::stocktakingSql());
        frdm->Aqproduct->open();
        frdm->Aqproduct->moveTo(4);
    };
    s.command = [] { stock::saveCount(*frdm->Aqproduct, "42"); };
    s.check = [](const fault::Run& run) {
        Dataset* p = frdm->Aqproduct;
        const QVariant stored = frdm->ADOCon.scalar("SELECT factsl FROM product WHERE rowid=:p1", {{"p1", p->rowid()}});
        EXPECT_DOUBLE_EQ(p->asFloat("factsl"), stored.toDouble()) << run.point.describe().toStdString();
    };
    expectSound(fault::sweep(path, s));

    for (OpeningKind kind : {OpeningKind::Product, OpeningKind::Supplier}) {
        s.attach = [this, kind] {
            frdm->connectTo(path);
            Dataset* ds = openingDataset(kind);
            ds->setSql(openingBaseSql(kind));
            ds->open();
        };
        s.command = [kind] { saveOpening(kind, QStringLiteral("新名称"), "XM", "12.5"); };
        s.check = [kind](const fault::Run& run) {
            Dataset* ds = openingDataset(kind);
            const QString table = openingDesc(kind).table;
            EXPECT_EQ(ds->state(), Dataset::State::Browse);
            const QVariant rest = frdm->ADOCon.scalar(QStringLiteral("SELECT rest FROM %1 WHERE rowid=:p1").arg(table),
                                                      {{"p1", ds->rowid()}});
            EXPECT_DOUBLE_EQ(ds->asFloat("rest"), rest.toDouble()) << run.point.describe().toStdString();
        };
        expectSound(fault::sweep(path, s));
    }
}

TEST_F(StockFaults, AKilledUpdateNeverTakesACountHalfway)
{
    {
        // Every count taken: the state the loop below keeps between its commits.
        Connection c;
        c.open(path);
        c.exec("UPDATE product SET factsl=sl, factdate=NULL");
    }
    for (unsigned seed = 1; seed <= 3; ++seed) {
        fault::KillResult k = fault::killDuring([this](int i) {
            Connection c;
            c.open(path);
            {
                Transaction t(c);
                c.exec("UPDATE product SET factsl=:p1, factdate='2026-12-06 10:00:00' WHERE szbj=1", {{"p1", i + 0.5}});
                t.commit();
            }
            stock::applyCounts(c);
        }, 30, 150, seed);
        ASSERT_TRUE(k.killed);
        Connection c;
        c.open(path);
        EXPECT_EQ(c.scalar("PRAGMA integrity_check").toString(), "ok");
        // A count is either still pending or taken as book stock, for every marked product alike.
        EXPECT_EQ(c.scalar("SELECT count(*) FROM product WHERE szbj=1 AND factdate IS NULL AND sl<>factsl").toInt(), 0);
        EXPECT_LE(c.scalar("SELECT count(DISTINCT factdate IS NULL) FROM product WHERE szbj=1").toInt(), 1);
    }
}
