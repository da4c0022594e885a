// The receipt (收款单): money received from a customer into cash and bank accounts.
#include "documents/moneydoc.h"

namespace qm::doc {

namespace {
std::vector<HeaderBox> customerBoxes(bool posted)
{
    const bool e = !posted;
    std::vector<HeaderBox> v = {
        {"Edit1", "intno", QStringLiteral("单号"), false, true, -1, {}},
        {"Edit2", "customerid", QStringLiteral("客户号"), e, true, -1, QStringLiteral("单击进入客户表选取"), true},
        {"Edit3", "customername", QStringLiteral("客户名"), e, true, -1, {}},
        {"Edit4", "persondeal", QStringLiteral("联系人"), e, true, -1, {}},
        {"Edit6", "billdate", QStringLiteral("日期"), false, true, -1, posted ? QString() : QStringLiteral("双击选取日期")},
        {"Edit9", "remark", QStringLiteral("地址"), true, true, -1, {}},
        {"Edit16", "employeename", QStringLiteral("负责人"), true, true, -1, QStringLiteral("双击进入员工表")},
    };
    for (const HeaderBox& b : moneyTotalBoxes()) v.push_back(b);
    return v;
}
}

DocDesc makeReceipt()
{
    DocDesc d = makeMoneyDocument(true);
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

    d.texts.gridHint = QStringLiteral("双击可进入选取现金银行资料");
    d.texts.postedGridHint = d.texts.gridHint;

    d.boxes = customerBoxes(false);
    d.postedBoxes = customerBoxes(true);
    return d;
}

const DocDesc& receiptDesc() { return docDesc(DocKind::Receipt); }

static const bool registered = registerKind(makeReceipt());

}
