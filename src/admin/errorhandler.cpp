#include "admin/errorhandler.h"
#include "admin/backup.h"
#include "common/clock.h"
#include "common/dialogs.h"
#include "common/errors.h"
#include "common/formats.h"
#include "common/paths.h"
#include "data/damage.h"
#include "data/referee.h"
#include "data/datasetmodel.h"
#include "data/tfrdm.h"
#include <QApplication>
#include <QFile>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTableView>
#include <QVBoxLayout>
#include <new>
#include <typeinfo>

TFrm_ErrorMessage* Frm_ErrorMessage = nullptr;

namespace qm {

QString errorCategory(std::exception_ptr e)
{
    if (!e) return QStringLiteral("系统错误!");
    try {
        std::rethrow_exception(e);
    } catch (const ConversionError&) {
        return QStringLiteral("输入的数据类型错误");
    } catch (const IntDivByZero&) {
        return QStringLiteral("整数除0溢出");
    } catch (const IntOverflow&) {
        return QStringLiteral("整数溢出 ");
    } catch (const RangeError&) {
        return QStringLiteral("整数越界");
    } catch (const IntError&) {
        return QStringLiteral("整数计算异常(基类)");
    } catch (const InvalidFloatOp&) {
        return QStringLiteral("无效浮点操作指令");
    } catch (const FloatOverflow&) {
        return QStringLiteral("浮点操作上溢");
    } catch (const FloatUnderflow&) {
        return QStringLiteral("浮点操作下溢");
    } catch (const FloatDivByZero&) {
        return QStringLiteral("浮点计算除0");
    } catch (const FloatError&) {
        return QStringLiteral("浮点数计算异常(基类)");
    } catch (const InvalidCast&) {
        return QStringLiteral("类型转换异常");
    } catch (const std::bad_cast&) {
        return QStringLiteral("类型转换异常");
    } catch (const DbError&) {
        return QStringLiteral("数据库错误");
    } catch (const FileOpenError&) {
        return QStringLiteral("文件不能打开");
    } catch (const AccessViolation&) {
        return QStringLiteral("访问了无效的内存区域!");
    } catch (...) {
        return QStringLiteral("系统错误!");
    }
}

QString errorMessage(std::exception_ptr e)
{
    if (!e) return QString();
    try {
        std::rethrow_exception(e);
    } catch (const AppError& x) {
        return x.message();
    } catch (const std::bad_alloc&) {
        return QStringLiteral("内存不足");
    } catch (const std::exception& x) {
        return QString::fromLocal8Bit(x.what());
    } catch (...) {
        return QStringLiteral("未知异常");
    }
}

ErrorRecord describeError(const QObject* sender, std::exception_ptr e)
{
    ErrorRecord r;
    r.capt = errorCategory(e);
    QWidget* active = QApplication::activeWindow();
    r.titl = active ? active->windowTitle().left(255) : QString();
    if (r.titl.isEmpty()) r.titl = QStringLiteral("无标题");
    r.name = sender ? QString::fromLatin1(sender->metaObject()->className()) : QString();
    r.rq = Clock::now();
    r.mess = errorMessage(e);
    return r;
}

QString errorLogPath() { return AppPaths::errorLog(); }

QString errorLogLine(const ErrorRecord& r)
{
    return r.capt + ' ' + r.name + ' ' + r.rq.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + ' ' + r.mess;
}

namespace {
void appendToTable(const ErrorRecord& r)
{
    if (!frdm || !frdm->ADOCon.isOpen()) throw DbError(QStringLiteral("no database connection"));
    Dataset* t = frdm->ATapperror;
    if (t->state() == Dataset::State::Edit || t->state() == Dataset::State::Insert) t->cancel();
    if (!t->active()) t->open();
    if (t->fieldCount() < 5) throw DbError(QStringLiteral("apperror has too few columns"));
    // By position: capt, titl, name, rq, mess.
    const QVariant values[5] = {r.capt, r.titl, r.name, toDbDateTime(r.rq), r.mess};
    t->append();
    try {
        for (int i = 0; i < 5; ++i) t->setValue(t->field(i)->name, values[i]);
        t->post();
    } catch (...) {
        t->cancel();
        throw;
    }
    t->last();
}
}

bool appendToTextLog(const ErrorRecord& r)
{
    QFile f(errorLogPath());
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) return false;
    const QByteArray line = errorLogLine(r).toUtf8() + '\n';
    return f.write(line) == line.size();
}

LoggedTo logError(const ErrorRecord& r)
{
    try {
        appendToTable(r);
        return LoggedTo::Table;
    } catch (...) {
    }
    return appendToTextLog(r) ? LoggedTo::TextFile : LoggedTo::Nowhere;
}

void reportException(QObject* sender, std::exception_ptr e)
{
    if (!Frm_ErrorMessage) Frm_ErrorMessage = new TFrm_ErrorMessage;
    Frm_ErrorMessage->MyErrorMessage(sender, e);
}

}

using namespace qm;

TFrm_ErrorMessage::TFrm_ErrorMessage(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Frm_ErrorMessage"));
    setWindowTitle(QStringLiteral("异常信息"));
    qm::centreOnScreen(this);
    resize(640, 460);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont big = Label1->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    big.setBold(true);
    Label1->setFont(big);
    Label1->setStyleSheet(QStringLiteral("color: #b00000;"));

    auto box = [this](const char* name) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QString::fromLatin1(name));
        e->setReadOnly(true);
        return e;
    };
    Edit1 = box("Edit1");
    Edit2 = box("Edit2");
    Edit3 = box("Edit3");
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setMaximumHeight(80);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("出错程序名"), Edit1);
    form->addRow(QStringLiteral("出错位置"), Edit2);
    form->addRow(QStringLiteral("出错日期"), Edit3);
    form->addRow(QStringLiteral("错误信息"), Memo1);

    DBGrid1 = new QTableView(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->verticalHeader()->setDefaultSectionSize(22);

    auto button = [this](const char* name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    BitBtn1 = button("BitBtn1", QStringLiteral("返回"));
    BitBtn2 = button("BitBtn2", QStringLiteral("清空错误记录"));
    BitBtn3 = button("BitBtn3", QStringLiteral("关闭系统"));
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &TFrm_ErrorMessage::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TFrm_ErrorMessage::BitBtn2Click);
    connect(BitBtn3, &QPushButton::clicked, this, &TFrm_ErrorMessage::BitBtn3Click);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    buttons->addWidget(BitBtn3);

    auto* v = new QVBoxLayout(this);
    v->addWidget(Label1);
    v->addLayout(form);
    v->addWidget(DBGrid1, 1);
    v->addLayout(buttons);
}

TFrm_ErrorMessage::~TFrm_ErrorMessage()
{
    if (Frm_ErrorMessage == this) Frm_ErrorMessage = nullptr;
}

void TFrm_ErrorMessage::bindGrid()
{
    if (!frdm) return;
    if (!model_ || model_->dataset() != frdm->ATapperror) {
        delete model_;
        model_ = new DatasetModel(frdm->ATapperror, this);
        DatasetModel::bind(DBGrid1, model_);
        DBGrid1->horizontalHeader()->setStretchLastSection(true);
        auto widths = [this] {
            const int w[] = {110, 110, 100, 140};
            for (int i = 0; i < 4 && i < model_->columnCount(); ++i) DBGrid1->setColumnWidth(i, w[i]);
        };
        connect(model_, &QAbstractItemModel::modelReset, DBGrid1, widths);
        widths();
        connect(frdm->ATapperror, &Dataset::currentChanged, this, &TFrm_ErrorMessage::showCurrentRow);
    }
}

void TFrm_ErrorMessage::showRecord(const ErrorRecord& r)
{
    Label1->setText(r.capt);
    Edit1->setText(r.titl);
    Edit2->setText(r.name);
    Edit3->setText(r.rq.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    Memo1->setPlainText(r.mess);
}

void TFrm_ErrorMessage::showCurrentRow()
{
    Dataset* t = frdm ? frdm->ATapperror : nullptr;
    if (!t || !t->active() || t->isEmpty() || t->fieldCount() < 5) return;
    Edit1->setText(t->value(1).toString());
    Edit2->setText(t->value(2).toString());
    Edit3->setText(t->value(3).toString());
    Memo1->setPlainText(t->value(4).toString());
}

void TFrm_ErrorMessage::MyErrorMessage(QObject* sender, std::exception_ptr e)
{
    // Another program holding the data is no failure of ours: the command did
    // nothing, and the log itself could not be written past the same lock.
    if (isDataInUse(e)) {
        dlg::showMessage(dataInUseText());
        return;
    }
    ErrorRecord r = describeError(sender, e);
    // What SQLite called damage in the working file: the file's own check
    // decides, once for the file as it stands. Anything but damage it found
    // is a failed read: said with its cause, and nothing is marked or moved.
    if (isErrorOf<SuspectedDamageError>(e) && !workingDamaged()) {
        QString cause;
        LongWork(progressStepName(ProgressStep::CheckingWorking)).run([&cause](const StepReport& report) {
            try {
                actOnVerdict(AppPaths::workingDatabase(), judgeWorkingFile(stepsTo(report)));
                cause = ioErrorText(); // whole: the read of that moment failed
            } catch (const WorkingDamagedError&) {
            } catch (const AppError& x) {
                cause = reasonOf(x);
            }
        });
        if (!cause.isEmpty()) {
            appendToTextLog(r);
            dlg::showMessage(cannotReadText(AppPaths::workingDatabase(), cause));
            return;
        }
    }
    // Damaged working data: the operator is told what to do, not SQLite's
    // words; the log goes to the text file, not into the damaged database.
    // Another file found damaged is an ordinary failure.
    if ((isErrorOf<SuspectedDamageError>(e) || isErrorOf<WorkingDamagedError>(e)) && workingDamaged()) {
        appendToTextLog(r);
        dlg::showMessage(workingDamagedText());
        return;
    }
    logError(r);
    // A failure while the window is already up is logged, not shown again.
    if (showing_) return;
    bindGrid();
    showRecord(r);
    showing_ = true;
    const auto shown = qScopeGuard([this] { showing_ = false; });
    dlg::exec(this);
}

void TFrm_ErrorMessage::done(int r)
{
    if (frdm) frdm->ATapperror->close();
    QDialog::done(r);
}

void TFrm_ErrorMessage::BitBtn1Click() { reject(); }

void TFrm_ErrorMessage::BitBtn2Click()
{
    QString log = errorLogPath();
    if (QFile::exists(log)) QFile::remove(log);
    if (!frdm) return;
    frdm->execSql(QStringLiteral("delete from apperror"));
    frdm->ATapperror->close();
    frdm->ATapperror->open();
}

void TFrm_ErrorMessage::BitBtn3Click()
{
    if (frdm) frdm->ATapperror->close();
    QDialog::done(QDialog::Rejected);
    throw ProgramExit(0);
}
