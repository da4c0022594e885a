#pragma once
// The figures every benchmark prints: the middle of a set of timings and the
// process's memory as the kernel counts it.
#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
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

// One named piece of work and its best time in ms over the rounds of takeTurns.
struct Measure {
    const char* name;
    std::function<void()> work;
    double best = 1e99;
};

// Runs every measure once per round, in turn, each after `prepare`: the
// disk's write-back of one measure falls on all of them alike.
inline void takeTurns(std::vector<Measure>& measures, int runs, const std::function<void()>& prepare)
{
    for (int i = 0; i < runs; ++i)
        for (Measure& m : measures) {
            prepare();
            QElapsedTimer t;
            t.start();
            m.work();
            m.best = std::min(m.best, t.nsecsElapsed() / 1e6);
        }
}

// Runs a plain tool (cp, sync, the sqlite3 shell) to its end; a failure ends the benchmark.
inline void runTool(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(-1) || p.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program), p.readAllStandardError().constData());
        std::exit(1);
    }
}

}
