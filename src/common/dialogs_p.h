#pragma once
// Inside the dialogs layer: what every box and the progress window share.
#include <QObject>
#include <QPointer>
#include <QWidget>

namespace qm {

// Keeps a box over its owner for as long as it is shown: owned by the window
// that asked (dlg::ownerWindow()), in the layer of the windows that stay on
// top (so that no such window of the program covers it), raised and given the
// keyboard when it appears, and shown again at once if minimised. Afterwards the box has its own owner and flags
// back, and the window that asked has the keyboard again (the window manager
// may hand it to another window, a disabled one even).
class OverOwner {
public:
    explicit OverOwner(QWidget* box);
    ~OverOwner();
    OverOwner(const OverOwner&) = delete;
    OverOwner& operator=(const OverOwner&) = delete;

private:
    class Raiser : public QObject {
    public:
        using QObject::QObject;
        bool eventFilter(QObject* o, QEvent* e) override;
    };
    QPointer<QWidget> box_;
    QPointer<QWidget> owner_;
    QPointer<QWidget> oldParent_;
    bool hadParent_;
    Qt::WindowFlags oldFlags_;
    bool reowned_ = false;
    QPointer<Raiser> raiser_;
};

}
