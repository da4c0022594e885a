#pragma once
// The application object. Every event goes through notify(), which catches
// what no window caught: a silent stop is dropped, a program exit ends the
// event loop, anything else goes to the error window.
#include <QApplication>
#include <functional>

class QTranslator;

namespace qm {

class Application : public QApplication {
    Q_OBJECT
public:
    Application(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Runs `work` under the same rules as an event (for code outside the loop).
    // False when it ended by an exception.
    static bool guard(QObject* sender, const std::function<void()>& work);

    // Leaves every running event loop; exec() then returns `code`.
    static void requestExit(int code);
    static bool exitRequested();
    static int exitCode();
    // The event loop, guarded; returns at once when an exit was requested before.
    static int run();

    // Launch timing: when QM_LAUNCH_PROBE names this window's objectName, the
    // program prints it and the milliseconds since start, and ends at once.
    static void launchProbe(QWidget* shown);

    // While a statement of the interface waits for another program's lock
    // past a moment, the busy cursor shows over every window of the program,
    // until the statement ends. Installed once; harmless to call again.
    static void showDataWaits();

    // A write past the file-size limit (ulimit -f) fails with an error that
    // the program reports, instead of the signal ending the program.
    static void ignoreFileSizeSignal();

    // Qt's own Simplified Chinese texts (print dialog, file choosers,
    // standard buttons), installed in the application.
    // Null when the system has none.
    static QTranslator* loadQtTranslations();
};

}
