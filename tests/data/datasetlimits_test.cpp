// Values at the edges: very long texts, numbers that are not numbers, texts
// cut inside a character, and rows brought back in step after a rollback.
#include "common/errors.h"
#include "common/formats.h"
#include "data/connection.h"
#include "data/dataset.h"
#include "support/scratchdb.h"
#include <gtest/gtest.h>
#include <QTemporaryDir>

using namespace qm;

namespace {
struct Db : qmtest::ScratchDb {
    Db()
        : ScratchDb("CREATE TABLE item (code TEXT DEFAULT '', note TEXT DEFAULT '', price REAL DEFAULT 0, "
                    "qty INTEGER DEFAULT 0, made DATETIME);"
                    "INSERT INTO item(code, note) VALUES ('001', 'a'), ('002', 'b');")
    {
    }
};
}

TEST(DatasetLimits, TextsLongerThanSixteenMebibytesComeBackWhole)
{
    Db db;
    const QString big = QString(17 * 1024 * 1024 / 3, QChar(0x8d27)) + QStringLiteral("尾");
    const QString exact = QString(0xFFFFFF, 'x');
    Dataset ds(&db.c, "q");
    ds.setSql("select * from item order by code");
    ds.open();
    ds.setValue("note", big);
    ds.post();
    EXPECT_EQ(ds.asString("note"), big);
    ds.next();
    ds.setValue("note", exact);
    ds.post();
    ds.requery();
    ds.first();
    EXPECT_EQ(ds.asString("note").size(), big.size());
    EXPECT_EQ(ds.asString("note"), big);
    ds.next();
    EXPECT_EQ(ds.asString("note"), exact);
    EXPECT_EQ(db.c.scalar("select length(note) from item where code='001'").toLongLong(), big.size());
}

TEST(DatasetLimits, NotANumberInfinityAndOutOfRangeAreRefused)
{
    Db db;
    Dataset ds(&db.c, "q");
    ds.setSql("select * from item order by code");
    ds.open();
    for (const char* bad : {"nan", "NaN", "inf", "-inf", "infinity", "1e999", "-1e400", "12abc", ""}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(parseNumber(bad), ConversionError);
        if (*bad) {
            EXPECT_THROW(ds.setText("price", bad), ConversionError);
        }
    }
    EXPECT_THROW(ds.setText("qty", "1e19"), ConversionError);
    EXPECT_THROW(ds.setText("qty", "99999999999999999999"), ConversionError);
    EXPECT_THROW(ds.setValue("price", std::numeric_limits<double>::infinity()), ConversionError);
    EXPECT_THROW(ds.setValue("price", std::nan("")), ConversionError);
    ds.setText("qty", "9007199254740993");
    ds.setText("price", " 1e300 ");
    ds.post();
    EXPECT_EQ(db.c.scalar("select qty from item where code='001'").toLongLong(), 9007199254740993LL);
    EXPECT_EQ(db.c.scalar("select price from item where code='001'").toDouble(), 1e300);
}

TEST(DatasetLimits, DateTextThatIsNotADateIsRefusedNotStoredAsNoDate)
{
    Db db;
    Dataset ds(&db.c, "q");
    ds.setSql("select * from item order by code");
    ds.open();
    ds.setText("made", "2024-02-29");
    for (const char* bad : {"abc", "2023-02-29", "明天", "2024-13-01"}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(ds.setText("made", bad), ConversionError);
    }
    ds.post();
    EXPECT_EQ(db.c.scalar("select made from item where code='001'").toString(), "2024-02-29 00:00:00");
    // Blanks and the mask's own characters are an empty box.
    for (const char* blank : {"", "    -  -  ", "____/__/__"}) EXPECT_TRUE(isBlankDateText(blank)) << blank;
    EXPECT_FALSE(isBlankDateText("x"));
}

TEST(DatasetLimits, TextsCutOnWholeCharacters)
{
    const QString emoji = QString::fromUtf8("ab\xF0\x9F\x98\x80");      // a b U+1F600
    const QString rare = QString::fromUtf8("\xF0\xA0\x80\x80" "中");    // U+20000 then 中
    EXPECT_EQ(wholeCharacters(emoji.left(3)), "ab");
    EXPECT_EQ(wholeCharacters(emoji), emoji);
    EXPECT_EQ(wholeCharacters(rare.left(1)), "");
    EXPECT_EQ(wholeCharacters(rare.left(2)), rare.left(2));
    EXPECT_EQ(wholeCharacters("中文"), "中文");

    // What a box cut to its length hands over is stored without the broken half.
    Db db;
    Dataset ds(&db.c, "q");
    ds.setSql("select * from item order by code");
    ds.open();
    ds.setValue("note", emoji.left(3));
    ds.post();
    db.c.exec("UPDATE item SET code=:p1 WHERE code='002'", {{"p1", rare.left(1)}});
    EXPECT_EQ(db.c.scalar("select note from item where code='001'").toString(), "ab");
    EXPECT_EQ(db.c.scalar("select count(*) from item where code=''").toInt(), 1);
    EXPECT_EQ(db.c.scalar("select count(*) from item where hex(note) like '%EFBFBD%'").toInt(), 0);
}

TEST(DatasetLimits, RowsComeBackInStepAfterARollback)
{
    Db db;
    Dataset ds(&db.c, "q");
    ds.setSql("select * from item order by code");
    ds.open();
    {
        // An appended row posted inside a transaction that then rolls back.
        Transaction t(db.c);
        ds.append();
        ds.setValue("code", "003");
        ds.post();
        ds.first();
        ds.setValue("note", "changed");
        ds.post();
        t.rollback();
        ds.refreshRow(2);
        ds.refreshRow(0);
    }
    ASSERT_EQ(ds.recordCount(), 2);
    ds.first();
    EXPECT_EQ(ds.asString("note"), "a");
    // A row still pending is cancelled.
    ds.append();
    ds.setValue("code", "004");
    ds.resync();
    EXPECT_EQ(ds.recordCount(), 2);
    EXPECT_EQ(ds.state(), Dataset::State::Browse);
}
