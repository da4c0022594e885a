// The purchase (进货单): goods in from a supplier, paid in part through an account.
#include "documents/purchase.h"
#include "layouts/tfrrindetail.h"

namespace qm::doc {

namespace {
const QString kSupplierNotFound = QStringLiteral("查无此供应商号！");

Effect add(Target t, const QString& column, std::vector<Term> terms) { return {t, column, Apply::Add, std::move(terms), {}}; }
}

PartyDesc supplierParty()
{
    PartyDesc p;
    p.table = QStringLiteral("branch");
    p.entryColumn = QStringLiteral("id");
    p.notFound = kSupplierNotFound;
    p.notFoundOnPost = kSupplierNotFound;
    p.notFoundOnReverse = QStringLiteral("查无此供应商号,不能冲数！");
    p.noneChosen = QStringLiteral("没有选取供应商,不能过帐！");
    return p;
}

std::vector<HeaderBox> supplierHeaderBoxes(bool posted, const QString& nameLabel)
{
    const bool e = !posted;
    return {
        {"Edit1", "intno", QStringLiteral("单号"), false, true, -1, {}},
        {"Edit2", "customerid", QStringLiteral("供应商号"), e, true, -1, QStringLiteral("双击进入供应商表选取"), true},
        {"Edit3", "customername", nameLabel, e, true, -1, {}},
        {"Edit4", "persondeal", QStringLiteral("联系人"), e, true, -1, {}},
        {"Edit6", "billdate", QStringLiteral("日期"), false, true, -1, QStringLiteral("双击选取日期")},
        {"Edit9", "remark", QStringLiteral("摘要"), true, true, -1, {}},
        {"Edit16", "employeename", QStringLiteral("负责人"), true, true, -1, QStringLiteral("双击进入员工表")},
    };
}

DocDesc supplierGoods(DocKind kind, const QString& prefix, const QString& billType, const QString& billName)
{
    DocDesc d;
    d.kind = kind;
    d.headerTable = prefix + QStringLiteral("list");
    d.detailTable = prefix + QStringLiteral("detail");
    d.billType = billType;
    d.billName = billName;
    d.party = supplierParty();
    d.pickCode = int(kind);
    d.carriedForward = true;
    d.rowAmount = RowAmount::QtyTimesPrice;
    d.headerRest = HeaderRest::LastRunning;
    d.deleteAsks = true;
    Texts& t = d.texts;
    t.entryInstance = QStringLiteral("fr") + prefix + QStringLiteral("detail");
    t.entryClass = QStringLiteral("T") + t.entryInstance;
    t.postedInstance = QStringLiteral("frf") + prefix + QStringLiteral("detail");
    t.postedClass = QStringLiteral("T") + t.postedInstance;
    t.layoutClass = QStringLiteral("Tfrr") + prefix + QStringLiteral("detail");
    t.listInstance = QStringLiteral("fr") + prefix + QStringLiteral("list");
    t.statusPanels = {QStringLiteral("商品明细表中的第一行为上期结转行,不能删除或输入商品,否则该单应作废。"),
                      QStringLiteral("单击“新增或删除”按钮,则可在明细表中增加或删除商品。")};
    t.gridHint = QStringLiteral("双击可进入商品表选取商品");
    return d;
}

void setGoodsGrid(DocDesc& d, bool payColumn)
{
    d.grid = {{"sphh", {}, true},
              {"spmc", QStringLiteral("品名规格"), true},
              {"unit", {}, true},
              {"sl", {}, false},
              {"dj_w", {}, false},
              {"amount", {}, true}};
    if (payColumn) d.grid.push_back({"pay", QStringLiteral("付款金额"), false});
    d.grid.push_back({"rest", {}, true});
    d.grid.push_back({"remark", QStringLiteral("备注"), false});
    d.postedGrid = d.grid;
    for (GridColumn& g : d.postedGrid) g.readOnly = true;
}

DocDesc makePurchase()
{
    DocDesc d = supplierGoods(DocKind::Purchase, QStringLiteral("in"), QStringLiteral("02"), QStringLiteral("进货单"));
    d.defaultAccount = true;
    d.running = Running::PlusAmountMinusPay;
    d.totalPay = true;
    d.writesBankId = true;

    d.rowCopies = {"billdate", "customerid", "customername", "bankid"};
    d.effects = {
        // The supplier: what the shop owes moves by the document; reversal
        // takes the document's amounts back off.
        {Target::Party, "balance", Apply::Add, {{1, Source::HeadChange}},
         std::vector<Term>{{-1, Source::HeadAmount}, {1, Source::HeadDeduck}, {1, Source::HeadPay}}},
        add(Target::Party, "amount", {{1, Source::HeadAmount}}),
        add(Target::Party, "amount_y", {{1, Source::HeadAmount}}),
        add(Target::Party, "deduck", {{1, Source::HeadDeduck}}),
        add(Target::Party, "deduck_y", {{1, Source::HeadDeduck}}),
        add(Target::Party, "pay", {{1, Source::HeadPay}}),
        add(Target::Party, "pay_y", {{1, Source::HeadPay}}),
        // The paying account.
        add(Target::Account, "balance", {{-1, Source::HeadPay}}),
        add(Target::Account, "pay", {{1, Source::HeadPay}}),
        add(Target::Account, "pay_y", {{1, Source::HeadPay}}),
        // The products; the average is taken before the stock moves.
        {Target::Product, "avdj", Apply::AverageCost, {{1, Source::RowQty}}, {}},
        add(Target::Product, "sl", {{1, Source::RowQty}}),
        add(Target::Product, "sl_in_m", {{1, Source::RowQty}}),
        add(Target::Product, "sl_in_y", {{1, Source::RowQty}}),
        {Target::Product, "dj_n", Apply::Set, {{1, Source::RowPrice}}, {}},
        {Target::Product, "branchname", Apply::Set, {{1, Source::PartyName}}, {}},
    };
    d.warnOnPost = StockWarning::None;
    d.warnOnReverse = StockWarning::RowsAfterFirst;

    Texts& t = d.texts;
    t.entryCaption = QStringLiteral("进货明细单");
    t.postedCaption = QStringLiteral("进货明细单(已过帐)");
    t.summaryPrefix = QStringLiteral("购进商品:");

    auto tail = [](std::vector<HeaderBox> v, bool posted) {
        v.push_back({"Edit10", "bankid", QStringLiteral("银行编号"), !posted, true, -1,
                     posted ? QString() : QStringLiteral("双击进入银行表"), true});
        v.push_back({"Edit7", "balance", QStringLiteral("上期结余"), false, true, 2});
        v.push_back({"Edit5", "amount", posted ? QStringLiteral("金额合计") : QStringLiteral("合计金额"), false, true, 2});
        v.push_back({"Edit13", "pay", QStringLiteral("付款合计"), false, true, 2});
        v.push_back({"Edit8", "rest", QStringLiteral("累计结余"), false, true, 2});
        v.push_back({"Edit14", "hjsl", QStringLiteral("合计数量"), false, true, 0});
        v.push_back({"Edit11", "hjjs", QStringLiteral("合计件数"), false, false, 0});
        if (posted) v.push_back({"Edit15", "deduck", QStringLiteral("扣除金额"), false, false, 2});
        return v;
    };
    d.boxes = tail(supplierHeaderBoxes(false), false);
    d.postedBoxes = tail(supplierHeaderBoxes(true, supplierNameLabel()), true);

    setGoodsGrid(d, true);
    d.recalcColumns = {"sl", "dj_w", "pay"};
    d.gridEnter = {{"sl", "add"}, {"dj_w", "pay"}, {"pay", "next"}};
    d.historyNumber = true;
    d.newProductButton = true;
    d.codeBoxDown = QStringLiteral("Button1");
    d.makeLayout = [](const PrintContext& p) -> std::unique_ptr<report::Layout> {
        return std::make_unique<Tfrrindetail>(p.header, p.rows);
    };
    return d;
}

const DocDesc& purchaseDesc() { return docDesc(DocKind::Purchase); }

static const bool registered = registerKind(makePurchase());

}
