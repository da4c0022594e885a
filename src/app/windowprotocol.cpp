#include "app/windowprotocol.h"
#include "app/tfrmain.h"
#include <QPointer>

namespace qm {

QWidget* openChildWindow(const WindowFactory& factory, const std::function<void()>& prepare, bool reenableMainOnClose)
{
    QPointer<Tfrmain> main = frmain;
    if (main) main->setEnabled(false);
    QWidget* w = nullptr;
    try {
        w = factory(main);
        if (prepare) prepare();
    } catch (...) {
        delete w;
        if (main) main->setEnabled(true);
        throw;
    }
    w->setAttribute(Qt::WA_DeleteOnClose, true);
    w->setWindowFlag(Qt::Window, true);
    if (reenableMainOnClose) {
        QObject::connect(w, &QObject::destroyed, main, [main]() {
            if (main) main->setEnabled(true);
        });
    }
    w->show();
    w->raise();
    w->activateWindow();
    return w;
}

QWidget* findOpenWindow(const QString& objectName)
{
    if (!frmain) return nullptr;
    for (QWidget* w : frmain->findChildren<QWidget*>(objectName, Qt::FindDirectChildrenOnly))
        if (w->isWindow() && w->isVisible()) return w;
    return nullptr;
}
}
