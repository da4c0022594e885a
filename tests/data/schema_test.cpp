#include "support/fixture.h"
#include "common/errors.h"
#include "common/password.h"
#include "data/schema.h"
#include <QTemporaryDir>

using namespace qm;

namespace {
struct Expected {
    const char* table;
    int columns;
    QStringList someInOrder; // a few columns that must stand in this relative order
};

// Column counts and key columns of every table of a new database.
const Expected kTables[] = {
    {"product", 37, {"name", "sphh", "spmc", "dj_w", "szbj", "intno", "outdate", "enddate", "branchname", "avdj", "sl_in_y"}},
    {"spec", 3, {"intno", "name", "specno"}},
    {"customer", 19, {"intno", "id", "name", "accno", "rest", "balance", "remark", "deduck_y"}},
    {"branch", 19, {"intno", "id", "name", "rest", "balance", "remark", "deduck_y"}},
    {"bank", 19, {"intno", "id", "name", "rest", "balance", "remark", "deduck_y"}},
    {"employee", 10, {"intno", "id", "name", "addr", "email", "remark"}},
    {"store", 11, {"intno", "id", "addr", "accno", "email", "remark"}},
    {"outlist", 25, {"intno", "billdate", "customerid", "balance", "pass", "cancel", "hjsl", "billtype", "billname", "addr"}},
    {"outdetail", 28, {"intno", "mainintno", "spintno", "sphh", "rebate", "billdate", "pass", "cancel", "sl"}},
    {"outbacklist", 25, {"intno", "addr"}},     {"outbackdetail", 28, {"intno", "sl"}},
    {"getlist", 25, {"intno", "addr"}},         {"getdetail", 28, {"intno", "sl"}},
    {"inlist", 25, {"intno", "addr"}},          {"indetail", 28, {"intno", "sl"}},
    {"inbacklist", 25, {"intno", "addr"}},      {"inbackdetail", 28, {"intno", "sl"}},
    {"putlist", 25, {"intno", "addr"}},         {"putdetail", 28, {"intno", "sl"}},
    {"totallist", 26, {"intno", "hjsl", "addr", "intid"}},
    {"totallist1", 26, {"intno", "addr", "intid"}},
    {"custtotal", 28, {"intno", "sphh", "sl"}},
    {"custtotal1", 28, {"intno", "sphh", "sl"}},
    {"dateconfig", 3, {"ksdate", "jsdate", "bz"}},
    {"opcrl", 4, {"bh", "xm", "pw", "rh"}},
    {"nextno", 7, {"tablename", "intno", "fieldx1", "fieldx5"}},
    {"config", 19, {"ID", "priceformat", "qtyformat", "amountformat", "weightformat", "picfilename", "amount0", "startbj", "printbj", "cashboxbj", "flashbj"}},
    {"company", 4, {"name", "tel", "addr", "doc"}},
    {"apperror", 5, {"capt", "titl", "name", "rq", "mess"}},
    {"package", 2, {}},
    {"units", 2, {}},
};

bool inOrder(const QStringList& all, const QStringList& some)
{
    qsizetype at = -1;
    for (const auto& c : some) {
        qsizetype i = all.indexOf(c);
        if (i <= at) return false;
        at = i;
    }
    return true;
}
}

TEST(Schema, NewDatabaseHasEveryTableWithItsColumnsInOrder)
{
    QTemporaryDir dir;
    QString path = dir.path() + "/vkdb.mdb";
    createInitialDatabase(path);
    Connection c;
    c.open(path);
    EXPECT_EQ(c.scalar("select count(*) from sqlite_master where type='table' and name not like 'sqlite_%'").toInt(), 31);
    for (const auto& e : kTables) {
        SCOPED_TRACE(e.table);
        QStringList cols = c.columns(e.table);
        EXPECT_EQ(cols.size(), e.columns);
        EXPECT_TRUE(inOrder(cols, e.someInOrder)) << cols.join(',').toStdString();
    }
    // The twelve document tables share two shapes column for column.
    for (const char* t : {"outbacklist", "getlist", "inlist", "inbacklist", "putlist"})
        EXPECT_EQ(c.columns(t), c.columns("outlist")) << t;
    for (const char* t : {"outbackdetail", "getdetail", "indetail", "inbackdetail", "putdetail"})
        EXPECT_EQ(c.columns(t), c.columns("outdetail")) << t;
    EXPECT_EQ(c.columns("totallist").mid(0, 25), c.columns("outlist"));

    // Codes compare without regard to case; yes/no holds no null; no date means null.
    c.exec("insert into product (sphh, spmc) values ('ab01', 'x')");
    EXPECT_EQ(c.scalar("select count(*) from product where sphh='AB01'").toInt(), 1);
    EXPECT_EQ(c.scalar("select szbj from product").toInt(), 0);
    EXPECT_TRUE(c.scalar("select outdate from product").isNull());
    EXPECT_EQ(c.scalar("select bz from product").toString(), "");
    EXPECT_THROW(c.exec("insert into outlist (intno, pass) values ('1', null)"), DbError);
    // Scratch headers number their rows in the order they are added.
    c.exec("delete from totallist");
    c.exec("insert into totallist (intno) values ('b')");
    c.exec("insert into totallist (intno) values ('a')");
    auto rows = c.rows("select intno from totallist");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0].toString(), "b");
    // The reports' indexes are there.
    for (const char* ix : {"ix_outlist_billdate", "ix_indetail_mainintno", "ix_getdetail_customerid", "ix_product_sphh",
                           "ix_product_intno", "ix_putlist_customerid", "ix_outdetail_spintno"})
        EXPECT_EQ(c.scalar("select count(*) from sqlite_master where type='index' and name=:p1", {{"p1", QString(ix)}}).toInt(), 1) << ix;
}

TEST(Schema, InitialRows)
{
    QTemporaryDir dir;
    QString path = dir.path() + "/vkdb.mdb";
    createInitialDatabase(path);
    Connection c;
    c.open(path);
    auto cfg = c.rows("select priceformat, qtyformat, amountformat, weightformat, dateseparator, startbj, printbj, "
                      "cashboxbj, flashbj from config");
    ASSERT_EQ(cfg.size(), 1u);
    EXPECT_EQ(cfg[0][0].toString(), "0.00");
    EXPECT_EQ(cfg[0][1].toString(), "0.");
    EXPECT_EQ(cfg[0][2].toString(), "0.00");
    EXPECT_EQ(cfg[0][3].toString(), "0.00");
    EXPECT_EQ(cfg[0][4].toString(), "-");
    EXPECT_EQ(cfg[0][5].toInt(), 0);
    EXPECT_EQ(cfg[0][6].toInt(), 0);
    EXPECT_EQ(cfg[0][7].toInt(), 0);
    EXPECT_EQ(cfg[0][8].toInt(), 1);
    EXPECT_EQ(c.scalar("select count(*) from company").toInt(), 1);
    EXPECT_EQ(c.scalar("select pw from opcrl where bh='999'").toString(), EncodePassword("888"));
    EXPECT_EQ(c.scalar("select xm from opcrl where bh='999'").toString(), QStringLiteral("管理员"));
    EXPECT_EQ(c.scalar("select count(*) from customer where id='0000000001' and intno='0000000001'").toInt(), 1);
    EXPECT_EQ(c.scalar("select name from bank where id='0000000001'").toString(), QStringLiteral("现金"));
    EXPECT_EQ(c.scalar("select count(*) from dateconfig where ksdate<=jsdate and bz=0").toInt(), 1);
    EXPECT_EQ(c.scalar("select count(*) from nextno where upper(tablename) in ('OUTLIST','INDETAIL','PRODUCT')").toInt(), 3);
    EXPECT_EQ(c.scalar("select count(*) from totallist where amount=0 and rest=0").toInt(), 1);
    for (const char* t : {"product", "outlist", "indetail", "custtotal1", "apperror", "spec", "branch"})
        EXPECT_EQ(c.scalar(QString("select count(*) from %1").arg(t)).toInt(), 0) << t;
}

TEST(Schema, InitialDatabaseIsAllOrNothing)
{
    QTemporaryDir dir;
    QString path = dir.path() + "/vkdb.mdb";
    createInitialDatabase(path);
    // A second build over the same file fails on the first table and adds nothing.
    EXPECT_THROW(createInitialDatabase(path), DbError);
    Connection c;
    c.open(path);
    EXPECT_EQ(c.scalar("select count(*) from config").toInt(), 1);
}

class DataModule : public AppFixture {};

TEST_F(DataModule, EveryDatasetOpensOnANewDatabase)
{
    for (Dataset* ds : frdm->datasets()) {
        if (ds == frdm->AQcom) continue;
        SCOPED_TRACE(ds->name().toStdString());
        EXPECT_NO_THROW(ds->open());
        ds->close();
    }
    EXPECT_EQ(frdm->Aqproduct->fieldCount(), 37);
    EXPECT_EQ(frdm->ATproduct->fieldCount(), 37);
    EXPECT_EQ(frdm->AQoutlist->fieldCount(), 25);
    EXPECT_EQ(frdm->AQtotallist->fieldCount(), 25);
    EXPECT_EQ(frdm->ATtotallist1->fieldCount(), 25);
    EXPECT_EQ(frdm->AQoutdetail->fieldCount(), 28);
    EXPECT_EQ(frdm->ATcusttotal1->fieldCount(), 28);
    EXPECT_EQ(frdm->ATCONFIG->fieldCount(), 19);
    EXPECT_EQ(frdm->AQdetail->fieldByName("sphh")->size, 10);
    EXPECT_EQ(frdm->AQoutdetail->fieldByName("sphh")->size, 15);
    EXPECT_EQ(frdm->Aqproduct->fieldByName("sphh")->label, QStringLiteral("货品代码"));
    EXPECT_EQ(frdm->AQbank->fieldByName("amount")->label, QStringLiteral("本月金额"));
    EXPECT_EQ(frdm->AQbranch->fieldByName("pay")->label, QStringLiteral("本月付款"));

    // A query re-pointed at a table without one of its fields fails to open.
    frdm->AQoutlist->setSql("select intno, billdate from outlist");
    EXPECT_THROW(frdm->AQoutlist->open(), DbError);
}
