#include "layouts/tfrrmoney.h"
#include "data/tfrdm.h"

using namespace qm::report;

namespace {
// The receipt names the customer and its address (the header's remark), the
// payment the supplier and its address.
void moneyLayout(Layout& r, qm::Dataset* h, qm::Dataset* rows, bool receipt)
{
    r.setDataset(rows);
    Band& b = r.pageHeader(30);
    b.label(0, 0, 190, 9, QString()).named("title").pt(15).bold().center();
    b.label(0, 12, 20, 6, receipt ? QStringLiteral("顾客名称:") : QStringLiteral("供应商名:"));
    b.field(20, 12, 70, 6, h, "customername");
    b.label(92, 12, 20, 6, QStringLiteral("联系电话:"));
    b.field(112, 12, 35, 6, h, "tel");
    b.label(148, 12, 12, 6, QStringLiteral("单号:"));
    b.field(160, 12, 30, 6, h, "intno");
    b.label(0, 19, 20, 6, QStringLiteral("联系地址:"));
    b.field(20, 19, 70, 6, h, receipt ? "remark" : "addr");
    b.label(92, 19, 12, 6, QStringLiteral("日期:"));
    b.field(104, 19, 40, 6, h, "billdate");
    b.system(148, 19, 18, 6, SystemData::PageNumber).text(QStringLiteral("第%1页"));
    b.label(166, 19, 24, 6, QString()).named("pagecount");

    r.addColumns({{QStringLiteral("银行编号"), "sphh", 30},
                  {QStringLiteral("银行名称"), "spmc", 58},
                  {QStringLiteral("金额"), "amount", 34, Align::Right},
                  {QStringLiteral("扣除金额"), "deduck", 34, Align::Right},
                  {QStringLiteral("累计结余"), "rest", 34, Align::Right}});

    Band& s = r.summary(24);
    auto total = [&s, h](double x, double y, const QString& caption, const char* field) {
        s.label(x, y, 20, 6, caption);
        s.field(x + 20, y, 26, 6, h, field).right();
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
