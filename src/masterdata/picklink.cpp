#include "masterdata/picklink.h"
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QAbstractSpinBox>
#include <QDoubleSpinBox>
#include <QSpinBox>
#include <QTimer>

namespace qm {

PickLink::PickLink(QWidget* list, QWidget* opener, int pickCode)
    : QObject(list), list_(list), opener_(opener), pickCode_(pickCode)
{
    if (opener) {
        connect(opener, &QObject::destroyed, this, [this]() {
            if (list_) list_->close();
        });
    }
}

bool PickLink::writeBox(const QString& boxName, const QString& text)
{
    if (!opener_) return false;
    QWidget* w = opener_->findChild<QWidget*>(boxName);
    if (!w && opener_->objectName() == boxName) w = opener_;
    if (!w) return false;
    if (auto* e = qobject_cast<QLineEdit*>(w)) {
        // The picked value is entered as if typed and confirmed: the opener's
        // handling of a finished box (a party's name looked up) runs at once.
        e->setText(text);
        e->setModified(true);
        emit e->editingFinished();
        return true;
    }
    if (auto* c = qobject_cast<QComboBox*>(w)) {
        if (c->isEditable()) c->setEditText(text);
        else {
            int i = c->findText(text);
            if (i < 0) { c->addItem(text); i = c->count() - 1; }
            c->setCurrentIndex(i);
        }
        return true;
    }
    if (auto* l = qobject_cast<QLabel*>(w)) { l->setText(text); return true; }
    if (auto* s = qobject_cast<QDoubleSpinBox*>(w)) { s->setValue(text.toDouble()); return true; }
    if (auto* s = qobject_cast<QSpinBox*>(w)) { s->setValue(text.toInt()); return true; }
    return false;
}

}
