// Launch time: from starting the program to its login window (and to the
// splash when the splash is on). Runs the real program several times in a
// fresh program folder with a fresh database; run it under a display, e.g.
//   xvfb-run -a -s "-screen 0 1280x900x24" build/bench_launch [runs]
// The program prints the window's name and its own milliseconds since start
// and ends at once when QM_LAUNCH_PROBE names the window shown.
#include "data/connection.h"
#include "data/schema.h"
#include "data/dataset.h"
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
struct Sample {
    double wallMs;
    double ownMs;
};

bool copyAssets(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    for (const QFileInfo& fi : QDir(from).entryInfoList(QDir::Files))
        if (!QFile::copy(fi.absoluteFilePath(), to + "/" + fi.fileName())) return false;
    return true;
}

bool runOnce(const QString& program, const QByteArray& window, Sample& out)
{
    QProcess p;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("QM_LAUNCH_PROBE", QString::fromLatin1(window));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::SeparateChannels);
    QElapsedTimer t;
    t.start();
    p.start(program, {});
    if (!p.waitForStarted(10000)) return false;
    QByteArray line;
    while (!line.contains('\n')) {
        if (!p.waitForReadyRead(20000)) break;
        line += p.readAllStandardOutput();
    }
    double wall = t.nsecsElapsed() / 1e6;
    p.waitForFinished(5000);
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished();
    }
    QList<QByteArray> parts = line.trimmed().split(' ');
    if (parts.size() != 2 || parts[0] != window) return false;
    out = {wall, parts[1].toDouble()};
    return true;
}

void report(const char* what, std::vector<Sample> s)
{
    if (s.empty()) {
        std::printf("%-28s no successful run\n", what);
        return;
    }
    std::sort(s.begin(), s.end(), [](const Sample& a, const Sample& b) { return a.wallMs < b.wallMs; });
    double own = 0;
    for (const auto& x : s) own += x.ownMs;
    std::printf("%-28s runs %2zu  wall min %6.1f  median %6.1f  max %6.1f ms   (in-process mean %6.1f ms)\n", what,
                s.size(), s.front().wallMs, s[s.size() / 2].wallMs, s.back().wallMs, own / double(s.size()));
}
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
    const QString built = QCoreApplication::applicationDirPath();
    const QString source = built + "/quillmart";
    if (!QFileInfo::exists(source)) {
        std::fprintf(stderr, "launch: %s not found\n", qPrintable(source));
        return 2;
    }
    QTemporaryDir dir;
    const QString folder = dir.path();
    const QString program = folder + "/quillmart";
    if (!QFile::copy(source, program) || !copyAssets(built + "/assets", folder + "/assets")) {
        std::fprintf(stderr, "launch: cannot prepare %s\n", qPrintable(folder));
        return 2;
    }
    QFile(program).setPermissions(QFile(source).permissions());
    QDir().mkpath(folder + "/works");
    QDir().mkpath(folder + "/bak");
    qm::createInitialDatabase(folder + "/works/vkdb.mdb");
    qm::createInitialDatabase(folder + "/bak/vkdb.mdb");

    auto setSplash = [&](bool on) {
        qm::Connection c;
        c.open(folder + "/works/vkdb.mdb");
        c.exec("UPDATE config SET flashbj=:p1", {{"p1", on ? 1 : 0}});
    };

    std::printf("launch of %s, %d runs each (first run warms the caches and is not counted)\n", qPrintable(source), runs);
    struct Case { const char* name; bool splash; QByteArray window; };
    for (const Case& k : {Case{"to login (splash off)", false, "Frpassword"}, Case{"to splash (splash on)", true, "Frflash"}}) {
        setSplash(k.splash);
        Sample warm;
        runOnce(program, k.window, warm);
        std::vector<Sample> samples;
        for (int i = 0; i < runs; ++i) {
            Sample s;
            if (runOnce(program, k.window, s)) samples.push_back(s);
        }
        report(k.name, samples);
    }
    std::printf("with the splash on, the login follows the splash's 3 s display by design\n");

    // The same launch on a database grown to several hundred MB: start-up's
    // checks must not grow with the file.
    setSplash(false);
    auto median = [&](int n) {
        std::vector<Sample> s;
        Sample x;
        runOnce(program, "Frpassword", x);
        for (int i = 0; i < n; ++i)
            if (runOnce(program, "Frpassword", x)) s.push_back(x);
        report("to login", s);
        std::sort(s.begin(), s.end(), [](const Sample& a, const Sample& b) { return a.wallMs < b.wallMs; });
        return s.empty() ? 0.0 : s[s.size() / 2].wallMs;
    };
    const double fresh = median(runs);
    const int targetMb = argc > 2 ? std::max(1, atoi(argv[2])) : 500;
    {
        qm::Connection c;
        c.open(folder + "/works/vkdb.mdb");
        qm::Transaction t(c);
        qm::Statement st(c.handle(), "INSERT INTO outdetail(intno, mainintno, spintno, sphh, spmc, sl, dj_n, amount, remark) "
                                     "VALUES(:p1, :p2, :p3, :p4, :p5, 1, 2.5, 2.5, :p6)");
        const QString filler(120, QChar(0x8d27));
        for (int i = 0; i % 10000 || QFileInfo(folder + "/works/vkdb.mdb").size() < qint64(targetMb) << 20; ++i) {
            st.reset();
            st.bind({{"p1", QString::asprintf("%010d", i)}, {"p2", QString::asprintf("%010d", i / 20)},
                     {"p3", QString::asprintf("%08d", i % 100000)}, {"p4", QString::asprintf("69%011d", i % 100000)},
                     {"p5", QStringLiteral("货品%1").arg(i % 100000)}, {"p6", filler}});
            st.step();
        }
        t.commit();
    }
    const qint64 bytes = QFileInfo(folder + "/works/vkdb.mdb").size();
    std::printf("database grown to %lld MB\n", bytes >> 20);
    const double big = median(runs);
    if (fresh > 0) std::printf("to login, %lld MB against a new database: %.0f ms / %.0f ms = %.2fx (aim: within 1.5x, under 1000 ms)\n",
                               bytes >> 20, big, fresh, big / fresh);
    return 0;
}
