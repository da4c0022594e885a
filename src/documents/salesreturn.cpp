// The sales return (销售退货单): goods a customer brings back, at the sale's
// prices; no account and no cash.
#include "documents/sale.h"
#include "layouts/tfrroutbackdetail.h"

namespace qm::doc {

DocDesc makeSalesReturn()
{
    DocDesc d = customerGoods();
    d.kind = DocKind::SalesReturn;
    d.headerTable = QStringLiteral("outbacklist");
    d.detailTable = QStringLiteral("outbackdetail");
    d.billType = QStringLiteral("05");
    d.billName = QStringLiteral("销售退货单");
    d.pickCode = 5;
    d.defaultAccount = false;
    d.running = Running::FirstRowRest;
    d.writesDjh = true;

    d.rowCopies = {"billdate", "customerid", "customername", "djh"};
    d.effects = {
        // The customer is owed the return's amount; reversal adds it back.
        {Target::Party, "balance", Apply::Add, {{-1, Source::HeadAmount}}, {}},
        {Target::Party, "amount", Apply::Add, {{-1, Source::HeadAmount}}, {}},
        {Target::Party, "amount_y", Apply::Add, {{-1, Source::HeadAmount}}, {}},
        // The goods come back into stock.
        {Target::Product, "sl", Apply::Add, {{1, Source::RowQty}}, {}},
        {Target::Product, "sl_out_m", Apply::Add, {{-1, Source::RowQty}}, {}},
        {Target::Product, "sl_out_y", Apply::Add, {{-1, Source::RowQty}}, {}},
    };
    d.warnOnPost = StockWarning::None;
    d.warnOnReverse = StockWarning::AllRows;
    d.afterEffects = [](Connection& c, const Header& h, bool reversing) {
        if (reversing) return;
        storeClosingBalance(c, salesReturnDesc(), h);
    };

    Texts& t = d.texts;
    t.entryClass = "Tfroutbackdetail";
    t.entryInstance = "froutbackdetail";
    t.entryCaption = QStringLiteral("销售退货明细单");
    t.postedClass = "Tfrfoutbackdetail";
    t.postedInstance = "frfoutbackdetail";
    t.postedCaption = QStringLiteral("销售退货明细单(已过帐)");
    t.layoutClass = "Tfrroutbackdetail";
    t.listInstance = "froutbacklist";
    t.statusPanels = {QStringLiteral("商品明细表中的第一行为上期结转行,不能删除或输入商品,否则该单应作废。"),
                      QStringLiteral("单击“新增或删除”按钮,则可在明细表中增加或删除商品。")};
    t.gridHint = QStringLiteral("双击可进入商品表选取商品");
    t.codeHint = QStringLiteral("输入货品代码后按回车键则自动录入商品,单价为默认超市价");
    d.grid[0].title.clear();
    d.recalcOnOpen = true;
    d.codeBoxDown = QStringLiteral("unit");
    d.postedGrid[0].title.clear();

    auto boxes = [](bool posted) {
        const bool e = !posted;
        std::vector<HeaderBox> v{
            {"Edit1", "intno", QStringLiteral("单号"), false, true, -1, 10, {}},
            {"Edit2", "customerid", QStringLiteral("客户号"), e, true, -1, 10, posted ? QString() : QStringLiteral("单击进入客户表选取"), true},
            {"Edit3", "customername", QStringLiteral("客户名"), e, true, -1, 40, {}},
            {"Edit4", "persondeal", QStringLiteral("联系人"), e, true, -1, 8, {}},
            {"Edit16", "employeename", QStringLiteral("负责人"), e, true, -1, 10, posted ? QString() : QStringLiteral("双击进入员工表")},
            {"Edit6", "billdate", QStringLiteral("日期"), false, true, -1, 0, {}},
            {"Edit9", "remark", QStringLiteral("地址"), e, true, -1, 60, {}},
            {"Edit5", "amount", QStringLiteral("金额合计"), false, true, 2},
            {"Edit14", "hjsl", QStringLiteral("合计数量"), false, true, 0},
            {"Edit10", "djh", QStringLiteral("单据号"), false, false},
            {"Edit7", "balance", QStringLiteral("上期结余"), false, false, 2},
            {"Edit8", "rest", QStringLiteral("累计结余"), false, false, 2},
            {"Edit11", "hjjs", QStringLiteral("合计件数"), false, false, 0},
            {"Edit13", "hjss", QStringLiteral("合计箱数"), false, false, 0}};
        return v;
    };
    d.boxes = boxes(false);
    d.postedBoxes = boxes(true);

    d.makeLayout = [](const PrintContext& p) -> std::unique_ptr<report::Layout> {
        return std::make_unique<Tfrroutbackdetail>(p.header, p.rows);
    };
    return d;
}

const DocDesc& salesReturnDesc() { return docDesc(DocKind::SalesReturn); }

static const bool registered = registerKind(makeSalesReturn());

}
