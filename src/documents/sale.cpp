// The sale (销售单): goods sold to a customer, the walk-in customer at retail
// price, members at the member price, less a rebate per row.
#include "documents/sale.h"
#include "data/tfrdm.h"
#include "documents/salerules.h"
#include "documents/salewindows.h"
#include "layouts/tfrroutdetail_s.h"
#include "shell/session.h"

namespace qm::doc {

namespace {
Effect add(Target t, const QString& column, std::vector<Term> terms) { return {t, column, Apply::Add, std::move(terms), {}}; }

// The first row of totallist, made when another writer left the table empty.
void setTurnoverRow(Connection& c, const QString& sets, const Params& ps)
{
    if (c.exec(QStringLiteral("UPDATE totallist SET %1 WHERE rowid=(SELECT min(rowid) FROM totallist)").arg(sets), ps) == 0) {
        c.exec(QStringLiteral("INSERT INTO totallist (amount, rest) VALUES (0, 0)"));
        c.exec(QStringLiteral("UPDATE totallist SET %1 WHERE rowid=(SELECT min(rowid) FROM totallist)").arg(sets), ps);
    }
}

std::vector<HeaderBox> customerBoxes(bool posted)
{
    const bool e = !posted;
    return {
        {"Edit1", "intno", QStringLiteral("单号"), false, true, -1, {}},
        {"Edit2", "customerid", posted ? QStringLiteral("客户号") : QStringLiteral("会员号"), e, true, -1,
         posted ? QString() : QStringLiteral("单击进入客户表选取,非0000000001为会员."), true},
        {"Edit3", "customername", posted ? QStringLiteral("客户名") : QStringLiteral("会员名"), e, true, -1, {}},
        {"Edit4", "persondeal", QStringLiteral("联系人"), e, true, -1, {}},
        {"Edit6", "billdate", QStringLiteral("日期"), false, true, -1, posted ? QString() : QStringLiteral("双击选取日期")},
        {"Edit9", "remark", posted ? QStringLiteral("地址") : QStringLiteral("备注"), e, true, -1, {}},
        {"Edit16", "employeename", QStringLiteral("负责人"), e, true, -1, posted ? QString() : QStringLiteral("双击进入员工表")},
    };
}
}

void storeClosingBalance(Connection& c, const DocDesc& d, const Header& h)
{
    c.exec(QStringLiteral("UPDATE %1 SET rest=(SELECT balance FROM customer WHERE id=:id LIMIT 1) WHERE intno=:n")
               .arg(d.headerTable),
           {{"id", h.customerid}, {"n", h.intno}});
}

bool isLooseGoodsCode(const QString& sphh)
{
    const QString code = sphh.trimmed();
    return code == QStringLiteral("零") || code == QStringLiteral("000");
}

PartyDesc customerParty()
{
    PartyDesc p;
    p.table = QStringLiteral("customer");
    // The customer list writes the customer's code; lookup and posting both go by it.
    p.entryColumn = QStringLiteral("id");
    p.postColumn = QStringLiteral("id");
    p.notFound = QStringLiteral("查无此客户号！");
    p.notFoundOnPost = p.notFound;
    p.notFoundOnReverse = QStringLiteral("查无此客户号,不能冲数！");
    p.noneChosen = QStringLiteral("没有选取客户,不能过帐！");
    p.addressIntoRemark = true;
    p.pickOnClick = true; // "单击进入客户表选取"
    p.lookupColumns = {QStringLiteral("customerintno"), QStringLiteral("customerid"), QStringLiteral("customername"),
                       QStringLiteral("persondeal"), QStringLiteral("tel"), QStringLiteral("balance")};
    return p;
}

// What the sale and the sales return share: the customer, rows at the sale
// price less the rebate, the stock rule.
DocDesc customerGoods()
{
    DocDesc d;
    d.party = customerParty();
    d.carriedForward = false;
    d.newRow = NewRow::Rebate100;
    d.rowAmount = RowAmount::QtyTimesSalePriceRebate;
    d.headerRest = HeaderRest::Untouched;
    d.totalQty = true;
    d.zeroPieces = false;
    d.headerBillType = false;
    d.rowMovesStock = [](const QString& sphh, const QString&, bool) { return !isLooseGoodsCode(sphh); };
    d.codePrice = CodePrice::RetailOrMember;
    d.remarkOnCode = true;
    d.deleteAsks = false;
    d.recalcColumns = {"sl", "dj_n", "rebate"};
    d.gridEnter = {{"sl", "add"}, {"dj_n", "rebate"}, {"rebate", "next"}};
    d.texts.addCaption = QStringLiteral("  新增&A  ");
    d.texts.addHint.clear();
    d.grid = {{"sphh", QStringLiteral("货号"), true},
              {"spmc", QStringLiteral("品名规格"), true},
              {"unit", {}, true},
              {"sl", {}, false},
              {"dj_n", QStringLiteral("单价"), false},
              {"rebate", QStringLiteral("打折"), false},
              {"amount", {}, true}};
    d.postedGrid = {{"sphh", QStringLiteral("货号"), true}, {"spmc", QStringLiteral("品名规格"), true},
                    {"unit", {}, true},                     {"sl", {}, true},
                    {"dj_n", QStringLiteral("单价"), true}, {"amount", {}, true}};
    return d;
}

DocDesc makeSale()
{
    DocDesc d = customerGoods();
    d.kind = DocKind::Sale;
    d.headerTable = QStringLiteral("outlist");
    d.detailTable = QStringLiteral("outdetail");
    d.billType = QStringLiteral("01");
    d.billName = QStringLiteral("销售单");
    d.pickCode = 1;
    d.defaultAccount = true;
    d.dateWithTime = true;
    d.running = Running::None;
    d.writesBankId = true;

    d.rowCopies = {"billdate", "customerid", "customername", "bankid"};
    d.rowDjhIsOperator = true;
    d.effects = {
        // The customer owes what was not paid; reversal takes exactly that back.
        {Target::Party, "balance", Apply::Add, {{1, Source::HeadAmount}, {-1, Source::HeadPay}, {-1, Source::HeadDeduck}},
         std::vector<Term>{{-1, Source::HeadAmount}, {1, Source::HeadPay}, {1, Source::HeadDeduck}}},
        add(Target::Party, "amount", {{1, Source::HeadAmount}}),
        add(Target::Party, "amount_y", {{1, Source::HeadAmount}}),
        add(Target::Party, "pay", {{1, Source::HeadPay}}),
        add(Target::Party, "pay_y", {{1, Source::HeadPay}}),
        add(Target::Party, "deduck", {{1, Source::HeadDeduck}}),
        add(Target::Party, "deduck_y", {{1, Source::HeadDeduck}}),
        // The till takes in what was paid.
        add(Target::Account, "balance", {{1, Source::HeadPay}}),
        add(Target::Account, "amount", {{1, Source::HeadPay}}),
        add(Target::Account, "amount_y", {{1, Source::HeadPay}}),
        // The goods leave the shop.
        add(Target::Product, "sl", {{-1, Source::RowQty}}),
        add(Target::Product, "sl_out_m", {{1, Source::RowQty}}),
        add(Target::Product, "sl_out_y", {{1, Source::RowQty}}),
    };
    d.warnOnPost = StockWarning::AllRows;
    d.warnOnReverse = StockWarning::None;
    d.afterEffects = [](Connection& c, const Header& h, bool reversing) {
        if (reversing) return;
        storeClosingBalance(c, saleDesc(), h);
        setTurnoverRow(c, QStringLiteral("amount=coalesce(amount,0)+:a, rest=coalesce(amount,0)+:a"), {{"a", h.amount}});
    };

    Texts& t = d.texts;
    t.entryClass = "Tfroutdetail";
    t.entryInstance = "froutdetail";
    t.entryCaption = QStringLiteral("销售明细单");
    t.postedClass = "Tfrfoutdetail";
    t.postedInstance = "frfoutdetail";
    t.postedCaption = QStringLiteral("销售明细单(已过帐)");
    t.layoutClass = "Tfrroutdetail_s";
    t.listInstance = "froutlist";
    t.statusPanels = {QStringLiteral("在商品代码或条码处输入后按回车即可不断录入商品,按上下方向键即显示收银机。"),
                      QStringLiteral("单击“新增或删除”按钮,则可在明细表中增加或删除商品。")};
    t.gridHint = QStringLiteral("双击进入商品表,右击进入客户-商品表选取商品");
    t.codeHint = QStringLiteral("输入代码后按回车键则自动录入商品,当会员号为0000000001时,单价为零售价,否则为会员价.");
    t.codeNote = QStringLiteral("位数≥13为条形码");

    d.boxes = customerBoxes(false);
    d.boxes.push_back({"Edit14", "hjsl", QStringLiteral("合计数量"), false, true, 0});
    d.boxes.push_back({"Edit5", "amount", QStringLiteral("金额合计"), false, true, 2});
    d.boxes.push_back({"Edit8", "", QStringLiteral("总营业额"), false, true, 2});
    d.boxes.push_back({"Edit10", "bankid", QStringLiteral("银行编号"), true, false, -1, QStringLiteral("双击进入银行表"), true});
    d.boxes.push_back({"Edit11", "hjjs", QStringLiteral("合计件数"), false, false, 0});
    d.boxes.push_back({"Edit13", "pay", QStringLiteral("收款合计"), false, false, 2});
    d.boxes.push_back({"Edit15", "deduck", QStringLiteral("扣除金额"), false, false, 2});

    d.postedBoxes = customerBoxes(true);
    d.postedBoxes.push_back({"Edit5", "amount", QStringLiteral("金额合计"), false, true, 2});
    d.postedBoxes.push_back({"Edit14", "hjsl", QStringLiteral("合计数量"), false, true, 0});
    d.postedBoxes.push_back({"Edit7", "balance", QStringLiteral("上期结余"), false, false, 2});
    d.postedBoxes.push_back({"Edit8", "rest", QStringLiteral("累计结余"), false, false, 2});
    d.postedBoxes.push_back({"Edit10", "bankid", QStringLiteral("银行编号"), false, false});
    d.postedBoxes.push_back({"Edit11", "hjjs", QStringLiteral("合计件数"), false, false, 0});
    d.postedBoxes.push_back({"Edit13", "pay", QStringLiteral("收款合计"), false, false, 2});
    d.postedBoxes.push_back({"Edit15", "deduck", QStringLiteral("扣除金额"), false, false, 2});

    d.makeLayout = [](const PrintContext& p) -> std::unique_ptr<report::Layout> {
        return std::make_unique<Tfrroutdetail_s>(p.header, p.rows, frdm->ATcompany);
    };
    d.printPageCount = false;
    // A code typed into 货号 fills its row as the code box does.
    d.grid[0].readOnly = false;
    d.gridEnter.append(qMakePair(QStringLiteral("sphh"), QStringLiteral("code")));
    d.makeEntryWindow = [](const DocDesc& desc, QWidget* owner) -> QWidget* { return new SaleEntryWindow(desc, owner); };
    d.makePostedView = [](const DocDesc& desc, QWidget* owner) -> QWidget* {
        return new SalePostedView(desc, owner, qm::session().pickCode == 99);
    };
    return d;
}

const DocDesc& saleDesc() { return docDesc(DocKind::Sale); }

double turnoverSinceLogin(Connection& c)
{
    return c.scalar(QStringLiteral("SELECT amount FROM totallist ORDER BY rowid LIMIT 1")).toDouble();
}

double runningTurnover(Connection& c, const Header& shown)
{
    // Posting adds the sale to the turnover: a posted sale is counted there once.
    return turnoverSinceLogin(c) + (shown.pass ? 0.0 : shown.amount);
}

double showTurnover(Connection& c, double saleOnScreen)
{
    Transaction t(c);
    const double shown = turnoverSinceLogin(c) + saleOnScreen;
    if (c.scalar(QStringLiteral("SELECT rest FROM totallist ORDER BY rowid LIMIT 1")) != QVariant(shown))
        setTurnoverRow(c, QStringLiteral("rest=:r"), {{"r", shown}});
    t.commit();
    return shown;
}

double showFrontDeskTurnover(Connection& c, double saleOnScreen)
{
    Transaction t(c);
    c.exec(QStringLiteral("UPDATE config SET amount0=coalesce(amount,0)+:s WHERE rowid=(SELECT min(rowid) FROM config) "
                          "AND amount0 IS NOT coalesce(amount,0)+:s"),
           {{"s", saleOnScreen}});
    const double shown = c.scalar(QStringLiteral("SELECT amount0 FROM config ORDER BY rowid LIMIT 1")).toDouble();
    t.commit();
    return shown;
}

DueChanged::DueChanged() : Refusal(QStringLiteral("本单合计已改变,请核对找零后再按确定！")) {}

void postTendered(Connection& c, const QString& docIntno, const HeaderInput& in, double cashTaken,
                  const QString& operatorCode, bool dropLast, std::optional<double> dueShown)
{
    const DocDesc& d = saleDesc();
    Transaction t(c);
    if (readHeader(c, d, docIntno).pass) throw Refusal(text::alreadyPosted());
    // The cash goes into the sale's account; without one it would go nowhere.
    if (!accountExists(c, in.bankId)) throw Refusal(text::noAccount());
    if (dropLast)
        c.exec(QStringLiteral("DELETE FROM outdetail WHERE rowid=(SELECT rowid FROM outdetail WHERE mainintno=:n "
                              "ORDER BY intno DESC LIMIT 1) AND coalesce(spmc,'')=''"),
               {{"n", docIntno}});
    // The till's cost rules: an item given away costs nothing, loose goods
    // (unit "零") cost what they sold for.
    c.exec(QStringLiteral("UPDATE outdetail SET dj_w=0 WHERE mainintno=:n AND coalesce(dj_n,0)=0 AND dj_w IS NOT 0"),
           {{"n", docIntno}});
    c.exec(QStringLiteral("UPDATE outdetail SET dj_w=dj_n WHERE mainintno=:n AND trim(unit)='零' AND dj_w IS NOT dj_n"),
           {{"n", docIntno}});
    // The amount due as the rows stand now.
    const Header h = recalc(c, d, docIntno, in);
    const double due = sale::amountDue(h.amount, h.deduck);
    // The change is the one the tender showed, or nothing is posted.
    if (dueShown && sale::moneyText(*dueShown) != sale::moneyText(due)) throw DueChanged();
    requireInRange(cashTaken, Magnitude::Amount);
    requireInRange(cashTaken - due, Magnitude::Amount);
    // The books take in only what the till was given.
    if (!sale::cashCovers(cashTaken, due)) throw Refusal(text::cashShort());
    c.exec(QStringLiteral("UPDATE outdetail SET pay=:pay, rest=:rest WHERE rowid=(SELECT rowid FROM outdetail "
                          "WHERE mainintno=:n ORDER BY intno DESC LIMIT 1)"),
           {{"n", docIntno}, {"pay", cashTaken}, {"rest", cashTaken - due}});
    c.exec(QStringLiteral("UPDATE outlist SET pay=:pay WHERE intno=:n"), {{"n", docIntno}, {"pay", due}});
    // Recalculated just now, in this transaction: posting goes on from what is stored.
    const Header paid = readHeader(c, d, docIntno);
    postRecalculated(c, d, docIntno, in, paid, readRows(c, d, docIntno), operatorCode);
    c.exec(QStringLiteral("UPDATE config SET amount=coalesce(amount,0)+:a, rest=coalesce(rest,0)+:a "
                          "WHERE rowid=(SELECT min(rowid) FROM config)"),
           {{"a", paid.amount}});
    t.commit();
}

static const bool registered = registerKind(makeSale());

}
