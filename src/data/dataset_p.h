#pragma once
// What the dataset's files share (dataset.cpp, datasetediting.cpp,
// datasetpaging.cpp). Not for use outside the dataset.
#include <QtGlobal>
#include <sqlite3.h>
#include <limits>
#include <memory>

namespace qm::detail {

// The kind of value a cell holds.
enum : quint8 { TagNull = 0, TagInt = 1, TagReal = 2, TagText = 3, TagLongText = 4 };

// The rowid held for a row not stored: one being appended, or a row of a list
// read by key that another program deleted before its block was read.
constexpr qint64 kNoRow = std::numeric_limits<qint64>::min();

// A value as SQLite stored it: bound again, it compares exactly as it did in the table.
struct SqlValueFree {
    void operator()(sqlite3_value* v) const { sqlite3_value_free(v); }
};
using SqlValue = std::unique_ptr<sqlite3_value, SqlValueFree>;

// A row's place in a list's order: its key (the order's column) and its rowid.
struct Place {
    SqlValue key; // null pointer: a key that is NULL, or an order by rowid alone
    qint64 rowid = 0;
};

// Rowids read by key: the rows [0, head) were read from the start of the
// order, each block after the last row of the one before; the rows
// [tail, count) from its end, each block before the first row of the one
// after. The rows between are not read yet.
struct PageRuns {
    int count = 0;
    int head = 0, tail = 0;
    Place headLast;  // the last row of [0, head), when head > 0
    Place tailFirst; // the first row of [tail, count), when tail < count
    bool headAtEnd = false; // the order had no row after headLast
    bool tailOff = false;   // the runs did not meet: every block is read from the start's side
};

// One read transaction for several statements: the file's lock and its check
// for another program's changes are taken once, and every statement sees the
// same data. Inside a transaction, or beside a statement still reading, the
// lock is held already and nothing is done.
class ReadTransaction {
public:
    explicit ReadTransaction(sqlite3* h)
    {
        if (!sqlite3_get_autocommit(h)) return;
        for (sqlite3_stmt* s = sqlite3_next_stmt(h, nullptr); s; s = sqlite3_next_stmt(h, s))
            if (sqlite3_stmt_busy(s)) return;
        if (sqlite3_exec(h, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK) db_ = h;
    }
    ~ReadTransaction()
    {
        if (db_ && sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    ReadTransaction(const ReadTransaction&) = delete;
    ReadTransaction& operator=(const ReadTransaction&) = delete;

private:
    sqlite3* db_ = nullptr;
};

}
