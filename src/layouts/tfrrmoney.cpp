#include "layouts/tfrrmoney.h"
#include "layouts/tfrrindetail.h"
#include "data/tfrdm.h"

using namespace qm::report;

namespace {
// The receipt names the customer and its address (the header's remark), the
// payment the supplier and its address.
void moneyLayout(Layout& r, qm::Dataset* h, qm::Dataset* rows, bool receipt)
{
    r.setDataset(rows);
    documentHead(r, h, receipt ? QStringLiteral("顾客名称:") : QStringLiteral("供应商名:"),
                 receipt ? QStringLiteral("remark") : QStringLiteral("addr"));

    r.addColumns({{QStringLiteral("银行编号"), "sphh", 30},
                  {QStringLiteral("银行名称"), "spmc", 58},
                  {QStringLiteral("金额"), "amount", 34, Align::Right},
                  {QStringLiteral("扣除金额"), "deduck", 34, Align::Right},
                  {QStringLiteral("累计结余"), "rest", 34, Align::Right}});

    Band& s = r.summary(24);
    auto total = [&s, h](double x, double y, const QString& caption, const char* field) {
        documentTotal(s, x, y, 46, caption, h, QString::fromLatin1(field));
    };
    total(0, 2, QStringLiteral("上期余额:"), "balance");
    total(48, 2, QStringLiteral("本次金额:"), "amount");
    total(96, 2, QStringLiteral("扣除金额:"), "deduck");
    total(144, 2, QStringLiteral("结余:"), "rest");
    s.label(0, 10, 16, 6, QStringLiteral("制表人:"));
    s.label(16, 10, 40, 6, QString()).named("preparer");
    s.label(70, 10, 50, 6, receipt ? QStringLiteral("收款人：") : QStringLiteral("付款人："));
    s.field(130, 10, 60, 6, frdm->ATcompany, "tel");
}
}

Tfrrgetdetail::Tfrrgetdetail(qm::Dataset* header, qm::Dataset* rows) { moneyLayout(*this, header, rows, true); }

Tfrrputdetail::Tfrrputdetail(qm::Dataset* header, qm::Dataset* rows) { moneyLayout(*this, header, rows, false); }
