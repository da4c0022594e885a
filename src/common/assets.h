#pragma once
// Pictures shipped with the program: the assets/ folder beside the program,
// or the source tree's while developing and testing.
#include <QString>

namespace qm {
// The full path of a shipped picture; empty when it is nowhere to be found.
QString assetFile(const QString& name);
}
