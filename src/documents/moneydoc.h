#pragma once
// The receipt (收款单) and the payment (付款单) are twins: rows are cash and
// bank accounts with the money and a deduction, the running balance falls by
// both, posting sets the partner's balance and counters and moves each row's
// money into or out of its account. makeMoneyDocument builds what they share;
// receipt.cpp and payment.cpp add what sets each apart.
#include "documents/dockind.h"

namespace qm::doc {

// The shared description; `receipt` picks the customer side (money in) or
// the supplier side (money out) of the account effects.
DocDesc makeMoneyDocument(bool receipt);
// The hidden 单据号 and the four totals, after the partner's boxes.
std::vector<HeaderBox> moneyTotalBoxes();

DocDesc makeReceipt();
DocDesc makePayment();
const DocDesc& receiptDesc();
const DocDesc& paymentDesc();
}
