// A product code typed at the till, on the ten-year shop: a code found
// through its index, and a code not found, which the lookup then checks on
// the product table itself (a damaged index may miss a code silently). Each
// against raw SQLite's indexed lookup of the same code in the same run.
//   bench_code_lookup [scale]
#include "data/connection.h"
#include "documents/sale.h"
#include "measure.h"
#include "shopgen.h"
#include <QCoreApplication>
#include <QFile>
#include <sqlite3.h>
#include <cstdio>

using namespace qm;
using namespace qm::doc;

namespace {
// Raw SQLite on a connection of its own: the lookup by code through the
// index, prepared once, every row stepped.
struct RawLookup {
    sqlite3* db = nullptr;
    sqlite3_stmt* st = nullptr;
    explicit RawLookup(const QString& path)
    {
        sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_prepare_v2(db, "SELECT intno, sphh, spmc, spbzxh, sl_j, dj_n, dj_w, spgg, spmz, hydj, name FROM product "
                               "WHERE sphh=?1 LIMIT 1", -1, &st, nullptr);
    }
    ~RawLookup()
    {
        sqlite3_finalize(st);
        sqlite3_close(db);
    }
    void operator()(const QByteArray& code)
    {
        sqlite3_reset(st);
        sqlite3_bind_text(st, 1, code.constData(), int(code.size()), SQLITE_TRANSIENT);
        while (sqlite3_step(st) == SQLITE_ROW) {}
    }
};
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const bench::ShopFacts shop = bench::copyOfShopForRun("code-lookup.db", argc, argv);
    Connection c;
    c.open(shop.path);
    const qint64 products = c.scalar(QStringLiteral("SELECT count(*) FROM product")).toLongLong();
    const QString known = c.scalar(QStringLiteral("SELECT sphh FROM product ORDER BY rowid DESC LIMIT 1")).toString();
    const QString unknown = QStringLiteral("ZZ-NO-SUCH-CODE");
    RawLookup rawLookup(shop.path);
    const DocDesc& d = saleDesc();
    const int n = 200;
    std::vector<qmbench::Measure> m = {
        {"found, ours", [&] { for (int i = 0; i < n; ++i) productForCode(c, d, known, QStringLiteral("0000000001")); }},
        {"found, raw", [&] { for (int i = 0; i < n; ++i) rawLookup(known.toUtf8()); }},
        {"not found, ours", [&] {
             for (int i = 0; i < n; ++i) {
                 try {
                     productForCode(c, d, unknown, QStringLiteral("0000000001"));
                 } catch (const Refusal&) {
                 }
             }
         }},
        {"not found, raw", [&] { for (int i = 0; i < n; ++i) rawLookup(unknown.toUtf8()); }},
    };
    qmbench::takeTurns(m, 5, [] {});
    std::printf("%lld products; per lookup, best of 5 rounds of %d:\n", static_cast<long long>(products), n);
    for (const auto& x : m) std::printf("  %-16s %9.3f ms\n", x.name, x.best / n);
    std::printf("found: %.2f x raw; not found: %.2f x raw (raw does not look past the index)\n", m[0].best / m[1].best,
                m[2].best / m[3].best);
    c.close();
    QFile::remove(shop.path);
    return 0;
}
