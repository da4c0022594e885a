#include "documents/saleposting.h"
#include "common/clock.h"
#include "common/errors.h"
#include "common/formats.h"
#include "documents/salerules.h"

namespace qm::sale {

namespace {
// Rows that move stock: a product of this number exists and the code is not
// one of those kept for goods without a product record.
const QString kStockRows = QStringLiteral(
    "spintno<>'' AND coalesce(sphh,'') NOT IN ('零','000') "
    "AND EXISTS (SELECT 1 FROM product p WHERE p.intno=d.spintno)");

QString sql(const QString& text, const Tables& t)
{
    return QString(text).replace(QLatin1String("{H}"), t.header).replace(QLatin1String("{R}"), t.rows);
}

struct Header {
    bool found = false, pass = false, cancel = false;
    double amount = 0, pay = 0, deduck = 0;
    QString billdate, customerid, customername, bankid, djh;
};

Header readHeader(Connection& c, const Tables& t, const QString& intno)
{
    Header h;
    const auto rows = c.rows(sql(QStringLiteral("SELECT pass, cancel, amount, pay, deduck, billdate, customerid, "
                                                "customername, bankid, djh FROM {H} WHERE intno=:p1 LIMIT 1"),
                                 t),
                             {{"p1", intno}});
    if (rows.empty()) return h;
    const QVariantList& r = rows.front();
    h.found = true;
    h.pass = r[0].toInt() != 0;
    h.cancel = r[1].toInt() != 0;
    h.amount = r[2].toDouble();
    h.pay = r[3].toDouble();
    h.deduck = r[4].toDouble();
    h.billdate = r[5].toString();
    h.customerid = r[6].toString();
    h.customername = r[7].toString();
    h.bankid = r[8].toString();
    h.djh = r[9].toString();
    return h;
}

bool bankExists(Connection& c, const QString& code)
{
    return c.scalar(QStringLiteral("SELECT 1 FROM bank WHERE id=:p1 LIMIT 1"), {{"p1", code}}).isValid();
}

// The rows of a product whose stock is below the row's quantity, in row order.
QStringList stockShortages(Connection& c, const Tables& t, const QString& intno)
{
    QStringList out;
    const auto rows = c.rows(sql(QStringLiteral("SELECT d.spmc FROM {R} d JOIN product p ON p.intno=d.spintno "
                                                "WHERE d.mainintno=:p1 AND d.spintno<>'' AND p.sl<d.sl "
                                                "AND p.rowid=(SELECT min(rowid) FROM product WHERE intno=d.spintno) "
                                                "ORDER BY d.intno"),
                                 t),
                             {{"p1", intno}});
    for (const QVariantList& r : rows) out << r[0].toString().trimmed() + QStringLiteral("的库存数量不足！");
    return out;
}

// Moves every stock row of the document: `sign` +1 takes the goods out (sale
// posting, return reversal), -1 brings them back.
void moveStock(Connection& c, const Tables& t, const QString& intno, int sign)
{
    const QString perProduct = sql(QStringLiteral("(SELECT total(d.sl) FROM {R} d WHERE d.mainintno=:p1 "
                                                  "AND d.spintno=product.intno AND ") + kStockRows + ")",
                                   t);
    c.exec(QStringLiteral("UPDATE product SET sl_out_m=sl_out_m+:s*%1, sl_out_y=sl_out_y+:s*%1, sl=sl-:s*%1 "
                          "WHERE intno IN (SELECT d.spintno FROM %2 d WHERE d.mainintno=:p1 AND %3)")
               .arg(perProduct, t.rows, kStockRows),
           {{"p1", intno}, {"s", sign}});
}

// The customer's row: the first of that code.
const char* const kCustomerRow = "rowid=(SELECT min(rowid) FROM customer WHERE id=:id)";
const char* const kBankRow = "rowid=(SELECT min(rowid) FROM bank WHERE id=:id)";

void addTurnover(Connection& c, Turnover t, double amount)
{
    if (t == Turnover::SinceLogin) {
        if (c.exec(QStringLiteral("UPDATE totallist SET amount=amount+:a, rest=amount+:a "
                                  "WHERE rowid=(SELECT min(rowid) FROM totallist)"),
                   {{"a", amount}})
            == 0)
            c.exec(QStringLiteral("INSERT INTO totallist(amount, rest) VALUES(:a, :a)"), {{"a", amount}});
    } else if (t == Turnover::FrontDesk) {
        c.exec(QStringLiteral("UPDATE config SET amount=amount+:a, rest=rest+:a WHERE rowid=(SELECT min(rowid) FROM config)"),
               {{"a", amount}});
    }
}
}

const Tables& tablesOf(Kind k)
{
    static const Tables sale{QStringLiteral("outlist"), QStringLiteral("outdetail"), QStringLiteral("01"),
                             QStringLiteral("销售单")};
    static const Tables back{QStringLiteral("outbacklist"), QStringLiteral("outbackdetail"), QStringLiteral("05"),
                             QStringLiteral("销售退货单")};
    return k == Kind::Sale ? sale : back;
}

QString padCode(const QString& typed) { return (QStringLiteral("0000000000") + typed.trimmed()).right(10); }

std::optional<Customer> findCustomer(Connection& c, const QString& code)
{
    const auto rows = c.rows(QStringLiteral("SELECT intno, id, name, persondeal, addr, tel, balance FROM customer "
                                            "WHERE id=:p1 ORDER BY rowid LIMIT 1"),
                             {{"p1", code}});
    if (rows.empty()) return std::nullopt;
    const QVariantList& r = rows.front();
    return Customer{r[0].toString(), r[1].toString(), r[2].toString(), r[3].toString(),
                    r[4].toString(), r[5].toString(), r[6].toDouble()};
}

Check checkPosting(Connection& c, Kind k, const QString& intno, const QString& customerCode, const QString& bankCode)
{
    const Tables& t = tablesOf(k);
    Check out;
    const Header h = readHeader(c, t, intno);
    if (h.pass) {
        out.refusal = QStringLiteral("该单据已过帐,不能再过帐！");
        return out;
    }
    const QString code = customerCode.trimmed();
    if (code.isEmpty() || code == QStringLiteral("0")) {
        out.refusal = QStringLiteral("没有选取客户,不能过帐！");
        return out;
    }
    if (c.scalar(sql(QStringLiteral("SELECT 1 FROM {R} WHERE mainintno=:p1 AND trim(coalesce(spmc,''))='' LIMIT 1"), t),
                 {{"p1", intno}})
            .isValid()) {
        out.refusal = QStringLiteral("没有商品名,不能过帐！");
        return out;
    }
    if (k == Kind::Sale) out.warnings = stockShortages(c, t, intno);
    if (!findCustomer(c, customerCode)) {
        out.refusal = QStringLiteral("查无此客户号！");
        return out;
    }
    if (k == Kind::Sale && !bankExists(c, bankCode)) out.warnings << QStringLiteral("查无此银行编号！");
    return out;
}

Check checkReversal(Connection& c, Kind k, const QString& intno, const QString& customerCode, const QString& bankCode)
{
    const Tables& t = tablesOf(k);
    Check out;
    const Header h = readHeader(c, t, intno);
    if (h.cancel || !h.pass) {
        out.refusal = QStringLiteral("该单据已冲数,不能再冲数！");
        return out;
    }
    if (k == Kind::SalesReturn) out.warnings = stockShortages(c, t, intno);
    if (!findCustomer(c, customerCode)) {
        out.refusal = QStringLiteral("查无此客户号,不能冲数！");
        return out;
    }
    if (k == Kind::Sale && !bankExists(c, bankCode)) out.warnings << QStringLiteral("查无此银行编号！");
    return out;
}

void post(Connection& c, Kind k, const QString& intno, const QString& customerCode, const QString& bankCode,
          const PostOptions& o)
{
    const Tables& t = tablesOf(k);
    Transaction tx(c);
    Header h = readHeader(c, t, intno);
    if (!h.found || h.pass) throw Refused(QStringLiteral("该单据已过帐,不能再过帐！"));

    if (o.cashTaken && k == Kind::Sale) {
        const double due = amountDue(h.amount, h.deduck);
        c.exec(QStringLiteral("UPDATE outdetail SET pay=:pay, rest=:rest WHERE rowid=(SELECT rowid FROM outdetail "
                              "WHERE mainintno=:p1 ORDER BY intno DESC LIMIT 1)"),
               {{"p1", intno}, {"pay", *o.cashTaken}, {"rest", *o.cashTaken - due}});
        c.exec(QStringLiteral("UPDATE outlist SET pay=:pay WHERE intno=:p1"), {{"p1", intno}, {"pay", due}});
        h.pay = due;
    }

    const Params who{{"id", customerCode}};
    if (k == Kind::Sale) {
        if (c.exec(QStringLiteral("UPDATE customer SET balance=balance+:a-:p-:d, amount=amount+:a, pay=pay+:p, "
                                  "deduck=deduck+:d, amount_y=amount_y+:a, pay_y=pay_y+:p, deduck_y=deduck_y+:d WHERE ")
                       + kCustomerRow,
                   who + Params{{"a", h.amount}, {"p", h.pay}, {"d", h.deduck}})
            == 0)
            throw Refused(QStringLiteral("查无此客户号！"));
        c.exec(QStringLiteral("UPDATE bank SET balance=balance+:p, amount=amount+:p, amount_y=amount_y+:p WHERE ")
                   + kBankRow,
               {{"id", bankCode}, {"p", h.pay}});
    } else {
        if (c.exec(QStringLiteral("UPDATE customer SET balance=balance-:a, amount=amount-:a, amount_y=amount_y-:a WHERE ")
                       + kCustomerRow,
                   who + Params{{"a", h.amount}})
            == 0)
            throw Refused(QStringLiteral("查无此客户号！"));
    }
    // The header keeps the customer's balance after this document.
    c.exec(sql(QStringLiteral("UPDATE {H} SET pass=1, rest=(SELECT balance FROM customer WHERE ") + kCustomerRow
                   + ") WHERE intno=:p1",
               t),
           who + Params{{"p1", intno}});

    // Every row carries the document's date, party and bill type from now on.
    if (k == Kind::Sale)
        c.exec(QStringLiteral("UPDATE outdetail SET billdate=:date, customerid=:cid, customername=:cname, "
                              "billname=:bn, billtype=:bt, bankid=:bank, djh=:djh, pass=1 WHERE mainintno=:p1"),
               {{"p1", intno}, {"date", h.billdate}, {"cid", h.customerid}, {"cname", h.customername},
                {"bn", t.billName}, {"bt", t.billType}, {"bank", h.bankid}, {"djh", o.operatorCode}});
    else
        c.exec(QStringLiteral("UPDATE outbackdetail SET billdate=:date, customerid=:cid, customername=:cname, "
                              "billname=:bn, billtype=:bt, djh=:djh, pass=1 WHERE mainintno=:p1"),
               {{"p1", intno}, {"date", h.billdate}, {"cid", h.customerid}, {"cname", h.customername},
                {"bn", t.billName}, {"bt", t.billType}, {"djh", h.djh}});

    moveStock(c, t, intno, k == Kind::Sale ? 1 : -1);
    if (k == Kind::Sale) addTurnover(c, o.turnover, h.amount);
    tx.commit();
}

void reverse(Connection& c, Kind k, const QString& intno, const QString& customerCode, const QString& bankCode)
{
    const Tables& t = tablesOf(k);
    Transaction tx(c);
    const Header h = readHeader(c, t, intno);
    if (!h.found || !h.pass || h.cancel) throw Refused(QStringLiteral("该单据已冲数,不能再冲数！"));
    const Params who{{"id", customerCode}};
    if (k == Kind::Sale) {
        if (c.exec(QStringLiteral("UPDATE customer SET balance=balance-:a+:d+:p, amount=amount-:a, pay=pay-:p, "
                                  "deduck=deduck-:d, amount_y=amount_y-:a, pay_y=pay_y-:p, deduck_y=deduck_y-:d WHERE ")
                       + kCustomerRow,
                   who + Params{{"a", h.amount}, {"p", h.pay}, {"d", h.deduck}})
            == 0)
            throw Refused(QStringLiteral("查无此客户号,不能冲数！"));
        c.exec(QStringLiteral("UPDATE bank SET balance=balance-:p, amount=amount-:p, amount_y=amount_y-:p WHERE ")
                   + kBankRow,
               {{"id", bankCode}, {"p", h.pay}});
    } else {
        if (c.exec(QStringLiteral("UPDATE customer SET balance=balance+:a, amount=amount+:a, amount_y=amount_y+:a WHERE ")
                       + kCustomerRow,
                   who + Params{{"a", h.amount}})
            == 0)
            throw Refused(QStringLiteral("查无此客户号,不能冲数！"));
    }
    c.exec(sql(QStringLiteral("UPDATE {H} SET cancel=1 WHERE intno=:p1"), t), {{"p1", intno}});
    c.exec(sql(QStringLiteral("UPDATE {R} SET cancel=1 WHERE mainintno=:p1"), t), {{"p1", intno}});
    moveStock(c, t, intno, k == Kind::Sale ? -1 : 1);
    tx.commit();
}

double turnover(Connection& c, Turnover t)
{
    if (t == Turnover::SinceLogin)
        return c.scalar(QStringLiteral("SELECT amount FROM totallist ORDER BY rowid LIMIT 1")).toDouble();
    if (t == Turnover::FrontDesk)
        return c.scalar(QStringLiteral("SELECT amount FROM config ORDER BY rowid LIMIT 1")).toDouble();
    return 0;
}

double showTurnover(Connection& c, Turnover t, double saleOnScreen)
{
    Transaction tx(c);
    const double shown = turnover(c, t) + saleOnScreen;
    if (t == Turnover::SinceLogin) {
        if (c.exec(QStringLiteral("UPDATE totallist SET rest=:r WHERE rowid=(SELECT min(rowid) FROM totallist)"),
                   {{"r", shown}})
            == 0)
            c.exec(QStringLiteral("INSERT INTO totallist(amount, rest) VALUES(0, :r)"), {{"r", shown}});
    } else if (t == Turnover::FrontDesk) {
        c.exec(QStringLiteral("UPDATE config SET amount0=:r WHERE rowid=(SELECT min(rowid) FROM config)"), {{"r", shown}});
    }
    tx.commit();
    return shown;
}

}
