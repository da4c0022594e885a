#pragma once
// The database schema: every table and index, and the rows a new database holds.
#include "data/connection.h"
#include <QString>
#include <QStringList>
#include <vector>

namespace qm {

// Kinds of column and how each is stored:
//   Key     code or number text, compared without regard to case
//   Text    text, empty by default
//   Real    double, 0 by default
//   Bool    0 or 1, never null
//   Date    'yyyy-MM-dd HH:mm:ss' text, null when there is no date
//   Memo    free text
//   Counter INTEGER PRIMARY KEY AUTOINCREMENT
enum class ColumnKind { Key, Text, Real, Bool, Date, Memo, Counter };

struct ColumnDef {
    const char* name;
    ColumnKind kind;
    int size; // characters, for Key and Text; 0 otherwise
};

struct TableDef {
    const char* name;
    std::vector<ColumnDef> columns;
};

// Every table of the current schema, columns in their order.
const std::vector<TableDef>& schemaTables();
// The columns of one table of the current schema; throws DbError for an unknown name.
const std::vector<ColumnDef>& tableColumns(const QString& table);
// The column's declaration as it stands in CREATE TABLE (used by the upgrades too).
QString columnDeclaration(const ColumnDef& c);

// Creates every table and index of the current schema in an empty database.
void createSchema(Connection& c);
// Writes the rows the program needs in a new database (options, company,
// administrator, walk-in customer, cash account, date range, numbering, totals).
void seedInitialRows(Connection& c);
// Creates a complete new database file at `path` (which must not exist).
void createInitialDatabase(const QString& path);

// The indexes of the report windows: party, product and account rows by date,
// and the statements' rows in their order with the money they sum.
struct IndexDef {
    QString name;
    QString table;
    QStringList columns;
    QString where; // a partial index: the condition its rows meet
    QString sql() const; // CREATE INDEX IF NOT EXISTS
};
std::vector<IndexDef> reportIndexes();

// First values of the options row: what the options window builds from its defaults.
inline constexpr const char* kDefaultAmountFormat = "0.00";
inline constexpr const char* kDefaultPriceFormat = "0.00";
inline constexpr const char* kDefaultQtyFormat = "0.";
inline constexpr const char* kDefaultWeightFormat = "0.00";
// The administrator of a new database and its first password.
inline constexpr const char* kAdministratorCode = "999";
inline constexpr const char* kAdministratorFirstPassword = "888";
}
