#include "app/mainmenu.h"
#include "admin/rights.h"
#include "common/errors.h"
#include "shell/commands.h"
#include <QHash>

namespace qm {

QString administratorRefusal(const QString& item)
{
    static const QHash<QString, QString> rules = {
        {QStringLiteral("N22"), QStringLiteral("该用户无权对系统进行设置！")},
        {QStringLiteral("N82"), QStringLiteral("该用户无权使用此功能！")},
        {QStringLiteral("N13"), QStringLiteral("该用户无权使用此功能！")},
        {QStringLiteral("N15"), QStringLiteral("该用户无权使用此功能！")},
        {QStringLiteral("N10"), QStringLiteral("该用户无权使用此功能！")},
        {QStringLiteral("N17"), QStringLiteral("该用户无权使用此功能！")},
        {QStringLiteral("N45"), QStringLiteral("该用户无权使用此功能！")},
    };
    return rules.value(item);
}

QString commandOf(const QString& item)
{
    if (item == QLatin1String("N73")) return QStringLiteral("N60");
    return item;
}

bool runMenuItem(const QString& item)
{
    const QString refusal = administratorRefusal(item);
    if (!refusal.isEmpty() && !requireAdministrator(refusal)) return false;
    try {
        return runCommand(commandOf(item));
    } catch (const SilentStop&) {
        // A command stopped after its own message.
        return false;
    }
}

}
