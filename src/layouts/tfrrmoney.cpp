#include "layouts/tfrrmoney.h"
#include "layouts/tfrrindetail.h"
#include "data/tfrdm.h"

using namespace qm::report;

namespace {
// The receipt names the customer and its address (the header's remark), the
// payment the supplier and its address.
void moneyLayout(Layout& r, qm::Dataset* h, qm::Dataset* rows, bool receipt)
{
    documentHead(r, h, receipt ? QStringLiteral("顾客名称:") : QStringLiteral("供应商名:"),
                 receipt ? QStringLiteral("remark") : QStringLiteral("addr"));
    documentBody(r, h, rows,
                 {{QStringLiteral("银行编号"), "sphh", 30},
                  {QStringLiteral("银行名称"), "spmc", 58},
                  {QStringLiteral("金额"), "amount", 34, Align::Right},
                  {QStringLiteral("扣除金额"), "deduck", 34, Align::Right},
                  {QStringLiteral("累计结余"), "rest", 34, Align::Right}},
                 {{QStringLiteral("上期余额:"), "balance"},
                  {QStringLiteral("本次金额:"), "amount"},
                  {QStringLiteral("扣除金额:"), "deduck"},
                  {QStringLiteral("结余:"), "rest"}},
                 receipt ? QStringLiteral("收款人：") : QStringLiteral("付款人："));
    r.summary().field(130, 10, 60, 6, frdm->ATcompany, "tel");
}
}

Tfrrgetdetail::Tfrrgetdetail(qm::Dataset* header, qm::Dataset* rows) { moneyLayout(*this, header, rows, true); }

Tfrrputdetail::Tfrrputdetail(qm::Dataset* header, qm::Dataset* rows) { moneyLayout(*this, header, rows, false); }
