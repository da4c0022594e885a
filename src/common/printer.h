#pragma once
// The one printer every report prints on; 打印设置 sets it up.
class QPrinter;

namespace qm {
QPrinter& sharedPrinter();
}
