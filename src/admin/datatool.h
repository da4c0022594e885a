#pragma once
// The administrator's data tool: free SQL against the database, and a look
// at the result of a free query.
#include <QString>
#include <functional>

namespace qm {

class Connection;
class Dataset;

// The fixed access code of the tool.
QString dataToolAccessCode();

// The memo's lines that are not blank, one statement spread over them.
QString memoSql(const QString& memo);

// The first PRAGMA of `sql` that sets a value (journal_mode=OFF,
// synchronous, query_only, writable_schema, ...), empty when there is none.
// Such settings belong to the program: the tool refuses them.
QString refusedPragma(Connection& c, const QString& sql);
QString pragmaRefusalText(const QString& pragma);

// Opens `tool`, the tool's own connection to the database file of `program`.
// The free SQL runs there, never on the program's connection, and off the
// interface thread. SQLite's defensive mode is on (no writes to the schema or
// to the hidden tables of full-text indexes), and nothing the free SQL makes
// outlives its statement on the connection: the two-argument fts3_tokenizer,
// which takes a raw pointer, and extension loading are off, and the
// statements below refuse TEMP tables, views, triggers and indexes.
void openToolConnection(Connection& tool, const Connection& program);
// Stops the statement running on `c`; called from another thread than the
// one running it. The statement fails with DbInterrupted.
void interruptStatement(Connection& c);

// Runs every statement of `sql` in one transaction and returns the number of
// rows they changed. Any failing statement rolls all of them back and throws
// DbError; an empty text, PRAGMA settings, transaction control, ATTACH,
// DETACH, VACUUM and TEMP objects are refused the same way before they run.
// A NUL ends the text; text after it is refused. While it runs, `stop` is
// asked now and then on the running thread (it must not use the connection);
// once it answers true, before the commit at the latest, everything is
// rolled back and DbInterrupted thrown.
int runStatements(Connection& c, const QString& sql, const std::function<bool()>& stop = {});

// True when `sql` is exactly one statement that only reads and returns rows.
bool isReadOnlyQuery(Connection& c, const QString& sql);
// Opens `ds` on the query after isReadOnlyQuery, reading all its rows; the
// database refuses any write while it runs. Throws AppError for anything
// else, and DbInterrupted (`ds` left closed) once `stop` answers true.
void openReadOnlyQuery(Dataset* ds, const QString& sql, const std::function<bool()>& stop = {});

// Empties package, then units, in one transaction.
void emptyPackageLists(Connection& c);

}
