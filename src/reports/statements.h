#pragma once
// Running-balance reports of one party or account: the customer statement,
// the supplier statement by rows and by document, and the cash and bank
// journal. Each shows an opening row "上期结余" carrying the balance at the
// start of the range (the stored opening of the year plus every posted
// movement before the range, as one aggregate), then the posted rows of the
// range in date order, each with the balance after it.
#include "reports/daterange.h"
#include <QString>
#include <QStringList>
#include <vector>

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

// Rebuilds the statement of the party the query stands on: the scratch tables
// are emptied and refilled with the opening row and the rows of the range in
// one short transaction (a failure leaves them as they were), then the rows
// are shown through statementRows(d) in the order written.
void buildStatement(const StatementDesc& d, const QString& paddedCode, const DateRange& r);

// The posted goods rows of one product (sales, sales returns, purchases,
// purchase returns) into custtotal, in one transaction, shown through AQdetail
// in date order. Purchase and purchase-return rows show the price paid.
void fillProductHistory(const QString& spintno);
// AQdetail narrowed to the range.
void showProductHistory(const QString& spintno, const DateRange* r);

}
