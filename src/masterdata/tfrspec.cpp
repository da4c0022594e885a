#include "masterdata/tfrspec.h"
#include "common/boxkeys.h"
#include "common/dialogs.h"
#include "common/inputmethod.h"
#include "data/datasetmodel.h"
#include "data/tfrdm.h"
#include "masterdata/spec.h"
#include "shell/commands.h"
#include "shell/session.h"
#include "shell/windowprotocol.h"
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

QPointer<TFrspec> Frspec;
QPointer<Tfrspecedit> frspecedit;

namespace {
// The grid shows 编号 and 名称 only.
class SpecModel : public qm::DatasetModel {
public:
    using DatasetModel::DatasetModel;
    QVariant headerData(int section, Qt::Orientation o, int role) const override
    {
        if (o == Qt::Horizontal && role == Qt::DisplayRole && dataset() && section < dataset()->fieldCount()) {
            const QString name = dataset()->field(section)->name;
            if (name == QLatin1String("intno")) return QStringLiteral("编号");
            if (name == QLatin1String("name")) return QStringLiteral("名称");
        }
        return DatasetModel::headerData(section, o, role);
    }
};

QToolButton* toolButton(QToolBar* bar, const char* name, const QString& text)
{
    auto* b = new QToolButton(bar);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(text);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setMinimumWidth(56);
    bar->addWidget(b);
    return b;
}
}

// ------------------------------------------------------------------ list

TFrspec::TFrspec(QWidget* owner) : QWidget(owner, Qt::Window)
{
    setObjectName(QStringLiteral("Frspec"));
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    auto* bar = new QToolBar(this);
    ToolButton1 = toolButton(bar, "ToolButton1", QStringLiteral("添加"));
    ToolButton2 = toolButton(bar, "ToolButton2", QStringLiteral("修改"));
    ToolButton3 = toolButton(bar, "ToolButton3", QStringLiteral("删除"));
    bar->addSeparator();
    ToolButton15 = toolButton(bar, "ToolButton15", QStringLiteral("退出"));
    lay->addWidget(bar);

    DBGrid1 = new QTableView(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    auto* model = new SpecModel(frdm->AQspec, this);
    qm::DatasetModel::bind(DBGrid1, model);
    auto hideKind = [this, model] {
        for (int c = 0; c < model->columnCount(); ++c) {
            const QString name = frdm->AQspec->field(c)->name;
            DBGrid1->setColumnHidden(c, name != QLatin1String("intno") && name != QLatin1String("name"));
            if (name == QLatin1String("intno")) DBGrid1->setColumnWidth(c, 70);
            if (name == QLatin1String("name")) DBGrid1->setColumnWidth(c, 200);
        }
    };
    connect(model, &QAbstractItemModel::modelReset, this, hideKind);
    hideKind();
    DBGrid1->verticalHeader()->setDefaultSectionSize(22);
    DBGrid1->horizontalHeader()->setStretchLastSection(true);
    lay->addWidget(DBGrid1);

    connect(ToolButton1, &QToolButton::clicked, this, &TFrspec::ToolButton1Click);
    connect(ToolButton2, &QToolButton::clicked, this, &TFrspec::ToolButton2Click);
    connect(ToolButton3, &QToolButton::clicked, this, &TFrspec::ToolButton3Click);
    connect(ToolButton15, &QToolButton::clicked, this, &TFrspec::ToolButton15Click);
    resize(360, 420);
    Frspec = this;
}

TFrspec::~TFrspec()
{
    // The entry window goes first, while this list is still whole for it to enable.
    for (auto* e : findChildren<Tfrspecedit*>(Qt::FindDirectChildrenOnly)) delete e;
    if (frdm) frdm->AQspec->close();
}

TFrspec* TFrspec::open(const QString& kind)
{
    TFrspec* w = nullptr;
    qm::openChildWindow(
        [&](QWidget* owner) {
            qm::session().specKind = kind;
            w = new TFrspec(owner);
            w->setWindowTitle(qm::spec::listCaption(kind));
            return w;
        },
        [&] { qm::spec::openKind(*frdm->AQspec, qm::session().specKind); });
    return w;
}

void TFrspec::openEditor()
{
    auto* e = new Tfrspecedit(this);
    qm::showOverOwner(e, this);
    e->FormShow();
}

void TFrspec::ToolButton1Click()
{
    qm::session().editMode = QStringLiteral("T");
    openEditor();
}

void TFrspec::ToolButton2Click()
{
    if (!frdm->AQspec->active() || frdm->AQspec->isEmpty()) return;
    qm::session().editMode = QStringLiteral("F");
    openEditor();
}

void TFrspec::ToolButton3Click()
{
    if (!frdm->AQspec->active() || frdm->AQspec->isEmpty()) return;
    frdm->AQspec->remove();
}

void TFrspec::ToolButton15Click() { close(); }

// ----------------------------------------------------------------- editor

Tfrspecedit::Tfrspecedit(QWidget* owner)
    : QWidget(owner, Qt::Window | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("frspecedit"));
    setAttribute(Qt::WA_DeleteOnClose, true);
    auto* lay = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    auto* label = new QLabel(QStringLiteral("名称"), this);
    Edit3 = new QLineEdit(this);
    Edit3->setObjectName(QStringLiteral("Edit3"));
    qm::setBoxLength(Edit3, 20);
    Edit3->installEventFilter(this);
    row->addWidget(label);
    row->addWidget(Edit3, 1);
    lay->addLayout(row);
    auto* buttons = new QHBoxLayout;
    auto button = [&](const char* name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        buttons->addWidget(b);
        return b;
    };
    Button2 = button("Button2", QStringLiteral("保存"));
    Button1 = button("Button1", QStringLiteral("添加"));
    Button4 = button("Button4", QStringLiteral("上移"));
    Button5 = button("Button5", QStringLiteral("下移"));
    Button3 = button("Button3", QStringLiteral("返回"));
    lay->addLayout(buttons);
    connect(Button1, &QPushButton::clicked, this, &Tfrspecedit::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Tfrspecedit::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &Tfrspecedit::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &Tfrspecedit::Button4Click);
    connect(Button5, &QPushButton::clicked, this, &Tfrspecedit::Button5Click);
    connect(Edit3, &QLineEdit::returnPressed, this, &Tfrspecedit::Button2Click);
    setTabOrder(Edit3, Button2);
    setTabOrder(Button2, Button1);
    setTabOrder(Button1, Button4);
    setTabOrder(Button4, Button5);
    setTabOrder(Button5, Button3);
    resize(400, 90);
    qm::centreOnScreen(this);
    setWindowTitle(qm::spec::editCaption(qm::session().specKind));
    frspecedit = this;
}

Tfrspecedit::~Tfrspecedit() = default;

bool Tfrspecedit::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Edit3 && event->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(event);
        if (k->key() == Qt::Key_Up) { focusPreviousChild(); return true; }
        if (k->key() == Qt::Key_Down) { focusNextChild(); return true; }
    }
    return QWidget::eventFilter(watched, event);
}

void Tfrspecedit::FormShow()
{
    qm::ime::giveInputMethod(Edit3, qm::session().imeName);
    setWindowTitle(qm::spec::editCaption(qm::session().specKind));
    if (qm::session().editMode == QLatin1String("F") && frdm->AQspec->active() && !frdm->AQspec->isEmpty())
        Edit3->setText(frdm->AQspec->asString(QStringLiteral("name")).trimmed());
    else
        Edit3->clear();
    Edit3->setFocus();
}

void Tfrspecedit::Button1Click()
{
    qm::session().editMode = QStringLiteral("T");
    Edit3->clear();
    Edit3->setFocus();
}

void Tfrspecedit::Button2Click()
{
    // With no entry to change (上移 on an empty list), the name is added
    // under the kind's next number rather than stored as a row of no kind.
    if (qm::session().editMode == QLatin1String("T") || !frdm->AQspec->active() || frdm->AQspec->isEmpty())
        qm::spec::addEntry(*frdm->AQspec, qm::session().specKind, Edit3->text());
    else
        qm::spec::renameEntry(*frdm->AQspec, Edit3->text());
    qm::session().editMode = QStringLiteral("F");
    Button1->setFocus();
}

void Tfrspecedit::Button3Click() { close(); }

void Tfrspecedit::Button4Click()
{
    frdm->AQspec->prior();
    qm::session().editMode = QStringLiteral("F");
    qm::session().currentIntno = frdm->AQspec->asString(QStringLiteral("intno"));
    FormShow();
}

void Tfrspecedit::Button5Click()
{
    frdm->AQspec->next();
    qm::session().editMode = QStringLiteral("F");
    qm::session().currentIntno = frdm->AQspec->asString(QStringLiteral("intno"));
    FormShow();
}

QM_COMMAND("N93", [] { TFrspec::open(QStringLiteral("02")); });
QM_COMMAND("N18", [] { TFrspec::open(QStringLiteral("03")); });
