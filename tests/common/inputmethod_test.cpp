// The input method follows the focus through the boxes that take Chinese text.
#include "common/inputmethod.h"
#include "masterdata/partneredit.h"
#include "masterdata/tfrproductedit.h"
#include "masterdata/tfrspec.h"
#include "shell/commands.h"
#include "support/fixture.h"
#include <QApplication>
#include <QFocusEvent>
#include <QLineEdit>

namespace {

// An input-method service that records what it is told.
struct Desk {
    QString engine = "xkb:us::eng";
    QStringList selected;
    bool running = true;
    qm::ime::Switcher switcher()
    {
        return {[this] { return running ? engine : QString(); },
                [this](const QString& n) {
                    engine = n;
                    selected << n;
                }};
    }
};

void focus(QWidget* w, bool in)
{
    QFocusEvent e(in ? QEvent::FocusIn : QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(w, &e);
}

class InputMethodTest : public AppFixture {
protected:
    Desk desk;
    void SetUp() override
    {
        AppFixture::SetUp();
        qm::ime::setSwitcher(desk.switcher());
    }
    void TearDown() override
    {
        qm::ime::setSwitcher(qm::ime::ibusSwitcher());
        AppFixture::TearDown();
    }
};

TEST_F(InputMethodTest, OnWhileTheBoxHasTheFocusAndBackWhenItLeaves)
{
    QWidget window;
    auto* chinese = new QLineEdit(&window);
    auto* code = new QLineEdit(&window);
    qm::ime::giveInputMethod(chinese, " pinyin ");
    focus(chinese, true);
    EXPECT_EQ(desk.engine, "pinyin");
    focus(chinese, false);
    EXPECT_EQ(desk.engine, "xkb:us::eng");
    focus(code, true); // a box without a name leaves the input method alone
    EXPECT_EQ(desk.selected, QStringList({"pinyin", "xkb:us::eng"}));

    // Already on: nothing to switch, nothing to switch back.
    desk.engine = "pinyin";
    desk.selected.clear();
    focus(chinese, true);
    focus(chinese, false);
    EXPECT_TRUE(desk.selected.isEmpty());
    // No service running, or no name configured: nothing happens, nothing fails.
    desk.running = false;
    focus(chinese, true);
    focus(chinese, false);
    desk.running = true;
    qm::ime::giveInputMethod(chinese, "");
    focus(chinese, true);
    focus(chinese, false);
    EXPECT_TRUE(desk.selected.isEmpty());
}

TEST_F(InputMethodTest, EditorsGiveItToTheirChineseBoxes)
{
    frmain->imeName = "pinyin";
    frmain->editMode = "T";
    frdm->Aqproduct->open();
    auto* ed = Tfrproductedit::openFrom(nullptr);
    ASSERT_TRUE(ed);
    for (QLineEdit* b : {ed->Edit8, ed->Edit1, ed->Edit6}) EXPECT_EQ(qm::ime::inputMethodOf(b), "pinyin") << qPrintable(b->objectName());
    for (QLineEdit* b : {ed->Edit7, ed->Edit22, ed->Edit25, ed->Edit15, ed->MaskEdit1})
        EXPECT_EQ(qm::ime::inputMethodOf(b), "") << qPrintable(b->objectName());
    focus(ed->Edit8, true);
    EXPECT_EQ(desk.engine, "pinyin");
    ed->close();
    EXPECT_EQ(desk.engine, "xkb:us::eng"); // closing the window switches back too
    delete ed;

    // Options changed meanwhile reach the next showing.
    frmain->imeName = "wubi";
    ASSERT_TRUE(qm::runCommand("N93"));
    Frspec->ToolButton1Click();
    ASSERT_TRUE(frspecedit);
    EXPECT_EQ(qm::ime::inputMethodOf(frspecedit->Edit3), "wubi");
    delete Frspec.data();
}

} // namespace
