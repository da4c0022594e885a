#include "common/errors.h"
#include "masterdata/spec.h"
#include "masterdata/tfrspec.h"
#include "shell/commands.h"
#include "support/fixture.h"
#include <QCoreApplication>
#include <QEvent>
#include <QLineEdit>

namespace {

class SpecTest : public AppFixture {
protected:
    void TearDown() override
    {
        delete Frspec.data();
        AppFixture::TearDown();
    }

    QStringList entries(const QString& kind)
    {
        QStringList out;
        for (const auto& r : frdm->ADOCon.rows(QStringLiteral("SELECT intno, name FROM spec WHERE specno=:p1 ORDER BY intno"),
                                               {{"p1", kind}}))
            out << r.value(0).toString().trimmed() + "=" + r.value(1).toString().trimmed();
        return out;
    }

    void insertNumbers(const QString& kind, int from, int to)
    {
        for (int i = from; i <= to; ++i)
            frdm->ADOCon.exec(QStringLiteral("INSERT INTO spec(intno, name, specno) VALUES(:p1, :p2, :p3)"),
                              {{"p1", QStringLiteral("%1").arg(i, 2, 10, QChar('0'))}, {"p2", QStringLiteral("项%1").arg(i)},
                               {"p3", kind}});
    }

    void save(const QString& name)
    {
        frspecedit->Edit3->setText(name);
        frspecedit->Button2Click();
    }
};

TEST_F(SpecTest, MenuOpensTheKindAndTheEditorNumbersWithinIt)
{
    insertNumbers("03", 1, 4); // categories do not count for units
    ASSERT_TRUE(qm::runCommand("N93"));
    ASSERT_TRUE(Frspec);
    EXPECT_EQ(Frspec->windowTitle(), "计量单位");
    EXPECT_EQ(frmain->specKind, "02");
    EXPECT_FALSE(frmain->isEnabled());

    Frspec->ToolButton2Click(); // 修改 on an empty list does nothing
    EXPECT_FALSE(frspecedit);

    Frspec->ToolButton1Click();
    ASSERT_TRUE(frspecedit);
    EXPECT_EQ(frspecedit->windowTitle(), "计量单位修改");
    // 上移 on the empty list leaves change mode with nothing to change: the
    // save still stores a numbered unit, never a row of no kind.
    frspecedit->Button4Click();
    EXPECT_EQ(frmain->editMode, "F");
    save("盒");
    EXPECT_EQ(entries("02"), QStringList({"01=盒"}));
    EXPECT_EQ(frdm->ADOCon.scalar(QStringLiteral("SELECT count(*) FROM spec WHERE specno=''")).toInt(), 0);
    Frspec->ToolButton3Click();
    frspecedit->Button1Click();
    EXPECT_FALSE(Frspec->isEnabled());
    save("个");
    EXPECT_EQ(frmain->editMode, "F");
    save("只"); // after a save the box renames the row just stored
    frspecedit->Button1Click();
    save("箱");
    EXPECT_EQ(entries("02"), QStringList({"01=只", "02=箱"}));
    // The list still shows units only, on the new row; no message for a save.
    EXPECT_EQ(frdm->AQspec->recordCount(), 2);
    EXPECT_EQ(frdm->AQspec->asString("name"), "箱");
    EXPECT_TRUE(dialogs->shown.empty());

    // 上移 / 下移 step through the rows and stop at the ends.
    frspecedit->Button4Click();
    EXPECT_EQ(frspecedit->Edit3->text(), "只");
    EXPECT_EQ(frmain->currentIntno, "01");
    frspecedit->Button4Click();
    EXPECT_EQ(frspecedit->Edit3->text(), "只");
    frspecedit->Button5Click();
    frspecedit->Button5Click();
    EXPECT_EQ(frspecedit->Edit3->text(), "箱");

    frspecedit->Button3Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(frspecedit);
    EXPECT_TRUE(Frspec->isEnabled());

    // 删除 removes the current entry without a question.
    Frspec->ToolButton3Click();
    EXPECT_EQ(entries("02"), QStringList({"01=只"}));
    EXPECT_TRUE(dialogs->shown.empty());

    Frspec->ToolButton15Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(Frspec);
    EXPECT_TRUE(frmain->isEnabled());
    EXPECT_FALSE(frdm->AQspec->active());
}

TEST_F(SpecTest, NumbersRunToNinetyNineAndTheHundredthIsRefused)
{
    ASSERT_TRUE(qm::runCommand("N18"));
    EXPECT_EQ(Frspec->windowTitle(), "商品类别");
    insertNumbers("03", 1, 8);
    Frspec->ToolButton1Click();
    EXPECT_EQ(frspecedit->windowTitle(), "商品类别修改");
    save("食品");
    frspecedit->Button1Click();
    save("日用");
    EXPECT_EQ(entries("03").mid(8), QStringList({"09=食品", "10=日用"}));

    // The 99th goes in through the window, the 100th is refused.
    insertNumbers("03", 11, 98);
    frspecedit->Button1Click();
    save("第九十九");
    EXPECT_EQ(entries("03").back(), "99=第九十九");
    frspecedit->Button1Click();
    EXPECT_THROW(save("第一百"), qm::SilentStop);
    EXPECT_EQ(dialogs->lastMessage(), qm::spec::numbersUsedUpMessage());
    EXPECT_EQ(entries("03").size(), 99);
    EXPECT_EQ(frdm->ADOCon.scalar(QStringLiteral("SELECT count(*) FROM spec WHERE intno='00'")).toInt(), 0);
    // Units still number on their own.
    EXPECT_EQ(qm::spec::addEntry(*frdm->AQspec, "02", "个"), "01");

    // A number that is not a number stops the numbering before anything is written.
    frdm->ADOCon.exec(QStringLiteral("INSERT INTO spec(intno, name, specno) VALUES('x1', '坏', '04')"));
    EXPECT_THROW(qm::spec::addEntry(*frdm->AQspec, "04", "新"), qm::ConversionError);
    EXPECT_EQ(entries("04"), QStringList({"x1=坏"}));
}

} // namespace
