// The receipt (收款单): money received from a customer into cash and bank accounts.
#include "documents/moneydoc.h"
#include "layouts/tfrrmoney.h"

namespace qm::doc {

namespace {
std::vector<HeaderBox> customerBoxes(bool posted)
{
    const bool e = !posted;
    return {
        {"Edit1", "intno", QStringLiteral("单号"), false, true, -1, 10, {}},
        {"Edit2", "customerid", QStringLiteral("客户号"), e, true, -1, 10, QStringLiteral("单击进入客户表选取"), true},
        {"Edit3", "customername", QStringLiteral("客户名"), e, true, -1, 40, {}},
        {"Edit4", "persondeal", QStringLiteral("联系人"), e, true, -1, 8, {}},
        {"Edit6", "billdate", QStringLiteral("日期"), false, true, -1, 0, posted ? QString() : QStringLiteral("双击选取日期")},
        {"Edit9", "remark", QStringLiteral("地址"), true, true, -1, 60, {}},
        {"Edit16", "employeename", QStringLiteral("负责人"), true, true, -1, 10, QStringLiteral("双击进入员工表")},
        {"Edit10", "djh", QStringLiteral("单据号"), false, false},
        {"Edit7", "balance", QStringLiteral("上期结余"), false, true, 2},
        {"Edit5", "amount", QStringLiteral("金额合计"), false, true, 2},
        {"Edit15", "deduck", QStringLiteral("扣除金额"), false, true, 2},
        {"Edit8", "rest", QStringLiteral("累计结余"), false, true, 2},
    };
}
}

DocDesc makeReceipt()
{
    DocDesc d = makeMoneyDocument(true);
    d.kind = DocKind::Receipt;
    d.headerTable = QStringLiteral("getlist");
    d.detailTable = QStringLiteral("getdetail");
    d.billType = QStringLiteral("13");
    d.billName = QStringLiteral("收款单");
    d.pickCode = 13;
    d.headerBillType = false;

    PartyDesc& p = d.party;
    p.table = QStringLiteral("customer");
    p.entryColumn = QStringLiteral("id");
    p.notFound = QStringLiteral("查无此客户号！");
    p.notFoundOnPost = p.notFound;
    p.notFoundOnReverse = QStringLiteral("查无此客户号,不能冲数！");
    p.noneChosen = QStringLiteral("没有选取客户,不能过帐！");
    p.addressIntoRemark = true;
    p.pickOnClick = true;
    p.lookupColumns = {QStringLiteral("customerintno"), QStringLiteral("tel"), QStringLiteral("balance")};

    Texts& t = d.texts;
    t.entryClass = "Tfrgetdetail";
    t.entryInstance = "frgetdetail";
    t.entryCaption = QStringLiteral("收款明细单");
    t.postedClass = "Tfrfgetdetail";
    t.postedInstance = "frfgetdetail";
    t.postedCaption = QStringLiteral("收款明细单(已过帐)");
    t.layoutClass = "Tfrrgetdetail";
    t.listInstance = "frgetlist";
    t.gridHint = QStringLiteral("双击可进入选取现金银行资料");
    t.postedGridHint = t.gridHint;

    d.boxes = customerBoxes(false);
    d.postedBoxes = customerBoxes(true);
    d.makeLayout = [](const PrintContext& c) -> std::unique_ptr<report::Layout> {
        return std::make_unique<Tfrrgetdetail>(c.header, c.rows);
    };
    return d;
}

const DocDesc& receiptDesc() { return docDesc(DocKind::Receipt); }

static const bool registered = registerKind(makeReceipt());

}
