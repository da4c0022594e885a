#include "data/damage.h"
#include "data/referee.h"
#include "common/clock.h"
#include "common/errors.h"
#include "common/paths.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <sqlite3.h>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

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

QString damagedFileText(const QString& path) { return QStringLiteral("数据文件已损坏: ") + path; }

QString missingTablesText(const QString& names) { return QStringLiteral("数据表") + names + QStringLiteral("不存在"); }

QString targetFaultText(const QString& target)
{
    const QString folder = QDir::cleanPath(QFileInfo(target).absolutePath());
    const QStorageInfo disk(folder);
    QString where = disk.isValid() ? disk.rootPath() : folder;
    if (disk.isValid() && !disk.device().isEmpty()) where += QStringLiteral("(%1)").arg(QString::fromLocal8Bit(disk.device()));
    return QStringLiteral("写入%1的数据检查有误,请检查该文件夹所在的磁盘%2。工作数据完好,原有的备份没有改变。").arg(folder, where);
}

QString cannotReadText(const QString& path, const QString& cause)
{
    return QStringLiteral("不能读取工作数据: %1\r原因：%2").arg(path, cause);
}

QString fileErrorCause(int err)
{
    switch (err) {
    case ENOSPC:
    case EDQUOT: return diskFullText();
    case EACCES:
    case EPERM: return QStringLiteral("没有读写权限");
    case EROFS: return QStringLiteral("磁盘只读,不能写入");
    case ENOENT:
    case ENOTDIR:
    case EEXIST: return QStringLiteral("找不到文件或文件夹"); // a file where the folder belongs
    default: return ioErrorText();
    }
}

void throwFileError(int err, const QString& what)
{
    const QString detail = what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(err));
    logFailureDetail(detail);
    if (err == ENOSPC || err == EDQUOT) throw DiskFullError(detail);
    if (err == EIO) throw DbIoError(detail);
    throw CausedError(detail, fileErrorCause(err));
}

void throwCopyFailure(int rc, const QString& what, int sysErrno)
{
    const QString detail = QStringLiteral("%1: %2 (%3)").arg(what, QString::fromUtf8(sqlite3_errstr(rc))).arg(rc);
    logFailureDetail(detail);
    switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED: throw DbBusyError(detail);
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB: throw DbDamagedError(detail);
    case SQLITE_FULL: throw DiskFullError(detail);
    case SQLITE_INTERRUPT: throw DbInterrupted(detail);
    case SQLITE_CANTOPEN:
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        if (sysErrno == ENOSPC || sysErrno == EDQUOT) throw DiskFullError(detail);
        throw CausedError(detail, sysErrno ? fileErrorCause(sysErrno) : QStringLiteral("没有读写权限"));
    default: throw DbIoError(detail);
    }
}

void logFailureDetail(const QString& detail)
{
    static std::mutex m;
    const std::lock_guard<std::mutex> lock(m);
    QFile f(AppPaths::errorLog());
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) return;
    const QString line = QStringLiteral("数据库错误 DataCopy %1 %2\n")
                             .arg(Clock::now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), detail);
    f.write(line.toUtf8());
}

void setWorkingDamaged(bool damaged)
{
    g_damaged = damaged;
    // A restore put another file in place: what was found of the old one goes.
    if (!damaged) forgetVerdicts();
}

bool workingDamaged() { return g_damaged; }

bool isWorkingDatabase(const QString& path)
{
    return !path.isEmpty() && samePath(path) == samePath(AppPaths::workingDatabase());
}

QString trueCause(const std::exception& e)
{
    // What SQLite called damage in the working file is damage only once its
    // own check has found it; until then the global handler has it judged.
    if (dynamic_cast<const SuspectedDamageError*>(&e)) return awaitsJudgement(e) ? QString() : workingDamagedText();
    // Damage the program found itself, or the working file's check confirmed.
    if (dynamic_cast<const DbDamagedError*>(&e)) return workingDamagedText();
    if (dynamic_cast<const DiskFullError*>(&e)) return diskFullText();
    if (dynamic_cast<const DbIoError*>(&e)) return ioErrorText();
    if (const auto* c = dynamic_cast<const CausedError*>(&e)) return c->cause();
    return {};
}

bool awaitsJudgement(const std::exception& e) { return dynamic_cast<const SuspectedDamageError*>(&e) && !workingDamaged(); }

QString withTrueCause(const QString& text, const std::exception& e)
{
    const QString cause = trueCause(e);
    return cause.isEmpty() ? text : text + QLatin1Char('\r') + cause;
}

QString reasonOf(const std::exception& e)
{
    if (dynamic_cast<const DbBusyError*>(&e)) return dataBusyText();
    // Not yet judged: a read that failed, as far as anyone can tell.
    if (awaitsJudgement(e)) return ioErrorText();
    const QString cause = trueCause(e);
    return cause.isEmpty() ? QString::fromUtf8(e.what()) : cause;
}

}
