#pragma once
// A generated shop of ten years' trade for the benchmarks: 20,000 products,
// 2,000 members, 2,000 suppliers, 5 cash and bank accounts and about
// 1,000,000 document rows over the six document kinds (times the scale),
// four fifths of them walk-in sales stamped with their time of day. The same
// seed and scale give the same shop, row for row.
//
// Documents are written as the program leaves them: numbered in date order,
// posted (rows and header stamped with bill type, date and party), about one
// in a hundred reversed, the last few days partly unposted; purchases,
// purchase returns, receipts and payments start with their carried-forward
// row; header totals and running balances agree with the rows, and the
// partners, accounts and products end with the balances, counters and stock
// that the posted, unreversed documents give them.
#include <QDate>
#include <QString>
#include <QTemporaryDir>
#include <QtGlobal>
#include <array>

namespace qm::bench {

struct ShopSpec {
    quint64 seed = 20161201;
    double scale = 1.0; // document rows = 1,000,000 × scale; master data stays fixed

    // The scale at which the sales list holds about `headers` headers.
    static ShopSpec forSalesHeaders(qint64 headers, quint64 seed = 20161201);
    qint64 documentRows() const;
};

// The six document kinds in the order of their tables below.
enum ShopKind { Sale, SalesReturn, Receipt, Purchase, PurchaseReturn, Payment, ShopKindCount };
const char* shopHeaderTable(int kind); // "outlist", ...
const char* shopDetailTable(int kind); // "outdetail", ...

struct ShopFacts {
    QString path;
    bool generated = false; // false: taken from the cache
    double seconds = 0;     // generation time (0 when cached)
    qint64 bytes = 0;       // size of the database file
    std::array<qint64, ShopKindCount> headers{};
    std::array<qint64, ShopKindCount> rows{};
    qint64 totalRows() const;
};

// First and last day of the generated trade.
QDate shopFirstDay();
QDate shopLastDay();

// Writes a new shop at `path`, replacing any file there.
ShopFacts generateShop(const QString& path, const ShopSpec& spec);

// The shop for `spec`, cached under /tmp by seed and scale and generated on
// first use. Benchmarks that only read may open it directly; those that write
// work on copyOfShop.
ShopFacts tenYearShop(const ShopSpec& spec = {});

// A private copy of the cached shop at `path` (replacing any file there).
ShopFacts copyOfShop(const QString& path, const ShopSpec& spec = {});

// A private copy named `file` in the temporary folder, at the scale given as
// the program's first argument (1 when none), with its size printed.
ShopFacts copyOfShopForRun(const char* file, int argc, char** argv);

// What the benchmarks of copies start from, `bench_x [runs] [scale]`: the
// rounds (3 when not given), the shop's spec, a program folder in a temporary
// place with its works/, and in it `pristine`, a private copy of the shop
// (`shop`) from which every round starts.
struct CopyBench {
    CopyBench(int argc, char** argv);
    int runs = 3;
    ShopSpec spec;
    QTemporaryDir dir;
    QString working, pristine;
    ShopFacts shop;
};

}
