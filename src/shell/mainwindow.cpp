#include "shell/mainwindow.h"

namespace qm {

namespace {
MainWindowLookup g_lookup = nullptr;
}

MainWindow* mainWindow() { return g_lookup ? g_lookup() : nullptr; }

QWidget* mainWidget()
{
    MainWindow* m = mainWindow();
    return m ? m->widget() : nullptr;
}

void setMainWindowLookup(MainWindowLookup lookup) { g_lookup = lookup; }

}
