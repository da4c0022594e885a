#include "data/connection.h"
#include <cstring>
#include "data/damage.h"
#include "data/dataset.h"
#include "common/errors.h"
#include "common/formats.h"
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace qm {

bool isBusyCode(int rc) { return (rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED; }

void throwSqliteError(int rc, const QString& msg, sqlite3* db)
{
    switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        throw DbBusyError(msg);
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        // SQLite says the same of a read the disk failed: nothing is marked here.
        if (db && isWorkingDatabase(QString::fromUtf8(sqlite3_db_filename(db, "main")))) throw SuspectedDamageError(msg);
        throw DbDamagedError(msg);
    case SQLITE_INTERRUPT:
        throw DbInterrupted(msg);
    case SQLITE_FULL:
        throw DiskFullError(msg);
    case SQLITE_IOERR:
        throw DbIoError(msg);
    default:
        throw DbError(msg);
    }
}

namespace {
int g_busyWaitMs = 5000;

// The sign is set once, at start; only its own thread reads it.
WaitSign g_waitSign;
std::atomic<std::thread::id> g_signThread;
thread_local bool t_signShown = false;

// Shows the sign once the wait on this thread has lasted long enough.
void showWaitSign(qint64 waitedMs)
{
    if (t_signShown || waitedMs < kWaitSignAfterMs || std::this_thread::get_id() != g_signThread || !g_waitSign.begin)
        return;
    t_signShown = true;
    g_waitSign.begin();
}

// Ends the sign when the call to the library that may have waited returns.
struct WaitEnds {
    ~WaitEnds() { endWaitSign(); }
};
}

void setWaitSign(WaitSign sign)
{
    g_waitSign = std::move(sign);
    g_signThread = std::this_thread::get_id();
}

WaitSign waitSign() { return g_waitSign; }

void endWaitSign()
{
    if (!t_signShown) return;
    t_signShown = false;
    if (g_waitSign.end) g_waitSign.end();
}

// ---------------------------------------------------------------- Statement

Statement::Statement(sqlite3* db, const QString& sql) : db_(db), sql_(sql) { prepare(); }

Statement::Statement(Connection& c, const QString& sql) : db_(c.db_), sql_(sql)
{
    if (db_) stmt_ = c.takeCached(sql);
    if (stmt_) cache_ = &c;
    else {
        prepare();
        cache_ = &c;
    }
}

void Statement::prepare()
{
    if (!db_) throw DbError(QStringLiteral("数据库未连接"));
    QByteArray u = sql_.toUtf8();
    const WaitEnds ends;
    const int rc = sqlite3_prepare_v2(db_, u.constData(), int(u.size()), &stmt_, nullptr);
    if (rc != SQLITE_OK) {
        QString msg = QString::fromUtf8(sqlite3_errmsg(db_));
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
        throwSqliteError(rc, msg + QStringLiteral(" [") + sql_ + QStringLiteral("]"), db_);
    }
}

Statement::~Statement()
{
    if (cache_ && stmt_ && cache_->db_ == db_) cache_->giveBack(sql_, stmt_);
    else sqlite3_finalize(stmt_);
}

void Statement::bindIndex(int idx, const QVariant& v)
{
    if (!stmt_) return;
    int rc;
    if (!v.isValid() || v.isNull()) {
        rc = sqlite3_bind_null(stmt_, idx);
    } else {
        switch (v.typeId()) {
        case QMetaType::Bool:
            rc = sqlite3_bind_int(stmt_, idx, v.toBool() ? 1 : 0);
            break;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Long:
        case QMetaType::ULong:
            rc = sqlite3_bind_int64(stmt_, idx, v.toLongLong());
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            rc = sqlite3_bind_double(stmt_, idx, v.toDouble());
            break;
        case QMetaType::QDate:
            {
                QByteArray b = (v.toDate().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00:00")).toUtf8();
                rc = sqlite3_bind_text(stmt_, idx, b.constData(), int(b.size()), SQLITE_TRANSIENT);
            }
            break;
        case QMetaType::QDateTime:
            {
                QByteArray b = v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8();
                rc = sqlite3_bind_text(stmt_, idx, b.constData(), int(b.size()), SQLITE_TRANSIENT);
            }
            break;
        case QMetaType::QByteArray:
            {
                QByteArray b = v.toByteArray();
                rc = sqlite3_bind_blob(stmt_, idx, b.constData(), int(b.size()), SQLITE_TRANSIENT);
            }
            break;
        default:
            {
                QByteArray b = wholeCharacters(v.toString()).toUtf8();
                rc = sqlite3_bind_text(stmt_, idx, b.constData(), int(b.size()), SQLITE_TRANSIENT);
            }
        }
    }
    if (rc != SQLITE_OK) throw DbError(QString::fromUtf8(sqlite3_errmsg(db_)));
}

void Statement::bind(const QString& name, const QVariant& v)
{
    if (!stmt_) return;
    QString n = name.startsWith(':') ? name : QStringLiteral(":") + name;
    int idx = sqlite3_bind_parameter_index(stmt_, n.toUtf8().constData());
    if (idx == 0) return; // the statement does not use it
    bindIndex(idx, v);
}

void Statement::bind(const Params& params)
{
    for (const auto& p : params) bind(p.first, p.second);
}

bool Statement::step()
{
    if (!stmt_) return false;
    const WaitEnds ends;
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    throwSqliteError(rc, QString::fromUtf8(sqlite3_errmsg(db_)) + QStringLiteral(" [") + sql_ + QStringLiteral("]"), db_);
}

void Statement::reset()
{
    if (stmt_) { sqlite3_reset(stmt_); sqlite3_clear_bindings(stmt_); }
}

int Statement::columnCount() const { return stmt_ ? sqlite3_column_count(stmt_) : 0; }
QString Statement::columnName(int i) const { return QString::fromUtf8(sqlite3_column_name(stmt_, i)); }

QVariant Statement::value(int i) const
{
    switch (sqlite3_column_type(stmt_, i)) {
    case SQLITE_INTEGER: return QVariant(qlonglong(sqlite3_column_int64(stmt_, i)));
    case SQLITE_FLOAT: return QVariant(sqlite3_column_double(stmt_, i));
    case SQLITE_TEXT:
        return QVariant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt_, i)),
                                          sqlite3_column_bytes(stmt_, i)));
    case SQLITE_BLOB:
        return QVariant(QByteArray(reinterpret_cast<const char*>(sqlite3_column_blob(stmt_, i)),
                                   sqlite3_column_bytes(stmt_, i)));
    default: return QVariant();
    }
}

// --------------------------------------------------------------- Connection

Connection::~Connection() { close(); }

namespace {
// rowids(x): the rowids of a query as one blob of 64-bit integers, so that a
// list of half a million rows comes back in one step instead of one a row.
void rowidsStep(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    auto* buf = static_cast<std::vector<qint64>**>(sqlite3_aggregate_context(ctx, sizeof(std::vector<qint64>*)));
    if (!buf) { sqlite3_result_error_nomem(ctx); return; }
    if (!*buf) *buf = new std::vector<qint64>();
    (*buf)->push_back(sqlite3_value_int64(argv[0]));
}

void rowidsFinal(sqlite3_context* ctx)
{
    auto* buf = static_cast<std::vector<qint64>**>(sqlite3_aggregate_context(ctx, 0));
    std::vector<qint64>* v = buf ? *buf : nullptr;
    if (!v || v->empty()) sqlite3_result_zeroblob(ctx, 0);
    else sqlite3_result_blob64(ctx, v->data(), sqlite3_uint64(v->size() * sizeof(qint64)), SQLITE_TRANSIENT);
    delete v;
}

// contains_like(text, pattern): text LIKE pattern, remembering the last text of
// the statement, as a scan of a name index meets the same name again and again.
struct LikeMemo {
    QByteArray text, pattern;
    bool result = false;
    bool valid = false;
};

void containsLike(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    const char* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const char* pattern = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
    if (!text || !pattern) { sqlite3_result_null(ctx); return; }
    const int tn = sqlite3_value_bytes(argv[0]), pn = sqlite3_value_bytes(argv[1]);
    auto* memo = static_cast<LikeMemo*>(sqlite3_get_auxdata(ctx, 1));
    if (!memo) {
        memo = new LikeMemo;
        sqlite3_set_auxdata(ctx, 1, memo, [](void* p) { delete static_cast<LikeMemo*>(p); });
        memo = static_cast<LikeMemo*>(sqlite3_get_auxdata(ctx, 1));
        if (!memo) { sqlite3_result_int(ctx, sqlite3_strlike(pattern, text, 0) == 0); return; }
    }
    if (!memo->valid || memo->text.size() != tn || memo->pattern.size() != pn || std::memcmp(memo->text.constData(), text, size_t(tn)) != 0
        || std::memcmp(memo->pattern.constData(), pattern, size_t(pn)) != 0) {
        memo->text = QByteArray(text, tn);
        memo->pattern = QByteArray(pattern, pn);
        memo->result = sqlite3_strlike(pattern, text, 0) == 0;
        memo->valid = true;
    }
    sqlite3_result_int(ctx, memo->result ? 1 : 0);
}
}

void Connection::open(const QString& path, bool create)
{
    close();
    if (!create && !QFileInfo::exists(path))
        throw DbError(QStringLiteral("找不到数据库文件: ") + path);
    // A connection is used only by the thread that opened it: no locking per call.
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.toUtf8().constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        QString msg = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("cannot open");
        sqlite3_close(db);
        throw DbError(msg + QStringLiteral(": ") + path);
    }
    busyWaitMs_ = g_busyWaitMs;
    sqlite3_busy_handler(db, &Connection::busyHandler, this);
    sqlite3_extended_result_codes(db, 1);
    sqlite3_create_function_v2(db, "rowids", 1, SQLITE_UTF8, nullptr, nullptr, rowidsStep, rowidsFinal, nullptr);
    sqlite3_create_function_v2(db, "contains_like", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, containsLike, nullptr,
                               nullptr, nullptr);
    db_ = db;
    path_ = path;
    try {
        // Reading the schema proves the file is a database at all.
        exec(QStringLiteral("PRAGMA journal_mode=DELETE"));
        exec(QStringLiteral("PRAGMA synchronous=FULL"));
        scalar(QStringLiteral("SELECT count(*) FROM sqlite_master"));
    } catch (...) {
        sqlite3_close(db_);
        db_ = nullptr;
        path_.clear();
        throw;
    }
}

int Connection::busyHandler(void* self, int count)
{
    auto* c = static_cast<Connection*>(self);
    if (count == 0) c->busySince_.start();
    const qint64 waited = c->busySince_.elapsed();
    if (waited >= c->busyWaitMs_) return 0;
    showWaitSign(waited);
    // Short at first, as most locks are short; never past the wait.
    constexpr int kSleepsMs[] = {1, 2, 5, 10, 15, 20};
    const int sleep = kSleepsMs[std::min<size_t>(size_t(count), std::size(kSleepsMs) - 1)];
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min<qint64>(sleep, c->busyWaitMs_ - waited)));
    return 1;
}

void Connection::setBusyWait(int ms) { g_busyWaitMs = ms; }
int Connection::busyWait() { return g_busyWaitMs; }

void Connection::close()
{
    // Datasets detach themselves as they close.
    auto copy = datasets_;
    for (Dataset* ds : copy) ds->close();
    clearCache();
    if (db_) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
}

void Connection::fail(const QString& context) const
{
    QString msg = db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QStringLiteral("数据库未连接");
    throwSqliteError(db_ ? sqlite3_extended_errcode(db_) : SQLITE_ERROR,
                     context.isEmpty() ? msg : msg + QStringLiteral(" [") + context + QStringLiteral("]"), db_);
}

namespace {
constexpr int kCachedStatements = 200;
}

sqlite3_stmt* Connection::takeCached(const QString& sql)
{
    // Taken out while in use, so that the same text run inside its own run
    // prepares a statement of its own.
    return cache_.take(sql);
}

void Connection::giveBack(const QString& sql, sqlite3_stmt* stmt)
{
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    if (cache_.contains(sql) || cache_.size() >= kCachedStatements) sqlite3_finalize(stmt);
    else cache_.insert(sql, stmt);
}

void Connection::clearCache()
{
    for (sqlite3_stmt* s : std::as_const(cache_)) sqlite3_finalize(s);
    cache_.clear();
}

int Connection::exec(const QString& sql, const Params& params)
{
    Statement st(*this, sql);
    st.bind(params);
    while (st.step()) {}
    return sqlite3_changes(db_);
}

void Connection::execScript(const QString& sql)
{
    if (!db_) throw DbError(QStringLiteral("数据库未连接"));
    char* err = nullptr;
    const WaitEnds ends;
    const int rc = sqlite3_exec(db_, sql.toUtf8().constData(), nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        QString msg = QString::fromUtf8(err ? err : "error");
        sqlite3_free(err);
        throwSqliteError(rc, msg, db_);
    }
}

QVariant Connection::scalar(const QString& sql, const Params& params)
{
    Statement st(*this, sql);
    st.bind(params);
    if (st.step()) return st.value(0);
    return QVariant();
}

std::vector<QVariantList> Connection::rows(const QString& sql, const Params& params)
{
    Statement st(*this, sql);
    st.bind(params);
    std::vector<QVariantList> out;
    int n = st.columnCount();
    while (st.step()) {
        QVariantList r;
        r.reserve(n);
        for (int i = 0; i < n; ++i) r << st.value(i);
        out.push_back(std::move(r));
    }
    return out;
}

qint64 Connection::lastInsertRowid() const { return db_ ? sqlite3_last_insert_rowid(db_) : 0; }

bool Connection::inTransaction() const { return db_ && !sqlite3_get_autocommit(db_); }

bool Connection::tableExists(const QString& table)
{
    return scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='table' AND name=:t COLLATE NOCASE"),
                  {{"t", table}}).toInt() > 0;
}

QStringList Connection::columns(const QString& table)
{
    QStringList out;
    Statement st(db_, QStringLiteral("SELECT name FROM pragma_table_info(:t)"));
    st.bind("t", table);
    while (st.step()) out << st.value(0).toString();
    return out;
}

bool Connection::columnExists(const QString& table, const QString& column)
{
    return columns(table).contains(column, Qt::CaseInsensitive);
}

void Connection::backupTo(const QString& target)
{
    if (!db_) throw DbError(QStringLiteral("数据库未连接"));
    backupDatabase(db_, target);
}

void Connection::compact() { exec(QStringLiteral("VACUUM")); }

void Connection::attach(Dataset* ds)
{
    if (std::find(datasets_.begin(), datasets_.end(), ds) == datasets_.end()) datasets_.push_back(ds);
}

void Connection::detach(Dataset* ds)
{
    datasets_.erase(std::remove(datasets_.begin(), datasets_.end(), ds), datasets_.end());
}

// -------------------------------------------------------------- Transaction

Transaction::Transaction(Connection& c, Lock lock) : c_(c)
{
    static int counter = 0;
    if (c_.inTransaction()) {
        nested_ = true;
        savepoint_ = QStringLiteral("sp%1").arg(++counter);
        c_.exec(QStringLiteral("SAVEPOINT ") + savepoint_);
    } else {
        c_.exec(lock == Lock::Deferred ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"));
    }
}

Transaction::~Transaction() { rollback(); }

void Transaction::rollback()
{
    if (done_ || !c_.isOpen()) return;
    done_ = true;
    // An interrupt meant for the statement before (the operator stopping it
    // just as it ended) can stop the ROLLBACK as it starts and leave the
    // transaction open. SQLite drops an interrupt when a statement starts with
    // none running, so a second try goes through.
    for (int tries = 0; tries < 2; ++tries) {
        try {
            if (nested_) {
                c_.exec(QStringLiteral("ROLLBACK TO ") + savepoint_);
                c_.exec(QStringLiteral("RELEASE ") + savepoint_);
            } else if (c_.inTransaction()) {
                c_.exec(QStringLiteral("ROLLBACK"));
            }
            return;
        } catch (...) {
        }
    }
}

void Transaction::commit()
{
    if (done_) return;
    if (nested_) c_.exec(QStringLiteral("RELEASE ") + savepoint_);
    else c_.exec(QStringLiteral("COMMIT"));
    done_ = true;
}

// ------------------------------------------------------------ StatementWatch

StatementWatch::StatementWatch(Connection& c, std::function<bool()> stop) : db_(c.handle()), stop_(std::move(stop))
{
    if (db_) sqlite3_progress_handler(db_, kWatchSteps, &StatementWatch::handler, this);
}

StatementWatch::~StatementWatch()
{
    if (db_) sqlite3_progress_handler(db_, 0, nullptr, nullptr);
}

int StatementWatch::handler(void* self)
{
    auto* w = static_cast<StatementWatch*>(self);
    if (!w->stopped_ && w->stop_ && w->stop_()) w->stopped_ = true;
    return w->stopped_ ? 1 : 0;
}

bool isUsableDatabase(const QString& path)
{
    if (!QFileInfo(path).isFile()) return false;
    sqlite3* db = nullptr;
    bool ok = false;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA quick_check", -1, &st, nullptr) == SQLITE_OK) {
            if (sqlite3_step(st) == SQLITE_ROW) {
                const char* r = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
                ok = r && QByteArray(r) == "ok";
            }
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return ok;
}

}
