#pragma once
// What the feature windows need of the main window beyond the session: the
// widget that owns them and the caption after a login. The main window
// implements it; the windows below never see its class.
class QWidget;

namespace qm {

class MainWindow {
public:
    virtual QWidget* widget() = 0;
    // The caption after a login: "...-用户名:<user> 操作员:<code>".
    virtual void setLoggedInCaption() = 0;

protected:
    ~MainWindow() = default;
};

// The main window while there is one, else null.
MainWindow* mainWindow();
// Its widget, or null.
QWidget* mainWidget();

// Installed once by the main window's file: how to find the current one.
using MainWindowLookup = MainWindow* (*)();
void setMainWindowLookup(MainWindowLookup lookup);

}
