#include "layouts/tfrrproduct_b.h"
#include "layouts/tfrrproduct.h"

using namespace qm::report;

Tfrrproduct_b::Tfrrproduct_b(qm::Dataset* products)
{
    setPaper(Paper::a4Portrait());
    setDataset(products);
    productListHead(*this, QStringLiteral("库存商品期初情况表"));
    addColumns({{QStringLiteral("货品代码"), QStringLiteral("sphh"), 22},
                {QStringLiteral("品名规格"), QStringLiteral("spmc"), 48},
                {QStringLiteral("进货量"), QStringLiteral("sl_in_y"), 15, Align::Right},
                {QStringLiteral("出货量"), QStringLiteral("sl_out_y"), 15, Align::Right},
                {QStringLiteral("库存量"), QStringLiteral("sl"), 15, Align::Right},
                {QStringLiteral("自定进价"), QStringLiteral("dj_w"), 18, Align::Right},
                {QStringLiteral("最近进价"), QStringLiteral("dj_n"), 18, Align::Right},
                {QStringLiteral("零售价"), QStringLiteral("spmz"), 18, Align::Right},
                {QStringLiteral("期初数"), QStringLiteral("rest"), 21, Align::Right}});
}
