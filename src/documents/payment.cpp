// The payment (付款单): money paid to a supplier out of cash and bank accounts.
#include "documents/moneydoc.h"
#include "documents/purchase.h"

namespace qm::doc {

DocDesc makePayment()
{
    DocDesc d = makeMoneyDocument(false);
    d.headerBillType = true;

    d.party = supplierParty();
    d.party.notFoundOnPost = QStringLiteral("查无此供应商号,不能过帐！");

    d.texts.gridHint = QStringLiteral("双击某列可进入下级表");
    // 摘要 names the accounts the money went through.
    d.texts.summaryPrefix = QStringLiteral("付款现金银行:");

    auto boxes = [](bool posted) {
        std::vector<HeaderBox> v = supplierHeaderBoxes(posted, supplierNameLabel());
        for (const HeaderBox& b : moneyTotalBoxes()) v.push_back(b);
        return v;
    };
    d.boxes = boxes(false);
    d.postedBoxes = boxes(true);
    return d;
}

const DocDesc& paymentDesc() { return docDesc(DocKind::Payment); }

static const bool registered = registerKind(makePayment());

}
