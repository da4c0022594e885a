#pragma once
// What an operator sees of a window: every label, box and button inside the
// window, none on top of another, and every caption whole.
#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QRegularExpression>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QStringList>
#include <QTabBar>
#include <QToolBar>
#include <QWidget>
#include <vector>

namespace visible {

inline QString nameOf(const QWidget* w)
{
    const QString text = qobject_cast<const QLabel*>(w)             ? static_cast<const QLabel*>(w)->text()
                         : qobject_cast<const QAbstractButton*>(w) ? static_cast<const QAbstractButton*>(w)->text()
                                                                   : QString();
    return QStringLiteral("%1 '%2' \"%3\"").arg(QString::fromLatin1(w->metaObject()->className()), w->objectName(), text);
}

// The controls an operator reads or types into: labels, line edits, drop-down
// boxes and buttons, not the parts that make up a drop-down box, a toolbar or a grid.
inline std::vector<QWidget*> controls(QWidget* window)
{
    std::vector<QWidget*> out;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(window) || w->isWindow()) continue;
        if (!qobject_cast<QLabel*>(w) && !qobject_cast<QLineEdit*>(w) && !qobject_cast<QComboBox*>(w)
            && !qobject_cast<QAbstractButton*>(w))
            continue;
        bool part = false;
        for (QWidget* p = w->parentWidget(); p && p != window; p = p->parentWidget())
            if (qobject_cast<QComboBox*>(p) || qobject_cast<QToolBar*>(p) || qobject_cast<QAbstractScrollArea*>(p)
                || qobject_cast<QTabBar*>(p))
                part = true;
        if (!part) out.push_back(w);
    }
    return out;
}

inline QString plainText(QString t)
{
    t.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    return t;
}

// One line per fault found; empty when the window looks finished. The window
// is shown (off screen in the tests) so that its layouts have run.
inline QStringList layoutProblems(QWidget* window)
{
    if (!window->isVisible()) window->show(); // runs the layouts
    if (window->layout()) window->layout()->activate();
    QStringList problems;
    const std::vector<QWidget*> cs = controls(window);
    std::vector<QRect> rects;
    for (QWidget* w : cs) rects.push_back(QRect(w->mapTo(window, QPoint(0, 0)), w->size()));
    for (size_t i = 0; i < cs.size(); ++i) {
        QWidget* w = cs[i];
        if (!window->rect().contains(rects[i])) problems << nameOf(w) + " reaches outside the window";
        for (size_t j = i + 1; j < cs.size(); ++j)
            if (rects[i].intersects(rects[j]) && !w->isAncestorOf(cs[j]) && !cs[j]->isAncestorOf(w))
                problems << nameOf(w) + " overlaps " + nameOf(cs[j]);
        const QFontMetrics fm(w->font());
        if (auto* l = qobject_cast<QLabel*>(w); l && l->pixmap().isNull() && !l->text().isEmpty()) {
            const QRect room = l->contentsRect();
            const bool fits = l->wordWrap() ? l->heightForWidth(room.width()) <= room.height()
                                            : fm.horizontalAdvance(plainText(l->text())) <= room.width()
                                                  && fm.height() <= room.height();
            if (!fits && l->textFormat() != Qt::RichText) problems << nameOf(w) + " cuts its text";
        } else if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w)) {
            if (w->sizeHint().width() > w->width()) problems << nameOf(w) + " cuts its caption";
        } else if (auto* b = qobject_cast<QAbstractButton*>(w); b && !b->text().isEmpty()) {
            const int textWidth = fm.horizontalAdvance(plainText(b->text()));
            const int room = b->width() - 4 - (b->icon().isNull() ? 0 : b->iconSize().width());
            if (textWidth > room || fm.height() > b->height()) problems << nameOf(w) + " cuts its caption";
        }
    }
    return problems;
}

}
