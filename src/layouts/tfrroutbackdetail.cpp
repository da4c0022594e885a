#include "layouts/tfrroutbackdetail.h"
#include "data/tfrdm.h"
#include "layouts/tfrrindetail.h"

using namespace qm::report;

Tfrroutbackdetail::Tfrroutbackdetail(qm::Dataset* h, qm::Dataset* rows)
{
    const double y = goodsBody(*this, h, rows, QStringLiteral("顾客名称:"), "remark",
                               {{QStringLiteral("货品代码"), "sphh", 26},
                                {QStringLiteral("货品名称"), "spmc", 48},
                                {QStringLiteral("规格型号"), "remark", 24},
                                {QStringLiteral("单位"), "unit", 14},
                                {QStringLiteral("数量"), "sl", 22, Align::Right},
                                {QStringLiteral("单价"), "dj_n", 26, Align::Right},
                                {QStringLiteral("金额"), "amount", 30, Align::Right}},
                               {{QStringLiteral("上期余额:"), "balance"},
                                {QStringLiteral("合计数量:"), "hjsl"},
                                {QStringLiteral("本次金额:"), "amount"},
                                {QStringLiteral("扣除金额:"), "deduck"},
                                {QStringLiteral("结余:"), "rest"}},
                               QStringLiteral("收货人："));
    summary().label(122, y, 28, 6, QStringLiteral("送货人："));
    summary().field(150, y, 40, 6, frdm->ATcompany, "tel");
}
