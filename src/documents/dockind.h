#pragma once
// The six trading documents share one engine: one entry window, one posted
// view, one numbering, recalculation, posting and reversal. A kind is told by
// its description: tables, bill type and name, party, pick code, whether it has
// the carried-forward row, the row arithmetic and running balance, what posting
// moves (as data: table, key, column, sign and source), the stock warnings, the
// texts, the boxes and grid columns of its windows, and its printed layout.
//
// Each kind lives in a source file of its own that registers its description
// at start-up (purchase.cpp, purchasereturn.cpp, sale.cpp, ...):
//
//   static const bool registered = qm::doc::registerKind(makePurchase());
#include "common/errors.h"
#include <QString>
#include <QList>
#include <QPair>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QWidget;

namespace qm {
class Connection;
class Dataset;
namespace report { class Layout; }

namespace doc {
struct Header;
struct DocDesc;

// The bill types; the numbers are also the pick codes of the kinds' windows.
enum class DocKind { Sale = 1, Purchase = 2, SalesReturn = 5, PurchaseReturn = 6, Receipt = 13, Payment = 14 };

// ------------------------------------------------------------------ effects

// A value that posting reads from the document.
enum class Source {
    HeadAmount,  // header amount
    HeadPay,     // header pay
    HeadDeduck,  // header deduck
    HeadRest,    // header rest (closing balance)
    HeadChange,  // header rest - header balance: what the document moves the party's balance by
    RowQty,      // row sl
    RowAmount,   // row amount
    RowPrice,    // row dj_w (purchase price)
    PartyName,   // the header's party name, trimmed
    OperatorCode // the logged-in operator's number
};

struct Term {
    int sign = 1;
    Source source = Source::HeadAmount;
};

// The record an effect changes.
enum class Target {
    Party,      // the party table of the kind, by its posting column = header customerid
    Account,    // bank, by id = header bankid
    Product,    // product, by intno = row spintno (rows with a product only)
    RowAccount  // bank, by id = row sphh (rows with an account only: receipts and payments)
};

enum class Apply {
    Add,         // column += sum of terms (a stored value plus a change, never a stale total)
    Set,         // column := the first term's value
    AverageCost  // avdj: moving average over the stock before the row (product effects only)
};

struct Effect {
    Target target = Target::Party;
    QString column;
    Apply apply = Apply::Add;
    std::vector<Term> terms;
    // What reversal does. Unset: Add effects add their terms negated, Set
    // effects leave the value as it is, AverageCost takes the inverse average.
    // Set when reversal follows its own arithmetic (the party's balance).
    std::optional<std::vector<Term>> onReverse;
};

// Which rows are checked against the product's stock, with a warning that the
// command goes on after.
enum class StockWarning { None, AllRows, RowsAfterFirst };

// How a row amount is computed at recalculation.
enum class RowAmount {
    QtyTimesPrice,          // sl × dj_w
    QtyTimesSalePriceRebate, // sl × dj_n × rebate / 100
    Typed                   // as typed (money documents)
};

// How the running balance moves from row to row (rows after the first).
enum class Running {
    PlusAmountMinusPay,       // R + amount − pay
    MinusAmount,              // R − amount
    MinusAmountMinusDeduck,   // R − amount − deduck
    FirstRowRest,             // every row gets the first row's rest
    None                      // not kept
};

// What the header's rest becomes at recalculation.
enum class HeaderRest { LastRunning, FirstRowRest, Untouched };

// What a new row holds besides its number and document.
enum class NewRow { Blank, CashAccount, Rebate100 };

// ------------------------------------------------------------ window parts

// An edit box of the header. Boxes tied to a column show it; the others are
// the window's own (code box, history number).
struct HeaderBox {
    QString box;        // objectName: Edit2
    QString column;     // header column it mirrors; empty: none
    QString label;      // 供应商号
    bool editable = false;
    bool visible = true;
    int decimals = -1;  // fixed-point decimals for money and quantities; -1: text
    QString hint;
    bool numeric = false; // typing takes numbers only
};

struct GridColumn {
    QString field;
    QString title;      // empty: the field's label
    bool readOnly = false;
};

struct PartyDesc {
    QString table;            // branch, customer
    QString entryColumn;      // column the entry window's lookup reads: id or intno
    QString postColumn = QStringLiteral("id"); // column posting and reversal find it by
    QString notFound;         // 查无此供应商号！
    QString notFoundOnPost;   // usually notFound
    QString notFoundOnReverse;// 查无此供应商号,不能冲数！
    QString noneChosen;       // 没有选取供应商,不能过帐！
    bool addressIntoRemark = false; // the lookup fills 备注/地址 with the party's address
    bool pickOnClick = false;       // a click on the party box opens the party list (else a double-click)
    // Header columns a found party writes, of: customerintno (its intno),
    // customerid (the padded code), customername, persondeal, tel, addr, balance.
    QStringList lookupColumns = {QStringLiteral("customerid"), QStringLiteral("tel"), QStringLiteral("addr"),
                                 QStringLiteral("balance")};
};

// The prices a product brings into a row on code entry.
enum class CodePrice {
    LatestPurchase, // dj_n := product dj_n (latest purchase price), dj_w := product dj_w
    RetailOrMember  // dj_n := spmz for the walk-in customer, hydj for members; dj_w := product dj_w
};

struct Texts {
    QString entryClass, entryInstance, entryCaption;     // Tfrindetail, frindetail, 进货明细单
    QString postedClass, postedInstance, postedCaption;  // Tfrfindetail, frfindetail, 进货明细单(已过帐)
    QString layoutClass;                                  // Tfrrindetail
    QString listInstance;                                 // frinlist: re-enabled when the windows close
    QStringList statusPanels;
    QString gridHint;
    QString postedGridHint = QStringLiteral("双击某列可进入下级表");
    QString summaryPrefix;    // 购进商品: ; empty when 摘要 is not rebuilt
    QString codeHint = QStringLiteral("输入货品代码后按回车键则自动录入商品,单价为默认进货价"); // the code box
    QString codeNote;         // a label beside the code box; empty: none
    QString addCaption = QStringLiteral("  添加&A  ");  // ToolButton1 of the entry window
    QString addHint = QStringLiteral("在明细表中增加空行");
    QString reverseCaption = QStringLiteral("   冲数   "); // ToolButton6 of the posted view
};

// What printing hands to a layout.
struct PrintContext {
    Dataset* header = nullptr; // positioned on the document
    Dataset* rows = nullptr;
};

// ------------------------------------------------------------- description

struct DocDesc {
    DocKind kind = DocKind::Purchase;
    QString headerTable, detailTable; // inlist, indetail
    QString billType, billName;       // "02", "进货单"
    PartyDesc party;
    int pickCode = 0;
    bool carriedForward = true;

    // New documents.
    bool defaultAccount = false;  // header bankid "0000000001", bankname "现金"
    bool dateWithTime = false;    // billdate carries the time of opening
    NewRow newRow = NewRow::Blank;
    QString partyStart = QStringLiteral("1"); // what the party box starts with

    // Recalculation.
    RowAmount rowAmount = RowAmount::QtyTimesPrice;
    Running running = Running::PlusAmountMinusPay;
    HeaderRest headerRest = HeaderRest::LastRunning;
    bool totalPay = false;      // header pay := sum of row pay
    bool totalDeduck = false;   // header deduck := sum of row deduck (else 0 when zeroDeduck)
    bool zeroDeduck = false;
    bool totalQty = true;       // header hjsl
    bool zeroPieces = true;     // header hjjs := 0
    bool writesDjh = false;     // header djh from the hidden 单据号 box
    bool writesBankId = false;  // header bankid from 银行编号

    // Posting.
    bool headerBillType = true;      // the header gets billtype and billname too
    QStringList rowCopies;           // header columns copied into every row
    bool rowDjhIsOperator = false;   // rows get the operator's number in djh
    std::vector<Effect> effects;     // in order: party, account, product
    bool accountOptional = true;     // a missing account is skipped with a message
    StockWarning warnOnPost = StockWarning::None;
    StockWarning warnOnReverse = StockWarning::None;
    // Rows whose product the command may move; default: spintno not empty.
    std::function<bool(const QString& sphh, const QString& unit, bool reversing)> rowMovesStock;

    // Entry window.
    Texts texts;
    std::vector<HeaderBox> boxes;       // entry window, in Enter order
    std::vector<HeaderBox> postedBoxes; // posted view
    std::vector<GridColumn> grid;       // entry grid
    std::vector<GridColumn> postedGrid; // posted grid
    QStringList recalcColumns;          // leaving these grid columns runs 刷新
    // Enter in a grid column: another column of the same row, "next" (the next
    // row, if any, at the first recalculated column), "add" (刷新, then 添加) or
    // "code" (the typed code fills the row as the code box does).
    QList<QPair<QString, QString>> gridEnter;
    bool recalcOnOpen = false;          // 刷新 runs when the entry window opens, on a new document too
    // The Down arrow in the code box (and 历史单号): "Button1" (新增商品), a
    // grid column to move to, or empty: nothing.
    QString codeBoxDown;
    bool deleteAsks = true;             // 删除 asks "确实要删除当前记录吗?"
    bool historyNumber = false;         // 历史单号 box
    bool newProductButton = false;      // 新增商品
    bool productRows = true;            // rows are products (else accounts)
    CodePrice codePrice = CodePrice::LatestPurchase;
    bool remarkOnCode = false;          // the product code path copies spgg into remark too
                                        // (the barcode path always does)

    // Work of the kind's own inside the posting and reversal transactions,
    // after the effects, with the header as posting read it.
    std::function<void(Connection& c, const Header& h, bool reversing)> afterEffects;

    // Windows of the kind's own, built on the shared ones; unset: the shared ones.
    std::function<QWidget*(const DocDesc& d, QWidget* owner)> makeEntryWindow, makePostedView;

    // Printing: makes the layout over the positioned header and the rows.
    std::function<std::unique_ptr<report::Layout>(const PrintContext&)> makeLayout;
    bool printPageCount = true;         // page count, preparer and company title
};

// Registers a kind; returns true so that it can initialise a static.
bool registerKind(const DocDesc& desc);
bool hasKind(DocKind kind);
// Throws AppError for a kind nobody registered.
const DocDesc& docDesc(DocKind kind);
QList<DocKind> registeredKinds();

// The caption-less messages every kind shares.
namespace text {
inline QString carriedForward() { return QStringLiteral("上期结转"); }
// Inside the handler of a failure caused by another program holding the
// data, the operator is told that instead.
inline QString catchAll()
{
    if (isDataInUse(std::current_exception())) return dataInUseText();
    return QStringLiteral("该功能暂时不能执行，请重新操作！");
}
inline QString confirmPost() { return QStringLiteral("单据确实要过帐吗?"); }
inline QString confirmReverse() { return QStringLiteral("确实要冲数该单据吗?"); }
inline QString confirmVoid() { return QStringLiteral("单据确实要废弃吗?"); }
inline QString confirmDelete() { return QStringLiteral("确实要删除当前记录吗?"); }
inline QString alreadyPosted() { return QStringLiteral("该单据已过帐,不能再过帐！"); }
inline QString alreadyReversed() { return QStringLiteral("该单据已冲数,不能再冲数！"); }
inline QString postedNoChange() { return QStringLiteral("该单据已过帐,不能修改！"); }
inline QString noProductName() { return QStringLiteral("没有商品名,不能过帐！"); }
inline QString noAccount() { return QStringLiteral("查无此银行编号！"); }
inline QString cashShort() { return QStringLiteral("收款金额不足,请重新输入！"); }
inline QString lowStock() { return QStringLiteral("的库存数量不足！"); }
inline QString openFailed() { return QStringLiteral("新开单失败,请单击废弃按钮."); }
inline QString cannotSave() { return QStringLiteral("单据不能保存！"); }
inline QString noCode() { return QStringLiteral("查无此货号！"); }
inline QString noBarcode() { return QStringLiteral("查无此条形码！"); }
inline QString noRowsYet() { return QStringLiteral("明细表中的没有记录,请先按新增！"); }
inline QString noHistory() { return QStringLiteral("查无该历史单号！"); }
inline QString copySourceMissing() { return QStringLiteral("数据没有成功复制,请检查前台连接线路及前台数据位置的设置！ "); }
inline QString copyFailed() { return QStringLiteral("请检查本系统的数据备份目录bak是否存在！ "); }
}

}
}
