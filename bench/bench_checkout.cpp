// The front-desk checkout of a 20-row sale on the ten-year shop: checks,
// posting with the cash taken and the receipt file, against raw prepared
// statements doing the same writes in one transaction in the same run; then
// the operator's wait for the copy to bak/ that follows each checkout,
// against a copy made while he waits.
//   bench_checkout [sales] [folder]
// The shop is copied into a temporary folder under `folder` (default: the
// system's temporary folder); a folder in memory (/dev/shm) shows the work
// apart from the disk's sync time.
#include "common/dialogs.h"
#include "common/paths.h"
#include "data/bakcopy.h"
#include "data/connection.h"
#include "data/dataset.h"
#include "documents/sale.h"
#include "documents/salereceipt.h"
#include "measure.h"
#include "shopgen.h"
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace qm;
using namespace qm::doc;

namespace {
// A new unposted sale of 20 products for the member, as the cashier leaves it.
QString ringUp(Connection& c, const QStringList& codes, const HeaderInput& in)
{
    const DocDesc& d = saleDesc();
    const QString no = newDocument(c, d);
    for (int i = 0; i < codes.size(); ++i) {
        const auto rows = readRows(c, d, no);
        enterCode(c, d, rows.back().intno, codes[i], in.partyCode);
        if (i + 1 < codes.size()) addRow(c, d, no);
    }
    // Opening the tender recalculates the sale first.
    recalc(c, d, no, in);
    return no;
}
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int sales = argc > 1 ? std::atoi(argv[1]) : 40;
    QTemporaryDir dir(argc > 2 ? QString::fromLocal8Bit(argv[2]) + "/checkout-XXXXXX" : QDir::tempPath() + "/checkout-XXXXXX");
    AppPaths::setProgramFolder(dir.path());
    dlg::setBackend(std::make_unique<ScriptedDialogs>());
    const QString path = dir.path() + "/shop.db";
    const bench::ShopFacts shop = bench::copyOfShop(path);
    std::printf("shop: %lld document rows, %.0f MB\n", shop.totalRows(), shop.bytes / 1e6);

    Connection c;
    c.open(path);
    QStringList codes;
    for (const auto& r : c.rows("SELECT sphh FROM product WHERE sphh<>'' ORDER BY rowid LIMIT 20")) codes << r[0].toString();
    const auto who = c.rows("SELECT id, name, persondeal, addr FROM customer WHERE id<>'0000000001' ORDER BY rowid LIMIT 1");
    const QString member = who[0][0].toString();
    HeaderInput in;
    in.partyCode = member;
    in.bankId = QStringLiteral("0000000001");
    // What the lookup put into the boxes.
    in.partyName = who[0][1].toString();
    in.contact = who[0][2].toString();
    in.remark = who[0][3].toString();

    Dataset head(&c, "head"), rows(&c, "rows"), company(&c, "company");
    head.setSql("SELECT * from outlist WHERE (intno=:p1)");
    rows.setSql("select * from outdetail where mainintno=:p1 order by intno");
    company.setTable("company");

    std::vector<double> ours, raw;
    for (int i = 0; i < sales; ++i) {
        // The program's checkout.
        const QString no = ringUp(c, codes, in);
        QElapsedTimer t;
        t.start();
        bool dropLast = false;
        if (!checkBeforePosting(c, saleDesc(), no, in, dropLast)) return 1;
        const double tCheck = t.nsecsElapsed() / 1e6;
        postTendered(c, no, in, 1000, "999");
        const double tPost = t.nsecsElapsed() / 1e6;
        head.close();
        head.setParam("p1", no);
        head.open();
        rows.close();
        rows.setParam("p1", no);
        rows.open();
        const double tOpen = t.nsecsElapsed() / 1e6;
        const receipt::Content content = receipt::fromDocument(&head, &rows, &company, receipt::checkoutSlogan());
        const double tContent = t.nsecsElapsed() / 1e6;
        receipt::writeFile(content);
        ours.push_back(t.nsecsElapsed() / 1e6);
        if (std::getenv("PARTS")) std::printf("check %.2f post %.2f receipt %.2f (reopen %.2f, content %.2f, file %.2f)\n", tCheck, tPost - tCheck,
                        ours.back() - tPost, tOpen - tPost, tContent - tOpen, ours.back() - tContent);
        const QByteArray bytes = receipt::render(content);

        // The same writes by hand: one transaction of prepared statements.
        const QString other = ringUp(c, codes, in);
        t.restart();
        {
            Transaction tx(c);
            Statement sel(c.handle(), "SELECT rowid, spintno, sl, sphh, amount FROM outdetail WHERE mainintno=:n ORDER BY intno");
            sel.bind("n", other);
            std::vector<std::pair<QString, double>> moved;
            double amount = 0;
            qint64 last = 0;
            while (sel.step()) {
                last = sel.value(0).toLongLong();
                moved.push_back({sel.value(1).toString(), sel.value(2).toDouble()});
                amount += sel.value(4).toDouble();
            }
            c.exec("UPDATE outdetail SET pay=:p, rest=:r WHERE rowid=:id", {{"p", 1000.0}, {"r", 1000 - amount}, {"id", last}});
            c.exec("UPDATE outdetail SET billtype='01', billname='销售单', pass=1, djh='999', customerid=:c WHERE mainintno=:n",
                   {{"c", member}, {"n", other}});
            c.exec("UPDATE outlist SET pay=:a, pass=1, amount=:a WHERE intno=:n", {{"a", amount}, {"n", other}});
            c.exec("UPDATE customer SET amount=amount+:a, pay=pay+:a, amount_y=amount_y+:a, pay_y=pay_y+:a WHERE id=:id",
                   {{"a", amount}, {"id", member}});
            c.exec("UPDATE bank SET balance=balance+:a, amount=amount+:a, amount_y=amount_y+:a WHERE id='0000000001'", {{"a", amount}});
            Statement prod(c.handle(), "UPDATE product SET sl=sl-:q, sl_out_m=sl_out_m+:q, sl_out_y=sl_out_y+:q WHERE intno=:i");
            for (const auto& [intno, q] : moved) {
                prod.reset();
                prod.bind({{"q", q}, {"i", intno}});
                while (prod.step()) {}
            }
            c.exec("UPDATE totallist SET amount=amount+:a, rest=amount+:a WHERE rowid=(SELECT min(rowid) FROM totallist)", {{"a", amount}});
            c.exec("UPDATE config SET amount=amount+:a, rest=rest+:a WHERE rowid=(SELECT min(rowid) FROM config)", {{"a", amount}});
            tx.commit();
        }
        QFile f(dir.path() + "/raw.txt");
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        f.close();
        raw.push_back(t.nsecsElapsed() / 1e6);
    }
    // The copy to bak/ after each checkout: what the operator waits for.
    const QString bak = dir.path() + "/bak.db";
    std::vector<double> waits;
    const int before = bakCopiesMade();
    for (int i = 0; i < 10; ++i) {
        const QString no = ringUp(c, codes, in);
        postTendered(c, no, in, 1000, "999");
        QElapsedTimer t;
        t.start();
        requestBakCopy(path, bak);
        waits.push_back(t.nsecsElapsed() / 1e6);
    }
    QElapsedTimer drain;
    drain.start();
    waitForBakCopies();
    const double drained = drain.nsecsElapsed() / 1e6;
    QElapsedTimer whole;
    whole.start();
    c.backupTo(bak);
    const double inline_ = whole.nsecsElapsed() / 1e6;

    const double o = qmbench::median(ours), r = qmbench::median(raw);
    std::printf("checkout of a 20-row sale with its receipt: %.2f ms (median of %d)\n", o, sales);
    std::printf("raw prepared statements, one transaction:   %.2f ms\n", r);
    std::printf("ratio: %.2f (aim: under 20 ms, at most 2.0)\n", o / r);
    std::printf("copy to bak/ after a checkout: operator waits %.3f ms (median of %zu, aim under 50 ms); "
                "%d copies for %zu requests; the last finished %.0f ms later\n",
                qmbench::median(waits), waits.size(), bakCopiesMade() - before, waits.size(), drained);
    std::printf("the same copy made while the operator waits: %.0f ms\n", inline_);
    return 0;
}
