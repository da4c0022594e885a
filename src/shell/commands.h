#pragma once
// Menu commands by the name of their menu item ("N14"). Each area registers
// the commands of its windows; the main window's menus, toolbar and navigator
// run them by name, so a window plugs in without touching the main window.
#include <QString>
#include <QStringList>
#include <functional>

namespace qm {
using CommandHandler = std::function<void()>;
void registerCommand(const QString& name, CommandHandler handler);
bool hasCommand(const QString& name);
// Runs the command; false when nothing is registered under the name.
bool runCommand(const QString& name);
QStringList registeredCommands();

// Puts a handler in place of a command for its own lifetime and gives the
// previous one back afterwards (tests stand in for windows this way).
class ScopedCommand {
public:
    ScopedCommand(const QString& name, CommandHandler handler);
    ~ScopedCommand();
    ScopedCommand(const ScopedCommand&) = delete;
    ScopedCommand& operator=(const ScopedCommand&) = delete;

private:
    QString name_;
    CommandHandler previous_;
    bool had_ = false;
};
}

// Registers at start-up: QM_COMMAND("N14", [] { ... });
#define QM_CONCAT_INNER(a, b) a##b
#define QM_CONCAT(a, b) QM_CONCAT_INNER(a, b)
#define QM_COMMAND(name, ...) \
    static const bool QM_CONCAT(qm_command_, __LINE__) = (qm::registerCommand(QStringLiteral(name), __VA_ARGS__), true)
