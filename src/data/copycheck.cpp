// The check of a copy before it replaces anything (checkCopy).
#include "data/connection.h"
#include "data/databasecheck.h"
#include "data/databasecheck_p.h"
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <sqlite3.h>
#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qm {

using namespace checks;

namespace {

// integrity_check looks every row up in every index, which on the shop's
// data takes over ten times as long as reading the file. The same finding
// comes from sequential reads: a digest of each index's entries summed over a
// scan of the index alone, against the same digest computed from the table's
// rows. An entry missing, extra or different makes the two differ. A sum does
// not see order, so the scan of an index also compares each entry with the
// one before it as SQLite orders them: a page out of place, or a key repeated
// in a UNIQUE index, is found there. The sums add up in any order, so a large
// table is read in pieces cut where its b-tree's upper pages cut it, and the
// pieces, the index scans and SQLite's own check share a few threads.

quint64 mixBits(quint64 h)
{
    h ^= h >> 31;
    h *= 0x7fb5d329728ea185ull;
    h ^= h >> 27;
    h *= 0x81dadef4bc2dd44dull;
    return h ^ (h >> 33);
}

// SQLite's built-in collations; an index on another is not compared here.
enum class Collation { Binary, NoCase, RTrim };

// One value of an entry, as read for its digest and its order (left
// uninitialized in arrays: keyValue sets every field).
struct KeyValue {
    enum Kind { Null, Number, Text, Blob } kind; // SQLite's order of kinds
    bool real;
    qint64 i;
    double r;
    const unsigned char* bytes;
    int size;
};

KeyValue keyValue(sqlite3_value* v)
{
    KeyValue k{KeyValue::Null, false, 0, 0, nullptr, 0};
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        k.kind = KeyValue::Number;
        k.i = sqlite3_value_int64(v);
        break;
    case SQLITE_FLOAT:
        k.kind = KeyValue::Number;
        k.real = true;
        k.r = sqlite3_value_double(v);
        break;
    case SQLITE_TEXT:
        k.kind = KeyValue::Text;
        k.bytes = sqlite3_value_text(v);
        k.size = sqlite3_value_bytes(v);
        break;
    case SQLITE_BLOB:
        k.kind = KeyValue::Blob;
        k.bytes = static_cast<const unsigned char*>(sqlite3_value_blob(v));
        k.size = sqlite3_value_bytes(v);
        break;
    default:
        break;
    }
    if (!k.bytes) k.size = 0;
    return k;
}

// ASCII capitals to small letters in each byte of a word.
quint64 foldWord(quint64 w)
{
    constexpr quint64 ones = 0x0101010101010101ull;
    const quint64 low = w & (0x7f * ones);
    const quint64 capital = (low + (0x80 - 'A') * ones) & ~(low + (0x80 - 'Z' - 1) * ones) & ~w & (0x80 * ones);
    return w | capital >> 2;
}

// A digest of bytes, a word at a time: the sums need values spread over all
// 64 bits, not resistance to chosen input.
template <bool Fold>
quint64 bytesDigest(const unsigned char* p, size_t n, quint64 seed)
{
    quint64 h = seed ^ (quint64(n) * 0x9e3779b97f4a7c15ull);
    for (; n >= 8; p += 8, n -= 8) {
        quint64 w;
        std::memcpy(&w, p, 8);
        h = (h ^ (Fold ? foldWord(w) : w)) * 0x9fb21c651e98df25ull;
        h ^= h >> 29;
    }
    if (n > 0) {
        quint64 w = 0;
        std::memcpy(&w, p, n);
        h = (h ^ (Fold ? foldWord(w) : w)) * 0x9fb21c651e98df25ull;
    }
    return mixBits(h);
}

// Values that SQLite takes for equal in an index digest alike: a whole REAL
// as the integer it equals (an index may hand back a real column's whole
// value as an integer), text as its collation compares it. NOCASE folds
// ASCII letters only and stops at a NUL byte, after which only the length
// counts; RTRIM drops trailing blanks.
quint64 keyDigest(const KeyValue& v, Collation c)
{
    switch (v.kind) {
    case KeyValue::Null:
        return 0x9e3779b97f4a7c15ull;
    case KeyValue::Number:
        if (!v.real) return mixBits(quint64(v.i));
        if (v.r >= -0x1p63 && v.r < 0x1p63 && v.r == std::trunc(v.r)) return mixBits(quint64(qint64(v.r)));
        quint64 bits;
        std::memcpy(&bits, &v.r, sizeof bits);
        return mixBits(bits ^ 0x5851f42d4c957f2dull);
    case KeyValue::Text: {
        size_t n = size_t(v.size);
        if (c == Collation::NoCase) {
            const void* nul = n > 0 ? std::memchr(v.bytes, 0, n) : nullptr;
            const size_t before = nul ? size_t(static_cast<const unsigned char*>(nul) - v.bytes) : n;
            return bytesDigest<true>(v.bytes, before, 1 + (quint64(n) << 8));
        }
        if (c == Collation::RTrim)
            while (n > 0 && v.bytes[n - 1] == ' ') --n;
        return bytesDigest<false>(v.bytes, n, 1);
    }
    case KeyValue::Blob:
        return bytesDigest<false>(v.bytes, size_t(v.size), 2);
    }
    return 0;
}

quint64 entryDigest(qint64 rowid, const quint64* values, const int* at, int n)
{
    quint64 h = mixBits(quint64(rowid));
    for (int i = 0; i < n; ++i) h = mixBits(h ^ values[at ? at[i] : i]);
    return h;
}

// The most arguments a digest statement takes: planTable leaves out an index
// whose statements would take more (or more than SQLite lets a function
// take), so the digest functions' arrays hold their values.
constexpr int kMaxDigestValues = 128;

int sign(bool less, bool greater) { return less ? -1 : greater ? 1 : 0; }

// The sign of i - r, exactly, whatever their magnitudes (r is never a NaN:
// SQLite reads one as NULL).
int compareIntReal(qint64 i, double r)
{
    if (r < -0x1p63) return 1;
    if (r >= 0x1p63) return -1;
    const qint64 whole = qint64(r); // exact: |r| < 2^63, and toward zero
    if (i != whole) return sign(i < whole, i > whole);
    return sign(r > double(whole), r < double(whole));
}

int compareNumbers(const KeyValue& a, const KeyValue& b)
{
    if (!a.real && !b.real) return sign(a.i < b.i, a.i > b.i);
    if (a.real && b.real) return sign(a.r < b.r, a.r > b.r);
    return a.real ? -compareIntReal(b.i, a.r) : compareIntReal(a.i, b.r);
}

int foldAscii(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }

int compareBytes(Collation c, const unsigned char* a, int na, const unsigned char* b, int nb)
{
    if (c == Collation::RTrim) {
        while (na > 0 && a[na - 1] == ' ') --na;
        while (nb > 0 && b[nb - 1] == ' ') --nb;
    }
    const int n = std::min(na, nb);
    int r = 0;
    if (c == Collation::NoCase) {
        int k = 0;
        while (k < n && a[k] != 0 && foldAscii(a[k]) == foldAscii(b[k])) ++k;
        r = k < n ? foldAscii(a[k]) - foldAscii(b[k]) : 0;
    } else if (n > 0) {
        r = std::memcmp(a, b, size_t(n));
    }
    // memcmp's result may be any int; the caller negates it for a DESC key.
    return r != 0 ? sign(r < 0, r > 0) : sign(na < nb, na > nb);
}

// The sign of a - b in one key column, before its direction.
int compareKeys(Collation c, const KeyValue& a, const KeyValue& b)
{
    if (a.kind != b.kind) return sign(a.kind < b.kind, a.kind > b.kind);
    switch (a.kind) {
    case KeyValue::Null: return 0;
    case KeyValue::Number: return compareNumbers(a, b);
    case KeyValue::Text: return compareBytes(c, a.bytes, a.size, b.bytes, b.size);
    case KeyValue::Blob: return compareBytes(Collation::Binary, a.bytes, a.size, b.bytes, b.size);
    }
    return 0;
}

struct KeyColumn {
    Collation collation = Collation::Binary;
    bool descending = false;
};

// One index whose entries are columns of its table: the statement that reads
// its sum from the index alone, and how its entries compare and are ordered.
struct IndexPlan {
    QString name;
    QByteArray sql; // the plan in ?1
    std::vector<KeyColumn> keys;
    bool ordered = false; // whether the order is checked (text in UTF-8)
    bool unique = false;
    QByteArray outOfOrder, repeated; // what a fault is reported as
};

// What the scan of an index keeps: its sum and the entry before.
struct IndexScan {
    explicit IndexScan(const IndexPlan* p) : plan(p) {}
    const IndexPlan* plan;
    quint64 sum = 0;
    bool started = false;
    qint64 lastRowid = 0;
    std::vector<KeyValue> last;
    std::string lastBytes; // the text and blobs of `last`

    // The fault of this entry following the one before it, or null. An
    // entry's last key is its rowid; a UNIQUE index may repeat keys that hold
    // a NULL.
    const QByteArray* follow(qint64 rowid, const KeyValue* values)
    {
        const size_t n = plan->keys.size();
        if (started) {
            int c = 0;
            bool null = false;
            for (size_t k = 0; k < n && c == 0; ++k) {
                null = null || values[k].kind == KeyValue::Null;
                c = compareKeys(plan->keys[k].collation, values[k], last[k]);
                if (plan->keys[k].descending) c = -c;
            }
            if (c == 0 && plan->unique && !null) return &plan->repeated;
            if (c < 0 || (c == 0 && rowid <= lastRowid)) return &plan->outOfOrder;
        }
        size_t bytes = 0;
        for (size_t k = 0; k < n; ++k) bytes += size_t(values[k].size);
        if (lastBytes.size() < bytes) lastBytes.resize(bytes);
        last.assign(values, values + n);
        char* to = lastBytes.data();
        for (KeyValue& v : last) {
            if (v.size > 0) std::memcpy(to, v.bytes, size_t(v.size));
            v.bytes = reinterpret_cast<const unsigned char*>(to);
            to += v.size;
        }
        lastRowid = rowid;
        started = true;
        return nullptr;
    }
};

// One table with indexes: the statements that read its digests and what they found.
struct TableDigests {
    QString table;
    std::vector<IndexPlan> indexes;
    // The table statement's values: a column under the collation of an
    // index, once each. For each index, which of them make its entry, and
    // which value is its partial condition (or -1).
    std::vector<Collation> valueCollations;
    std::vector<std::vector<int>> entryValues;
    std::vector<int> condition;
    QByteArray tableSql; // every index's sums over the rowids ?1 to ?2, the plan in ?3
    std::vector<std::pair<qint64, qint64>> ranges;
    std::vector<quint64> fromTable, fromIndex;
};

const char* const kIndexPlanType = "qm_index_plan";
const char* const kTablePlanType = "qm_table_plan";

// The state of an aggregate between rows, with the plan it was given in its
// first argument; SQLite frees the slot, the final call the state.
template <class State, class Plan>
State* aggregateState(sqlite3_context* ctx, sqlite3_value* plan, const char* type)
{
    auto** slot = static_cast<State**>(sqlite3_aggregate_context(ctx, sizeof(State*)));
    if (!slot) return nullptr;
    if (!*slot) {
        const auto* p = static_cast<const Plan*>(sqlite3_value_pointer(plan, type));
        if (!p) return nullptr;
        *slot = new State(p);
    }
    return *slot;
}

template <class State>
std::unique_ptr<State> finalState(sqlite3_context* ctx)
{
    auto** slot = static_cast<State**>(sqlite3_aggregate_context(ctx, 0));
    return std::unique_ptr<State>(slot ? *slot : nullptr);
}

// qm_index_entries(plan, rowid, value, ...), over an index's entries in its
// order: the sum, modulo 2^64, of their digests; an entry out of order, or a
// repeated key of a UNIQUE index, stops the scan as damage.
void indexEntriesStep(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    IndexScan* s = aggregateState<IndexScan, IndexPlan>(ctx, argv[0], kIndexPlanType);
    if (!s) {
        sqlite3_result_error_nomem(ctx);
        return;
    }
    const IndexPlan& plan = *s->plan;
    const qint64 rowid = sqlite3_value_int64(argv[1]);
    KeyValue keys[kMaxDigestValues];
    quint64 values[kMaxDigestValues];
    const int n = int(plan.keys.size());
    for (int i = 0; i < n; ++i) {
        keys[i] = keyValue(argv[i + 2]);
        values[i] = keyDigest(keys[i], plan.keys[size_t(i)].collation);
    }
    s->sum += entryDigest(rowid, values, nullptr, n);
    if (!plan.ordered) return;
    if (const QByteArray* fault = s->follow(rowid, keys)) {
        sqlite3_result_error(ctx, fault->constData(), int(fault->size()));
        sqlite3_result_error_code(ctx, SQLITE_CORRUPT);
    }
}

void indexEntriesFinal(sqlite3_context* ctx)
{
    const std::unique_ptr<IndexScan> s = finalState<IndexScan>(ctx);
    sqlite3_result_int64(ctx, s ? qint64(s->sum) : 0);
}

struct TableSums {
    explicit TableSums(const TableDigests* p) : plan(p), sums(p->entryValues.size()) {}
    const TableDigests* plan;
    std::vector<quint64> sums;
};

// qm_table_entries(plan, rowid, value, ..., condition, ...): every index's
// sum from one read of the table's rows, as a blob of 64-bit sums. Each value
// is digested once for each collation its indexes compare it by.
void tableEntriesStep(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    TableSums* s = aggregateState<TableSums, TableDigests>(ctx, argv[0], kTablePlanType);
    if (!s) {
        sqlite3_result_error_nomem(ctx);
        return;
    }
    const TableDigests& t = *s->plan;
    const qint64 rowid = sqlite3_value_int64(argv[1]);
    quint64 values[kMaxDigestValues];
    const int n = int(t.valueCollations.size());
    for (int i = 0; i < n; ++i) values[i] = keyDigest(keyValue(argv[i + 2]), t.valueCollations[size_t(i)]);
    for (size_t i = 0; i < t.entryValues.size(); ++i) {
        const int cond = t.condition[i];
        if (cond >= 0 && sqlite3_value_int(argv[cond + 2]) == 0) continue;
        s->sums[i] += entryDigest(rowid, values, t.entryValues[i].data(), int(t.entryValues[i].size()));
    }
}

void tableEntriesFinal(sqlite3_context* ctx)
{
    const std::unique_ptr<TableSums> s = finalState<TableSums>(ctx);
    if (!s) {
        sqlite3_result_null(ctx);
        return;
    }
    sqlite3_result_blob(ctx, s->sums.data(), int(s->sums.size() * sizeof(quint64)), SQLITE_TRANSIENT);
}

void addDigestFunctions(sqlite3* db)
{
    sqlite3_create_function_v2(db, "qm_index_entries", -1, SQLITE_UTF8, nullptr, nullptr, indexEntriesStep, indexEntriesFinal, nullptr);
    sqlite3_create_function_v2(db, "qm_table_entries", -1, SQLITE_UTF8, nullptr, nullptr, tableEntriesStep, tableEntriesFinal, nullptr);
}

QByteArray quoted(const QString& name) { return '"' + name.toUtf8().replace('"', "\"\"") + '"'; }

QString textColumn(sqlite3_stmt* st, int i) { return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i))); }

bool isWordByte(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' || (c & 0x80); }

// The condition of a partial index, from its CREATE INDEX text: what follows
// the WHERE after the column list, each comment made a blank so that it can
// stand inside other SQL. Empty when there is none.
QByteArray indexCondition(const QByteArray& sql)
{
    QByteArray out;
    qsizetype start = -1;
    int depth = 0;
    bool columnsRead = false;
    const qsizetype n = sql.size();
    for (qsizetype i = 0; i < n;) {
        const char c = sql[i];
        const char d = i + 1 < n ? sql[i + 1] : '\0';
        qsizetype j = i + 1;
        if (c == '-' && d == '-') {
            j = sql.indexOf('\n', i);
            if (j < 0) j = n;
            out += ' ';
        } else if (c == '/' && d == '*') {
            j = sql.indexOf("*/", i + 2);
            j = j < 0 ? n : j + 2;
            out += ' ';
        } else if (c == '\'' || c == '"' || c == '`' || c == '[') {
            // A quoted string or name, its quote doubled inside it.
            const char close = c == '[' ? ']' : c;
            for (;;) {
                j = sql.indexOf(close, j);
                if (j < 0) {
                    j = n;
                    break;
                }
                ++j;
                if (close == ']' || j >= n || sql[j] != close) break;
                ++j;
            }
            out += sql.mid(i, j - i);
        } else if (isWordByte(c)) {
            while (j < n && isWordByte(sql[j])) ++j;
            out += sql.mid(i, j - i);
            if (columnsRead && depth == 0 && start < 0 && j - i == 5 && sql.mid(i, 5).compare("WHERE", Qt::CaseInsensitive) == 0)
                start = out.size();
        } else {
            if (c == '(') ++depth;
            if (c == ')' && --depth == 0) columnsRead = true;
            out += c;
        }
        i = j;
    }
    return start < 0 ? QByteArray() : out.mid(start).trimmed();
}

quint32 bigEndian(const unsigned char* p, int bytes)
{
    quint32 v = 0;
    for (int i = 0; i < bytes; ++i) v = v << 8 | p[i];
    return v;
}

// The children of an interior page of a table's b-tree and the rowids between
// them; false for any other page, or one that does not parse.
bool readInteriorPage(QFile& file, qint64 pageSize, quint32 page, std::vector<quint32>& children, std::vector<qint64>& keys)
{
    if (page < 2 || !file.seek(qint64(page - 1) * pageSize)) return false;
    const QByteArray bytes = file.read(pageSize);
    if (bytes.size() != pageSize || bytes[0] != 0x05) return false;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const int cells = int(bigEndian(p + 3, 2));
    if (12 + 2 * cells > pageSize) return false;
    for (int i = 0; i < cells; ++i) {
        qint64 at = bigEndian(p + 12 + 2 * i, 2);
        if (at < 12 || at + 4 >= pageSize) return false;
        children.push_back(bigEndian(p + at, 4));
        // The rowid: a varint of up to nine bytes, the ninth of eight bits.
        quint64 v = 0;
        at += 4;
        for (int k = 0;; ++k, ++at) {
            if (at >= pageSize) return false;
            if (k == 8) {
                v = v << 8 | p[at];
                break;
            }
            v = v << 7 | (p[at] & 0x7f);
            if (!(p[at] & 0x80)) break;
        }
        keys.push_back(qint64(v));
    }
    children.push_back(bigEndian(p + 8, 4));
    return true;
}

constexpr int kPiecesPerTable = 16;

// The ranges of rowids a table is read in: up to `pieces` of about as many
// pages each, cut at the rowids of the b-tree's upper interior pages, one
// level down at a time until a level has enough. The pages are read from the
// file itself; one that does not parse leaves fewer cuts, and the ranges
// cover every rowid whatever the cuts are.
std::vector<std::pair<qint64, qint64>> rowidRanges(QFile& file, qint64 pageSize, quint32 root, int pieces)
{
    std::vector<quint32> level{root};
    std::vector<qint64> cuts; // between level[i] and level[i + 1]
    for (int depth = 0; depth < 8 && int(level.size()) < pieces; ++depth) {
        std::vector<quint32> next;
        std::vector<qint64> nextCuts;
        bool interior = true;
        for (size_t i = 0; i < level.size() && interior; ++i) {
            if (i > 0) nextCuts.push_back(cuts[i - 1]);
            interior = readInteriorPage(file, pageSize, level[i], next, nextCuts);
        }
        if (!interior) break;
        level.swap(next);
        cuts.swap(nextCuts);
    }
    std::vector<qint64> chosen;
    for (int k = 1; k < pieces; ++k)
        if (const size_t at = level.size() * size_t(k) / size_t(pieces); at > 0) chosen.push_back(cuts[at - 1]);
    std::sort(chosen.begin(), chosen.end());
    chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
    std::vector<std::pair<qint64, qint64>> ranges;
    qint64 from = std::numeric_limits<qint64>::min();
    for (const qint64 cut : chosen) {
        if (cut == std::numeric_limits<qint64>::max()) break;
        ranges.emplace_back(from, cut);
        from = cut + 1;
    }
    ranges.emplace_back(from, std::numeric_limits<qint64>::max());
    return ranges;
}

// Where a table's b-tree is read from, for rowidRanges.
struct TableFile {
    QFile file;
    qint64 pageSize = 0;
};

// The statements for `table` (a table with rowids, its b-tree at `root`):
// its indexes whose entries are columns (not expressions) under SQLite's own
// collations; a partial index counts only the rows of its condition.
// `ordered`: whether the entries' order is checked (text is compared as it
// is stored only in a UTF-8 file).
Probe planTable(sqlite3* db, const QString& table, quint32 root, bool ordered, TableFile& tf, TableDigests& out)
{
    out.table = table;
    // The rowid under a name that no column has taken.
    QStringList columnNames;
    Probe p = query(db, "SELECT lower(name) FROM pragma_table_xinfo(?1)", {table}, [&](sqlite3_stmt* st) { columnNames << textColumn(st, 0); });
    if (!p.ok()) return p;
    QByteArray rowid;
    for (const char* name : {"rowid", "_rowid_", "oid"})
        if (!columnNames.contains(QLatin1String(name))) {
            rowid = name;
            break;
        }
    if (rowid.isEmpty()) return {};
    struct Listed {
        QString name, sql;
        bool unique, partial;
    };
    std::vector<Listed> listed;
    p = query(db,
              "SELECT l.name, l.\"unique\", l.partial, coalesce(m.sql, '') FROM pragma_index_list(?1) l "
              "LEFT JOIN sqlite_master m ON m.type = 'index' AND m.name = l.name ORDER BY l.name",
              {table}, [&](sqlite3_stmt* st) {
                  listed.push_back({textColumn(st, 0), textColumn(st, 3), sqlite3_column_int(st, 1) != 0, sqlite3_column_int(st, 2) != 0});
              });
    if (!p.ok()) return p;
    // The values read from the table: a column under each collation its
    // indexes compare it by, once each. An index's statement takes the plan,
    // the rowid and its columns; the table's the plan, the rowid, the values
    // and the conditions.
    const size_t maxValues = size_t(std::min(kMaxDigestValues, sqlite3_limit(db, SQLITE_LIMIT_FUNCTION_ARG, -1)));
    using Value = std::pair<QString, Collation>;
    std::vector<Value> columns;
    QByteArrayList conditions;
    for (const Listed& ix : listed) {
        IndexPlan plan;
        plan.name = ix.name;
        plan.unique = ix.unique;
        plan.ordered = ordered;
        std::vector<Value> own;
        bool plain = true;
        p = query(db, "SELECT cid, name, desc, upper(coll) FROM pragma_index_xinfo(?1) WHERE key ORDER BY seqno", {ix.name}, [&](sqlite3_stmt* st) {
            const QString coll = textColumn(st, 3);
            KeyColumn k{Collation::Binary, sqlite3_column_int(st, 2) != 0};
            if (coll == QLatin1String("NOCASE")) k.collation = Collation::NoCase;
            else if (coll == QLatin1String("RTRIM")) k.collation = Collation::RTrim;
            else if (coll != QLatin1String("BINARY")) plain = false;
            if (sqlite3_column_int(st, 0) < 0) plain = false;
            plan.keys.push_back(k);
            own.emplace_back(textColumn(st, 1), k.collation);
        });
        if (!p.ok()) return p;
        if (!plain) continue;
        const QByteArray condition = ix.partial ? indexCondition(ix.sql.toUtf8()) : QByteArray();
        if (ix.partial && condition.isEmpty()) continue;
        std::vector<Value> added;
        for (const Value& v : own)
            if (std::find(columns.begin(), columns.end(), v) == columns.end() && std::find(added.begin(), added.end(), v) == added.end())
                added.push_back(v);
        if (own.size() + 2 > maxValues) continue;
        if (columns.size() + added.size() + size_t(conditions.size()) + (condition.isEmpty() ? 0 : 1) + 2 > maxValues) continue;
        QByteArrayList values{rowid};
        for (const Value& v : own) values << quoted(v.first);
        plan.outOfOrder = "entries out of order in index " + ix.name.toUtf8();
        plan.repeated = "non-unique entry in index " + ix.name.toUtf8();
        plan.sql = "SELECT qm_index_entries(?1, " + values.join(", ") + ") FROM " + quoted(table) + " INDEXED BY " + quoted(ix.name);
        if (!condition.isEmpty()) plan.sql += " WHERE " + condition;
        // An index SQLite will not scan on its own (a condition it cannot
        // evaluate here) is left to its check of the pages.
        sqlite3_stmt* probe = nullptr;
        const int rc = sqlite3_prepare_v2(db, plan.sql.constData(), int(plan.sql.size()), &probe, nullptr);
        sqlite3_finalize(probe);
        if (rc != SQLITE_OK) {
            const int code = rc & 0xff;
            if (code == SQLITE_CORRUPT || code == SQLITE_NOTADB || isBusyCode(rc)) return lastError(db, rc);
            continue;
        }
        columns.insert(columns.end(), added.begin(), added.end());
        std::vector<int> at;
        for (const Value& v : own) at.push_back(int(std::find(columns.begin(), columns.end(), v) - columns.begin()));
        out.entryValues.push_back(std::move(at));
        out.condition.push_back(condition.isEmpty() ? -1 : int(conditions.size()));
        if (!condition.isEmpty()) conditions << "CASE WHEN (" + condition + ") THEN 1 ELSE 0 END";
        out.indexes.push_back(std::move(plan));
    }
    if (out.indexes.empty()) return {};
    // Conditions come after the values: their positions move past them.
    for (int& c : out.condition)
        if (c >= 0) c += int(columns.size());
    QByteArrayList args{"?3", rowid};
    for (const Value& v : columns) {
        args << quoted(v.first);
        out.valueCollations.push_back(v.second);
    }
    args += conditions;
    out.tableSql = "SELECT qm_table_entries(" + args.join(", ") + ") FROM " + quoted(table) + " NOT INDEXED WHERE " + rowid + " BETWEEN ?1 AND ?2";
    out.fromTable.assign(out.indexes.size(), 0);
    out.fromIndex.assign(out.indexes.size(), 0);
    out.ranges = rowidRanges(tf.file, tf.pageSize, root, kPiecesPerTable);
    return {};
}

// One piece of the work: SQLite's check, a range of a table's rows, or one index.
struct CheckJob {
    enum Kind { Quick, Rows, Index } kind;
    int table = 0;
    int index = 0;
    qint64 from = 0, to = 0;
};

// Runs the jobs on `threads` connections of their own; the first failure
// stops them all.
class CopyChecker {
public:
    CopyChecker(const QString& path, std::vector<TableDigests>& tables, const Progress& progress)
        : path_(QFile::encodeName(path)), tables_(tables), progress_(progress)
    {
        jobs_.push_back({CheckJob::Quick});
        for (int t = 0; t < int(tables.size()); ++t) {
            for (const auto& [from, to] : tables[t].ranges) jobs_.push_back({CheckJob::Rows, t, 0, from, to});
            for (int i = 0; i < int(tables[t].indexes.size()); ++i) jobs_.push_back({CheckJob::Index, t, i});
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
                    return {DatabaseFileState::Damaged, QStringLiteral("index %1 does not match table %2").arg(t.indexes[i].name, t.table)};
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
        const bool rows = job.kind == CheckJob::Rows;
        const QByteArray& sql = rows ? t.tableSql : t.indexes[size_t(job.index)].sql;
        sqlite3_stmt* st = nullptr;
        int rc = sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &st, nullptr);
        if (rc != SQLITE_OK) {
            Probe p = lastError(db, rc);
            sqlite3_finalize(st);
            return p;
        }
        if (rows) {
            sqlite3_bind_int64(st, 1, job.from);
            sqlite3_bind_int64(st, 2, job.to);
            sqlite3_bind_pointer(st, 3, &t, kTablePlanType, nullptr);
        } else {
            sqlite3_bind_pointer(st, 1, &t.indexes[size_t(job.index)], kIndexPlanType, nullptr);
        }
        rc = sqlite3_step(st);
        if (rc == SQLITE_ROW) {
            std::lock_guard<std::mutex> lock(m_);
            if (!rows) {
                t.fromIndex[size_t(job.index)] = quint64(sqlite3_column_int64(st, 0));
            } else {
                const auto* sums = static_cast<const quint64*>(sqlite3_column_blob(st, 0));
                const size_t n = size_t(sqlite3_column_bytes(st, 0)) / sizeof(quint64);
                for (size_t i = 0; i < n; ++i) {
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
    TableFile tf;
    tf.file.setFileName(path);
    tf.file.open(QIODevice::ReadOnly);
    bool utf8 = false;
    p = run(db, "PRAGMA page_size", [&](const char* v) { tf.pageSize = QByteArray(v).toLongLong(); });
    if (p.ok()) p = run(db, "PRAGMA encoding", [&](const char* v) { utf8 = qstrcmp(v, "UTF-8") == 0; });
    if (!p.ok()) return verdict(p);
    // Tables with rowids; those without have no index beside them to compare.
    std::vector<std::pair<QString, quint32>> names;
    p = query(db,
              "SELECT m.name, m.rootpage FROM sqlite_master m JOIN pragma_table_list l ON l.schema = 'main' AND l.name = m.name "
              "WHERE m.type = 'table' AND l.type = 'table' AND NOT l.wr AND m.name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY m.name",
              {}, [&](sqlite3_stmt* st) { names.emplace_back(textColumn(st, 0), quint32(sqlite3_column_int64(st, 1))); });
    if (!p.ok()) return verdict(p);
    std::vector<TableDigests> tables;
    for (const auto& [name, root] : names) {
        TableDigests t;
        if (!(p = planTable(db, name, root, utf8, tf, t)).ok()) return verdict(p);
        if (!t.indexes.empty()) tables.push_back(std::move(t));
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
