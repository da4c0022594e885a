#include "admin/tfrdbcopy.h"
#include "admin/datatool.h"
#include "admin/rights.h"
#include "common/dialogs.h"
#include "common/errors.h"
#include "data/bakcopy.h"
#include "data/connection.h"
#include "data/dataset.h"
#include "data/datasetmodel.h"
#include "data/tfrdm.h"
#include "shell/commands.h"
#include "shell/windowprotocol.h"
#include <QCloseEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>
#include <atomic>

Tfrdbcopy::Tfrdbcopy(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Frdbcopy"));
    setWindowTitle(QStringLiteral("成批数据转换、删除、合并"));

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    Memo1->setPlainText(QStringLiteral("update product set dj_n=round(dj_n*100)/100,dj_w=round\n"
                                       "(dj_w*100)/100,spmz=round\n"
                                       "(spmz*100)/100,spzz=round(spzz*100)/100"));
    DBGrid1 = new QTableView(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    db_ = std::make_unique<qm::Connection>();
    showRows(newRows());

    Button1 = new QPushButton(QStringLiteral("SQlexe"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2 = new QPushButton(QStringLiteral("查表"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button3 = new QPushButton(QStringLiteral("package"), this);
    Button3->setObjectName(QStringLiteral("Button3"));

    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(Memo1);
    split->addWidget(DBGrid1);
    split->setStretchFactor(1, 1);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {Button1, Button2, Button3}) buttons->addWidget(b);
    buttons->addStretch(1);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(split, 1);
    lay->addLayout(buttons);

    connect(Button1, &QPushButton::clicked, this, &Tfrdbcopy::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Tfrdbcopy::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &Tfrdbcopy::Button3Click);
    resize(760, 520);
}

Tfrdbcopy::~Tfrdbcopy() = default;

void Tfrdbcopy::closeEvent(QCloseEvent* e)
{
    db_->close();
    QWidget::closeEvent(e);
}

qm::Connection& Tfrdbcopy::database()
{
    if (!db_->isOpen()) qm::openToolConnection(*db_, frdm->ADOCon);
    return *db_;
}

std::unique_ptr<qm::Dataset> Tfrdbcopy::newRows()
{
    auto rows = std::make_unique<qm::Dataset>(db_.get(), QStringLiteral("AQcom"));
    rows->setReadOnly(true);
    return rows;
}

void Tfrdbcopy::showRows(std::unique_ptr<qm::Dataset> rows)
{
    QItemSelectionModel* oldSelection = DBGrid1->selectionModel();
    qm::DatasetModel* oldModel = model_;
    model_ = new qm::DatasetModel(rows.get(), this);
    qm::DatasetModel::bind(DBGrid1, model_);
    delete oldSelection;
    delete oldModel;
    rows_ = std::move(rows);
}

void Tfrdbcopy::Button1Click()
{
    const QString sql = qm::memoSql(Memo1->toPlainText());
    qm::Connection& db = database();
    if (refusePragma(sql)) return;
    if (!qm::dlg::confirm(QStringLiteral("确实要执行这些SQL语句吗?\r\r") + sql)) return;
    showRows(newRows());
    int changed = 0;
    if (!watched([&](const std::function<bool()>& stop) { changed = qm::runStatements(db, sql, stop); })) {
        qm::dlg::showMessage(QStringLiteral("已取消执行,数据没有改动。"));
        return;
    }
    // bak/ takes the committed changes, as after a save: a start-up swap
    // after a later damage would otherwise undo them.
    qm::requestBakCopy();
    qm::dlg::showMessage(QStringLiteral("处理完毕！共改动 %1 行数据。").arg(changed));
}

void Tfrdbcopy::Button2Click()
{
    const QString sql = qm::memoSql(Memo1->toPlainText());
    qm::Connection& db = database();
    if (refusePragma(sql)) return;
    if (!qm::isReadOnlyQuery(db, sql)) {
        qm::dlg::showMessage(QStringLiteral("查表只能执行一条只读的查询语句(SELECT)！"));
        return;
    }
    showRows(newRows());
    // The rows are read whole off the interface thread into a dataset that no
    // window shows yet; the grid takes it once it is complete.
    std::unique_ptr<qm::Dataset> rows = newRows();
    if (!watched([&](const std::function<bool()>& stop) { qm::openReadOnlyQuery(rows.get(), sql, stop); })) {
        qm::dlg::showMessage(QStringLiteral("已取消查表。"));
        return;
    }
    showRows(std::move(rows));
    qm::dlg::showMessage(QStringLiteral("可查看数据表了."));
}

bool Tfrdbcopy::watched(const std::function<void(const std::function<bool()>&)>& work)
{
    std::atomic<bool> stopped{false};
    qm::Connection& db = *db_;
    qm::LongWork progress(QStringLiteral("数据处理"), QStringLiteral("取消"), [&] {
        stopped = true;
        qm::interruptStatement(db);
    });
    try {
        progress.run([&](const qm::StepReport& report) {
            report(QStringLiteral("正在执行SQL语句,请稍候……"), 0, 0);
            work([&stopped] { return stopped.load(); });
        });
    } catch (const qm::DbInterrupted&) {
        return false;
    }
    return true;
}

bool Tfrdbcopy::refusePragma(const QString& sql)
{
    const QString pragma = qm::refusedPragma(*db_, sql);
    if (pragma.isEmpty()) return false;
    qm::dlg::showMessage(qm::pragmaRefusalText(pragma));
    return true;
}

void Tfrdbcopy::Button3Click()
{
    qm::emptyPackageLists(frdm->ADOCon);
    qm::requestBakCopy();
}

namespace qm {
void openDataTool()
{
    dlg::showMessage(QStringLiteral("这是系统管理员对数据的处理维护，若没有管理员授权，请不要使用此功能！"));
    QString typed;
    if (!dlg::inputPassword(QStringLiteral("提示信息"), QStringLiteral("请输入操作密码:          "), typed)
        || typed.trimmed() != dataToolAccessCode()) {
        dlg::warning(QStringLiteral("输入密码错误,请重新操作！"));
        return;
    }
    if (!requireAdministrator()) return;
    openChildWindow([](QWidget* owner) { return new Tfrdbcopy(owner); });
}
}

// 数据处理
QM_COMMAND("N35", [] { qm::openDataTool(); });
