#pragma once
// Switching the desktop's input method for boxes that take Chinese text: while
// such a box has the focus the configured input method is on; when the focus
// leaves, the one in use before comes back. The switch goes through ibus
// (`ibus engine NAME`) where it runs; without ibus nothing happens.
#include <QString>
#include <functional>

class QWidget;

namespace qm::ime {

// Gives `box` the input method `name` (the options' imename). Called again,
// it replaces the name; an empty name leaves the box to whatever is on.
void giveInputMethod(QWidget* box, const QString& name);
// The name a box was given, empty when none.
QString inputMethodOf(const QWidget* box);

// How the switch is made. `current` answers the engine in use (empty when no
// input-method service runs); `select` turns an engine on.
struct Switcher {
    std::function<QString()> current;
    std::function<void(const QString&)> select;
};
// The ibus switcher; tests put a recording one in its place.
Switcher ibusSwitcher();
void setSwitcher(const Switcher& s);

}
