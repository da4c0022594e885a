// The global error handler: categories, the log and its fallback, the window.
#include "admin/errorhandler.h"
#include "app/application.h"
#include "common/errors.h"
#include "support/files.h"
#include "support/fixture.h"
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <new>
#include <typeinfo>

using namespace qm;

namespace {
template <class E>
QString categoryOf(E e)
{
    return errorCategory(std::make_exception_ptr(e));
}

}

class ErrorHandlerTest : public AppFixture {
protected:
    void TearDown() override
    {
        delete Frm_ErrorMessage;
        AppFixture::TearDown();
    }
};

TEST(ErrorCategory, MostDerivedClassWins)
{
    EXPECT_EQ(categoryOf(ConversionError("x")), QStringLiteral("输入的数据类型错误"));
    EXPECT_EQ(categoryOf(IntDivByZero("x")), QStringLiteral("整数除0溢出"));
    EXPECT_EQ(categoryOf(IntOverflow("x")), QStringLiteral("整数溢出 "));
    EXPECT_EQ(categoryOf(RangeError("x")), QStringLiteral("整数越界"));
    EXPECT_EQ(categoryOf(IntError("x")), QStringLiteral("整数计算异常(基类)"));
    EXPECT_EQ(categoryOf(InvalidFloatOp("x")), QStringLiteral("无效浮点操作指令"));
    EXPECT_EQ(categoryOf(FloatOverflow("x")), QStringLiteral("浮点操作上溢"));
    EXPECT_EQ(categoryOf(FloatUnderflow("x")), QStringLiteral("浮点操作下溢"));
    EXPECT_EQ(categoryOf(FloatDivByZero("x")), QStringLiteral("浮点计算除0"));
    EXPECT_EQ(categoryOf(FloatError("x")), QStringLiteral("浮点数计算异常(基类)"));
    EXPECT_EQ(categoryOf(InvalidCast("x")), QStringLiteral("类型转换异常"));
    EXPECT_EQ(categoryOf(std::bad_cast()), QStringLiteral("类型转换异常"));
    EXPECT_EQ(categoryOf(DbError("x")), QStringLiteral("数据库错误"));
    EXPECT_EQ(categoryOf(FileOpenError("x")), QStringLiteral("文件不能打开"));
    EXPECT_EQ(categoryOf(AccessViolation("x")), QStringLiteral("访问了无效的内存区域!"));
    EXPECT_EQ(categoryOf(std::bad_alloc()), QStringLiteral("系统错误!"));
    EXPECT_EQ(categoryOf(std::runtime_error("x")), QStringLiteral("系统错误!"));
    EXPECT_EQ(categoryOf(42), QStringLiteral("系统错误!"));
    EXPECT_EQ(errorMessage(std::make_exception_ptr(DbError(QStringLiteral("表不存在")))), QStringLiteral("表不存在"));
}

TEST_F(ErrorHandlerTest, LogsIntoTheTableOrTheTextFileAndShowsTheWindow)
{
    Clock::setFixed(QDateTime(QDate(2026, 3, 9), QTime(14, 5, 6)));
    // No window is active here: the title is "无标题"; the sender is named by its class.
    ErrorRecord r = describeError(frdm, std::make_exception_ptr(IntDivByZero(QStringLiteral("Division by zero"))));
    EXPECT_EQ(r.titl, QStringLiteral("无标题"));
    EXPECT_EQ(r.name, "Tfrdm");
    EXPECT_EQ(logError(r), LoggedTo::Table);
    auto rows = frdm->ADOCon.rows("SELECT capt, titl, name, rq, mess FROM apperror");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0].toString(), QStringLiteral("整数除0溢出"));
    EXPECT_EQ(rows[0][1].toString(), QStringLiteral("无标题"));
    EXPECT_EQ(rows[0][2].toString(), "Tfrdm");
    EXPECT_EQ(rows[0][3].toString(), "2026-03-09 14:05:06");
    EXPECT_EQ(rows[0][4].toString(), "Division by zero");
    EXPECT_FALSE(QFile::exists(errorLogPath()));

    // The table cannot be written: one line in the text log beside the program.
    frdm->ATapperror->close();
    frdm->ADOCon.exec("DROP TABLE apperror");
    EXPECT_EQ(logError(r), LoggedTo::TextFile);
    EXPECT_EQ(logError(r), LoggedTo::TextFile);
    EXPECT_EQ(errorLogPath(), folder() + AppPaths::programName() + ".txt");
    const QString line = QStringLiteral("整数除0溢出 Tfrdm 2026-03-09 14:05:06 Division by zero\n");
    EXPECT_EQ(QString::fromUtf8(readFile(errorLogPath())), line + line);

    // The handler shows the window with the category, also when only the file took it.
    reportException(frdm, std::make_exception_ptr(FileOpenError(QStringLiteral("no such file"))));
    ASSERT_EQ(dialogs->shown.size(), 1u);
    EXPECT_EQ(dialogs->shown[0].kind, "exec");
    EXPECT_EQ(dialogs->shown[0].caption, QStringLiteral("异常信息"));
    EXPECT_EQ(Frm_ErrorMessage->Label1->text(), QStringLiteral("文件不能打开"));
    EXPECT_EQ(Frm_ErrorMessage->Edit2->text(), "Tfrdm");
}

TEST_F(ErrorHandlerTest, ClearingEmptiesTableAndFileAndCloseSystemEndsTheProgram)
{
    reportException(frdm, std::make_exception_ptr(DbError("one")));
    reportException(frdm, std::make_exception_ptr(DbError("two")));
    QFile f(errorLogPath());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("old line\n");
    f.close();
    EXPECT_EQ(frdm->ADOCon.scalar("SELECT count(*) FROM apperror").toInt(), 2);

    frdm->ATapperror->open();
    Frm_ErrorMessage->BitBtn2Click();
    EXPECT_FALSE(QFile::exists(errorLogPath()));
    EXPECT_EQ(frdm->ADOCon.scalar("SELECT count(*) FROM apperror").toInt(), 0);
    EXPECT_TRUE(frdm->ATapperror->active());
    EXPECT_TRUE(frdm->ATapperror->isEmpty());

    EXPECT_THROW(Frm_ErrorMessage->BitBtn3Click(), ProgramExit);
    EXPECT_FALSE(frdm->ATapperror->active());
}

TEST_F(ErrorHandlerTest, EventGuardDropsSilentStopsReportsFailuresAndEndsOnExit)
{
    EXPECT_FALSE(Application::guard(frmain, [] { throw SilentStop(); }));
    EXPECT_TRUE(dialogs->shown.empty());
    EXPECT_EQ(frdm->ADOCon.scalar("SELECT count(*) FROM apperror").toInt(), 0);

    EXPECT_FALSE(Application::guard(frmain, [] { throw ConversionError(QStringLiteral("'abc' is not a valid floating point value")); }));
    ASSERT_EQ(dialogs->shown.size(), 1u);
    EXPECT_EQ(dialogs->shown[0].caption, QStringLiteral("异常信息"));
    EXPECT_EQ(frdm->ADOCon.scalar("SELECT capt FROM apperror").toString(), QStringLiteral("输入的数据类型错误"));
    EXPECT_EQ(frdm->ADOCon.scalar("SELECT name FROM apperror").toString(), "Tfrmain");

    // A failure of the error window itself does not escape the guard; the first is logged.
    dialogs->onExec = [](QDialog*) -> int { throw DbError("while shown"); };
    EXPECT_FALSE(Application::guard(frmain, [] { throw DbError("first"); }));
    EXPECT_EQ(frdm->ADOCon.scalar("SELECT count(*) FROM apperror").toInt(), 2);
    dialogs->onExec = nullptr;

    EXPECT_TRUE(Application::guard(frmain, [] {}));
    EXPECT_FALSE(Application::guard(frmain, [] { throw ProgramExit(3); }));
    EXPECT_TRUE(Application::exitRequested());
    EXPECT_EQ(Application::exitCode(), 3);
}
