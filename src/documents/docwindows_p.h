#pragma once
// Helpers that the document windows' files share (docwindows.cpp,
// docentrywindow.cpp). Not for use outside the document windows.
#include "common/formats.h"
#include "data/dataset.h"
#include "documents/documentengine.h"

namespace qm::doc::detail {

// The row being entered, from the row query's edit buffer.
inline Row bufferedRow(Dataset* rows)
{
    Row r;
    r.rowid = rows->rowid();
    r.spmc = rows->asString("spmc");
    r.sl = rows->asFloat("sl");
    r.dj_w = rows->asFloat("dj_w");
    r.dj_n = rows->asFloat("dj_n");
    r.rebate = rows->asFloat("rebate");
    r.pay = rows->asFloat("pay");
    r.deduck = rows->asFloat("deduck");
    r.rest = rows->asFloat("rest");
    r.amount = rows->asFloat("amount");
    return r;
}

inline QString fixed(double v, int decimals)
{
    return formatFloat(decimals > 0 ? QStringLiteral("0.") + QString(decimals, QLatin1Char('0')) : QStringLiteral("0"), v);
}

}
