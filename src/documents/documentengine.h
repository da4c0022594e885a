#pragma once
// The document engine without any window. Every write step runs as one write
// transaction that re-reads what it depends on (the document's state, the
// stored balances) and is rolled back whole on failure; no step ever asks a
// question or shows a message. The commands at the end of this header put the
// questions and warnings first, then run the step, then report.
//
// Documents and rows are named by their intno; rows are read in intno order,
// so the carried-forward row is always the first.
#include "common/bounds.h"
#include "common/errors.h"
#include "data/connection.h"
#include "documents/dockind.h"
#include <QDate>
#include <QDateTime>
#include <cmath>
#include <optional>
#include <QString>
#include <vector>

namespace qm::doc {

// A refusal found inside a write step: the step rolled back and nothing
// changed; `message` is what the operator is told.
class Refusal : public AppError {
public:
    using AppError::AppError;
};

// The refusal of a write to a document that is posted by now (by this window,
// another one or the front desk): "该单据已过帐,不能修改！".
class PostedRefusal : public Refusal {
public:
    PostedRefusal();
};

// What the entry window's header boxes say. The engine writes these into the
// header at recalculation.
struct HeaderInput {
    QString partyCode;   // 供应商号 / 客户号, as typed
    QString partyName;   // 供货商名
    QString contact;     // 联系人
    QDate date;          // 日期 (invalid: keep the stored one)
    QString remark;      // 摘要 / 地址 (rebuilt by kinds with a summary prefix)
    QString bankId;      // 银行编号
    QString employee;    // 负责人
    QString djh;         // the hidden 单据号
};

// The stored header, as the windows show it.
struct Header {
    QString intno;
    QDateTime billdate;
    QString customerid, customername, persondeal, tel, addr, remark, employeename, bankid, bankname, djh;
    double balance = 0, amount = 0, pay = 0, deduck = 0, rest = 0, hjsl = 0, hjjs = 0, hjss = 0;
    bool pass = false, cancel = false;
};

struct Row {
    qint64 rowid = 0;
    QString intno, spintno, sphh, spmc, unit, remark;
    double sl = 0, dj_w = 0, dj_n = 0, rebate = 0, amount = 0, pay = 0, deduck = 0, rest = 0;
};

// ---------------------------------------------------------------- numbers

// Every number a document stores, typed or computed, keeps to the program's
// bounds (common/bounds.h); a write that would store anything else is refused
// with outOfRangeText() and changes nothing.
// Refusal(outOfRangeText()) when `v` is not in range.
void requireInRange(double v, Magnitude m);
// The magnitude of a row column that holds a number (sl; dj_w, dj_n, rebate;
// amount, pay, deduck, rest); none for the others.
std::optional<Magnitude> rowMagnitude(const QString& column);
// A row's numbers and the amount the kind computes from them; Refusal when
// one is out of range.
void checkRow(const DocDesc& d, const Row& r);
// A cell typed into `row`: the row with `column` set to `value` passes checkRow.
void checkCell(const DocDesc& d, Row row, const QString& column, double value);

// Zero-padded party or account code; a code longer than ten characters is
// refused (empty optional) instead of being cut to another party's code.
std::optional<QString> padPartyCode(const QString& typed);

// Average cost of a product after a purchase row of `qty` at `price` is taken
// in, from `avg` over `stock` held before: the moving average; the row's price
// when nothing was held; the old average when the result leaves the range
// between the two (a negative quantity).
double averageAfterPurchase(double avg, double stock, double qty, double price);
// Its inverse when the row is taken off again from `stock`; the average stays
// when nothing would be left or the result cannot have led to `avg`.
double averageAfterReversal(double avg, double stock, double qty, double price);

// --------------------------------------------------------------- reading

// Throws Refusal when the document no longer exists.
Header readHeader(Connection& c, const DocDesc& d, const QString& docIntno);
std::vector<Row> readRows(Connection& c, const DocDesc& d, const QString& docIntno);

// Whether a cash or bank account of this code exists.
bool accountExists(Connection& c, const QString& id);

// Whether the document is stored as posted (reversed ones included).
bool isPosted(Connection& c, const DocDesc& d, const QString& docIntno);

// ------------------------------------------------------------ write steps
//
// A posted document is written only by posting and reversal: every other step
// below re-reads the header's state inside its write transaction and throws
// PostedRefusal, writing nothing, when it is posted. A caller that writes a
// document's header or rows itself does the same through requireUnposted.
void requireUnposted(Connection& c, const DocDesc& d, const QString& docIntno);

// A new unposted document: header (number, date, default account), the
// carried-forward row when the kind has one, and one new row, with `rowDjh`
// in its djh when given. Returns its number.
QString newDocument(Connection& c, const DocDesc& d, const QString& rowDjh = QString());
// Appends a new row to the document; returns the row's number.
QString addRow(Connection& c, const DocDesc& d, const QString& docIntno);

// The party found by the entry window's lookup column, or nothing.
struct Party {
    QString intno, id, name, persondeal, tel, addr;
    double balance = 0;
};
std::optional<Party> findParty(Connection& c, const DocDesc& d, const QString& paddedCode, bool forPosting);
// Writes a found party into the header (tel, addr, balance, ...) and its
// balance into the carried-forward row.
void applyParty(Connection& c, const DocDesc& d, const QString& docIntno, const QString& code, const Party& p);

// The columns a product code (fewer than 13 characters) or barcode (13 or
// more) puts into a row, with their values; nothing is written. Refusals:
// 查无此货号！, 查无此条形码！. `partyCode` picks the sale's price.
Params productForCode(Connection& c, const DocDesc& d, const QString& code, const QString& partyCode = QString());
// A row's amount from its quantity and prices, or `typed` where the kind has
// the amount typed.
double rowAmount(const DocDesc& d, double sl, double djW, double djN, double rebate, double typed);

// Code entry into the row `rowIntno`: fewer than 13 characters is a product
// code (sphh), 13 or more a barcode (name). Refusals: the carried-forward row,
// 查无此货号！, 查无此条形码！. `partyCode` picks the sale's price.
void enterCode(Connection& c, const DocDesc& d, const QString& rowIntno, const QString& code,
               const QString& partyCode = QString());

// Recalculation: row amounts and running balance, header totals and the boxes'
// columns; rows are rewritten only where something changed. Returns the header
// as stored afterwards.
Header recalc(Connection& c, const DocDesc& d, const QString& docIntno, const HeaderInput& in);

// The header as a recalculation would leave it with `pending` (a row still
// being entered, by its rowid) in place of the stored row, and the pending
// row's amount and running balance; writes nothing.
Header previewTotals(Connection& c, const DocDesc& d, const QString& docIntno, Row& pending);

// Deletes one row (never the carried-forward row: Refusal).
void deleteRow(Connection& c, const DocDesc& d, const QString& rowIntno);

// Copies the product rows of an earlier document into this one, from the
// last row on (the purchase's 历史单号). Refusals: 明细表中的没有记录,请先按新增！,
// 查无该历史单号！.
void copyHistory(Connection& c, const DocDesc& d, const QString& docIntno, const QString& historyIntno);

// Posting: within one transaction re-reads the state (refusing a posted
// document), drops an empty last row when `dropEmptyLast`, recalculates from
// the party's stored balance, marks header and rows, and applies the kind's
// effects. Refusals roll everything back.
void post(Connection& c, const DocDesc& d, const QString& docIntno, const HeaderInput& in, bool dropEmptyLast,
          const QString& operatorCode);
// The rest of posting, for a caller that has just recalculated the document
// inside its own transaction: `h` and `rows` as stored now. Refusals as post's.
void postRecalculated(Connection& c, const DocDesc& d, const QString& docIntno, const HeaderInput& in, const Header& h,
                      const std::vector<Row>& rows, const QString& operatorCode);
// Reversal: re-reads the state (refusing a reversed one), marks cancel on
// header and rows and applies the effects inverted.
void reverse(Connection& c, const DocDesc& d, const QString& docIntno);
// Deletes an unposted document with its rows; a posted one is refused.
void voidDocument(Connection& c, const DocDesc& d, const QString& docIntno);
// Deletes a document whose rows are all blank (no name or no number), or that
// has none, with those rows (退回 of a document left with nothing entered). A
// document with a carried-forward row always keeps it. Returns whether the
// document went.
bool dropIfEmpty(Connection& c, const DocDesc& d, const QString& docIntno);
// Deletes this document's rows without a product name or number, as its entry
// window closes; a kind without a carried-forward row (the sale, the sales
// return) loses the document too when no row is left. Returns the rows deleted.
int purgeBlankRows(Connection& c, const DocDesc& d, const QString& docIntno);

// ------------------------------------------------------ pre-write checks

// Rows whose product has less stock than the row takes ("name的库存数量不足！").
QStringList stockWarnings(Connection& c, const DocDesc& d, const QString& docIntno, bool reversing);

// ------------------------------------------------------------- commands

// The copy of the working database to bak/ when an entry window closes, made
// in the background; a failure reaches the operator with its message.
void copyToBak();

// The checks of 过帐 before its write, from what is stored, with their
// messages: warnings are shown, a refusal is shown with the catch-all (false).
// `dropLast` says whether the write is to drop an empty last row (删除 asked
// where the kind asks). Throws Refusal or AppError for the caller's catch-all.
bool checkBeforePosting(Connection& c, const DocDesc& d, const QString& docIntno, const HeaderInput& in, bool& dropLast);
// 过帐: question, checks and warnings, the write, messages; true when posted.
bool postBill(Connection& c, const DocDesc& d, const QString& docIntno, const HeaderInput& in,
              const QString& operatorCode);
// 冲数: question, checks and warnings, the write; true when reversed.
bool reverseBill(Connection& c, const DocDesc& d, const QString& docIntno);
// 作废: question, the write; true when voided.
bool voidBill(Connection& c, const DocDesc& d, const QString& docIntno);

}
