// The administrator's data tool: its access, its statements and errors, and
// the read-only guard of 查表.
#include "admin/datatool.h"
#include "admin/tfrdbcopy.h"
#include "common/paths.h"
#include "common/errors.h"
#include "data/bakcopy.h"
#include "data/dataset.h"
#include "data/datasetmodel.h"
#include "shell/commands.h"
#include "shell/windowprotocol.h"
#include "support/faultvfs.h"
#include "support/fixture.h"
#include <QDir>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTableView>
#include <sqlite3.h>

class DataToolTest : public AppFixture {
protected:
    QPointer<Tfrdbcopy> tool;
    void TearDown() override
    {
        delete tool;
        AppFixture::TearDown();
    }
    void open(const QString& code = "tzkmoa482067")
    {
        dialogs->clear();
        dialogs->inputs = {code};
        qm::runCommand("N35");
        tool = qobject_cast<Tfrdbcopy*>(qm::findOpenWindow("Frdbcopy"));
    }
    int count(const char* table) { return frdm->ADOCon.scalar(QStringLiteral("SELECT count(*) FROM ") + table).toInt(); }
};

TEST_F(DataToolTest, OpensOnlyWithTheAccessCodeAndForTheAdministrator)
{
    const QString warning = QStringLiteral("这是系统管理员对数据的处理维护，若没有管理员授权，请不要使用此功能！");
    open("tzkmoa48206");
    EXPECT_EQ(dialogs->messages(), (QStringList{warning, QStringLiteral("输入密码错误,请重新操作！")}));
    EXPECT_EQ(dialogs->shown[1].caption, QStringLiteral("提示信息"));
    EXPECT_EQ(dialogs->shown[1].text, QStringLiteral("请输入操作密码:          "));
    EXPECT_FALSE(tool);

    loginAs("001");
    open("  tzkmoa482067 ");
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("该用户无权使用此功能！"));
    EXPECT_FALSE(tool);
    EXPECT_TRUE(frmain->isEnabled());

    loginAs("999");
    open();
    ASSERT_TRUE(tool);
    EXPECT_EQ(tool->windowTitle(), QStringLiteral("成批数据转换、删除、合并"));
    EXPECT_FALSE(frmain->isEnabled());
}

TEST_F(DataToolTest, SqlRunsEveryStatementAfterTheQuestionInOneTransaction)
{
    open();
    ASSERT_TRUE(tool);
    auto& c = frdm->ADOCon;
    c.exec("INSERT INTO product (intno, name, dj_n, dj_w, spmz, spzz) VALUES ('1', 'a', 1.234, 2.345, 3.456, 4.5678)");

    // The shipped statement, spread over lines with blank ones between.
    tool->Memo1->setPlainText(tool->Memo1->toPlainText().replace("\n", "\n   \n"));
    dialogs->answers = {qm::Answer::Cancel};
    tool->Button1Click();
    EXPECT_DOUBLE_EQ(c.scalar("SELECT dj_n FROM product").toDouble(), 1.234);
    tool->Button1Click();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("处理完毕！共改动 1 行数据。"));
    EXPECT_EQ(c.scalar("SELECT dj_n||' '||dj_w||' '||spmz||' '||spzz FROM product").toString(), "1.23 2.35 3.46 4.57");

    tool->Memo1->setPlainText("insert into units (intno, name) values ('1', 'box');\n"
                              "update product set name='b';\ninsert into units (intno, name) values ('2', 'bag')");
    tool->Button1Click();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("处理完毕！共改动 3 行数据。"));

    // A failing later statement undoes the earlier ones; no success is reported.
    for (const char* sql : {"delete from units;\nupdate nosuch set x=1", "delete from units;\nBEGIN", "delete from units; COMMIT",
                            "   \n  \n"}) {
        SCOPED_TRACE(sql);
        dialogs->clear();
        tool->Memo1->setPlainText(QString::fromUtf8(sql));
        EXPECT_THROW(tool->Button1Click(), qm::DbError);
        EXPECT_FALSE(dialogs->lastMessage().startsWith(QStringLiteral("处理完毕")));
        EXPECT_EQ(count("units"), 2);
        EXPECT_FALSE(c.inTransaction());
    }
}

TEST_F(DataToolTest, LookingAtATableNeverWrites)
{
    open();
    ASSERT_TRUE(tool);
    auto& c = frdm->ADOCon;
    c.exec("INSERT INTO units (intno, name) VALUES ('1', 'box'), ('2', 'bag')");
    tool->Memo1->setPlainText("select name\nfrom units order by intno");
    tool->Button2Click();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("可查看数据表了."));
    ASSERT_EQ(tool->DBGrid1->model()->rowCount(), 2);
    EXPECT_EQ(tool->DBGrid1->model()->index(1, 0).data().toString(), "bag");

    for (const char* sql : {"delete from units", "select * from units; delete from units", "insert into units (intno) values ('3')",
                            "PRAGMA user_version=5", "BEGIN", "select 1; select 2"}) {
        SCOPED_TRACE(sql);
        dialogs->clear();
        tool->Memo1->setPlainText(QString::fromUtf8(sql));
        tool->Button2Click();
        EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("查表只能执行一条只读的查询语句(SELECT)！"));
        EXPECT_EQ(count("units"), 2);
    }
    EXPECT_EQ(c.scalar("PRAGMA user_version").toInt(), 0);
    tool->Memo1->setPlainText("select * from nosuch");
    EXPECT_THROW(tool->Button2Click(), qm::DbError);
    // The connection writes again afterwards.
    c.exec("DELETE FROM units WHERE intno='2'");
    EXPECT_EQ(count("units"), 1);
}

TEST_F(DataToolTest, SettingsOfHowTheFileIsWrittenAreRefused)
{
    open();
    ASSERT_TRUE(tool);
    auto& c = frdm->ADOCon;
    c.exec("INSERT INTO units (intno, name) VALUES ('1', 'box')");
    for (const char* sql : {"PRAGMA journal_mode=OFF", "pragma main.synchronous = 0", "PRAGMA query_only(1)",
                            "PRAGMA writable_schema=ON", "PRAGMA locking_mode=EXCLUSIVE",
                            "update units set name='x';\n/* a note */ PRAGMA \"journal_mode\" = MEMORY"}) {
        SCOPED_TRACE(sql);
        tool->Memo1->setPlainText(QString::fromUtf8(sql));
        for (auto click : {&Tfrdbcopy::Button1Click, &Tfrdbcopy::Button2Click}) {
            dialogs->clear();
            (tool->*click)();
            ASSERT_EQ(dialogs->messages().size(), 1);
            EXPECT_TRUE(dialogs->lastMessage().startsWith(QStringLiteral("数据处理不能执行改变数据库设置的PRAGMA语句")));
        }
        EXPECT_THROW(qm::runStatements(c, QString::fromUtf8(sql)), qm::DbError);
    }
    EXPECT_EQ(c.scalar("PRAGMA journal_mode").toString(), "delete");
    EXPECT_EQ(c.scalar("PRAGMA synchronous").toInt(), 2);
    EXPECT_EQ(c.scalar("PRAGMA query_only").toInt(), 0);
    EXPECT_EQ(c.scalar("PRAGMA writable_schema").toInt(), 0);
    EXPECT_EQ(c.scalar("SELECT name FROM units").toString(), "box");
    // A pragma that only reads still shows its rows.
    tool->Memo1->setPlainText("PRAGMA table_info(units)");
    tool->Button2Click();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("可查看数据表了."));
}

TEST_F(DataToolTest, PackageEmptiesPackagesAndUnits)
{
    open();
    ASSERT_TRUE(tool);
    frdm->ADOCon.exec("INSERT INTO package (intno) VALUES ('1')");
    frdm->ADOCon.exec("INSERT INTO units (intno) VALUES ('1')");
    tool->Button3Click();
    EXPECT_EQ(count("package") + count("units"), 0);
    tool->close();
    EXPECT_FALSE(frdm->AQcom->active());
}

// What the tool commits, by its statements or by emptying the package lists,
// is copied to bak/ as after a save: a start-up swap after a later damage
// would otherwise undo it. A look at a table, or a run refused, answered
// 取消, failed or stopped, copies nothing.
TEST_F(DataToolTest, WhatTheToolCommitsIsCopiedToBak)
{
    namespace fault = qm::fault;
    open();
    ASSERT_TRUE(tool);
    const QString working = qm::AppPaths::workingDatabase(), bak = qm::AppPaths::backupDatabase();
    frdm->ADOCon.exec("INSERT INTO package (intno) VALUES ('1')");
    qm::waitForBakCopies();
    fault::copyDatabase(working, bak);
    const int made = qm::bakCopiesMade();
    const QString insert = "insert into units (intno, name) values ('1', 'box');\n";
    tool->Memo1->setPlainText("select * from package");
    tool->Button2Click();
    tool->Memo1->setPlainText(insert + "PRAGMA journal_mode=OFF");
    tool->Button1Click();
    tool->Memo1->setPlainText(insert);
    dialogs->answers = {qm::Answer::Cancel};
    tool->Button1Click();
    tool->Memo1->setPlainText(insert + "update nosuch set x=1");
    EXPECT_THROW(tool->Button1Click(), qm::DbError);
    tool->Memo1->setPlainText(insert + "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM n) SELECT x FROM n WHERE x<0");
    dialogs->cancelProgress = true;
    tool->Button1Click();
    dialogs->cancelProgress = false;
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("已取消执行,数据没有改动。"));
    qm::waitForBakCopies();
    EXPECT_EQ(qm::bakCopiesMade(), made);

    tool->Memo1->setPlainText(insert);
    for (auto click : {&Tfrdbcopy::Button1Click, &Tfrdbcopy::Button3Click}) {
        const fault::Snapshot before = fault::snapshotFile(bak);
        (tool->*click)();
        qm::waitForBakCopies();
        const fault::Snapshot after = fault::snapshotFile(working);
        ASSERT_NE(fault::difference(before, after), QString());
        EXPECT_EQ(fault::difference(fault::snapshotFile(bak), after), QString());
    }
}

// Whatever comments or spelling hide them, statements that would end the
// tool's transaction, reach another file or copy the database are refused
// before anything runs: nothing is written, no file is made, nothing stays
// attached.
TEST_F(DataToolTest, TheGuardCannotBeTalkedPast)
{
    open();
    ASSERT_TRUE(tool);
    auto& c = frdm->ADOCon;
    c.exec("INSERT INTO units (intno, name) VALUES ('1', 'box')");
    const QString copy = QDir(QFileInfo(c.path()).path()).filePath("copy.db");
    const QString sqlCopy = QString("'%1'").arg(copy);
    for (const QString& sql : QStringList{"delete from units;\n/**/COMMIT; /**/VACUUM INTO " + sqlCopy,
                               "delete from units; /* keep */ vacuum\nINTO " + sqlCopy, "/**/ATTACH " + sqlCopy + " AS other",
                               "delete from units; -- done\nEND; delete from units", "/**/SAVEPOINT s; delete from units; RELEASE s",
                                          "delete from units;\n/**/ROLLBACK"}) {
        SCOPED_TRACE(sql.toStdString());
        tool->Memo1->setPlainText(sql);
        dialogs->clear();
        try {
            tool->Button1Click();
            ADD_FAILURE() << "ran";
        } catch (const qm::DbError& e) {
            EXPECT_TRUE(e.message().startsWith(QStringLiteral("这里不能执行事务、压缩或附加数据库的语句: "))) << e.what();
        }
        EXPECT_FALSE(dialogs->lastMessage().startsWith(QStringLiteral("处理完毕")));
        EXPECT_EQ(count("units"), 1);
        EXPECT_FALSE(c.inTransaction());
        EXPECT_FALSE(QFileInfo::exists(copy));
        EXPECT_EQ(c.rows("PRAGMA database_list").size(), 1u);
        tool->Button2Click();
        EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("查表只能执行一条只读的查询语句(SELECT)！"));
    }
}

// A statement that never ends shows a progress window after a moment; its
// 取消 stops it, rolls everything back and leaves the file to the front desk,
// and the tool goes on.
TEST_F(DataToolTest, ARunawayStatementIsStoppedByCancel)
{
    open();
    ASSERT_TRUE(tool);
    auto& c = frdm->ADOCon;
    c.exec("INSERT INTO units (intno, name) VALUES ('1', 'box'), ('2', 'bag')");
    const QString endless = "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM n) SELECT x FROM n WHERE x<0";
    auto progressShown = [this] {
        for (const auto& s : dialogs->shown)
            if (s.kind == "progress") return s.caption + "|" + s.text;
        return QString();
    };
    dialogs->cancelProgress = true;

    tool->Memo1->setPlainText("delete from units;\n" + endless);
    dialogs->clear();
    tool->Button1Click();
    EXPECT_EQ(progressShown(), QStringLiteral("数据处理|正在执行SQL语句,请稍候……"));
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("已取消执行,数据没有改动。"));
    EXPECT_EQ(count("units"), 2);
    EXPECT_FALSE(c.inTransaction());
    // The front desk writes at once.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open_v2(c.path().toUtf8().constData(), &other, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE; UPDATE units SET name=name; COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(other);

    tool->Memo1->setPlainText(endless);
    dialogs->clear();
    tool->Button2Click();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("已取消查表。"));
    EXPECT_EQ(tool->DBGrid1->model()->rowCount(), 0);

    // The next statements run to their end: nothing of the 取消 is left over.
    tool->Memo1->setPlainText("select name from units");
    dialogs->clear();
    tool->Button2Click();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("可查看数据表了."));
    EXPECT_EQ(tool->DBGrid1->model()->rowCount(), 2);
    tool->Memo1->setPlainText("delete from units");
    tool->Button1Click();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("处理完毕！共改动 2 行数据。"));
}

// Text after a NUL is not read by the database: a NUL at the end is the end
// of the text, and one with statements after it is refused whole.
TEST_F(DataToolTest, ANulEndsTheText)
{
    open();
    ASSERT_TRUE(tool);
    frdm->ADOCon.exec("INSERT INTO units (intno, name) VALUES ('1', 'box'), ('2', 'bag')");
    const QString nul(QChar(0));
    tool->Memo1->setPlainText("select name from units order by intno;" + nul);
    ASSERT_TRUE(qm::memoSql(tool->Memo1->toPlainText()).contains(nul));
    tool->Button2Click();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("可查看数据表了."));
    EXPECT_EQ(tool->DBGrid1->model()->rowCount(), 2);
    tool->Memo1->setPlainText("delete from units where intno='1';" + nul + " " + nul);
    tool->Button1Click();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("处理完毕！共改动 1 行数据。"));

    for (auto click : {&Tfrdbcopy::Button1Click, &Tfrdbcopy::Button2Click}) {
        tool->Memo1->setPlainText("select 1;" + nul + "delete from units");
        try {
            (tool->*click)();
            ADD_FAILURE() << "ran";
        } catch (const qm::DbError& e) {
            EXPECT_EQ(e.message(), QStringLiteral("SQL语句中间有空字符(NUL),不能执行！"));
        }
        EXPECT_EQ(count("units"), 1);
    }
}

// Nothing the free SQL makes stays on a connection after its statement: a
// TEMP trigger on a table of the file would fire at every later write. The
// two-argument fts3_tokenizer, which would take any number as the address of
// a tokenizer, is refused, and writes to the hidden tables of a full-text
// index; full-text tables still work.
TEST_F(DataToolTest, NothingTheSqlMakesOutlivesItsStatement)
{
    open();
    ASSERT_TRUE(tool);
    const int operators = count("opcrl");
    ASSERT_GT(operators, 0);
    for (const char* sql : {"CREATE TEMP TRIGGER t AFTER INSERT ON main.apperror BEGIN DELETE FROM opcrl; END",
                            "create trigger temp.t after insert on apperror begin delete from opcrl; end",
                            "CREATE TEMPORARY TABLE x(a)", "create table temp.x as select * from opcrl",
                            "CREATE TEMP VIEW v AS SELECT 1", "create view temp.w as select 1",
                            "create virtual table temp.f using fts4(x)"}) {
        SCOPED_TRACE(sql);
        tool->Memo1->setPlainText(QString::fromUtf8(sql));
        try {
            tool->Button1Click();
            ADD_FAILURE() << "ran";
        } catch (const qm::DbError& e) {
            EXPECT_EQ(e.message(), QStringLiteral("这里不能建立临时的表、视图、触发器或索引: ") + sql) << e.what();
        }
        dialogs->clear();
        tool->Button2Click();
        EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("查表只能执行一条只读的查询语句(SELECT)！"));
    }
    tool->Memo1->setPlainText("insert into apperror (capt) values ('tool')");
    tool->Button1Click();
    frdm->ADOCon.exec("INSERT INTO apperror (capt) VALUES ('program')");
    EXPECT_EQ(count("opcrl"), operators);
    tool->Memo1->setPlainText("select count(*) from temp.sqlite_master");
    tool->Button2Click();
    EXPECT_EQ(tool->DBGrid1->model()->index(0, 0).data().toString(), "0");

    tool->Memo1->setPlainText("select fts3_tokenizer('simple', zeroblob(8))");
    ASSERT_THROW(tool->Button1Click(), qm::DbError);
    ASSERT_THROW(tool->Button2Click(), qm::DbError);
    tool->Memo1->setPlainText("create virtual table ft using fts3(x);\ninsert into ft values ('a b');\ndelete from ft_segdir");
    EXPECT_THROW(tool->Button1Click(), qm::DbError);
    EXPECT_FALSE(frdm->ADOCon.tableExists("ft"));
    tool->Memo1->setPlainText("create virtual table ft using fts3(x);\ninsert into ft values ('a b');\n"
                              "delete from units where name in (select x from ft where x match 'b');\ndrop table ft");
    dialogs->clear();
    tool->Button1Click();
    EXPECT_TRUE(dialogs->lastMessage().startsWith(QStringLiteral("处理完毕！"))) << dialogs->lastMessage().toStdString();
}

namespace {
// The progress window lets the program paint at each poll, as the real one
// does: `paint` runs there.
class PaintingDialogs : public qm::ScriptedDialogs {
public:
    std::function<void()> paint;
    std::unique_ptr<qm::ProgressWindow> progress(const QString& caption, const QString& text, int delayMs,
                                                 const QString& stopText) override
    {
        struct Painting : qm::ProgressWindow {
            std::unique_ptr<qm::ProgressWindow> window;
            std::function<void()> paint;
            bool poll() override
            {
                if (paint) paint();
                return window->poll();
            }
            void setStep(const QString& step, qint64 done, qint64 total) override { window->setStep(step, done, total); }
        };
        auto w = std::make_unique<Painting>();
        w->window = ScriptedDialogs::progress(caption, text, delayMs, stopText);
        w->paint = paint;
        return w;
    }
};
}

// While the tool's statement runs, and when 取消 stops it, the program paints
// its other windows: a list over the program's connection reads through it,
// which is never in the middle of the tool's statement.
TEST_F(DataToolTest, TheProgramPaintsWhileTheToolsStatementRuns)
{
    auto backend = std::make_unique<PaintingDialogs>();
    PaintingDialogs* painting = backend.get();
    dialogs = painting;
    qm::dlg::setBackend(std::move(backend));
    open();
    ASSERT_TRUE(tool);
    auto& c = frdm->ADOCon;
    c.exec("INSERT INTO units (intno, name) VALUES ('1', 'box'), ('2', 'bag')");
    qm::Dataset list(&c, "list");
    list.setFetchOnDemand(true);
    list.setSql("select * from units");
    list.open();
    QTableView grid;
    qm::DatasetModel model(&list);
    qm::DatasetModel::bind(&grid, &model);
    grid.resize(300, 200);

    int paints = 0;
    bool midStatement = false;
    painting->paint = [&] {
        ++paints;
        for (sqlite3_stmt* s = sqlite3_next_stmt(c.handle(), nullptr); s; s = sqlite3_next_stmt(c.handle(), s))
            midStatement = midStatement || sqlite3_stmt_busy(s);
        if (midStatement) return;
        grid.grab();
        EXPECT_EQ(c.scalar("SELECT count(*) FROM units").toInt(), 2);
    };
    painting->progressDelayMs = 60;
    painting->cancelProgress = true;
    const QString endless = "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM n) SELECT x FROM n WHERE x<0";
    for (auto click : {&Tfrdbcopy::Button1Click, &Tfrdbcopy::Button2Click}) {
        tool->Memo1->setPlainText("delete from units;\n" + endless);
        if (click == &Tfrdbcopy::Button2Click) tool->Memo1->setPlainText(endless);
        paints = 0;
        (tool->*click)();
        EXPECT_GT(paints, 1);
        EXPECT_FALSE(midStatement);
        EXPECT_TRUE(dialogs->lastMessage().startsWith(QStringLiteral("已取消"))) << dialogs->lastMessage().toStdString();
    }
    EXPECT_EQ(count("units"), 2);
}
