#pragma once
// Running-balance reports of one party or account: the customer statement,
// the supplier statement by rows and by document, and the cash and bank
// journal. Each shows an opening row "上期结余" carrying the balance at the
// start of the range (the stored opening of the year plus every posted
// movement before the range, as one aggregate), then the posted rows of the
// range in document order, each with the balance after it.
#include "reports/daterange.h"
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>
#include <QVariant>

namespace qm {
class Dataset;
}

namespace qm::reports {

enum class StatementKind { Customer, SupplierRows, SupplierDocuments, Journal };

struct StatementColumn {
    QString field;
    QString caption; // empty: the field's own label
};

struct StatementDesc {
    StatementKind kind;
    QString className;     // Tfrcusttotal
    QString caption;
    QString menuItem;
    QString partyTable;    // customer, branch, bank
    QString codeEdit;      // Edit9 (Edit3 in the journal)
    QString nameEdit;      // Edit10 (Edit4)
    QString codeLabel;
    QString nameLabel;
    int pickCode = 11;
    QString unknownOnExit; // 查无此客户号！
    QString unknownOnRun;
    QString layout;
    bool printRunsFirst = true;
    bool runsOnShow = false;
    bool hasRemark = true;
    std::vector<StatementColumn> grid;
};

const StatementDesc& statementDesc(StatementKind kind);
const std::vector<StatementKind>& allStatementKinds();
// The shared query of the party table (Aqcustomer, AQbranch, AQbank).
Dataset* partyDataset(const StatementDesc& d);
// The dataset the window's grid and layout show (AQoutdetail, or AQoutlist for
// the statement by document).
Dataset* statementRows(const StatementDesc& d);

// Points the party's query at the padded code; true when that party exists
// (the query then stands on it).
bool findParty(const StatementDesc& d, const QString& paddedCode);

// The balance of the party or account at the from-date's midnight.
double openingBalance(const StatementDesc& d, const QString& paddedCode, double yearOpening, const QDate& from);

// The balance a statement moves by, for each kind of row, as posting moves
// the stored balance:
//   customer  sale +amount -pay -deduck (the document's money, shown on its
//             last row), sales return -amount, receipt -(amount+deduck);
//   supplier  purchase +amount -pay, purchase return -amount,
//             payment -(amount+deduck);
//   account   sale +pay, purchase -pay (both from the document), receipt row
//             +amount, payment row -amount.
// Rows come in the order of date, document number, row number; a range that
// ends today closes at the stored balance.

// One run of a statement: the opening row, the rows of the range walked in
// order a block at a time (no read is held open between blocks), and the
// figures of one aggregate: the balance at the start, the closing balance and
// the number of rows. Only the position and the balance of each row walked
// are kept; the values of a row are read from its table when asked for.
class StatementRun {
public:
    StatementRun(const StatementDesc& d, const QString& paddedCode, const QString& partyName, double yearOpening,
                 const DateRange& r);
    ~StatementRun();
    StatementRun(const StatementRun&) = delete;
    StatementRun& operator=(const StatementRun&) = delete;

    const StatementDesc& desc() const { return d_; }
    QString code() const { return code_; }
    DateRange range() const { return range_; }
    double opening() const { return opening_; }
    double closing() const { return closing_; }
    // The opening row and the rows of the range, as the aggregate counted them.
    int rowCount() const { return count_ + 1; }
    // Rows walked so far (the opening row included).
    int walked() const { return int(entries_.size()); }
    // Walks on until `row` is walked (or the rows run out); false when there
    // is no such row.
    bool walkTo(int row);
    // The balance after a walked row.
    double balanceAt(int row) const;
    // The values of a walked row by the columns of scratchColumns(desc()),
    // then the balance before it and the balance after it.
    QVariantList rowValues(int row) const;
    // The values of the walked rows from `from` to before `to`, as rowValues
    // gives them, in one short read of the file.
    std::vector<QVariantList> rowValues(int from, int to) const;

private:
    struct Impl;
    const StatementDesc& d_;
    QString code_;
    DateRange range_;
    double opening_ = 0, closing_ = 0;
    int count_ = 0;
    std::vector<std::pair<qint64, double>> entries_; // where each row is stored, its balance after
    std::unique_ptr<Impl> impl_;
};

// The columns a statement's rows carry, in the scratch table's names; the
// balance (`rest`) follows them, and the statement by document also keeps the
// balance before each row in `balance`.
QStringList scratchColumns(const StatementDesc& d);

// Prepares the print: empties the statement's scratch tables of the shop's
// file (custtotal and custtotal1, or totallist with its opening row and
// totallist1) in one short transaction, then writes the opening row and the
// rows of the range into the print's own copy of the scratch table
// (custtotal1_print or totallist1_print, a table of this connection alone)
// and shows it through statementRows(d) in the order written, read a block of
// rows at a time as they are asked for. Another program never waits for the
// print longer than one step of its reads; a print that fails or is stopped
// halfway leaves a partial copy that the next one replaces.
void buildStatement(const StatementDesc& d, const QString& paddedCode, const DateRange& r);
// Ends the print: statementRows(d) closes and the print's copy is dropped.
// Never throws.
void releaseStatement(const StatementDesc& d);

// The posted goods rows of one product (sales, sales returns, purchases,
// purchase returns) into custtotal, in one transaction, shown through AQdetail
// in date order. Purchase and purchase-return rows show the price paid.
void fillProductHistory(const QString& spintno);
// AQdetail narrowed to the range.
void showProductHistory(const QString& spintno, const DateRange* r);

}
