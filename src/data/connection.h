#pragma once
// One SQLite database, opened and closed explicitly. Parameters are named
// (":p1", ":pa2") and always bound, never spliced into the SQL text.
#include <QString>
#include <QVariant>
#include <QList>
#include <QPair>
#include <QStringList>
#include <QHash>
#include <QElapsedTimer>
#include "data/datacopy.h"
#include "data/progress.h"
#include <functional>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace qm {

class Dataset;
class Connection;

// Named parameters: {"p1", value}. A name may be given with or without its colon.
using Params = QList<QPair<QString, QVariant>>;

// A prepared statement; finalized when it goes out of scope.
class Statement {
public:
    Statement(sqlite3* db, const QString& sql);
    // A statement from the connection's cache of prepared statements, given
    // back (reset, bindings cleared) when it goes out of scope.
    Statement(Connection& c, const QString& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void bind(const Params& params);
    void bind(const QString& name, const QVariant& v);
    void bindIndex(int index, const QVariant& v); // 1-based
    // Steps once; true while a row is available.
    bool step();
    void reset();
    int columnCount() const;
    QString columnName(int i) const;
    QVariant value(int i) const;
    sqlite3_stmt* handle() { return stmt_; }

private:
    void prepare();
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
    QString sql_;
    Connection* cache_ = nullptr;
};

class Connection {
public:
    Connection() = default;
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens an existing database file (or creates it when create is true).
    // Throws DbError when the file cannot be opened or is not a database.
    void open(const QString& path, bool create = false);
    // How long a statement waits for another program's lock before it fails
    // with DbBusyError; taken by connections opened afterwards.
    // The wait is spent in short sleeps, so that the lock is taken soon after
    // it is given up, and shown to the operator as WaitSign says.
    static void setBusyWait(int ms);
    static int busyWait();
    // Closes every dataset bound to this connection, then the database.
    void close();
    bool isOpen() const { return db_ != nullptr; }
    QString path() const { return path_; }
    sqlite3* handle() const { return db_; }

    // Runs one command; returns the number of rows changed.
    int exec(const QString& sql, const Params& params = {});
    // Runs several commands separated by ";" (no parameters): schema scripts.
    void execScript(const QString& sql);
    // First column of the first row, or an invalid QVariant when no row.
    QVariant scalar(const QString& sql, const Params& params = {});
    // All rows.
    std::vector<QVariantList> rows(const QString& sql, const Params& params = {});
    qint64 lastInsertRowid() const;

    bool inTransaction() const;
    bool tableExists(const QString& table);
    bool columnExists(const QString& table, const QString& column);
    QStringList columns(const QString& table);

    // Copies the open database over `target` (backupDatabase below).
    // Throws DbError/FileOpenError.
    void backupTo(const QString& target);
    // Rewrites the database file compactly (VACUUM). Must not be in a transaction.
    void compact();

    // Datasets register themselves so that close() closes them.
    void attach(Dataset* ds);
    void detach(Dataset* ds);

    // Raises DbError with the database's last message.
    [[noreturn]] void fail(const QString& context) const;

private:
    friend class Statement;
    // SQLite's busy handler: true (1) while the wait for another
    // connection's lock goes on.
    static int busyHandler(void* self, int count);
    int busyWaitMs_ = 0;
    QElapsedTimer busySince_;
    // Prepared statements kept between runs of the same SQL text: the posting
    // and checkout paths run the same few dozen statements again and again.
    sqlite3_stmt* takeCached(const QString& sql);
    void giveBack(const QString& sql, sqlite3_stmt* stmt);
    void clearCache();

    sqlite3* db_ = nullptr;
    QString path_;
    std::vector<Dataset*> datasets_;
    QHash<QString, sqlite3_stmt*> cache_;
};

// RAII transaction: BEGIN IMMEDIATE, or a savepoint when one is already open.
// A deferred one takes the file's lock only once a statement reads or writes
// it (a read holds it for no longer than the transaction; a write to a table
// of the connection alone never takes it). Rolled back unless commit() is called.
class Transaction {
public:
    enum class Lock { Immediate, Deferred };
    explicit Transaction(Connection& c, Lock lock = Lock::Immediate);
    ~Transaction();
    void commit();
    // Rolls back now rather than at the end of the scope, so that datasets
    // can be brought in step with what is stored before the caller goes on.
    // Harmless after commit() or a rollback SQLite made by itself.
    void rollback();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

private:
    Connection& c_;
    bool nested_ = false;
    bool done_ = false;
    QString savepoint_;
};

// A long statement the operator may stop: while the watch lives, `stop` is
// asked every few thousand steps of the database engine on the connection;
// once it answers true, the statement running fails with DbInterrupted (a
// write rolls back its transaction) and so does every later one until the
// watch ends. `stop` must not use the connection.
class StatementWatch {
public:
    StatementWatch(Connection& c, std::function<bool()> stop);
    ~StatementWatch();
    StatementWatch(const StatementWatch&) = delete;
    StatementWatch& operator=(const StatementWatch&) = delete;

private:
    static constexpr int kWatchSteps = 1000;
    static int handler(void* self);
    sqlite3* db_;
    std::function<bool()> stop_;
    bool stopped_ = false;
};

// What the interface shows while a statement waits for another program's
// lock: `begin` once the wait has lasted kWaitSignAfterMs, on the thread that
// set the sign only (the interface's), from inside the wait, where no event
// may be processed; `end` once the statement is over, whether it got the lock
// or gave up. Waits of other threads show nothing: their work has its own
// window.
struct WaitSign {
    std::function<void()> begin;
    std::function<void()> end;
};
inline constexpr int kWaitSignAfterMs = 300;
void setWaitSign(WaitSign sign);
WaitSign waitSign();
// Ends the sign when one is shown on this thread; statements end it
// themselves, and the interface once its events run again, whatever call
// to the library waited.
void endWaitSign();

// Whether an SQLite result code says another connection held its lock.
bool isBusyCode(int rc);

// Raises the exception that fits an SQLite result code: DbBusyError,
// DbDamagedError (SuspectedDamageError when `db` is the working database's:
// only the working file's own check may call it damaged), DiskFullError,
// DbIoError or DbError.
[[noreturn]] void throwSqliteError(int rc, const QString& msg, sqlite3* db = nullptr);

// Quick test whether a file is a usable SQLite database: it opens and passes
// "PRAGMA quick_check".
bool isUsableDatabase(const QString& path);

}
