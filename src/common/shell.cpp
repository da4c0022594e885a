#include "common/shell.h"
#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace qm::shell {
namespace {
Hook& hook()
{
    static Hook h;
    return h;
}
}

void setHook(Hook h) { hook() = std::move(h); }

bool openUrl(const QUrl& url)
{
    if (hook()) return hook()(QStringLiteral("url"), url.toString());
    return QDesktopServices::openUrl(url);
}

bool openFile(const QString& path)
{
    if (hook()) return hook()(QStringLiteral("file"), path);
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool startDetached(const QString& program, const QStringList& args)
{
    if (hook()) return hook()(QStringLiteral("start"), program);
    return QProcess::startDetached(program, args);
}

QString findProgram(const QStringList& candidates)
{
    for (const QString& c : candidates) {
        QString p = QStandardPaths::findExecutable(c);
        if (!p.isEmpty()) return p;
    }
    return QString();
}
}
