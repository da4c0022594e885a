// The check of a copy before it replaces anything (checkCopy).
#include "data/connection.h"
#include "data/databasecheck.h"
#include "data/databasecheck_p.h"
#include <QFile>
#include <QFileInfo>
#include <QHashFunctions>
#include <QRegularExpression>
#include <QScopeGuard>
#include <sqlite3.h>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace qm {

using namespace checks;

namespace {

// integrity_check looks every row up in every index, which on the shop's
// data takes over ten times as long as reading the file. The same finding
// comes from sequential reads: a digest of each index's entries summed over a
// scan of the index alone, against the same digest computed from the table's
// rows. An entry missing, extra or different makes the two differ. The sums
// add up in any order, so a large table is read in pieces, and the pieces,
// the index scans and SQLite's own check share a few threads.

quint64 mixBits(quint64 h)
{
    h ^= h >> 31;
    h *= 0x7fb5d329728ea185ull;
    h ^= h >> 27;
    h *= 0x81dadef4bc2dd44dull;
    return h ^ (h >> 33);
}

quint64 valueDigest(sqlite3_value* v)
{
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: {
        // An index may hand back a real column's whole value as an integer.
        double d = sqlite3_value_double(v);
        if (d == 0) d = 0; // -0.0
        quint64 bits;
        std::memcpy(&bits, &d, sizeof bits);
        return mixBits(bits);
    }
    case SQLITE_TEXT:
        return qHashBits(sqlite3_value_text(v), size_t(sqlite3_value_bytes(v)), 1);
    case SQLITE_BLOB:
        return qHashBits(sqlite3_value_blob(v), size_t(sqlite3_value_bytes(v)), 2);
    default:
        return 0x9e3779b97f4a7c15ull;
    }
}

quint64 entryDigest(sqlite3_value* rowid, const quint64* values, const int* at, int n)
{
    quint64 h = mixBits(quint64(sqlite3_value_int64(rowid)));
    for (int i = 0; i < n; ++i) h = mixBits(h ^ values[at ? at[i] : i]);
    return h;
}

constexpr int kMaxDigestValues = 128;

// qm_index_entries(rowid, value, ...): the sum, modulo 2^64, of the entries' digests.
void indexEntriesStep(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    auto* sum = static_cast<quint64*>(sqlite3_aggregate_context(ctx, sizeof(quint64)));
    if (!sum || argc > kMaxDigestValues) {
        sqlite3_result_error_nomem(ctx);
        return;
    }
    quint64 values[kMaxDigestValues];
    for (int i = 1; i < argc; ++i) values[i - 1] = valueDigest(argv[i]);
    *sum += entryDigest(argv[0], values, nullptr, argc - 1);
}

void indexEntriesFinal(sqlite3_context* ctx)
{
    auto* sum = static_cast<quint64*>(sqlite3_aggregate_context(ctx, 0));
    sqlite3_result_int64(ctx, sum ? qint64(*sum) : 0);
}

// What qm_table_entries keeps while it runs: which arguments make each
// index's entry (the positions of its values, and of its partial condition
// or -1), and each index's running sum.
struct TableSums {
    std::vector<std::vector<int>> values;
    std::vector<int> condition;
    std::vector<quint64> sums;
};

TableSums* tableSums(sqlite3_context* ctx, sqlite3_value* layoutText)
{
    auto** slot = static_cast<TableSums**>(sqlite3_aggregate_context(ctx, sizeof(TableSums*)));
    if (!slot) return nullptr;
    if (*slot) return *slot;
    auto* s = new TableSums;
    const char* text = reinterpret_cast<const char*>(sqlite3_value_text(layoutText));
    for (const QByteArray& ix : QByteArray(text ? text : "").split(';')) {
        const QList<QByteArray> parts = ix.split('?');
        std::vector<int> at;
        for (const QByteArray& n : parts[0].split(',')) at.push_back(n.toInt());
        s->values.push_back(std::move(at));
        s->condition.push_back(parts.size() > 1 ? parts[1].toInt() : -1);
    }
    s->sums.assign(s->values.size(), 0);
    return *slot = s;
}

// qm_table_entries(layout, rowid, value, ..., condition, ...): every index's
// sum from one read of the table's rows, as a blob of 64-bit sums. Each value
// is digested once, however many indexes hold it.
void tableEntriesStep(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    TableSums* s = argc <= kMaxDigestValues ? tableSums(ctx, argv[0]) : nullptr;
    if (!s) {
        sqlite3_result_error_nomem(ctx);
        return;
    }
    quint64 values[kMaxDigestValues];
    for (int i = 2; i < argc; ++i) values[i - 2] = valueDigest(argv[i]);
    for (size_t i = 0; i < s->values.size(); ++i) {
        const int cond = s->condition[i];
        if (cond >= 0 && !sqlite3_value_int(argv[cond + 2])) continue;
        s->sums[i] += entryDigest(argv[1], values, s->values[i].data(), int(s->values[i].size()));
    }
}

void tableEntriesFinal(sqlite3_context* ctx)
{
    auto** slot = static_cast<TableSums**>(sqlite3_aggregate_context(ctx, 0));
    const std::unique_ptr<TableSums> s(slot ? *slot : nullptr);
    if (!s) {
        sqlite3_result_null(ctx);
        return;
    }
    sqlite3_result_blob(ctx, s->sums.data(), int(s->sums.size() * sizeof(quint64)), SQLITE_TRANSIENT);
}

QByteArray quoted(const QString& name) { return '"' + name.toUtf8().replace('"', "\"\"") + '"'; }

QString textColumn(sqlite3_stmt* st, int i) { return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i))); }

// One table with indexes, the statements that read its digests and what they found.
struct TableDigests {
    QString table;
    QStringList indexes;
    QByteArray tableSql;               // every index's sums over a range of rowids (?1 to ?2)
    std::vector<QByteArray> indexSql;  // one index's sum from the index alone
    qint64 firstRowid = 0, lastRowid = -1;
    std::vector<quint64> fromTable, fromIndex;
};

// The statements for `table`: its indexes whose entries are columns (not
// expressions); a partial index counts only the rows of its condition.
Probe planTable(sqlite3* db, const QString& table, TableDigests& out)
{
    out.table = table;
    std::vector<std::pair<QString, QString>> indexes;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT name, coalesce(sql, '') FROM sqlite_master WHERE type='index' AND tbl_name=?1", -1, &st, nullptr);
    const QByteArray t = table.toUtf8();
    sqlite3_bind_text(st, 1, t.constData(), int(t.size()), SQLITE_TRANSIENT);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) indexes.emplace_back(textColumn(st, 0), textColumn(st, 1));
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE) return lastError(db, rc);
    static const QRegularExpression partial(QStringLiteral("\\)\\s*WHERE\\s+(.+)$"),
                                            QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    QStringList columns;    // the values read from the table, once each
    QByteArrayList conditions, layout;
    for (const auto& [name, sql] : indexes) {
        QStringList own;
        bool plain = true;
        sqlite3_prepare_v2(db, "SELECT cid, name FROM pragma_index_xinfo(?1) WHERE key ORDER BY seqno", -1, &st, nullptr);
        const QByteArray n = name.toUtf8();
        sqlite3_bind_text(st, 1, n.constData(), int(n.size()), SQLITE_TRANSIENT);
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            if (sqlite3_column_int(st, 0) < 0) plain = false;
            else own << textColumn(st, 1);
        }
        sqlite3_finalize(st);
        if (rc != SQLITE_DONE) return lastError(db, rc);
        if (!plain) continue;
        QStringList added;
        for (const QString& c : own)
            if (!columns.contains(c) && !added.contains(c)) added << c;
        const QRegularExpressionMatch m = partial.match(sql);
        const QByteArray condition = m.hasMatch() ? m.captured(1).trimmed().toUtf8() : QByteArray();
        if (columns.size() + added.size() + conditions.size() + (condition.isEmpty() ? 0 : 1) + 2 > kMaxDigestValues) continue;
        QByteArrayList values;
        for (const QString& c : own) values << quoted(c);
        QByteArray index = "SELECT qm_index_entries(rowid, " + values.join(", ") + ") FROM " + quoted(table) + " INDEXED BY " + quoted(name);
        if (!condition.isEmpty()) index += " WHERE " + condition;
        // An index SQLite will not scan on its own (a condition in another
        // spelling) is left to its check of the pages.
        sqlite3_stmt* probe = nullptr;
        rc = sqlite3_prepare_v2(db, index.constData(), int(index.size()), &probe, nullptr);
        sqlite3_finalize(probe);
        if (rc != SQLITE_OK) {
            const int code = rc & 0xff;
            if (code == SQLITE_CORRUPT || code == SQLITE_NOTADB || isBusyCode(rc)) return lastError(db, rc);
            continue;
        }
        columns += added;
        QByteArrayList at;
        for (const QString& c : own) at << QByteArray::number(columns.indexOf(c));
        QByteArray entry = at.join(',');
        if (!condition.isEmpty()) {
            entry += '?' + QByteArray::number(conditions.size());
            conditions << "coalesce(" + condition + ", 0)";
        }
        layout << entry;
        out.indexes << name;
        out.indexSql.push_back(index);
    }
    if (out.indexes.isEmpty()) return {};
    // Conditions come after the values: their positions move past them.
    for (QByteArray& e : layout) {
        const int q = e.indexOf('?');
        if (q >= 0) e = e.left(q + 1) + QByteArray::number(e.mid(q + 1).toInt() + columns.size());
    }
    QByteArrayList args{'\'' + layout.join(';') + '\'', "rowid"};
    for (const QString& c : columns) args << quoted(c);
    args += conditions;
    out.tableSql = "SELECT qm_table_entries(" + args.join(", ") + ") FROM " + quoted(table) + " NOT INDEXED WHERE rowid BETWEEN ?1 AND ?2";
    out.fromTable.assign(size_t(out.indexes.size()), 0);
    out.fromIndex.assign(size_t(out.indexes.size()), 0);
    sqlite3_prepare_v2(db, ("SELECT min(rowid), max(rowid) FROM " + quoted(table)).constData(), -1, &st, nullptr);
    rc = sqlite3_step(st);
    if (rc == SQLITE_ROW && sqlite3_column_type(st, 0) != SQLITE_NULL) {
        out.firstRowid = sqlite3_column_int64(st, 0);
        out.lastRowid = sqlite3_column_int64(st, 1);
    }
    sqlite3_finalize(st);
    return rc == SQLITE_ROW ? Probe{} : lastError(db, rc);
}

void addDigestFunctions(sqlite3* db)
{
    sqlite3_create_function_v2(db, "qm_index_entries", -1, SQLITE_UTF8, nullptr, nullptr, indexEntriesStep, indexEntriesFinal, nullptr);
    sqlite3_create_function_v2(db, "qm_table_entries", -1, SQLITE_UTF8, nullptr, nullptr, tableEntriesStep, tableEntriesFinal, nullptr);
}

// One piece of the work: SQLite's check, a range of a table's rows, or one index.
struct CheckJob {
    enum Kind { Quick, Rows, Index } kind;
    int table = 0;
    int index = 0;
    qint64 from = 0, to = 0;
};

constexpr qint64 kRowsPerJob = 150000;

// Runs the jobs on `threads` connections of their own; the first failure
// stops them all.
class CopyChecker {
public:
    CopyChecker(const QString& path, std::vector<TableDigests>& tables, const Progress& progress)
        : path_(QFile::encodeName(path)), tables_(tables), progress_(progress)
    {
        jobs_.push_back({CheckJob::Quick});
        for (int t = 0; t < int(tables.size()); ++t) {
            for (qint64 r = tables[t].firstRowid; r <= tables[t].lastRowid; r += kRowsPerJob)
                jobs_.push_back({CheckJob::Rows, t, 0, r, std::min(r + kRowsPerJob - 1, tables[t].lastRowid)});
            for (int i = 0; i < tables[t].indexes.size(); ++i) jobs_.push_back({CheckJob::Index, t, i});
        }
    }

    // The verdict: Usable, Damaged with what was found, or a failure's state.
    DatabaseCheck run(int threads)
    {
        std::vector<std::thread> workers;
        for (int i = 1; i < threads; ++i) workers.emplace_back([this] { work(); });
        work();
        for (std::thread& w : workers) w.join();
        if (!failure_.ok()) return verdict(failure_);
        if (!quickWhole_) return {DatabaseFileState::Damaged, quickMessage_};
        for (const TableDigests& t : tables_)
            for (size_t i = 0; i < t.fromTable.size(); ++i)
                if (t.fromTable[i] != t.fromIndex[i])
                    return {DatabaseFileState::Damaged, QStringLiteral("index %1 does not match table %2").arg(t.indexes[int(i)], t.table)};
        return {DatabaseFileState::Usable, {}};
    }

private:
    void work()
    {
        sqlite3* db = nullptr;
        auto closer = qScopeGuard([&] { sqlite3_close_v2(db); });
        int rc = sqlite3_open_v2(path_.constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
        if (rc == SQLITE_OK) {
            sqlite3_extended_result_codes(db, 1);
            sqlite3_busy_timeout(db, 2000);
            addDigestFunctions(db);
        }
        for (;;) {
            const size_t j = next_++;
            if (j >= jobs_.size() || stop_) return;
            const Probe p = rc == SQLITE_OK ? runJob(db, jobs_[j]) : lastError(db, rc);
            std::lock_guard<std::mutex> lock(m_);
            if (!p.ok()) {
                if (failure_.ok()) failure_ = p;
                stop_ = true;
                return;
            }
            if (progress_) progress_(ProgressStep::Checking, qint64(++done_), qint64(jobs_.size()));
        }
    }

    Probe runJob(sqlite3* db, const CheckJob& job)
    {
        if (job.kind == CheckJob::Quick) {
            bool whole = false;
            const Probe p = quickCheck(db, whole);
            std::lock_guard<std::mutex> lock(m_);
            quickWhole_ = whole;
            quickMessage_ = p.message;
            return p.ok() ? Probe{} : p;
        }
        TableDigests& t = tables_[size_t(job.table)];
        const QByteArray& sql = job.kind == CheckJob::Rows ? t.tableSql : t.indexSql[size_t(job.index)];
        sqlite3_stmt* st = nullptr;
        int rc = sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &st, nullptr);
        if (rc != SQLITE_OK) {
            Probe p = lastError(db, rc);
            sqlite3_finalize(st);
            return p;
        }
        sqlite3_bind_int64(st, 1, job.from);
        sqlite3_bind_int64(st, 2, job.to);
        rc = sqlite3_step(st);
        if (rc == SQLITE_ROW) {
            std::lock_guard<std::mutex> lock(m_);
            if (job.kind == CheckJob::Index) {
                t.fromIndex[size_t(job.index)] = quint64(sqlite3_column_int64(st, 0));
            } else {
                const auto* sums = static_cast<const quint64*>(sqlite3_column_blob(st, 0));
                const size_t n = size_t(sqlite3_column_bytes(st, 0)) / sizeof(quint64);
                for (size_t i = 0; i < n && i < t.fromTable.size(); ++i) {
                    quint64 v;
                    std::memcpy(&v, sums + i, sizeof v);
                    t.fromTable[i] += v;
                }
            }
        }
        Probe p = rc == SQLITE_ROW ? Probe{} : lastError(db, rc);
        sqlite3_finalize(st);
        return p;
    }

    QByteArray path_;
    std::vector<TableDigests>& tables_;
    const Progress& progress_;
    std::vector<CheckJob> jobs_;
    std::atomic<size_t> next_{0};
    std::atomic<bool> stop_{false};
    std::mutex m_;
    Probe failure_;
    bool quickWhole_ = false;
    QString quickMessage_;
    size_t done_ = 0;
};

} // namespace

DatabaseCheck checkCopy(const QString& path, const Progress& progress, int threads)
{
    QFileInfo fi(path);
    if (!fi.isFile() || fi.size() == 0) return {DatabaseFileState::Missing, {}};
    sqlite3* db = nullptr;
    auto closer = qScopeGuard([&] { sqlite3_close_v2(db); });
    int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    if (rc != SQLITE_OK) return verdict(lastError(db, rc));
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, 2000);
    QStringList missing;
    Probe p = missingTables(db, missing);
    if (!p.ok()) return verdict(p);
    if (missing.size() == baseTableCount()) return {DatabaseFileState::NotDatabase, QStringLiteral("missing tables: ") + missing.join(',')};
    if (!missing.isEmpty()) return {DatabaseFileState::MissingTables, missing.join(QLatin1Char(','))};
    addDigestFunctions(db);
    QStringList names;
    p = run(db, "SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite%' "
                "AND sql NOT LIKE '%WITHOUT%ROWID%' ORDER BY name",
            [&](const char* n) { names << QString::fromUtf8(n); });
    if (!p.ok()) return verdict(p);
    std::vector<TableDigests> tables;
    for (const QString& name : names) {
        TableDigests t;
        if (!(p = planTable(db, name, t)).ok()) return verdict(p);
        if (!t.indexes.isEmpty()) tables.push_back(std::move(t));
    }
    sqlite3_close_v2(db);
    db = nullptr;
    if (threads <= 0) threads = int(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
    return CopyChecker(path, tables, progress).run(threads);
}

DatabaseCheck checkFinishedCopy(const QString& path, const Progress& progress, int threads)
{
    bool synced = false;
    std::thread sync([&] { synced = syncFile(path); });
    DatabaseCheck check = checkCopy(path, progress, threads);
    sync.join();
    if (check.state == DatabaseFileState::Usable && !synced) return {DatabaseFileState::Failed, QStringLiteral("sync failed")};
    return check;
}

}
