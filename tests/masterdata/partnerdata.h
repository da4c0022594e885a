#pragma once
// Partner tables and a few realistic partners for the tests. The tables are
// created only where the initial database lacks them.
#include "data/tfrdm.h"
#include <QString>

namespace partnertest {

inline void ensureTables()
{
    auto& c = frdm->ADOCon;
    const QString party = QStringLiteral(
        "intno TEXT DEFAULT '', id TEXT COLLATE NOCASE DEFAULT '', name TEXT DEFAULT '', tel TEXT DEFAULT '', "
        "fax TEXT DEFAULT '', movetel TEXT DEFAULT '', persondeal TEXT DEFAULT '', addr TEXT DEFAULT '', "
        "accno TEXT DEFAULT '', email TEXT DEFAULT '', rest REAL DEFAULT 0, amount REAL DEFAULT 0, pay REAL DEFAULT 0, "
        "deduck REAL DEFAULT 0, balance REAL DEFAULT 0, remark TEXT, amount_y REAL DEFAULT 0, pay_y REAL DEFAULT 0, "
        "deduck_y REAL DEFAULT 0");
    const QString person = QStringLiteral(
        "intno TEXT DEFAULT '', id TEXT COLLATE NOCASE DEFAULT '', name TEXT DEFAULT '', tel TEXT DEFAULT '', "
        "fax TEXT DEFAULT '', movetel TEXT DEFAULT '', persondeal TEXT DEFAULT '', addr TEXT DEFAULT '', ");
    for (const char* t : {"customer", "branch", "bank"})
        if (!c.tableExists(t)) c.exec(QStringLiteral("CREATE TABLE %1 (%2)").arg(t, party));
    if (!c.tableExists("employee")) c.exec("CREATE TABLE employee (" + person + "email TEXT DEFAULT '', remark TEXT)");
    if (!c.tableExists("store"))
        c.exec("CREATE TABLE store (" + person + "accno TEXT DEFAULT '', email TEXT DEFAULT '', remark TEXT)");
    if (!c.tableExists("outlist"))
        c.exec("CREATE TABLE outlist (intno TEXT DEFAULT '', bankid TEXT DEFAULT '', customerid TEXT DEFAULT '')");
    if (!c.tableExists("getdetail"))
        c.exec("CREATE TABLE getdetail (intno TEXT DEFAULT '', sphh TEXT DEFAULT '', spmc TEXT DEFAULT '', "
               "amount REAL DEFAULT 0)");
}

inline void clear(const char* table) { frdm->ADOCon.exec(QStringLiteral("DELETE FROM %1").arg(table)); }

inline void add(const char* table, const QString& intno, const QString& id, const QString& name,
                const QString& tel = {}, double balance = 0)
{
    frdm->ADOCon.exec(QStringLiteral("INSERT INTO %1 (intno,id,name,tel) VALUES (:p1,:p2,:p3,:p4)").arg(table),
                      {{"p1", intno}, {"p2", id}, {"p3", name}, {"p4", tel}});
    if (balance != 0)
        frdm->ADOCon.exec(QStringLiteral("UPDATE %1 SET balance=:p1 WHERE intno=:p2").arg(table),
                          {{"p1", balance}, {"p2", intno}});
}

inline QString one(const QString& sql, const qm::Params& p = {})
{
    return frdm->ADOCon.scalar(sql, p).toString();
}

inline int count(const QString& sql, const qm::Params& p = {}) { return frdm->ADOCon.scalar(sql, p).toInt(); }

}
