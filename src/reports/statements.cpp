#include "reports/statements.h"
#include "common/errors.h"
#include "common/formats.h"
#include "data/tfrdm.h"
#include <functional>
#include <sqlite3.h>

namespace qm::reports {

namespace {

// ------------------------------------------------------------ descriptions

std::vector<StatementDesc> buildDescs()
{
    std::vector<StatementDesc> v;
    StatementDesc c;
    c.kind = StatementKind::Customer;
    c.className = QStringLiteral("Tfrcusttotal");
    c.caption = QStringLiteral("客户汇总表");
    c.menuItem = QStringLiteral("N38");
    c.partyTable = QStringLiteral("customer");
    c.codeEdit = QStringLiteral("Edit9");
    c.nameEdit = QStringLiteral("Edit10");
    c.codeLabel = QStringLiteral("客户编号");
    c.nameLabel = QStringLiteral("客户名");
    c.pickCode = 11;
    c.unknownOnExit = c.unknownOnRun = QStringLiteral("查无此客户号！");
    c.layout = QStringLiteral("Tfrrcusttotal");
    c.grid = {{"billdate", "日期"}, {"billname", "单据类型"}, {"sphh", "编号"}, {"spmc", "名称"},
              {"remark", "规格型号"}, {"unit", "单位"}, {"sl", "数量"}, {"dj_n", "单价"}, {"amount", "金额"},
              {"deduck", "扣除金额"}, {"pay", "收款金额"}, {"rest", "累计金额"}};
    v.push_back(c);

    StatementDesc s = c;
    s.kind = StatementKind::SupplierRows;
    s.className = QStringLiteral("Tfrbrantotal");
    s.caption = QStringLiteral("供应商总汇表");
    s.menuItem = QStringLiteral("N84");
    s.partyTable = QStringLiteral("branch");
    s.codeLabel = QStringLiteral("供应商号");
    s.nameLabel = QStringLiteral("供应商名");
    s.pickCode = 12;
    s.unknownOnExit = s.unknownOnRun = QStringLiteral("查无此供应商号！");
    s.layout = QStringLiteral("Tfrrbrantotal");
    s.grid = {{"billdate", "日期"}, {"billname", "单据类型"}, {"sphh", "编号"}, {"spmc", "名称"}, {"unit", "单位"},
              {"sl", "数量"}, {"dj_w", "进货价"}, {"amount", "金额"}, {"deduck", "扣除金额"}, {"pay", "付款金额"},
              {"rest", "累计结余"}};
    v.push_back(s);

    StatementDesc d = s;
    d.kind = StatementKind::SupplierDocuments;
    d.className = QStringLiteral("Tfrbrantotalist");
    d.caption = QStringLiteral("供应商对帐表");
    d.menuItem = QStringLiteral("N86");
    d.pickCode = 11;
    d.layout = QStringLiteral("Tfrrbrantotalist");
    d.printRunsFirst = false;
    d.grid = {{"billname", "单据名"}, {"billdate", "日期"}, {"customerid", "供应商号"}, {"customername", "供应商名"},
              {"balance", "上期结余"}, {"hjsl", "数量"}, {"amount", "本次金额"}, {"pay", "付款金额"},
              {"rest", "累计结余"}, {"remark", "摘要"}};
    v.push_back(d);

    StatementDesc j;
    j.kind = StatementKind::Journal;
    j.className = QStringLiteral("Tfrbanktotal");
    j.caption = QStringLiteral("现金银行流水帐");
    j.menuItem = QStringLiteral("N27");
    j.partyTable = QStringLiteral("bank");
    j.codeEdit = QStringLiteral("Edit3");
    j.nameEdit = QStringLiteral("Edit4");
    j.codeLabel = QStringLiteral("编号");
    j.nameLabel = QStringLiteral("名称");
    j.pickCode = 12;
    j.unknownOnExit = QStringLiteral("查无此现金银行号！");
    j.unknownOnRun = QStringLiteral("查无此编号！");
    j.layout = QStringLiteral("Tfrrbanktotal");
    j.runsOnShow = true;
    j.hasRemark = false;
    j.grid = {{"billdate", "日期"}, {"billname", "单据类型"}, {"sphh", "编号"}, {"spmc", "名称"},
              {"amount", "收款金额"}, {"pay", "付款金额"}, {"rest", "累计结余"}, {"billtype", "单据类型号"},
              {"customername", "客户名"}};
    v.push_back(j);
    return v;
}

// --------------------------------------------------------------- the walk

// A source of rows: its table, its condition beyond the posted state and the
// party, and the expression of each selected column (in the plan's order).
struct Source {
    QString table;
    QString where;
    QStringList exprs;
};

// Signs one row into the balance; may move money between amount and pay
// first, as the journal and the statement by document show payments.
using Rule = std::function<double(const QString& billtype, double& amount, double& deduck, double& pay, double balance)>;

struct Plan {
    QString target;          // custtotal1 or totallist1
    QStringList columns;     // selected columns, in order
    std::vector<Source> sources;
    Rule rule;
    bool balanceColumn = false; // the row also keeps the balance before it
    QString orderBy;            // column names, "billdate,billtype,..."
    QVariantList openingRow;    // values of `columns` for the opening row
};

const QString kRowColumns =
    QStringLiteral("billdate,billname,djh,sphh,spmc,amount,deduck,pay,dj_n,dj_w,unit,sl,js,sl_j,ss,sl_s,remark,"
                   "billtype,customername,mainintno,intno");

// The selected columns of a row plan with some replaced by expressions.
QStringList rowExprs(const QHash<QString, QString>& replaced)
{
    QStringList out;
    for (const QString& c : kRowColumns.split(QLatin1Char(',')))
        out << replaced.value(c, c);
    return out;
}

QVariantList rowOpening(const QDate& from, const QHash<QString, QVariant>& values)
{
    QVariantList row;
    for (const QString& c : kRowColumns.split(QLatin1Char(','))) {
        if (c == QLatin1String("billdate")) row << toDbDate(from);
        else if (values.contains(c)) row << values.value(c);
        else if (QStringList{"amount", "deduck", "pay", "dj_n", "dj_w", "sl", "js", "sl_j", "ss", "sl_s"}.contains(c)) row << 0.0;
        else row << QString();
    }
    return row;
}

bool adds(const QString& t, std::initializer_list<const char*> codes)
{
    for (const char* c : codes)
        if (t == QLatin1String(c)) return true;
    return false;
}

// A payment (bill type 14) shows its money as paid, not as an amount.
void showAsPaid(const QString& t, double& a, double& pay)
{
    if (t == QLatin1String("14")) {
        pay = a;
        a = 0;
    }
}

const QString kNotCarried = QStringLiteral("spmc<>'上期结转'");

Plan planOf(const StatementDesc& d, const QDate& from)
{
    Plan p;
    p.target = QStringLiteral("custtotal1");
    p.columns = kRowColumns.split(QLatin1Char(','));
    p.orderBy = QStringLiteral("billdate,billtype,sphh,mainintno,intno");
    const QString party = QStringLiteral("customerid=:p3 and ") + kNotCarried;
    switch (d.kind) {
    case StatementKind::Customer: {
        // Sales carry no payment here; returns and receipts subtract everything.
        QHash<QString, QString> common = {{"dj_w", "0"}, {"js", "0"}, {"ss", "0"}, {"sl_s", "0"}, {"customername", "''"}};
        QHash<QString, QString> sales = common;
        sales.insert("pay", "0");
        p.sources = {{"outdetail", party, rowExprs(sales)},
                     {"outbackdetail", party, rowExprs(common)},
                     {"getdetail", party, rowExprs(common)}};
        p.rule = [](const QString& t, double& a, double& dd, double& pay, double b) {
            return adds(t, {"01", "03"}) ? b + a - dd - pay : b - a - dd - pay;
        };
        p.openingRow = rowOpening(from, {{"spmc", QStringLiteral("上期结余")}});
        break;
    }
    case StatementKind::SupplierRows: {
        // Purchases carry no deduction, returns and payments no payment.
        QHash<QString, QString> common = {{"dj_n", "0"}, {"ss", "0"}, {"sl_s", "0"}, {"remark", "''"}, {"customername", "''"}};
        QHash<QString, QString> purchases = common, others = common;
        purchases.insert("deduck", "0");
        others.insert("pay", "0");
        p.sources = {{"indetail", party, rowExprs(purchases)},
                     {"inbackdetail", party, rowExprs(others)},
                     {"putdetail", party, rowExprs(others)}};
        p.rule = [](const QString& t, double& a, double& dd, double& pay, double b) {
            return t == QLatin1String("02") ? b + a - pay : b - a - pay - dd;
        };
        p.openingRow = rowOpening(from, {{"spmc", QStringLiteral("上期结余")}});
        break;
    }
    case StatementKind::Journal: {
        // The cash a sale leaves in the till: the cash tendered less the change
        // handed back; booked to the cash account under its code and name.
        QHash<QString, QString> sales = {{"sphh", "'0000000001'"}, {"spmc", "'现金'"},
                                         {"amount", "pay-(CASE WHEN rest>0 THEN rest ELSE 0 END)"}, {"pay", "0"},
                                         {"dj_w", "0"}, {"unit", "''"}, {"remark", "''"}};
        QHash<QString, QString> money = {{"dj_w", "0"}, {"unit", "''"}, {"remark", "''"}};
        const QString account = QStringLiteral("sphh=:p3 and ") + kNotCarried;
        // Sales rows only in the cash account.
        p.sources = {{"outdetail", "pay<>0 and :p3='0000000001'", rowExprs(sales)},
                     {"getdetail", account, rowExprs(money)},
                     {"putdetail", account, rowExprs(money)}};
        p.rule = [](const QString& t, double& a, double&, double& pay, double b) {
            showAsPaid(t, a, pay);
            return adds(t, {"01", "13"}) ? b + a - pay : b - a - pay;
        };
        p.openingRow = rowOpening(from, {{"spmc", QStringLiteral("上期结余")}, {"sphh", QStringLiteral("0000000001")},
                                         {"billtype", QStringLiteral("01")}});
        break;
    }
    case StatementKind::SupplierDocuments: {
        p.target = QStringLiteral("totallist1");
        p.columns = QStringLiteral("billdate,djh,customerid,customername,amount,deduck,pay,hjsl,hjjs,hjss,remark,"
                                   "billtype,billname,intno")
                        .split(QLatin1Char(','));
        p.orderBy = QStringLiteral("billdate,billtype,intno");
        p.balanceColumn = true;
        const QString where = QStringLiteral("customerid=:p3");
        p.sources = {{"inlist", where, p.columns}, {"inbacklist", where, p.columns}, {"putlist", where, p.columns}};
        p.rule = [](const QString& t, double& a, double& dd, double& pay, double b) {
            showAsPaid(t, a, pay);
            return t == QLatin1String("02") ? b + a - dd - pay : b - a - dd - pay;
        };
        for (const QString& c : p.columns) {
            if (c == QLatin1String("billdate")) p.openingRow << toDbDate(from);
            else if (c == QLatin1String("billname")) p.openingRow << QStringLiteral("上期结余");
            else if (QStringList{"amount", "deduck", "pay", "hjsl", "hjjs", "hjss"}.contains(c)) p.openingRow << 0.0;
            else p.openingRow << QString();
        }
        break;
    }
    }
    return p;
}

QString selectOf(const Source& s, const QStringList& columns)
{
    QStringList cols;
    for (int i = 0; i < columns.size(); ++i) cols << s.exprs[i] + QStringLiteral(" AS ") + columns[i];
    return QStringLiteral("SELECT %1 FROM %2 WHERE pass=1 and cancel=0 and %3").arg(cols.join(QLatin1Char(',')), s.table, s.where);
}

double num(const QVariant& v) { return v.isNull() ? 0.0 : v.toDouble(); }

// Where the rule's inputs stand among a plan's columns.
struct RuleColumns {
    int amount, deduck, pay, billtype;
    explicit RuleColumns(const Plan& p)
        : amount(int(p.columns.indexOf(QStringLiteral("amount")))), deduck(int(p.columns.indexOf(QStringLiteral("deduck")))),
          pay(int(p.columns.indexOf(QStringLiteral("pay")))), billtype(int(p.columns.indexOf(QStringLiteral("billtype"))))
    {
    }
};

}

// -------------------------------------------------------------- public

const StatementDesc& statementDesc(StatementKind kind)
{
    static const std::vector<StatementDesc> descs = buildDescs();
    for (const auto& d : descs)
        if (d.kind == kind) return d;
    throw AppError(QStringLiteral("unknown statement"));
}

const std::vector<StatementKind>& allStatementKinds()
{
    static const std::vector<StatementKind> all = {StatementKind::Customer, StatementKind::SupplierRows,
                                                   StatementKind::SupplierDocuments, StatementKind::Journal};
    return all;
}

Dataset* partyDataset(const StatementDesc& d)
{
    if (d.partyTable == QLatin1String("customer")) return frdm->Aqcustomer;
    if (d.partyTable == QLatin1String("branch")) return frdm->AQbranch;
    return frdm->AQbank;
}

Dataset* statementRows(const StatementDesc& d)
{
    return d.kind == StatementKind::SupplierDocuments ? frdm->AQoutlist : frdm->AQoutdetail;
}

bool findParty(const StatementDesc& d, const QString& paddedCode)
{
    Dataset* ds = partyDataset(d);
    ds->reopen(QStringLiteral("SELECT * from %1 where id=:p1").arg(d.partyTable), {{QStringLiteral("p1"), paddedCode}});
    return !ds->isEmpty() && ds->asString(QStringLiteral("id")) == paddedCode;
}

namespace {
// The balance before `from` by the plan's rule.
double openingOf(const Plan& p, const QString& paddedCode, double yearOpening, const QDate& from)
{
    const RuleColumns rc(p);
    const int a = rc.amount, dd = rc.deduck, pay = rc.pay, t = rc.billtype;
    QStringList parts;
    for (const Source& s : p.sources)
        parts << QStringLiteral("SELECT %1 AS t, total(%2), total(%3), total(%4) FROM %5 WHERE pass=1 and cancel=0 and %6 "
                                "and billdate<:p1 GROUP BY 1")
                     .arg(s.exprs[t], s.exprs[a], s.exprs[dd], s.exprs[pay], s.table, s.where);
    double balance = yearOpening;
    // Every rule is linear in the three amounts, so each bill type's sums
    // move the balance as its rows one by one would.
    for (const QVariantList& row : frdm->ADOCon.rows(parts.join(QStringLiteral(" UNION ALL ")),
                                                     {{"p1", toDbDate(from)}, {"p3", paddedCode}})) {
        double am = num(row[1]), de = num(row[2]), pa = num(row[3]);
        balance = p.rule(row[0].toString(), am, de, pa, balance);
    }
    return balance;
}
}

double openingBalance(const StatementDesc& d, const QString& paddedCode, double yearOpening, const QDate& from)
{
    return openingOf(planOf(d, from), paddedCode, yearOpening, from);
}

void buildStatement(const StatementDesc& d, const QString& paddedCode, const DateRange& r)
{
    Dataset* party = partyDataset(d);
    const double yearOpening = party->active() ? party->asFloat(QStringLiteral("rest")) : 0.0;
    const Plan p = planOf(d, r.from);
    double balance = openingOf(p, paddedCode, yearOpening, r.from);

    QStringList parts;
    for (const Source& s : p.sources) parts << selectOf(s, p.columns) + QStringLiteral(" and ") + QLatin1String(rangeCondition());
    const QString query = parts.join(QStringLiteral(" UNION ALL ")) + QStringLiteral(" ORDER BY ") + p.orderBy;

    const RuleColumns rc(p);
    const int a = rc.amount, dd = rc.deduck, pay = rc.pay, t = rc.billtype;
    const int n = int(p.columns.size());

    Dataset* view = statementRows(d);
    view->close();
    Connection& c = frdm->ADOCon;
    {
        Transaction tr(c);
        if (p.target == QLatin1String("totallist1")) {
            c.exec(QStringLiteral("delete from totallist"));
            c.exec(QStringLiteral("delete from totallist1"));
        } else {
            c.exec(QStringLiteral("delete from custtotal"));
            c.exec(QStringLiteral("delete from custtotal1"));
        }
        QStringList cols = p.columns;
        if (p.balanceColumn) cols << QStringLiteral("balance");
        cols << QStringLiteral("rest");
        QStringList marks;
        for (int i = 1; i <= cols.size(); ++i) marks << QStringLiteral("?%1").arg(i);
        Statement ins(c.handle(), QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(p.target, cols.join(','), marks.join(',')));
        // Binds the balance columns after the selected ones and writes the row.
        auto finish = [&](double before) {
            int next = n + 1;
            if (p.balanceColumn) ins.bindIndex(next++, before);
            ins.bindIndex(next, balance);
            ins.step();
            ins.reset();
        };
        {
            QVariantList row = p.openingRow;
            double am = num(row[a]), de = num(row[dd]), pa = num(row[pay]);
            const double before = balance;
            balance = p.rule(row[t].toString(), am, de, pa, balance);
            for (int i = 0; i < n; ++i) ins.bindIndex(i + 1, row[i]);
            finish(before);
        }
        if (p.balanceColumn) {
            // The statement by document leaves its opening row in the totals
            // too: the sales window's turnover then continues from 0.
            c.exec(QStringLiteral("insert into totallist(billdate,billname,amount,rest) values(:p1,:p2,0,0)"),
                   {{"p1", toDbDate(r.from)}, {"p2", QStringLiteral("上期结余")}});
        }
        Params params = rangeParams(r);
        params.append({QStringLiteral("p3"), paddedCode});
        Statement sel(c.handle(), query);
        sel.bind(params);
        // The selected values go straight from the query into the insert; only
        // the three amounts pass through the rule.
        sqlite3_stmt* from = sel.handle();
        sqlite3_stmt* to = ins.handle();
        while (sel.step()) {
            const auto* type = reinterpret_cast<const char*>(sqlite3_column_text(from, t));
            double am = sqlite3_column_double(from, a), de = sqlite3_column_double(from, dd), pa = sqlite3_column_double(from, pay);
            const double before = balance;
            balance = p.rule(QString::fromUtf8(type ? type : ""), am, de, pa, balance);
            for (int i = 0; i < n; ++i) {
                if (i == a) sqlite3_bind_double(to, i + 1, am);
                else if (i == dd) sqlite3_bind_double(to, i + 1, de);
                else if (i == pay) sqlite3_bind_double(to, i + 1, pa);
                else sqlite3_bind_value(to, i + 1, sqlite3_column_value(from, i));
            }
            finish(before);
        }
        tr.commit();
    }
    view->setSql(QStringLiteral("select * from %1 order by %2").arg(p.target, p.balanceColumn ? "intid" : "rowid"));
    view->open();
}

void fillProductHistory(const QString& spintno)
{
    Connection& c = frdm->ADOCon;
    frdm->AQdetail->close();
    {
        Transaction t(c);
        c.exec(QStringLiteral("delete from custtotal"));
        const char* const tables[][2] = {{"outdetail", "dj_n"}, {"outbackdetail", "dj_n"}, {"indetail", "dj_w"}, {"inbackdetail", "dj_w"}};
        for (const auto& tbl : tables)
            c.exec(QStringLiteral("insert into custtotal(intno,mainintno,spintno,sphh,spmc,remark,unit,sl_j,sl,dj_w,dj_n,amount,"
                                  "deduck,pay,rest,billdate,billtype,billname,djh,customerid) "
                                  "select intno,mainintno,spintno,sphh,spmc,remark,unit,sl_j,sl,dj_w,%1,amount,deduck,pay,rest,"
                                  "billdate,billtype,billname,djh,customerid from %2 where pass=1 and cancel=0 and spintno=:p1")
                       .arg(QLatin1String(tbl[1]), QLatin1String(tbl[0])),
                   {{"p1", spintno}});
        t.commit();
    }
    showProductHistory(spintno, nullptr);
}

void showProductHistory(const QString& spintno, const DateRange* r)
{
    if (r) {
        Params params = rangeParams(*r);
        params.append({QStringLiteral("p3"), spintno});
        frdm->AQdetail->reopen(QStringLiteral("select * from custtotal where %1 and spintno=:p3 order by billdate, rowid")
                                   .arg(QLatin1String(rangeCondition())),
                               params);
    } else {
        frdm->AQdetail->reopen(QStringLiteral("SELECT * from custtotal where spintno=:p3 order by billdate, rowid"),
                               {{QStringLiteral("p3"), spintno}});
    }
}

}
