#include "reports/statements.h"
#include "common/errors.h"
#include "common/formats.h"
#include "data/tfrdm.h"
#include <QElapsedTimer>
#include <QScopeGuard>
#include <functional>
#include <string>
#include <sqlite3.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

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

// Posted rows as the statements' indexes hold them.
const QString kPosted = QStringLiteral("pass=1 AND cancel=0");
const QString kPostedRows = QStringLiteral("pass=1 AND cancel=0 AND spmc<>'上期结转'");

// A source of rows: its table, the column matched with the code, and what a
// row shows and moves the balance by.
struct Source {
    QString table;
    QString party;             // column compared with :p3
    QString cond;              // the condition its index is built on
    bool header = false;       // document headers: the document number is intno
    QString delta;             // what one row moves the balance by
    bool documentMoney = false; // a sale: its pay and deduck are the header's, on its last row
    QString moneyTable;        // the aggregate sums `moneyDelta` over these headers instead
    QString moneyDelta;
    QHash<QString, QString> shown; // column expressions other than the stored column
    QString doc() const { return header ? QStringLiteral("intno") : QStringLiteral("mainintno"); }
    QString rowNo() const { return header ? QStringLiteral("''") : QStringLiteral("intno"); }
};

const QString kRowColumns =
    QStringLiteral("billdate,billname,djh,sphh,spmc,amount,deduck,pay,dj_n,dj_w,unit,sl,js,sl_j,ss,sl_s,remark,"
                   "billtype,customername,mainintno,intno");
const QString kHeaderColumns =
    QStringLiteral("billdate,djh,customerid,customername,amount,deduck,pay,hjsl,hjjs,hjss,remark,billtype,billname,intno");

QHash<QString, QString> with(QHash<QString, QString> base, const QHash<QString, QString>& more)
{
    for (auto it = more.begin(); it != more.end(); ++it) base.insert(it.key(), it.value());
    return base;
}

std::vector<Source> sourcesOf(StatementKind kind)
{
    const QString party = QStringLiteral("customerid");
    switch (kind) {
    case StatementKind::Customer: {
        const QHash<QString, QString> common = {{"dj_w", "0"}, {"js", "0"}, {"ss", "0"}, {"sl_s", "0"}, {"customername", "''"}};
        // Sales and their returns carry no carried-forward row.
        Source sales{"outdetail", party, kPosted, false, "amount", true, "outlist", "amount-pay-deduck",
                     with(common, {{"pay", "0"}, {"deduck", "0"}})};
        Source returns{"outbackdetail", party, kPosted, false, "-amount", false, {}, {}, with(common, {{"pay", "0"}, {"deduck", "0"}})};
        Source receipts{"getdetail", party, kPostedRows, false, "-amount-deduck", false, {}, {}, with(common, {{"pay", "0"}})};
        return {sales, returns, receipts};
    }
    case StatementKind::SupplierRows: {
        const QHash<QString, QString> common = {{"dj_n", "0"}, {"ss", "0"}, {"sl_s", "0"}, {"remark", "''"}, {"customername", "''"}};
        Source purchases{"indetail", party, kPostedRows, false, "amount-pay", false, {}, {}, with(common, {{"deduck", "0"}})};
        Source returns{"inbackdetail", party, kPostedRows, false, "-amount", false, {}, {}, with(common, {{"pay", "0"}, {"deduck", "0"}})};
        Source payments{"putdetail", party, kPostedRows, false, "-amount-deduck", false, {}, {}, with(common, {{"pay", "0"}})};
        return {purchases, returns, payments};
    }
    case StatementKind::SupplierDocuments: {
        Source purchases{"inlist", party, kPosted, true, "amount-pay", false, {}, {}, {{"deduck", "0"}}};
        Source returns{"inbacklist", party, kPosted, true, "-amount", false, {}, {}, {{"deduck", "0"}, {"pay", "0"}}};
        // A payment shows its money as paid.
        Source payments{"putlist", party, kPosted, true, "-amount-deduck", false, {}, {}, {{"amount", "0"}, {"pay", "amount"}}};
        return {purchases, returns, payments};
    }
    case StatementKind::Journal: {
        // Documents paid through the account show under its code and name.
        const QHash<QString, QString> paid = {{"sphh", ":p3"}, {"spmc", ":p4"}, {"deduck", "0"}, {"dj_n", "0"}, {"dj_w", "0"},
                                              {"unit", "''"}, {"sl", "0"}, {"js", "0"}, {"sl_j", "0"}, {"ss", "0"},
                                              {"sl_s", "0"}, {"mainintno", "intno"}, {"intno", "''"}};
        Source sales{"outlist", "bankid", kPosted + QStringLiteral(" AND pay<>0"), true, "pay", false, {}, {},
                     with(paid, {{"amount", "pay"}, {"pay", "0"}, {"remark", "''"}, {"billtype", "'01'"}, {"billname", "'销售单'"}})};
        Source purchases{"inlist", "bankid", kPosted + QStringLiteral(" AND pay<>0"), true, "-pay", false, {}, {},
                         with(paid, {{"amount", "0"}, {"remark", "'进货单 '||customername"}, {"billtype", "'02'"}, {"billname", "'进货单'"}})};
        const QHash<QString, QString> money = {{"dj_w", "0"}, {"unit", "''"}, {"remark", "''"}};
        Source receipts{"getdetail", "sphh", kPostedRows, false, "amount", false, {}, {}, money};
        Source payments{"putdetail", "sphh", kPostedRows, false, "-amount", false, {}, {}, with(money, {{"amount", "0"}, {"pay", "amount"}})};
        return {sales, purchases, receipts, payments};
    }
    }
    return {};
}

QStringList columnsOf(StatementKind kind)
{
    return (kind == StatementKind::SupplierDocuments ? kHeaderColumns : kRowColumns).split(QLatin1Char(','));
}

// Money and quantities show an empty cell as 0.
const QStringList kNumbers = {"amount", "deduck", "pay", "dj_n", "dj_w", "sl", "js", "sl_j", "ss", "sl_s", "hjsl", "hjjs", "hjss"};

QStringList shownExprs(const Source& s, const QStringList& columns)
{
    QStringList out;
    for (const QString& c : columns) {
        const QString e = s.shown.value(c, c);
        out << (kNumbers.contains(c) && e != QLatin1String("0") ? QStringLiteral("coalesce(%1,0)").arg(e) : e);
    }
    return out;
}

// The opening row "上期结余" on the from-date.
QVariantList openingRowOf(StatementKind kind, const QDate& from)
{
    QVariantList row;
    for (const QString& c : columnsOf(kind)) {
        if (c == QLatin1String("billdate")) row << toDbDate(from);
        else if (kNumbers.contains(c)) row << 0.0;
        else if (kind == StatementKind::SupplierDocuments ? c == QLatin1String("billname") : c == QLatin1String("spmc"))
            row << QStringLiteral("上期结余");
        else if (kind == StatementKind::Journal && c == QLatin1String("sphh")) row << QStringLiteral("0000000001");
        else if (kind == StatementKind::Journal && c == QLatin1String("billtype")) row << QStringLiteral("01");
        else row << QString();
    }
    return row;
}

double num(const QVariant& v) { return v.isNull() ? 0.0 : v.toDouble(); }

// The longest a step of a statement's reads or of its print holds the shop's
// file: the front desk's commit waits for no more.
constexpr int kLockStepMs = 50;

// Rows read at a time from one source when the walk reads their values.
constexpr int kValueBlock = 1024;

// The rows of every source in the statement's order (date, document number,
// row number), read a block at a time by the statement's indexes and merged.
// Each block is a query of its own that ends before the next is read, so no
// read stays open while the rows are shown.
class Walker {
public:
    struct Row {
        int source = -1;
        qint64 rowid = 0;
        bool documentMoney = false; // the row carries its document's pay and deduck
        double delta = 0;
        QVariantList values;        // shown values, when the walk reads them
    };

    Walker(StatementKind kind, const QString& code, const QString& name, const DateRange& r, bool values)
        : sources_(sourcesOf(kind)), columns_(columnsOf(kind)), code_(code), name_(name), range_(r), values_(values)
    {
        cursors_.resize(sources_.size());
        for (Cursor& c : cursors_) c.block = values ? kValueBlock : 256;
    }

    // The next row in order; false when the rows run out.
    bool next(Row& out)
    {
        int best = -1;
        for (int i = 0; i < int(cursors_.size()); ++i) {
            if (!fill(i)) continue;
            if (best < 0 || before(i, best)) best = i;
        }
        if (best < 0) return false;
        Cursor& c = cursors_[size_t(best)];
        Pending p = std::move(c.rows[c.pos++]);
        out.source = best;
        out.rowid = p.rowid;
        out.delta = p.delta;
        out.values = std::move(p.values);
        out.documentMoney = false;
        if (sources_[size_t(best)].documentMoney) {
            // The last row of its document carries the document's money.
            const bool last = !fill(best) || c.rows[c.pos].doc != p.doc;
            if (last) {
                const std::pair<double, double> money{p.pay, p.deduck};
                out.documentMoney = true;
                out.delta -= money.first + money.second;
                if (values_) {
                    out.values[columns_.indexOf(QStringLiteral("pay"))] = money.first;
                    out.values[columns_.indexOf(QStringLiteral("deduck"))] = money.second;
                }
            }
        }
        return true;
    }

    // The header's pay and deduck of a sale, through one statement prepared
    // for the whole walk.
    std::pair<double, double> moneyOf(const Source& s, const std::string& doc)
    {
        if (money_ && sqlite3_db_handle(money_) != frdm->ADOCon.handle()) {
            sqlite3_finalize(money_); // of a connection closed since
            money_ = nullptr;
        }
        if (!money_)
            sqlite3_prepare_v2(frdm->ADOCon.handle(), QStringLiteral("SELECT pay, deduck FROM %1 WHERE intno=?1").arg(s.moneyTable).toUtf8().constData(),
                               -1, &money_, nullptr);
        if (!money_) throw DbError(QString::fromUtf8(sqlite3_errmsg(frdm->ADOCon.handle())));
        sqlite3_bind_text(money_, 1, doc.data(), int(doc.size()), SQLITE_STATIC);
        std::pair<double, double> out{0, 0};
        if (sqlite3_step(money_) == SQLITE_ROW) out = {sqlite3_column_double(money_, 0), sqlite3_column_double(money_, 1)};
        sqlite3_reset(money_);
        return out;
    }

    Walker(const Walker&) = delete;
    Walker& operator=(const Walker&) = delete;
    ~Walker()
    {
        if (money_) sqlite3_finalize(money_);
    }

private:
    struct Pending {
        qint64 rowid;
        std::string date, doc, rowNo;
        double delta;
        QVariantList values;
        double pay = 0, deduck = 0; // the document's, for a sale
    };
    struct Cursor {
        std::vector<Pending> rows;
        size_t pos = 0;
        bool done = false;
        bool started = false;
        int block = 256;
        std::string date, doc, rowNo; // the last row read
    };

    bool before(int a, int b) const
    {
        const Pending& x = cursors_[size_t(a)].rows[cursors_[size_t(a)].pos];
        const Pending& y = cursors_[size_t(b)].rows[cursors_[size_t(b)].pos];
        if (int c = x.date.compare(y.date)) return c < 0;
        if (int c = x.doc.compare(y.doc)) return c < 0;
        if (a != b) return a < b;
        return x.rowNo < y.rowNo;
    }

    // Makes a row of source i ready; false when it has none left.
    bool fill(int i)
    {
        Cursor& c = cursors_[size_t(i)];
        if (c.pos < c.rows.size()) return true;
        if (c.done) return false;
        c.rows.clear();
        c.pos = 0;
        read(i);
        return c.pos < c.rows.size();
    }

    void read(int i)
    {
        const Source& s = sources_[size_t(i)];
        Cursor& c = cursors_[size_t(i)];
        const QString key = s.header ? QStringLiteral("(billdate,intno)>(:k1,:k2)")
                                     : QStringLiteral("(billdate,mainintno,intno)>(:k1,:k2,:k3)");
        QString sql = QStringLiteral("SELECT rowid, billdate, %1, %2, %3").arg(s.doc(), s.rowNo(), s.delta);
        if (values_) sql += QLatin1Char(',') + shownExprs(s, columns_).join(QLatin1Char(','));
        // A later block seeks from the last date read: the index is entered there.
        sql += QStringLiteral(" FROM %1 WHERE %2=:p3 AND %3 AND %4")
                   .arg(s.table, s.party, s.cond,
                        c.started ? QStringLiteral("billdate>=:k1 AND billdate<:p2 AND ") + key : QLatin1String(rangeCondition()));
        sql += QStringLiteral(" ORDER BY billdate, %1%2 LIMIT %3")
                   .arg(s.doc(), s.header ? QString() : QStringLiteral(", intno"))
                   .arg(c.block);
        Statement st(frdm->ADOCon, sql);
        Params p = rangeParams(range_);
        if (c.started) p.removeFirst();
        p.append({QStringLiteral("p3"), code_});
        if (values_ && sql.contains(QLatin1String(":p4"))) p.append({QStringLiteral("p4"), name_});
        if (c.started) {
            p.append({QStringLiteral("k1"), QString::fromStdString(c.date)});
            p.append({QStringLiteral("k2"), QString::fromStdString(c.doc)});
            if (!s.header) p.append({QStringLiteral("k3"), QString::fromStdString(c.rowNo)});
        }
        st.bind(p);
        // The block and its documents' money are read in one read transaction,
        // cut short when it has lasted a moment: another program's commit waits
        // for it to end.
        Transaction reading(frdm->ADOCon, Transaction::Lock::Deferred);
        QElapsedTimer held;
        held.start();
        sqlite3_stmt* h = st.handle();
        auto text = [h](int col) {
            const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(h, col));
            return std::string(t ? t : "", size_t(sqlite3_column_bytes(h, col)));
        };
        int n = 0;
        bool cut = false;
        while (!(cut = held.elapsed() >= kLockStepMs) && st.step()) {
            Pending r{sqlite3_column_int64(h, 0), text(1), text(2), text(3), sqlite3_column_double(h, 4), {}};
            if (values_) {
                r.values.reserve(columns_.size());
                for (int k = 0; k < int(columns_.size()); ++k) r.values << st.value(5 + k);
            }
            c.rows.push_back(std::move(r));
            ++n;
        }
        st.reset();
        if (s.documentMoney) {
            const std::string* doc = nullptr;
            std::pair<double, double> money{0, 0};
            for (size_t k = 0; k < c.rows.size(); ++k) {
                Pending& r = c.rows[k];
                if (!doc || *doc != r.doc) money = moneyOf(s, r.doc);
                doc = &r.doc;
                r.pay = money.first;
                r.deduck = money.second;
            }
        }
        reading.commit();
        c.started = true;
        if (n < c.block && !cut) c.done = true;
        if (n > 0) {
            c.date = c.rows.back().date;
            c.doc = c.rows.back().doc;
            c.rowNo = c.rows.back().rowNo;
        }
        // Blocks of rows walked for their balance alone grow while the reader
        // keeps asking; rows read with their values stay a block of a fixed
        // size, so that a print holds a few thousand of them at most.
        if (!values_) c.block = std::min(c.block * 4, 16384);
    }

    sqlite3_stmt* money_ = nullptr;
    std::vector<Source> sources_;
    QStringList columns_;
    QString code_, name_;
    DateRange range_;
    bool values_;
    std::vector<Cursor> cursors_;
};

// The balance before the from-date, the movement of the range and the number
// of rows in it, in one aggregate query.
struct Figures {
    double before = 0, within = 0;
    int rows = 0;
};

Figures figuresOf(StatementKind kind, const QString& code, const DateRange& r)
{
    QStringList parts;
    for (const Source& s : sourcesOf(kind)) {
        const QString table = s.moneyTable.isEmpty() ? s.table : s.moneyTable;
        const QString delta = s.moneyTable.isEmpty() ? s.delta : s.moneyDelta;
        const QString cond = s.moneyTable.isEmpty() ? s.cond : kPosted;
        parts << QStringLiteral("SELECT total(CASE WHEN billdate<:p1 THEN %1 END), total(CASE WHEN billdate>=:p1 THEN %1 END), 0 "
                                "FROM %2 WHERE %3=:p3 AND %4 AND billdate<:p2")
                     .arg(delta, table, s.party, cond);
        parts << QStringLiteral("SELECT 0, 0, count(*) FROM %1 WHERE %2=:p3 AND %3 AND %4")
                     .arg(s.table, s.party, s.cond, QLatin1String(rangeCondition()));
    }
    Params p = rangeParams(r);
    p.append({QStringLiteral("p3"), code});
    const auto rows = frdm->ADOCon.rows(QStringLiteral("SELECT total(a), total(b), total(c) FROM (SELECT 0 a, 0 b, 0 c %1)")
                                            .arg(QStringLiteral(" UNION ALL ") + parts.join(QStringLiteral(" UNION ALL "))),
                                        p);
    Figures f;
    if (!rows.empty()) {
        f.before = num(rows[0][0]);
        f.within = num(rows[0][1]);
        f.rows = int(num(rows[0][2]));
    }
    return f;
}

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

double openingBalance(const StatementDesc& d, const QString& paddedCode, double yearOpening, const QDate& from)
{
    return yearOpening + figuresOf(d.kind, paddedCode, {from, from}).before;
}

QStringList scratchColumns(const StatementDesc& d) { return columnsOf(d.kind); }

// ------------------------------------------------------------ a statement run

namespace {
// Where a walked row is stored: its source, whether it carries its document's
// money, and its rowid, in one number.
constexpr int kSourceShift = 56;
constexpr qint64 kMoneyBit = qint64(1) << 55;
constexpr qint64 kRowidMask = (qint64(1) << 55) - 1;
}

struct StatementRun::Impl {
    Impl(StatementKind kind, const QString& code, const QString& name, const DateRange& r)
        : walker(kind, code, name, r, false), sources(sourcesOf(kind)), columns(columnsOf(kind)), code(code), name(name),
          reads(sources.size()), pay(int(columns.indexOf(QStringLiteral("pay")))),
          deduck(int(columns.indexOf(QStringLiteral("deduck")))), mainintno(int(columns.indexOf(QStringLiteral("mainintno"))))
    {
    }
    // The read of one stored row of a source, prepared at its first use and
    // kept for the run.
    Statement& readOf(size_t source)
    {
        // A connection opened afresh since (a reconnect) needs its own statement.
        if (reads[source] && sqlite3_db_handle(reads[source]->handle()) != frdm->ADOCon.handle()) reads[source].reset();
        if (!reads[source]) {
            const QString shown = shownExprs(sources[source], columns).join(QLatin1Char(','));
            reads[source] = std::make_unique<Statement>(frdm->ADOCon.handle(),
                                                        QStringLiteral("SELECT %1 FROM %2 WHERE rowid=:r").arg(shown, sources[source].table));
        }
        return *reads[source];
    }
    Walker walker;
    std::vector<Source> sources;
    QStringList columns;
    QString code, name;
    std::vector<std::unique_ptr<Statement>> reads;
    int pay, deduck, mainintno; // places in `columns`
};

StatementRun::StatementRun(const StatementDesc& d, const QString& paddedCode, const QString& partyName, double yearOpening,
                           const DateRange& r)
    : d_(d), code_(paddedCode), range_(r), impl_(std::make_unique<Impl>(d.kind, paddedCode, partyName, r))
{
    const Figures f = figuresOf(d.kind, paddedCode, r);
    opening_ = yearOpening + f.before;
    closing_ = opening_ + f.within;
    count_ = f.rows;
    entries_.reserve(size_t(count_) + 1);
    entries_.push_back({-1, opening_});
}

StatementRun::~StatementRun() = default;

bool StatementRun::walkTo(int row)
{
    Walker::Row r;
    while (walked() <= row && walked() <= count_) {
        if (!impl_->walker.next(r)) {
            // Rows posted or reversed since the count end the walk where they stand.
            count_ = walked() - 1;
            break;
        }
        const qint64 key = (qint64(r.source) << kSourceShift) | (r.documentMoney ? kMoneyBit : 0) | (r.rowid & kRowidMask);
        entries_.push_back({key, entries_.back().second + r.delta});
    }
    return row < walked();
}

double StatementRun::balanceAt(int row) const { return entries_[size_t(row)].second; }

QVariantList StatementRun::rowValues(int row) const { return rowValues(row, row + 1).front(); }

std::vector<QVariantList> StatementRun::rowValues(int from, int to) const
{
    std::vector<QVariantList> out;
    out.reserve(size_t(std::max(0, to - from)));
    // The rows are read in one short read of the file.
    Transaction reading(frdm->ADOCon, Transaction::Lock::Deferred);
    for (int row = from; row < to; ++row) {
        QVariantList v;
        const qint64 key = entries_[size_t(row)].first;
        if (key < 0) {
            v = openingRowOf(d_.kind, range_.from);
        } else {
            const size_t source = size_t(key >> kSourceShift);
            Statement& st = impl_->readOf(source);
            st.bind({{QStringLiteral("r"), key & kRowidMask}, {QStringLiteral("p3"), impl_->code}, {QStringLiteral("p4"), impl_->name}});
            const bool stored = st.step();
            for (int i = 0; i < int(impl_->columns.size()); ++i) v << (stored ? st.value(i) : QVariant());
            st.reset();
            if (key & kMoneyBit) {
                const auto money = impl_->walker.moneyOf(impl_->sources[source], v.value(impl_->mainintno).toString().toStdString());
                v[impl_->pay] = money.first;
                v[impl_->deduck] = money.second;
            }
        }
        v << (row > 0 ? balanceAt(row - 1) : opening_) << balanceAt(row);
        out.push_back(std::move(v));
    }
    reading.commit();
    return out;
}

namespace {
// Empties scratch tables of the shop's file in one short transaction, then
// runs `then` in it. Their rows are copies of the documents', so the freed
// pages are left as they are rather than overwritten: a table left full by an
// earlier run then empties in a moment.
void emptyScratch(Connection& c, const QStringList& tables, const std::function<void()>& then = {})
{
    const QVariant secure = c.scalar(QStringLiteral("PRAGMA secure_delete"));
    c.exec(QStringLiteral("PRAGMA secure_delete=0"));
    auto restore = qScopeGuard([&] {
        try {
            c.exec(QStringLiteral("PRAGMA secure_delete=%1").arg(secure.toInt()));
        } catch (const DbError&) {
        }
    });
    Transaction t(c);
    for (const QString& table : tables) c.exec(QStringLiteral("delete from %1").arg(table));
    if (then) then();
    t.commit();
}

// The statement's scratch table (custtotal1, or totallist1 for the statement
// by document), and the print's copy of it.
QString scratchTableOf(const StatementDesc& d)
{
    return d.kind == StatementKind::SupplierDocuments ? QStringLiteral("totallist1") : QStringLiteral("custtotal1");
}
QString printTableOf(const StatementDesc& d) { return scratchTableOf(d) + QStringLiteral("_print"); }

// Makes the print's copy of the scratch table afresh: a table of this
// connection alone, with the scratch table's columns and defaults. Other
// programs never wait for it, and it goes with the connection (the window's
// close reconnects) if the preview's close has not dropped it already.
QString printTable(Connection& c, const StatementDesc& d)
{
    const QString name = printTableOf(d);
    const QString create = c.scalar(QStringLiteral("SELECT sql FROM main.sqlite_master WHERE type='table' AND name=:p1"),
                                    {{QStringLiteral("p1"), scratchTableOf(d)}})
                               .toString();
    c.exec(QStringLiteral("DROP TABLE IF EXISTS temp.%1").arg(name));
    c.exec(QStringLiteral("CREATE TEMP TABLE %1 ").arg(name) + create.mid(create.indexOf(QLatin1Char('('))));
    return name;
}
}

void buildStatement(const StatementDesc& d, const QString& paddedCode, const DateRange& r)
{
    Dataset* party = partyDataset(d);
    if (!party->active() || party->isEmpty() || party->asString(QStringLiteral("id")) != paddedCode) findParty(d, paddedCode);
    const bool found = party->active() && !party->isEmpty();
    const double yearOpening = found ? party->asFloat(QStringLiteral("rest")) : 0.0;
    const QString name = found ? party->asString(QStringLiteral("name")) : QString();
    const bool documents = d.kind == StatementKind::SupplierDocuments;
    const QStringList columns = columnsOf(d.kind);
    double balance = yearOpening + figuresOf(d.kind, paddedCode, {r.from, r.from}).before;

    Dataset* view = statementRows(d);
    view->close();
    Connection& c = frdm->ADOCon;
    // The shop's scratch tables are emptied; the statement goes into the
    // print's own table.
    if (documents) {
        // The statement by document leaves its opening row in the totals: the
        // sales window's turnover then continues from 0.
        emptyScratch(c, {QStringLiteral("totallist"), QStringLiteral("totallist1")}, [&] {
            c.exec(QStringLiteral("insert into totallist(billdate,billname,amount,rest) values(:p1,:p2,0,0)"),
                   {{"p1", toDbDate(r.from)}, {"p2", QStringLiteral("上期结余")}});
        });
    } else {
        emptyScratch(c, {QStringLiteral("custtotal"), QStringLiteral("custtotal1")});
    }
    const QString target = printTable(c, d);

    QStringList cols = columns;
    if (documents) cols << QStringLiteral("balance");
    cols << QStringLiteral("rest");
    QStringList marks;
    for (int i = 1; i <= cols.size(); ++i) marks << QStringLiteral("?%1").arg(i);
    Statement ins(c.handle(), QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(target, cols.join(','), marks.join(',')));
    const int n = int(columns.size());
    // Rows are gathered by the walk's own short reads, then written a block
    // at a time in a transaction that touches the print's table alone.
    struct Pending {
        QVariantList values;
        double before, after;
    };
    std::vector<Pending> pending;
    auto flush = [&] {
        Transaction writing(c, Transaction::Lock::Deferred);
        for (const Pending& p : pending) {
            for (int i = 0; i < n; ++i) ins.bindIndex(i + 1, p.values[i]);
            int next = n + 1;
            if (documents) ins.bindIndex(next++, p.before);
            ins.bindIndex(next, p.after);
            ins.step();
            ins.reset();
        }
        writing.commit();
        pending.clear();
    };
    pending.push_back({openingRowOf(d.kind, r.from), balance, balance});
    Walker walker(d.kind, paddedCode, name, r, true);
    Walker::Row row;
    while (walker.next(row)) {
        const double before = balance;
        balance += row.delta;
        pending.push_back({std::move(row.values), before, balance});
        if (pending.size() >= 4096) flush();
    }
    flush();
    // The layout reads the rows a block at a time as it lays the pages out.
    view->setFetchOnDemand(true);
    view->setSql(QStringLiteral("select * from %1 order by rowid").arg(target));
    view->open();
}

void releaseStatement(const StatementDesc& d)
{
    Dataset* view = statementRows(d);
    view->close();
    // The shared row query goes back to holding its rows whole for the windows that edit them.
    if (view == frdm->AQoutdetail) view->setFetchOnDemand(false);
    // A drop that fails leaves the table to the connection's close, which the
    // window's close makes: nothing here throws, so it can run as a failed
    // print unwinds.
    Connection& c = frdm->ADOCon;
    if (c.isOpen()) {
        sqlite3_exec(c.handle(), QStringLiteral("DROP TABLE IF EXISTS temp.%1").arg(printTableOf(d)).toUtf8().constData(), nullptr,
                     nullptr, nullptr);
        sqlite3_db_release_memory(c.handle()); // the pages cached of the table dropped
    }
    // The memory the print's reads left free goes back to the system now,
    // not whenever the top of the heap happens to be free.
#ifdef __GLIBC__
    malloc_trim(0);
#endif
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
