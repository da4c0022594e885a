#include "data/damage.h"
#include "common/errors.h"
#include "common/paths.h"
#include <QFileInfo>
#include <atomic>

namespace qm {

namespace {
std::atomic<bool> g_damaged{false};

QString samePath(const QString& path)
{
    const QFileInfo fi(path);
    const QString canonical = fi.canonicalFilePath();
    return canonical.isEmpty() ? fi.absoluteFilePath() : canonical;
}
}

QString workingDamagedText()
{
    return QStringLiteral("工作数据已损坏！备份目录bak中保留的是上一次完好的数据,请用“数据备份恢复”恢复。");
}

QString diskFullText() { return QStringLiteral("磁盘空间不足！请清理磁盘后再试。"); }

QString ioErrorText() { return QStringLiteral("磁盘读写错误"); }

QString dataBusyText() { return QStringLiteral("数据被其他程序占用"); }

void setWorkingDamaged(bool damaged) { g_damaged = damaged; }

bool workingDamaged() { return g_damaged; }

bool isWorkingDatabase(const QString& path)
{
    return !path.isEmpty() && samePath(path) == samePath(AppPaths::workingDatabase());
}

void throwCopiedDataDamaged(const QString& database, const QString& detail)
{
    if (isWorkingDatabase(database)) {
        setWorkingDamaged(true);
        throw DbDamagedError(workingDamagedText());
    }
    throw DbDamagedError(QStringLiteral("数据文件已损坏: %1 (%2)").arg(database, detail));
}

QString trueCause(const std::exception& e)
{
    if (dynamic_cast<const DbDamagedError*>(&e)) return workingDamagedText();
    if (dynamic_cast<const DiskFullError*>(&e)) return diskFullText();
    if (dynamic_cast<const DbIoError*>(&e)) return ioErrorText();
    return {};
}

QString withTrueCause(const QString& text, const std::exception& e)
{
    const QString cause = trueCause(e);
    return cause.isEmpty() ? text : text + QLatin1Char('\r') + cause;
}

QString reasonOf(const std::exception& e)
{
    if (dynamic_cast<const DbBusyError*>(&e)) return dataBusyText();
    const QString cause = trueCause(e);
    return cause.isEmpty() ? QString::fromUtf8(e.what()) : cause;
}

}
