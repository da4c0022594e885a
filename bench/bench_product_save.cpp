// Saving a product as the editor does (the write, then the copy to bak/) on a
// database of 10,000 and of 100,000 products: the operator's wait, against raw
// SQLite inserting the same row in the same run, and against the copy made on
// the window's thread as before. Also the code check, indexed against a scan.
// Usage: bench_product_save [SAVES [FOLDER]]  (FOLDER: where the database goes, e.g. /dev/shm
// to leave out the disk's sync time)
#include "data/bakcopy.h"
#include "data/dataset.h"
#include "data/schema.h"
#include "masterdata/productlogic.h"
#include "measure.h"
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <thread>
#include <vector>

namespace {
void grow(qm::Connection& c, int from, int to)
{
    qm::Transaction t(c);
    qm::Statement st(c.handle(), "INSERT INTO product (intno, sphh, spmc, spgg, spbzxh, splb, branchname, dj_w, spmz, factory, bz) "
                                 "VALUES (:p1, :p2, :p3, :p4, '瓶', '饮料', '华东食品批发', 2.5, 3.5, '杭州某某食品有限公司', :p5)");
    for (int i = from; i < to; ++i) {
        st.reset();
        st.bind({{"p1", QString::asprintf("%08d", i + 1)}, {"p2", QString::asprintf("69%011d", i)},
                 {"p3", QStringLiteral("农夫山泉矿泉水550ml-%1").arg(i)}, {"p4", QStringLiteral("NFSQKQS550ml")},
                 {"p5", QStringLiteral("货架A-%1").arg(i % 40)}});
        st.step();
    }
    t.commit();
}

double ms(const QElapsedTimer& t) { return t.nsecsElapsed() / 1e6; }
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int saves = argc > 1 ? std::max(3, atoi(argv[1])) : 15;
    QTemporaryDir dir(argc > 2 ? QString::fromLocal8Bit(argv[2]) + "/qmsave-XXXXXX" : QDir::tempPath() + "/qmsave-XXXXXX");
    const QString working = dir.path() + "/works/vkdb.mdb", backup = dir.path() + "/bak/vkdb.mdb";
    QDir().mkpath(dir.path() + "/works");
    QDir().mkpath(dir.path() + "/bak");
    qm::createInitialDatabase(working);
    qm::Connection c;
    c.open(working);
    int have = 0, serial = 0;
    std::printf("product save in %s, median of %d saves each, saves spaced 200 ms apart as an operator's are\n",
                qPrintable(dir.path()), saves);
    for (int target : {10000, 100000}) {
        grow(c, have, target);
        have = target;
        qm::Dataset products(&c, "Aqproduct");
        products.setSql(QLatin1String(qm::product::kAllProducts));
        products.open();
        QElapsedTimer t;
        std::vector<double> add, change, raw, sync, scan, index;
        for (int i = 0; i < saves; ++i) {
            qm::product::Values v;
            v.sphh = QStringLiteral("B%1").arg(++serial);
            v.spmc = QStringLiteral("新品%1").arg(serial);
            v.dj_w = 2;
            t.start();
            qm::product::Stored s = qm::product::store(products, v, true, {});
            qm::requestBakCopy(working, backup);
            add.push_back(ms(t));
            std::this_thread::sleep_for(std::chrono::milliseconds(200));

            v.spmc += QStringLiteral("改");
            t.start();
            qm::product::store(products, v, false, s.intno);
            qm::requestBakCopy(working, backup);
            change.push_back(ms(t));
            qm::waitForBakCopies();

            // Raw SQLite: the same row in its own transaction.
            t.start();
            c.exec("BEGIN IMMEDIATE");
            c.exec("INSERT INTO product (intno, sphh, spmc, dj_w, avdj) VALUES (:p1, :p2, :p3, 2, 2)",
                   {{"p1", QString::asprintf("9%07d", serial)}, {"p2", QStringLiteral("R%1").arg(serial)}, {"p3", v.spmc}});
            c.exec("COMMIT");
            raw.push_back(ms(t));

            // The copy made on the window's thread, as the editor did before.
            t.start();
            c.backupTo(backup);
            sync.push_back(ms(t));

            t.start();
            c.scalar("SELECT 1 FROM product WHERE (trim(sphh)=:p1) LIMIT 1", {{"p1", "nope"}});
            scan.push_back(ms(t));
            t.start();
            c.scalar("SELECT 1 FROM product WHERE (sphh=:p1) LIMIT 1", {{"p1", "nope"}});
            index.push_back(ms(t));
        }
        const double mb = QFileInfo(working).size() / 1048576.0;
        std::printf("%6d products (%.0f MB)\n", target, mb);
        std::printf("  operator's wait, add    %7.2f ms  (%.2fx raw insert %.2f ms)\n", qmbench::median(add), qmbench::median(add) / qmbench::median(raw), qmbench::median(raw));
        std::printf("  operator's wait, change %7.2f ms  (%.2fx raw insert)\n", qmbench::median(change), qmbench::median(change) / qmbench::median(raw));
        std::printf("  copy on the window's thread, as before: %7.2f ms\n", qmbench::median(sync));
        std::printf("  code check: indexed %.3f ms, trim() scan %.3f ms\n", qmbench::median(index), qmbench::median(scan));
    }
    qm::waitForBakCopies();
    std::printf("aim: the wait under 10 ms at 100,000 products and not growing with the file\n");
    return 0;
}
