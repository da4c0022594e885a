#include "documents/salerules.h"
#include "common/formats.h"
#include <cmath>

namespace qm::sale {

double unitPrice(const QString& customerCode, double retailPrice, double memberPrice)
{
    return customerCode.trimmed() == walkInCustomer() ? retailPrice : memberPrice;
}

double rowAmount(double sl, double price, double rebate) { return sl * price * rebate / 100; }

double amountDue(double amount, double deduck) { return amount - deduck; }

bool cashCovers(double cash, double due) { return std::round(cash * 100) >= std::round(due * 100); }

bool isCashText(const QString& text)
{
    int points = 0;
    for (QChar c : text) {
        if (c == u'.') {
            if (++points > 1) return false;
        } else if (c < u'0' || c > u'9') {
            return false;
        }
    }
    return true;
}

double cashValue(const QString& text)
{
    if (!isCashText(text) || text.isEmpty() || text == QStringLiteral(".")) return 0;
    return text.toDouble();
}

QString moneyText(double v) { return formatFloat(QStringLiteral("0.00"), v); }

}
