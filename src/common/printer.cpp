#include "common/printer.h"
#include <QCoreApplication>
#include <QPrinter>

namespace qm {
namespace {
QPrinter* thePrinter = nullptr;
void releasePrinter()
{
    delete thePrinter;
    thePrinter = nullptr;
}
}

QPrinter& sharedPrinter()
{
    if (!thePrinter) {
        thePrinter = new QPrinter(QPrinter::HighResolution);
        // Released with the application, while the print system is still there.
        qAddPostRoutine(releasePrinter);
    }
    return *thePrinter;
}
}
