#pragma once
// A shop to post documents in: suppliers, customers, accounts and products,
// and short ways to build a document through the engine.
#include "documents/documentengine.h"
#include "support/fixture.h"
#include <QStringList>

namespace doctest {

inline qm::Connection& db() { return frdm->ADOCon; }

inline double num(const QString& sql, const qm::Params& p = {}) { return db().scalar(sql, p).toDouble(); }
inline QString str(const QString& sql, const qm::Params& p = {}) { return db().scalar(sql, p).toString(); }

inline void supplier(const QString& id, const QString& name, double balance = 0)
{
    db().exec("INSERT INTO branch (intno,id,name,persondeal,tel,addr,balance) VALUES (:i,:i,:n,'王','123','路1号',:b)",
              {{"i", id}, {"n", name}, {"b", balance}});
}

inline void customer(const QString& id, const QString& name, double balance = 0)
{
    db().exec("INSERT INTO customer (intno,id,name,persondeal,tel,addr,balance) VALUES (:i,:i,:n,'李','456','街2号',:b)",
              {{"i", id}, {"n", name}, {"b", balance}});
}

inline void account(const QString& id, const QString& name, double balance = 0)
{
    db().exec("INSERT INTO bank (intno,id,name,balance) VALUES (:i,:i,:n,:b)", {{"i", id}, {"n", name}, {"b", balance}});
}

// A product by its code; intno is the code padded to eight digits.
inline QString product(const QString& sphh, const QString& name, double sl = 0, double avdj = 0, double dj_w = 0,
                       const QString& barcode = QString())
{
    const QString intno = (QStringLiteral("00000000") + sphh).right(8);
    db().exec("INSERT INTO product (intno,sphh,spmc,spbzxh,sl,avdj,dj_w,dj_n,name,spgg,sl_j,spmz,hydj) "
              "VALUES (:i,:c,:m,'个',:s,:a,:w,:w,:b,'PY',1,:w*2,:w*1.5)",
              {{"i", intno}, {"c", sphh}, {"m", name}, {"s", sl}, {"a", avdj}, {"w", dj_w}, {"b", barcode}});
    return intno;
}

inline double productValue(const QString& intno, const QString& column)
{
    return num(QStringLiteral("SELECT %1 FROM product WHERE intno=:i").arg(column), {{"i", intno}});
}

// Fills the document's last row with a product and its quantity, price and payment.
inline void fillLast(const qm::doc::DocDesc& d, const QString& doc, const QString& code, double sl, double price,
                     double pay = 0)
{
    const auto rows = qm::doc::readRows(db(), d, doc);
    qm::doc::enterCode(db(), d, rows.back().intno, code);
    db().exec(QStringLiteral("UPDATE %1 SET sl=:s, dj_w=:p, pay=:y WHERE intno=:i").arg(d.detailTable),
              {{"s", sl}, {"p", price}, {"y", pay}, {"i", rows.back().intno}});
}

inline qm::doc::HeaderInput input(const QString& party, const QString& bank = QStringLiteral("0000000001"))
{
    qm::doc::HeaderInput in;
    in.partyCode = party;
    in.partyName = QStringLiteral("供应商甲");
    in.bankId = bank;
    return in;
}

// Every row of every table, as text: two snapshots are equal when nothing changed.
inline QStringList snapshot()
{
    QStringList out;
    for (const auto& t : db().rows("SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite_%' ORDER BY name")) {
        const QString table = t[0].toString();
        for (const auto& r : db().rows(QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(table))) {
            QStringList cells;
            for (const QVariant& v : r) cells << (v.isNull() ? QStringLiteral("<null>") : v.toString());
            out << table + ":" + cells.join('|');
        }
    }
    return out;
}

}
