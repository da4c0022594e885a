#include "common/boxkeys.h"
#include "common/formats.h"
#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPalette>
#include <QPointer>
#include <QPushButton>
#include <QSet>
#include <QToolButton>
#include <QWidget>

namespace qm {

bool KeyRule::takes(const QString& text) const
{
    if (free() || text.isEmpty() || !text.at(0).isPrint()) return true;
    const QStringView judged = firstCharOnly ? QStringView(text).left(1) : QStringView(text);
    for (QChar c : judged) {
        const bool digit = c >= QLatin1Char('0') && c <= QLatin1Char('9');
        if (!(digits && digit) && !also.contains(c)) return false;
    }
    return true;
}

BoxKeys::BoxKeys(QWidget* window) : QObject(window), window_(window) {}

void BoxKeys::add(QWidget* box, const KeyRule& rule)
{
    boxes_.append(box);
    rules_.insert(box, rule);
    box->installEventFilter(this);
}

void BoxKeys::enterThroughBoxes(Arrival arrival, std::function<void()> atLast)
{
    arrival_ = arrival;
    atLast_ = std::move(atLast);
}

namespace {
// focusNextPrevChild is protected; reached as a subclass would reach it, so a
// window that overrides it is still asked.
struct TabOrder : QWidget {
    static void move(QWidget* w, bool forward) { (w->*&TabOrder::focusNextPrevChild)(forward); }
};
}

void BoxKeys::moveAlongTabOrder(bool forward)
{
    TabOrder::move(window_, forward);
}

void BoxKeys::enterFrom(QObject* box)
{
    for (qsizetype i = boxes_.indexOf(box) + 1; i < boxes_.size(); ++i) {
        QWidget* next = boxes_[i];
        if (!next->isEnabled()) continue;
        next->setFocus(arrival_ == Arrival::AsTab ? Qt::TabFocusReason : Qt::OtherFocusReason);
        if (arrival_ == Arrival::SelectAll)
            if (auto* edit = qobject_cast<QLineEdit*>(next)) edit->selectAll();
        return;
    }
    atLast_();
}

bool BoxKeys::eventFilter(QObject* o, QEvent* e)
{
    auto rule = rules_.constFind(o);
    if (rule == rules_.constEnd()) return QObject::eventFilter(o, e);
    auto* box = static_cast<QWidget*>(o);
    switch (e->type()) {
    case QEvent::FocusIn:
        if (focusColour_.isValid()) {
            QPalette pal = box->palette();
            pal.setColor(QPalette::Base, focusColour_);
            box->setPalette(pal);
        }
        break;
    case QEvent::FocusOut:
        if (focusColour_.isValid()) box->setPalette(QPalette());
        break;
    case QEvent::KeyPress: {
        auto* k = static_cast<QKeyEvent*>(e);
        const int key = k->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (atLast_) enterFrom(o);
            else moveAlongTabOrder(true);
            return true;
        }
        if (arrows_ && (key == Qt::Key_Up || key == Qt::Key_Down) && qobject_cast<QLineEdit*>(o)) {
            moveAlongTabOrder(key == Qt::Key_Down);
            return true;
        }
        if (key == Qt::Key_Backspace) return false;
        return !rule->takes(k->text()); // true: the key is dropped
    }
    default:
        break;
    }
    return QObject::eventFilter(o, e);
}

void setBoxLength(QLineEdit* box, int length)
{
    box->setMaxLength(length);
    QObject::connect(box, &QLineEdit::textChanged, box, [box](const QString& text) {
        const QString whole = wholeCharacters(text);
        if (whole.size() != text.size()) box->setText(whole);
    });
}

namespace {
class ButtonEnter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() != QEvent::KeyPress) return false;
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() != Qt::Key_Return && k->key() != Qt::Key_Enter) return false;
        if (k->modifiers() & ~Qt::KeypadModifier) return false;
        if (!qobject_cast<QPushButton*>(o) && !qobject_cast<QToolButton*>(o)) return false;
        auto* b = static_cast<QAbstractButton*>(o);
        if (!b->hasFocus() || !b->isEnabled()) return false;
        // Holding the key down presses the button once.
        if (!k->isAutoRepeat()) b->click();
        return true;
    }
};
}

void enterPressesFocusedButtons()
{
    static QPointer<ButtonEnter> installed;
    if (installed || !qApp) return;
    installed = new ButtonEnter(qApp);
    qApp->installEventFilter(installed);
}

namespace {
class WholeText : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* o, QEvent* e) override
    {
        auto* box = qobject_cast<QLineEdit*>(o);
        if (!box || delivering_) return false;
        switch (e->type()) {
        case QEvent::FocusIn: {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(e)->reason();
            if (reason == Qt::PopupFocusReason) return false;
            // The box takes the focus first (a masked box moves its cursor there).
            delivering_ = true;
            QCoreApplication::sendEvent(box, e);
            delivering_ = false;
            if (reason == Qt::MouseFocusReason) clicked_.insert(box);
            else box->selectAll();
            return true;
        }
        case QEvent::MouseButtonRelease:
            if (clicked_.remove(box) && !box->hasSelectedText()) box->selectAll();
            break;
        case QEvent::FocusOut:
            clicked_.remove(box);
            break;
        default:
            break;
        }
        return false;
    }

private:
    bool delivering_ = false;
    QSet<QObject*> clicked_;
};
}

void selectWholeOnFocus(QLineEdit* box)
{
    static QPointer<WholeText> filter;
    if (!filter) filter = new WholeText(qApp);
    box->installEventFilter(filter);
}

}
