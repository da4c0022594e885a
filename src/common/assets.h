#pragma once
// Pictures and the help page shipped with the program: the assets/ folder
// beside the program, or the source tree's while developing and testing.
#include <QIcon>
#include <QString>

namespace qm {
// The full path of a shipped file; empty when it is nowhere to be found.
QString assetFile(const QString& name);
// The program's icon (assets/quillmart.png); empty when the file is missing.
QIcon programIcon();
}
