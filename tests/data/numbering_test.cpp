#include "data/numbering.h"
#include "data/schema.h"
#include "common/errors.h"
#include <gtest/gtest.h>
#include <QTemporaryDir>

using namespace qm;

namespace {
struct NewDb {
    QTemporaryDir dir;
    Connection c;
    NewDb()
    {
        createInitialDatabase(dir.path() + "/vkdb.mdb");
        c.open(dir.path() + "/vkdb.mdb");
    }
};
}

TEST(Numbering, LargestPlusOneWithItsWidth)
{
    NewDb db;
    // Empty tables start at 1.
    EXPECT_EQ(nextIntno(db.c, "inlist", 10), "0000000001");
    EXPECT_EQ(nextIntno(db.c, "product", 8), "00000001");
    EXPECT_EQ(nextIntnoOfKind(db.c, "spec", 2, "specno", "02"), "01");
    // The walk-in customer is already there.
    EXPECT_EQ(nextIntno(db.c, "customer", 10), "0000000002");

    // Rows of every document count, and blank numbers of rows being entered do not.
    for (int i = 1; i <= 40; ++i)
        db.c.exec("insert into indetail (intno, mainintno) values (:p1, :p2)", {{"p1", zeroPad(i, 10)}, {"p2", zeroPad(i % 9 + 1, 10)}});
    db.c.exec("insert into indetail (intno, spmc) values ('', '')");
    EXPECT_EQ(nextIntno(db.c, "indetail", 10), "0000000041");
    for (int i = 1; i <= 9; ++i) db.c.exec("insert into inlist (intno) values (:p1)", {{"p1", zeroPad(i, 10)}});
    EXPECT_EQ(nextIntno(db.c, "inlist", 10), "0000000010");

    // Products: 00000009 is followed by 00000010.
    db.c.exec("insert into product (intno, sphh) values ('00000009', '00009')");
    EXPECT_EQ(nextIntno(db.c, "product", 8), "00000010");

    // Units and categories are numbered within their kind and keep two digits.
    db.c.exec("insert into spec (intno, name, specno) values ('09', 'a', '02'), ('03', 'b', '03')");
    EXPECT_EQ(nextIntnoOfKind(db.c, "spec", 2, "specno", "02"), "10");
    EXPECT_EQ(nextIntnoOfKind(db.c, "spec", 2, "specno", "03"), "04");
    db.c.exec("insert into spec (intno, name, specno) values ('99', 'c', '02')");
    EXPECT_EQ(nextIntnoOfKind(db.c, "spec", 2, "specno", "02"), "00");

    EXPECT_EQ(zeroPad(12, 10), "0000000012");
    EXPECT_EQ(zeroPad(123456, 5), "23456");

    // A number that is not a number is a conversion error, not a silent 1.
    db.c.exec("insert into branch (intno, id) values ('x1', 'x1')");
    EXPECT_THROW(nextIntno(db.c, "branch", 10), ConversionError);
    // Names come from code; anything else is refused before any SQL runs.
    EXPECT_THROW(nextIntno(db.c, "inlist; drop table inlist", 10), DbError);
    EXPECT_THROW(nextIntnoOfKind(db.c, "spec", 2, "specno or 1=1", "02"), DbError);
}

TEST(Numbering, RolledBackInsertLeavesNothingAndTheNumberFree)
{
    NewDb db;
    {
        Transaction t(db.c);
        QString no = nextIntno(db.c, "getlist", 10);
        db.c.exec("insert into getlist (intno) values (:p1)", {{"p1", no}});
        db.c.exec("insert into getdetail (intno, mainintno, spmc) values (:p1, :p2, '上期结转')",
                  {{"p1", nextIntno(db.c, "getdetail", 10)}, {"p2", no}});
        EXPECT_EQ(nextIntno(db.c, "getlist", 10), "0000000002"); // seen inside the transaction
        // no commit: a failure before this point leaves nothing behind
    }
    EXPECT_EQ(db.c.scalar("select count(*) from getlist").toInt(), 0);
    EXPECT_EQ(db.c.scalar("select count(*) from getdetail").toInt(), 0);
    EXPECT_EQ(nextIntno(db.c, "getlist", 10), "0000000001");
}

TEST(Numbering, RowsWithoutANumberLeaveTheFirstNumberFree)
{
    NewDb db;
    // A row being entered (blank number), then one with blanks only and one with none.
    db.c.exec("insert into outdetail (intno, spmc) values ('', '')");
    EXPECT_EQ(nextIntno(db.c, "outdetail", 10), "0000000001");
    db.c.exec("insert into outdetail (intno, spmc) values ('   ', 'x')");
    db.c.exec("insert into outdetail (intno, spmc) values (NULL, 'y')");
    EXPECT_EQ(nextIntno(db.c, "outdetail", 10), "0000000001");
    db.c.exec("insert into spec (intno, name, specno) values ('', 'a', '02')");
    EXPECT_EQ(nextIntnoOfKind(db.c, "spec", 2, "specno", "02"), "01");
}
