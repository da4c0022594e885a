// The purchase return (进货退货单): goods sent back to a supplier.
#include "documents/purchase.h"
#include "layouts/tfrrindetail.h"

namespace qm::doc {

DocDesc makePurchaseReturn()
{
    DocDesc d = supplierGoods(DocKind::PurchaseReturn, QStringLiteral("inback"), QStringLiteral("06"),
                              QStringLiteral("进货退货单"));
    d.running = Running::MinusAmount;
    d.zeroDeduck = true;
    d.writesDjh = true;

    d.rowCopies = {"billdate", "customerid", "customername", "djh"};
    d.effects = {
        {Target::Party, "balance", Apply::Add, {{1, Source::HeadChange}}, std::vector<Term>{{1, Source::HeadAmount}}},
        {Target::Party, "amount", Apply::Add, {{-1, Source::HeadAmount}}, {}},
        {Target::Party, "amount_y", Apply::Add, {{-1, Source::HeadAmount}}, {}},
        {Target::Product, "sl", Apply::Add, {{-1, Source::RowQty}}, {}},
        {Target::Product, "sl_in_m", Apply::Add, {{-1, Source::RowQty}}, {}},
        {Target::Product, "sl_in_y", Apply::Add, {{-1, Source::RowQty}}, {}},
    };
    d.warnOnPost = StockWarning::AllRows;
    d.warnOnReverse = StockWarning::None;

    Texts& t = d.texts;
    t.entryCaption = QStringLiteral("进货退货明细单");
    t.postedCaption = QStringLiteral("进货退货明细单(已过帐)");
    t.summaryPrefix = QStringLiteral("退货商品:");

    auto tail = [](std::vector<HeaderBox> v, bool posted) {
        v[4].hint = posted ? QString() : QStringLiteral("双击某列可选取");
        v.push_back({"Edit7", "balance", QStringLiteral("上期结余"), false, true, 2});
        v.push_back({"Edit5", "amount", posted ? QStringLiteral("金额合计") : QStringLiteral("合计金额"), false, true, 2});
        v.push_back({"Edit8", "rest", QStringLiteral("累计结余"), false, true, 2});
        v.push_back({"Edit14", "hjsl", QStringLiteral("合计数量"), false, true, 0});
        v.push_back({"Edit10", "djh", QStringLiteral("单据号"), false, false});
        v.push_back({"Edit11", "hjjs", QStringLiteral("合计件数"), false, false, 0});
        v.push_back({"Edit13", "hjss", QStringLiteral("合计箱数"), false, false, 0});
        v.push_back({"Edit15", "deduck", QStringLiteral("扣除金额"), false, false, 2});
        return v;
    };
    d.boxes = tail(supplierHeaderBoxes(false), false);
    d.postedBoxes = tail(supplierHeaderBoxes(true), true);

    d.grid = {{"sphh", {}, true},
              {"spmc", QStringLiteral("品名规格"), true},
              {"unit", {}, true},
              {"sl", {}, false},
              {"dj_w", {}, false},
              {"amount", {}, true},
              {"rest", {}, true},
              {"remark", QStringLiteral("备注"), false}};
    readOnlyCopyOfGrid(d);
    d.recalcColumns = {"sl", "dj_w"};
    d.gridEnter = {{"sl", "add"}, {"dj_w", "next"}};
    d.makeLayout = [](const PrintContext& p) -> std::unique_ptr<report::Layout> {
        return std::make_unique<Tfrrinbackdetail>(p.header, p.rows);
    };
    return d;
}

const DocDesc& purchaseReturnDesc() { return docDesc(DocKind::PurchaseReturn); }

static const bool registered = registerKind(makePurchaseReturn());

}
