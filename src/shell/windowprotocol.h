#pragma once
// The window-opening protocol of the main window. The caller runs its rights
// check and question first (a refusal stops before anything here); then the
// main window is disabled, the window is created owned by it, the shared
// dataset is prepared (its SQL text replaced), and the window is shown
// modeless. When the window goes away the main window is enabled again.
#include <QWidget>
#include <functional>

class QDialog;

namespace qm {
using WindowFactory = std::function<QWidget*(QWidget* owner)>;

// Returns the window shown. Any failure while creating or preparing leaves the
// main window enabled and no window behind, and is rethrown.
QWidget* openChildWindow(const WindowFactory& factory, const std::function<void()>& prepare = {},
                         bool reenableMainOnClose = true);

// A modeless window owned by the main window that leaves it enabled (the
// options window). Released when closed.
QWidget* openOwnedWindow(const WindowFactory& factory, const std::function<void()>& prepare = {});

// A modal window made on the heap (the about box): shown through the dialogs
// layer without disabling the main window; released afterwards when `release`
// is set. Returns the dialog's result code.
int openModalWindow(QDialog* dialog, bool release = true);

// Shows `window` over `owner` (a list and its editor): the owner is disabled
// while the window is there and is enabled and brought forward again when the
// window goes. Showing the same window again keeps the one return.
void showOverOwner(QWidget* window, QWidget* owner);

// Shows `window` as a top-level window released when closed, enabled even
// when made under a disabled owner, raised and active. Returns the window.
QWidget* showReleasedWindow(QWidget* window);

// The open window of a class, if any (used to bring a single window forward).
QWidget* findOpenWindow(const QString& objectName);

// Disabling a window disables the windows it owns too; this keeps an owned
// window that nobody disabled on purpose usable while its owner is disabled.
// Installed application-wide by the main window when it is created; harmless
// to call again.
void keepOwnedWindowsEnabled();
}
