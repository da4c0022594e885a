#pragma once
// How far long work has got, for a window that shows it: called on the
// threads that do the work, with the step and the amount done of a total.
#include <QtGlobal>
#include <functional>

namespace qm {

enum class ProgressStep { Copying, Checking };

using Progress = std::function<void(ProgressStep step, qint64 done, qint64 total)>;

}
