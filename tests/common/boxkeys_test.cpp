// The shared keyboard of edit boxes, in the variants the windows pick.
#include "common/boxkeys.h"
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using qm::BoxKeys;
using qm::KeyRule;

namespace {
void press(QWidget* w, int key)
{
    QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}
QWidget* focus() { return QApplication::focusWidget(); }
QComboBox* editableCombo(QWidget* parent)
{
    auto* c = new QComboBox(parent);
    c->setEditable(true); // its line edit takes its place in the tab order now
    c->addItems({"x", "y"});
    return c;
}

struct Window : QWidget {
    QLineEdit *a = new QLineEdit(this), *b = new QLineEdit(this);
    QComboBox* c = editableCombo(this);
    QLineEdit* d = new QLineEdit(this);
    QPushButton* ok = new QPushButton(QStringLiteral("确定"), this);
    BoxKeys* keys = new BoxKeys(this);
    Window()
    {
        auto* v = new QVBoxLayout(this);
        for (QWidget* w : {static_cast<QWidget*>(a), static_cast<QWidget*>(b), static_cast<QWidget*>(c),
                           static_cast<QWidget*>(d), static_cast<QWidget*>(ok)})
            v->addWidget(w);
        for (QWidget* w : {static_cast<QWidget*>(a), static_cast<QWidget*>(b), static_cast<QWidget*>(c),
                           static_cast<QWidget*>(d)})
            keys->add(w);
        show();
        QApplication::setActiveWindow(this);
    }
};
}

TEST(BoxKeys, EnterArrowsRulesAndFocusColour)
{
    // Rules: keys without printable text always pass; every character counts
    // unless the rule judges the first alone; only the digits 0-9 count.
    const QString fullWidthThree(QChar(0xFF13));
    EXPECT_TRUE(KeyRule::Digits.takes(QStringLiteral("\b")));
    EXPECT_TRUE(KeyRule::Digits.takes(QString()));
    EXPECT_TRUE(KeyRule::Decimal.takes(QStringLiteral("1.5")));
    EXPECT_FALSE(KeyRule::Decimal.takes(QStringLiteral("1-")));
    EXPECT_FALSE(KeyRule::Decimal.takes(fullWidthThree));
    EXPECT_TRUE(KeyRule::Date.takes(QStringLiteral("-")));
    EXPECT_TRUE(KeyRule::Free.takes(QStringLiteral("x")));
    const KeyRule loose{.digits = true, .also = QStringLiteral("."), .firstCharOnly = true};
    EXPECT_FALSE(loose.takes(fullWidthThree)); // full-width digits of the input method would fail at save
    EXPECT_TRUE(loose.takes(QStringLiteral("1x")));
    EXPECT_FALSE(loose.takes(QStringLiteral("x1")));

    {
        // Defaults: Enter and Down go along the tab order, past the last box
        // to the button; Up goes back and wraps round; the drop-down keeps
        // its arrows.
        Window w;
        w.a->setFocus();
        press(w.a, Qt::Key_Return);
        EXPECT_EQ(focus(), w.b);
        press(w.b, Qt::Key_Down);
        EXPECT_EQ(focus(), w.c);
        press(w.c, Qt::Key_Down);
        EXPECT_EQ(focus(), w.c);
        EXPECT_EQ(w.c->currentText(), "y");
        w.d->setFocus();
        press(w.d, Qt::Key_Return);
        EXPECT_EQ(focus(), w.ok);
        w.d->setFocus();
        press(w.d, Qt::Key_Up);
        EXPECT_EQ(focus(), w.c);
        w.a->setFocus();
        press(w.a, Qt::Key_Up);
        EXPECT_EQ(focus(), w.ok);
    }
    {
        // Through the boxes: disabled ones skipped, the last one runs the
        // action; arrows off; arrival selects; the focused box is coloured.
        Window w;
        int done = 0;
        w.keys->enterThroughBoxes(BoxKeys::Arrival::SelectAll, [&done] { ++done; });
        w.keys->setArrows(false);
        w.keys->setFocusColour(QColor(0, 255, 255));
        w.b->setText("12");
        w.c->setEnabled(false);
        w.d->setFocus(); // the window gave the focus to a before it had a colour
        w.a->setFocus();
        EXPECT_EQ(w.a->palette().color(QPalette::Base), QColor(0, 255, 255));
        press(w.a, Qt::Key_Down);
        EXPECT_EQ(focus(), w.a);
        press(w.a, Qt::Key_Return);
        EXPECT_EQ(focus(), w.b);
        EXPECT_EQ(w.b->selectedText(), "12");
        EXPECT_NE(w.a->palette().color(QPalette::Base), QColor(0, 255, 255));
        press(w.b, Qt::Key_Return);
        EXPECT_EQ(focus(), w.d);
        EXPECT_EQ(done, 0);
        press(w.d, Qt::Key_Enter);
        EXPECT_EQ(done, 1);
        EXPECT_EQ(focus(), w.d);
    }
}

TEST(BoxLength, CutsOnWholeCharacters)
{
    QLineEdit box;
    qm::setBoxLength(&box, 3);
    box.setText(QString::fromUtf8("ab\xF0\x9F\x98\x80"));
    EXPECT_EQ(box.text(), "ab");
    box.setText("a");
    box.end(false);
    box.insert(QString::fromUtf8("b\xF0\xA0\x80\x80"));
    EXPECT_EQ(box.text(), "ab");
    box.setText(QString::fromUtf8("\xE4\xB8\xAD\xF0\x9F\x98\x80"));
    EXPECT_EQ(box.text(), QString::fromUtf8("\xE4\xB8\xAD\xF0\x9F\x98\x80"));
}
