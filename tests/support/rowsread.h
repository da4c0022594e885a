#pragma once
// Counts the result rows every statement of a connection returns while it
// lives: what a window read from the database.
#include <sqlite3.h>

namespace qmtest {

class RowsRead {
public:
    explicit RowsRead(sqlite3* db) : db_(db)
    {
        sqlite3_trace_v2(db_, SQLITE_TRACE_ROW, [](unsigned, void* n, void*, void*) { return ++*static_cast<long*>(n), 0; }, &rows_);
    }
    ~RowsRead() { sqlite3_trace_v2(db_, 0, nullptr, nullptr); }
    RowsRead(const RowsRead&) = delete;
    long rows() const { return rows_; }
    void restart() { rows_ = 0; }

private:
    sqlite3* db_;
    long rows_ = 0;
};

}
