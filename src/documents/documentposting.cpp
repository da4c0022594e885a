// Posting a document: the kind's effects on parties, accounts and products,
// the average cost they keep, and reversal, which undoes them.
#include "documents/documentengine.h"
#include "documents/documentengine_p.h"
#include "common/formats.h"
#include <algorithm>
#include <cmath>
#include <map>

namespace qm::doc {

using namespace detail;

namespace {

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

// ---------------------------------------------------------------- posting

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

}
