#pragma once
// Products for the tests: the tables the product windows use (created only
// where the schema lacks them) and a quick way to add products.
#include "data/connection.h"
#include "common/formats.h"
#include <QDate>

namespace qmtest {

inline void ensureProductTables(qm::Connection& c)
{
    if (!c.tableExists("product"))
        c.execScript(
            "CREATE TABLE product (name TEXT DEFAULT '', sphh TEXT COLLATE NOCASE DEFAULT '', spmc TEXT DEFAULT '',"
            " spgg TEXT DEFAULT '', spbzxh TEXT DEFAULT '', dj_w REAL DEFAULT 0, dj_n REAL DEFAULT 0, spmz REAL DEFAULT 0,"
            " spzz REAL DEFAULT 0, sl_j REAL DEFAULT 0, bz TEXT DEFAULT '', szbj INTEGER NOT NULL DEFAULT 0,"
            " intno TEXT COLLATE NOCASE DEFAULT '', ckbh TEXT DEFAULT '', ckmc TEXT DEFAULT '', factory TEXT DEFAULT '',"
            " spph TEXT DEFAULT '', outdate TEXT, enddate TEXT, splb TEXT DEFAULT '', branchintno TEXT DEFAULT '',"
            " branchname TEXT DEFAULT '', hydj REAL DEFAULT 0, csdj REAL DEFAULT 0, maxsl REAL DEFAULT 0,"
            " minsl REAL DEFAULT 0, avdj REAL DEFAULT 0, fitsl REAL DEFAULT 0, resl REAL DEFAULT 0, factsl REAL DEFAULT 0,"
            " rest REAL DEFAULT 0, sl REAL DEFAULT 0, sl_out_m REAL DEFAULT 0, sl_in_m REAL DEFAULT 0,"
            " sl_out_y REAL DEFAULT 0, sl_in_y REAL DEFAULT 0);"
            "CREATE INDEX product_sphh ON product(sphh); CREATE INDEX product_intno ON product(intno);");
    if (!c.tableExists("spec"))
        c.execScript("CREATE TABLE spec (intno TEXT DEFAULT '', name TEXT DEFAULT '', specno TEXT DEFAULT '');");
    if (!c.tableExists("branch"))
        c.execScript("CREATE TABLE branch (intno TEXT DEFAULT '', id TEXT DEFAULT '', name TEXT DEFAULT '',"
                     " balance REAL DEFAULT 0);");
    if (!c.tableExists("dateconfig"))
        c.execScript("CREATE TABLE dateconfig (ksdate TEXT, jsdate TEXT, bz INTEGER NOT NULL DEFAULT 0);"
                     "INSERT INTO dateconfig (bz) VALUES (0);");
    if (!c.tableExists("company"))
        c.execScript("CREATE TABLE company (name TEXT DEFAULT ''); INSERT INTO company (name) VALUES ('');");
    if (!c.tableExists("indetail"))
        c.execScript("CREATE TABLE indetail (intno TEXT DEFAULT '', spintno TEXT DEFAULT '', sphh TEXT DEFAULT '',"
                     " spmc TEXT DEFAULT '', unit TEXT DEFAULT '', sl_j REAL DEFAULT 0, dj_n REAL DEFAULT 0,"
                     " dj_w REAL DEFAULT 0, ss REAL DEFAULT 0, js REAL DEFAULT 0, sl REAL DEFAULT 0);");
}

struct P {
    QString sphh, spmc, spgg;
    double sl = 0;
    QString enddate; // yyyy-MM-dd or empty for none
    QString splb, branchname;
    double spmz = 0, dj_w = 0;
};

inline void addProduct(qm::Connection& c, const P& p)
{
    QVariant n = c.scalar("SELECT count(*) FROM product");
    QString intno = (QStringLiteral("00000000") + QString::number(n.toLongLong() + 1)).right(8);
    c.exec("INSERT INTO product (intno,sphh,spmc,spgg,sl,enddate,splb,branchname,spmz,dj_w) "
           "VALUES (:i,:c,:m,:g,:s,:e,:l,:b,:z,:w)",
           {{"i", intno}, {"c", p.sphh}, {"m", p.spmc}, {"g", p.spgg}, {"s", p.sl},
            {"e", p.enddate.isEmpty() ? QVariant() : QVariant(p.enddate + " 00:00:00")},
            {"l", p.splb}, {"b", p.branchname}, {"z", p.spmz}, {"w", p.dj_w}});
}

}
