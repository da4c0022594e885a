#pragma once
// A quick way to add products in the tests.
#include "data/connection.h"
#include "common/formats.h"
#include "data/numbering.h"
#include <QDate>

namespace qmtest {

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
    const QString intno = qm::zeroPad(n.toLongLong() + 1, 8);
    c.exec("INSERT INTO product (intno,sphh,spmc,spgg,sl,enddate,splb,branchname,spmz,dj_w) "
           "VALUES (:i,:c,:m,:g,:s,:e,:l,:b,:z,:w)",
           {{"i", intno}, {"c", p.sphh}, {"m", p.spmc}, {"g", p.spgg}, {"s", p.sl},
            {"e", p.enddate.isEmpty() ? QVariant() : QVariant(p.enddate + " 00:00:00")},
            {"l", p.splb}, {"b", p.branchname}, {"z", p.spmz}, {"w", p.dj_w}});
}

}
