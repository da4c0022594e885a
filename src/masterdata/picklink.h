#pragma once
// A master list opened by another window to pick a record keeps a guarded
// reference to its opener, writes the chosen value through it, and closes
// when the opener closes. Shared by the product list and the partner lists.
#include <QObject>
#include <QPointer>
#include <QWidget>

namespace qm {

// The first row of a document carrying the last period forward: a pick never
// writes into it, and says so.
inline QString carriedForwardName() { return QStringLiteral("上期结转"); }
inline QString carriedForwardRefusal() { return QStringLiteral("明细表中的第一行为上期结转行,不能删除或修改"); }

class PickLink : public QObject {
    Q_OBJECT
public:
    // `list` closes when `opener` is destroyed or hidden for good.
    PickLink(QWidget* list, QWidget* opener, int pickCode);
    QWidget* opener() const { return opener_; }
    QWidget* list() const { return list_; }
    int pickCode() const { return pickCode_; }
    bool openerAlive() const { return !opener_.isNull(); }
    // Sets the text of the opener's child widget named `boxName` (a line edit,
    // combo box, label or spin box); a line edit then reports its editing
    // finished. False when the opener or the box is gone.
    bool writeBox(const QString& boxName, const QString& text);

private:
    QPointer<QWidget> list_;
    QPointer<QWidget> opener_;
    int pickCode_;
};

}
