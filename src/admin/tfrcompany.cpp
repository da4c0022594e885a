#include "admin/tfrcompany.h"
#include "common/boxkeys.h"
#include "data/tfrdm.h"
#include "shell/commands.h"
#include "shell/mainwindow.h"
#include "shell/session.h"
#include "shell/windowprotocol.h"
#include <QCloseEvent>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

TFrcompany* Frcompany = nullptr;

namespace {
QLineEdit* edit(QWidget* parent, const char* name)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    qm::setBoxLength(e, 100);
    e->setMinimumWidth(360);
    return e;
}
}

TFrcompany::TFrcompany(QWidget* parent) : QWidget(parent, Qt::Window)
{
    Frcompany = this;
    setObjectName(QStringLiteral("Frcompany"));
    setWindowTitle(QStringLiteral("修改公司信息,即可设定打印标题"));
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    setAttribute(Qt::WA_DeleteOnClose, true);

    DBEdit1 = edit(this, "DBEdit1");
    DBEdit2 = edit(this, "DBEdit2");
    DBEdit3 = edit(this, "DBEdit3");
    DBMemo1 = new QPlainTextEdit(this);
    DBMemo1->setObjectName(QStringLiteral("DBMemo1"));
    DBMemo1->setMinimumHeight(120);

    auto* form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->setVerticalSpacing(8);
    form->addRow(QStringLiteral("公司名称"), DBEdit1);
    form->addRow(QStringLiteral("公司地址"), DBEdit2);
    form->addRow(QStringLiteral("公司电话"), DBEdit3);
    auto* lay = new QVBoxLayout(this);
    lay->addLayout(form);
    lay->addWidget(DBMemo1, 1);

    // Enter and Down move along the tab order, Up back.
    auto* keys = new qm::BoxKeys(this);
    for (QLineEdit* e : {DBEdit1, DBEdit2, DBEdit3}) keys->add(e);
    resize(520, 320);
    FormShow();
}

TFrcompany::~TFrcompany()
{
    if (Frcompany == this) Frcompany = nullptr;
}

void TFrcompany::FormShow()
{
    qm::Dataset* co = frdm->ATcompany;
    if (!co->active()) co->open();
    if (co->isEmpty()) co->append();
    else co->edit();
    editing_ = true;
    DBEdit1->setText(co->asString(QStringLiteral("name")));
    DBEdit2->setText(co->asString(QStringLiteral("addr")));
    DBEdit3->setText(co->asString(QStringLiteral("tel")));
    DBMemo1->setPlainText(co->asString(QStringLiteral("doc")));
}

void TFrcompany::FormClose()
{
    if (!editing_) return;
    editing_ = false;
    qm::Dataset* co = frdm->ATcompany;
    qm::writeInTransaction(*co, [&] {
        co->setValue(QStringLiteral("name"), DBEdit1->text());
        co->setValue(QStringLiteral("addr"), DBEdit2->text());
        co->setValue(QStringLiteral("tel"), DBEdit3->text());
        co->setValue(QStringLiteral("doc"), DBMemo1->toPlainText());
        co->post();
        return true;
    });
    // The caption names the company too.
    if (qm::MainWindow* m = qm::mainWindow(); m && !qm::session().operatorCode.isEmpty()) m->setLoggedInCaption();
}

void TFrcompany::closeEvent(QCloseEvent* e)
{
    FormClose();
    QWidget::closeEvent(e);
}

// 公司信息
QM_COMMAND("N53", [] { qm::openChildWindow([](QWidget* owner) { return new TFrcompany(owner); }); });
