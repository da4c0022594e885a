#pragma once
// Counts, while it lives, the result rows every statement of a connection
// returns (what a window read from the database) and the steps SQLite's
// engine took for them (the work done: an index walked to skip rows costs
// steps, not rows). Steps are counted as each statement finishes or is reset.
#include <sqlite3.h>

namespace qmtest {

class RowsRead {
public:
    explicit RowsRead(sqlite3* db) : db_(db)
    {
        // Statements prepared before (kept for use again) count from here on.
        for (sqlite3_stmt* s = sqlite3_next_stmt(db_, nullptr); s; s = sqlite3_next_stmt(db_, s))
            sqlite3_stmt_status(s, SQLITE_STMTSTATUS_VM_STEP, 1);
        sqlite3_trace_v2(db_, SQLITE_TRACE_ROW | SQLITE_TRACE_PROFILE, &RowsRead::traced, this);
    }
    ~RowsRead() { sqlite3_trace_v2(db_, 0, nullptr, nullptr); }
    RowsRead(const RowsRead&) = delete;
    RowsRead& operator=(const RowsRead&) = delete;
    long rows() const { return rows_; }
    long steps() const { return steps_; }
    void restart()
    {
        rows_ = steps_ = 0;
        for (sqlite3_stmt* s = sqlite3_next_stmt(db_, nullptr); s; s = sqlite3_next_stmt(db_, s))
            sqlite3_stmt_status(s, SQLITE_STMTSTATUS_VM_STEP, 1);
    }

private:
    static int traced(unsigned what, void* self, void* stmt, void*)
    {
        auto* r = static_cast<RowsRead*>(self);
        if (what == SQLITE_TRACE_ROW) ++r->rows_;
        else r->steps_ += sqlite3_stmt_status(static_cast<sqlite3_stmt*>(stmt), SQLITE_STMTSTATUS_VM_STEP, 1);
        return 0;
    }
    sqlite3* db_;
    long rows_ = 0;
    long steps_ = 0;
};

}
