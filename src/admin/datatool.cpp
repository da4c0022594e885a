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
// file or rewrite the whole file.
struct StatementRefused : DbError {
    explicit StatementRefused(const QString& sql) : DbError(QStringLiteral("这里不能执行事务、压缩或附加数据库的语句: ") + sql) {}
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
};

// The authorizer sees every statement as the database parses it, whatever
// comments or spelling surround it: transaction control would end the tool's
// one transaction, ATTACH and DETACH reach other files, and a PRAGMA that
// sets a value changes how the file is written (journal, sync, read-only,
// schema) or how the program's connection behaves.
int guard(void* refusal, int action, const char* name, const char* value, const char*, const char*)
{
    auto* r = static_cast<Refusal*>(refusal);
    switch (action) {
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

// Walks the statements of a text under the guard: `visit` gets each prepared
// statement (never a blank one); false from it stops the walk. A refused
// statement throws PragmaRefused or StatementRefused before it runs.
template <typename Visit>
void forEachStatement(sqlite3* db, const QString& sql, Visit visit)
{
    const QByteArray text = sql.toUtf8();
    const char* at = text.constData();
    const char* end = at + text.size();
    Refusal refused;
    sqlite3_set_authorizer(db, guard, &refused);
    auto noGuard = qScopeGuard([db] { sqlite3_set_authorizer(db, nullptr, nullptr); });
    while (at < end) {
        sqlite3_stmt* st = nullptr;
        const char* tail = nullptr;
        const int rc = sqlite3_prepare_v2(db, at, int(end - at), &st, &tail);
        const QString statement = QString::fromUtf8(at, int(tail ? tail - at : end - at)).trimmed();
        if (rc != SQLITE_OK) {
            QString msg = QString::fromUtf8(sqlite3_errmsg(db));
            sqlite3_finalize(st);
            if (!refused.pragma.isEmpty()) throw PragmaRefused(refused.pragma);
            if (refused.control) throw StatementRefused(statement);
            throwSqliteError(rc, msg, db);
        }
        at = tail;
        if (!st) continue; // only blanks or a comment
        auto done = qScopeGuard([st] { sqlite3_finalize(st); });
        if (vacuums(db, st)) throw StatementRefused(statement);
        if (!visit(st)) return;
    }
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
    t.commit();
    return changed;
}

bool isReadOnlyQuery(Connection& c, const QString& sql)
{
    int statements = 0;
    bool readOnly = true;
    try {
        forEachStatement(c.handle(), sql, [&](sqlite3_stmt* st) {
            ++statements;
            readOnly = sqlite3_stmt_readonly(st) && sqlite3_column_count(st) > 0;
            return readOnly && statements == 1;
        });
    } catch (const StatementRefused&) {
        return false;
    }
    return statements == 1 && readOnly;
}

void openReadOnlyQuery(Dataset* ds, const QString& sql, const std::function<bool()>& stop)
{
    Connection& c = *ds->connection();
    if (!isReadOnlyQuery(c, sql)) throw AppError(QStringLiteral("查表只能执行一条只读的查询语句(SELECT)！"));
    ds->close();
    ds->setSql(sql);
    // Even a function with a side effect cannot write while the rows are read.
    c.exec(QStringLiteral("PRAGMA query_only=1"));
    auto restore = qScopeGuard([&c] {
        try {
            c.exec(QStringLiteral("PRAGMA query_only=0"));
        } catch (...) {
        }
    });
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
