#pragma once
// The database schema: every table and index, and the rows a new database holds.
#include "data/connection.h"

namespace qm {
// Creates every table and index of the current schema in an empty database.
void createSchema(Connection& c);
// Writes the rows the program needs in a new database (options, company,
// administrator, walk-in customer, cash account, date range, numbering, totals).
void seedInitialRows(Connection& c);
// Creates a complete new database file at `path` (which must not exist).
void createInitialDatabase(const QString& path);
}
