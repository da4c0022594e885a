#include "masterdata/productlogic.h"
#include "common/bounds.h"
#include "common/formats.h"
#include "data/numbering.h"

namespace qm::product {

qint64 nextNumber(Connection& c) { return qm::nextNumber(c, QStringLiteral("product")); }

QString intnoOf(qint64 n) { return zeroPad(n, 8); }

QString proposedCodeOf(qint64 n) { return zeroPad(n, 5); }

bool codeTaken(Connection& c, const QString& code, bool adding, const QString& currentIntno)
{
    QString trimmed = code.trimmed();
    QVariant hit = adding ? c.scalar(QStringLiteral("SELECT 1 FROM product WHERE (sphh=:p1) LIMIT 1"), {{"p1", trimmed}})
                          : c.scalar(QStringLiteral("SELECT 1 FROM product WHERE (sphh=:p1) and intno<>:p2 LIMIT 1"),
                                     {{"p1", trimmed}, {"p2", currentIntno}});
    return hit.isValid();
}

QVariant dbDate(const QDate& d) { return d.isValid() ? QVariant(toDbDate(d)) : QVariant(); }

namespace {
// The numbers the editor stores, in the order of its boxes.
void requireBounds(const Values& v)
{
    const struct {
        const char* column;
        double value;
        Magnitude magnitude;
    } numbers[] = {{"rest", v.rest, Magnitude::Quantity},  {"maxsl", v.maxsl, Magnitude::Quantity},
                   {"minsl", v.minsl, Magnitude::Quantity}, {"fitsl", v.fitsl, Magnitude::Quantity},
                   {"dj_w", v.dj_w, Magnitude::Price},      {"dj_n", v.dj_n, Magnitude::Price},
                   {"spmz", v.spmz, Magnitude::Price},      {"spzz", v.spzz, Magnitude::Price},
                   {"hydj", v.hydj, Magnitude::Price},      {"csdj", v.csdj, Magnitude::Price}};
    for (const auto& n : numbers) requireBounded(n.value, n.magnitude, QLatin1String(n.column));
}
}

Stored store(Dataset& products, const Values& v, bool adding, const QString& currentIntno)
{
    requireBounds(v);
    Connection& c = *products.connection();
    Transaction t(c);
    Stored r;
    QString& intno = r.intno;
    try {
        if (codeTaken(c, v.sphh, adding, currentIntno)) {
            r.codeTaken = true;
            return r;
        }
        if (adding) {
            intno = intnoOf(nextNumber(c));
            if (!products.active() || products.sql() != QLatin1String(kAllProducts)) {
                products.setSql(QLatin1String(kAllProducts));
                products.open();
            }
            products.append();
            products.setValue("intno", intno);
        } else {
            products.edit();
            intno = products.asString("intno");
        }
        products.setValue("bz", v.bz);
        products.setValue("sphh", v.sphh.trimmed());
        products.setValue("spmc", v.spmc);
        products.setValue("spbzxh", v.spbzxh);
        products.setValue("splb", v.splb);
        products.setValue("branchname", v.branchname);
        products.setValue("factory", v.factory);
        products.setValue("spgg", v.spgg);
        products.setValue("name", v.name);
        products.setValue("maxsl", v.maxsl);
        products.setValue("minsl", v.minsl);
        products.setValue("fitsl", v.fitsl);
        products.setValue("rest", v.rest);
        if (adding) products.setValue("avdj", v.dj_w);
        products.setValue("spmz", v.spmz);
        products.setValue("spzz", v.spzz);
        products.setValue("hydj", v.hydj);
        products.setValue("csdj", v.csdj);
        products.setValue("dj_w", v.dj_w);
        products.setValue("dj_n", v.dj_n);
        if (adding) products.setValue("szbj", 0);
        products.setValue("outdate", dbDate(v.outdate));
        products.setValue("enddate", dbDate(v.enddate));
        products.setValue("spph", v.spph);
        products.post();
        t.commit();
    } catch (...) {
        // Roll back first: the row posted inside the transaction is read again
        // only once it is gone from the table.
        t.rollback();
        try { products.resync(); } catch (...) {}
        throw;
    }
    return r;
}

QStringList namesOf(Dataset& ds, const QString& sql)
{
    QStringList out;
    ds.reopen(sql);
    for (ds.first(); !ds.eof(); ds.next()) out << ds.asString("name").trimmed();
    ds.close();
    return out;
}

Field fieldOf(const QString& t)
{
    if (t == QStringLiteral("拼音首字")) return Field::Pinyin;
    if (t == QStringLiteral("货品代码")) return Field::Code;
    if (t == QStringLiteral("品名规格")) return Field::Name;
    if (t == QStringLiteral("类别")) return Field::Category;
    if (t == QStringLiteral("供应商")) return Field::Supplier;
    if (t == QStringLiteral("有效期")) return Field::Expiry;
    return Field::Unknown;
}

Query searchQuery(Field f, const QString& text, bool exact, const QDate& today)
{
    Query q;
    const QString select = QStringLiteral("SELECT * from product");
    const QString order = QStringLiteral("order by sphh");
    QString t = text.trimmed();
    auto like = [&](const QString& column, const QString& pattern) {
        if (t.isEmpty()) {
            q.sql = select + "\n" + order;
        } else {
            q.sql = select + "\n" + QStringLiteral("WHERE (%1 like :p1)").arg(column) + "\n" + order;
            q.params = {{"p1", pattern}};
        }
    };
    switch (f) {
    case Field::Code: like("sphh", exact ? t + "%" : "%" + t + "%"); break;
    case Field::Name: like("spmc", exact ? t + "%" : "%" + t + "%"); break;
    case Field::Category: like("splb", "%" + t + "%"); break;
    case Field::Supplier: like("branchname", "%" + t + "%"); break;
    case Field::Pinyin: like("spgg", "%" + t + "%"); break;
    case Field::Expiry: {
        // Days are counted by the database against the clock's today; a product
        // without an expiry date (NULL or empty) is never listed.
        QString where;
        if (t == QStringLiteral("半年内到期")) where = QStringLiteral("WHERE (julianday(enddate)-julianday(:p1)<183)");
        else if (t == QStringLiteral("三个月到期")) where = QStringLiteral("WHERE (julianday(enddate)-julianday(:p1)<91)");
        else if (t == QStringLiteral("已过期")) where = QStringLiteral("WHERE (julianday(enddate)<julianday(:p1))");
        q.sql = where.isEmpty() ? select : select + "\n" + where;
        if (!where.isEmpty()) q.params = {{"p1", toDbDate(today)}};
        break;
    }
    case Field::Unknown: q.valid = false; break;
    }
    return q;
}

void markAll(Connection& c, bool mark) { c.exec(mark ? QStringLiteral("update product set szbj=1") : QStringLiteral("update product set szbj=0")); }

void toggleMark(Dataset& products)
{
    if (!products.active() || products.isEmpty()) return;
    bool now = products.asBool("szbj");
    writeInTransaction(products, [&] {
        products.edit();
        products.setValue("szbj", now ? 0 : 1);
        products.post();
        return true;
    });
}

int deleteMarked(Connection& c)
{
    Transaction t(c);
    int n = c.exec(QStringLiteral("delete from product \nWHERE szbj=1"));
    t.commit();
    return n;
}

bool markedHoldStock(Connection& c)
{
    return c.scalar(QStringLiteral("SELECT 1 FROM product WHERE szbj=1 and ifnull(sl,0)<>0 LIMIT 1")).isValid();
}

PickResult pickIntoRow(Dataset& products, Dataset& rows)
{
    if (!products.active() || products.isEmpty()) return PickResult::NoProduct;
    if (!rows.active() || rows.recNo() < 0) return PickResult::NoRow;
    if (rows.asString("spmc").trimmed() == carriedForwardName()) return PickResult::CarriedForwardRow;
    Transaction t(*rows.connection());
    try {
        rows.edit();
        rows.setValue("spintno", products.value("intno"));
        rows.setValue("sphh", products.value("sphh"));
        rows.setValue("spmc", products.value("spmc"));
        rows.setValue("unit", products.value("spbzxh"));
        rows.setValue("sl_j", products.asFloat("sl_j"));
        rows.setValue("dj_n", products.asFloat("spmz"));
        rows.setValue("dj_w", products.asFloat("dj_w"));
        rows.setValue("ss", 0.0);
        rows.setValue("js", 0.0);
        rows.setValue("sl", 1.0);
        rows.post();
        t.commit();
    } catch (...) {
        if (rows.state() != Dataset::State::Browse) rows.cancel();
        throw;
    }
    return PickResult::Written;
}

}
