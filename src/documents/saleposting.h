#pragma once
// Posting and reversal of the customer-side goods documents: the sale and the
// sales return. Plain logic over the connection; windows ask their questions
// and show the warnings of check() first, then call post() or reverse(), each
// one write transaction that re-reads the document and applies every effect,
// or nothing.
//
// Effects (reversal applies the same with the opposite sign):
//   sale:   customer balance += amount - pay - deduck, amount/pay/deduck and
//           their year totals += the header's; the account (bankid) balance,
//           amount and amount_y += pay; stock out of every product row;
//           the header's rest := the customer's new balance.
//   return: customer balance, amount and amount_y -= amount; stock back in.
// A row moves stock when it names a product (spintno of an existing product)
// and its code is not one of the codes for goods without a product record
// ("零" at the front desk, "000" on returns); posting and reversal use the
// same rule.
#include "data/connection.h"
#include <QString>
#include <QStringList>
#include <optional>

namespace qm::sale {

enum class Kind { Sale, SalesReturn };

struct Tables {
    QString header, rows, billType, billName;
};
const Tables& tablesOf(Kind k);

// The customer found by its code (`id`), the code the customer list writes.
struct Customer {
    QString intno, id, name, persondeal, addr, tel;
    double balance = 0;
};
std::optional<Customer> findCustomer(Connection& c, const QString& code);

// Ten-digit form of a typed party code: " 12" gives "0000000012"; a code of
// more than ten characters keeps its last ten.
QString padCode(const QString& typed);

// Where a posting adds the sale to the running turnover.
enum class Turnover {
    None,
    SinceLogin, // the first row of totallist: amount, and rest kept equal
    FrontDesk,  // the options row: amount and rest
};

// What the window must tell the operator before the write.
struct Check {
    QString refusal;     // non-empty: stop after showing it
    QStringList warnings; // shown one by one; the command goes on
};

// Posting: the document must be unposted, have a customer code (not "0"),
// rows that all carry a name, and a customer with that code. Warns for each
// product row that takes more than the stock holds (sale) and for a missing
// account (sale).
Check checkPosting(Connection& c, Kind k, const QString& intno, const QString& customerCode, const QString& bankCode);
// Reversal: the document must be posted and not reversed and the customer must
// exist. Warns for stock below a row's quantity (sales return) and a missing
// account (sale).
Check checkReversal(Connection& c, Kind k, const QString& intno, const QString& customerCode, const QString& bankCode);

// A refusal found inside the write (another program changed the document or
// the customer since the check); nothing was written.
class Refused : public std::runtime_error {
public:
    explicit Refused(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString message() const { return QString::fromUtf8(what()); }
};

struct PostOptions {
    QString operatorCode;            // written into the rows' djh (sale)
    Turnover turnover = Turnover::None;
    // The cash tender: the cash taken in. The last row keeps what was handed
    // over (pay) and the change (rest); the header's pay is what the account
    // keeps, the amount due.
    std::optional<double> cashTaken;
};

// Posts in one transaction; throws Refused (nothing written) when the document
// is no longer unposted or the customer is gone, DbError on a database failure
// (nothing written either).
void post(Connection& c, Kind k, const QString& intno, const QString& customerCode, const QString& bankCode,
          const PostOptions& o);
// Reverses in one transaction; throws Refused or DbError with nothing written.
void reverse(Connection& c, Kind k, const QString& intno, const QString& customerCode, const QString& bankCode);

// The running turnover since login (the first row of totallist) and at the
// front desk (the options row).
double turnover(Connection& c, Turnover t);
// Writes the turnover plus the sale on screen where the window shows it
// (totallist's rest, the options row's amount0); returns that figure.
double showTurnover(Connection& c, Turnover t, double saleOnScreen);

}
