#include "data/schema.h"
#include "common/clock.h"
#include "common/errors.h"
#include "common/formats.h"
#include "common/password.h"
#include <QStringList>

namespace qm {

namespace {
using K = ColumnKind;

std::vector<ColumnDef> productColumns()
{
    return {{"name", K::Key, 18},      {"sphh", K::Key, 15},        {"spmc", K::Text, 40},
            {"spgg", K::Text, 20},     {"spbzxh", K::Text, 18},     {"dj_w", K::Real, 0},
            {"dj_n", K::Real, 0},      {"spmz", K::Real, 0},        {"spzz", K::Real, 0},
            {"sl_j", K::Real, 0},      {"bz", K::Text, 30},         {"szbj", K::Bool, 0},
            {"intno", K::Key, 8},      {"ckbh", K::Key, 3},         {"ckmc", K::Text, 10},
            {"factory", K::Text, 30},  {"spph", K::Text, 18},       {"outdate", K::Date, 0},
            {"enddate", K::Date, 0},   {"splb", K::Text, 12},       {"branchintno", K::Key, 10},
            {"branchname", K::Text, 30}, {"hydj", K::Real, 0},      {"csdj", K::Real, 0},
            {"maxsl", K::Real, 0},     {"minsl", K::Real, 0},       {"avdj", K::Real, 0},
            {"fitsl", K::Real, 0},     {"resl", K::Real, 0},        {"factsl", K::Real, 0},
            {"rest", K::Real, 0},      {"sl", K::Real, 0},          {"sl_out_m", K::Real, 0},
            {"sl_in_m", K::Real, 0},   {"sl_out_y", K::Real, 0},    {"sl_in_y", K::Real, 0},
            // When the counted stock was typed; empty once 更新库存量 has taken it.
            {"factdate", K::Date, 0}};
}

// customer, branch (remark a memo) and bank (remark a text).
std::vector<ColumnDef> partnerColumns(bool remarkIsMemo)
{
    return {{"intno", K::Key, 10},   {"id", K::Key, 10},         {"name", K::Text, 40},
            {"tel", K::Text, 12},    {"fax", K::Text, 12},       {"movetel", K::Text, 40},
            {"persondeal", K::Text, 12}, {"addr", K::Text, 50},  {"accno", K::Text, 30},
            {"email", K::Text, 40},  {"rest", K::Real, 0},       {"amount", K::Real, 0},
            {"pay", K::Real, 0},     {"deduck", K::Real, 0},     {"balance", K::Real, 0},
            {"remark", remarkIsMemo ? K::Memo : K::Text, remarkIsMemo ? 0 : 255},
            {"amount_y", K::Real, 0}, {"pay_y", K::Real, 0},     {"deduck_y", K::Real, 0}};
}

std::vector<ColumnDef> employeeColumns()
{
    return {{"intno", K::Key, 10},  {"id", K::Key, 10},          {"name", K::Text, 40},
            {"tel", K::Text, 12},   {"fax", K::Text, 12},        {"movetel", K::Text, 40},
            {"persondeal", K::Text, 12}, {"addr", K::Text, 50},  {"email", K::Text, 40},
            {"remark", K::Text, 255}};
}

std::vector<ColumnDef> storeColumns()
{
    return {{"intno", K::Key, 10},  {"id", K::Key, 3},           {"name", K::Text, 40},
            {"tel", K::Text, 12},   {"fax", K::Text, 12},        {"movetel", K::Text, 40},
            {"persondeal", K::Text, 12}, {"addr", K::Text, 50},  {"accno", K::Text, 30},
            {"email", K::Text, 40}, {"remark", K::Text, 255}};
}

// The one header shape of the six document kinds (and of the scratch headers).
std::vector<ColumnDef> headerColumns()
{
    return {{"intno", K::Key, 10},        {"billdate", K::Date, 0},      {"customerintno", K::Key, 10},
            {"customerid", K::Key, 10},   {"customername", K::Text, 40}, {"persondeal", K::Text, 8},
            {"tel", K::Text, 30},         {"balance", K::Real, 0},       {"amount", K::Real, 0},
            {"pay", K::Real, 0},          {"deduck", K::Real, 0},        {"rest", K::Real, 0},
            {"pass", K::Bool, 0},         {"cancel", K::Bool, 0},        {"djh", K::Key, 10},
            {"remark", K::Text, 60},      {"employeename", K::Text, 10}, {"bankid", K::Key, 10},
            {"bankname", K::Text, 20},    {"hjss", K::Real, 0},          {"hjjs", K::Real, 0},
            {"hjsl", K::Real, 0},         {"billtype", K::Key, 2},       {"billname", K::Text, 10},
            {"addr", K::Text, 60}};
}

// The one detail shape; the scratch rows hold a shorter product code.
std::vector<ColumnDef> detailColumns(int sphhWidth)
{
    return {{"intno", K::Key, 10},       {"mainintno", K::Key, 10},    {"spintno", K::Key, 10},
            {"sphh", K::Key, sphhWidth}, {"spmc", K::Text, 40},        {"unit", K::Text, 6},
            {"dj_w", K::Real, 0},        {"rebate", K::Real, 0},       {"dj_n", K::Real, 0},
            {"amount", K::Real, 0},      {"deduck", K::Real, 0},       {"pay", K::Real, 0},
            {"rest", K::Real, 0},        {"remark", K::Text, 20},      {"billtype", K::Key, 2},
            {"billname", K::Text, 10},   {"billdate", K::Date, 0},     {"customerid", K::Key, 10},
            {"customername", K::Text, 40}, {"bankid", K::Key, 10},     {"djh", K::Key, 10},
            {"pass", K::Bool, 0},        {"cancel", K::Bool, 0},       {"ss", K::Real, 0},
            {"sl_s", K::Real, 0},        {"js", K::Real, 0},           {"sl_j", K::Real, 0},
            {"sl", K::Real, 0}};
}

std::vector<ColumnDef> scratchHeaderColumns()
{
    auto cols = headerColumns();
    cols.push_back({"intid", K::Counter, 0});
    return cols;
}

std::vector<TableDef> buildTables()
{
    std::vector<TableDef> t;
    t.push_back({"product", productColumns()});
    t.push_back({"spec", {{"intno", K::Key, 2}, {"name", K::Text, 20}, {"specno", K::Key, 2}}});
    t.push_back({"customer", partnerColumns(true)});
    t.push_back({"branch", partnerColumns(true)});
    t.push_back({"bank", partnerColumns(false)});
    t.push_back({"employee", employeeColumns()});
    t.push_back({"store", storeColumns()});
    static const char* const documentTables[][2] = {{"outlist", "outdetail"}, {"outbacklist", "outbackdetail"},
                                                    {"getlist", "getdetail"},  {"inlist", "indetail"},
                                                    {"inbacklist", "inbackdetail"}, {"putlist", "putdetail"}};
    for (const auto& pair : documentTables) {
        t.push_back({pair[0], headerColumns()});
        t.push_back({pair[1], detailColumns(15)});
    }
    t.push_back({"totallist", scratchHeaderColumns()});
    t.push_back({"totallist1", scratchHeaderColumns()});
    t.push_back({"custtotal", detailColumns(10)});
    t.push_back({"custtotal1", detailColumns(10)});
    t.push_back({"dateconfig", {{"ksdate", K::Date, 0}, {"jsdate", K::Date, 0}, {"bz", K::Bool, 0}}});
    t.push_back({"opcrl", {{"bh", K::Key, 3}, {"xm", K::Text, 10}, {"pw", K::Text, 12}, {"rh", K::Text, 12}}});
    t.push_back({"nextno", {{"tablename", K::Key, 12}, {"intno", K::Key, 12}, {"fieldx1", K::Text, 10},
                            {"fieldx2", K::Text, 10}, {"fieldx3", K::Text, 10}, {"fieldx4", K::Text, 10},
                            {"fieldx5", K::Text, 10}}});
    t.push_back({"config", {{"ID", K::Counter, 0},         {"priceformat", K::Text, 16}, {"qtyformat", K::Text, 16},
                            {"amountformat", K::Text, 16}, {"weightformat", K::Text, 16}, {"dateformat", K::Text, 20},
                            {"dateeditmask", K::Text, 16}, {"dateseparator", K::Text, 1}, {"imename", K::Text, 36},
                            {"picfilename", K::Text, 150}, {"bh", K::Key, 3},          {"balance", K::Real, 0},
                            {"rest", K::Real, 0},          {"amount", K::Real, 0},     {"amount0", K::Real, 0},
                            {"startbj", K::Bool, 0},       {"printbj", K::Bool, 0},    {"cashboxbj", K::Bool, 0},
                            {"flashbj", K::Bool, 0}}});
    t.push_back({"company", {{"name", K::Text, 100}, {"tel", K::Text, 100}, {"addr", K::Text, 100}, {"doc", K::Memo, 0}}});
    t.push_back({"apperror", {{"capt", K::Text, 50}, {"titl", K::Text, 255}, {"name", K::Text, 100},
                              {"rq", K::Date, 0}, {"mess", K::Memo, 0}}});
    // Two lists that only the administrator's data tool empties.
    t.push_back({"package", {{"intno", K::Key, 10}, {"name", K::Text, 40}}});
    t.push_back({"units", {{"intno", K::Key, 10}, {"name", K::Text, 40}}});
    return t;
}

// Indexes for the summaries, statements, lists and numbering.
const char* const kIndexes = R"SQL(
CREATE INDEX ix_product_sphh ON product(sphh);
CREATE INDEX ix_product_intno ON product(intno);
CREATE INDEX ix_product_name ON product(name);
CREATE INDEX ix_spec_specno ON spec(specno, intno);
CREATE INDEX ix_customer_id ON customer(id);
CREATE INDEX ix_customer_intno ON customer(intno);
CREATE INDEX ix_branch_id ON branch(id);
CREATE INDEX ix_branch_intno ON branch(intno);
CREATE INDEX ix_bank_id ON bank(id);
CREATE INDEX ix_bank_intno ON bank(intno);
CREATE INDEX ix_employee_id ON employee(id);
CREATE INDEX ix_store_id ON store(id);
)SQL";

const char* const kDocumentKinds[] = {"out", "outback", "get", "in", "inback", "put"};
}

std::vector<IndexDef> reportIndexes()
{
    // A party's or a product's rows in date order: the statements, the journal
    // and the product history read them so.
    std::vector<IndexDef> out;
    for (const char* kind : kDocumentKinds) {
        const QString h = QLatin1String(kind) + QStringLiteral("list");
        const QString d = QLatin1String(kind) + QStringLiteral("detail");
        out.push_back({QStringLiteral("ix_%1_party_date").arg(h), h, {"customerid", "billdate"}});
        out.push_back({QStringLiteral("ix_%1_party_date").arg(d), d, {"customerid", "billdate"}});
        out.push_back({QStringLiteral("ix_%1_product_date").arg(d), d, {"spintno", "billdate"}});
        out.push_back({QStringLiteral("ix_%1_code_date").arg(d), d, {"sphh", "billdate"}});
    }
    // The statements and the journal read a party's or an account's posted
    // rows in the order of date, document and row, and sum their money, from
    // these alone (the sales rows, by far the most, from the index only).
    const QString posted = QStringLiteral("pass=1 AND cancel=0");
    const QString postedRows = posted + QStringLiteral(" AND spmc<>'上期结转'");
    const QString paid = posted + QStringLiteral(" AND pay<>0");
    const QStringList rowOrder = {"customerid", "billdate", "mainintno", "intno"};
    const QStringList accountOrder = {"sphh", "billdate", "mainintno", "intno"};
    const QStringList headerOrder = {"customerid", "billdate", "intno"};
    const QStringList paidOrder = {"bankid", "billdate", "intno", "pay"};
    auto ix = [&out](const QString& table, const QString& suffix, QStringList cols, const QStringList& money, const QString& where) {
        cols << money;
        // The state the condition reads, so that no row of the table is read.
        if (!where.contains(QLatin1String("spmc"))) cols << QStringLiteral("pass") << QStringLiteral("cancel");
        out.push_back({QStringLiteral("ix_%1_%2").arg(table, suffix), table, cols, where});
    };
    ix("outdetail", "party_order", rowOrder, {"amount"}, posted);
    ix("outbackdetail", "party_order", rowOrder, {"amount"}, posted);
    ix("getdetail", "party_order", rowOrder, {"amount", "deduck"}, postedRows);
    ix("indetail", "party_order", rowOrder, {"amount", "pay"}, postedRows);
    ix("inbackdetail", "party_order", rowOrder, {"amount"}, postedRows);
    ix("putdetail", "party_order", rowOrder, {"amount", "deduck"}, postedRows);
    ix("getdetail", "account_order", accountOrder, {"amount"}, postedRows);
    ix("putdetail", "account_order", accountOrder, {"amount"}, postedRows);
    ix("outlist", "party_order", {"customerid", "billdate"}, {"amount", "pay", "deduck"}, posted);
    ix("inlist", "party_order", headerOrder, {"amount", "pay"}, posted);
    ix("inbacklist", "party_order", headerOrder, {"amount"}, posted);
    ix("putlist", "party_order", headerOrder, {"amount", "deduck"}, posted);
    ix("outlist", "paid_order", paidOrder, {}, paid);
    ix("inlist", "paid_order", paidOrder, {}, paid);
    return out;
}

QString IndexDef::sql() const
{
    QString sql = QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2(%3)").arg(name, table, columns.join(QStringLiteral(", ")));
    if (!where.isEmpty()) sql += QStringLiteral(" WHERE ") + where;
    return sql;
}

const std::vector<TableDef>& schemaTables()
{
    static const std::vector<TableDef> tables = buildTables();
    return tables;
}

const std::vector<ColumnDef>& tableColumns(const QString& table)
{
    for (const auto& t : schemaTables())
        if (table.compare(QLatin1String(t.name), Qt::CaseInsensitive) == 0) return t.columns;
    throw DbError(QStringLiteral("unknown table %1").arg(table));
}

int columnLength(const QString& table, const QString& column)
{
    for (const ColumnDef& c : tableColumns(table))
        if (column.compare(QLatin1String(c.name), Qt::CaseInsensitive) == 0)
            return c.kind == K::Key || c.kind == K::Text ? c.size : 0;
    throw DbError(QStringLiteral("unknown column %1.%2").arg(table, column));
}

QString columnDeclaration(const ColumnDef& c)
{
    QString n = QString::fromLatin1(c.name);
    switch (c.kind) {
    case K::Key: return n + QStringLiteral(" TEXT COLLATE NOCASE DEFAULT ''");
    case K::Text: return n + QStringLiteral(" TEXT DEFAULT ''");
    case K::Real: return n + QStringLiteral(" REAL DEFAULT 0");
    case K::Bool: return n + QStringLiteral(" BOOLEAN NOT NULL DEFAULT 0");
    case K::Date: return n + QStringLiteral(" DATETIME");
    case K::Memo: return n + QStringLiteral(" TEXT DEFAULT ''");
    case K::Counter: return n + QStringLiteral(" INTEGER PRIMARY KEY AUTOINCREMENT");
    }
    return n;
}

void createSchema(Connection& c)
{
    QString script;
    for (const auto& t : schemaTables()) {
        QStringList decls;
        for (const auto& col : t.columns) decls << columnDeclaration(col);
        script += QStringLiteral("CREATE TABLE %1 (%2);\n").arg(QLatin1String(t.name), decls.join(QStringLiteral(", ")));
    }
    script += QLatin1String(kIndexes);
    for (const char* kind : kDocumentKinds) {
        QString h = QLatin1String(kind) + QStringLiteral("list");
        QString d = QLatin1String(kind) + QStringLiteral("detail");
        script += QStringLiteral("CREATE INDEX ix_%1_intno ON %1(intno);\n"
                                 "CREATE INDEX ix_%1_billdate ON %1(billdate);\n"
                                 "CREATE INDEX ix_%1_customerid ON %1(customerid);\n"
                                 "CREATE INDEX ix_%1_customername ON %1(customername);\n"
                                 "CREATE INDEX ix_%2_intno ON %2(intno);\n"
                                 "CREATE INDEX ix_%2_mainintno ON %2(mainintno);\n"
                                 "CREATE INDEX ix_%2_billdate ON %2(billdate);\n"
                                 "CREATE INDEX ix_%2_customerid ON %2(customerid);\n"
                                 "CREATE INDEX ix_%2_spintno ON %2(spintno);\n"
                                 "CREATE INDEX ix_%2_sphh ON %2(sphh);\n"
                                 "CREATE UNIQUE INDEX ux_%1_intno ON %1(intno) WHERE intno<>'';\n"
                                 "CREATE UNIQUE INDEX ux_%2_intno ON %2(intno) WHERE intno<>'';\n")
                      .arg(h, d);
    }
    for (const IndexDef& ix : reportIndexes()) script += ix.sql() + QStringLiteral(";\n");
    c.execScript(script);
}

void seedInitialRows(Connection& c)
{
    // The options row as the options window builds it from its defaults:
    // two decimals for amounts, prices and weights, none for quantities.
    c.exec(QStringLiteral("INSERT INTO config (priceformat, qtyformat, amountformat, weightformat, dateformat, "
                          "dateeditmask, dateseparator, imename, picfilename, bh, balance, rest, amount, amount0, "
                          "startbj, printbj, cashboxbj, flashbj) VALUES (:p1, :p2, :p3, :p4, 'yyyy-mm-dd', "
                          "'0000/00/00;1;', '-', '', '', '', 0, 0, 0, 0, 0, 0, 0, 1)"),
           {{"p1", QString::fromLatin1(kDefaultPriceFormat)},
            {"p2", QString::fromLatin1(kDefaultQtyFormat)},
            {"p3", QString::fromLatin1(kDefaultAmountFormat)},
            {"p4", QString::fromLatin1(kDefaultWeightFormat)}});
    c.exec(QStringLiteral("INSERT INTO company (name, tel, addr, doc) VALUES (:p1, '', '', '')"),
           {{"p1", QStringLiteral("我的超市")}});
    c.exec(QStringLiteral("INSERT INTO opcrl (bh, xm, pw, rh) VALUES (:p1, :p2, :p3, '')"),
           {{"p1", QString::fromLatin1(kAdministratorCode)},
            {"p2", QStringLiteral("管理员")},
            {"p3", EncodePassword(QString::fromLatin1(kAdministratorFirstPassword))}});
    c.exec(QStringLiteral("INSERT INTO customer (intno, id, name) VALUES ('0000000001', '0000000001', :p1)"),
           {{"p1", QStringLiteral("零散客户")}});
    c.exec(QStringLiteral("INSERT INTO bank (intno, id, name) VALUES ('0000000001', '0000000001', :p1)"),
           {{"p1", QStringLiteral("现金")}});
    // The remembered report range starts as this month up to today.
    QDate today = Clock::today();
    c.exec(QStringLiteral("INSERT INTO dateconfig (ksdate, jsdate, bz) VALUES (:p1, :p2, 0)"),
           {{"p1", toDbDate(QDate(today.year(), today.month(), 1))}, {"p2", toDbDate(today)}});
    // Numbering rows: the master tables keep theirs at year-end, the document tables start again at 1.
    const QList<QPair<QString, QString>> next = {
        {"BANK", "2"},      {"CUSTOMER", "2"},    {"BRANCH", "1"},      {"EMPLOYEE", "1"},
        {"STORE", "1"},     {"CPRODUCT", "1"},    {"PRODUCT", "1"},     {"OUTLIST", "1"},
        {"OUTDETAIL", "1"}, {"OUTBACKLIST", "1"}, {"OUTBACKDETAIL", "1"}, {"GETLIST", "1"},
        {"GETDETAIL", "1"}, {"INLIST", "1"},      {"INDETAIL", "1"},    {"INBACKLIST", "1"},
        {"INBACKDETAIL", "1"}, {"PUTLIST", "1"},  {"PUTDETAIL", "1"}};
    for (const auto& n : next)
        c.exec(QStringLiteral("INSERT INTO nextno (tablename, intno) VALUES (:p1, :p2)"), {{"p1", n.first}, {"p2", n.second}});
    // The first totals row doubles as the sales window's running turnover.
    c.exec(QStringLiteral("INSERT INTO totallist (amount, rest) VALUES (0, 0)"));
}

void createInitialDatabase(const QString& path)
{
    Connection c;
    c.open(path, true);
    Transaction t(c);
    createSchema(c);
    seedInitialRows(c);
    t.commit();
}
}
