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

// The authorizer sees every PRAGMA as the database parses it, whatever its
// spelling: one that sets a value changes how the file is written (journal,
// sync, read-only, schema) or how the program's connection behaves.
int refusePragmaSettings(void* refused, int action, const char* name, const char* value, const char*, const char*)
{
    if (action != SQLITE_PRAGMA || !value || !name || harmless(QByteArray(name))) return SQLITE_OK;
    *static_cast<QString*>(refused) = QString::fromUtf8(name);
    return SQLITE_DENY;
}

// Walks the statements of a text: `visit` gets each prepared statement
// (never a blank one); false from it stops the walk.
template <typename Visit>
void forEachStatement(sqlite3* db, const QString& sql, Visit visit)
{
    const QByteArray text = sql.toUtf8();
    const char* at = text.constData();
    const char* end = at + text.size();
    QString refused;
    sqlite3_set_authorizer(db, refusePragmaSettings, &refused);
    auto noGuard = qScopeGuard([db] { sqlite3_set_authorizer(db, nullptr, nullptr); });
    while (at < end) {
        sqlite3_stmt* st = nullptr;
        const char* tail = nullptr;
        if (sqlite3_prepare_v2(db, at, int(end - at), &st, &tail) != SQLITE_OK) {
            QString msg = QString::fromUtf8(sqlite3_errmsg(db));
            sqlite3_finalize(st);
            if (!refused.isEmpty()) throw PragmaRefused(refused);
            throw DbError(msg);
        }
        at = tail;
        if (!st) continue; // only blanks or a comment
        auto done = qScopeGuard([st] { sqlite3_finalize(st); });
        if (!visit(st)) return;
    }
}

bool controlsTransaction(sqlite3_stmt* st)
{
    static const QRegularExpression re(QStringLiteral("^\\s*(BEGIN|COMMIT|END|ROLLBACK|SAVEPOINT|RELEASE|VACUUM|ATTACH|DETACH)\\b"),
                                       QRegularExpression::CaseInsensitiveOption);
    return re.match(QString::fromUtf8(sqlite3_sql(st))).hasMatch();
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

int runStatements(Connection& c, const QString& sql)
{
    if (!c.isOpen()) throw DbError(QStringLiteral("数据库未连接"));
    Transaction t(c);
    int changed = 0;
    int statements = 0;
    forEachStatement(c.handle(), sql, [&](sqlite3_stmt* st) {
        if (controlsTransaction(st))
            throw DbError(QStringLiteral("这里不能执行事务、压缩或附加数据库的语句: ") + QString::fromUtf8(sqlite3_sql(st)));
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {}
        if (rc != SQLITE_DONE) throw DbError(QString::fromUtf8(sqlite3_errmsg(c.handle())));
        if (!sqlite3_stmt_readonly(st)) changed += sqlite3_changes(c.handle());
        ++statements;
        return true;
    });
    if (statements == 0) throw DbError(QStringLiteral("没有可执行的SQL语句"));
    t.commit();
    return changed;
}

bool isReadOnlyQuery(Connection& c, const QString& sql)
{
    int statements = 0;
    bool readOnly = true;
    forEachStatement(c.handle(), sql, [&](sqlite3_stmt* st) {
        ++statements;
        readOnly = sqlite3_stmt_readonly(st) && sqlite3_column_count(st) > 0 && !controlsTransaction(st);
        return readOnly && statements == 1;
    });
    return statements == 1 && readOnly;
}

void openReadOnlyQuery(Dataset* ds, const QString& sql)
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
