#include "layouts/tfrroutbackdetail.h"
#include "data/tfrdm.h"
#include "layouts/tfrrindetail.h"

using namespace qm::report;

Tfrroutbackdetail::Tfrroutbackdetail(qm::Dataset* h, qm::Dataset* rows)
{
    setDataset(rows);
    documentHead(*this, h, QStringLiteral("顾客名称:"), "remark");

    addColumns({{QStringLiteral("货品代码"), "sphh", 26},
                {QStringLiteral("货品名称"), "spmc", 48},
                {QStringLiteral("规格型号"), "remark", 24},
                {QStringLiteral("单位"), "unit", 14},
                {QStringLiteral("数量"), "sl", 22, Align::Right},
                {QStringLiteral("单价"), "dj_n", 26, Align::Right},
                {QStringLiteral("金额"), "amount", 30, Align::Right}});

    Band& s = summary(24);
    auto total = [&s, h](double x, double y, double w, const QString& caption, const QString& field) {
        s.label(x, y, 20, 6, caption);
        s.field(x + 20, y, w - 20, 6, h, field).right();
    };
    total(0, 2, 48, QStringLiteral("上期余额:"), "balance");
    total(50, 2, 44, QStringLiteral("合计数量:"), "hjsl");
    total(96, 2, 46, QStringLiteral("本次金额:"), "amount");
    total(144, 2, 46, QStringLiteral("扣除金额:"), "deduck");
    total(0, 9, 48, QStringLiteral("结余:"), "rest");
    s.label(0, 17, 16, 6, QStringLiteral("制表人:"));
    s.label(16, 17, 40, 6, QString()).named("preparer");
    s.label(60, 17, 40, 6, QStringLiteral("收货人："));
    s.label(102, 17, 40, 6, QStringLiteral("送货人："));
    s.field(144, 17, 46, 6, frdm->ATcompany, "tel");
}
