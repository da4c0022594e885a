#pragma once
// What the checks of database files share: a statement run to its end,
// and SQLite's answers turned into a file's state.
#include "data/databasecheck.h"
#include <QStringList>
#include <sqlite3.h>
#include <functional>

namespace qm::checks {

struct Probe {
    int rc = SQLITE_OK;
    QString message;
    bool ok() const { return rc == SQLITE_OK; }
};

Probe lastError(sqlite3* db, int rc);
// Runs one statement to its end with `args` bound as text (?1, ?2, ...); each
// row goes to `row`.
Probe query(sqlite3* db, const char* sql, const QStringList& args, const std::function<void(sqlite3_stmt*)>& row = {});
// The same without arguments; the first column of each row goes to `row`.
Probe run(sqlite3* db, const char* sql, const std::function<void(const char*)>& row = {});
DatabaseCheck verdict(const Probe& p);
// The names of the base tables the file lacks; reading the schema also proves
// the header and the first page.
Probe missingTables(sqlite3* db, QStringList& missing);
// How many base tables there are: a file lacking all of them is not this
// program's database.
int baseTableCount();
// SQLite's check of every page, answering whether the file is whole. It
// does not compare the indexes with their tables (checkCopy does).
Probe quickCheck(sqlite3* db, bool& whole);

}
