#pragma once
// One settable clock for "today" and "now", so that date rules can be tested.
#include <QDate>
#include <QDateTime>

namespace qm {
class Clock {
public:
    static QDateTime now();
    static QDate today() { return now().date(); }
    static void setFixed(const QDateTime& when); // tests
    static void reset();
};
}
