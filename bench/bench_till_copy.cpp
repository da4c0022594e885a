// The till while a copy to bak/ is pending: two and ten consecutive 20-row
// checkouts on the ten-year shop, each asking for the copy as the sales
// window does, with every row's commit timed (the worst of all rows counts,
// not the middle); then how long bak/ takes to receive a whole, checked copy
// once the till is quiet. Against the same checkouts with no copy pending,
// and a raw SQLite commit of one row change on the same connection, in the
// same run.
//   bench_till_copy [scale] [folder]
#include "common/dialogs.h"
#include "common/paths.h"
#include "data/bakcopy.h"
#include "data/connection.h"
#include "data/databasecheck.h"
#include "documents/sale.h"
#include "measure.h"
#include "shopgen.h"
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <sqlite3.h>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace qm;
using namespace qm::doc;

namespace {

struct Timings {
    std::vector<double> rows;  // each commit of the entry: a new sale, a code, a new row
    std::vector<double> posts; // each checkout's posting
    double worstRow() const { return rows.empty() ? 0 : *std::max_element(rows.begin(), rows.end()); }
    double worstPost() const { return posts.empty() ? 0 : *std::max_element(posts.begin(), posts.end()); }
};

template <class F>
auto timed(std::vector<double>& into, F&& f)
{
    QElapsedTimer t;
    t.start();
    auto r = f();
    into.push_back(t.nsecsElapsed() / 1e6);
    return r;
}

// One 20-row checkout as the cashier makes it, each commit timed.
void checkout(Connection& c, const QStringList& codes, const HeaderInput& in, Timings& t)
{
    const DocDesc& d = saleDesc();
    const QString no = timed(t.rows, [&] { return newDocument(c, d); });
    for (int i = 0; i < codes.size(); ++i) {
        const auto rows = readRows(c, d, no);
        timed(t.rows, [&] { enterCode(c, d, rows.back().intno, codes[i], in.partyCode); return 0; });
        if (i + 1 < codes.size()) timed(t.rows, [&] { addRow(c, d, no); return 0; });
    }
    recalc(c, d, no, in);
    timed(t.posts, [&] { postTendered(c, no, in, 1000, "999"); return 0; });
}

// One row change committed by hand: the least a commit of the till costs.
double rawCommit(Connection& c, qint64 rowid)
{
    QElapsedTimer t;
    t.start();
    sqlite3_exec(c.handle(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    Statement st(c.handle(), "UPDATE outdetail SET rebate=coalesce(rebate,0)+1 WHERE rowid=:r");
    st.bind("r", rowid);
    while (st.step()) {}
    sqlite3_exec(c.handle(), "COMMIT", nullptr, nullptr, nullptr);
    return t.nsecsElapsed() / 1e6;
}

}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    bench::ShopSpec spec;
    spec.scale = argc > 1 ? std::atof(argv[1]) : 1.0;
    QTemporaryDir dir(argc > 2 ? QString::fromLocal8Bit(argv[2]) + "/tillcopy-XXXXXX" : QDir::tempPath() + "/tillcopy-XXXXXX");
    AppPaths::setProgramFolder(dir.path());
    dlg::setBackend(std::make_unique<ScriptedDialogs>());
    const QString path = dir.path() + "/shop.db";
    const QString bak = dir.path() + "/bak/vkdb.mdb";
    const bench::ShopFacts shop = bench::copyOfShop(path, spec);
    std::printf("shop: scale %.1f, %lld document rows, %.0f MB\n", spec.scale, shop.totalRows(), shop.bytes / 1e6);

    Connection c;
    c.open(path);
    QStringList codes;
    for (const auto& r : c.rows("SELECT sphh FROM product WHERE sphh<>'' ORDER BY rowid LIMIT 20")) codes << r[0].toString();
    const auto who = c.rows("SELECT id, name, persondeal, addr FROM customer WHERE id<>'0000000001' ORDER BY rowid LIMIT 1");
    HeaderInput in;
    in.partyCode = who[0][0].toString();
    in.bankId = QStringLiteral("0000000001");
    in.partyName = who[0][1].toString();
    in.contact = who[0][2].toString();
    in.remark = who[0][3].toString();
    const qint64 someRow = c.scalar("SELECT max(rowid) FROM outdetail").toLongLong();

    // Warm up, then the till alone and raw commits.
    Timings warm, alone;
    checkout(c, codes, in, warm);
    for (int i = 0; i < 10; ++i) checkout(c, codes, in, alone);
    std::vector<double> raw;
    for (int i = 0; i < 200; ++i) raw.push_back(rawCommit(c, someRow));
    const double rawMedian = qmbench::median(raw), rawWorst = *std::max_element(raw.begin(), raw.end());
    std::printf("raw SQLite commit of one row change: median %.2f ms, worst %.2f ms (200 commits)\n", rawMedian, rawWorst);
    std::printf("till with no copy pending, 10 checkouts: worst row commit %.2f ms (%.1fx raw worst), "
                "median %.2f ms; worst posting %.2f ms\n",
                alone.worstRow(), alone.worstRow() / rawWorst, qmbench::median(alone.rows), alone.worstPost());

    // The copy bak/ holds before the runs, so that each run's copy is new.
    c.backupTo(bak);
    for (int sales : {2, 10}) {
        Timings t;
        const int before = bakCopiesMade();
        requestBakCopy(path, bak);
        for (int i = 0; i < sales; ++i) {
            checkout(c, codes, in, t);
            requestBakCopy(path, bak);
        }
        QElapsedTimer quiet;
        quiet.start();
        waitForBakCopies();
        const double settled = quiet.nsecsElapsed() / 1e6;
        const bool whole = isUsableBackup(bak);
        Connection b;
        b.open(bak);
        const bool same = b.scalar("SELECT count(*) FROM outlist").toLongLong() == c.scalar("SELECT count(*) FROM outlist").toLongLong();
        b.close();
        std::printf("%2d checkouts with a copy pending: worst row commit %.2f ms of %zu (%.1fx raw worst, aim under 50 ms), "
                    "median %.2f ms; worst posting %.2f ms\n",
                    sales, t.worstRow(), t.rows.size(), t.worstRow() / rawWorst, qmbench::median(t.rows), t.worstPost());
        std::printf("   bak/ received its copy %.1f s after the till went quiet (aim under 60 s): %s, %s; "
                    "%d copies for %d requests\n",
                    settled / 1000, whole ? "whole and checked" : "NOT USABLE", same ? "holds every sale" : "MISSES SALES",
                    bakCopiesMade() - before, sales + 1);
    }
    return 0;
}
