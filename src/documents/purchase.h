#pragma once
// The purchase side's descriptions and the pieces they share with the
// purchase return and the payment (the supplier as party, its header boxes).
#include "documents/dockind.h"

namespace qm::doc {
PartyDesc supplierParty();
// 单号, 供应商号, the name (供货商名 in the goods documents' entry windows),
// 联系人, 日期, 摘要, 负责人 of the supplier documents.
std::vector<HeaderBox> supplierHeaderBoxes(bool posted, const QString& nameLabel = QStringLiteral("供货商名"));
// The name's label in the purchase's posted view and the payment's windows.
inline QString supplierNameLabel() { return QStringLiteral("供应商名"); }

// What the purchase and the purchase return share: tables "<prefix>list" and
// "<prefix>detail", the supplier, the carried-forward row, the window names
// (Tfr<prefix>detail, Tfrf<prefix>detail, Tfrr<prefix>detail), texts and hints.
DocDesc supplierGoods(DocKind kind, const QString& prefix, const QString& billType, const QString& billName);
// The rows' columns of both windows (the posted view's read-only), with the
// 付款金额 column or without it.
void setGoodsGrid(DocDesc& d, bool payColumn);

DocDesc makePurchase();
DocDesc makePurchaseReturn();
// The registered descriptions (referencing them also keeps their files linked).
const DocDesc& purchaseDesc();
const DocDesc& purchaseReturnDesc();
}
