// Schema upgrades of older databases.
#include "data/connection.h"
#include "data/schema.h"
#include "data/upgrades.h"
#include "common/errors.h"
#include <gtest/gtest.h>
#include <QTemporaryDir>

using qm::Connection;

namespace {
const char* const kHeaders[] = {"inlist", "inbacklist", "putlist", "getlist", "outbacklist", "outlist", "totallist"};

// A database as an early version left it: options without the three flags,
// document headers without bill type, bill name and address, totals without
// their counter and no totallist1.
void createOldSchema(Connection& c)
{
    c.execScript(QStringLiteral(
        "CREATE TABLE config (ID INTEGER PRIMARY KEY AUTOINCREMENT, priceformat TEXT DEFAULT '', "
        "qtyformat TEXT DEFAULT '', amountformat TEXT DEFAULT '', imename TEXT DEFAULT '', "
        "picfilename TEXT DEFAULT '', startbj BOOLEAN NOT NULL DEFAULT 0);"
        "INSERT INTO config (priceformat) VALUES ('0.00');"
        "CREATE TABLE product (sphh TEXT COLLATE NOCASE DEFAULT '', sl REAL DEFAULT 0, factsl REAL DEFAULT 0);"));
    for (const char* t : kHeaders)
        c.exec(QStringLiteral("CREATE TABLE %1 (intno TEXT COLLATE NOCASE DEFAULT '', billdate DATETIME, "
                              "amount REAL DEFAULT 0, rest REAL DEFAULT 0)").arg(QLatin1String(t)));
    c.exec("CREATE INDEX ix_totallist_date ON totallist(billdate)");
    c.exec("INSERT INTO totallist (intno, amount, rest) VALUES ('A', 12.5, 3)");
    c.exec("INSERT INTO totallist (intno, amount, rest) VALUES ('B', 7, 1)");
    c.exec("INSERT INTO inlist (intno, amount) VALUES ('0000000001', 99)");
}

void expectUpToDate(Connection& c)
{
    for (const char* col : {"flashbj", "printbj", "cashboxbj"}) EXPECT_TRUE(c.columnExists("config", col)) << col;
    for (const char* t : kHeaders)
        for (const char* col : {"billtype", "billname", "addr"}) EXPECT_TRUE(c.columnExists(t, col)) << t << "." << col;
    EXPECT_TRUE(c.columnExists("totallist", "intid"));
    EXPECT_TRUE(c.columnExists("totallist1", "intid"));
    EXPECT_TRUE(c.columnExists("product", "factdate"));
}
}

TEST(Upgrades, OldDatabaseGainsEveryColumnOnceAndKeepsItsRows)
{
    QTemporaryDir dir;
    Connection c;
    c.open(dir.filePath("old.mdb"), true);
    createOldSchema(c);

    QStringList run = qm::upgradeSchema(c);
    EXPECT_FALSE(run.isEmpty());
    expectUpToDate(c);
    // New flags: the splash on, printer and cash drawer off.
    EXPECT_EQ(c.scalar("SELECT flashbj FROM config").toInt(), 1);
    EXPECT_EQ(c.scalar("SELECT printbj FROM config").toInt(), 0);
    EXPECT_EQ(c.scalar("SELECT cashboxbj FROM config").toInt(), 0);
    EXPECT_EQ(c.scalar("SELECT billtype FROM inlist").toString(), QString());
    EXPECT_EQ(c.scalar("SELECT amount FROM inlist").toDouble(), 99.0);
    // The totals keep their rows, numbered in their order; totallist1 is a copy, counter included.
    auto rows = c.rows("SELECT intno, amount, intid FROM totallist ORDER BY intid");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0].toString(), "A");
    EXPECT_EQ(rows[0][2].toInt(), 1);
    EXPECT_EQ(rows[1][0].toString(), "B");
    EXPECT_EQ(rows[1][2].toInt(), 2);
    EXPECT_EQ(c.rows("SELECT intno, amount, intid FROM totallist1 ORDER BY intid"), rows);
    // The counter counts on, and the index of the rebuilt table is back.
    c.exec("INSERT INTO totallist (intno) VALUES ('C')");
    EXPECT_EQ(c.scalar("SELECT intid FROM totallist WHERE intno='C'").toInt(), 3);
    EXPECT_TRUE(c.scalar("SELECT count(*) FROM sqlite_master WHERE name='ix_totallist_date'").toInt() == 1);
    EXPECT_EQ(c.scalar("PRAGMA integrity_check").toString(), "ok");

    // A second start runs nothing.
    EXPECT_TRUE(qm::upgradeSchema(c).isEmpty());
}

TEST(Upgrades, PartlyUpgradedDatabaseIsCompletedWithoutTouchingWhatItHas)
{
    QTemporaryDir dir;
    Connection c;
    c.open(dir.filePath("part.mdb"), true);
    createOldSchema(c);
    // Someone already added the splash and printer flags (and chose their
    // values), the bill type of purchases and the counter of the totals.
    c.exec("ALTER TABLE config ADD COLUMN flashbj BOOLEAN NOT NULL DEFAULT 1");
    c.exec("ALTER TABLE config ADD COLUMN printbj BOOLEAN NOT NULL DEFAULT 1");
    c.exec("UPDATE config SET flashbj=0, printbj=1");
    c.exec("ALTER TABLE inlist ADD COLUMN billtype TEXT DEFAULT ''");
    c.exec("UPDATE inlist SET billtype='02'");

    QStringList run = qm::upgradeSchema(c);
    expectUpToDate(c);
    for (const QString& cmd : run) {
        EXPECT_FALSE(cmd.contains("flashbj")) << qPrintable(cmd);
        EXPECT_FALSE(cmd.contains("printbj")) << qPrintable(cmd);
        EXPECT_FALSE(cmd.contains("inlist ADD COLUMN billtype")) << qPrintable(cmd);
    }
    EXPECT_EQ(c.scalar("SELECT flashbj FROM config").toInt(), 0);
    EXPECT_EQ(c.scalar("SELECT printbj FROM config").toInt(), 1);
    EXPECT_EQ(c.scalar("SELECT cashboxbj FROM config").toInt(), 0);
    EXPECT_EQ(c.scalar("SELECT billtype FROM inlist").toString(), "02");
    EXPECT_TRUE(qm::upgradeSchema(c).isEmpty());
}

TEST(Upgrades, CurrentDatabaseRunsNothingAndAFailureLeavesTheDatabaseAsItWas)
{
    QTemporaryDir dir;
    qm::createInitialDatabase(dir.filePath("new.mdb"));
    Connection c;
    c.open(dir.filePath("new.mdb"));
    EXPECT_TRUE(qm::upgradeSchema(c).isEmpty());

    // An old database missing one of the header tables: the upgrade fails
    // part-way and nothing of it stays.
    Connection o;
    o.open(dir.filePath("broken.mdb"), true);
    createOldSchema(o);
    o.exec("DROP TABLE outlist");
    EXPECT_THROW(qm::upgradeSchema(o), qm::DbError);
    EXPECT_FALSE(o.inTransaction());
    EXPECT_FALSE(o.columnExists("config", "flashbj"));
    EXPECT_FALSE(o.columnExists("inlist", "billtype"));
    EXPECT_FALSE(o.columnExists("totallist", "intid"));
    EXPECT_FALSE(o.tableExists("totallist1"));
}
