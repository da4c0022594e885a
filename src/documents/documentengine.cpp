#include "documents/documentengine.h"
#include "common/bakcopy.h"
#include "common/clock.h"
#include "common/dialogs.h"
#include "common/formats.h"
#include "data/numbering.h"
#include "masterdata/picklink.h"
#include <cmath>
#include <map>
#include <memory>

namespace qm::doc {

namespace {

const QString kCash = QStringLiteral("0000000001");

QString cashName() { return QStringLiteral("现金"); }

bool isCarried(const Row& r) { return r.spmc.trimmed() == carriedForwardName(); }

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

bool movesStock(const DocDesc& d, const Row& r, bool reversing)
{
    if (r.spintno.trimmed().isEmpty()) return false;
    return !d.rowMovesStock || d.rowMovesStock(r.sphh, r.unit, reversing);
}

// A stored and a computed number are the same when they agree to far below a
// cent; a value that is not a finite number is the same as nothing.
bool same(double a, double b) { return std::isfinite(a) && std::isfinite(b) && std::fabs(a - b) <= 1e-7; }

QString tableOf(const DocDesc& d, Target t)
{
    switch (t) {
    case Target::Party: return d.party.table;
    case Target::Account:
    case Target::RowAccount: return QStringLiteral("bank");
    case Target::Product: return QStringLiteral("product");
    }
    return QString();
}

// The values effects read, from the header as stored at posting time.
struct EffectValues {
    const Header* head = nullptr;
    const Row* row = nullptr;
    QString operatorCode;
};

QVariant sourceValue(Source s, const EffectValues& v)
{
    const Header& h = *v.head;
    switch (s) {
    case Source::HeadAmount: return h.amount;
    case Source::HeadPay: return h.pay;
    case Source::HeadDeduck: return h.deduck;
    case Source::HeadRest: return h.rest;
    case Source::HeadChange: return h.rest - h.balance;
    case Source::RowQty: return v.row ? v.row->sl : 0.0;
    case Source::RowAmount: return v.row ? v.row->amount : 0.0;
    case Source::RowPrice: return v.row ? v.row->dj_w : 0.0;
    case Source::PartyName: return h.customername.trimmed();
    case Source::OperatorCode: return v.operatorCode;
    }
    return QVariant();
}

double sumTerms(const std::vector<Term>& terms, const EffectValues& v, int flip = 1)
{
    double s = 0;
    for (const Term& t : terms) s += flip * t.sign * sourceValue(t.source, v).toDouble();
    return s;
}

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

// Whether x lies between a and b (either way round), with room for rounding.
bool between(double x, double a, double b)
{
    const double lo = std::min(a, b), hi = std::max(a, b);
    const double eps = 1e-9 * std::max(1.0, std::fabs(lo) + std::fabs(hi));
    return x >= lo - eps && x <= hi + eps;
}
}

// ------------------------------------------------------------ average cost

double averageAfterPurchase(double avg, double stock, double qty, double price)
{
    if (qty == 0) return avg;
    // Nothing (or less than nothing) held before: the goods cost what was paid.
    if (stock <= 0) return price;
    if (stock + qty == 0) return avg;
    const double r = (avg * stock + qty * price) / (stock + qty);
    // Only a negative quantity can leave the range; such a result means nothing.
    return between(r, avg, price) ? r : avg;
}

double averageAfterReversal(double avg, double stock, double qty, double price)
{
    if (qty == 0) return avg;
    const double left = stock - qty;
    if (left <= 0) return avg;
    const double r = (avg * stock - qty * price) / left;
    if (r < 0) return avg;
    // The average being undone must lie between the earlier one and the price.
    return between(avg, r, price) ? r : avg;
}

// ---------------------------------------------------------------- numbers

void requireInRange(double v, Magnitude m)
{
    if (!inRange(v, m)) throw Refusal(text::outOfRange());
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

QString insertRow(Connection& c, const DocDesc& d, const QString& docIntno, const QString& spmc)
{
    const QString no = nextIntno(c, d.detailTable, 10);
    QString cols = QStringLiteral("intno, mainintno, spmc"), vals = QStringLiteral(":i, :m, :s");
    Params ps{{"i", no}, {"m", docIntno}, {"s", spmc}};
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

QString newDocument(Connection& c, const DocDesc& d)
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
    insertRow(c, d, no, QString());
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
    Statement st(c, QStringLiteral("SELECT intno, sphh, spmc, spbzxh, sl_j, dj_n, dj_w, spgg, spmz, hydj, name "
                                            "FROM product WHERE %1=:p1 LIMIT 1")
                                 .arg(barcode ? QStringLiteral("name") : QStringLiteral("sphh")));
    st.bind("p1", typed);
    if (!st.step()) throw Refusal(barcode ? text::noBarcode() : text::noCode());
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

namespace {
// The recalculation; `written`, when given, receives the rows as they stand
// afterwards, so that posting need not read them again. Posting, which has
// just read the state in its own transaction, passes `stateRead`.
Header recalcRows(Connection& c, const DocDesc& d, const QString& docIntno, const HeaderInput& in,
                  std::vector<Row>* written, bool stateRead = false)
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

namespace {
// Applies the kind's effects for one document; `reversing` inverts them.
void applyEffects(Connection& c, const DocDesc& d, const Header& h, const std::vector<Row>& rows, bool reversing,
                  bool accountFound, const QString& operatorCode)
{
    EffectValues v{&h, nullptr, operatorCode};
    // Header-level targets: one UPDATE per target.
    for (Target target : {Target::Party, Target::Account}) {
        if (target == Target::Account && !accountFound) continue;
        QStringList sets;
        Params ps;
        int k = 0;
        for (const Effect& e : d.effects) {
            if (e.target != target) continue;
            const QString p = QStringLiteral("v%1").arg(k++);
            if (e.apply == Apply::Add || (reversing && e.onReverse)) {
                const double delta = reversing ? (e.onReverse ? sumTerms(*e.onReverse, v) : sumTerms(e.terms, v, -1))
                                               : sumTerms(e.terms, v);
                sets << QStringLiteral("%1=coalesce(%1,0)+:%2").arg(e.column, p);
                ps.append({p, delta});
            } else if (e.apply == Apply::Set && !reversing && !e.terms.empty()) {
                sets << QStringLiteral("%1=:%2").arg(e.column, p);
                ps.append({p, sourceValue(e.terms.front().source, v)});
            }
        }
        if (sets.isEmpty()) continue;
        const QString key = target == Target::Party ? d.party.postColumn : QStringLiteral("id");
        ps.append({"key", target == Target::Party ? h.customerid : h.bankid});
        c.exec(QStringLiteral("UPDATE %1 SET %2 WHERE %3=:key").arg(tableOf(d, target), sets.join(','), key), ps);
    }

    // Row-level targets.
    bool productEffects = false, accountEffects = false;
    for (const Effect& e : d.effects) {
        productEffects |= e.target == Target::Product;
        accountEffects |= e.target == Target::RowAccount;
    }
    if (productEffects) {
        // Every row sets the same columns: the statement is built and prepared
        // once, and only an average cost needs the product's stock read first.
        struct Column {
            const Effect* effect;
            QString param;
        };
        std::vector<Column> columns;
        QStringList sets;
        bool readsStock = false;
        int k = 0;
        for (const Effect& e : d.effects) {
            if (e.target != Target::Product) continue;
            const QString p = QStringLiteral("v%1").arg(k++);
            if (e.apply == Apply::AverageCost) {
                sets << QStringLiteral("%1=:%2").arg(e.column, p);
                readsStock = true;
            } else if (e.apply == Apply::Add || (reversing && e.onReverse)) {
                sets << QStringLiteral("%1=coalesce(%1,0)+:%2").arg(e.column, p);
            } else if (!reversing && !e.terms.empty()) {
                sets << QStringLiteral("%1=:%2").arg(e.column, p);
            } else {
                continue;
            }
            columns.push_back({&e, p});
        }
        if (!columns.empty()) {
            std::optional<Statement> get;
            if (readsStock) get.emplace(c, QStringLiteral("SELECT coalesce(sl,0), coalesce(avdj,0) FROM product WHERE intno=:i"));
            Statement put(c, QStringLiteral("UPDATE product SET %1 WHERE intno=:i").arg(sets.join(',')));
            const QString key = QStringLiteral("i");
            for (const Row& r : rows) {
                if (!movesStock(d, r, reversing)) continue;
                double stock = 0, avg = 0;
                if (get) {
                    get->reset();
                    get->bind(key, r.spintno);
                    if (!get->step()) continue; // a product that no longer exists is skipped
                    stock = get->value(0).toDouble();
                    avg = get->value(1).toDouble();
                    get->reset();
                }
                v.row = &r;
                put.reset();
                put.bind(key, r.spintno);
                for (const Column& col : columns) {
                    const Effect& e = *col.effect;
                    QVariant value;
                    if (e.apply == Apply::AverageCost) {
                        const double qty = sumTerms(e.terms, v);
                        value = reversing ? averageAfterReversal(avg, stock, qty, r.dj_w)
                                          : averageAfterPurchase(avg, stock, qty, r.dj_w);
                    } else if (e.apply == Apply::Add || (reversing && e.onReverse)) {
                        value = reversing ? (e.onReverse ? sumTerms(*e.onReverse, v) : sumTerms(e.terms, v, -1))
                                          : sumTerms(e.terms, v);
                    } else {
                        value = sourceValue(e.terms.front().source, v);
                    }
                    put.bind(col.param, value);
                }
                while (put.step()) {}
            }
        }
    }
    if (accountEffects) {
        for (const Row& r : rows) {
            if (isCarried(r) || r.sphh.trimmed().isEmpty()) continue;
            v.row = &r;
            QStringList sets;
            Params ps{{"key", r.sphh}};
            int k = 0;
            for (const Effect& e : d.effects) {
                if (e.target != Target::RowAccount || e.apply != Apply::Add) continue;
                const QString p = QStringLiteral("v%1").arg(k++);
                const double delta = reversing ? (e.onReverse ? sumTerms(*e.onReverse, v) : sumTerms(e.terms, v, -1))
                                               : sumTerms(e.terms, v);
                sets << QStringLiteral("%1=coalesce(%1,0)+:%2").arg(e.column, p);
                ps.append({p, delta});
            }
            if (!sets.isEmpty()) c.exec(QStringLiteral("UPDATE bank SET %1 WHERE id=:key").arg(sets.join(',')), ps);
        }
    }
}

bool hasAccountEffects(const DocDesc& d)
{
    for (const Effect& e : d.effects)
        if (e.target == Target::Account) return true;
    return false;
}

// Every account the rows move money through exists: money posted to or taken
// back from an account that is not there would be lost.
void requireRowAccounts(Connection& c, const DocDesc& d, const std::vector<Row>& rows)
{
    if (std::none_of(d.effects.begin(), d.effects.end(), [](const Effect& e) { return e.target == Target::RowAccount; }))
        return;
    for (const Row& r : rows) {
        if (isCarried(r) || (r.sphh.trimmed().isEmpty() && r.amount == 0)) continue;
        if (!accountExists(c, r.sphh)) throw Refusal(text::noAccount());
    }
}

// The header's party code as the posting checks read it.
bool noPartyChosen(const QString& typed)
{
    const QString t = typed.trimmed();
    return t.isEmpty() || t == "0";
}
}

void post(Connection& c, const DocDesc& d, const QString& docIntno, const HeaderInput& in, bool dropEmptyLast,
          const QString& operatorCode)
{
    Transaction t(c);
    if (readHeader(c, d, docIntno).pass) throw Refusal(text::alreadyPosted());
    if (noPartyChosen(in.partyCode)) throw Refusal(d.party.noneChosen);
    if (dropEmptyLast) {
        std::vector<Row> rows = readRows(c, d, docIntno);
        if (!rows.empty() && rows.back().spmc.isEmpty() && !isCarried(rows.back()))
            c.exec(QStringLiteral("DELETE FROM %1 WHERE rowid=:r").arg(d.detailTable), {{"r", rows.back().rowid}});
    }
    // The document's numbers from the party's balance as stored now.
    std::vector<Row> rows;
    const Header h = recalcRows(c, d, docIntno, in, &rows, true);
    postRecalculated(c, d, docIntno, in, h, rows, operatorCode);
    t.commit();
}

void postRecalculated(Connection& c, const DocDesc& d, const QString& docIntno, const HeaderInput& in, const Header& h,
                      const std::vector<Row>& rows, const QString& operatorCode)
{
    Transaction t(c);
    if (noPartyChosen(in.partyCode)) throw Refusal(d.party.noneChosen);
    for (const Row& r : rows)
        if (r.spmc.trimmed().isEmpty()) throw Refusal(r.spmc.trimmed() + text::noProductName());
    if (!findParty(c, d, h.customerid, true)) throw Refusal(d.party.notFoundOnPost);
    requireRowAccounts(c, d, rows);
    bool account = hasAccountEffects(d) && accountExists(c, h.bankid);
    // Money paid through an account that does not exist would be lost.
    if (hasAccountEffects(d) && !account && h.pay != 0) throw Refusal(text::noAccount());

    QString sets = QStringLiteral("pass=1");
    Params ps{{"n", docIntno}};
    if (d.headerBillType) {
        sets += QStringLiteral(", billtype=:t, billname=:bn");
        ps.append({"t", d.billType});
        ps.append({"bn", d.billName});
    }
    if (c.exec(QStringLiteral("UPDATE %1 SET %2 WHERE intno=:n AND coalesce(pass,0)=0").arg(d.headerTable, sets), ps) != 1)
        throw Refusal(text::alreadyPosted());

    QStringList rowSets{QStringLiteral("billtype=:t"), QStringLiteral("billname=:bn"), QStringLiteral("pass=1")};
    Params rp{{"n", docIntno}, {"t", d.billType}, {"bn", d.billName}};
    const std::map<QString, QVariant> headValues{
        {"billdate", h.billdate.isValid() ? QVariant(toDbDateTime(h.billdate)) : QVariant()}, {"customerid", h.customerid}, {"customername", h.customername},
        {"bankid", h.bankid}, {"djh", h.djh}};
    for (const QString& col : d.rowCopies) {
        auto it = headValues.find(col);
        if (it == headValues.end()) continue;
        rowSets << QStringLiteral("%1=:h_%1").arg(col);
        rp.append({"h_" + col, it->second});
    }
    if (d.rowDjhIsOperator) {
        rowSets << QStringLiteral("djh=:op");
        rp.append({"op", operatorCode});
    }
    c.exec(QStringLiteral("UPDATE %1 SET %2 WHERE mainintno=:n").arg(d.detailTable, rowSets.join(',')), rp);
    applyEffects(c, d, h, rows, false, account, operatorCode);
    if (d.afterEffects) d.afterEffects(c, h, false);
    t.commit();
}

void reverse(Connection& c, const DocDesc& d, const QString& docIntno)
{
    Transaction t(c);
    const Header h = readHeader(c, d, docIntno);
    if (h.cancel) throw Refusal(text::alreadyReversed());
    if (!h.pass) throw Refusal(QStringLiteral("该单据未过帐,不能冲数！"));
    // The stored header names the party and account, not what a box may say.
    if (!findParty(c, d, h.customerid, true)) throw Refusal(d.party.notFoundOnReverse);
    requireRowAccounts(c, d, readRows(c, d, docIntno));
    const bool account = hasAccountEffects(d) && accountExists(c, h.bankid);
    if (c.exec(QStringLiteral("UPDATE %1 SET cancel=1 WHERE intno=:n AND coalesce(pass,0)=1 AND coalesce(cancel,0)=0")
                   .arg(d.headerTable),
               {{"n", docIntno}}) != 1)
        throw Refusal(text::alreadyReversed());
    c.exec(QStringLiteral("UPDATE %1 SET cancel=1 WHERE mainintno=:n").arg(d.detailTable), {{"n", docIntno}});
    applyEffects(c, d, h, readRows(c, d, docIntno), true, account, QString());
    if (d.afterEffects) d.afterEffects(c, h, true);
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

bool dropIfEmpty(Connection& c, const DocDesc& d, const QString& docIntno)
{
    Transaction t(c);
    requireUnposted(c, d, docIntno);
    if (c.scalar(QStringLiteral("SELECT 1 FROM %1 WHERE mainintno=:n LIMIT 1").arg(d.detailTable), {{"n", docIntno}}).isValid())
        return false;
    const bool gone =
        c.exec(QStringLiteral("DELETE FROM %1 WHERE intno=:n AND coalesce(pass,0)=0").arg(d.headerTable), {{"n", docIntno}}) > 0;
    t.commit();
    return gone;
}

int purgeBlankRows(Connection& c, const DocDesc& d, const QString& docIntno)
{
    Transaction t(c);
    requireUnposted(c, d, docIntno);
    const int n = c.exec(QStringLiteral("DELETE FROM %1 WHERE mainintno=:n AND (coalesce(spmc,'')='' OR coalesce(intno,'')='')")
                             .arg(d.detailTable),
                         {{"n", docIntno}});
    t.commit();
    return n;
}

namespace {
QStringList stockWarningsFor(Connection& c, const DocDesc& d, const std::vector<Row>& rows, bool reversing)
{
    const StockWarning rule = reversing ? d.warnOnReverse : d.warnOnPost;
    QStringList out;
    Statement get(c, QStringLiteral("SELECT coalesce(sl,0) FROM product WHERE intno=:i"));
    for (size_t i = rule == StockWarning::RowsAfterFirst ? 1 : 0; i < rows.size(); ++i) {
        const Row& r = rows[i];
        if (!movesStock(d, r, reversing)) continue;
        get.reset();
        get.bind("i", r.spintno);
        if (get.step() && get.value(0).toDouble() < r.sl) out << r.spmc.trimmed() + text::lowStock();
    }
    return out;
}
}

QStringList stockWarnings(Connection& c, const DocDesc& d, const QString& docIntno, bool reversing)
{
    if ((reversing ? d.warnOnReverse : d.warnOnPost) == StockWarning::None) return {};
    return stockWarningsFor(c, d, readRows(c, d, docIntno), reversing);
}

// ------------------------------------------------------------- commands

void copyToBak() { requestBakCopy(); }

namespace {
// A command's stop inside the catch-all: its own message, then the catch-all's.
bool refuse(const QString& message)
{
    if (!message.isEmpty()) dlg::showMessage(message);
    dlg::showMessage(text::catchAll());
    return false;
}
}

bool checkBeforePosting(Connection& c, const DocDesc& d, const QString& docIntno, const HeaderInput& in, bool& dropLast)
{
    // What was read is used again only while no window has opened since:
    // another program may write the file while the operator reads a message.
    bool asked = false;
    std::optional<Header> stored = readHeader(c, d, docIntno);
    if (stored->pass) return refuse(text::alreadyPosted());
    if (noPartyChosen(in.partyCode)) return refuse(d.party.noneChosen);
    std::vector<Row> rows = readRows(c, d, docIntno);
    const std::vector<Row> all = rows;
    // An empty last row goes, through 删除 and its question.
    dropLast = false;
    if (!rows.empty() && rows.back().spmc.isEmpty() && !isCarried(rows.back())) {
        asked = d.deleteAsks;
        dropLast = !d.deleteAsks || dlg::confirm(text::confirmDelete());
        if (dropLast) rows.pop_back();
    }
    const std::optional<QString> code = padPartyCode(in.partyCode);
    if (code && !findParty(c, d, *code, false)) {
        dlg::showMessage(d.party.notFound);
        asked = true;
    }
    for (const Row& r : rows)
        if (r.spmc.trimmed().isEmpty()) return refuse(r.spmc.trimmed() + text::noProductName());
    if (d.warnOnPost != StockWarning::None) {
        const QStringList warnings = stockWarningsFor(c, d, asked ? readRows(c, d, docIntno) : all, false);
        for (const QString& w : warnings) dlg::showMessage(w);
        asked = asked || !warnings.isEmpty();
    }
    if (!code || !findParty(c, d, *code, true)) return refuse(d.party.notFoundOnPost);
    if (asked) stored = readHeader(c, d, docIntno);
    if (hasAccountEffects(d) && !accountExists(c, d.writesBankId ? in.bankId : stored->bankid)) {
        double pay = 0;
        for (size_t i = d.carriedForward ? 1 : 0; i < rows.size(); ++i) pay += rows[i].pay;
        if (d.totalPay ? pay != 0 : stored->pay != 0) return refuse(text::noAccount());
        dlg::showMessage(text::noAccount());
    }
    return true;
}

bool postBill(Connection& c, const DocDesc& d, const QString& docIntno, const HeaderInput& in, const QString& operatorCode)
{
    if (!dlg::confirm(text::confirmPost())) return false;
    try {
        bool dropLast = false;
        if (!checkBeforePosting(c, d, docIntno, in, dropLast)) return false;
        post(c, d, docIntno, in, dropLast, operatorCode);
        return true;
    } catch (const Refusal& r) {
        return refuse(r.message());
    } catch (const AppError&) {
        return refuse(QString());
    }
}

bool reverseBill(Connection& c, const DocDesc& d, const QString& docIntno)
{
    if (!dlg::confirm(text::confirmReverse())) return false;
    try {
        const Header h = readHeader(c, d, docIntno);
        if (h.cancel) throw Refusal(text::alreadyReversed());
        for (const QString& w : stockWarnings(c, d, docIntno, true)) dlg::showMessage(w);
        if (!findParty(c, d, h.customerid, true)) throw Refusal(d.party.notFoundOnReverse);
        if (hasAccountEffects(d) && !accountExists(c, h.bankid)) dlg::showMessage(text::noAccount());
        reverse(c, d, docIntno);
        return true;
    } catch (const Refusal& r) {
        dlg::showMessage(r.message());
        return false;
    }
}

bool voidBill(Connection& c, const DocDesc& d, const QString& docIntno)
{
    if (!dlg::confirm(text::confirmVoid())) return false;
    try {
        voidDocument(c, d, docIntno);
        return true;
    } catch (const Refusal& r) {
        return refuse(r.message());
    } catch (const AppError&) {
        return refuse(QString());
    }
}

}
