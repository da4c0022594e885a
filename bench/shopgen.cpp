#include "shopgen.h"
#include "common/errors.h"
#include "common/paths.h"
#include "common/password.h"
#include "common/pinyin.h"
#include "data/connection.h"
#include "data/schema.h"
#include "data/upgrades.h"
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <sqlite3.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace qm::bench {

namespace {

// Bump when the generated content changes, so that cached shops are rebuilt.
constexpr int kGeneratorVersion = 2;

constexpr int kProducts = 20000;
constexpr int kMembers = 2000;
constexpr int kSuppliers = 2000;
constexpr int kEmployees = 8;
constexpr qint64 kBaseRows = 1000000;

const char* const kHeaderTables[ShopKindCount] = {"outlist", "outbacklist", "getlist", "inlist", "inbacklist", "putlist"};
const char* const kDetailTables[ShopKindCount] = {"outdetail", "outbackdetail", "getdetail", "indetail", "inbackdetail",
                                                  "putdetail"};

// Shares of the document rows and the rows per document (carried-forward row included).
constexpr double kWalkInShare = 0.80, kMemberSaleShare = 0.06, kSalesReturnShare = 0.01, kPurchaseShare = 0.10,
                 kPurchaseReturnShare = 0.01, kReceiptShare = 0.01, kPaymentShare = 0.01;
constexpr double kWalkInRows = 4, kMemberSaleRows = 5, kSalesReturnRows = 2, kPurchaseRows = 15,
                 kPurchaseReturnRows = 4, kMoneyRows = 2.5;

// splitmix64: small, fast and the same on every platform.
struct Rng {
    quint64 s;
    quint64 next()
    {
        quint64 z = (s += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double unit() { return double(next() >> 11) * (1.0 / 9007199254740992.0); }
    int below(int n) { return int(unit() * n); }
    int between(int lo, int hi) { return lo + below(hi - lo + 1); }
    bool chance(double p) { return unit() < p; }
    template <class T> const T& pick(const std::vector<T>& v) { return v[size_t(below(int(v.size())))]; }
};

double cents(double v) { return std::round(v * 100.0) / 100.0; }

std::string pad(qint64 n, int width)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*lld", width, static_cast<long long>(n));
    return buf;
}

std::string utf8(const QString& s) { return s.toStdString(); }

// One prepared INSERT, bound by position in the order of its column list.
class Insert {
public:
    Insert(sqlite3* db, const std::string& table, const std::vector<std::string>& columns) : db_(db)
    {
        std::string cols, marks;
        for (const auto& c : columns) {
            cols += (cols.empty() ? "" : ",") + c;
            marks += marks.empty() ? "?" : ",?";
        }
        std::string sql = "INSERT INTO " + table + " (" + cols + ") VALUES (" + marks + ")";
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st_, nullptr) != SQLITE_OK) fail(sql);
    }
    ~Insert() { sqlite3_finalize(st_); }
    Insert(const Insert&) = delete;
    Insert& operator=(const Insert&) = delete;

    Insert& text(const std::string& v)
    {
        sqlite3_bind_text(st_, ++i_, v.data(), int(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    // An empty date is stored as NULL, as a row that posting never stamped.
    Insert& date(const std::string& v)
    {
        if (v.empty()) sqlite3_bind_null(st_, ++i_);
        else text(v);
        return *this;
    }
    Insert& real(double v)
    {
        sqlite3_bind_double(st_, ++i_, v);
        return *this;
    }
    Insert& flag(bool v)
    {
        sqlite3_bind_int(st_, ++i_, v ? 1 : 0);
        return *this;
    }
    void run()
    {
        if (sqlite3_step(st_) != SQLITE_DONE) fail("insert");
        sqlite3_reset(st_);
        i_ = 0;
    }

private:
    [[noreturn]] void fail(const std::string& what)
    {
        throw DbError(QStringLiteral("shop generator: %1: %2").arg(QString::fromStdString(what), sqlite3_errmsg(db_)));
    }
    sqlite3* db_;
    sqlite3_stmt* st_ = nullptr;
    int i_ = 0;
};

void exec(sqlite3* db, const std::string& sql)
{
    char* err = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        QString m = QString::fromUtf8(err ? err : "?");
        sqlite3_free(err);
        throw DbError(QStringLiteral("shop generator: %1: %2").arg(QString::fromStdString(sql), m));
    }
}

struct Header {
    std::string intno, billdate, customerintno, customerid, customername, persondeal, tel;
    double balance = 0, amount = 0, pay = 0, deduck = 0, rest = 0;
    bool pass = false, cancel = false;
    std::string djh, remark, employeename, bankid, bankname;
    double hjss = 0, hjjs = 0, hjsl = 0;
    std::string billtype, billname, addr;
};

struct Detail {
    std::string intno, mainintno, spintno, sphh, spmc, unit;
    double dj_w = 0, rebate = 0, dj_n = 0, amount = 0, deduck = 0, pay = 0, rest = 0;
    std::string remark, billtype, billname, billdate, customerid, customername, bankid, djh;
    bool pass = false, cancel = false;
    double ss = 0, sl_s = 0, js = 0, sl_j = 0, sl = 0;
};

const std::vector<std::string> kHeaderColumns = {
    "intno",  "billdate", "customerintno", "customerid", "customername", "persondeal", "tel",
    "balance", "amount",  "pay",           "deduck",     "rest",         "pass",       "cancel",
    "djh",    "remark",   "employeename",  "bankid",     "bankname",     "hjss",       "hjjs",
    "hjsl",   "billtype", "billname",      "addr"};
const std::vector<std::string> kDetailColumns = {
    "intno",   "mainintno", "spintno",  "sphh",       "spmc",         "unit",   "dj_w",  "rebate", "dj_n",  "amount",
    "deduck",  "pay",       "rest",     "remark",     "billtype",     "billname", "billdate", "customerid",
    "customername", "bankid", "djh",    "pass",       "cancel",       "ss",     "sl_s",  "js",     "sl_j",  "sl"};

void write(Insert& in, const Header& h)
{
    in.text(h.intno).date(h.billdate).text(h.customerintno).text(h.customerid).text(h.customername)
        .text(h.persondeal).text(h.tel).real(h.balance).real(h.amount).real(h.pay).real(h.deduck).real(h.rest)
        .flag(h.pass).flag(h.cancel).text(h.djh).text(h.remark).text(h.employeename).text(h.bankid).text(h.bankname)
        .real(h.hjss).real(h.hjjs).real(h.hjsl).text(h.billtype).text(h.billname).text(h.addr);
    in.run();
}

void write(Insert& in, const Detail& d)
{
    in.text(d.intno).text(d.mainintno).text(d.spintno).text(d.sphh).text(d.spmc).text(d.unit).real(d.dj_w)
        .real(d.rebate).real(d.dj_n).real(d.amount).real(d.deduck).real(d.pay).real(d.rest).text(d.remark)
        .text(d.billtype).text(d.billname).date(d.billdate).text(d.customerid).text(d.customername).text(d.bankid)
        .text(d.djh).flag(d.pass).flag(d.cancel).real(d.ss).real(d.sl_s).real(d.js).real(d.sl_j).real(d.sl);
    in.run();
}

struct Counters {
    double rest = 0, balance = 0, amount = 0, pay = 0, deduck = 0, amount_y = 0, pay_y = 0, deduck_y = 0;
};

struct Party {
    std::string intno, id, name, tel, addr, persondeal;
    Counters c;
};

struct Product {
    std::string intno, sphh, barcode, spmc, spgg, unit, category;
    double dj_w = 0, spmz = 0, hydj = 0, avdj = 0, sl_j = 1;
    double rest = 0, sl = 0, sl_in_m = 0, sl_out_m = 0, sl_in_y = 0, sl_out_y = 0;
    int supplier = 0;
};

const char* const kBillTypes[ShopKindCount] = {"01", "05", "13", "02", "06", "14"};
const char* const kBillNames[ShopKindCount] = {"销售单", "销售退货单", "收款单", "进货单", "进货退货单", "付款单"};

class Generator {
public:
    Generator(sqlite3* db, const ShopSpec& spec) : db_(db), rng_{spec.seed * 0x2545F4914F6CDD1Dull + 1}, spec_(spec) {}

    ShopFacts run();

private:
    void makeMasterData();
    void writeMasterData();
    void planDays();
    std::string timeOfDay(int day, int seconds) const;

    // Whether the document is posted and whether it is reversed.
    void chooseState(int day, Header& h);
    // Copies what posting stamps into a row.
    void stamp(int kind, const Header& h, Detail& d, bool copyBank) const;

    void sale(int day, int seconds);
    void salesReturn(int day, int seconds);
    void purchase(int day, bool isReturn);
    void moneyDocument(int day, bool isReceipt);

    std::string nextHeader(int kind) { return pad(++headerNo_[kind], 10); }
    std::string nextRow(int kind) { return pad(++rowNo_[kind], 10); }
    // A new document of `kind` for the party: its number, the party's code,
    // name, contact and the balance it stands at.
    Header headerFor(int kind, const Party& p);
    // A new row of `kind` under `h` for the product: its number and the
    // product's code, name, unit, size and pieces per case.
    Detail rowFor(int kind, const Header& h, const Product& p);
    void put(int kind, const Header& h, std::vector<Detail>& rows);

    int popularProduct() { return int(std::pow(rng_.unit(), 2.2) * kProducts); }
    bool inLastMonth(int day) const { return days_[size_t(day)].compare(0, 7, lastMonth_) == 0; }
    bool inLastYear(int day) const { return days_[size_t(day)].compare(0, 4, lastYear_) == 0; }
    void count(Counters& c, int day, double amount, double pay, double deduck);
    void countAccount(int account, int day, double in, double out);
    void moveStock(Product& p, int day, double in, double out);

    sqlite3* db_;
    Rng rng_;
    ShopSpec spec_;
    std::vector<Product> products_;
    std::vector<Party> members_, suppliers_, accounts_;
    Party walkIn_;
    std::vector<std::string> employees_;
    std::vector<std::string> days_;
    std::string lastMonth_, lastYear_;
    int dayCount_ = 0;
    std::array<qint64, ShopKindCount> headerNo_{}, rowNo_{};
    std::vector<std::unique_ptr<Insert>> headerIns_, detailIns_;
};

void Generator::makeMasterData()
{
    const QStringList brands = {"可口", "百事", "康师傅", "统一", "农夫", "娃哈哈", "伊利", "蒙牛", "旺旺", "乐事",
                                "雀巢", "青岛", "燕京", "双汇", "金龙鱼", "海天", "老干妈", "白象", "今麦郎", "徐福记"};
    const QStringList goods = {"可乐", "雪碧", "矿泉水", "绿茶", "红茶", "牛奶", "酸奶", "方便面", "薯片", "饼干",
                               "啤酒", "火腿肠", "食用油", "酱油", "辣酱", "糖果", "咖啡", "果汁", "面包", "瓜子"};
    const QStringList categories = {"饮料", "饮料", "饮料", "饮料", "饮料", "乳品", "乳品", "方便食品", "休闲食品",
                                    "休闲食品", "酒类", "肉制品", "粮油", "调味品", "调味品", "糖果", "饮料", "饮料",
                                    "烘焙", "休闲食品"};
    const QStringList sizes = {"330ml", "500ml", "1.25L", "250g", "100g", "5L", "袋装", "盒装", "箱装", "桶装"};
    const QStringList flavours = {"", "原味", "特浓", "低糖", "家庭装", "经典", "清爽", "加大"};
    const QStringList units = {"瓶", "袋", "盒", "箱", "桶", "包"};
    QHash<QString, std::string> initials;
    products_.resize(kProducts);
    for (int i = 0; i < kProducts; ++i) {
        Product& p = products_[size_t(i)];
        const int combo = int((qint64(i) * 7919) % (20 * 20 * 10 * 8));
        const int goodsIndex = (combo / 20) % 20;
        QString name = brands[combo % 20] + goods[goodsIndex] + flavours[combo / 4000] + sizes[(combo / 400) % 10];
        auto it = initials.find(name);
        if (it == initials.end()) it = initials.insert(name, utf8(GetPinyinCode(name)));
        p.intno = pad(i + 1, 8);
        p.sphh = pad(100000 + i, 6);
        p.barcode = "69" + pad(qint64(rng_.next() % 100000000000ull), 11);
        p.spmc = utf8(name);
        p.spgg = *it;
        p.unit = utf8(units[rng_.below(int(units.size()))]);
        p.category = utf8(categories[goodsIndex]);
        const double cost = cents(0.8 + rng_.unit() * rng_.unit() * 120);
        p.dj_w = cost;
        p.avdj = cost;
        p.spmz = cents(cost * (1.15 + rng_.unit() * 0.25));
        p.hydj = cents(p.spmz * 0.95);
        p.sl_j = double(std::max(1, rng_.pick(std::vector<int>{1, 6, 12, 24})));
        p.rest = double(rng_.below(80));
        p.sl = p.rest;
        p.supplier = rng_.below(kSuppliers);
    }

    const QStringList surnames = {"王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴", "周", "徐", "孙", "马", "朱",
                                  "胡", "郭", "何", "高", "林", "罗"};
    const QStringList given = {"伟", "芳", "娜", "敏", "静", "丽", "强", "磊", "军", "洋", "勇", "艳", "杰", "娟",
                               "涛", "明", "超", "秀英", "华", "平", "刚", "桂英", "建华", "玉兰"};
    const QStringList streets = {"人民路", "解放路", "中山路", "建设路", "和平路", "新华街", "胜利街", "文化路"};
    const QStringList cities = {"广州", "深圳", "佛山", "东莞", "杭州", "南京", "武汉", "成都", "长沙", "郑州"};
    auto phone = [&] { return "1" + pad(qint64(3000000000ull + rng_.next() % 6000000000ull), 10); };
    walkIn_ = {"0000000001", "0000000001", utf8(QStringLiteral("零散客户")), "", "", "", {}};
    for (int i = 0; i < kMembers; ++i) {
        Party m;
        m.intno = m.id = pad(i + 2, 10);
        m.name = utf8(surnames[rng_.below(20)] + given[rng_.below(24)] + (rng_.chance(0.5) ? given[rng_.below(24)] : QString()));
        m.persondeal = m.name;
        m.tel = phone();
        m.addr = utf8(streets[rng_.below(8)] + QString::number(1 + rng_.below(300)) + QStringLiteral("号"));
        m.c.rest = m.c.balance = cents(rng_.chance(0.3) ? rng_.unit() * 500 : 0);
        members_.push_back(m);
    }
    for (int i = 0; i < kSuppliers; ++i) {
        Party s;
        s.intno = s.id = pad(i + 1, 10);
        s.name = utf8(cities[i % 10] + brands[(i / 10) % 20] + goods[(i / 200) % 10] +
                      (i >= 2000 / 2 ? QStringLiteral("贸易有限公司") : QStringLiteral("商贸公司")));
        s.persondeal = utf8(surnames[rng_.below(20)] + given[rng_.below(24)]);
        s.tel = "0" + pad(qint64(200000000 + rng_.next() % 700000000), 10);
        s.addr = utf8(cities[i % 10] + QStringLiteral("市") + streets[rng_.below(8)] + QString::number(1 + rng_.below(500)) +
                      QStringLiteral("号"));
        s.c.rest = s.c.balance = cents(rng_.unit() * 5000);
        suppliers_.push_back(s);
    }
    const QStringList banks = {"现金", "工商银行", "农业银行", "建设银行", "中国银行"};
    for (int i = 0; i < int(banks.size()); ++i) {
        Party a;
        a.intno = a.id = pad(i + 1, 10);
        a.name = utf8(banks[i]);
        a.c.rest = a.c.balance = i == 0 ? 2000 : 50000;
        accounts_.push_back(a);
    }
    for (int i = 0; i < kEmployees; ++i) employees_.push_back(utf8(surnames[i] + given[i]));
}

void Generator::writeMasterData()
{
    // The initial database already holds the walk-in customer and the cash account.
    exec(db_, "DELETE FROM customer; DELETE FROM bank; DELETE FROM branch; DELETE FROM product; DELETE FROM employee");
    Insert prod(db_, "product",
                {"intno", "sphh", "name", "spmc", "spgg", "spbzxh", "splb", "branchintno", "branchname", "dj_w",
                 "dj_n", "spmz", "hydj", "avdj", "sl_j", "rest", "sl", "sl_in_m", "sl_out_m", "sl_in_y", "sl_out_y",
                 "ckbh", "ckmc", "maxsl", "minsl", "outdate", "enddate"});
    for (const Product& p : products_) {
        const Party& s = suppliers_[size_t(p.supplier)];
        prod.text(p.intno).text(p.sphh).text(p.barcode).text(p.spmc).text(p.spgg).text(p.unit).text(p.category)
            .text(s.intno).text(s.name).real(p.dj_w).real(p.dj_w).real(p.spmz).real(p.hydj).real(cents(p.avdj))
            .real(p.sl_j).real(p.rest).real(p.sl).real(p.sl_in_m).real(p.sl_out_m).real(p.sl_in_y).real(p.sl_out_y)
            .text("001").text(utf8(QStringLiteral("总仓"))).real(200).real(10).date("2026-06-01 00:00:00")
            .date("2027-06-01 00:00:00");
        prod.run();
    }
    auto writeParties = [&](const char* table, const std::vector<Party>& parties) {
        Insert in(db_, table,
                  {"intno", "id", "name", "tel", "persondeal", "addr", "rest", "balance", "amount", "pay", "deduck",
                   "amount_y", "pay_y", "deduck_y"});
        for (const Party& p : parties) {
            in.text(p.intno).text(p.id).text(p.name).text(p.tel).text(p.persondeal).text(p.addr).real(cents(p.c.rest))
                .real(cents(p.c.balance)).real(cents(p.c.amount)).real(cents(p.c.pay)).real(cents(p.c.deduck))
                .real(cents(p.c.amount_y)).real(cents(p.c.pay_y)).real(cents(p.c.deduck_y));
            in.run();
        }
    };
    std::vector<Party> customers{walkIn_};
    customers.insert(customers.end(), members_.begin(), members_.end());
    writeParties("customer", customers);
    writeParties("branch", suppliers_);
    writeParties("bank", accounts_);
    Insert emp(db_, "employee", {"intno", "id", "name"});
    for (int i = 0; i < kEmployees; ++i) {
        emp.text(pad(i + 1, 10)).text(pad(i + 1, 10)).text(employees_[size_t(i)]);
        emp.run();
    }
    Insert spec(db_, "spec", {"intno", "name", "specno"});
    int n = 0;
    for (const char* u : {"瓶", "袋", "盒", "箱", "桶", "包"}) {
        spec.text(pad(++n, 2)).text(u).text("02");
        spec.run();
    }
    n = 0;
    for (const char* c : {"饮料", "乳品", "方便食品", "休闲食品", "酒类", "肉制品", "粮油", "调味品", "糖果", "烘焙"}) {
        spec.text(pad(++n, 2)).text(c).text("03");
        spec.run();
    }
    Insert op(db_, "opcrl", {"bh", "xm", "pw", "rh"});
    for (int i = 1; i <= 3; ++i) {
        op.text(pad(i, 3)).text(utf8(QStringLiteral("收银员%1").arg(i))).text(utf8(EncodePassword(QString::number(i))))
            .text("");
        op.run();
    }
    exec(db_, "UPDATE nextno SET intno='" + std::to_string(kProducts + 1) + "' WHERE tablename IN ('PRODUCT','CPRODUCT')");
}

void Generator::planDays()
{
    const QDate first = shopFirstDay(), last = shopLastDay();
    dayCount_ = int(first.daysTo(last)) + 1;
    for (QDate d = first; d <= last; d = d.addDays(1)) days_.push_back(utf8(d.toString(QStringLiteral("yyyy-MM-dd"))));
    lastMonth_ = utf8(last.toString(QStringLiteral("yyyy-MM")));
    lastYear_ = utf8(last.toString(QStringLiteral("yyyy")));
}

std::string Generator::timeOfDay(int day, int seconds) const
{
    char buf[40];
    std::snprintf(buf, sizeof buf, " %02d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
    return days_[size_t(day)] + buf;
}

void Generator::chooseState(int day, Header& h)
{
    // The last three days hold documents still being worked on.
    h.pass = !(day >= dayCount_ - 3 && rng_.chance(0.3));
    h.cancel = h.pass && rng_.chance(0.01);
}

void Generator::stamp(int kind, const Header& h, Detail& d, bool copyBank) const
{
    d.pass = h.pass;
    d.cancel = h.cancel;
    if (!h.pass) return;
    d.billtype = kBillTypes[kind];
    d.billname = kBillNames[kind];
    d.billdate = h.billdate;
    d.customerid = h.customerid;
    d.customername = h.customername;
    if (copyBank) d.bankid = h.bankid;
}

void Generator::count(Counters& c, int day, double amount, double pay, double deduck)
{
    if (inLastMonth(day)) {
        c.amount += amount;
        c.pay += pay;
        c.deduck += deduck;
    }
    if (inLastYear(day)) {
        c.amount_y += amount;
        c.pay_y += pay;
        c.deduck_y += deduck;
    }
}

void Generator::countAccount(int account, int day, double in, double out)
{
    Counters& c = accounts_[size_t(account)].c;
    c.balance += in - out;
    count(c, day, in, out, 0);
}

void Generator::moveStock(Product& p, int day, double in, double out)
{
    p.sl += in - out;
    if (inLastMonth(day)) {
        p.sl_in_m += in;
        p.sl_out_m += out;
    }
    if (inLastYear(day)) {
        p.sl_in_y += in;
        p.sl_out_y += out;
    }
}

void Generator::put(int kind, const Header& h, std::vector<Detail>& rows)
{
    write(*headerIns_[size_t(kind)], h);
    for (Detail& d : rows) write(*detailIns_[size_t(kind)], d);
}

Header Generator::headerFor(int kind, const Party& p)
{
    Header h;
    h.intno = nextHeader(kind);
    h.customerid = p.id;
    h.customername = p.name;
    h.persondeal = p.persondeal;
    h.tel = p.tel;
    h.balance = p.c.balance;
    return h;
}

Detail Generator::rowFor(int kind, const Header& h, const Product& p)
{
    Detail d;
    d.intno = nextRow(kind);
    d.mainintno = h.intno;
    d.spintno = p.intno;
    d.sphh = p.sphh;
    d.spmc = p.spmc;
    d.unit = p.unit;
    d.remark = p.spgg;
    d.sl_j = p.sl_j;
    return d;
}

void Generator::sale(int day, int seconds)
{
    const bool member = rng_.chance(kMemberSaleShare / kMemberSaleRows /
                                    (kMemberSaleShare / kMemberSaleRows + kWalkInShare / kWalkInRows));
    Party& c = member ? members_[size_t(rng_.below(kMembers))] : walkIn_;
    Header h = headerFor(Sale, c);
    h.billdate = timeOfDay(day, seconds);
    h.customerintno = c.intno;
    h.remark = c.addr;
    h.bankid = accounts_[0].id;
    h.bankname = accounts_[0].name;
    chooseState(day, h);
    const std::string cashier = pad(1 + rng_.below(3), 3);
    const int n = member ? rng_.between(1, 9) : rng_.between(1, 7);
    std::vector<Detail> rows(static_cast<size_t>(n));
    for (Detail& d : rows) {
        Product& p = products_[size_t(popularProduct())];
        d = rowFor(Sale, h, p);
        d.dj_w = p.dj_w;
        d.dj_n = member ? p.hydj : p.spmz;
        d.rebate = rng_.chance(0.9) ? 100 : rng_.pick(std::vector<double>{95, 90, 88});
        d.sl = rng_.chance(0.7) ? 1 : rng_.between(2, 6);
        d.amount = cents(d.sl * d.dj_n * d.rebate / 100);
        h.amount += d.amount;
        h.hjsl += d.sl;
        stamp(Sale, h, d, true);
        d.djh = h.pass ? cashier : std::string();
    }
    h.amount = cents(h.amount);
    // A walk-in customer pays at the till: the first row keeps the cash taken and the change.
    // A member mostly buys on account, which the first row's balance carries.
    if (member && rng_.chance(0.7)) {
        rows[0].rest = cents(h.balance + h.amount);
    } else {
        const double tendered = rng_.chance(0.5) ? h.amount : std::ceil(h.amount / 10.0) * 10.0;
        rows[0].pay = tendered;
        rows[0].rest = member ? h.balance : cents(tendered - h.amount);
        h.pay = tendered;
    }
    h.rest = rows[0].rest;
    put(Sale, h, rows);
    if (!h.pass || h.cancel) return;
    c.c.balance = h.rest;
    count(c.c, day, h.amount, 0, 0);
    if (h.pay != 0) countAccount(0, day, h.amount, 0);
    for (const Detail& d : rows) moveStock(products_[size_t(std::stoi(d.spintno) - 1)], day, 0, d.sl);
}

void Generator::salesReturn(int day, int seconds)
{
    Party& c = rng_.chance(0.6) ? walkIn_ : members_[size_t(rng_.below(kMembers))];
    Header h = headerFor(SalesReturn, c);
    h.billdate = timeOfDay(day, seconds);
    h.customerintno = c.intno;
    h.remark = c.addr;
    chooseState(day, h);
    const int n = rng_.between(1, 3);
    std::vector<Detail> rows(static_cast<size_t>(n));
    for (Detail& d : rows) {
        Product& p = products_[size_t(popularProduct())];
        d = rowFor(SalesReturn, h, p);
        d.dj_w = p.dj_w;
        d.dj_n = &c == &walkIn_ ? p.spmz : p.hydj;
        d.rebate = 100;
        d.sl = 1;
        d.amount = d.dj_n;
        h.amount += d.amount;
        h.hjsl += d.sl;
        stamp(SalesReturn, h, d, false);
    }
    h.amount = cents(h.amount);
    h.rest = &c == &walkIn_ ? 0 : cents(h.balance - h.amount);
    for (Detail& d : rows) {
        d.rest = h.rest;
        if (h.pass) d.djh = h.djh;
    }
    put(SalesReturn, h, rows);
    if (!h.pass || h.cancel) return;
    c.c.balance = h.rest;
    count(c.c, day, -h.amount, 0, 0);
    for (const Detail& d : rows) moveStock(products_[size_t(std::stoi(d.spintno) - 1)], day, d.sl, 0);
}

void Generator::purchase(int day, bool isReturn)
{
    const int kind = isReturn ? PurchaseReturn : Purchase;
    const int si = rng_.below(kSuppliers);
    Party& s = suppliers_[size_t(si)];
    Header h = headerFor(kind, s);
    h.billdate = days_[size_t(day)] + " 00:00:00";
    h.addr = s.addr;
    h.employeename = employees_[size_t(rng_.below(kEmployees))];
    const int account = isReturn ? 0 : (rng_.chance(0.7) ? 0 : rng_.between(1, 4));
    if (!isReturn) {
        h.bankid = accounts_[size_t(account)].id;
        h.bankname = accounts_[size_t(account)].name;
    }
    chooseState(day, h);
    const int n = isReturn ? rng_.between(1, 5) : rng_.between(4, 24);
    std::vector<Detail> rows(static_cast<size_t>(n) + 1);
    Detail& cf = rows[0];
    cf.intno = nextRow(kind);
    cf.mainintno = h.intno;
    cf.spmc = utf8(QStringLiteral("上期结转"));
    cf.amount = cf.rest = h.balance;
    QString remark = isReturn ? QStringLiteral("退货商品:") : QStringLiteral("购进商品:");
    double running = h.balance;
    for (int i = 1; i <= n; ++i) {
        Detail& d = rows[size_t(i)];
        // Most goods come from their usual supplier's range: neighbouring products.
        const int pi = rng_.chance(0.5) ? popularProduct() : (si * 10 + rng_.below(10)) % kProducts;
        Product& p = products_[size_t(pi)];
        d = rowFor(kind, h, p);
        d.dj_n = p.dj_w;
        d.dj_w = cents(p.dj_w * (0.95 + rng_.unit() * 0.1));
        // Loose goods by the piece, the rest by the case.
        d.sl = isReturn ? rng_.between(1, 5)
               : p.sl_j >= 24 ? p.sl_j
               : p.sl_j > 1   ? p.sl_j * rng_.between(1, 2)
                              : rng_.between(5, 25);
        d.amount = cents(d.sl * d.dj_w);
        h.amount += d.amount;
        h.hjsl += d.sl;
        remark += QString::fromStdString(d.spmc) + (i < n ? QStringLiteral("、") : QString());
    }
    h.amount = cents(h.amount);
    if (!isReturn) {
        // Paid in full, in part or not at all; the payment stands on the last row.
        const double u = rng_.unit();
        rows.back().pay = u < 0.4 ? h.amount : u < 0.7 ? cents(h.amount * rng_.unit()) : 0;
        h.pay = rows.back().pay;
    }
    for (int i = 1; i <= n; ++i) {
        Detail& d = rows[size_t(i)];
        running = isReturn ? running - d.amount : running + d.amount - d.pay;
        d.rest = cents(running);
    }
    h.rest = cents(running);
    h.remark = utf8(remark.left(60));
    if (h.pass) {
        h.billtype = kBillTypes[kind];
        h.billname = kBillNames[kind];
    }
    for (Detail& d : rows) {
        stamp(kind, h, d, !isReturn);
        if (isReturn && h.pass) d.djh = h.djh;
    }
    put(kind, h, rows);
    if (!h.pass || h.cancel) return;
    s.c.balance = h.rest;
    count(s.c, day, isReturn ? -h.amount : h.amount, h.pay, 0);
    if (h.pay != 0) countAccount(account, day, 0, h.pay);
    for (int i = 1; i <= n; ++i) {
        const Detail& d = rows[size_t(i)];
        Product& p = products_[size_t(std::stoi(d.spintno) - 1)];
        if (isReturn) {
            moveStock(p, day, 0, d.sl);
            continue;
        }
        p.avdj = p.sl <= 0 ? d.dj_w : (p.sl * p.avdj + d.sl * d.dj_w) / (p.sl + d.sl);
        p.dj_w = d.dj_w;
        p.supplier = si;
        moveStock(p, day, d.sl, 0);
    }
}

void Generator::moneyDocument(int day, bool isReceipt)
{
    const int kind = isReceipt ? Receipt : Payment;
    Party& p = isReceipt ? members_[size_t(rng_.below(kMembers))] : suppliers_[size_t(rng_.below(kSuppliers))];
    Header h = headerFor(kind, p);
    h.billdate = days_[size_t(day)] + " 00:00:00";
    h.employeename = employees_[size_t(rng_.below(kEmployees))];
    if (isReceipt) {
        h.customerintno = p.intno;
        h.remark = p.addr;
    } else {
        h.addr = p.addr;
    }
    chooseState(day, h);
    const int n = rng_.between(1, 2);
    std::vector<Detail> rows(static_cast<size_t>(n) + 1);
    rows[0].spmc = utf8(QStringLiteral("上期结转"));
    rows[0].amount = rows[0].rest = h.balance;
    const double owed = h.balance > 0 ? h.balance : 100 + rng_.below(900);
    double running = h.balance;
    QString remark = QStringLiteral("付款现金银行:");
    for (int i = 0; i <= n; ++i) {
        Detail& d = rows[size_t(i)];
        d.intno = nextRow(kind);
        d.mainintno = h.intno;
        if (i == 0) continue;
        const Party& a = accounts_[size_t(i == 1 ? (rng_.chance(0.6) ? 0 : rng_.between(1, 4)) : rng_.between(1, 4))];
        d.sphh = a.id;
        d.spmc = a.name;
        d.amount = cents(owed * (0.2 + rng_.unit() * 0.8) / n);
        d.deduck = rng_.chance(0.1) ? cents(rng_.unit() * 20) : 0;
        running -= d.amount + d.deduck;
        d.rest = cents(running);
        h.amount += d.amount;
        h.deduck += d.deduck;
        remark += QString::fromStdString(d.spmc) + (i < n ? QStringLiteral("、") : QString());
    }
    h.amount = cents(h.amount);
    h.deduck = cents(h.deduck);
    h.rest = cents(running);
    if (!isReceipt) {
        h.remark = utf8(remark.left(60));
        if (h.pass) {
            h.billtype = kBillTypes[kind];
            h.billname = kBillNames[kind];
        }
    }
    for (Detail& d : rows) {
        stamp(kind, h, d, false);
        if (h.pass) d.djh = h.djh;
    }
    put(kind, h, rows);
    if (!h.pass || h.cancel) return;
    p.c.balance = h.rest;
    count(p.c, day, 0, h.amount, h.deduck);
    for (int i = 1; i <= n; ++i) {
        const Detail& d = rows[size_t(i)];
        const int account = std::stoi(d.sphh) - 1;
        if (isReceipt) countAccount(account, day, d.amount, 0);
        else countAccount(account, day, 0, d.amount);
    }
}

ShopFacts Generator::run()
{
    ShopFacts facts;
    planDays();
    makeMasterData();
    for (int k = 0; k < ShopKindCount; ++k) {
        headerIns_.push_back(std::make_unique<Insert>(db_, kHeaderTables[k], kHeaderColumns));
        detailIns_.push_back(std::make_unique<Insert>(db_, kDetailTables[k], kDetailColumns));
    }
    const double rows = double(spec_.documentRows());
    const qint64 sales = qint64(rows * (kWalkInShare / kWalkInRows + kMemberSaleShare / kMemberSaleRows));
    const std::array<qint64, ShopKindCount> planned = {
        sales,
        qint64(rows * kSalesReturnShare / kSalesReturnRows),
        qint64(rows * kReceiptShare / kMoneyRows),
        qint64(rows * kPurchaseShare / kPurchaseRows),
        qint64(rows * kPurchaseReturnShare / kPurchaseReturnRows),
        qint64(rows * kPaymentShare / kMoneyRows)};
    // Documents of a kind are spread evenly over the days; the days are walked
    // in order so that numbers follow dates and balances carry forward.
    std::array<qint64, ShopKindCount> done{};
    auto dueToday = [&](int kind, int day) {
        const qint64 end = (planned[size_t(kind)] * (day + 1)) / dayCount_;
        const qint64 n = end - done[size_t(kind)];
        done[size_t(kind)] = end;
        return n;
    };
    std::vector<int> seconds;
    for (int day = 0; day < dayCount_; ++day) {
        for (int kind : {Purchase, PurchaseReturn, Payment}) {
            for (qint64 n = dueToday(kind, day); n > 0; --n) {
                if (kind == Payment) moneyDocument(day, false);
                else purchase(day, kind == PurchaseReturn);
            }
        }
        for (int kind : {Sale, SalesReturn}) {
            seconds.resize(size_t(dueToday(kind, day)));
            for (int& s : seconds) s = 8 * 3600 + rng_.below(14 * 3600);
            std::sort(seconds.begin(), seconds.end());
            for (int s : seconds) {
                if (kind == Sale) sale(day, s);
                else salesReturn(day, s);
            }
        }
        for (qint64 n = dueToday(Receipt, day); n > 0; --n) moneyDocument(day, true);
    }
    writeMasterData();
    for (int k = 0; k < ShopKindCount; ++k) {
        facts.headers[size_t(k)] = headerNo_[size_t(k)];
        facts.rows[size_t(k)] = rowNo_[size_t(k)];
    }
    headerIns_.clear();
    detailIns_.clear();
    return facts;
}

QString cachePath(const ShopSpec& spec)
{
    return QStringLiteral("/tmp/quillmart-shop-g%1-seed%2-rows%3.db")
        .arg(kGeneratorVersion)
        .arg(spec.seed)
        .arg(spec.documentRows());
}

void readCounts(ShopFacts& f)
{
    Connection c;
    c.open(f.path);
    for (int k = 0; k < ShopKindCount; ++k) {
        f.headers[size_t(k)] = c.scalar(QStringLiteral("SELECT count(*) FROM %1").arg(kHeaderTables[k])).toLongLong();
        f.rows[size_t(k)] = c.scalar(QStringLiteral("SELECT count(*) FROM %1").arg(kDetailTables[k])).toLongLong();
    }
}
}

ShopSpec ShopSpec::forSalesHeaders(qint64 headers, quint64 seed)
{
    ShopSpec s;
    s.seed = seed;
    s.scale = double(headers) / (double(kBaseRows) * (kWalkInShare / kWalkInRows + kMemberSaleShare / kMemberSaleRows));
    return s;
}

qint64 ShopSpec::documentRows() const { return qRound64(double(kBaseRows) * scale); }

const char* shopHeaderTable(int kind) { return kHeaderTables[kind]; }
const char* shopDetailTable(int kind) { return kDetailTables[kind]; }

qint64 ShopFacts::totalRows() const
{
    qint64 n = 0;
    for (qint64 r : rows) n += r;
    return n;
}

QDate shopFirstDay() { return QDate(2016, 12, 1); }
QDate shopLastDay() { return QDate(2026, 11, 30); }

ShopFacts generateShop(const QString& path, const ShopSpec& spec)
{
    QElapsedTimer timer;
    timer.start();
    QFile::remove(path);
    createInitialDatabase(path);
    {
        // The schema as the program leaves it after its start-up upgrades.
        Connection c;
        c.open(path);
        upgradeSchema(c);
    }
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        throw DbError(QStringLiteral("shop generator: cannot open %1").arg(path));
    }
    ShopFacts facts;
    try {
        exec(db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA cache_size=-200000");
        // The document indexes are built once the rows are in: far faster than keeping them up row by row.
        std::vector<std::string> indexSql;
        std::string drops;
        {
            sqlite3_stmt* st = nullptr;
            sqlite3_prepare_v2(db,
                               "SELECT name, sql FROM sqlite_master WHERE type='index' AND sql IS NOT NULL AND tbl_name IN "
                               "('outlist','outdetail','outbacklist','outbackdetail','getlist','getdetail','inlist',"
                               "'indetail','inbacklist','inbackdetail','putlist','putdetail')",
                               -1, &st, nullptr);
            while (sqlite3_step(st) == SQLITE_ROW) {
                drops += std::string("DROP INDEX ") + reinterpret_cast<const char*>(sqlite3_column_text(st, 0)) + ";";
                indexSql.push_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
            }
            sqlite3_finalize(st);
        }
        exec(db, "BEGIN");
        exec(db, drops);
        Generator g(db, spec);
        facts = g.run();
        for (const std::string& sql : indexSql) exec(db, sql);
        exec(db, "COMMIT");
        exec(db, "PRAGMA journal_mode=DELETE");
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
    sqlite3_close(db);
    facts.path = path;
    facts.generated = true;
    facts.seconds = timer.nsecsElapsed() / 1e9;
    facts.bytes = QFileInfo(path).size();
    return facts;
}

ShopFacts tenYearShop(const ShopSpec& spec)
{
    const QString path = cachePath(spec);
    if (QFileInfo::exists(path)) {
        ShopFacts f;
        f.path = path;
        f.bytes = QFileInfo(path).size();
        readCounts(f);
        return f;
    }
    // Built beside the cache under a name of its own and renamed into place,
    // so that two benchmarks starting together never read a half-made shop.
    const QString part = path + QStringLiteral(".part%1").arg(::getpid());
    ShopFacts f = generateShop(part, spec);
    if (!QFileInfo::exists(path) && !QFile::rename(part, path)) QFile::remove(part);
    QFile::remove(part);
    f.path = path;
    return f;
}

ShopFacts copyOfShop(const QString& path, const ShopSpec& spec)
{
    ShopFacts f = tenYearShop(spec);
    QFile::remove(path);
    if (!QFile::copy(f.path, path)) throw FileOpenError(QStringLiteral("cannot copy the shop to %1").arg(path));
    QFile(path).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    f.path = path;
    return f;
}

ShopFacts copyOfShopForRun(const char* file, int argc, char** argv)
{
    ShopSpec spec;
    if (argc > 1) spec.scale = std::atof(argv[1]);
    const ShopFacts f = copyOfShop(QDir::tempPath() + QLatin1Char('/') + QLatin1String(file), spec);
    std::printf("shop: %lld document rows (scale %.2f)\n", static_cast<long long>(f.totalRows()), spec.scale);
    return f;
}

CopyBench::CopyBench(int argc, char** argv)
{
    if (argc > 1) runs = std::max(1, std::atoi(argv[1]));
    if (argc > 2) spec.scale = std::atof(argv[2]);
    AppPaths::setProgramFolder(dir.path());
    QDir().mkpath(dir.path() + QStringLiteral("/works"));
    working = AppPaths::workingDatabase();
    pristine = dir.path() + QStringLiteral("/pristine.mdb");
    shop = copyOfShop(pristine, spec);
}

}
