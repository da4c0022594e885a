#include "masterdata/stocklogic.h"
#include "common/bounds.h"
#include "common/clock.h"
#include "common/formats.h"
#include "data/dataset.h"
#include "data/schema.h"
#include "masterdata/productlogic.h"
#include <QCoreApplication>
#include <QMetaObject>
#include <QThreadPool>
#include <mutex>

namespace qm::stock {

namespace {
const QString kAll = QStringLiteral("SELECT * from product");
const QString kByResult = QStringLiteral("SELECT * from product\nORDER BY resl");
const QString kShortfall = QStringLiteral("SELECT * from product\nWHERE resl>0\nORDER BY resl");

QList<Mode> build()
{
    const QStringList levels = {QStringLiteral("最大存量"), QStringLiteral("最小存量"), QStringLiteral("正常存量")};
    const QStringList levelFields = {"maxsl", "minsl", "fitsl", "resl"};
    auto shortfall = [&](int m, const char* item, const QString& caption, const QString& expr, const QString& last) {
        return Mode{m, QString::fromLatin1(item), caption, expr, kShortfall, QString(), caption + QStringLiteral("表"),
                    levels + QStringList{last}, levelFields};
    };
    auto expiring = [&](int m, const char* item, const QString& caption, const QString& choice, const QString& title) {
        return Mode{m, QString::fromLatin1(item), caption, QString(), kAll, choice, title, {}, {}};
    };
    return {
        shortfall(1, "N8", QStringLiteral("需补充库存的商品"), "fitsl-sl", QStringLiteral("补充数量")),
        shortfall(2, "N9", QStringLiteral("超过标准库存商品"), "sl-fitsl", QStringLiteral("超过数量")),
        shortfall(3, "N11", QStringLiteral("超过最大存量商品"), "sl-maxsl", QStringLiteral("超限数量")),
        shortfall(4, "N12", QStringLiteral("低于最小存量商品"), "minsl-sl", QStringLiteral("缺货数量")),
        {5, "N5", QStringLiteral("库存损益表"), "factsl-sl", kByResult, QString(), QStringLiteral("库存损益表"),
         {QStringLiteral("最大存量"), QStringLiteral("最小存量"), QStringLiteral("实库存量"), QStringLiteral("库存损益")},
         {"maxsl", "minsl", "factsl", "resl"}},
        {6, "N7", QStringLiteral("库存资产表"), "avdj*sl", kByResult, QString(), QStringLiteral("库存资产表"),
         {QStringLiteral("自定进价"), QStringLiteral("最近进价"), QStringLiteral("平均进价"), QStringLiteral("库存金额")},
         {"dj_w", "dj_n", "avdj", "resl"}},
        expiring(7, "N19", QStringLiteral("库存商品（半年内到期）"), QStringLiteral("半年内到期"), QStringLiteral("半年内到期商品表")),
        expiring(8, "N21", QStringLiteral("库存商品（三个月到期）"), QStringLiteral("三个月到期"), QStringLiteral("三个月到期商品表")),
        expiring(9, "N23", QStringLiteral("库存商品（已过期）"), QStringLiteral("已过期"), QStringLiteral("已过期商品表")),
    };
}
}

const QList<Mode>& modes()
{
    static const QList<Mode> all = build();
    return all;
}

const Mode* mode(int m)
{
    for (const Mode& d : modes())
        if (d.mode == m) return &d;
    return nullptr;
}

QString stocktakingSql() { return QStringLiteral("SELECT * from product\norder by sphh"); }
QString stocktakingCaption() { return QStringLiteral("商品库存管理"); }

namespace {
// Every product column, the result computed by `expr` in its place.
QString columnsWithResult(const QString& expr)
{
    QStringList cols;
    for (const ColumnDef& col : tableColumns(QStringLiteral("product"))) {
        const QString name = QString::fromLatin1(col.name);
        cols << (name == QLatin1String("resl") ? QStringLiteral("(%1) AS resl").arg(expr) : name);
    }
    return cols.join(QStringLiteral(","));
}

QThreadPool* g_writer = nullptr;

void finishWriting()
{
    if (g_writer) g_writer->waitForDone();
}

QThreadPool& resultWriter()
{
    // One thread: results are stored in the order the reports ran. The
    // program waits for the last of them when it ends.
    if (!g_writer) {
        g_writer = new QThreadPool;
        g_writer->setMaxThreadCount(1);
        g_writer->setExpiryTimeout(-1);
        qAddPostRoutine(finishWriting);
    }
    return *g_writer;
}
}

ListQuery prepareReport(int m, const QDate& today)
{
    const Mode* d = mode(m);
    if (!d) return {stocktakingSql(), {}};
    if (!d->expiry.isEmpty()) {
        const product::Query q = product::searchQuery(product::Field::Expiry, d->expiry, false, today);
        return {q.sql, q.params};
    }
    // A null level or stock gives a null result, which no shortfall list shows.
    const QString result = QStringLiteral("(%1)").arg(d->reslSql);
    QString sql = QStringLiteral("SELECT %1 from product").arg(columnsWithResult(d->reslSql));
    if (d->listSql.contains(QLatin1String("resl>0"))) sql += QStringLiteral("\nWHERE %1>0").arg(result);
    sql += QStringLiteral("\nORDER BY %1").arg(result);
    return {sql, {}};
}

void writeResults(Connection& c, int m)
{
    const Mode* d = mode(m);
    if (!d || d->reslSql.isEmpty()) return;
    // Rows that already hold the result are left alone, so that a report run
    // again writes only what moved since.
    Transaction t(c);
    c.exec(QStringLiteral("update product set resl=%1 where resl is not (%1)").arg(d->reslSql));
    if (m == 6) {
        // The totals replace the running turnover kept in the first totals row.
        c.exec(QStringLiteral("delete from totallist"));
        c.exec(QStringLiteral("insert into totallist(hjsl,rest)\nselect sum(sl),sum(resl) from product"));
    }
    t.commit();
}

namespace {
// The error of the last stock value write, null when it was stored.
std::mutex g_totalsMutex;
std::exception_ptr g_totalsFailure;

void setTotalsFailure(std::exception_ptr e)
{
    std::lock_guard<std::mutex> lock(g_totalsMutex);
    g_totalsFailure = std::move(e);
}
}

void storeResults(const QString& path, int m, WriteFailed failed)
{
    if (!mode(m) || mode(m)->reslSql.isEmpty()) return;
    resultWriter().start([path, m, failed] {
        std::exception_ptr error;
        try {
            Connection c;
            c.open(path);
            writeResults(c, m);
        } catch (...) {
            error = std::current_exception();
        }
        if (m == 6) setTotalsFailure(error);
        if (!error) return;
        QCoreApplication* app = QCoreApplication::instance();
        if (failed && app) QMetaObject::invokeMethod(app, [failed, error] { failed(error); }, Qt::QueuedConnection);
    });
}

void waitForStoredResults() { resultWriter().waitForDone(); }

void requireStoredTotals()
{
    waitForStoredResults();
    std::exception_ptr e;
    {
        std::lock_guard<std::mutex> lock(g_totalsMutex);
        e = g_totalsFailure;
    }
    if (e) std::rethrow_exception(e);
}

void saveCount(Dataset& products, const QString& typed)
{
    if (!products.active() || products.isEmpty()) return;
    const double counted = parseBoxNumber(typed, QStringLiteral("factsl"));
    requireBounded(counted, Magnitude::Quantity, QStringLiteral("factsl"));
    Connection& c = *products.connection();
    Transaction t(c);
    c.exec(QStringLiteral("UPDATE product SET factsl=:p1, factdate=:p2 WHERE rowid=:p3"),
           {{"p1", counted}, {"p2", toDbDateTime(Clock::now())}, {"p3", products.rowid()}});
    t.commit();
    products.resync();
}

QString countText(const Dataset& products)
{
    if (!products.active() || products.isEmpty() || products.isNull(QStringLiteral("factsl"))) return QString();
    return formatFloat(QString(), products.asFloat(QStringLiteral("factsl")));
}

double storedStock(Dataset& products)
{
    if (!products.active() || products.isEmpty()) return 0;
    products.resync();
    return products.asFloat(QStringLiteral("sl"));
}

int applyCounts(Connection& c)
{
    Transaction t(c);
    const int n = c.exec(QStringLiteral("update product set sl=factsl, factdate=NULL\nwhere szbj=1 and factdate is not null"));
    t.commit();
    return n;
}

}
