#include "admin/tfrpassword.h"
#include "common/boxkeys.h"
#include "common/dialogs.h"
#include "common/errors.h"
#include "common/inputpassword.h"
#include "common/password.h"
#include "data/schema.h"
#include "data/tfrdm.h"
#include "shell/commands.h"
#include "shell/launchprobe.h"
#include "shell/mainwindow.h"
#include "shell/session.h"
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace qm;

TFrpassword::TFrpassword(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Frpassword"));
    setWindowTitle(QStringLiteral("登录验证"));
    qm::centreOnScreen(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    maskPassword(Edit1);
    Edit1->setMaxLength(6);

    BitBtn1 = new QPushButton(QStringLiteral("确定"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn2 = new QPushButton(QStringLiteral("取消"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    // Enter is handled by the boxes themselves.
    BitBtn1->setAutoDefault(false);
    BitBtn2->setAutoDefault(false);
    connect(BitBtn1, &QPushButton::clicked, this, &TFrpassword::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TFrpassword::BitBtn2Click);

    auto* title = new QLabel(QStringLiteral("Velkan超市后台管理"), this);
    QFont tf = title->font();
    tf.setPointSizeF(tf.pointSizeF() * 1.5);
    tf.setBold(true);
    title->setFont(tf);
    title->setAlignment(Qt::AlignCenter);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("操作员编号："), this), 0, 0);
    grid->addWidget(ComboBox1, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("请输入密码："), this), 1, 0);
    grid->addWidget(Edit1, 1, 1);
    grid->setColumnStretch(1, 1);
    grid->setVerticalSpacing(10);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    buttons->addStretch();

    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(24, 18, 24, 18);
    v->setSpacing(14);
    v->addWidget(title);
    v->addLayout(grid);
    v->addLayout(buttons);
    setFixedSize(340, 200);

    // Every operator number, in table order.
    if (frdm && frdm->ADOCon.isOpen()) {
        Dataset* t = frdm->ATopcrl;
        t->open();
        for (t->first(); !t->eof(); t->next()) ComboBox1->addItem(t->asString(QStringLiteral("bh")));
        t->close();
    }
    // The administrator of a new database, with its first password.
    ComboBox1->setEditText(QString::fromLatin1(kAdministratorCode));
    Edit1->setText(QString::fromLatin1(kAdministratorFirstPassword));

    // Enter in the number goes on to the password, selected; in the password it logs in.
    auto* keys = new BoxKeys(this);
    keys->setArrows(false);
    keys->enterThroughBoxes(BoxKeys::Arrival::SelectAll, [this] { BitBtn1Click(); });
    keys->add(ComboBox1->lineEdit());
    keys->add(Edit1);
}

void TFrpassword::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    Edit1->setFocus();
    Edit1->selectAll();
    launchProbe(this);
}

void TFrpassword::BitBtn1Click()
{
    QString code = ComboBox1->currentText();
    Dataset* q = frdm->openSql(QStringLiteral("SELECT * from opcrl where bh=:p1"), {{"p1", code}});
    const bool match = !q->isEmpty() && EncodePassword(Edit1->text().trimmed()) == q->asString(QStringLiteral("pw"));
    const QString name = match ? q->asString(QStringLiteral("xm")) : QString();
    q->close();
    if (!match) {
        dlg::warning(QStringLiteral("密码错误,非法用户！"));
        reject();
        return;
    }
    // The one write of the login first: when another program holds the data,
    // nobody is logged in.
    resetTurnover();
    qm::session().operatorName = name;
    qm::session().operatorCode = code;
    qm::session().loginPassword = Edit1->text();
    if (qm::MainWindow* m = qm::mainWindow()) m->setLoggedInCaption();
    loggedIn_ = true;
    accept();
}

void TFrpassword::BitBtn2Click() { reject(); }

void TFrpassword::done(int r)
{
    FormClose();
    QDialog::done(r);
}

void TFrpassword::FormClose()
{
    if (closed_ || !frdm) return;
    closed_ = true;
    if (loggedIn_) {
        frdm->reconnect();
        frdm->ATcompany->open();
    } else {
        frdm->ATcompany->close();
        frdm->ADOCon.close();
    }
}

namespace qm {

void resetTurnover()
{
    Dataset* t = frdm->AQtotallist;
    t->close();
    t->open();
    // An emptied totals table gets its first row back, so the turnover has a place.
    writeInTransaction(*t, [t] {
        if (t->isEmpty()) {
            t->append();
        } else {
            t->first();
            t->edit();
        }
        t->setValue(QStringLiteral("amount"), 0.0);
        t->setValue(QStringLiteral("rest"), 0.0);
        t->post();
        return true;
    });
}

void showLogin(QWidget* owner)
{
    TFrpassword w(owner);
    dlg::exec(&w);
    // Closing by any other means counts as Cancel.
    if (!w.loggedIn()) {
        w.FormClose();
        throw ProgramExit(0);
    }
}

}

// 操作员交接班: a new login; a failure or Cancel ends the program.
QM_COMMAND("N3", [] { qm::showLogin(qm::mainWidget()); });
