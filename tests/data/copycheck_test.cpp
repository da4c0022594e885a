// The check of a copy: every file SQLite's full check passes is usable,
// damage that check finds is found, and the work follows the rows.
#include "data/connection.h"
#include "data/databasecheck.h"
#include "data/schema.h"
#include "support/files.h"
#include <gtest/gtest.h>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <sqlite3.h>
#include <utility>

using namespace qm;

namespace {

// SQLite's answer for the file, its lines joined; an error's message when it
// cannot run.
QString pragmaCheck(const QString& path, const char* pragma)
{
    sqlite3* db = nullptr;
    sqlite3_stmt* st = nullptr;
    QStringList lines;
    int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_prepare_v2(db, pragma, -1, &st, nullptr);
    while (rc == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW) lines << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    if (rc == SQLITE_OK) rc = sqlite3_finalize(st);
    if (rc != SQLITE_OK) lines << QStringLiteral("error: ") + QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_close_v2(db);
    return lines.join(QLatin1Char('\n'));
}

QString integrityCheck(const QString& path) { return pragmaCheck(path, "PRAGMA integrity_check"); }
QString quickCheck(const QString& path) { return pragmaCheck(path, "PRAGMA quick_check"); }

void runScript(const QString& path, const QString& script)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, script.toUtf8().constData(), nullptr, nullptr, &error);
    const QString message = QString::fromUtf8(error ? error : "");
    sqlite3_free(error);
    sqlite3_close_v2(db);
    ASSERT_EQ(rc, SQLITE_OK) << message.toStdString();
}

// The number of pieces the check splits the work into.
qint64 jobsOf(const QString& path)
{
    qint64 jobs = 0;
    checkCopy(path, [&](ProgressStep, qint64, qint64 total) { jobs = total; });
    return jobs;
}

// The pages of a table or an index, in key order.
std::vector<int> pagesOf(const QString& path, const QString& name, const char* type = "leaf")
{
    Connection c;
    c.open(path);
    std::vector<int> out;
    for (const auto& r : c.rows(QStringLiteral("SELECT pageno FROM dbstat WHERE name = '%1' AND pagetype = '%2' ORDER BY path").arg(name, type)))
        out.push_back(r.value(0).toInt());
    return out;
}

int pageSizeOf(const QString& path)
{
    Connection c;
    c.open(path);
    return c.scalar("PRAGMA page_size").toInt();
}

QByteArray readPage(const QString& path, int page, int size) { return readFile(path).mid(qint64(page - 1) * size, size); }

void writeAt(const QString& path, qint64 at, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.seek(at);
    f.write(bytes);
}

// `count` rows of a script: the rows i = 1..count of a recursive query.
QString rows(int count, const QString& insert)
{
    return QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) %2 FROM n;\n").arg(count).arg(insert);
}

class CopyCheck : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString base;

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        base = dir.filePath("base.db");
        createInitialDatabase(base);
    }
    // A copy of the program's fresh database with `script` run in it.
    QString made(const QString& name, const QString& script)
    {
        const QString path = dir.filePath(name + ".db");
        QFile::remove(path);
        EXPECT_TRUE(QFile::copy(base, path));
        runScript(path, script);
        return path;
    }
};

struct Unusual {
    const char* name;
    QString script;
};

const Unusual kUnusual[] = {
    {"a partial condition giving a REAL between 0 and 1",
     "CREATE TABLE t(x INTEGER, y TEXT); CREATE INDEX t_y ON t(y) WHERE x * 0.5;"
     "INSERT INTO t VALUES (1, 'a'), (0, 'b'), (3, 'c'), (NULL, 'd'), (-1, NULL);"},
    {"a column named rowid",
     "CREATE TABLE t(rowid TEXT, y INTEGER); CREATE INDEX t_y ON t(y); CREATE INDEX t_r ON t(rowid);"
     "INSERT INTO t VALUES ('r1', 5), ('r2', 7), (NULL, 7);"},
    {"columns named rowid, oid and _rowid_",
     "CREATE TABLE t(rowid TEXT, oid TEXT, _rowid_ TEXT); CREATE INDEX t_o ON t(oid); INSERT INTO t VALUES ('a', 'b', 'c');"},
    {"a comment ending a partial index's SQL",
     "CREATE TABLE t(x INTEGER, y TEXT); CREATE INDEX t_y ON t(y) WHERE x > 0 -- the positive ones\n;"
     "INSERT INTO t VALUES (1, 'a'), (0, 'b'), (2, 'c');"},
    {"comments inside a partial index's SQL",
     "CREATE TABLE t(x INTEGER, y TEXT); CREATE INDEX t_y ON t(y /* ) WHERE 0 */) /* where */ WHERE /* x */ x > 0 /* and -- */;"
     "CREATE INDEX t_q ON t(y) WHERE y <> '-- /* not a comment'; INSERT INTO t VALUES (1, 'a'), (0, 'b'), (2, '-- /* not a comment');"},
    {"expression indexes",
     "CREATE TABLE t(a TEXT, b INTEGER); CREATE INDEX t_lower ON t(lower(a)); CREATE INDEX t_ab ON t(a, b + 1);"
     + rows(300, "INSERT INTO t SELECT printf('A%d', i), i")},
    {"NOCASE, RTRIM and DESC columns",
     "CREATE TABLE t(a TEXT COLLATE NOCASE, b REAL, c TEXT);"
     "CREATE INDEX t_a ON t(a, b DESC); CREATE INDEX t_c ON t(c COLLATE RTRIM DESC, a);"
     "CREATE UNIQUE INDEX t_u ON t(c COLLATE NOCASE);"
     "INSERT INTO t VALUES ('a', 1, 'x'), ('A', 2, 'Y '), ('b', 1.5, 'y  z'), ('_', 0, '['), ('\u00e4', 3, '\u00c4'),"
     "('\u00c4', 3, 'q\u00e4'), ('a', -1, ''), (NULL, NULL, NULL), (NULL, 2, NULL), ('a ', 4, 'x ');"},
    {"a WITHOUT ROWID table",
     "CREATE TABLE t(k TEXT PRIMARY KEY, v INTEGER) WITHOUT ROWID; CREATE INDEX t_v ON t(v);" + rows(500, "INSERT INTO t SELECT printf('k%d', i), i % 7")},
    {"NULLs, also repeated in UNIQUE indexes",
     "CREATE TABLE t(a INTEGER, b TEXT); CREATE UNIQUE INDEX t_ab ON t(a, b); CREATE UNIQUE INDEX t_b ON t(b DESC);"
     "INSERT INTO t VALUES (1, NULL), (1, NULL), (NULL, 'x'), (NULL, NULL), (NULL, NULL), (2, 'y');"},
    {"every kind of value in one column",
     "CREATE TABLE t(v); CREATE INDEX t_v ON t(v); CREATE INDEX t_d ON t(v DESC);"
     "INSERT INTO t VALUES (NULL), (1), (2.5), (-3), ('a'), ('B'), (x'00'), (x'ff'), (''), (x''), (1.0), ('1'), (-0.0), (0);"},
    {"integers near 2^63 beside REAL values",
     "CREATE TABLE t(a INTEGER, b REAL, c); CREATE INDEX t_a ON t(a); CREATE INDEX t_ba ON t(b, a); CREATE UNIQUE INDEX t_c ON t(c);"
     "INSERT INTO t VALUES (9223372036854775807, 9223372036854775807, 9223372036854775807),"
     "(9223372036854775806, 9.2233720368547758e18, 9.2233720368547758e18), (-9223372036854775808, -9.2233720368547758e18, -9223372036854775808),"
     "(9007199254740993, 9007199254740992.0, 9007199254740993), (9007199254740992, 9007199254740993, 9007199254740992.0),"
     "(-9007199254740993, -9007199254740992.0, -9007199254740993), (2, 1e300, -1e300);"},
    {"REAL values that equal integers",
     "CREATE TABLE t(a REAL, b NUMERIC, c); CREATE INDEX t_a ON t(a); CREATE INDEX t_b ON t(b); CREATE UNIQUE INDEX t_c ON t(c);"
     "INSERT INTO t VALUES (1.0, 2.0, 3), (2, '3.0', 3.5), (-0.0, 0, 4.0), (1e15, '12', 1e15), (0.5, 5e-324, -0.0);"},
    {"a table whose rows span many pages",
     "CREATE TABLE t(a TEXT, b INTEGER); CREATE INDEX t_a ON t(a); CREATE INDEX t_b ON t(b) WHERE b % 3;"
     + rows(4000, "INSERT INTO t SELECT printf('%.40c%d', 'x', i), i")},
    {"rowids across the whole range",
     "CREATE TABLE t(a INTEGER); CREATE INDEX t_a ON t(a);"
     "INSERT INTO t(rowid, a) VALUES (-9223372036854775808, 1), (9223372036854775807, 2);"
     + rows(3000, "INSERT INTO t(rowid, a) SELECT (i - 1500) * 6148914691236517, i")},
    {"more indexed columns than a function takes arguments, and an index naming one column as often", [] {
         QString s = "CREATE TABLE w(c0", many = "CREATE INDEX w_many ON w(c0";
         for (int i = 1; i < 130; ++i) {
             s += QStringLiteral(", c%1").arg(i);
             many += ", c0";
         }
         s += ");" + many + ");";
         for (int i = 0; i < 130; ++i) s += QStringLiteral("CREATE INDEX w_%1 ON w(c%1);").arg(i);
         return s + "INSERT INTO w(c0, c5, c129) VALUES (1, 'a', 2), (2, 'b', NULL);";
     }()},
    {"rowids on the old job edges", "CREATE TABLE t(a INTEGER); CREATE INDEX t_a ON t(a);"
                                    "INSERT INTO t(rowid, a) VALUES (1, 1), (150001, 2), (300001, 3), (300002, 4);"},
};

} // namespace

TEST_F(CopyCheck, ValidFilesOfUnusualShapesAreUsable)
{
    for (const Unusual& u : kUnusual) {
        SCOPED_TRACE(u.name);
        const QString path = made(QStringLiteral("unusual"), u.script);
        ASSERT_EQ(integrityCheck(path), "ok");
        const DatabaseCheck c = checkCopy(path);
        EXPECT_EQ(c.state, DatabaseFileState::Usable) << c.detail.toStdString();
    }
    // The comment is kept in the schema, where the check reads it.
    Connection c;
    c.open(made(QStringLiteral("comment"), kUnusual[3].script));
    EXPECT_TRUE(c.scalar("SELECT sql FROM sqlite_master WHERE name = 't_y'").toString().endsWith("-- the positive ones\n"));
}

TEST_F(CopyCheck, AFileLackingSomeBaseTablesNamesThemAndIsNotDamaged)
{
    const DatabaseCheck one = checkCopy(made(QStringLiteral("one"), "DROP TABLE apperror;"));
    EXPECT_EQ(one.state, DatabaseFileState::MissingTables);
    EXPECT_EQ(one.detail, "apperror");
    const DatabaseCheck two = checkCopy(made(QStringLiteral("two"), "DROP TABLE package; DROP TABLE product;"));
    EXPECT_EQ(two.state, DatabaseFileState::MissingTables);
    EXPECT_EQ(two.detail, "product,package");
    // None of them: not this program's database.
    const QString other = dir.filePath("other.db");
    runScript(other, "CREATE TABLE x(a); CREATE INDEX x_a ON x(a);");
    EXPECT_EQ(checkCopy(other).state, DatabaseFileState::NotDatabase);
}

TEST_F(CopyCheck, IndexDamageThatSQLitesPageCheckMissesIsFound)
{
    {
        SCOPED_TRACE("two leaves of an index swapped");
        const QString path = made(QStringLiteral("swapped"), "CREATE TABLE s(code TEXT, n INTEGER); CREATE INDEX s_code ON s(code);"
                                                             + rows(3000, "INSERT INTO s SELECT printf('69%011d', i * 7919 % 3001), i"));
        const std::vector<int> leaves = pagesOf(path, "s_code");
        ASSERT_GE(leaves.size(), 4u);
        const int size = pageSizeOf(path);
        const int a = leaves[1], b = leaves[leaves.size() - 2];
        const QByteArray pa = readPage(path, a, size), pb = readPage(path, b, size);
        writeAt(path, qint64(a - 1) * size, pb);
        writeAt(path, qint64(b - 1) * size, pa);
        ASSERT_EQ(quickCheck(path), "ok");
        ASSERT_NE(integrityCheck(path), "ok");
        const DatabaseCheck c = checkCopy(path);
        EXPECT_EQ(c.state, DatabaseFileState::Damaged);
        EXPECT_TRUE(c.detail.contains("s_code")) << c.detail.toStdString();
    }
    // A UNIQUE index over repeated keys: a plain index made, then called UNIQUE.
    const struct {
        const char* name;
        QString script;
    } repeated[] = {
        {"a UNIQUE index", "CREATE TABLE d(a TEXT, b INTEGER); INSERT INTO d VALUES ('x', 1), ('dup', 2), ('y', 3), ('dup', 4);"
                           "CREATE INDEX d_a ON d(a); PRAGMA writable_schema = ON;"
                           "UPDATE sqlite_master SET sql = 'CREATE UNIQUE INDEX d_a ON d(a)' WHERE name = 'd_a';"},
        {"the program's partial UNIQUE index, keys differing in case only",
         "DROP INDEX ux_outdetail_intno; INSERT INTO outdetail (intno, spmc) VALUES ('A0001', 'p'), ('a0001', 'q'), ('', 'r'), ('', 's');"
         "CREATE INDEX ux_outdetail_intno ON outdetail(intno) WHERE intno<>''; PRAGMA writable_schema = ON;"
         "UPDATE sqlite_master SET sql = 'CREATE UNIQUE INDEX ux_outdetail_intno ON outdetail(intno) WHERE intno<>''''' "
         "WHERE name = 'ux_outdetail_intno';"},
    };
    for (const auto& r : repeated) {
        SCOPED_TRACE(r.name);
        const QString path = made(QStringLiteral("repeated"), r.script);
        ASSERT_EQ(quickCheck(path), "ok");
        ASSERT_TRUE(integrityCheck(path).startsWith("non-unique entry in index")) << integrityCheck(path).toStdString();
        const DatabaseCheck c = checkCopy(path);
        EXPECT_EQ(c.state, DatabaseFileState::Damaged);
        EXPECT_TRUE(c.detail.startsWith("non-unique entry in index")) << c.detail.toStdString();
    }
    // Each index of a table with several given a wrong last entry, still in order.
    for (const char* column : {"a", "b", "c"}) {
        SCOPED_TRACE(column);
        const QString path = made(QStringLiteral("entry"), "CREATE TABLE l(a TEXT, b TEXT, c TEXT);"
                                                           "CREATE INDEX l_a ON l(a); CREATE INDEX l_b ON l(b); CREATE INDEX l_c ON l(c);"
                                                           + rows(800, "INSERT INTO l SELECT printf('a%05d', i), printf('b%05d', i), printf('c%05d', i)"));
        const QString index = QStringLiteral("l_") + column;
        const QByteArray last = QByteArray(column) + "00800";
        const int size = pageSizeOf(path);
        bool changed = false;
        for (const int page : pagesOf(path, index)) {
            const qsizetype at = readPage(path, page, size).indexOf(last);
            if (at < 0) continue;
            writeAt(path, qint64(page - 1) * size + at + last.size() - 1, "Z");
            changed = true;
        }
        ASSERT_TRUE(changed);
        ASSERT_EQ(quickCheck(path), "ok");
        ASSERT_NE(integrityCheck(path), "ok");
        const DatabaseCheck c = checkCopy(path);
        EXPECT_EQ(c.state, DatabaseFileState::Damaged);
        EXPECT_EQ(c.detail, QStringLiteral("index %1 does not match table l").arg(index));
    }
}

TEST_F(CopyCheck, TheWorkFollowsTheRowsNotTheSpanOfRowids)
{
    const QString script = "CREATE TABLE far(a INTEGER, b TEXT); CREATE INDEX far_a ON far(a); CREATE INDEX far_b ON far(b);"
                           "INSERT INTO far(rowid, a, b) VALUES (1, 1, 'x'), (2, 2, 'y'), (%1, 3, 'z');";
    const QString near = made(QStringLiteral("near"), script.arg(3));
    const QString far = made(QStringLiteral("far"), script.arg(qint64(1) << 62));
    ASSERT_EQ(integrityCheck(far), "ok");
    EXPECT_EQ(checkCopy(far).state, DatabaseFileState::Usable);
    EXPECT_EQ(jobsOf(far), jobsOf(near));

    // A table of many pages is read in several pieces, which meet exactly.
    const QString pieces = made(QStringLiteral("pieces"), "CREATE TABLE p(a TEXT); CREATE INDEX p_a ON p(a);"
                                                          + rows(5000, "INSERT INTO p SELECT printf('%.30c%d', 'p', i)"));
    EXPECT_EQ(checkCopy(pieces).state, DatabaseFileState::Usable);
    const qint64 oneIndexOnePiece = jobsOf(made(QStringLiteral("single"), "CREATE TABLE p(a TEXT); CREATE INDEX p_a ON p(a);"));
    EXPECT_GT(jobsOf(pieces), oneIndexOnePiece + 4);
}

TEST_F(CopyCheck, AgreesWithIntegrityCheckOnRandomDamage)
{
    const QString pristine = made(QStringLiteral("pristine"),
        "CREATE TABLE goods(code TEXT COLLATE NOCASE, name TEXT, price REAL, qty INTEGER NOT NULL);"
        "CREATE UNIQUE INDEX goods_code ON goods(code); CREATE INDEX goods_name ON goods(name COLLATE NOCASE, price DESC);"
        "CREATE INDEX goods_cheap ON goods(qty) WHERE price < 10; CREATE INDEX goods_stocked ON goods(name) WHERE qty * 0.5;"
        "CREATE TABLE sales(goods INTEGER, day TEXT, amount REAL, note TEXT);"
        "CREATE INDEX sales_goods ON sales(goods, day); CREATE INDEX sales_day ON sales(day DESC, amount);"
        "CREATE TABLE notes(body TEXT);"
        + rows(1500, "INSERT INTO goods SELECT printf('G%05d', i), printf('Goods %d', i % 97), i % 50 * 0.5, i % 13")
        + rows(3000, "INSERT INTO sales SELECT i % 1500 + 1, printf('2024-%02d-%02d', i % 12 + 1, i % 28 + 1), i * 0.25, "
                     "CASE WHEN i % 3 THEN printf('n%d', i) END")
        + rows(300, "INSERT INTO notes SELECT printf('%.200c', 'n')"));
    ASSERT_EQ(integrityCheck(pristine), "ok");
    std::vector<int> pages; // every page but the schema's
    {
        Connection c;
        c.open(pristine);
        for (const auto& r : c.rows("SELECT pageno FROM dbstat WHERE name <> 'sqlite_schema' ORDER BY pageno")) pages.push_back(r.value(0).toInt());
    }
    const int size = pageSizeOf(pristine);
    const QString path = dir.filePath("damaged.db");

    // A letter's case changed in a row of a NOCASE column: its index still
    // finds the row, and SQLite counts the file whole.
    ASSERT_TRUE(QFile::copy(pristine, path));
    bool changed = false;
    for (const int page : pagesOf(path, "goods")) {
        const qsizetype at = readPage(path, page, size).indexOf("G00042");
        if (at < 0) continue;
        writeAt(path, qint64(page - 1) * size + at, "g");
        changed = true;
    }
    ASSERT_TRUE(changed);
    ASSERT_EQ(integrityCheck(path), "ok");
    EXPECT_EQ(checkCopy(path).state, DatabaseFileState::Usable);

    QRandomGenerator random(20240611);
    int damaged = 0;
    for (int round = 0; round < 40; ++round) {
        QFile::remove(path);
        ASSERT_TRUE(QFile::copy(pristine, path));
        const int page = pages[random.bounded(int(pages.size()))];
        QByteArray bytes = readPage(path, page, size);
        const bool overwrite = round % 3 == 0;
        if (overwrite) {
            for (char& b : bytes) b = char(random.bounded(256));
        } else {
            for (int k = 0, n = 1 + random.bounded(4); k < n; ++k) bytes[random.bounded(size)] ^= char(1 + random.bounded(255));
        }
        writeAt(path, qint64(page - 1) * size, bytes);
        const QString referee = integrityCheck(path);
        const DatabaseCheck c = checkCopy(path);
        damaged += referee != "ok";
        EXPECT_EQ(c.state == DatabaseFileState::Usable, referee == "ok")
            << "round " << round << ", page " << page << (overwrite ? " overwritten" : " with bytes changed") << ": "
            << referee.toStdString() << " / " << int(c.state) << ' ' << c.detail.toStdString();
    }
    EXPECT_GT(damaged, 15);
}
