#pragma once
// Arithmetic of a sale at the counter: the unit price a customer pays, the row
// amount with its rebate, and the cash tender's amount due and change.
#include <QString>

namespace qm::sale {

// The walk-in retail customer.
inline QString walkInCustomer() { return QStringLiteral("0000000001"); }

// The walk-in customer pays the retail price, every other customer the member
// price. `customerCode` is the code in the 会员号 box, compared trimmed.
double unitPrice(const QString& customerCode, double retailPrice, double memberPrice);

// sl × dj_n × rebate / 100, multiplied in that order (rebate 100 is no rebate).
double rowAmount(double sl, double price, double rebate);

// What the customer owes at the tender: the sale's amount less its deduction.
double amountDue(double amount, double deduck);
// Whether the cash handed over pays the amount due, compared to the cent.
bool cashCovers(double cash, double due);

// Whether `text` may stand in the cash box: digits 0-9 with at most one
// decimal point, or nothing yet.
bool isCashText(const QString& text);
// The value of a cash text; an empty text or a lone point is 0.
double cashValue(const QString& text);

// Money as the tender shows it: two decimals.
QString moneyText(double v);

}
