#include "shell/windowprotocol.h"
#include "common/dialogs.h"
#include "shell/mainwindow.h"
#include <QApplication>
#include <QDialog>
#include <QPointer>

namespace qm {

namespace {
class OwnedWindowGuard : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::EnabledChange && o->isWidgetType()) {
            auto* w = static_cast<QWidget*>(o);
            if (!w->isEnabled()) {
                for (QWidget* c : w->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                    if (c->isWindow() && !c->testAttribute(Qt::WA_ForceDisabled)) c->setEnabled(true);
            }
        }
        return false;
    }
};

QWidget* createAndShow(QWidget* owner, const WindowFactory& factory, const std::function<void()>& prepare,
                       const std::function<void()>& onFailure)
{
    QWidget* w = nullptr;
    try {
        w = factory(owner);
        if (prepare) prepare();
    } catch (...) {
        delete w;
        onFailure();
        throw;
    }
    return showReleasedWindow(w);
}
}

QWidget* showReleasedWindow(QWidget* w)
{
    w->setAttribute(Qt::WA_DeleteOnClose, true);
    w->setWindowFlag(Qt::Window, true);
    // Created under a disabled owner it would start disabled.
    if (!w->testAttribute(Qt::WA_ForceDisabled)) w->setEnabled(true);
    w->show();
    w->raise();
    w->activateWindow();
    return w;
}

void showOverOwner(QWidget* window, QWidget* owner)
{
    // A child of the window: gone with it, it hands the owner back.
    class OwnerReturn : public QObject {
    public:
        OwnerReturn(QWidget* window, QWidget* owner) : QObject(window), owner_(owner)
        {
            setObjectName(QStringLiteral("qm_ownerReturn"));
        }
        ~OwnerReturn() override
        {
            if (!owner_) return;
            owner_->setEnabled(true);
            owner_->raise();
            owner_->activateWindow();
        }

    private:
        QPointer<QWidget> owner_;
    };
    if (owner) {
        if (!window->findChild<QObject*>(QStringLiteral("qm_ownerReturn"), Qt::FindDirectChildrenOnly))
            new OwnerReturn(window, owner);
        owner->setEnabled(false);
    }
    window->setEnabled(true);
    window->show();
    window->raise();
    window->activateWindow();
}

void keepOwnedWindowsEnabled()
{
    static QPointer<OwnedWindowGuard> guard;
    if (guard || !qApp) return;
    guard = new OwnedWindowGuard(qApp);
    qApp->installEventFilter(guard);
}

QWidget* openChildWindow(const WindowFactory& factory, const std::function<void()>& prepare, bool reenableMainOnClose)
{
    QPointer<QWidget> main = mainWidget();
    if (main) main->setEnabled(false);
    QWidget* w = createAndShow(main, factory, prepare, [main] {
        if (main) main->setEnabled(true);
    });
    if (reenableMainOnClose && main) {
        QObject::connect(w, &QObject::destroyed, main, [main]() {
            if (main) main->setEnabled(true);
        });
    }
    return w;
}

QWidget* openOwnedWindow(const WindowFactory& factory, const std::function<void()>& prepare)
{
    return createAndShow(mainWidget(), factory, prepare, [] {});
}

int openModalWindow(QDialog* dialog, bool release)
{
    if (!dialog) return QDialog::Rejected;
    int rc = QDialog::Rejected;
    try {
        rc = dlg::exec(dialog);
    } catch (...) {
        if (release) delete dialog;
        throw;
    }
    if (release) delete dialog;
    return rc;
}

QWidget* findOpenWindow(const QString& objectName)
{
    QWidget* main = mainWidget();
    if (!main) return nullptr;
    for (QWidget* w : main->findChildren<QWidget*>(objectName, Qt::FindDirectChildrenOnly))
        if (w->isWindow() && w->isVisible()) return w;
    return nullptr;
}
}
