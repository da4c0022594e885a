// The payment (付款单): money paid to a supplier out of cash and bank accounts.
#include "documents/moneydoc.h"
#include "documents/purchase.h"
#include "layouts/tfrrmoney.h"

namespace qm::doc {

DocDesc makePayment()
{
    DocDesc d = makeMoneyDocument(false);
    d.kind = DocKind::Payment;
    d.headerTable = QStringLiteral("putlist");
    d.detailTable = QStringLiteral("putdetail");
    d.billType = QStringLiteral("14");
    d.billName = QStringLiteral("付款单");
    d.pickCode = 14;
    d.headerBillType = true;

    d.party = supplierParty();
    d.party.notFoundOnPost = QStringLiteral("查无此供应商号,不能过帐！");

    Texts& t = d.texts;
    t.entryClass = "Tfrputdetail";
    t.entryInstance = "frputdetail";
    t.entryCaption = QStringLiteral("付款明细单");
    t.postedClass = "Tfrfputdetail";
    t.postedInstance = "frfputdetail";
    t.postedCaption = QStringLiteral("付款明细单(已过帐)");
    t.layoutClass = "Tfrrputdetail";
    t.listInstance = "frputlist";
    t.gridHint = QStringLiteral("双击某列可进入下级表");
    // 摘要 names the accounts the money went through.
    t.summaryPrefix = QStringLiteral("付款现金银行:");

    auto boxes = [](bool posted) {
        std::vector<HeaderBox> v = supplierHeaderBoxes(posted);
        v.push_back({"Edit10", "djh", QStringLiteral("单据号"), false, false});
        v.push_back({"Edit7", "balance", QStringLiteral("上期结余"), false, true, 2});
        v.push_back({"Edit5", "amount", QStringLiteral("金额合计"), false, true, 2});
        v.push_back({"Edit15", "deduck", QStringLiteral("扣除金额"), false, true, 2});
        v.push_back({"Edit8", "rest", QStringLiteral("累计结余"), false, true, 2});
        return v;
    };
    d.boxes = boxes(false);
    d.postedBoxes = boxes(true);
    d.makeLayout = [](const PrintContext& c) -> std::unique_ptr<report::Layout> {
        return std::make_unique<Tfrrputdetail>(c.header, c.rows);
    };
    return d;
}

const DocDesc& paymentDesc() { return docDesc(DocKind::Payment); }

static const bool registered = registerKind(makePayment());

}
