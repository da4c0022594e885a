#pragma once
// How far long work has got, for a window that shows it: called on the
// threads that do the work, with the step and the amount done of a total
// (0 when it is not known).
#include <QString>
#include <functional>

namespace qm {

enum class ProgressStep {
    Copying,        // a copy of the data being written
    Checking,       // the check of a copy just written
    CheckingBackup, // the check of the backup a restore takes
    CheckingWorking, // the working file's own check, before it is called damaged
    Compacting,
    Writing,        // the commands of a job, one transaction
};

using Progress = std::function<void(ProgressStep step, qint64 done, qint64 total)>;

// The step's name in the progress window.
inline QString progressStepName(ProgressStep step)
{
    switch (step) {
    case ProgressStep::Copying: return QStringLiteral("复制数据");
    case ProgressStep::Checking: return QStringLiteral("检查数据");
    case ProgressStep::CheckingBackup: return QStringLiteral("检查备份文件");
    case ProgressStep::CheckingWorking: return QStringLiteral("检查工作数据");
    case ProgressStep::Compacting: return QStringLiteral("压缩数据");
    case ProgressStep::Writing: return QStringLiteral("处理数据");
    }
    return QString();
}

}
