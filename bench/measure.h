#pragma once
// The figures every benchmark prints: the middle of a set of timings and the
// process's memory as the kernel counts it.
#include <QByteArray>
#include <QFile>
#include <algorithm>
#include <vector>

namespace qmbench {

// The middle value of the timings (the upper middle of an even count); 0 for none.
inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
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
