#pragma once
// Document rows written straight into the tables, as posting (or the
// front-desk program) leaves them, for the report tests.
#include "data/tfrdm.h"
#include "support/fixture.h"
#include <QStringList>
#include <QVariantMap>

namespace reporttest {

// The bill type and name of each row table.
inline QPair<QString, QString> billOf(const QString& table)
{
    if (table == "indetail" || table == "inlist") return {"02", "进货单"};
    if (table == "inbackdetail" || table == "inbacklist") return {"06", "进货退货单"};
    if (table == "putdetail" || table == "putlist") return {"14", "付款单"};
    if (table == "outdetail" || table == "outlist") return {"01", "销售单"};
    if (table == "outbackdetail" || table == "outbacklist") return {"05", "销售退货单"};
    return {"13", "收款单"};
}

enum class State { Posted, Unposted, Reversed };

// One row: `values` override the defaults (posted, the bill type of the table,
// numbered in order of writing).
inline void row(const QString& table, const QString& billdate, const QVariantMap& values, State s = State::Posted)
{
    static int next = 0;
    QVariantMap v;
    v["intno"] = QString("%1").arg(++next, 10, 10, QChar('0'));
    if (table.endsWith("detail")) v["mainintno"] = "0000000001";
    v["billdate"] = billdate.size() == 10 ? billdate + " 00:00:00" : billdate;
    v["billtype"] = billOf(table).first;
    v["billname"] = billOf(table).second;
    v["pass"] = s != State::Unposted ? 1 : 0;
    v["cancel"] = s == State::Reversed ? 1 : 0;
    for (auto it = values.begin(); it != values.end(); ++it) v[it.key()] = it.value();
    QStringList cols, marks;
    qm::Params p;
    int i = 0;
    for (auto it = v.begin(); it != v.end(); ++it) {
        cols << it.key();
        marks << QString(":v%1").arg(i);
        p.append({QString("v%1").arg(i++), it.value()});
    }
    frdm->ADOCon.exec(QString("INSERT INTO %1 (%2) VALUES (%3)").arg(table, cols.join(','), marks.join(',')), p);
}

inline double num(const QString& sql, const qm::Params& p = {}) { return frdm->ADOCon.scalar(sql, p).toDouble(); }

// The texts of one column of a dataset, first to last.
inline QStringList column(qm::Dataset* ds, const QString& field)
{
    QStringList out;
    for (int r = 0; r < ds->recordCount(); ++r) out << ds->displayText(r, ds->fieldIndex(field));
    return out;
}

}
