#include "layouts/tfrrproduct1.h"
#include "layouts/tfrrproduct.h"

using namespace qm::report;

Tfrrproduct1::Tfrrproduct1(qm::Dataset* products)
{
    setPaper(Paper::a4Portrait());
    setDataset(products);
    productListHead(*this, QStringLiteral("库存商品盘点表"));
    std::vector<Column> cols = {{QStringLiteral("货品代码"), QStringLiteral("sphh"), 26},
                                {QStringLiteral("品名规格"), QStringLiteral("spmc"), 64}};
    for (int i = 0; i < 4; ++i) cols.push_back({QString(), QString(), 25, Align::Right, QStringLiteral("count%1").arg(i)});
    addColumns(cols, 0, 7, 7);
}
