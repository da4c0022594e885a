#pragma once
// Launch timing: when QM_LAUNCH_PROBE names a window's objectName, the program
// prints it and the milliseconds since start when it is shown, and ends at once.
class QWidget;

namespace qm {
// Starts the clock (the application object does, when it is made).
void startLaunchClock();
void launchProbe(QWidget* shown);
}
