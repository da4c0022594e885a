#pragma once
// Exception types of the program. The global error handler names a category
// after the most derived of these classes; SilentStop never reaches it.
#include <exception>
#include <stdexcept>
#include <QString>

namespace qm {

class AppError : public std::runtime_error {
public:
    explicit AppError(const QString& msg) : std::runtime_error(msg.toStdString()) {}
    QString message() const { return QString::fromUtf8(what()); }
};

// Text that does not convert to a number or a date.
class ConversionError : public AppError { using AppError::AppError; };

class IntError : public AppError { using AppError::AppError; };
class IntDivByZero : public IntError { using IntError::IntError; };
class IntOverflow : public IntError { using IntError::IntError; };
class RangeError : public IntError { using IntError::IntError; };

class FloatError : public AppError { using AppError::AppError; };
class InvalidFloatOp : public FloatError { using FloatError::FloatError; };
class FloatOverflow : public FloatError { using FloatError::FloatError; };
class FloatUnderflow : public FloatError { using FloatError::FloatError; };
class FloatDivByZero : public FloatError { using FloatError::FloatError; };

class InvalidCast : public AppError { using AppError::AppError; };
class DbError : public AppError { using AppError::AppError; };
// Another program (the front desk) held the database longer than we waited:
// the statement did nothing and the transaction it belonged to is rolled back.
class DbBusyError : public DbError { using DbError::DbError; };
// The statement was stopped while it ran (StatementWatch): it did nothing, and
// what its transaction wrote is rolled back with it.
class DbInterrupted : public DbError { using DbError::DbError; };
// The database file is damaged ("malformed", "not a database"): nothing a
// retry can mend; only a restore from a good copy can. SQLite says the same
// of a read the disk failed, so this alone names no file damaged.
class DbDamagedError : public DbError { using DbError::DbError; };
// A statement on the working database met what SQLite calls damage: the
// working file's own check (referee.h) tells whether it is.
class SuspectedDamageError : public DbDamagedError { using DbDamagedError::DbDamagedError; };
// Damage of the working database that its own check confirmed: the program
// remembers it until a restore replaces the file.
class WorkingDamagedError : public DbDamagedError { using DbDamagedError::DbDamagedError; };
// The disk (or the user's quota) is full.
class DiskFullError : public DbError { using DbError::DbError; };
// Reading or writing the file failed (a failing disk, a network folder that
// went away): the file itself may be whole.
class DbIoError : public DbError { using DbError::DbError; };
class FileOpenError : public AppError { using AppError::AppError; };
// A file operation that failed for a cause the operator is told in his own
// words (cause()); what() keeps the technical text for the log.
class CausedError : public FileOpenError {
public:
    CausedError(const QString& msg, const QString& cause) : FileOpenError(msg), cause_(cause) {}
    QString cause() const { return cause_; }

private:
    QString cause_;
};
class AccessViolation : public AppError { using AppError::AppError; };

// What the operator is told when a command met DbBusyError.
inline QString dataInUseText()
{
    return QStringLiteral("数据正被其他程序(如前台收银)使用,本次操作没有执行,数据没有改变。请稍后再试！");
}

// Whether `e` is an error of the class E (or of one derived from it).
template <class E>
bool isErrorOf(std::exception_ptr e)
{
    if (!e) return false;
    try {
        std::rethrow_exception(e);
    } catch (const E&) {
        return true;
    } catch (...) {
        return false;
    }
}

// Whether `e` is DbBusyError (another program held the database).
inline bool isDataInUse(std::exception_ptr e) { return isErrorOf<DbBusyError>(e); }

// Stops a handler after its message has been shown; caught and dropped by the
// event loop guard, never logged.
class SilentStop {};

// The program is ending on purpose (login refused, 关闭系统, a start-up failure).
class ProgramExit {
public:
    explicit ProgramExit(int code = 0) : code(code) {}
    int code;
};

} // namespace qm
