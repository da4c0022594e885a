#include "layouts/tfrrproduct.h"
#include "common/formats.h"
#include "data/tfrdm.h"

using namespace qm::report;

Band& productListHead(Layout& r, const QString& title)
{
    Band& head = companyHead(r, frdm->ATcompany, title);
    head.system(120, 17, 70, 5, SystemData::PrintDate).text(QStringLiteral("打印日期:%1")).right();
    return head;
}

Tfrrproduct::Tfrrproduct(qm::Dataset* products, bool withTotals)
{
    setPaper(Paper::a4Portrait());
    setDataset(products);
    productListHead(*this, QStringLiteral("库存商品情况表"));
    // The columns are named column0 to column8 (headings column0Caption ...).
    std::vector<Column> cols = {{QStringLiteral("货品代码"), QStringLiteral("sphh"), 22},
                                {QStringLiteral("品名规格"), QStringLiteral("spmc"), 50},
                                {QStringLiteral("进货量"), QStringLiteral("sl_in_y"), 16, Align::Right},
                                {QStringLiteral("出货量"), QStringLiteral("sl_out_y"), 16, Align::Right},
                                {QStringLiteral("自定进价"), QStringLiteral("dj_w"), 16, Align::Right},
                                {QStringLiteral("最近进价"), QStringLiteral("dj_n"), 16, Align::Right},
                                {QStringLiteral("零售价"), QStringLiteral("spmz"), 18, Align::Right},
                                {QStringLiteral("批发价"), QStringLiteral("spzz"), 18, Align::Right},
                                {QStringLiteral("库存量"), QStringLiteral("sl"), 18, Align::Right}};
    for (size_t i = 0; i < cols.size(); ++i) cols[i].cellName = QStringLiteral("column%1").arg(i);
    addColumns(cols);
    auto& sum = summary(10);
    sum.label(0, 2, 30, 6, QStringLiteral("库存数量合计:")).named(QStringLiteral("SummaryCaption1"));
    sum.label(90, 2, 30, 6, QStringLiteral("库存金额合计:")).named(QStringLiteral("SummaryCaption2"));
    if (withTotals) {
        sum.field(30, 2, 50, 6, frdm->AQtotallist, QStringLiteral("hjsl")).named(QStringLiteral("SummaryValue1"));
        sum.field(120, 2, 60, 6, frdm->AQtotallist, QStringLiteral("rest")).named(QStringLiteral("SummaryValue2"));
    }
}

Tfrrproducts::Tfrrproducts(qm::Dataset* products) : products_(products)
{
    setPaper(Paper::a4Portrait());
    companyHead(*this, frdm->ATcompany, QStringLiteral("商品资料"), {.height = 18});
    const double widths[4] = {15, 28, 10, 10};
    const QString captions[4] = {QStringLiteral("货品代码"), QStringLiteral("货品名称"), QStringLiteral("价格"),
                                 QStringLiteral("备注")};
    double x = 0;
    for (int g = 0; g < 3; ++g) {
        std::vector<Column> group;
        for (int i = 0; i < 4; ++i)
            group.push_back({captions[i], {}, widths[i], i == 2 ? Align::Right : Align::Left,
                             QStringLiteral("cell%1").arg(g * 4 + i), Left | Right | Bottom});
        addColumns(group, x);
        for (double w : widths) x += w;
        x += 0.3;
    }
    needData = [this]() {
        if (!products_ || !products_->active()) return false;
        // The next preparation starts again at the first product.
        auto done = [this]() { started_ = false; return false; };
        if (!started_) {
            products_->first();
            started_ = true;
        }
        for (int i = 0; i < 12; ++i) setCaption(QStringLiteral("cell%1").arg(i), QString());
        if (products_->eof() || products_->isEmpty()) return done();
        for (int g = 0; g < 3 && !products_->eof(); ++g) {
            setCaption(QStringLiteral("cell%1").arg(g * 4), products_->asString("sphh"));
            setCaption(QStringLiteral("cell%1").arg(g * 4 + 1), products_->asString("spmc"));
            setCaption(QStringLiteral("cell%1").arg(g * 4 + 2), qm::formatFloat(QString(), products_->asFloat("spmz")));
            setCaption(QStringLiteral("cell%1").arg(g * 4 + 3), products_->asString("bz"));
            products_->next();
        }
        return true;
    };
}
