#include "app/application.h"
#include "admin/errorhandler.h"
#include "common/assets.h"
#include "common/boxkeys.h"
#include "common/errors.h"
#include "data/connection.h"
#include "shell/launchprobe.h"
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>
#include <QWidget>
#include <csignal>

namespace qm {

namespace {
bool g_exitRequested = false;
int g_exitCode = 0;

void handle(QObject* sender, std::exception_ptr e)
{
    try {
        std::rethrow_exception(e);
    } catch (const SilentStop&) {
    } catch (const ProgramExit& x) {
        Application::requestExit(x.code);
    } catch (...) {
        try {
            reportException(sender, std::current_exception());
        } catch (const ProgramExit& x) {
            Application::requestExit(x.code);
        } catch (...) {
            // The handler itself failed: nothing more can be reported.
        }
    }
}
}

void Application::showDataWaits()
{
    if (waitSign().begin) return;
    setWaitSign({[] {
                     // Set from inside the wait, where no event runs: the
                     // window system gets the cursor at once all the same.
                     QGuiApplication::setOverrideCursor(Qt::WaitCursor);
                     // Whatever call to the library waited, the cursor goes
                     // once the events run again.
                     QTimer::singleShot(0, qApp, [] { endWaitSign(); });
                 },
                 [] { QGuiApplication::restoreOverrideCursor(); }});
}

void Application::ignoreFileSizeSignal() { std::signal(SIGXFSZ, SIG_IGN); }

Application::Application(int& argc, char** argv) : QApplication(argc, argv)
{
    ignoreFileSizeSignal();
    startLaunchClock();
    setWindowIcon(qm::programIcon()); // every window and the desktop's task list
    qm::enterPressesFocusedButtons();
    showDataWaits();
    loadQtTranslations();
}

QTranslator* Application::loadQtTranslations()
{
    auto* t = new QTranslator(qApp);
    // The "qt" catalogue brings the catalogues of the Qt modules with it.
    if (t->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qt"), QStringLiteral("_"),
                QLibraryInfo::path(QLibraryInfo::TranslationsPath))
        && QCoreApplication::installTranslator(t))
        return t;
    delete t;
    return nullptr;
}

void Application::launchProbe(QWidget* shown) { qm::launchProbe(shown); }

bool Application::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        handle(receiver, std::current_exception());
    }
    return false;
}

bool Application::guard(QObject* sender, const std::function<void()>& work)
{
    try {
        work();
        return true;
    } catch (...) {
        handle(sender, std::current_exception());
    }
    return false;
}

void Application::requestExit(int code)
{
    g_exitRequested = true;
    g_exitCode = code;
    QCoreApplication::exit(code);
}

bool Application::exitRequested() { return g_exitRequested; }
int Application::exitCode() { return g_exitCode; }

int Application::run()
{
    if (g_exitRequested) return g_exitCode;
    int rc = 0;
    // An exception escaping the loop itself is reported, then the loop resumes.
    while (!g_exitRequested) {
        bool ok = guard(qApp, [&] { rc = QCoreApplication::exec(); });
        if (ok) break;
    }
    return g_exitRequested ? g_exitCode : rc;
}

}
