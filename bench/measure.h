#pragma once
// The figures every benchmark prints: the middle of a set of timings and the
// process's memory as the kernel counts it.
#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <functional>
#include <vector>

namespace qmbench {

// The middle value of the timings (the upper middle of an even count); 0 for none.
inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// The shortest of `times` runs of the work, in seconds.
inline double best(const std::function<void()>& work, int times = 3)
{
    double b = 1e30;
    for (int i = 0; i < times; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        b = std::min(b, t.nsecsElapsed() / 1e9);
    }
    return b;
}

// A figure of /proc/self/status in kB ("VmRSS:", "VmHWM:"); -1 when unknown.
inline long statusKb(const char* key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key)) return line.mid(int(qstrlen(key))).trimmed().split(' ').value(0).toLong();
    return -1;
}

}
