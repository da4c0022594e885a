#include "common/formats.h"
#include "common/errors.h"
#include <gtest/gtest.h>

using qm::formatFloat;

TEST(FormatFloat, PatternsOfThisSystem)
{
    EXPECT_EQ(formatFloat("0.00", 2.675), "2.68");
    EXPECT_EQ(formatFloat("0.00", 1.005), "1.01");
    EXPECT_EQ(formatFloat("0.00", -2.675), "-2.68");
    EXPECT_EQ(formatFloat("0.00", 0), "0.00");
    EXPECT_EQ(formatFloat("#.##", 0.5), ".5");
    EXPECT_EQ(formatFloat("#.##", 0), "");
    EXPECT_EQ(formatFloat("#.##", 12.3456), "12.35");
    EXPECT_EQ(formatFloat("#.##", 3), "3");
    EXPECT_EQ(formatFloat("0.#", 3), "3");
    EXPECT_EQ(formatFloat("0.#", 2.25), "2.3");
    EXPECT_EQ(formatFloat("0.###", 0.1235), "0.124");
    EXPECT_EQ(formatFloat("0,.00", 12345.6), "12,345.60");
    EXPECT_EQ(formatFloat("0,.00", -1234567.891), "-1,234,567.89");
    EXPECT_EQ(formatFloat("0,.00", 999.999), "1,000.00");
    EXPECT_EQ(formatFloat("0.", 12.5), "13");
    EXPECT_EQ(formatFloat("0.", -0.4), "0");
    EXPECT_EQ(formatFloat("0.000000", 1.0 / 3), "0.333333");
    EXPECT_EQ(formatFloat("0", 99.5), "100");
}

TEST(FormatFloat, SectionsLiteralsAndGeneralForm)
{
    EXPECT_EQ(formatFloat("0.00;(0.00);零", -3.5), "(3.50)");
    EXPECT_EQ(formatFloat("0.00;(0.00);零", 0), "零");
    EXPECT_EQ(formatFloat("\"¥\"0.00", 3), "¥3.00");
    EXPECT_EQ(formatFloat("", 0.1), "0.1");
    EXPECT_EQ(formatFloat("", 1234.5), "1234.5");
    EXPECT_EQ(formatFloat("0.00", 1e15), "1000000000000000.00");
}

TEST(Numbers, RoundingAndParsing)
{
    EXPECT_DOUBLE_EQ(qm::roundDecimal(2.675, 2), 2.68);
    EXPECT_DOUBLE_EQ(qm::roundDecimal(-0.125, 2), -0.13);
    EXPECT_DOUBLE_EQ(qm::parseNumber(" 12.5 "), 12.5);
    EXPECT_THROW(qm::parseNumber("12a"), qm::ConversionError);
    EXPECT_THROW(qm::parseNumber(""), qm::ConversionError);
    EXPECT_EQ(qm::formatDate(qm::parseDate("2026-1-5")), "2026-01-05");
    EXPECT_FALSE(qm::parseDate("2026-02-30").isValid());
}
