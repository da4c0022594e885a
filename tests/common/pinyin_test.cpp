#include "common/pinyin.h"
#include <QStringDecoder>
#include <gtest/gtest.h>

using namespace qm;

TEST(Pinyin, InitialsOfMixedText)
{
    EXPECT_EQ(GetPinyinCode(QStringLiteral("可口可乐330ml")), QStringLiteral("KKKL330ml"));
    EXPECT_EQ(GetPinyinCode(QStringLiteral("康师傅红烧牛肉面")), QStringLiteral("KSFHSNRM"));
    EXPECT_EQ(GetPinyinCode(QStringLiteral("Coca-Cola 1.25L")), QStringLiteral("Coca-Cola 1.25L"));
    EXPECT_EQ(GetPinyinCode(QString()), QString());
    // Lower case touches only the letters found in the table.
    EXPECT_EQ(GetPinyinCode(QStringLiteral("雪碧A2"), false), QStringLiteral("xbA2"));
    EXPECT_EQ(PinyinInitial(QStringLiteral("啊")), QStringLiteral("A"));
    EXPECT_EQ(PinyinInitial(QStringLiteral("座位")), QStringLiteral("Z"));
    EXPECT_EQ(PinyinInitial(QString()), QString());
}

TEST(Pinyin, RangeBoundaries)
{
    EXPECT_EQ(pinyinLetterOfCode(0xB0A0), 0);
    EXPECT_EQ(pinyinLetterOfCode(0xB0A1), 'A');
    EXPECT_EQ(pinyinLetterOfCode(0xB0C4), 'A');
    EXPECT_EQ(pinyinLetterOfCode(0xB0C5), 'B');
    EXPECT_EQ(pinyinLetterOfCode(0xC5BD), 'O');
    EXPECT_EQ(pinyinLetterOfCode(0xC5BE), 'P');
    EXPECT_EQ(pinyinLetterOfCode(0xD7F9), 'Z');
    EXPECT_EQ(pinyinLetterOfCode(0xD7FA), 0);
}

TEST(Pinyin, CharactersWithoutInitialKeepThemselves)
{
    // Full-width punctuation, second-level GB2312, GBK-only and non-GBK characters
    // are copied as they are; no lone lead byte ever appears.
    EXPECT_EQ(GetPinyinCode(QStringLiteral("（大）")), QStringLiteral("（D）"));
    EXPECT_EQ(GetPinyinCode(QStringLiteral("亍茶")), QStringLiteral("亍C"));
    EXPECT_EQ(GetPinyinCode(QStringLiteral("丂")), QStringLiteral("丂"));
    EXPECT_EQ(GetPinyinCode(QStringLiteral("€😀奶")), QStringLiteral("€😀N"));
    EXPECT_EQ(PinyinInitial(QStringLiteral("😀x")), QStringLiteral("😀"));
    for (QChar c : GetPinyinCode(QStringLiteral("百事可乐（罐）")))
        EXPECT_FALSE(c.unicode() >= 0x80 && c.unicode() < 0x100) << "stray byte in the initials";
}

TEST(Pinyin, EveryFirstLevelCharacterHasAnInitialInPinyinOrder)
{
    // Over the whole first level (rows B0 to D7, cells A1 to FE; D7FA-D7FE are
    // unused): no code falls between two ranges, and the letters never go back.
    QStringDecoder gbk("GBK");
    ASSERT_TRUE(gbk.isValid());
    char previous = 'A';
    int characters = 0;
    for (int row = 0xB0; row <= 0xD7; ++row)
        for (int cell = 0xA1; cell <= (row == 0xD7 ? 0xF9 : 0xFE); ++cell) {
            const int code = row << 8 | cell;
            const char letter = pinyinLetterOfCode(code);
            ASSERT_NE(letter, 0) << std::hex << code;
            ASSERT_GE(letter, previous) << std::hex << code;
            previous = letter;
            // The character itself gets the same initial.
            const char bytes[2] = {char(row), char(cell)};
            const QString ch = gbk.decode(QByteArray(bytes, 2));
            ASSERT_EQ(PinyinInitial(ch), QString(QChar(letter))) << std::hex << code;
            ++characters;
        }
    EXPECT_EQ(characters, 3755);
    EXPECT_EQ(previous, 'Z');
    EXPECT_EQ(pinyinLetterOfCode(0xAFFE), 0);
}
