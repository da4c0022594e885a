#include "documents/doclists.h"
#include "common/errors.h"
#include "common/formats.h"
#include "data/dataset.h"
#include "data/numbering.h"

namespace qm::doc {

namespace {
std::vector<DocListDesc> makeLists()
{
    auto list = [](DocKind kind, const char* cls, const char* inst, const QString& caption, const char* table,
                   bool supplier, bool typedDate, const QString& newSql, const char* menu) {
        DocListDesc d;
        d.kind = kind;
        d.className = QLatin1String(cls);
        d.instance = QLatin1String(inst);
        d.caption = caption;
        d.table = QLatin1String(table);
        d.supplierSide = supplier;
        d.typedDate = typedDate;
        d.newDocumentSql = newSql;
        d.menuItem = QLatin1String(menu);
        return d;
    };
    // 新开单 shows the last ten documents, the new one among them.
    auto lastTen = [](const char* table) { return QStringLiteral("SELECT * from %1 ORDER BY intno DESC LIMIT 10").arg(table); };
    std::vector<DocListDesc> v;
    v.push_back(list(DocKind::Purchase, "Tfrinlist", "frinlist", QStringLiteral("进货单据"), "inlist", true, true,
                     lastTen("inlist"), "N75"));
    v.push_back(list(DocKind::PurchaseReturn, "Tfrinbacklist", "frinbacklist", QStringLiteral("进货退货单据"),
                     "inbacklist", true, false, QStringLiteral("SELECT * from inbacklist\norder by intno"), "N76"));
    v.push_back(list(DocKind::Payment, "Tfrputlist", "frputlist", QStringLiteral("查询付款单"), "putlist", true, true,
                     lastTen("putlist"), "N95"));
    v.push_back(list(DocKind::Sale, "Tfroutlist", "froutlist", QStringLiteral("销售单据"), "outlist", false, false,
                     QString(), "N39"));
    v.back().onOrAfterDate = true;
    v.push_back(list(DocKind::SalesReturn, "Tfroutbacklist", "froutbacklist", QStringLiteral("销售退货单据"),
                     "outbacklist", false, false, QString(), "N40"));
    v.push_back(list(DocKind::Receipt, "Tfrgetlist", "frgetlist", QStringLiteral("收款单据"), "getlist", false, false,
                     lastTen("getlist"), "N56"));
    return v;
}

// Blanks and control characters off both ends.
QString trimControls(const QString& s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && s[b].unicode() <= 32) ++b;
    while (e > b && s[e - 1].unicode() <= 32) --e;
    return s.mid(b, e - b);
}
}

const std::vector<DocListDesc>& docLists()
{
    static const std::vector<DocListDesc> lists = makeLists();
    return lists;
}

const DocListDesc& docListDesc(DocKind kind)
{
    for (const DocListDesc& d : docLists())
        if (d.kind == kind) return d;
    throw AppError(QStringLiteral("no document list for kind %1").arg(int(kind)));
}

namespace {
const QString kByNumber = QStringLiteral("\norder by intno");
}

QString allHeadersSql(const DocListDesc& d) { return QStringLiteral("SELECT * from %1").arg(d.table) + kByNumber; }

QStringList searchFields(const DocListDesc& d)
{
    if (d.supplierSide) return {QStringLiteral("单据号"), QStringLiteral("日期"), QStringLiteral("供应商号"), QStringLiteral("供应商名")};
    return {QStringLiteral("单据号"), QStringLiteral("日期"), QStringLiteral("客户号"), QStringLiteral("客户名")};
}

ListSearch planListSearch(const DocListDesc& d, const QString& field, const QString& text)
{
    ListSearch s;
    s.boxText = text;
    const QString t = trimControls(text);
    const QString f = trimControls(field);
    const QString all = QStringLiteral("SELECT * from %1").arg(d.table);
    // Every list shows its documents in number order.
    auto where = [&](const QString& condition, Params params) {
        s.outcome = ListSearch::Outcome::Run;
        s.sql = (condition.isEmpty() ? all : all + QLatin1Char('\n') + condition) + kByNumber;
        s.params = std::move(params);
    };
    const QString zeros(10, QLatin1Char('0'));

    if (f == QStringLiteral("日期")) {
        if (t.isEmpty()) {
            where(QString(), {});
            return s;
        }
        const QDate day = parseDate(t);
        if (!day.isValid()) {
            s.outcome = ListSearch::Outcome::BadDate;
            s.message = text + listtext::badDate();
            return s;
        }
        // Documents carry the time of day they were made (the front desk's
        // returns among them): a day is the range up to the next midnight.
        if (d.onOrAfterDate) where(QStringLiteral("WHERE (billdate>=:p1)"), {{"p1", toDbDate(day)}});
        else
            where(QStringLiteral("WHERE (billdate>=:p1 and billdate<:p2)"),
                  {{"p1", toDbDate(day)}, {"p2", toDbDate(day.addDays(1))}});
        return s;
    }
    if (f == QStringLiteral("单据号") || (!d.supplierSide && f == QStringLiteral("客户号"))) {
        const QString padded = padCode(t, 10);
        s.boxText = padded;
        const QString column = f == QStringLiteral("单据号") ? QStringLiteral("intno") : QStringLiteral("customerid");
        if (padded == zeros) where(QString(), {});
        else where(QStringLiteral("WHERE (%1=:p1)").arg(column), {{"p1", padded}});
        return s;
    }
    if (d.supplierSide && f == QStringLiteral("供应商号")) {
        // Compared as typed: a supplier is found by its full code.
        if (t.isEmpty()) where(QString(), {});
        else where(QStringLiteral("WHERE (customerid=:p1)"), {{"p1", t}});
        return s;
    }
    if (f == (d.supplierSide ? QStringLiteral("供应商名") : QStringLiteral("客户名"))) {
        if (t.isEmpty()) where(QString(), {});
        else
            where(QStringLiteral("WHERE (contains_like(customername, :p1))"),
                  {{"p1", QStringLiteral("%") + t + QStringLiteral("%")}});
        return s;
    }
    return s;
}

void runListSearch(Dataset* ds, const ListSearch& s)
{
    if (s.outcome != ListSearch::Outcome::Run) return;
    ds->reopen(s.sql, s.params);
}

QColor stateColour(bool pass, bool cancel)
{
    if (cancel) return QColor(255, 0, 0);
    if (pass) return QColor(0, 0, 255);
    return QColor();
}

OpenWith windowFor(Connection& c, const DocListDesc& d, const QString& intno)
{
    const QVariant pass =
        c.scalar(QStringLiteral("SELECT coalesce(pass,0) FROM %1 WHERE intno=:p1").arg(d.table), {{"p1", intno}});
    if (!pass.isValid()) return OpenWith::Nothing;
    return pass.toLongLong() != 0 ? OpenWith::PostedView : OpenWith::EntryWindow;
}

}
