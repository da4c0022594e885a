#include "admin/tfrpack.h"
#include "admin/backup.h"
#include "admin/backupcommands.h"
#include "admin/periodclosing.h"
#include "admin/rights.h"
#include "common/paths.h"
#include "data/bakcopy.h"
#include "data/connection.h"
#include "shell/commands.h"
#include "shell/windowprotocol.h"
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

Tfrpack::Tfrpack(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Frpack"));
    setWindowTitle(QStringLiteral("数据整理"));
    Label1 = new QLabel(QStringLiteral("准备数据整理……"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setMinimumHeight(60);
    Button1 = new QPushButton(QStringLiteral("压缩整理"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2 = new QPushButton(QStringLiteral("退回"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    buttons->addStretch(1);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(Label1, 1);
    lay->addLayout(buttons);
    connect(Button1, &QPushButton::clicked, this, &Tfrpack::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Tfrpack::Button2Click);
    resize(340, 150);
}

QStringList Tfrpack::purgeCommands()
{
    QStringList out;
    for (const char* t : {"indetail", "inbackdetail", "outdetail", "outbackdetail", "getdetail", "putdetail"})
        out << QStringLiteral("delete from %1\nWHERE spmc='' or intno=''").arg(QLatin1String(t));
    for (const char* t : {"inlist", "inbacklist", "outlist", "outbacklist", "getlist", "putlist", "product", "branch",
                          "bank", "customer", "employee", "store"})
        out << QStringLiteral("delete from %1\nWHERE intno=''").arg(QLatin1String(t));
    return out;
}

void qm::purgeBlankRows(Connection& c, const Progress& progress) { runClosingJob(c, Tfrpack::purgeCommands(), progress); }

void Tfrpack::Button1Click()
{
    Label1->setText(QStringLiteral("正在整理数据..."));
    QString compactionFailure;
    {
        // The clean-up and the compaction off the interface thread, under one window.
        qm::ConnectionPause pause;
        {
            const QString working = qm::AppPaths::workingDatabase();
            qm::LongWork work(QStringLiteral("数据整理"));
            try {
                work.run([&working](const qm::StepReport& report) {
                    qm::Connection c;
                    c.open(working);
                    qm::purgeBlankRows(c, qm::stepsTo(report));
                });
            } catch (...) {
                // Nothing was removed; the error handler says why.
                Label1->setText(QStringLiteral("准备数据整理……"));
                throw;
            }
            compactionFailure = qm::compactUnder(work, working);
        }
        pause.resume();
    }
    // bak/ takes the cleaned data, compacted or not (the removal is done).
    qm::requestBakCopy();
    const bool compacted = qm::reportCompaction(compactionFailure);
    Label1->setText(compacted ? QStringLiteral("数据的压缩整理完毕！") : QStringLiteral("数据压缩没有完成,请稍后再试。"));
}

void Tfrpack::Button2Click() { close(); }

// 数据压缩整理
QM_COMMAND("N17", [] {
    if (!qm::requireAdministrator()) return;
    qm::openChildWindow([](QWidget* owner) { return new Tfrpack(owner); });
});
