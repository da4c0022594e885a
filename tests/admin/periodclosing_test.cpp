// Month-end, year-end, initialisation and clearing the sales data: effects on
// hand-computed rows, the refusals in their order, and all-or-nothing.
#include "admin/backup.h"
#include "admin/periodclosing.h"
#include "data/damage.h"
#include "common/errors.h"
#include "shell/commands.h"
#include "support/faultvfs.h"
#include "support/files.h"
#include "support/fixture.h"
#include <QScopeGuard>

namespace {
const char* const kDocumentTables[] = {"outlist", "outdetail", "outbacklist", "outbackdetail", "getlist", "getdetail",
                                       "putlist", "putdetail", "inlist", "indetail", "inbacklist", "inbackdetail"};

void failCopy(const char* step)
{
    if (QByteArray(step) == "database") throw qm::FileOpenError(QStringLiteral("disk full"));
}
}

class PeriodClosingTest : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        auto& c = frdm->ADOCon;
        c.exec("DELETE FROM customer");
        c.exec("DELETE FROM bank");
        c.exec("DELETE FROM nextno");
        c.exec("INSERT INTO product (intno, name, sl, rest, sl_in_m, sl_out_m, sl_in_y, sl_out_y) "
               "VALUES ('1', 'p', 40, 10, 5, 6, 50, 20)");
        for (const char* t : {"customer", "branch"})
            c.exec(QStringLiteral("INSERT INTO %1 (intno, name, balance, rest, amount, pay, deduck, amount_y, pay_y, deduck_y) "
                                  "VALUES ('1', 'c', 300, 100, 7, 8, 9, 70, 80, 90)").arg(QLatin1String(t)));
        c.exec("INSERT INTO bank (intno, name, balance, rest, amount, pay, amount_y, pay_y) VALUES ('1', 'b', 500, 200, 3, 4, 30, 40)");
        for (const char* t : kDocumentTables)
            c.exec(QStringLiteral("INSERT INTO %1 (intno) VALUES ('0000000001')").arg(QLatin1String(t)));
        c.exec("INSERT INTO nextno (tablename, intno) VALUES ('product', '57'), ('BANK', '4'), ('outlist', '99'), "
               "('INDETAIL', '12')");
    }
    void TearDown() override
    {
        qm::setCopyStepHook(nullptr);
        AppFixture::TearDown();
    }
    // The first row's columns, numbers without trailing zeros.
    QString values(const QString& sql)
    {
        QStringList out;
        const auto rows = frdm->ADOCon.rows(sql);
        for (const QVariant& v : rows.at(0)) out << QString::number(v.toDouble());
        return out.join(' ');
    }
    QString row(const QString& sql) { return frdm->ADOCon.rows(sql).at(0).at(0).toString(); }
    QString product() { return values("SELECT sl, rest, sl_in_m, sl_out_m, sl_in_y, sl_out_y FROM product"); }
    QString partner(const char* t)
    {
        return values(QStringLiteral("SELECT balance, rest, amount, pay, deduck, amount_y, pay_y, deduck_y FROM %1").arg(QLatin1String(t)));
    }
    QString bank() { return values("SELECT balance, rest, amount, pay, amount_y, pay_y FROM bank"); }
    QString numbering() { return row("SELECT group_concat(tablename||'='||intno, ' ') FROM (SELECT * FROM nextno ORDER BY rowid)"); }
    QString documents()
    {
        QStringList n;
        for (const char* t : kDocumentTables)
            n << frdm->ADOCon.scalar(QStringLiteral("SELECT count(*) FROM %1").arg(QLatin1String(t))).toString();
        return n.join("");
    }
    QString everything()
    {
        return QStringList{product(), partner("customer"), partner("branch"), bank(), numbering(), documents()}.join(" | ");
    }
    void run(const char* command, const QString& password = "123456")
    {
        dialogs->clear();
        dialogs->inputs = {password};
        qm::runCommand(command);
    }
};

TEST_F(PeriodClosingTest, MonthEndZeroesTheMonthCountersOnly)
{
    const QString before = everything();
    run("N65", "wrong");
    EXPECT_EQ(dialogs->messages(), QStringList{QStringLiteral("输入操作员密码错误,请重新操作！")});
    loginAs("001");
    run("N65");
    EXPECT_EQ(dialogs->messages(), QStringList{QStringLiteral("该用户无权使用此功能！")});
    loginAs("999");
    dialogs->answers = {qm::Answer::Cancel};
    run("N65");
    EXPECT_EQ(dialogs->messages(), QStringList{QStringLiteral("确实要月终数据处理?")});
    EXPECT_EQ(everything(), before);

    run("N65");
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("已做完月终数据处理!"));
    EXPECT_EQ(product(), "40 10 0 0 50 20");
    EXPECT_EQ(partner("customer"), "300 100 0 0 0 70 80 90");
    EXPECT_EQ(partner("branch"), "300 100 0 0 0 70 80 90");
    EXPECT_EQ(bank(), "500 200 0 0 30 40");
    EXPECT_EQ(documents(), "111111111111");
}

TEST_F(PeriodClosingTest, YearEndCopiesToLastbakThenCarriesBalancesForward)
{
    loginAs("001");
    run("N50");
    EXPECT_EQ(dialogs->messages(), (QStringList{QStringLiteral("请先做年度数据备份，再做年终数据处理功能!"),
                                                QStringLiteral("该用户无此权限,请用999登录系统！")}));
    loginAs("999");
    dialogs->answers = {qm::Answer::Cancel};
    const QString before = everything();
    run("N50");
    EXPECT_EQ(dialogs->messages().last(), QStringLiteral("确实要进行年终数据处理吗?"));
    EXPECT_EQ(everything(), before);
    EXPECT_FALSE(QFileInfo::exists(folder() + "LASTBAK"));

    run("N50");
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("年终数据处理完成，请到数据维护中进行数据整理。"));
    EXPECT_EQ(product(), "40 40 5 6 0 0");
    EXPECT_EQ(partner("customer"), "300 300 7 8 9 0 0 0");
    EXPECT_EQ(partner("branch"), "300 300 7 8 9 0 0 0");
    EXPECT_EQ(bank(), "500 500 3 4 0 0");
    EXPECT_EQ(numbering(), "product=57 BANK=4 outlist=1 INDETAIL=1");
    EXPECT_EQ(documents(), "000000000000");
    // The copy holds the year as it was.
    qm::Connection last;
    last.open(folder() + "LASTBAK/vkdb.mdb");
    EXPECT_EQ(last.scalar("SELECT rest FROM customer").toDouble(), 100);
    EXPECT_EQ(last.scalar("SELECT count(*) FROM outlist").toInt(), 1);
}

TEST_F(PeriodClosingTest, YearEndStopsWithNothingChangedWhenItsCopyOrACommandFails)
{
    qm::copyWorkingFolder("LASTBAK");
    const QByteArray lastbak = readFile(folder() + "LASTBAK/vkdb.mdb");
    frdm->ADOCon.exec("UPDATE customer SET balance=301");
    const QString before = everything();

    qm::setCopyStepHook(failCopy);
    run("N50");
    EXPECT_TRUE(dialogs->lastMessage().startsWith(QStringLiteral("年终数据备份到LASTBAK失败,年终数据处理没有进行！ \r原因：")));
    EXPECT_EQ(everything(), before);
    QFile f(folder() + "LASTBAK/vkdb.mdb");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), lastbak);
    // A full disk is named as such, as by the other copies.
    qm::setCopyStepHook([](const char* step) {
        if (QByteArray(step) == "database") throw qm::DiskFullError("SQLITE_FULL");
    });
    run("N50");
    EXPECT_TRUE(dialogs->lastMessage().endsWith(QStringLiteral("\r原因：") + qm::diskFullText()));
    EXPECT_EQ(everything(), before);
    qm::setCopyStepHook(nullptr);

    // The last deletion fails: the year is not left half closed.
    frdm->ADOCon.exec("CREATE TRIGGER keep BEFORE DELETE ON inbackdetail BEGIN SELECT RAISE(ABORT, 'refused'); END");
    for (const auto& job : {qm::yearEndCommands(), qm::initialisationCommands(), qm::monthEndCommands()}) {
        QStringList failing = job;
        failing << "delete from inbackdetail";
        EXPECT_THROW(qm::runClosingJob(frdm->ADOCon, failing), qm::DbError);
        EXPECT_EQ(everything(), before);
    }
}

TEST_F(PeriodClosingTest, InitialisationPutsTheOpeningValuesBack)
{
    loginAs("001");
    run("N20");
    EXPECT_EQ(dialogs->messages(), QStringList{QStringLiteral("该用户无此权限,请用999登录系统！")});
    loginAs("999");
    run("N20");
    EXPECT_EQ(dialogs->messages(), (QStringList{QStringLiteral("确实要初始化吗?"), QStringLiteral("初始化完成，请到数据维护中进行数据整理。")}));
    EXPECT_EQ(product(), "10 10 0 0 0 0");
    EXPECT_EQ(partner("customer"), "100 100 0 0 0 0 0 0");
    EXPECT_EQ(partner("branch"), "100 100 0 0 0 0 0 0");
    EXPECT_EQ(bank(), "200 200 0 0 0 0");
    EXPECT_EQ(numbering(), "product=57 BANK=4 outlist=1 INDETAIL=1");
    EXPECT_EQ(documents(), "000000000000");
    EXPECT_FALSE(QFileInfo::exists(folder() + "LASTBAK"));
}

TEST_F(PeriodClosingTest, ClearingSalesLeavesPurchasesPaymentsAndStock)
{
    loginAs("001");
    run("N74");
    EXPECT_EQ(dialogs->messages(), QStringList{QStringLiteral("该用户无权使用此功能！")});
    loginAs("999");
    const QString stock = product();
    run("N74");
    EXPECT_EQ(dialogs->messages(), (QStringList{QStringLiteral("确实要清空销售数据吗?"), QStringLiteral("清空销售数据完毕！")}));
    EXPECT_EQ(documents(), "000011111111");
    EXPECT_EQ(product(), stock);
    EXPECT_EQ(numbering(), "product=57 BANK=4 outlist=99 INDETAIL=12");
}

// Month-end and year-end run off the interface thread under a progress window
// naming each step (shown at once here), with their messages as before.
TEST_F(PeriodClosingTest, MonthEndAndYearEndShowTheirStepsInOrder)
{
    dialogs->progressDelayMs = 0;
    run("N65");
    EXPECT_EQ(dialogs->progressSteps(), QStringList{QStringLiteral("月终数据处理|处理数据")});
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("已做完月终数据处理!"));
    EXPECT_EQ(product(), "40 10 0 0 50 20");

    run("N50");
    EXPECT_EQ(dialogs->progressSteps(), (QStringList{QStringLiteral("年终数据处理|复制数据"), QStringLiteral("年终数据处理|检查数据"),
                                                     QStringLiteral("年终数据处理|处理数据")}));
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("年终数据处理完成，请到数据维护中进行数据整理。"));
    EXPECT_EQ(documents(), "000000000000");
}

// Each job ends with its data copied to bak/, as a save does: a start-up swap
// after a later damage would otherwise undo the whole job. While last year's
// data is shown, bak/ keeps this year's; a job that did not run copies nothing.
TEST_F(PeriodClosingTest, EachJobLeavesItsDataInBak)
{
    namespace fault = qm::fault;
    const QString working = qm::AppPaths::workingDatabase(), bak = qm::AppPaths::backupDatabase();
    // Counters, balances and documents for every job to change.
    int number = 1;
    auto freshYear = [&] {
        auto& c = frdm->ADOCon;
        ++number;
        c.exec("UPDATE product SET sl=40, rest=10, sl_in_m=5, sl_out_m=6, sl_in_y=50, sl_out_y=20");
        c.exec("UPDATE customer SET balance=300, rest=100, amount=7");
        for (const char* t : kDocumentTables)
            c.exec(QStringLiteral("INSERT INTO %1 (intno) VALUES (:p1)").arg(QLatin1String(t)),
                   {{"p1", QString::number(number).rightJustified(10, '0')}});
        fault::copyDatabase(working, bak);
    };
    for (const char* command : {"N65", "N74", "N50", "N20"}) {
        SCOPED_TRACE(command);
        freshYear();
        const fault::Snapshot before = fault::snapshotFile(bak);
        run(command);
        qm::waitForBakCopies();
        const fault::Snapshot after = fault::snapshotFile(working);
        ASSERT_NE(fault::difference(before, after), QString());
        EXPECT_EQ(fault::difference(fault::snapshotFile(bak), after), QString());
    }

    // Last year's data in works/: bak/ keeps this year's.
    qm::holdBakCopies(true);
    const auto release = qScopeGuard([] { qm::holdBakCopies(false); });
    freshYear();
    const QByteArray thisYear = readFile(bak);
    run("N65");
    qm::waitForBakCopies();
    EXPECT_EQ(readFile(bak), thisYear);
    qm::holdBakCopies(false);

    // Year-end stopped by its failed copy to LASTBAK: nothing to copy.
    const int made = qm::bakCopiesMade();
    qm::setCopyStepHook(failCopy);
    run("N50");
    qm::setCopyStepHook(nullptr);
    qm::waitForBakCopies();
    EXPECT_EQ(qm::bakCopiesMade(), made);
    EXPECT_EQ(readFile(bak), thisYear);
}
