#include "common/paths.h"
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace qm {
namespace { QString g_folder; }

QString AppPaths::programFolder()
{
    if (g_folder.isEmpty()) {
        QString dir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
        g_folder = QDir::fromNativeSeparators(dir);
        if (!g_folder.endsWith('/')) g_folder += '/';
    }
    return g_folder;
}

void AppPaths::setProgramFolder(const QString& folder)
{
    g_folder = QDir::fromNativeSeparators(folder);
    if (!g_folder.endsWith('/')) g_folder += '/';
}

QString AppPaths::file(const QString& relative) { return programFolder() + relative; }

QString AppPaths::programName()
{
    if (QCoreApplication::instance()) {
        QString n = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
        if (!n.isEmpty()) return n;
    }
    return QStringLiteral("quillmart");
}
}
