#include "data/upgrades.h"
#include "common/errors.h"
#include "data/schema.h"

namespace qm {

namespace {

// The document headers and the totals table gain these columns, in this order.
const char* const kHeaderTables[] = {"inlist", "inbacklist", "putlist", "getlist", "outbacklist", "outlist", "totallist"};

struct AddedColumn {
    const char* name;
    const char* declaration;
};
const AddedColumn kHeaderColumns[] = {
    {"billtype", "TEXT COLLATE NOCASE DEFAULT ''"},
    {"billname", "TEXT DEFAULT ''"},
    {"addr", "TEXT DEFAULT ''"},
};

QString ident(const QString& name) { return QLatin1Char('"') + QString(name).replace('"', "\"\"") + QLatin1Char('"'); }

// The commands that rebuild `table` with a counter column `intid` added at the
// end (SQLite cannot add a primary key to an existing table). The rows keep
// their order and are numbered 1, 2, ... in it; indexes are created again.
QStringList addCounterCommands(Connection& c, const QString& table)
{
    QString createSql = c.scalar(QStringLiteral("SELECT sql FROM sqlite_master WHERE type='table' AND name=:p1 COLLATE NOCASE"),
                                 {{"p1", table}}).toString();
    int open = createSql.indexOf('(');
    int close = createSql.lastIndexOf(')');
    if (open < 0 || close < open) throw DbError(QStringLiteral("cannot read the definition of table %1").arg(table));
    QString body = createSql.mid(open + 1, close - open - 1);
    QStringList cols;
    for (const QString& col : c.columns(table)) cols << ident(col);
    QString tmp = table + QStringLiteral("_upgrade");
    QStringList cmds;
    cmds << QStringLiteral("CREATE TABLE %1 (%2, intid INTEGER PRIMARY KEY AUTOINCREMENT)").arg(ident(tmp), body.trimmed());
    cmds << QStringLiteral("INSERT INTO %1 (%2) SELECT %2 FROM %3 ORDER BY rowid").arg(ident(tmp), cols.join(", "), ident(table));
    QStringList indexes;
    for (const auto& row : c.rows(QStringLiteral("SELECT sql FROM sqlite_master WHERE type='index' AND tbl_name=:p1 "
                                                 "COLLATE NOCASE AND sql IS NOT NULL"),
                                  {{"p1", table}}))
        indexes << row.value(0).toString();
    cmds << QStringLiteral("DROP TABLE %1").arg(ident(table));
    cmds << QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(ident(tmp), ident(table));
    cmds << indexes;
    return cmds;
}

// The columns that plain ALTER TABLE commands add.
QStringList pendingUpgrades(Connection& c)
{
    QStringList cmds;
    // The splash flag.
    if (!c.columnExists("config", "flashbj")) {
        cmds << QStringLiteral("ALTER TABLE config ADD COLUMN flashbj BOOLEAN NOT NULL DEFAULT 1");
        cmds << QStringLiteral("UPDATE config SET flashbj=1");
    }
    // The receipt-printer and cash-drawer flags, both off on an upgraded database.
    if (!c.columnExists("config", "printbj")) {
        cmds << QStringLiteral("ALTER TABLE config ADD COLUMN printbj BOOLEAN NOT NULL DEFAULT 1");
        cmds << QStringLiteral("UPDATE config SET printbj=0");
    }
    if (!c.columnExists("config", "cashboxbj")) {
        cmds << QStringLiteral("ALTER TABLE config ADD COLUMN cashboxbj BOOLEAN NOT NULL DEFAULT 0");
        cmds << QStringLiteral("UPDATE config SET cashboxbj=0");
    }
    // Bill type, bill name and address on the document headers and the totals.
    for (const auto& col : kHeaderColumns)
        for (const char* table : kHeaderTables)
            if (!c.columnExists(table, col.name))
                cmds << QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3")
                            .arg(QLatin1String(table), QLatin1String(col.name), QLatin1String(col.declaration));
    // The time a product's stock was counted: a count not yet taken as book stock.
    if (c.tableExists("product") && !c.columnExists("product", "factdate")) cmds << QStringLiteral("ALTER TABLE product ADD COLUMN factdate DATETIME");
    // Document and row numbers are unique within their table (rows being
    // entered without a number apart); a table whose stored data already
    // repeats a number is left without the guard rather than refused.
    for (const char* kind : {"in", "inback", "put", "out", "outback", "get"}) {
        for (const char* part : {"list", "detail"}) {
            const QString table = QLatin1String(kind) + QLatin1String(part);
            const QString index = QStringLiteral("ux_%1_intno").arg(table);
            if (!c.tableExists(table) ||
                c.scalar(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type='index' AND name=:p1"), {{"p1", index}}).isValid())
                continue;
            const bool repeats = c.scalar(QStringLiteral("SELECT 1 FROM %1 WHERE intno<>'' GROUP BY intno HAVING count(*)>1 LIMIT 1")
                                              .arg(table))
                                     .isValid();
            if (!repeats) cmds << QStringLiteral("CREATE UNIQUE INDEX %1 ON %2(intno) WHERE intno<>''").arg(index, table);
        }
    }
    // The document lists find headers by a part of the party's name: the
    // search reads this index instead of every header.
    for (const char* kind : {"in", "inback", "put", "out", "outback", "get"}) {
        const QString table = QLatin1String(kind) + QLatin1String("list");
        const QString index = QStringLiteral("ix_%1_customername").arg(table);
        if (c.tableExists(table) && c.columnExists(table, QStringLiteral("customername")) &&
            !c.scalar(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type='index' AND name=:p1"), {{"p1", index}}).isValid())
            cmds << QStringLiteral("CREATE INDEX %1 ON %2(customername)").arg(index, table);
    }
    return cmds;
}

// The report indexes still missing whose table has every column they need.
std::vector<IndexDef> missingReportIndexes(Connection& c)
{
    std::vector<IndexDef> out;
    for (const IndexDef& ix : reportIndexes()) {
        if (c.scalar(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type='index' AND name=:p1"), {{"p1", ix.name}}).isValid())
            continue;
        bool columns = c.tableExists(ix.table);
        for (const QString& col : ix.columns) columns = columns && c.columnExists(ix.table, col);
        if (columns) out.push_back(ix);
    }
    return out;
}

// Read without a transaction: the front desk may hold the file, and a start
// that has nothing to upgrade must not wait for its lock.
bool upToDate(Connection& c)
{
    return pendingUpgrades(c).isEmpty() && c.columnExists("totallist", "intid") && c.tableExists("totallist1")
           && c.columnExists("totallist1", "intid") && missingReportIndexes(c).empty();
}

}

QStringList upgradeSchema(Connection& c)
{
    if (upToDate(c)) return {};
    QStringList done;
    auto run = [&c, &done](const QStringList& cmds) {
        for (const QString& cmd : cmds) {
            c.exec(cmd);
            done << cmd;
        }
    };
    Transaction t(c);
    run(pendingUpgrades(c));
    // The counter of the totals, then its copy totallist1 (counter included).
    // These read the table as it stands after the columns above were added.
    if (!c.columnExists("totallist", "intid")) run(addCounterCommands(c, QStringLiteral("totallist")));
    if (!c.tableExists("totallist1")) {
        QString createSql = c.scalar(QStringLiteral("SELECT sql FROM sqlite_master WHERE type='table' AND name='totallist'")).toString();
        run({QStringLiteral("CREATE TABLE totallist1 ") + createSql.mid(createSql.indexOf('(')),
             QStringLiteral("INSERT INTO totallist1 SELECT * FROM totallist ORDER BY intid")});
    } else if (!c.columnExists("totallist1", "intid")) {
        run(addCounterCommands(c, QStringLiteral("totallist1")));
    }
    // The report windows' indexes.
    for (const IndexDef& ix : missingReportIndexes(c)) run({ix.sql()});
    t.commit();
    return done;
}

}
