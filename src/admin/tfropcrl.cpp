#include "admin/tfropcrl.h"
#include "admin/rights.h"
#include "common/boxkeys.h"
#include "common/dialogs.h"
#include "common/inputpassword.h"
#include "common/password.h"
#include "data/datasetmodel.h"
#include "data/schema.h"
#include "data/tfrdm.h"
#include "shell/commands.h"
#include "shell/session.h"
#include "shell/windowprotocol.h"
#include <QAction>
#include <QCloseEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>

using namespace qm;

namespace {
const QString kPasswordInvalid = QStringLiteral("密码输入不合法!");

// Enter and Down move to the next box along the tab order, past the last
// one to 确定; Up to the previous one.
QLineEdit* newBox(BoxKeys* keys, QWidget* parent, const char* name, int maxLength)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    setBoxLength(e, maxLength);
    keys->add(e);
    return e;
}

QPushButton* newButton(QWidget* parent, const char* name, const QString& text)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

// Both passwords, trimmed, non-empty and equal.
bool passwordsValid(QLineEdit* first, QLineEdit* second)
{
    QString a = first->text().trimmed(), b = second->text().trimmed();
    if (a.isEmpty() || b.isEmpty() || a != b) {
        dlg::showMessage(kPasswordInvalid);
        first->clear();
        first->setFocus();
        return false;
    }
    return true;
}

void refuse(QLineEdit* box, const QString& text)
{
    dlg::showMessage(text);
    box->clear();
    box->setFocus();
}
}

namespace qm {
void makePasswordBox(QLineEdit* e)
{
    maskPassword(e);
    e->setMaxLength(6);
    e->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,6}")), e));
}

Tfropcrl* openOperatorList()
{
    Tfropcrl* list = nullptr;
    openChildWindow([&list](QWidget* owner) { return list = new Tfropcrl(owner); },
                    [] { frdm->ATopcrl->open(); });
    return list;
}
}

// ---------------------------------------------------------------- the list

Tfropcrl::Tfropcrl(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Fropcrl"));
    setWindowTitle(QStringLiteral("操作员管理"));
    resize(420, 360);

    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto action = [this](const char* name, const QString& text, void (Tfropcrl::*slot)()) {
        auto* a = new QAction(text, this);
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, slot);
        ToolBar1->addAction(a);
        return a;
    };
    ToolButton1 = action("ToolButton1", QStringLiteral("新增"), &Tfropcrl::ToolButton1Click);
    ToolButton2 = action("ToolButton2", QStringLiteral("删除"), &Tfropcrl::ToolButton2Click);
    ToolButton3 = action("ToolButton3", QStringLiteral("修改密码"), &Tfropcrl::ToolButton3Click);
    ToolBar1->addSeparator();
    ToolButton4 = new QAction(QStringLiteral("退出"), this);
    ToolButton4->setObjectName(QStringLiteral("ToolButton4"));
    connect(ToolButton4, &QAction::triggered, this, &QWidget::close);
    ToolBar1->addAction(ToolButton4);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    PopupMenu1->addAction(ToolButton1);
    PopupMenu1->addAction(ToolButton2);
    PopupMenu1->addAction(ToolButton3);

    DBGrid1 = new QTableView(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(DBGrid1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { PopupMenu1->popup(DBGrid1->viewport()->mapToGlobal(p)); });
    connect(DBGrid1, &QAbstractItemView::doubleClicked, this, &Tfropcrl::DBGrid1DblClick);
    DBGrid1->horizontalHeader()->setStretchLastSection(true);

    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->addWidget(ToolBar1);
    v->addWidget(DBGrid1, 1);

    Dataset* ds = frdm->ATopcrl;
    model_ = new DatasetModel(ds, this);
    DatasetModel::bind(DBGrid1, model_);
    // Number and name only, under their headings.
    auto columns = [this, ds] {
        for (int i = 0; i < ds->fieldCount(); ++i) {
            QString n = ds->field(i)->name;
            bool shown = n.compare(QLatin1String("bh"), Qt::CaseInsensitive) == 0
                         || n.compare(QLatin1String("xm"), Qt::CaseInsensitive) == 0;
            DBGrid1->setColumnHidden(i, !shown);
        }
    };
    connect(model_, &QAbstractItemModel::modelReset, this, columns);
    columns();

    Fropadd = new TFropadd(this);
    Fropedit = new Tfropedit(this);
    // The list takes commands again once either window is done.
    for (QDialog* d : std::initializer_list<QDialog*>{Fropadd, Fropedit})
        connect(d, &QDialog::finished, this, [this] { setListEnabled(true); });
}

Tfropcrl::~Tfropcrl() = default;

void Tfropcrl::setListEnabled(bool on)
{
    ToolBar1->setEnabled(on);
    DBGrid1->setEnabled(on);
}

void Tfropcrl::closeEvent(QCloseEvent* e)
{
    if (Fropadd) Fropadd->hide();
    if (Fropedit) Fropedit->hide();
    frdm->ATopcrl->close();
    e->accept();
}

void Tfropcrl::ToolButton1Click()
{
    if (!requireAdministrator(QStringLiteral("该用户无权增加操作员！"))) return;
    setListEnabled(false);
    Fropadd->show();
}

void Tfropcrl::ToolButton2Click()
{
    if (!requireAdministrator(QStringLiteral("该用户无权删除操作员！"))) return;
    Dataset* ds = frdm->ATopcrl;
    if (!ds->active() || ds->isEmpty()) return;
    if (ds->asString(QStringLiteral("bh")) == QLatin1String(kAdministratorCode)) {
        dlg::showMessage(QStringLiteral("不能删除管理员用户！"));
        return;
    }
    if (!dlg::confirm(QStringLiteral("确实要删除该操作员吗?"), QStringLiteral("提示！"))) return;
    ds->remove();
}

void Tfropcrl::ToolButton3Click()
{
    Dataset* ds = frdm->ATopcrl;
    if (!ds->active() || ds->isEmpty() || ds->asString(QStringLiteral("bh")) != qm::session().operatorCode) {
        dlg::showMessage(QStringLiteral("不能修改他人密码！"));
        return;
    }
    setListEnabled(false);
    Fropedit->show();
}

void Tfropcrl::DBGrid1DblClick() { ToolButton3Click(); }

// ---------------------------------------------------------- the add window

// The add and edit windows: labelled boxes above the two buttons.
static void layOutBoxes(QDialog* d, const QList<QPair<QString, QWidget*>>& rows, QPushButton* ok, QPushButton* cancel)
{
    auto* form = new QFormLayout;
    for (const auto& r : rows) form->addRow(r.first, r.second);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* v = new QVBoxLayout(d);
    v->addLayout(form);
    v->addLayout(buttons);
}

TFropadd::TFropadd(Tfropcrl* list) : QDialog(list)
{
    setObjectName(QStringLiteral("Fropadd"));
    setWindowTitle(QStringLiteral("新增操作员"));
    setModal(false);
    auto* keys = new BoxKeys(this);
    Edit1 = newBox(keys, this, "Edit1", 3);
    Edit2 = newBox(keys, this, "Edit2", 10);
    Edit3 = newBox(keys, this, "Edit3", 6);
    Edit4 = newBox(keys, this, "Edit4", 6);
    makePasswordBox(Edit3);
    makePasswordBox(Edit4);
    BitBtn1 = newButton(this, "BitBtn1", QStringLiteral("确定"));
    BitBtn2 = newButton(this, "BitBtn2", QStringLiteral("取消"));
    connect(BitBtn1, &QPushButton::clicked, this, &TFropadd::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    layOutBoxes(this, {{QStringLiteral("编号"), Edit1}, {QStringLiteral("姓名"), Edit2},
                        {QStringLiteral("密码"), Edit3}, {QStringLiteral("重输密码"), Edit4}},
                BitBtn1, BitBtn2);
}

void TFropadd::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    FormShow();
}

void TFropadd::FormShow()
{
    Edit1->clear();
    Edit2->clear();
    Edit3->clear();
    Edit4->clear();
    Edit1->setFocus();
}

void TFropadd::BitBtn1Click()
{
    if (!passwordsValid(Edit3, Edit4)) return;
    QString code = Edit1->text().trimmed(), name = Edit2->text().trimmed();
    if (code.isEmpty() || name.isEmpty()) {
        refuse(Edit1, QStringLiteral("编号或姓名为空,请重新输入!"));
        return;
    }
    Dataset* t = frdm->ATopcrl;
    if (!t->active()) t->open();
    // The number is checked inside the write: another copy may add it meanwhile.
    const bool added = writeInTransaction(*t, [&] {
        if (frdm->ADOCon.scalar(QStringLiteral("SELECT 1 from opcrl where bh=:p1 LIMIT 1"), {{"p1", code}}).isValid())
            return false;
        t->append();
        t->setValue(QStringLiteral("bh"), code);
        t->setValue(QStringLiteral("xm"), name);
        t->setValue(QStringLiteral("pw"), EncodePassword(Edit3->text().trimmed()));
        t->post();
        return true;
    });
    if (!added) {
        refuse(Edit1, QStringLiteral("该编号已存在,请重新输入编号!"));
        return;
    }
    accept();
}

// --------------------------------------------------------- the edit window

Tfropedit::Tfropedit(Tfropcrl* list) : QDialog(list)
{
    setObjectName(QStringLiteral("Fropedit"));
    setWindowTitle(QStringLiteral("修改操作员密码"));
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    setModal(false);
    auto* keys = new BoxKeys(this);
    Edit1 = newBox(keys, this, "Edit1", 10);
    Edit2 = newBox(keys, this, "Edit2", 6);
    Edit3 = newBox(keys, this, "Edit3", 6);
    makePasswordBox(Edit2);
    makePasswordBox(Edit3);
    BitBtn1 = newButton(this, "BitBtn1", QStringLiteral("确定"));
    BitBtn2 = newButton(this, "BitBtn2", QStringLiteral("取消"));
    connect(BitBtn1, &QPushButton::clicked, this, &Tfropedit::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    layOutBoxes(this, {{QStringLiteral("操作员"), Edit1}, {QStringLiteral("密码"), Edit2},
                        {QStringLiteral("重输密码"), Edit3}},
                BitBtn1, BitBtn2);
}

void Tfropedit::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    FormShow();
}

void Tfropedit::FormShow()
{
    Dataset* t = frdm->ATopcrl;
    Edit1->setText(t->active() && !t->isEmpty() ? t->asString(QStringLiteral("xm")) : QString());
    Edit2->clear();
    Edit3->clear();
    Edit2->setFocus();
}

void Tfropedit::BitBtn1Click()
{
    QString name = Edit1->text().trimmed();
    if (name.isEmpty()) {
        dlg::showMessage(QStringLiteral("操作员姓名不能为空!"));
        Edit1->setFocus();
        return;
    }
    if (!passwordsValid(Edit2, Edit3)) return;
    Dataset* t = frdm->ATopcrl;
    writeInTransaction(*t, [&] {
        t->edit();
        t->setValue(QStringLiteral("pw"), EncodePassword(Edit2->text().trimmed()));
        t->setValue(QStringLiteral("xm"), name);
        t->post();
        return true;
    });
    qm::session().operatorName = name;
    accept();
}

QM_COMMAND("N1", [] { qm::openOperatorList(); });
