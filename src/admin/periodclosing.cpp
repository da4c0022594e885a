#include "admin/periodclosing.h"
#include "admin/backup.h"
#include "admin/rights.h"
#include "common/dialogs.h"
#include "common/errors.h"
#include "common/paths.h"
#include "data/bakcopy.h"
#include "data/connection.h"
#include "data/damage.h"
#include "shell/commands.h"

namespace qm {

namespace {

const QString kNoRight = QStringLiteral("该用户无权使用此功能！");
const QString kOnly999 = QStringLiteral("该用户无此权限,请用999登录系统！");

// The master tables keep their numbers; every document table starts again at 1.
QString resetNumbering()
{
    return QStringLiteral("update nextno set intno='1' where upper(tablename) not in "
                          "('BANK','CUSTOMER','BRANCH','EMPLOYEE','STORE','CPRODUCT','PRODUCT')");
}

QStringList deleteAllDocuments()
{
    QStringList out;
    for (const char* t : {"outlist", "outdetail", "outbacklist", "outbackdetail", "getlist", "getdetail", "putlist",
                          "putdetail", "inlist", "indetail", "inbacklist", "inbackdetail"})
        out << QStringLiteral("delete from ") + QLatin1String(t);
    return out;
}

// Password, (notice), administrator, question: false when any of them stops the command.
bool mayRun(const QString& refusal, const QString& question, const QString& notice = QString())
{
    if (!recheckPassword()) return false;
    if (!notice.isEmpty()) dlg::showMessage(notice);
    if (!requireAdministrator(refusal)) return false;
    return dlg::confirm(question);
}

// The job on a connection of its own, off the interface thread.
void runJob(LongWork& work, const QStringList& commands)
{
    const QString working = AppPaths::workingDatabase();
    work.run([&](const StepReport& report) {
        Connection c;
        c.open(working);
        runClosingJob(c, commands, stepsTo(report));
    });
}

// bak/ takes the data the job left, as after a save: a start-up swap after
// a later damage would otherwise undo the whole job. A job that failed
// changed nothing and has thrown before this.
void finished(const QString& done)
{
    requestBakCopy();
    dlg::showMessage(done);
}

void runOnData(const QString& caption, const QStringList& commands, const QString& done)
{
    {
        LongWork work(caption);
        runJob(work, commands);
    }
    finished(done);
}

} // namespace

QStringList monthEndCommands()
{
    return {QStringLiteral("update product set sl_out_m=0,sl_in_m=0"),
            QStringLiteral("update customer set amount=0,deduck=0,pay=0"),
            QStringLiteral("update branch set amount=0,deduck=0,pay=0"),
            QStringLiteral("update bank set amount=0,pay=0")};
}

QStringList yearEndCommands()
{
    return QStringList{resetNumbering(),
                       QStringLiteral("update customer set rest=balance,amount_y=0,deduck_y=0,pay_y=0"),
                       QStringLiteral("update branch set rest=balance,amount_y=0,deduck_y=0,pay_y=0"),
                       QStringLiteral("update product set rest=sl,sl_out_y=0,sl_in_y=0"),
                       QStringLiteral("update bank set rest=balance,amount_y=0,pay_y=0")}
           + deleteAllDocuments();
}

QStringList initialisationCommands()
{
    return QStringList{resetNumbering(),
                       QStringLiteral("update customer set balance=rest,amount=0,deduck=0,pay=0,amount_y=0,deduck_y=0,pay_y=0"),
                       QStringLiteral("update branch set balance=rest,amount=0,deduck=0,pay=0,amount_y=0,deduck_y=0,pay_y=0"),
                       QStringLiteral("update product set sl=rest,sl_out_m=0,sl_in_m=0,sl_out_y=0,sl_in_y=0"),
                       QStringLiteral("update bank set balance=rest,amount=0,pay=0,amount_y=0,pay_y=0")}
           + deleteAllDocuments();
}

QStringList clearSalesCommands()
{
    return {QStringLiteral("delete from outlist"), QStringLiteral("delete from outbacklist"),
            QStringLiteral("delete from outdetail"), QStringLiteral("delete from outbackdetail")};
}

void runClosingJob(Connection& c, const QStringList& commands, const Progress& progress)
{
    Transaction t(c);
    for (int i = 0; i < commands.size(); ++i) {
        if (progress) progress(ProgressStep::Writing, i, commands.size());
        c.exec(commands[i]);
    }
    t.commit();
}

void monthEnd()
{
    if (!mayRun(kNoRight, QStringLiteral("确实要月终数据处理?"))) return;
    runOnData(QStringLiteral("月终数据处理"), monthEndCommands(), QStringLiteral("已做完月终数据处理!"));
}

void yearEnd()
{
    if (!mayRun(kOnly999, QStringLiteral("确实要进行年终数据处理吗?"),
                QStringLiteral("请先做年度数据备份，再做年终数据处理功能!")))
        return;
    // The copy of the year's data comes first; without it nothing changes.
    // One window over both.
    bool copied = false;
    QString failure;
    {
        LongWork work(QStringLiteral("年终数据处理"));
        try {
            work.run([](const StepReport& report) { copyWorkingFolder(QStringLiteral("LASTBAK"), stepsTo(report)); });
            copied = true;
        } catch (const AppError& e) {
            failure = reasonOf(e);
        }
        if (copied) runJob(work, yearEndCommands());
    }
    if (!copied) {
        dlg::messageBox(QStringLiteral("年终数据备份到LASTBAK失败,年终数据处理没有进行！ \r原因：") + failure,
                        QStringLiteral("提示"), Buttons::Ok, Icon::Error);
        return;
    }
    finished(QStringLiteral("年终数据处理完成，请到数据维护中进行数据整理。"));
}

void initialiseSystem()
{
    if (!mayRun(kOnly999, QStringLiteral("确实要初始化吗?"))) return;
    runOnData(QStringLiteral("系统初始化"), initialisationCommands(), QStringLiteral("初始化完成，请到数据维护中进行数据整理。"));
}

void clearSalesData()
{
    if (!mayRun(kNoRight, QStringLiteral("确实要清空销售数据吗?"))) return;
    runOnData(QStringLiteral("清空销售数据"), clearSalesCommands(), QStringLiteral("清空销售数据完毕！"));
}

}

QM_COMMAND("N65", [] { qm::monthEnd(); });
QM_COMMAND("N50", [] { qm::yearEnd(); });
QM_COMMAND("N20", [] { qm::initialiseSystem(); });
QM_COMMAND("N74", [] { qm::clearSalesData(); });
