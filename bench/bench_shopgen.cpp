// Generates the ten-year shop (or takes it from the cache) and prints its
// size and the time it took.
//   bench_shopgen [scale] [seed] [--fresh] [--sales-headers N]
// --fresh writes a new shop under /tmp instead of using the cache;
// --sales-headers sets the scale at which the sales list holds about N headers.
#include "shopgen.h"
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qm::bench::ShopSpec spec;
    bool fresh = false;
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--fresh") == 0) fresh = true;
        else if (std::strcmp(argv[i], "--sales-headers") == 0 && i + 1 < argc)
            spec = qm::bench::ShopSpec::forSalesHeaders(std::atoll(argv[++i]), spec.seed);
        else if (positional++ == 0) spec.scale = std::atof(argv[i]);
        else spec.seed = std::strtoull(argv[i], nullptr, 10);
    }
    const QString freshPath = QDir::tempPath() + "/quillmart-shop-fresh.db";
    const qm::bench::ShopFacts f = fresh ? qm::bench::generateShop(freshPath, spec) : qm::bench::tenYearShop(spec);
    std::printf("shop: %s (%s)\n", qPrintable(f.path), f.generated ? "generated" : "from the cache");
    if (f.generated) std::printf("generation time: %.1f s\n", f.seconds);
    std::printf("file size: %.1f MB\n", f.bytes / 1048576.0);
    const char* names[] = {"sales", "sales returns", "receipts", "purchases", "purchase returns", "payments"};
    for (int k = 0; k < qm::bench::ShopKindCount; ++k)
        std::printf("%-17s %9lld headers %10lld rows\n", names[k], static_cast<long long>(f.headers[size_t(k)]),
                    static_cast<long long>(f.rows[size_t(k)]));
    std::printf("document rows: %lld (seed %llu, scale %.3f)\n", static_cast<long long>(f.totalRows()),
                static_cast<unsigned long long>(spec.seed), spec.scale);
    if (fresh) QFile::remove(freshPath);
    return 0;
}
