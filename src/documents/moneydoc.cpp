#include "documents/moneydoc.h"
#include "layouts/tfrrmoney.h"

namespace qm::doc {

namespace {
Effect add(Target t, const QString& column, int sign, Source s) { return {t, column, Apply::Add, {{sign, s}}, {}}; }
}

std::vector<HeaderBox> moneyTotalBoxes()
{
    return {
        {"Edit10", "djh", QStringLiteral("单据号"), false, false},
        {"Edit7", "balance", QStringLiteral("上期结余"), false, true, 2},
        {"Edit5", "amount", QStringLiteral("金额合计"), false, true, 2},
        {"Edit15", "deduck", QStringLiteral("扣除金额"), false, true, 2},
        {"Edit8", "rest", QStringLiteral("累计结余"), false, true, 2},
    };
}

DocDesc makeMoneyDocument(bool receipt)
{
    DocDesc d;
    // Tables and windows are named alike: getlist/putlist, Tfrgetdetail/Tfrputdetail, ...
    const QString k = receipt ? QStringLiteral("get") : QStringLiteral("put");
    d.kind = receipt ? DocKind::Receipt : DocKind::Payment;
    d.headerTable = k + QStringLiteral("list");
    d.detailTable = k + QStringLiteral("detail");
    d.billType = receipt ? QStringLiteral("13") : QStringLiteral("14");
    d.billName = receipt ? QStringLiteral("收款单") : QStringLiteral("付款单");
    d.pickCode = receipt ? 13 : 14;
    d.carriedForward = true;
    d.defaultAccount = false;
    d.newRow = NewRow::CashAccount;

    d.rowAmount = RowAmount::Typed;
    d.running = Running::MinusAmountMinusDeduck;
    d.headerRest = HeaderRest::LastRunning;
    d.totalPay = false;
    d.totalDeduck = true;
    d.totalQty = false;
    d.zeroPieces = false;
    d.writesDjh = true;
    d.writesBankId = false;

    d.rowCopies = {"billdate", "customerid", "customername", "djh"};
    // The partner: its balance becomes the closing balance; reversal adds the
    // money and the deduction back. The money and deductions count as paid.
    d.effects = {
        {Target::Party, "balance", Apply::Add, {{1, Source::HeadChange}},
         std::vector<Term>{{1, Source::HeadAmount}, {1, Source::HeadDeduck}}},
        add(Target::Party, "pay", 1, Source::HeadAmount),
        add(Target::Party, "deduck", 1, Source::HeadDeduck),
        add(Target::Party, "pay_y", 1, Source::HeadAmount),
        add(Target::Party, "deduck_y", 1, Source::HeadDeduck),
    };
    // Each account row: money in (receipt) or out (payment); deductions move no money.
    if (receipt) {
        d.effects.push_back(add(Target::RowAccount, "balance", 1, Source::RowAmount));
        d.effects.push_back(add(Target::RowAccount, "amount", 1, Source::RowAmount));
        d.effects.push_back(add(Target::RowAccount, "amount_y", 1, Source::RowAmount));
    } else {
        d.effects.push_back(add(Target::RowAccount, "balance", -1, Source::RowAmount));
        d.effects.push_back(add(Target::RowAccount, "pay", 1, Source::RowAmount));
        d.effects.push_back(add(Target::RowAccount, "pay_y", 1, Source::RowAmount));
    }
    d.warnOnPost = StockWarning::None;
    d.warnOnReverse = StockWarning::None;

    d.grid = {{"mainintno", {}, true},
              {"sphh", QStringLiteral("银行编号"), true},
              {"spmc", QStringLiteral("银行名称"), true},
              {"amount", {}, false},
              {"deduck", {}, false},
              {"rest", {}, true}};
    d.postedGrid = d.grid;
    for (GridColumn& g : d.postedGrid) g.readOnly = true;
    d.recalcColumns = {"amount", "deduck", "rest"};
    d.gridEnter = {{"amount", "deduck"}, {"deduck", "next"}};
    d.recalcOnOpen = true;
    d.deleteAsks = false;
    d.productRows = false;

    const QString side = receipt ? QStringLiteral("收款") : QStringLiteral("付款");
    Texts& t = d.texts;
    t.entryClass = QStringLiteral("Tfr%1detail").arg(k);
    t.entryInstance = QStringLiteral("fr%1detail").arg(k);
    t.entryCaption = side + QStringLiteral("明细单");
    t.postedClass = QStringLiteral("Tfrf%1detail").arg(k);
    t.postedInstance = QStringLiteral("frf%1detail").arg(k);
    t.postedCaption = side + QStringLiteral("明细单(已过帐)");
    t.layoutClass = QStringLiteral("Tfrr%1detail").arg(k);
    t.listInstance = QStringLiteral("fr%1list").arg(k);
    t.addCaption = QStringLiteral("  新增&A  ");
    t.addHint.clear();
    t.reverseCaption = QStringLiteral(" 冲数 ");
    t.statusPanels = {side + QStringLiteral("明细表中的第一行为上期结转行,不能删除或输入现金银行名,否则该单应作废。"),
                      QStringLiteral("单击“新增或删除”按钮,则在明细表中增加或删除现金银行名。")};
    d.makeLayout = [receipt](const PrintContext& c) -> std::unique_ptr<report::Layout> {
        if (receipt) return std::make_unique<Tfrrgetdetail>(c.header, c.rows);
        return std::make_unique<Tfrrputdetail>(c.header, c.rows);
    };
    return d;
}

}
