#include "common/assets.h"
#include "common/paths.h"
#include <QFileInfo>

namespace qm {
QString assetFile(const QString& name)
{
    const QString beside = AppPaths::file(QStringLiteral("assets/") + name);
    if (QFileInfo::exists(beside)) return beside;
#ifdef QM_SOURCE_DIR
    const QString source = QStringLiteral(QM_SOURCE_DIR "/assets/") + name;
    if (QFileInfo::exists(source)) return source;
#endif
    return QString();
}

QIcon programIcon()
{
    const QString file = assetFile(QStringLiteral("quillmart.png"));
    return file.isEmpty() ? QIcon() : QIcon(file);
}
}
