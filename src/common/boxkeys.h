#pragma once
// The keyboard of the edit boxes in data-entry windows: Enter moves on to the
// next box, Up and Down step back and forth, number boxes take only the
// characters of their rule, and the focused box may wear a colour of its own.
// A window creates one BoxKeys, adds its boxes and picks the options it needs.
#include <QColor>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

class QLineEdit;
class QWidget;

namespace qm {

// Enter (the main key or the keypad's) on a focused push or tool button
// presses it, in every window of the program. No button becomes a default, so
// Enter in an edit box stays the box's. Installed once on the application.
void enterPressesFocusedButtons();

// The box selects its whole text when it takes the focus by keyboard, mouse,
// program or with its window, so that what is typed next replaces it. A click
// selects when the button comes up, unless the press and a drag chose a part;
// a closed pop-up menu leaves the selection as it was.
void selectWholeOnFocus(QLineEdit* box);

// Sets how many characters the box holds (as its maxLength counts them) and
// keeps the cut on a whole character: typing, pasting or showing a text past
// the length never leaves half of a character outside the basic plane (an
// emoji, a rare Chinese character) in the box.
void setBoxLength(QLineEdit* box, int length);

// The characters a box takes from the keyboard. Keys without printable text
// (Backspace, Delete, arrows, Ctrl combinations) always pass; a rule that
// names nothing takes everything.
struct KeyRule {
    bool digits = false;          // 0-9
    QString also;                 // further characters taken
    bool firstCharOnly = false;   // a key is judged by its first character alone

    bool free() const { return !digits && also.isEmpty(); }
    // Whether a key press carrying `text` reaches the box.
    bool takes(const QString& text) const;

    static const KeyRule Free, Digits, Decimal, Phone, Date;
};
inline const KeyRule KeyRule::Free{};
inline const KeyRule KeyRule::Digits{true};
inline const KeyRule KeyRule::Decimal{true, QStringLiteral(".")};
inline const KeyRule KeyRule::Phone{true, QStringLiteral("-")};
inline const KeyRule KeyRule::Date{true, QStringLiteral("-")};

class BoxKeys : public QObject {
    Q_OBJECT
public:
    // How a box reached by Enter takes the focus.
    enum class Arrival {
        Plain,     // the cursor stays where it was
        AsTab,     // as if tabbed into: a line edit selects its text
        SelectAll, // the text is selected outright
    };

    // Owned by `window`, whose tab order Enter and the arrows follow.
    explicit BoxKeys(QWidget* window);

    // Puts a box under this handling, its typing filtered by `rule`.
    void add(QWidget* box, const KeyRule& rule = KeyRule::Free);

    // Enter goes from box to box in the order they were added, skipping
    // disabled ones, and on the last box calls `atLast`. Without this, Enter
    // moves along the window's tab order, past the last box to what follows.
    void enterThroughBoxes(Arrival arrival, std::function<void()> atLast);

    // Up and Down move back and forth along the window's tab order in line
    // edits (drop-down boxes keep their arrows). On unless switched off.
    void setArrows(bool on) { arrows_ = on; }

    // The focused box shows `colour` as its background and returns to the
    // window's colour when it loses the focus.
    void setFocusColour(const QColor& colour) { focusColour_ = colour; }

protected:
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    void moveAlongTabOrder(bool forward);
    void enterFrom(QObject* box);

    QWidget* window_;
    QList<QWidget*> boxes_;
    QHash<QObject*, KeyRule> rules_;
    std::function<void()> atLast_;
    Arrival arrival_ = Arrival::Plain;
    bool arrows_ = true;
    QColor focusColour_;
};

}
