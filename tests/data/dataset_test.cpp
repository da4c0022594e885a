#include "data/connection.h"
#include "data/dataset.h"
#include "common/errors.h"
#include "support/rowsread.h"
#include "support/scratchdb.h"
#include <gtest/gtest.h>
#include <QTemporaryDir>
#include <sqlite3.h>

using namespace qm;

namespace {
struct Db : qmtest::ScratchDb {
    Db()
        : ScratchDb("CREATE TABLE item (code TEXT COLLATE NOCASE DEFAULT '', name TEXT DEFAULT '', price REAL DEFAULT 0, "
                    "made DATETIME, mark BOOLEAN NOT NULL DEFAULT 0);"
                    "INSERT INTO item(code,name,price) VALUES ('001','可乐',2.5),('002','雪碧',3);")
    {
    }
};
}

TEST(Dataset, OpenNavigateEditAppendDeleteWriteThrough)
{
    Db db;
    Dataset ds(&db.c, "q");
    ds.setSql("select * from item order by code");
    ds.open();
    ASSERT_EQ(ds.recordCount(), 2);
    EXPECT_EQ(ds.asString("name"), "可乐");
    ds.next();
    EXPECT_EQ(ds.asFloat("price"), 3.0);
    ds.next();
    EXPECT_TRUE(ds.eof());

    ds.first();
    ds.setValue("price", 2.75);
    ds.post();
    EXPECT_DOUBLE_EQ(db.c.scalar("select price from item where code='001'").toDouble(), 2.75);

    ds.append();
    ds.setValue("code", "003");
    ds.setText("made", "2026-12-06");
    ds.post();
    EXPECT_EQ(ds.recordCount(), 3);
    EXPECT_EQ(ds.asString("name"), ""); // the table's default came back
    EXPECT_EQ(db.c.scalar("select made from item where code='003'").toString(), "2026-12-06 00:00:00");

    ASSERT_TRUE(ds.locate("code", "002"));
    ds.remove();
    EXPECT_EQ(db.c.scalar("select count(*) from item").toInt(), 2);
    EXPECT_EQ(ds.recordCount(), 2);
}

TEST(Dataset, DeletingTheLastRowLeavesAValidCurrentRow)
{
    Db db;
    db.c.exec("INSERT INTO item(code,name,price) VALUES ('003','芬达',4)");
    Dataset ds(&db.c, "q");
    ds.setSql("select * from item order by code");
    ds.open();
    ds.last();
    ds.remove();
    // The row before it is current, readable and changeable.
    ASSERT_EQ(ds.recordCount(), 2);
    EXPECT_EQ(ds.recNo(), 1);
    EXPECT_FALSE(ds.eof());
    EXPECT_EQ(ds.asString("code"), "002");
    ds.edit();
    ds.setValue("price", 3.5);
    ds.post();
    EXPECT_DOUBLE_EQ(db.c.scalar("select price from item where code='002'").toDouble(), 3.5);
    EXPECT_EQ(db.c.scalar("select count(*) from item where code='003'").toInt(), 0);
    // Deleting down to nothing leaves an empty dataset, not a dangling row.
    ds.remove();
    ds.remove();
    EXPECT_TRUE(ds.isEmpty());
    EXPECT_TRUE(ds.eof());
    EXPECT_EQ(ds.recNo(), -1);
    EXPECT_THROW(ds.remove(), DbError);
    ds.append();
    ds.setValue("code", "009");
    ds.post();
    EXPECT_EQ(ds.asString("code"), "009");
    EXPECT_EQ(db.c.scalar("select count(*) from item").toInt(), 1);
}

TEST(Dataset, PersistentFieldsFailOnMissingColumnAndFormatDisplay)
{
    Db db;
    Dataset ds(&db.c, "q");
    ds.setSql("select * from item");
    ds.setPersistentFields({{"code", FieldType::Text, 3, "编号"}, {"price", FieldType::Float, 0, "价", "0.00"}});
    ds.open();
    EXPECT_EQ(ds.fieldCount(), 2);
    EXPECT_EQ(ds.displayText(0, 1), "2.50");
    ds.close();
    ds.setPersistentFields({{"code"}, {"nosuch"}});
    EXPECT_THROW(ds.open(), DbError);
}

TEST(Dataset, SetTextConversionBeforeDeleteAndReadOnlyQueries)
{
    Db db;
    Dataset ds(&db.c, "q");
    ds.setSql("select * from item where code=:p1");
    ds.setParam("p1", "001");
    ds.open();
    ASSERT_EQ(ds.recordCount(), 1);
    EXPECT_THROW(ds.setText("price", "abc"), ConversionError);
    ds.cancel();
    EXPECT_DOUBLE_EQ(ds.asFloat("price"), 2.5);
    ds.beforeDelete = [](Dataset&) { throw SilentStop(); };
    EXPECT_THROW(ds.remove(), SilentStop);
    EXPECT_EQ(db.c.scalar("select count(*) from item").toInt(), 2);

    Dataset sum(&db.c, "s");
    sum.setSql("select count(*) as n from item group by mark");
    sum.open();
    EXPECT_THROW(sum.edit(), DbError);
}

TEST(Connection, TransactionRollsBackUnlessCommitted)
{
    Db db;
    {
        Transaction t(db.c);
        db.c.exec("delete from item");
    }
    EXPECT_EQ(db.c.scalar("select count(*) from item").toInt(), 2);
    {
        Transaction outer(db.c);
        db.c.exec("delete from item where code='001'");
        {
            Transaction inner(db.c);
            db.c.exec("delete from item");
        }
        outer.commit();
    }
    EXPECT_EQ(db.c.scalar("select count(*) from item").toInt(), 1);

    // A ROLLBACK that fails once (an interrupt meant for the statement before
    // it) is tried again: the connection is not left inside the transaction.
    int refusals = 1;
    sqlite3_set_authorizer(
        db.c.handle(),
        [](void* left, int action, const char* what, const char*, const char*, const char*) {
            int& n = *static_cast<int*>(left);
            if (action != SQLITE_TRANSACTION || qstrcmp(what, "ROLLBACK") != 0 || n == 0) return SQLITE_OK;
            --n;
            return SQLITE_DENY;
        },
        &refusals);
    {
        Transaction t(db.c);
        db.c.exec("delete from item");
    }
    sqlite3_set_authorizer(db.c.handle(), nullptr, nullptr);
    EXPECT_EQ(refusals, 0);
    EXPECT_FALSE(db.c.inTransaction());
    EXPECT_EQ(db.c.scalar("select count(*) from item").toInt(), 1);
}

// Rows fetched on demand must read, edit, append and delete exactly like rows
// held whole, across the blocks the dataset reads at a time.
TEST(Dataset, OnDemandRowsMatchWholeRowsAcrossBlocks)
{
    Db db;
    {
        Transaction t(db.c);
        Statement st(db.c.handle(), "INSERT INTO item(code,name,price) VALUES (:c,:n,:p)");
        for (int i = 3; i <= 1000; ++i) {
            st.reset();
            st.bind({{"c", QString("%1").arg(i, 3, 10, QChar('0'))}, {"n", QString("品%1").arg(i)}, {"p", i * 0.5}});
            st.step();
        }
        t.commit();
    }
    // The rows come back in table order even where the planner reads an index.
    db.c.execScript("CREATE INDEX ix_item_code ON item(code); DELETE FROM item WHERE code='500'");
    Dataset whole(&db.c, "whole"), lazy(&db.c, "lazy");
    whole.setSql("select * from item where price>=:p1");
    lazy.setSql("select * from item where price>=:p1");
    whole.setParam("p1", 1.0);
    lazy.setParam("p1", 1.0);
    lazy.setFetchOnDemand(true);
    whole.open();
    lazy.open();
    ASSERT_EQ(lazy.recordCount(), 999);
    ASSERT_EQ(lazy.recordCount(), whole.recordCount());
    for (int r : {0, 1, 255, 256, 600, 998, 3, 999 - 256})
        for (int f = 0; f < whole.fieldCount(); ++f) EXPECT_EQ(lazy.valueAt(r, f), whole.valueAt(r, f)) << r << " " << f;
    EXPECT_EQ(lazy.displayText(998, lazy.fieldIndex("price")), whole.displayText(998, whole.fieldIndex("price")));

    // Editing a far row writes through and reads back.
    lazy.moveTo(900);
    const QString code = lazy.asString("code");
    lazy.setValue("name", "改名");
    lazy.post();
    lazy.moveTo(10);
    EXPECT_EQ(lazy.valueAt(900, lazy.fieldIndex("name")).toString(), "改名");
    EXPECT_EQ(db.c.scalar("select name from item where code=:c", {{"c", code}}).toString(), "改名");

    // Append, cancel, append and post, delete.
    lazy.append();
    lazy.setValue("code", "X1");
    lazy.cancel();
    EXPECT_EQ(lazy.recordCount(), 999);
    lazy.append();
    lazy.setValue("code", "X2");
    lazy.setValue("price", 7.0);
    lazy.post();
    ASSERT_EQ(lazy.recordCount(), 1000);
    EXPECT_EQ(lazy.asString("code"), "X2");
    EXPECT_EQ(lazy.rowOfRowid(lazy.rowid()), 999);
    lazy.moveTo(2);
    const QVariant third = lazy.valueAt(3, 0);
    lazy.remove();
    EXPECT_EQ(lazy.recordCount(), 999);
    EXPECT_EQ(lazy.valueAt(2, 0), third);
    EXPECT_EQ(db.c.scalar("select count(*) from item").toInt(), 999);

    // An ORDER BY keeps its order.
    lazy.setSql("select * from item order by price desc");
    lazy.open();
    EXPECT_EQ(lazy.asString("code"), "1000");
    lazy.last();
    EXPECT_EQ(lazy.asString("code"), "004"); // 003 was deleted above
}

namespace {
// 3,000 items over three pages of rowids, every tenth code twice.
void fillItems(Connection& c)
{
    Transaction t(c);
    Statement st(c.handle(), "INSERT INTO item(code,name,price) VALUES (:c,:n,:p)");
    for (int i = 3; i <= 3000; ++i) {
        st.reset();
        st.bind({{"c", QString("%1").arg(i - (i % 10 == 0 ? 1 : 0), 4, 10, QChar('0'))}, {"n", QString("品%1").arg(i)},
                 {"p", (i * 7) % 500 * 0.5}});
        st.step();
    }
    t.commit();
    c.execScript("CREATE INDEX ix_item_code ON item(code)");
}

QString rowOf(const Dataset& d, int r)
{
    QStringList v;
    for (int f = 0; f < d.fieldCount(); ++f) v << d.valueAt(r, f).toString();
    return v.join('|');
}

// The paged rows are a whole read's: at the rows read first, from either end
// and across the pages, and walked as a print walks them.
void expectSameRows(Dataset& paged, const QString& sql)
{
    Dataset whole(paged.connection(), "whole");
    whole.reopen(sql);
    const int n = whole.recordCount();
    ASSERT_EQ(paged.recordCount(), n) << sql.toStdString();
    QStringList got, want;
    for (int r : {n - 1, 0, 1, 1023, 1024, 2047, 2048, n - 1025, n - 2}) got << rowOf(paged, r), want << rowOf(whole, r);
    for (paged.first(); !paged.eof(); paged.next()) got << rowOf(paged, paged.recNo());
    for (whole.first(); !whole.eof(); whole.next()) want << rowOf(whole, whole.recNo());
    EXPECT_EQ(got.join('\n').toStdString(), want.join('\n').toStdString()) << sql.toStdString();
}
}

TEST(Dataset, RowidsByPageOpenOnACountAndKeepEveryOrder)
{
    Db db;
    fillItems(db.c);
    Dataset paged(&db.c, "paged");
    paged.setFetchOnDemand(true);
    paged.setRowidsByPage(true);
    const QString byCode = "select * from item order by code";
    for (const QString& sql : {byCode, QString("select * from item"), QString("SELECT * FROM item ORDER BY code DESC"),
                               QString("select * from item order by price"),
                               QString("select * from item where price>10 order by code")}) {
        qmtest::RowsRead read(db.c.handle());
        paged.reopen(sql);
        paged.valueAt(0, 0);
        // A whole table along an index: the count and the first pages.
        if (sql.contains("code") && !sql.contains("where")) {
            EXPECT_LT(read.rows(), 1500) << sql.toStdString();
        }
        expectSameRows(paged, sql);
    }

    // A row moved in the order by an edit keeps its place, and every other row its own.
    paged.reopen(byCode);
    Dataset before(&db.c, "before");
    before.reopen(byCode);
    paged.moveTo(5);
    paged.setValue("code", "9999");
    paged.post();
    for (int r : {4, 5, 6, 1500, 2500, 2998})
        EXPECT_EQ(paged.valueAt(r, 0), r == 5 ? QVariant("9999") : before.valueAt(r, 0)) << r;

    // Appended rows stay at the end of an ordered list, and of a list in table
    // order, where the stored rows keep their places while one is written.
    paged.reopen(byCode);
    paged.valueAt(0, 0);
    paged.append();
    paged.setValue("code", "0000");
    paged.post();
    EXPECT_EQ(paged.valueAt(0, 0).toString() + " " + paged.valueAt(paged.recordCount() - 1, 0).toString(), "0003 0000");
    paged.reopen("select * from item");
    paged.append();
    paged.setValue("code", "NEW");
    EXPECT_EQ(paged.valueAt(paged.recordCount() - 2, 0).toString(), "0000");
    paged.post();
    expectSameRows(paged, "select * from item");

    // A delete far down, a locate and a row found by its rowid.
    paged.reopen(byCode);
    paged.moveTo(2500);
    const QString next = rowOf(paged, 2501);
    paged.remove();
    EXPECT_EQ(rowOf(paged, 2500), next);
    paged.reopen(byCode);
    ASSERT_TRUE(paged.locate("code", "2901"));
    EXPECT_EQ(paged.rowOfRowid(paged.rowid()), paged.recNo());
    expectSameRows(paged, byCode);
}

// Rows in table order are read a span of rowids at a time: rows of the span
// that the query leaves out, or that another program deleted since the
// opening, take no other row's place.
TEST(Dataset, OnDemandRowsInTableOrderKeepTheirPlaces)
{
    Db db;
    fillItems(db.c);
    db.c.exec("UPDATE item SET mark=1 WHERE rowid % 3 = 0");
    const QString sql = "select * from item where mark=0";
    Dataset whole(&db.c, "whole"), lazy(&db.c, "lazy");
    whole.reopen(sql);
    lazy.setFetchOnDemand(true);
    lazy.reopen(sql);
    ASSERT_EQ(lazy.recordCount(), whole.recordCount());
    // Deleted after the opening: the first row of the second block and a run further on.
    const qint64 gone = whole.rowidAt(256);
    db.c.exec("DELETE FROM item WHERE rowid=:r OR (rowid>=1000 AND rowid<1010)", {{"r", gone}});
    int empty = 0;
    for (lazy.first(); !lazy.eof(); lazy.next()) {
        const int r = lazy.recNo();
        const qint64 rowid = whole.rowidAt(r);
        if (rowid == gone || (rowid >= 1000 && rowid < 1010)) {
            EXPECT_TRUE(lazy.valueAt(r, 0).isNull()) << r;
            ++empty;
        } else {
            ASSERT_EQ(rowOf(lazy, r), rowOf(whole, r)) << r;
        }
    }
    EXPECT_EQ(empty, 1 + 7); // 1000 to 1009 less the three marked rows
}

namespace {
// 5,000 items spread over the rowids: 2,000 without a code, the others with
// codes each twice, in lower and upper case alike to the column (NOCASE). The
// NULL keys and the others meet in the middle of the list in either direction.
void fillCodesAndNulls(Connection& c)
{
    Transaction t(c);
    Statement st(c.handle(), "INSERT INTO item(code,name) VALUES (:c,:n)");
    for (int i = 1; i <= 5000; ++i) {
        st.reset();
        const int k = (i * 7919) % 5000; // spread over the rowids
        const QString code = QString("%1%2").arg(k % 3 ? "B" : "b").arg(k / 2 * 2, 5, 10, QChar('0'));
        st.bind({{"c", k < 2000 ? QVariant() : QVariant(code)}, {"n", QString("品%1").arg(i)}});
        st.step();
    }
    t.commit();
    c.execScript("CREATE INDEX ix_item_code ON item(code)");
}

QStringList allRows(const Dataset& d, bool backwards = false)
{
    QStringList v;
    for (int i = 0; i < d.recordCount(); ++i) v << rowOf(d, backwards ? d.recordCount() - 1 - i : i);
    if (backwards) std::reverse(v.begin(), v.end());
    return v;
}
}

// Blocks read by key keep the order's NULL keys (first ascending, last
// descending), its case-blind codes and its ties, read from the start, from
// the far end, or both, and while another program writes between them.
TEST(Dataset, RowsReadByKeyKeepNullsCaseAndTiesInEitherDirection)
{
    Db db;
    db.c.exec("DELETE FROM item");
    fillCodesAndNulls(db.c);
    Connection other;
    other.open(db.c.path());
    Dataset paged(&db.c, "paged"), whole(&db.c, "whole");
    paged.setFetchOnDemand(true);
    paged.setRowidsByPage(true);
    for (const QString& sql : {QString("select * from item order by code"), QString("select * from item order by code desc")}) {
        SCOPED_TRACE(sql.toStdString());
        whole.reopen(sql);
        const QStringList want = allRows(whole);
        paged.reopen(sql);
        EXPECT_EQ(allRows(paged, true), want); // from the far end up
        paged.reopen(sql);
        EXPECT_EQ(allRows(paged), want); // from the start down
        paged.reopen(sql);
        paged.valueAt(2600, 0); // the middle first, then both ends
        EXPECT_EQ(allRows(paged), want);

        // Both ends shown; another program adds a row without a code and a
        // row in lower case, and deletes two, all between the blocks read.
        paged.reopen(sql);
        paged.valueAt(0, 0);
        paged.valueAt(4999, 0);
        other.exec("INSERT INTO item(code,name) VALUES (NULL,'new null'),('b02500x','new code')");
        other.exec("DELETE FROM item WHERE rowid IN (SELECT rowid FROM item WHERE code IS NULL ORDER BY rowid LIMIT 1 OFFSET 1500)");
        other.exec("DELETE FROM item WHERE rowid IN (SELECT rowid FROM item WHERE code>'B03000' ORDER BY code LIMIT 1)");
        whole.reopen(sql);
        EXPECT_EQ(allRows(paged), allRows(whole));
        other.exec("DELETE FROM item WHERE name LIKE 'new%'");
        other.exec("INSERT INTO item(code,name) VALUES (NULL,'a null'),('B03001','a code')");
    }
}
