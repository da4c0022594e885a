#include "shell/commands.h"
#include <QHash>

namespace qm {
namespace {
QHash<QString, CommandHandler>& table()
{
    static QHash<QString, CommandHandler> t;
    return t;
}
}

void registerCommand(const QString& name, CommandHandler handler) { table().insert(name, std::move(handler)); }
bool hasCommand(const QString& name) { return table().contains(name); }

bool runCommand(const QString& name)
{
    auto it = table().find(name);
    if (it == table().end() || !it.value()) return false;
    CommandHandler h = it.value(); // the handler may re-register
    h();
    return true;
}

QStringList registeredCommands() { return table().keys(); }

ScopedCommand::ScopedCommand(const QString& name, CommandHandler handler) : name_(name)
{
    auto it = table().find(name);
    had_ = it != table().end();
    if (had_) previous_ = it.value();
    table().insert(name, std::move(handler));
}

ScopedCommand::~ScopedCommand()
{
    if (had_) table().insert(name_, previous_);
    else table().remove(name_);
}
}
