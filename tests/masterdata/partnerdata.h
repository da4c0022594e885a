#pragma once
// Helpers that fill the partner tables for the tests.
#include "data/tfrdm.h"
#include <QString>

namespace partnertest {

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
