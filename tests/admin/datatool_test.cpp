// The administrator's data tool: its access, its statements and errors, and
// the read-only guard of 查表.
#include "admin/datatool.h"
#include "admin/tfrdbcopy.h"
#include "common/errors.h"
#include "shell/commands.h"
#include "shell/windowprotocol.h"
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
    EXPECT_FALSE(frdm->AQcom->active());

    // The next statements run, without a progress window.
    tool->Memo1->setPlainText("select name from units");
    dialogs->clear();
    tool->Button2Click();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("可查看数据表了."));
    EXPECT_EQ(tool->DBGrid1->model()->rowCount(), 2);
    tool->Memo1->setPlainText("delete from units");
    tool->Button1Click();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("处理完毕！共改动 2 行数据。"));
    EXPECT_EQ(progressShown(), QString());
}
