#include "layouts/tfrrproduct1.h"
#include "data/tfrdm.h"

using namespace qm::report;

Tfrrproduct1::Tfrrproduct1(qm::Dataset* products)
{
    setPaper(Paper::a4Portrait());
    setDataset(products);
    companyHead(*this, frdm->ATcompany, QStringLiteral("库存商品盘点表"))
        .system(120, 17, 70, 5, SystemData::PrintDate)
        .text(QStringLiteral("打印日期:%1"))
        .right();
    std::vector<Column> cols = {{QStringLiteral("货品代码"), QStringLiteral("sphh"), 26},
                                {QStringLiteral("品名规格"), QStringLiteral("spmc"), 64}};
    for (int i = 0; i < 4; ++i) cols.push_back({QString(), QString(), 25, Align::Right, QStringLiteral("count%1").arg(i)});
    addColumns(cols, 0, 7, 7);
}
