#include "documents/tfrcash.h"
#include "support/fixture.h"
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>

namespace {
class CashTender : public AppFixture {
protected:
    std::vector<double> taken;
    QPointer<TFrcash> open(double amount, double deduck)
    {
        auto* w = new TFrcash(nullptr, amount, deduck, [this](double cash) { taken.push_back(cash); });
        w->show();
        return w;
    }
};
}

TEST_F(CashTender, DueAndChangeFollowTheTyping)
{
    QPointer<TFrcash> w = open(40, 5);
    EXPECT_EQ(w->windowTitle(), "现金收款");
    EXPECT_TRUE(w->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(w->isModal());
    EXPECT_EQ(w->Edit1->text(), "35.00");
    // Nothing handed over yet, no change shown.
    EXPECT_EQ(w->Edit2->text(), "0");
    EXPECT_EQ(w->Edit3->text(), "0");
    EXPECT_EQ(w->StatusBar1->currentMessage(), "必须连接好POS打印机,才能按\"确定\"进行打印小票!");

    // The 0 is selected: the first digit replaces it.
    QTest::keyClicks(w->Edit2, "50");
    EXPECT_EQ(w->Edit2->text(), "50");
    EXPECT_EQ(w->Edit3->text(), "15.00");

    // Emptying the box puts 0 back and shows the whole amount due as negative change.
    w->Edit2->selectAll();
    QTest::keyClick(w->Edit2, Qt::Key_Backspace);
    EXPECT_EQ(w->Edit2->text(), "0");
    EXPECT_EQ(w->Edit3->text(), "-35.00");
    delete w;
}

TEST_F(CashTender, OnlyANumberGetsIntoTheCashBox)
{
    QPointer<TFrcash> w = open(12.5, 0);
    w->Edit2->selectAll();
    QTest::keyClicks(w->Edit2, "1..2a-3x.");
    EXPECT_EQ(w->Edit2->text(), "1.23");
    EXPECT_EQ(w->Edit3->text(), "-11.27");
    w->Edit2->setText("20");
    w->Edit2->insert("..");
    EXPECT_EQ(w->Edit2->text(), "20");
    w->Edit2->insert(QStringLiteral("５")); // full-width digits of the input method
    EXPECT_EQ(w->Edit2->text(), "20");
    delete w;
}

TEST_F(CashTender, EnterLeadsToConfirmAndConfirmHandsOverTheCash)
{
    QPointer<TFrcash> w = open(40, 5);
    QApplication::setActiveWindow(w);
    w->Edit2->setFocus();
    w->Edit2->setText("50");
    QTest::keyClick(w->Edit2, Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), w->Edit3);
    // Clicked back into 收款, the amount is ready to be typed over.
    QTest::mouseClick(w->Edit2, Qt::LeftButton);
    EXPECT_EQ(w->Edit2->selectedText(), "50");
    QTest::keyClick(w->Edit2, Qt::Key_Return);
    QTest::keyClick(w->Edit3, Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), w->Button1);
    EXPECT_TRUE(taken.empty());
    // Less than the amount due is refused, to the cent, and the tender stays open.
    for (const char* shortOf : {"0", "34.99"}) {
        dialogs->clear();
        w->Edit2->setText(shortOf);
        QTest::mouseClick(w->Button1, Qt::LeftButton);
        EXPECT_EQ(dialogs->messages(), QStringList{QStringLiteral("收款金额不足,请重新输入！")}) << shortOf;
        EXPECT_TRUE(w->isVisible());
        EXPECT_TRUE(taken.empty());
    }
    w->Edit2->setText("50");
    w->Button1->setFocus();
    // Enter on the focused 确定 takes the cash (the keypad's Enter too).
    QTest::keyClick(w->Button1, Qt::Key_Enter, Qt::KeypadModifier);
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_DOUBLE_EQ(taken[0], 50);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(w.isNull());

    QPointer<TFrcash> cancelled = open(40, 5);
    cancelled->Edit2->setText("50");
    cancelled->Button2Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(cancelled.isNull());
    EXPECT_EQ(taken.size(), 1u);
}
