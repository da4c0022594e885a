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

TEST(StoredDates, ShownWithoutTheTimeZone)
{
    using qm::formatDbStamp;
    EXPECT_EQ(formatDbStamp("2026-03-08 00:00:00"), "2026-03-08");
    EXPECT_EQ(formatDbStamp("2026-03-08 14:05:09"), "2026-03-08 14:05:09");
    EXPECT_EQ(formatDbStamp("2026-03-08"), "2026-03-08");
    // A local clock change (the night of a daylight-saving step) moves nothing.
    EXPECT_EQ(formatDbStamp("2026-03-29 02:30:00"), "2026-03-29 02:30:00");
    EXPECT_EQ(formatDbStamp("2026-03-08 14:05:09", "yyyy/M/d"), "2026/3/8");
    EXPECT_EQ(formatDbStamp("2026-03-08 14:05:09", "dd.MM.yy 'um' H:mm"), "08.03.26 um 14:05");
    EXPECT_EQ(formatDbStamp("2026-03-08 00:00:00", "dddd"), QDate(2026, 3, 8).toString("dddd"));
    // What holds no date is shown as stored.
    EXPECT_EQ(formatDbStamp("2026-02-30 00:00:00"), "2026-02-30 00:00:00");
    EXPECT_EQ(formatDbStamp("soon"), "soon");
    EXPECT_EQ(formatDbStamp(""), "");

    EXPECT_EQ(qm::fromDbDateTime("2026-03-08 14:05:09"), QDateTime(QDate(2026, 3, 8), QTime(14, 5, 9)));
    EXPECT_EQ(qm::fromDbDateTime("2026-03-08T14:05:09"), QDateTime(QDate(2026, 3, 8), QTime(0, 0)));
    EXPECT_FALSE(qm::fromDbDateTime("2026-13-01 00:00:00").isValid());
    EXPECT_EQ(qm::formatDate(QDate(987, 6, 5)), "0987-06-05");
    EXPECT_EQ(qm::toDbDate(QDate(2026, 1, 2)), "2026-01-02 00:00:00");
}

TEST(FormatFloat, PatternsChangeBetweenCalls)
{
    // Compiled patterns are kept; each call still follows its own pattern.
    for (int i = 0; i < 300; ++i) {
        const QString p = "0." + QString(i % 7, '0');
        EXPECT_EQ(formatFloat(p, 1.5), i % 7 ? "1.5" + QString(i % 7 - 1, '0') : "2") << p.toStdString();
    }
    EXPECT_EQ(formatFloat("0.00;;", -2), "-2.00");
    EXPECT_EQ(formatFloat("0.00;\"\";", -2), "");
}
