#include "documents/documentengine.h"
#include "documents/documentengine_p.h"
#include "common/clock.h"
#include "common/formats.h"
#include "data/numbering.h"
#include "masterdata/picklink.h"
#include <sqlite3.h>
#include <cmath>

namespace qm::doc {

using namespace detail;

namespace {

const QString kCash = QStringLiteral("0000000001");

QString cashName() { return QStringLiteral("现金"); }


double num(const QVariant& v) { return v.isNull() ? 0.0 : v.toDouble(); }

// Columns of a header as read into Header.
const QString kHeaderColumns = QStringLiteral(
    "intno, billdate, customerid, customername, persondeal, tel, addr, remark, employeename, bankid, bankname, djh, "
    "balance, amount, pay, deduck, rest, hjsl, hjjs, hjss, pass, cancel");
const QString kRowColumns =
    QStringLiteral("rowid, intno, spintno, sphh, spmc, unit, remark, sl, dj_w, dj_n, rebate, amount, pay, deduck, rest");

Header headerFrom(Statement& st)
{
    Header h;
    int i = 0;
    h.intno = st.value(i++).toString();
    h.billdate = fromDbDateTime(st.value(i++).toString());
    for (QString* s : {&h.customerid, &h.customername, &h.persondeal, &h.tel, &h.addr, &h.remark, &h.employeename,
                       &h.bankid, &h.bankname, &h.djh})
        *s = st.value(i++).toString();
    for (double* d : {&h.balance, &h.amount, &h.pay, &h.deduck, &h.rest, &h.hjsl, &h.hjjs, &h.hjss}) *d = num(st.value(i++));
    h.pass = st.value(i++).toLongLong() != 0;
    h.cancel = st.value(i++).toLongLong() != 0;
    return h;
}

Row rowFrom(Statement& st)
{
    Row r;
    int i = 0;
    r.rowid = st.value(i++).toLongLong();
    for (QString* s : {&r.intno, &r.spintno, &r.sphh, &r.spmc, &r.unit, &r.remark}) *s = st.value(i++).toString();
    for (double* d : {&r.sl, &r.dj_w, &r.dj_n, &r.rebate, &r.amount, &r.pay, &r.deduck, &r.rest}) *d = num(st.value(i++));
    return r;
}


// A stored and a computed number are the same when they agree to far below a
// cent; a value that is not a finite number is the same as nothing.
bool same(double a, double b) { return std::isfinite(a) && std::isfinite(b) && std::fabs(a - b) <= 1e-7; }


// Writes the columns of the row whose intno is `key` that differ from `values`;
// returns whether anything was written.
bool writeChanged(Connection& c, const QString& table, const QString& key, const Params& values)
{
    QStringList cols;
    for (const auto& v : values) cols << v.first;
    Statement cur(c, QStringLiteral("SELECT %1 FROM %2 WHERE intno=:n LIMIT 1").arg(cols.join(','), table));
    cur.bind("n", key);
    if (!cur.step()) return false;
    QStringList sets;
    Params ps{{"n", key}};
    for (int i = 0; i < values.size(); ++i) {
        const QVariant stored = cur.value(i), wanted = values[i].second;
        const bool equal = !stored.isNull() && (wanted.typeId() == QMetaType::Double
                                                    ? same(stored.toDouble(), wanted.toDouble())
                                                    : stored.toString() == wanted.toString());
        if (equal) continue;
        sets << QStringLiteral("%1=:v%2").arg(values[i].first).arg(i);
        ps.append({QStringLiteral("v%1").arg(i), wanted});
    }
    cur.reset();
    if (sets.isEmpty()) return false;
    c.exec(QStringLiteral("UPDATE %1 SET %2 WHERE intno=:n").arg(table, sets.join(',')), ps);
    return true;
}

}

// ---------------------------------------------------------------- numbers

void requireInRange(double v, Magnitude m)
{
    if (!inRange(v, m)) throw Refusal(outOfRangeText());
}

std::optional<Magnitude> rowMagnitude(const QString& column)
{
    if (column == "sl") return Magnitude::Quantity;
    if (column == "dj_w" || column == "dj_n" || column == "rebate") return Magnitude::Price;
    if (column == "amount" || column == "pay" || column == "deduck" || column == "rest") return Magnitude::Amount;
    return std::nullopt;
}

namespace {
double* rowNumber(Row& r, const QString& column)
{
    const std::pair<const char*, double*> numbers[] = {{"sl", &r.sl},         {"dj_w", &r.dj_w},     {"dj_n", &r.dj_n},
                                                       {"rebate", &r.rebate}, {"amount", &r.amount}, {"pay", &r.pay},
                                                       {"deduck", &r.deduck}, {"rest", &r.rest}};
    for (const auto& [name, value] : numbers)
        if (column == QLatin1String(name)) return value;
    return nullptr;
}
}

void checkRow(const DocDesc& d, const Row& r)
{
    requireInRange(r.sl, Magnitude::Quantity);
    for (double price : {r.dj_w, r.dj_n, r.rebate}) requireInRange(price, Magnitude::Price);
    for (double money : {r.amount, r.pay, r.deduck, r.rest}) requireInRange(money, Magnitude::Amount);
    requireInRange(rowAmount(d, r.sl, r.dj_w, r.dj_n, r.rebate, r.amount), Magnitude::Amount);
}

void checkCell(const DocDesc& d, Row row, const QString& column, double value)
{
    if (double* v = rowNumber(row, column)) *v = value;
    checkRow(d, row);
}

// ----------------------------------------------------------------- codes

std::optional<QString> padPartyCode(const QString& typed)
{
    const QString t = typed.trimmed();
    if (t.size() > 10) return std::nullopt;
    return padCode(t, 10);
}

// --------------------------------------------------------------- reading

Header readHeader(Connection& c, const DocDesc& d, const QString& docIntno)
{
    Statement st(c, QStringLiteral("SELECT %1 FROM %2 WHERE intno=:n LIMIT 1").arg(kHeaderColumns, d.headerTable));
    st.bind("n", docIntno);
    if (!st.step()) throw Refusal(QStringLiteral("查无单据不能进入明细表!"));
    return headerFrom(st);
}

std::vector<Row> readRows(Connection& c, const DocDesc& d, const QString& docIntno)
{
    Statement st(c,
                 QStringLiteral("SELECT %1 FROM %2 WHERE mainintno=:n ORDER BY intno, rowid").arg(kRowColumns, d.detailTable));
    st.bind("n", docIntno);
    std::vector<Row> v;
    while (st.step()) v.push_back(rowFrom(st));
    return v;
}

namespace {
std::optional<Row> readRow(Connection& c, const DocDesc& d, const QString& rowIntno)
{
    Statement st(c, QStringLiteral("SELECT %1 FROM %2 WHERE intno=:n LIMIT 1").arg(kRowColumns, d.detailTable));
    st.bind("n", rowIntno);
    if (!st.step()) return std::nullopt;
    return rowFrom(st);
}

// The document a row belongs to must still be unposted.
void requireRowUnposted(Connection& c, const DocDesc& d, const QString& rowIntno)
{
    requireUnposted(c, d,
                    c.scalar(QStringLiteral("SELECT mainintno FROM %1 WHERE intno=:n LIMIT 1").arg(d.detailTable),
                             {{"n", rowIntno}})
                        .toString());
}

QString insertRow(Connection& c, const DocDesc& d, const QString& docIntno, const QString& spmc,
                  const QString& djh = QString())
{
    const QString no = nextIntno(c, d.detailTable, 10);
    QString cols = QStringLiteral("intno, mainintno, spmc"), vals = QStringLiteral(":i, :m, :s");
    Params ps{{"i", no}, {"m", docIntno}, {"s", spmc}};
    if (!djh.isEmpty()) {
        cols += QStringLiteral(", djh");
        vals += QStringLiteral(", :dj");
        ps.append({"dj", djh});
    }
    if (spmc.isEmpty()) {
        if (d.newRow == NewRow::CashAccount) {
            cols += QStringLiteral(", sphh");
            vals += QStringLiteral(", :h");
            ps.append({"h", kCash});
            ps[2].second = cashName();
        } else if (d.newRow == NewRow::Rebate100) {
            cols += QStringLiteral(", rebate");
            vals += QStringLiteral(", 100");
        }
    }
    c.exec(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(d.detailTable, cols, vals), ps);
    return no;
}
}

// ------------------------------------------------------------ write steps

bool accountExists(Connection& c, const QString& id)
{
    return c.scalar(QStringLiteral("SELECT 1 FROM bank WHERE id=:p1 LIMIT 1"), {{"p1", id}}).isValid();
}

PostedRefusal::PostedRefusal() : Refusal(text::postedNoChange()) {}

bool isPosted(Connection& c, const DocDesc& d, const QString& docIntno)
{
    return c.scalar(QStringLiteral("SELECT coalesce(pass,0) FROM %1 WHERE intno=:n LIMIT 1").arg(d.headerTable),
                    {{"n", docIntno}})
               .toLongLong() != 0;
}

void requireUnposted(Connection& c, const DocDesc& d, const QString& docIntno)
{
    const QVariant pass = c.scalar(QStringLiteral("SELECT coalesce(pass,0) FROM %1 WHERE intno=:n LIMIT 1").arg(d.headerTable),
                                   {{"n", docIntno}});
    if (!pass.isValid()) throw Refusal(QStringLiteral("查无单据不能进入明细表!"));
    if (pass.toLongLong() != 0) throw PostedRefusal();
}

QString newDocument(Connection& c, const DocDesc& d, const QString& rowDjh)
{
    Transaction t(c);
    const QString no = nextIntno(c, d.headerTable, 10);
    const QDateTime now = Clock::now();
    const QString date = d.dateWithTime ? toDbDateTime(now) : toDbDate(now.date());
    if (d.defaultAccount)
        c.exec(QStringLiteral("INSERT INTO %1 (intno, pass, billdate, bankid, bankname) VALUES (:n, 0, :d, :b, :bn)")
                   .arg(d.headerTable),
               {{"n", no}, {"d", date}, {"b", kCash}, {"bn", cashName()}});
    else
        c.exec(QStringLiteral("INSERT INTO %1 (intno, pass, billdate) VALUES (:n, 0, :d)").arg(d.headerTable),
               {{"n", no}, {"d", date}});
    if (d.carriedForward) insertRow(c, d, no, carriedForwardName());
    insertRow(c, d, no, QString(), rowDjh);
    t.commit();
    return no;
}

QString addRow(Connection& c, const DocDesc& d, const QString& docIntno)
{
    Transaction t(c);
    requireUnposted(c, d, docIntno);
    const QString no = insertRow(c, d, docIntno, QString());
    t.commit();
    return no;
}

std::optional<Party> findParty(Connection& c, const DocDesc& d, const QString& paddedCode, bool forPosting)
{
    const QString col = forPosting ? d.party.postColumn : d.party.entryColumn;
    Statement st(c, QStringLiteral("SELECT intno, id, name, persondeal, tel, addr, balance FROM %1 WHERE %2=:p1 LIMIT 1")
                                 .arg(d.party.table, col));
    st.bind("p1", paddedCode);
    if (!st.step()) return std::nullopt;
    Party p;
    p.intno = st.value(0).toString();
    p.id = st.value(1).toString();
    p.name = st.value(2).toString();
    p.persondeal = st.value(3).toString();
    p.tel = st.value(4).toString();
    p.addr = st.value(5).toString();
    p.balance = num(st.value(6));
    return p;
}

void applyParty(Connection& c, const DocDesc& d, const QString& docIntno, const QString& code, const Party& p)
{
    Transaction t(c);
    requireUnposted(c, d, docIntno);
    Params ps;
    for (const QString& col : d.party.lookupColumns) {
        QVariant v;
        if (col == "customerintno") v = p.intno;
        else if (col == "customerid") v = code;
        else if (col == "customername") v = p.name;
        else if (col == "persondeal") v = p.persondeal;
        else if (col == "tel") v = p.tel;
        else if (col == "addr") v = p.addr;
        else if (col == "balance") v = p.balance;
        else continue;
        ps.append({col, v});
    }
    if (!ps.isEmpty()) writeChanged(c, d.headerTable, docIntno, ps);
    if (d.carriedForward) {
        // The first row only: the carried-forward row when it is there.
        Statement st(c, QStringLiteral("SELECT %1 FROM %2 WHERE mainintno=:n ORDER BY intno, rowid LIMIT 1")
                                     .arg(kRowColumns, d.detailTable));
        st.bind("n", docIntno);
        if (st.step()) {
            const Row first = rowFrom(st);
            st.reset();
            if (isCarried(first) && (!same(first.amount, p.balance) || !same(first.rest, p.balance)))
                c.exec(QStringLiteral("UPDATE %1 SET amount=:b, rest=:b WHERE rowid=:r").arg(d.detailTable),
                       {{"b", p.balance}, {"r", first.rowid}});
        }
    }
    t.commit();
}

Params productForCode(Connection& c, const DocDesc& d, const QString& code, const QString& partyCode)
{
    const QString typed = code.trimmed();
    const bool barcode = typed.size() >= 13;
    const QString column = barcode ? QStringLiteral("name") : QStringLiteral("sphh");
    Statement st(c, QStringLiteral("SELECT intno, sphh, spmc, spbzxh, sl_j, dj_n, dj_w, spgg, spmz, hydj, name "
                                            "FROM product WHERE %1=:p1 LIMIT 1")
                                 .arg(column));
    st.bind("p1", typed);
    if (!st.step()) {
        // A damaged index may miss a code without an error. The table itself,
        // read past the index, says whether the code is really unknown; this
        // costs one scan of the products, and only for a code not found.
        if (c.scalar(QStringLiteral("SELECT 1 FROM product NOT INDEXED WHERE %1=:p1 LIMIT 1").arg(column), {{"p1", typed}})
                .isValid())
            throwSqliteError(SQLITE_CORRUPT, QStringLiteral("the index of product.%1 misses '%2', which the table holds").arg(column, typed),
                             c.handle());
        throw Refusal(barcode ? text::noBarcode() : text::noCode());
    }
    double price = num(st.value(5));
    if (d.codePrice == CodePrice::RetailOrMember)
        price = num(st.value(partyCode.trimmed() == kCash ? 8 : 9));
    Params ps{{"spintno", st.value(0)}, {"sphh", st.value(1)}, {"spmc", st.value(2)}, {"unit", st.value(3)},
              {"sl_j", num(st.value(4))}, {"dj_n", price}, {"dj_w", num(st.value(6))}, {"ss", 0.0}, {"js", 0.0},
              {"sl", 1.0}};
    if (barcode || d.remarkOnCode) ps.append({"remark", st.value(7)});
    return ps;
}

void enterCode(Connection& c, const DocDesc& d, const QString& rowIntno, const QString& code, const QString& partyCode)
{
    Transaction t(c);
    std::optional<Row> row = readRow(c, d, rowIntno);
    if (!row || isCarried(*row)) throw Refusal(carriedForwardRefusal());
    requireRowUnposted(c, d, rowIntno);
    Params ps = productForCode(c, d, code, partyCode);
    QStringList sets;
    for (const auto& [column, value] : ps) sets << QStringLiteral("%1=:%1").arg(column);
    ps.append({"rowid_", row->rowid});
    c.exec(QStringLiteral("UPDATE %1 SET %2 WHERE rowid=:rowid_").arg(d.detailTable, sets.join(',')), ps);
    t.commit();
}

double rowAmount(const DocDesc& d, double sl, double djW, double djN, double rebate, double typed)
{
    switch (d.rowAmount) {
    case RowAmount::QtyTimesPrice: return sl * djW;
    case RowAmount::QtyTimesSalePriceRebate: return sl * djN * rebate / 100;
    case RowAmount::Typed: break;
    }
    return typed;
}

namespace {
// The arithmetic of a recalculation over rows: each row's amount and running
// balance written into the rows, and the document's totals.
struct Totals {
    double A = 0, P = 0, Q = 0, D = 0, R = 0, firstRest = 0;
    QString summary;
};

Totals computeTotals(const DocDesc& d, std::vector<Row>& rows)
{
    Totals t;
    const size_t start = d.carriedForward ? 1 : 0;
    t.R = t.firstRest = rows.empty() ? 0 : rows.front().rest;
    t.summary = d.texts.summaryPrefix;
    for (size_t i = start; i < rows.size(); ++i) {
        Row& r = rows[i];
        r.amount = rowAmount(d, r.sl, r.dj_w, r.dj_n, r.rebate, r.amount);
        switch (d.running) {
        case Running::PlusAmountMinusPay: t.R = t.R + r.amount - r.pay; break;
        case Running::MinusAmount: t.R = t.R - r.amount; break;
        case Running::MinusAmountMinusDeduck: t.R = t.R - r.amount - r.deduck; break;
        case Running::FirstRowRest:
        case Running::None: break;
        }
        if (d.running != Running::None) r.rest = t.R;
        t.A += r.amount;
        t.P += r.pay;
        t.Q += r.sl;
        t.D += r.deduck;
        if (!d.texts.summaryPrefix.isEmpty()) {
            if (!r.spmc.trimmed().isEmpty()) t.summary += r.spmc.trimmed();
            if (i + 1 < rows.size() && !rows[i + 1].spmc.trimmed().isEmpty()) t.summary += QStringLiteral("、");
        }
    }
    return t;
}
}

Header detail::recalcRows(Connection& c, const DocDesc& d, const QString& docIntno, const HeaderInput& in,
                          std::vector<Row>* written, bool stateRead)
{
    Transaction t(c);
    if (!stateRead) requireUnposted(c, d, docIntno);
    const std::optional<QString> code = padPartyCode(in.partyCode);
    if (code) {
        if (std::optional<Party> p = findParty(c, d, *code, false)) applyParty(c, d, docIntno, *code, *p);
    }
    const std::vector<Row> stored = readRows(c, d, docIntno);
    std::vector<Row> rows = stored;
    const Totals tot = computeTotals(d, rows);
    // Nothing out of range is stored: not a typed number, not what it gives.
    for (const Row& r : rows) checkRow(d, r);
    for (double money : {tot.A, tot.P, tot.D, tot.R}) requireInRange(money, Magnitude::Amount);
    Statement upd(c, QStringLiteral("UPDATE %1 SET amount=:a, rest=:r WHERE rowid=:id").arg(d.detailTable));
    for (size_t i = 0; i < rows.size(); ++i) {
        const Row& r = rows[i];
        if (same(r.amount, stored[i].amount) && same(r.rest, stored[i].rest)) continue;
        upd.reset();
        upd.bind({{"a", r.amount}, {"r", r.rest}, {"id", r.rowid}});
        while (upd.step()) {}
    }
    if (written) {
        // What was not written stays as stored; a value the file cannot hold
        // as it is (not a finite number) is read back instead.
        bool exact = true;
        written->clear();
        written->reserve(rows.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            const Row& r = rows[i];
            const bool kept = same(r.amount, stored[i].amount) && same(r.rest, stored[i].rest);
            exact = exact && std::isfinite(r.amount) && std::isfinite(r.rest);
            written->push_back(kept ? stored[i] : r);
        }
        if (!exact) *written = readRows(c, d, docIntno);
    }
    Params ps{{"amount", tot.A},
              {"customerid", code.value_or(in.partyCode.trimmed())},
              {"customername", in.partyName},
              {"persondeal", in.contact},
              {"remark", d.texts.summaryPrefix.isEmpty() ? in.remark : tot.summary},
              {"employeename", in.employee}};
    auto put = [&ps](const QString& col, const QVariant& v) { ps.append({col, v}); };
    if (in.date.isValid() && d.dateWithTime) {
        // A picked day keeps the time of day the document was opened at.
        const QString stored = c.scalar(QStringLiteral("SELECT billdate FROM %1 WHERE intno=:n").arg(d.headerTable),
                                        {{"n", docIntno}}).toString();
        put("billdate", in.date.toString(QStringLiteral("yyyy-MM-dd")) + (stored.size() >= 19 ? stored.mid(10) : QStringLiteral(" 00:00:00")));
    } else if (in.date.isValid()) {
        put("billdate", toDbDate(in.date));
    }
    if (d.totalQty) put("hjsl", tot.Q);
    if (d.zeroPieces) put("hjjs", 0.0);
    if (d.totalPay) put("pay", tot.P);
    if (d.totalDeduck) put("deduck", tot.D);
    else if (d.zeroDeduck) put("deduck", 0.0);
    if (d.writesDjh) put("djh", in.djh);
    if (d.writesBankId) put("bankid", in.bankId);
    if (d.headerRest == HeaderRest::LastRunning) put("rest", tot.R);
    else if (d.headerRest == HeaderRest::FirstRowRest) put("rest", tot.firstRest);
    // Only the columns whose stored value differs are written; an idle 刷新 writes nothing.
    writeChanged(c, d.headerTable, docIntno, ps);
    Header h = readHeader(c, d, docIntno);
    t.commit();
    return h;
}

Header recalc(Connection& c, const DocDesc& d, const QString& docIntno, const HeaderInput& in)
{
    return recalcRows(c, d, docIntno, in, nullptr);
}

Header previewTotals(Connection& c, const DocDesc& d, const QString& docIntno, Row& pending)
{
    Header h = readHeader(c, d, docIntno);
    std::vector<Row> rows = readRows(c, d, docIntno);
    for (Row& r : rows)
        if (r.rowid == pending.rowid) r = pending;
    const Totals tot = computeTotals(d, rows);
    for (const Row& r : rows)
        if (r.rowid == pending.rowid) pending = r;
    h.amount = tot.A;
    if (d.totalQty) h.hjsl = tot.Q;
    if (d.totalPay) h.pay = tot.P;
    if (d.totalDeduck) h.deduck = tot.D;
    if (d.headerRest == HeaderRest::LastRunning) h.rest = tot.R;
    if (!d.texts.summaryPrefix.isEmpty()) h.remark = tot.summary;
    return h;
}

void deleteRow(Connection& c, const DocDesc& d, const QString& rowIntno)
{
    Transaction t(c);
    std::optional<Row> row = readRow(c, d, rowIntno);
    if (!row || isCarried(*row)) throw Refusal(carriedForwardRefusal());
    requireRowUnposted(c, d, rowIntno);
    c.exec(QStringLiteral("DELETE FROM %1 WHERE rowid=:r").arg(d.detailTable), {{"r", row->rowid}});
    t.commit();
}

void copyHistory(Connection& c, const DocDesc& d, const QString& docIntno, const QString& historyIntno)
{
    Transaction t(c);
    requireUnposted(c, d, docIntno);
    std::vector<Row> rows = readRows(c, d, docIntno);
    if (rows.empty() || isCarried(rows.back())) throw Refusal(text::noRowsYet());
    std::vector<Row> from = readRows(c, d, historyIntno);
    std::erase_if(from, [](const Row& r) { return isCarried(r); });
    if (from.empty()) throw Refusal(text::noHistory());
    for (const Row& r : from) checkRow(d, r);
    qint64 target = rows.back().rowid;
    for (size_t i = 0; i < from.size(); ++i) {
        const Row& r = from[i];
        c.exec(QStringLiteral("UPDATE %1 SET spintno=:a, sphh=:b, spmc=:c, unit=:u, dj_w=:w, sl=:q, pay=:p WHERE rowid=:r")
                   .arg(d.detailTable),
               {{"a", r.spintno}, {"b", r.sphh}, {"c", r.spmc}, {"u", r.unit}, {"w", r.dj_w}, {"q", r.sl}, {"p", r.pay},
                {"r", target}});
        if (i + 1 < from.size()) {
            const QString no = insertRow(c, d, docIntno, QString());
            target = c.scalar(QStringLiteral("SELECT rowid FROM %1 WHERE intno=:n").arg(d.detailTable), {{"n", no}}).toLongLong();
        }
    }
    t.commit();
}

void voidDocument(Connection& c, const DocDesc& d, const QString& docIntno)
{
    Transaction t(c);
    requireUnposted(c, d, docIntno);
    if (c.exec(QStringLiteral("DELETE FROM %1 WHERE intno=:n AND coalesce(pass,0)=0").arg(d.headerTable), {{"n", docIntno}}) < 1)
        throw PostedRefusal();
    c.exec(QStringLiteral("DELETE FROM %1 WHERE mainintno=:p1").arg(d.detailTable), {{"p1", docIntno}});
    t.commit();
}

namespace {
// A row without a product (or account) name or without a number.
const QString kBlankRow = QStringLiteral("(coalesce(spmc,'')='' OR coalesce(intno,'')='')");

// Deletes the unposted header when no row of it is left; whether it went.
bool dropHeaderWithoutRows(Connection& c, const DocDesc& d, const QString& docIntno)
{
    return c.exec(QStringLiteral("DELETE FROM %1 WHERE intno=:n AND coalesce(pass,0)=0 "
                                 "AND NOT EXISTS (SELECT 1 FROM %2 WHERE mainintno=:n)")
                      .arg(d.headerTable, d.detailTable),
                  {{"n", docIntno}}) > 0;
}
}

bool dropIfEmpty(Connection& c, const DocDesc& d, const QString& docIntno)
{
    Transaction t(c);
    requireUnposted(c, d, docIntno);
    if (c.scalar(QStringLiteral("SELECT 1 FROM %1 WHERE mainintno=:n AND NOT %2 LIMIT 1").arg(d.detailTable, kBlankRow),
                 {{"n", docIntno}})
            .isValid())
        return false;
    c.exec(QStringLiteral("DELETE FROM %1 WHERE mainintno=:n").arg(d.detailTable), {{"n", docIntno}});
    const bool gone = dropHeaderWithoutRows(c, d, docIntno);
    t.commit();
    return gone;
}

int purgeBlankRows(Connection& c, const DocDesc& d, const QString& docIntno)
{
    Transaction t(c);
    requireUnposted(c, d, docIntno);
    const int n = c.exec(QStringLiteral("DELETE FROM %1 WHERE mainintno=:n AND %2").arg(d.detailTable, kBlankRow),
                         {{"n", docIntno}});
    if (!d.carriedForward) dropHeaderWithoutRows(c, d, docIntno);
    t.commit();
    return n;
}

}
