// Purchases on the ten-year shop:
//  - posting and reversing a 100-row purchase through the engine, against the
//    same writes as raw prepared statements in one transaction, and against
//    one autocommitted statement per write;
//  - entering 100 rows through the entry window's logic (code, quantity and
//    price, Enter: the row, 刷新 and 添加 in one write) and posting, with the
//    write transactions it takes;
//  - numbering a new document.
//   bench_purchase [scale] [folder]
// The folder of the working copy defaults to the temporary folder; a folder
// in memory (/dev/shm) takes the disk's sync out of the figures.
#include "measure.h"
#include "shopgen.h"
#include "common/clock.h"
#include "data/connection.h"
#include "data/numbering.h"
#include "documents/documentengine.h"
#include "documents/purchase.h"
#include <QCoreApplication>
#include <sqlite3.h>
#include <QDir>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

using namespace qm;
using namespace qm::doc;

namespace {
struct Shop {
    QString supplier;
    QStringList codes;    // product codes
    QStringList intnos;   // their internal numbers
};

double millis(const std::function<void()>& f)
{
    QElapsedTimer t;
    t.start();
    f();
    return t.nsecsElapsed() / 1e6;
}

HeaderInput inputFor(const Shop& s)
{
    HeaderInput in;
    in.partyCode = s.supplier;
    in.partyName = QStringLiteral("供应商");
    in.bankId = QStringLiteral("0000000001");
    return in;
}

// A 100-row unposted purchase, built through the engine.
QString buildPurchase(Connection& c, const DocDesc& d, const Shop& s, int rows)
{
    Transaction t(c);
    const QString no = newDocument(c, d);
    for (int i = 0; i < rows; ++i) {
        if (i) addRow(c, d, no);
        const QString row = readRows(c, d, no).back().intno;
        enterCode(c, d, row, s.codes[i]);
        c.exec("UPDATE indetail SET sl=:s, dj_w=:p, pay=:y WHERE intno=:i",
               {{"s", 1 + i % 7}, {"p", 2.5 + i % 11}, {"y", i == 0 ? 50.0 : 0.0}, {"i", row}});
    }
    recalc(c, d, no, inputFor(s));
    t.commit();
    return no;
}

// The writes of a posting or reversal as prepared statements, in one
// transaction or each committed on its own.
void rawPost(Connection& c, const QString& no, bool reversing, bool oneTransaction)
{
    if (oneTransaction) c.exec("BEGIN IMMEDIATE");
    const auto head = c.rows("SELECT customerid, customername, bankid, billdate, amount, pay, deduck, rest, balance "
                             "FROM inlist WHERE intno=:n",
                             {{"n", no}})
                          .front();
    const QString party = head[0].toString(), bank = head[2].toString();
    const double amount = head[4].toDouble(), pay = head[5].toDouble(), change = head[7].toDouble() - head[8].toDouble();
    const int sign = reversing ? -1 : 1;
    const auto rows = c.rows("SELECT rowid, spintno, sl, dj_w FROM indetail WHERE mainintno=:n ORDER BY intno", {{"n", no}});
    if (reversing) {
        c.exec("UPDATE inlist SET cancel=1 WHERE intno=:n", {{"n", no}});
    } else {
        c.exec("UPDATE inlist SET pass=1, billtype='02', billname=:b WHERE intno=:n", {{"n", no}, {"b", QStringLiteral("进货单")}});
    }
    if (oneTransaction) {
        c.exec(reversing ? QStringLiteral("UPDATE indetail SET cancel=1 WHERE mainintno=:n")
                         : QStringLiteral("UPDATE indetail SET billtype='02', billname=:b, pass=1, billdate=:d, "
                                          "customerid=:c, customername=:m, bankid=:k WHERE mainintno=:n"),
               reversing ? Params{{"n", no}}
                         : Params{{"n", no}, {"b", QStringLiteral("进货单")}, {"d", head[3]}, {"c", party}, {"m", head[1]}, {"k", bank}});
    } else {
        // Each row edited and posted on its own.
        for (const auto& r : rows)
            c.exec(reversing ? QStringLiteral("UPDATE indetail SET cancel=1 WHERE rowid=:r")
                             : QStringLiteral("UPDATE indetail SET billtype='02', billname=:b, pass=1, billdate=:d, "
                                              "customerid=:c, customername=:m, bankid=:k WHERE rowid=:r"),
                   reversing ? Params{{"r", r[0]}}
                             : Params{{"r", r[0]}, {"b", QStringLiteral("进货单")}, {"d", head[3]}, {"c", party}, {"m", head[1]}, {"k", bank}});
    }
    c.exec("UPDATE branch SET balance=balance+:b, amount=amount+:a, amount_y=amount_y+:a, pay=pay+:p, pay_y=pay_y+:p "
           "WHERE id=:i",
           {{"b", reversing ? -amount + pay : change}, {"a", sign * amount}, {"p", sign * pay}, {"i", party}});
    c.exec("UPDATE bank SET balance=balance-:p, pay=pay+:p, pay_y=pay_y+:p WHERE id=:i", {{"p", sign * pay}, {"i", bank}});
    Statement get(c.handle(), "SELECT sl, avdj FROM product WHERE intno=:i");
    Statement put(c.handle(), "UPDATE product SET sl=sl+:q, sl_in_m=sl_in_m+:q, sl_in_y=sl_in_y+:q, avdj=:a, dj_n=:p "
                              "WHERE intno=:i");
    for (const auto& r : rows) {
        if (r[1].toString().isEmpty()) continue;
        get.reset();
        get.bind("i", r[1]);
        if (!get.step()) continue;
        const double stock = get.value(0).toDouble(), q = r[2].toDouble(), p = r[3].toDouble();
        const double avg = reversing ? averageAfterReversal(get.value(1).toDouble(), stock, q, p)
                                     : averageAfterPurchase(get.value(1).toDouble(), stock, q, p);
        get.reset();
        put.reset();
        put.bind({{"q", sign * q}, {"a", avg}, {"p", p}, {"i", r[1]}});
        while (put.step()) {}
    }
    if (oneTransaction) c.exec("COMMIT");
}
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    bench::ShopSpec spec;
    if (argc > 1) spec.scale = std::atof(argv[1]);
    const QString folder = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QDir::tempPath();
    const QString path = folder + "/quillmart-bench-purchase.db";
    const bench::ShopFacts facts = bench::copyOfShop(path, spec);
    std::printf("shop: %lld document rows, %lld purchases\n", static_cast<long long>(facts.totalRows()),
                static_cast<long long>(facts.headers[bench::Purchase]));

    Connection c;
    c.open(path);
    c.exec("PRAGMA busy_timeout=5000");
    Shop s;
    s.supplier = c.scalar("SELECT id FROM branch ORDER BY intno LIMIT 1").toString();
    for (const auto& r : c.rows("SELECT sphh, intno FROM product WHERE sphh<>'' ORDER BY intno LIMIT 100")) {
        s.codes << r[0].toString();
        s.intnos << r[1].toString();
    }
    const DocDesc& d = purchaseDesc();
    const int rounds = 15;

    // Posting and reversal: the engine against raw statements in one transaction.
    std::vector<double> engPost, engRev, rawP, rawR, autoP, autoR;
    for (int i = 0; i < rounds; ++i) {
        QString no = buildPurchase(c, d, s, 100);
        engPost.push_back(millis([&] { post(c, d, no, inputFor(s), false, "999"); }));
        engRev.push_back(millis([&] { reverse(c, d, no); }));
        no = buildPurchase(c, d, s, 100);
        rawP.push_back(millis([&] { rawPost(c, no, false, true); }));
        rawR.push_back(millis([&] { rawPost(c, no, true, true); }));
        if (i < 3) {
            no = buildPurchase(c, d, s, 100);
            autoP.push_back(millis([&] { rawPost(c, no, false, false); }));
            autoR.push_back(millis([&] { rawPost(c, no, true, false); }));
        }
    }
    const double e = qmbench::median(engPost) + qmbench::median(engRev), r = qmbench::median(rawP) + qmbench::median(rawR), a = qmbench::median(autoP) + qmbench::median(autoR);
    std::printf("post+reverse 100 rows: engine %.1f ms, raw one transaction %.1f ms (ratio %.2f, aim <= 2), "
                "autocommit per write %.1f ms (engine %.0fx faster, aim >= 50)\n",
                e, r, e / r, a, a / e);
    std::printf("  engine post %.1f ms, reverse %.1f ms; raw post %.1f ms, reverse %.1f ms\n", qmbench::median(engPost),
                qmbench::median(engRev), qmbench::median(rawP), qmbench::median(rawR));

    // Entering 100 rows as the window does, then posting: Enter in the code box
    // fills the row in the window with the product and shows the totals it
    // gives (reads only); quantity and price wait in the row; Enter in 数量
    // writes the row with 刷新 and 添加 in one transaction, and the grid is
    // read again.
    std::vector<double> entering, rawEntering;
    int commits = 0;
    struct Counter {
        sqlite3* h;
        int commits = 0;
        sqlite3_int64 seen = 0;
        static int hook(void* p)
        {
            auto* self = static_cast<Counter*>(p);
            const sqlite3_int64 now = sqlite3_total_changes64(self->h);
            if (now != self->seen) ++self->commits;
            self->seen = now;
            return 0;
        }
    } counter{c.handle()};
    for (int i = 0; i < 3; ++i) {
        counter.commits = 0;
        counter.seen = sqlite3_total_changes64(c.handle());
        sqlite3_commit_hook(c.handle(), &Counter::hook, &counter);
        entering.push_back(millis([&] {
            const QString no = newDocument(c, d);
            // The grid as the window last read it.
            std::vector<Row> grid = readRows(c, d, no);
            for (int k = 0; k < 100; ++k) {
                Row row = grid.back();
                // Enter in the code box: the product into the row, the totals shown.
                const Params product = productForCode(c, d, s.codes[k]);
                for (const auto& [column, value] : product) {
                    if (column == "spmc") row.spmc = value.toString();
                    if (column == "dj_w") row.dj_w = value.toDouble();
                }
                row.sl = 1;
                previewTotals(c, d, no, row);
                // 数量 and 进货价 typed, Enter: the row as the dataset posts it,
                // the recalculation and the next row.
                findParty(c, d, s.supplier, false);
                Params ps;
                for (const auto& [column, value] : product)
                    if (column != "sl" && column != "dj_w") ps.append({column, value});
                ps.append({"sl", 1 + k % 7});
                ps.append({"dj_w", 2.5 + k % 11});
                ps.append({"amount", (1 + k % 7) * (2.5 + k % 11)});
                QStringList sets;
                for (const auto& [column, value] : ps) sets << QStringLiteral("%1=:%1").arg(column);
                ps.append({"rid_", row.rowid});
                {
                    Transaction t(c);
                    c.exec(QStringLiteral("UPDATE indetail SET %1 WHERE rowid=:rid_").arg(sets.join(',')), ps);
                    if (k < 99) addRow(c, d, no);
                    recalc(c, d, no, inputFor(s));
                    t.commit();
                }
                grid = readRows(c, d, no);
            }
            post(c, d, no, inputFor(s), false, "999");
        }));
        sqlite3_commit_hook(c.handle(), nullptr, nullptr);
        commits = counter.commits;
        // Raw SQLite making the same commits with the fewest statements.
        rawEntering.push_back(millis([&] {
            c.exec("BEGIN IMMEDIATE");
            const QString no = nextIntno(c, "inlist", 10);
            c.exec("INSERT INTO inlist (intno, customerid) VALUES (:n, :c)", {{"n", no}, {"c", s.supplier}});
            qint64 rowNo = nextNumber(c, "indetail");
            c.exec("INSERT INTO indetail (intno, mainintno, spmc) VALUES (:r, :n, '')", {{"r", zeroPad(rowNo, 10)}, {"n", no}});
            c.exec("COMMIT");
            for (int k = 0; k < 100; ++k) {
                c.exec("BEGIN IMMEDIATE");
                c.exec("UPDATE indetail SET spintno=:p, sphh=:c, spmc='x', sl=:s, dj_w=:d, amount=:a WHERE intno=:r",
                       {{"p", s.intnos[k]}, {"c", s.codes[k]}, {"s", 1 + k % 7}, {"d", 2.5 + k % 11}, {"a", 1.0},
                        {"r", zeroPad(rowNo, 10)}});
                if (k < 99)
                    c.exec("INSERT INTO indetail (intno, mainintno, spmc) VALUES (:r, :n, '')",
                           {{"r", zeroPad(++rowNo, 10)}, {"n", no}});
                c.exec("UPDATE inlist SET amount=amount+1, hjsl=hjsl+1 WHERE intno=:n", {{"n", no}});
                c.exec("COMMIT");
            }
            rawPost(c, no, false, true);
        }));
    }
    std::printf("enter 100 rows and post: %d write transactions (%.2f per row, with the new document and the "
                "posting)\n",
                commits, (commits - 2) / 100.0);
    std::printf("enter 100 rows and post: %.0f ms (aim < 1000); raw SQLite making the same commits: %.0f ms "
                "(ratio %.2f)\n",
                qmbench::median(entering), qmbench::median(rawEntering), qmbench::median(entering) / qmbench::median(rawEntering));

    // Numbering on the largest tables, and a whole new document.
    std::vector<double> numbering, newDoc;
    for (int i = 0; i < 50; ++i) {
        numbering.push_back(millis([&] {
            nextIntno(c, "outlist", 10);
            nextIntno(c, "outdetail", 10);
        }));
        newDoc.push_back(millis([&] { newDocument(c, d); }));
    }
    std::printf("numbering header and row of the sales tables: %.3f ms (aim < 5); new purchase with its two rows: "
                "%.2f ms\n",
                qmbench::median(numbering), qmbench::median(newDoc));
    c.close();
    QFile::remove(path);
    return 0;
}
