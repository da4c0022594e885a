#pragma once
// What the benchmarks share: generated products (names, units, categories,
// prices, stock levels and dates of a plausible shop), a program folder with
// a fresh database and the administrator logged in, and the memory figures.
#include "app/tfrmain.h"
#include "common/clock.h"
#include "common/dialogs.h"
#include "common/paths.h"
#include "data/connection.h"
#include "data/schema.h"
#include "data/tfrdm.h"
#include "measure.h"
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStringList>
#include <QTemporaryDir>

namespace qmbench {

// A program folder in a temporary place with a fresh database, the main
// window's state and the data module, the administrator logged in and the
// dialogs scripted.
class Shop {
public:
    Shop()
    {
        qm::AppPaths::setProgramFolder(dir.path());
        QDir().mkpath(dir.path() + "/works");
        QDir().mkpath(dir.path() + "/bak");
        qm::createInitialDatabase(qm::AppPaths::workingDatabase());
        auto scripted = std::make_unique<qm::ScriptedDialogs>();
        dialogs = scripted.get();
        qm::dlg::setBackend(std::move(scripted));
        qm::session() = {};
        frmain = new Tfrmain;
        frdm = new Tfrdm;
        frdm->connectTo(qm::AppPaths::workingDatabase());
        frmain->operatorCode = "999";
    }
    ~Shop()
    {
        delete frdm;
        frdm = nullptr;
        delete frmain;
        frmain = nullptr;
        qm::session() = {};
    }
    QString path() const { return qm::AppPaths::workingDatabase(); }
    QTemporaryDir dir;
    qm::ScriptedDialogs* dialogs = nullptr;
};

inline void generateProducts(qm::Connection& c, int count)
{
    const QStringList brands = {"康师傅", "统一", "可口可乐", "百事", "农夫山泉", "娃哈哈", "蒙牛", "伊利", "旺旺", "达利园",
                                "好丽友", "乐事", "奥利奥", "雀巢", "金龙鱼", "海天", "老干妈", "双汇", "三全", "思念"};
    const QStringList goods = {"红烧牛肉面", "冰红茶", "矿泉水", "纯牛奶", "酸奶", "薯片", "饼干", "方便面", "火腿肠", "花生油",
                               "酱油", "辣椒酱", "速冻水饺", "汤圆", "绿茶", "橙汁", "巧克力", "面包", "口香糖", "洗衣粉"};
    const QStringList units = {"个", "瓶", "袋", "盒", "箱", "包", "桶", "罐"};
    const QStringList kinds = {"食品", "饮料", "日用品", "粮油", "调味品", "冷冻食品", "零食"};
    const QStringList sizes = {"330ml", "500ml", "1.5L", "100g", "250g", "5L", "12只装", "80g"};
    auto* rng = QRandomGenerator::global();
    qm::Transaction t(c);
    qm::Statement st(c.handle(),
                     "INSERT INTO product (name, sphh, spmc, spgg, spbzxh, dj_w, dj_n, spmz, spzz, sl_j, bz, intno, factory, "
                     "spph, outdate, enddate, splb, branchname, hydj, csdj, maxsl, minsl, avdj, fitsl, rest, sl, sl_out_m, "
                     "sl_in_m, sl_out_y, sl_in_y) VALUES (:a, :b, :c, :d, :e, :f, :g, :h, :i, :j, :k, :l, :m, :n, :o, :p, :q, "
                     ":r, :s, :t, :u, :v, :w, :x, :y, :z, :a1, :a2, :a3, :a4)");
    QDate today = qm::Clock::today();
    for (int i = 1; i <= count; ++i) {
        const QString& brand = brands[int(rng->bounded(brands.size()))];
        const QString& good = goods[int(rng->bounded(goods.size()))];
        double cost = 0.5 + rng->bounded(20000) / 100.0;
        st.reset();
        st.bind({{"a", QStringLiteral("69%1").arg(qint64(rng->bounded(100000000000LL)), 11, 10, QLatin1Char('0'))},
                 {"b", QStringLiteral("%1").arg(i, 5, 10, QLatin1Char('0'))},
                 {"c", brand + good + sizes[int(rng->bounded(sizes.size()))]},
                 {"d", QStringLiteral("KSF%1").arg(i % 1000)},
                 {"e", units[int(rng->bounded(units.size()))]},
                 {"f", cost}, {"g", cost}, {"h", cost * 1.3}, {"i", cost * 1.2}, {"j", 12.0},
                 {"k", QString()},
                 {"l", QStringLiteral("%1").arg(i, 8, 10, QLatin1Char('0'))},
                 {"m", brand + QStringLiteral("食品有限公司")},
                 {"n", QStringLiteral("B%1").arg(i % 500)},
                 {"o", today.addDays(-int(rng->bounded(300))).toString("yyyy-MM-dd 00:00:00")},
                 {"p", today.addDays(int(rng->bounded(700))).toString("yyyy-MM-dd 00:00:00")},
                 {"q", kinds[int(rng->bounded(kinds.size()))]},
                 {"r", brand + QStringLiteral("经销部")},
                 {"s", cost * 1.25}, {"t", cost * 1.15}, {"u", 500.0}, {"v", 10.0}, {"w", cost}, {"x", 100.0},
                 {"y", double(rng->bounded(200))}, {"z", double(rng->bounded(500))}, {"a1", double(rng->bounded(50))},
                 {"a2", double(rng->bounded(50))}, {"a3", double(rng->bounded(600))}, {"a4", double(rng->bounded(600))}});
        st.step();
    }
    t.commit();
}

}
