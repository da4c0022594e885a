#include "documents/salerules.h"
#include <gtest/gtest.h>

using namespace qm::sale;

TEST(SaleRules, PriceRuleAndRowAmounts)
{
    EXPECT_DOUBLE_EQ(unitPrice(" 0000000001 ", 12.5, 11), 12.5);
    EXPECT_DOUBLE_EQ(unitPrice("0000000002", 12.5, 11), 11);
    EXPECT_DOUBLE_EQ(unitPrice("1", 12.5, 11), 11); // not yet padded: a member's price
    EXPECT_DOUBLE_EQ(rowAmount(3, 12.5, 80), 30);
    EXPECT_DOUBLE_EQ(rowAmount(2, 5, 100), 10);
    EXPECT_DOUBLE_EQ(rowAmount(1, 9.99, 50), 4.995);
    EXPECT_DOUBLE_EQ(amountDue(40, 5), 35);
}

TEST(SaleRules, CashTextTakesOnlyANumber)
{
    for (const char* ok : {"", "0", "50", "50.", ".5", "12.34"}) EXPECT_TRUE(isCashText(ok)) << ok;
    for (const char* bad : {"1..2", "1.2.3", "a", "5a", "-5", " 5", "1e3", "５"}) EXPECT_FALSE(isCashText(QString::fromUtf8(bad))) << bad;
    EXPECT_DOUBLE_EQ(cashValue(""), 0);
    EXPECT_DOUBLE_EQ(cashValue("."), 0);
    EXPECT_DOUBLE_EQ(cashValue("50."), 50);
    EXPECT_DOUBLE_EQ(cashValue(".5"), 0.5);
    EXPECT_EQ(moneyText(-35), "-35.00");
}
