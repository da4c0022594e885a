#include "admin/datatool.h"
#include "common/errors.h"
#include "data/connection.h"
#include "data/dataset.h"
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStringList>
#include <sqlite3.h>

namespace qm {

namespace {

struct PragmaRefused : DbError {
    explicit PragmaRefused(const QString& pragma) : DbError(pragmaRefusalText(pragma)), pragma(pragma) {}
    QString pragma;
};

// A statement that would end the tool's transaction, reach another database
// file, rewrite the whole file, or leave an object of its own on the connection.
struct StatementRefused : DbError {
    StatementRefused(const QString& why, const QString& sql) : DbError(why + sql) {}
    explicit StatementRefused(const QString& sql)
        : StatementRefused(QStringLiteral("这里不能执行事务、压缩或附加数据库的语句: "), sql)
    {
    }
};

// PRAGMA statements that only read, even when given a table or index name,
// and the two free numbers of the file's header.
bool harmless(const QByteArray& pragma)
{
    static const QByteArray kHarmless[] = {"table_info", "table_xinfo", "index_info", "index_xinfo", "index_list",
                                           "foreign_key_list", "foreign_key_check", "integrity_check", "quick_check",
                                           "user_version", "application_id"};
    for (const QByteArray& r : kHarmless)
        if (pragma.compare(r, Qt::CaseInsensitive) == 0) return true;
    return false;
}

struct Refusal {
    QString pragma;       // a PRAGMA that sets a value
    bool control = false; // a transaction, savepoint, ATTACH or DETACH
    bool temp = false;    // a TEMP table, view, trigger or index
};

// The authorizer sees every statement as the database parses it, whatever
// comments or spelling surround it: transaction control would end the tool's
// one transaction, ATTACH and DETACH reach other files, a PRAGMA that sets a
// value changes how the file is written (journal, sync, read-only, schema) or
// how the connection behaves, and a TEMP object stays on the connection after
// its statement (a TEMP trigger on a table of the file fires at every later
// write through it).
int guard(void* refusal, int action, const char* name, const char* value, const char* database, const char*)
{
    auto* r = static_cast<Refusal*>(refusal);
    switch (action) {
    case SQLITE_CREATE_TEMP_TABLE:
    case SQLITE_CREATE_TEMP_VIEW:
    case SQLITE_CREATE_TEMP_TRIGGER:
    case SQLITE_CREATE_TEMP_INDEX:
        r->temp = true;
        return SQLITE_DENY;
    case SQLITE_CREATE_TABLE:
    case SQLITE_CREATE_VIEW:
    case SQLITE_CREATE_TRIGGER:
    case SQLITE_CREATE_INDEX:
    case SQLITE_CREATE_VTABLE:
    case SQLITE_INSERT:
        // Not every TEMP object is told as one ("create table temp.x as
        // ...", "create trigger temp.t ... on" a table of the file), but each
        // is made in the TEMP database and entered in its schema table.
        if ((!database || qstricmp(database, "temp") != 0) && (!name || qstricmp(name, "sqlite_temp_master") != 0))
            return SQLITE_OK;
        r->temp = true;
        return SQLITE_DENY;
    case SQLITE_TRANSACTION:
    case SQLITE_SAVEPOINT:
    case SQLITE_ATTACH:
    case SQLITE_DETACH:
        r->control = true;
        return SQLITE_DENY;
    case SQLITE_PRAGMA:
        if (!value || !name || harmless(QByteArray(name))) return SQLITE_OK;
        r->pragma = QString::fromUtf8(name);
        return SQLITE_DENY;
    default:
        return SQLITE_OK;
    }
}

// VACUUM, which rewrites the file or copies it elsewhere (INTO), is not put to
// the authorizer: the statement's compiled program tells.
bool vacuums(sqlite3* db, sqlite3_stmt* st)
{
    if (sqlite3_stmt_readonly(st)) return false;
    sqlite3_stmt* ex = nullptr;
    const QByteArray sql = QByteArray("EXPLAIN ") + sqlite3_sql(st);
    bool found = false;
    if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &ex, nullptr) == SQLITE_OK && ex)
        while (!found && sqlite3_step(ex) == SQLITE_ROW)
            found = qstrcmp(reinterpret_cast<const char*>(sqlite3_column_text(ex, 1)), "Vacuum") == 0;
    sqlite3_finalize(ex);
    return found;
}

// The guard, on `db` for as long as this lives.
class Guarded {
public:
    explicit Guarded(sqlite3* db) : db_(db) { sqlite3_set_authorizer(db_, guard, &refused); }
    ~Guarded() { sqlite3_set_authorizer(db_, nullptr, nullptr); }
    Guarded(const Guarded&) = delete;
    Guarded& operator=(const Guarded&) = delete;
    Refusal refused;

private:
    sqlite3* db_;
};

// SQLite reads a text up to its first NUL: the statements end there, and
// whatever follows it would silently not run, so only blanks may.
const char* endOfStatements(const QByteArray& text)
{
    const qsizetype nul = text.indexOf('\0');
    if (nul < 0) return text.constData() + text.size();
    for (qsizetype i = nul; i < text.size(); ++i)
        if (text[i] != '\0' && !QChar::isSpace(uchar(text[i])))
            throw DbError(QStringLiteral("SQL语句中间有空字符(NUL),不能执行！"));
    return text.constData() + nul;
}

// The whole statement that starts at `at`, for a message: up to the first
// semicolon that completes it, or the end.
QString statementAt(const char* at, const char* end)
{
    for (const char* p = at; p < end; ++p)
        if (*p == ';' && sqlite3_complete(QByteArray(at, int(p + 1 - at)).constData()))
            return QString::fromUtf8(at, int(p - at)).trimmed();
    return QString::fromUtf8(at, int(end - at)).trimmed();
}

// Walks the statements of a text under the guard: `visit` gets each prepared
// statement (never a blank one); false from it stops the walk. A refused
// statement throws PragmaRefused or StatementRefused before it runs.
template <typename Visit>
void forEachStatement(sqlite3* db, const QString& sql, Visit visit)
{
    const QByteArray text = sql.toUtf8();
    const char* at = text.constData();
    const char* end = endOfStatements(text);
    Guarded guarded(db);
    const Refusal& refused = guarded.refused;
    while (at < end) {
        sqlite3_stmt* st = nullptr;
        const char* tail = nullptr;
        const int rc = sqlite3_prepare_v2(db, at, int(end - at), &st, &tail);
        if (rc != SQLITE_OK) {
            QString msg = QString::fromUtf8(sqlite3_errmsg(db));
            sqlite3_finalize(st);
            if (!refused.pragma.isEmpty()) throw PragmaRefused(refused.pragma);
            if (refused.control) throw StatementRefused(statementAt(at, end));
            if (refused.temp)
                throw StatementRefused(QStringLiteral("这里不能建立临时的表、视图、触发器或索引: "), statementAt(at, end));
            throwSqliteError(rc, msg, db);
        }
        const char* from = at;
        // A tail that does not move on ends the text.
        at = tail && tail > at && tail <= end ? tail : end;
        if (!st) continue; // only blanks or a comment
        auto done = qScopeGuard([st] { sqlite3_finalize(st); });
        if (vacuums(db, st)) throw StatementRefused(QString::fromUtf8(from, int(at - from)).trimmed());
        if (!visit(st)) return;
    }
}

// The text of the one statement of `sql` when it only reads and returns rows;
// empty otherwise.
QString readOnlyStatement(Connection& c, const QString& sql)
{
    int statements = 0;
    QString text;
    try {
        forEachStatement(c.handle(), sql, [&](sqlite3_stmt* st) {
            ++statements;
            const bool reads = sqlite3_stmt_readonly(st) && sqlite3_column_count(st) > 0;
            text = reads ? QString::fromUtf8(sqlite3_sql(st)).trimmed() : QString();
            return reads && statements == 1;
        });
    } catch (const StatementRefused&) {
        return QString();
    }
    return statements == 1 ? text : QString();
}

} // namespace

QString pragmaRefusalText(const QString& pragma)
{
    return QStringLiteral("数据处理不能执行改变数据库设置的PRAGMA语句(%1),这些设置由本系统自己管理！").arg(pragma);
}

QString refusedPragma(Connection& c, const QString& sql)
{
    try {
        forEachStatement(c.handle(), sql, [](sqlite3_stmt*) { return true; });
    } catch (const PragmaRefused& e) {
        return e.pragma;
    } catch (const DbError&) {
        // Any other fault of the text is reported when it runs.
    }
    return QString();
}

QString dataToolAccessCode() { return QStringLiteral("tzkmoa482067"); }

QString memoSql(const QString& memo)
{
    QStringList lines;
    for (const QString& line : memo.split(QRegularExpression(QStringLiteral("\r\n|\r|\n"))))
        if (!line.trimmed().isEmpty()) lines << line;
    return lines.join(QLatin1Char('\n'));
}

void openToolConnection(Connection& tool, const Connection& program)
{
    if (!program.isOpen()) throw DbError(QStringLiteral("数据库未连接"));
    tool.open(program.path());
    sqlite3* db = tool.handle();
    if (sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr) != SQLITE_OK
        || sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_FTS3_TOKENIZER, 0, nullptr) != SQLITE_OK
        || sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr) != SQLITE_OK) {
        tool.close();
        throw DbError(QStringLiteral("数据库连接不能设为安全方式"));
    }
}

void interruptStatement(Connection& c)
{
    if (c.handle()) sqlite3_interrupt(c.handle());
}

int runStatements(Connection& c, const QString& sql, const std::function<bool()>& stop)
{
    if (!c.isOpen()) throw DbError(QStringLiteral("数据库未连接"));
    Transaction t(c);
    int changed = 0;
    int statements = 0;
    {
        StatementWatch watch(c, stop);
        forEachStatement(c.handle(), sql, [&](sqlite3_stmt* st) {
            int rc;
            while ((rc = sqlite3_step(st)) == SQLITE_ROW) {}
            if (rc != SQLITE_DONE) throwSqliteError(rc, QString::fromUtf8(sqlite3_errmsg(c.handle())), c.handle());
            if (!sqlite3_stmt_readonly(st)) changed += sqlite3_changes(c.handle());
            ++statements;
            return true;
        });
    }
    if (statements == 0) throw DbError(QStringLiteral("没有可执行的SQL语句"));
    // A stop after the last statement still leaves everything as it was.
    if (stop && stop()) throw DbInterrupted(QStringLiteral("interrupted"));
    t.commit();
    return changed;
}

bool isReadOnlyQuery(Connection& c, const QString& sql) { return !readOnlyStatement(c, sql).isEmpty(); }

void openReadOnlyQuery(Dataset* ds, const QString& sql, const std::function<bool()>& stop)
{
    Connection& c = *ds->connection();
    const QString statement = readOnlyStatement(c, sql);
    if (statement.isEmpty()) throw AppError(QStringLiteral("查表只能执行一条只读的查询语句(SELECT)！"));
    ds->close();
    ds->setFetchOnDemand(false);
    ds->setSql(statement);
    // Even a function with a side effect cannot write while the rows are read.
    c.exec(QStringLiteral("PRAGMA query_only=1"));
    auto restore = qScopeGuard([&c] {
        try {
            c.exec(QStringLiteral("PRAGMA query_only=0"));
        } catch (...) {
        }
    });
    Guarded guarded(c.handle());
    StatementWatch watch(c, stop);
    ds->open();
}

void emptyPackageLists(Connection& c)
{
    Transaction t(c);
    c.exec(QStringLiteral("delete from package"));
    c.exec(QStringLiteral("delete from units"));
    t.commit();
}

}
