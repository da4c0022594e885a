#pragma once
// The window-opening protocol of the main window. The caller runs its rights
// check and question first (a refusal stops before anything here); then the
// main window is disabled, the window is created owned by it, the shared
// dataset is prepared (its SQL text replaced), and the window is shown
// modeless. When the window goes away the main window is enabled again.
#include <QWidget>
#include <functional>

namespace qm {
using WindowFactory = std::function<QWidget*(QWidget* owner)>;

// Returns the window shown. Any failure while creating or preparing leaves the
// main window enabled and no window behind, and is rethrown.
QWidget* openChildWindow(const WindowFactory& factory, const std::function<void()>& prepare = {},
                         bool reenableMainOnClose = true);

// The open window of a class, if any (used to bring a single window forward).
QWidget* findOpenWindow(const QString& objectName);
}
