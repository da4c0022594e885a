#include "masterdata/partneredit.h"
#include "common/boxkeys.h"
#include "common/dialogs.h"
#include "common/errors.h"
#include "common/inputmethod.h"
#include "data/numbering.h"
#include "data/tfrdm.h"
#include "shell/session.h"
#include "shell/windowprotocol.h"
#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <map>

namespace qm {

// ------------------------------------------------------------------ logic

QString PartnerEditing::nextIntno() const
{
    return qm::nextIntno(frdm->ADOCon, d_.table, 10);
}

QString PartnerEditing::proposedId() const
{
    return nextIntno().right(d_.idWidth);
}

QMap<QString, QString> PartnerEditing::currentValues() const
{
    QMap<QString, QString> v;
    Dataset* ds = partnerDataset(d_.kind);
    if (!ds || !ds->active() || ds->isEmpty()) return v;
    for (const EditorBox& b : d_.editor.boxes) v.insert(b.column, ds->asString(b.column));
    v.insert(QStringLiteral("intno"), ds->asString(QStringLiteral("intno")));
    return v;
}

namespace {
// True when any row of the look-up holds exactly `text` in `column`.
bool taken(const QString& sql, const Params& params, const QString& column, const QString& text)
{
    Dataset* q = frdm->openSql(sql, params);
    bool hit = false;
    for (q->first(); !q->eof(); q->next()) {
        if (q->asString(column) == text) { hit = true; break; }
    }
    q->close();
    return hit;
}
}

bool PartnerEditing::save(const QMap<QString, QString>& values, QString* focusColumn)
{
    const QString id = values.value(QStringLiteral("id"));
    const QString name = values.value(QStringLiteral("name"));
    const QString& t = d_.table;
    auto refuse = [focusColumn](const QString& text, const QString& column) {
        if (!text.isEmpty()) dlg::showMessage(text);
        if (focusColumn) *focusColumn = column;
        return false;
    };
    if (id.isEmpty()) return refuse(QStringLiteral("编号不能为空!"), QStringLiteral("id"));

    const bool adding = qm::session().editMode != QLatin1String("F");
    const QString idTakenText = QStringLiteral("该编号已存在,不能再录入！ ");
    const QString nameTakenText = QStringLiteral("该名称已存在,不能再录入！ ");
    auto idTaken = [&] {
        return adding ? taken(QStringLiteral("SELECT * from %1 where id=:p1").arg(t), {{"p1", id}}, "id", id)
                      : taken(QStringLiteral("SELECT * from %1 where id=:p1 and intno<>:p2").arg(t),
                              {{"p1", id}, {"p2", qm::session().currentIntno}}, "id", id);
    };
    auto nameTaken = [&] { return taken(QStringLiteral("SELECT * from %1 where name=:p1").arg(t), {{"p1", name}}, "name", name); };
    if (idTaken()) return refuse(idTakenText, QStringLiteral("id"));
    if (adding && nameTaken()) return refuse(nameTakenText, QStringLiteral("name"));
    if (!adding && nameTaken() && !dlg::confirm(QStringLiteral("该名称已存在,是否要保存这次修改?"), QStringLiteral("提示！")))
        return refuse(QString(), QStringLiteral("name"));

    Dataset* ds = partnerDataset(d_.kind);
    QString refusal, refusedColumn, no;
    // The checks again inside the write: another copy may have saved the same
    // number or name since.
    const bool saved = writeInTransaction(*ds, [&] {
        if (idTaken()) {
            refusal = idTakenText;
            refusedColumn = QStringLiteral("id");
            return false;
        }
        if (adding && nameTaken()) {
            refusal = nameTakenText;
            refusedColumn = QStringLiteral("name");
            return false;
        }
        if (adding) {
            // Numbered afresh: the number shown was only the proposed code.
            no = nextIntno();
            ds->reopen(QStringLiteral("SELECT * from %1 ").arg(t));
            ds->append();
            ds->setValue(QStringLiteral("intno"), no);
        } else {
            if (!ds->active()) ds->open();
            // The record being changed is the one the editor was handed; never
            // write the boxes over another row.
            if (ds->isEmpty() || (ds->asString(QStringLiteral("intno")) != qm::session().currentIntno
                                  && !ds->locate(QStringLiteral("intno"), qm::session().currentIntno)))
                throw DbError(QStringLiteral("%1: 记录 %2 不存在").arg(t, qm::session().currentIntno));
            ds->edit();
        }
        for (const EditorBox& b : d_.editor.boxes) ds->setValue(b.column, values.value(b.column));
        ds->post();
        return true;
    });
    if (!saved) return refuse(refusal, refusedColumn);
    if (adding) qm::session().currentIntno = no;
    qm::session().editMode = QStringLiteral("F");
    dlg::showMessage(QStringLiteral("数据保存完毕！ "));
    return true;
}

// ----------------------------------------------------------------- window

namespace {
std::map<PartnerKind, QPointer<PartnerEditor>>& editors()
{
    static std::map<PartnerKind, QPointer<PartnerEditor>> m;
    return m;
}

PartnerEditor* createEditor(PartnerKind kind, QWidget* owner)
{
    switch (kind) {
    case PartnerKind::Customer: return new Tfrcustomeredit(owner);
    case PartnerKind::Supplier: return new Tfrbranchedit(owner);
    case PartnerKind::Account: return new Tfrbankedit(owner);
    case PartnerKind::Employee: return new Tfremployeeedit(owner);
    case PartnerKind::Store: return new Tfrstoreedit(owner);
    }
    return nullptr;
}
}

PartnerEditor* openPartnerEditor(PartnerKind kind)
{
    auto it = editors().find(kind);
    return it == editors().end() ? nullptr : it->second.data();
}

PartnerEditor* showPartnerEditor(PartnerKind kind, QWidget* list)
{
    PartnerEditor* e = openPartnerEditor(kind);
    if (!e) {
        e = createEditor(kind, list);
        editors()[kind] = e;
    }
    // The list is disabled while its editor is open; the editor is a window of
    // its own and stays usable.
    showOverOwner(e, list);
    return e;
}

PartnerEditor::PartnerEditor(PartnerKind kind, QWidget* owner)
    : QWidget(owner, Qt::Window | Qt::WindowStaysOnTopHint), kind_(kind), logic_(kind)
{
    const PartnerDesc& d = partnerDesc(kind);
    const EditorDesc& ed = d.editor;
    setObjectName(ed.instance);
    setWindowTitle(ed.caption);
    setAttribute(Qt::WA_DeleteOnClose, true);

    auto* outer = new QVBoxLayout(this);
    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::StyledPanel);
    auto* grid = new QGridLayout(frame);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(8);
    const int n = int(ed.boxes.size());
    const int rows = (n + 1) / 2;
    // Enter runs down the boxes to the save button; Up and Down follow the tab order.
    auto* keys = new BoxKeys(this);
    keys->enterThroughBoxes(BoxKeys::Arrival::Plain, [this] {
        if (saveTarget_) saveTarget_->setFocus();
    });
    for (int i = 0; i < n; ++i) {
        const EditorBox& b = ed.boxes[size_t(i)];
        auto* edit = new QLineEdit(frame);
        edit->setObjectName(b.box);
        if (b.maxLength > 0) setBoxLength(edit, b.maxLength);
        edit->setMinimumWidth(170);
        keys->add(edit, b.keys);
        if (b.chinese) chineseBoxes_.push_back(edit);
        auto* label = new QLabel(b.label + QStringLiteral("："), frame);
        label->setBuddy(edit);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        // The first half down the left column, the rest down the right one.
        const int row = i < rows ? i : i - rows;
        const int col = i < rows ? 0 : 2;
        grid->addWidget(label, row, col);
        grid->addWidget(edit, row, col + 1);
        edits_.push_back(edit);
    }
    if (!ed.note.isEmpty()) {
        auto* note = new QLabel(ed.note, frame);
        note->setObjectName(QStringLiteral("Label9"));
        note->setStyleSheet(QStringLiteral("color: #b00000;"));
        grid->addWidget(note, rows, 1, 1, 3);
    }
    outer->addWidget(frame);

    auto* checks = new QHBoxLayout;
    CheckBox1 = new QCheckBox(QStringLiteral("修改"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox2 = new QCheckBox(QStringLiteral("新增时复制上一记录"), this);
    CheckBox2->setObjectName(QStringLiteral("CheckBox2"));
    checks->addWidget(CheckBox1);
    checks->addWidget(CheckBox2);
    checks->addStretch();
    auto nav = [this, checks](const char* name, const QString& text, void (PartnerEditor::*slot)()) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, slot);
        checks->addWidget(b);
    };
    nav("BitBtn1", QStringLiteral("首记录"), &PartnerEditor::BitBtn1Click);
    nav("BitBtn3", QStringLiteral("上一条"), &PartnerEditor::BitBtn3Click);
    nav("BitBtn4", QStringLiteral("下一条"), &PartnerEditor::BitBtn4Click);
    nav("BitBtn2", QStringLiteral("末记录"), &PartnerEditor::BitBtn2Click);
    outer->addLayout(checks);
    connect(CheckBox1, &QCheckBox::clicked, this, &PartnerEditor::CheckBox1Click);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto button = [this, buttons](const char* name, const QString& text, auto slot) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        b->setMinimumWidth(90);
        connect(b, &QPushButton::clicked, this, slot);
        buttons->addWidget(b);
        return b;
    };
    QPushButton* save = button("Button1", QStringLiteral("保存"), [this] { Button1Click(); });
    if (ed.saveAndAddButtons) {
        save->hide();
        saveTarget_ = button("Button3", QStringLiteral("保存并新增"), [this] { Button3Click(); });
        button("Button4", QStringLiteral("保存并退出"), [this] { Button4Click(); });
        button("Button5", QStringLiteral("取消"), [this] { Button5Click(); });
    } else {
        saveTarget_ = save;
        button("Button2", QStringLiteral("新增"), [this] { Button2Click(); });
        button("Button5", QStringLiteral("返回"), [this] { Button5Click(); });
    }
    outer->addLayout(buttons);

    for (size_t i = 1; i < edits_.size(); ++i) setTabOrder(edits_[i - 1], edits_[i]);
    adjustSize();
    centreOnScreen(this);
}

PartnerEditor::~PartnerEditor() = default;

QLineEdit* PartnerEditor::box(const QString& column) const
{
    const auto& boxes = partnerDesc(kind_).editor.boxes;
    for (size_t i = 0; i < boxes.size(); ++i)
        if (boxes[i].column == column) return edits_[i];
    return nullptr;
}

QMap<QString, QString> PartnerEditor::values() const
{
    QMap<QString, QString> v;
    const auto& boxes = partnerDesc(kind_).editor.boxes;
    for (size_t i = 0; i < boxes.size(); ++i) v.insert(boxes[i].column, edits_[i]->text());
    return v;
}

void PartnerEditor::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void PartnerEditor::FormShow()
{
    for (QLineEdit* e : chineseBoxes_) qm::ime::giveInputMethod(e, qm::session().imeName);
    if (qm::session().editMode != QLatin1String("F")) {
        qm::session().editMode = QStringLiteral("T");
        clearBoxes(false);
        box(QStringLiteral("id"))->setText(logic_.proposedId());
        CheckBox1->setChecked(true);
    } else {
        loadCurrent();
        CheckBox1->setChecked(false);
    }
    CheckBox1Click();
}

void PartnerEditor::CheckBox1Click()
{
    for (QLineEdit* e : edits_) e->setReadOnly(!CheckBox1->isChecked());
}

void PartnerEditor::loadCurrent()
{
    const QMap<QString, QString> v = logic_.currentValues();
    const auto& boxes = partnerDesc(kind_).editor.boxes;
    for (size_t i = 0; i < boxes.size(); ++i) edits_[i]->setText(v.value(boxes[i].column));
}

void PartnerEditor::clearBoxes(bool keepOthers)
{
    if (keepOthers) return;
    for (QLineEdit* e : edits_) e->clear();
}

bool PartnerEditor::Button1Click()
{
    QString focus;
    if (!logic_.save(values(), &focus)) {
        if (QLineEdit* e = box(focus)) e->setFocus();
        return false;
    }
    if (auto* add = findChild<QPushButton*>(QStringLiteral("Button2"))) add->setFocus();
    return true;
}

void PartnerEditor::Button2Click()
{
    qm::session().editMode = QStringLiteral("T");
    clearBoxes(CheckBox2->isChecked());
    QLineEdit* id = box(QStringLiteral("id"));
    id->setText(logic_.proposedId());
    id->setFocus();
    CheckBox1->setChecked(true);
    CheckBox1Click();
}

void PartnerEditor::Button5Click()
{
    close();
}

void PartnerEditor::Button3Click()
{
    if (Button1Click()) Button2Click();
}

void PartnerEditor::Button4Click()
{
    if (Button1Click()) close();
}

void PartnerEditor::navigate(int step)
{
    Dataset* ds = partnerDataset(kind_);
    if (!ds || !ds->active() || ds->isEmpty()) return;
    switch (step) {
    case 0: ds->first(); break;
    case 1: ds->prior(); break;
    case 2: ds->next(); break;
    default: ds->last(); break;
    }
    qm::session().editMode = QStringLiteral("F");
    qm::session().currentIntno = ds->asString(QStringLiteral("intno"));
    loadCurrent();
    CheckBox1->setChecked(false);
    CheckBox1Click();
}

void PartnerEditor::BitBtn1Click() { navigate(0); }
void PartnerEditor::BitBtn3Click() { navigate(1); }
void PartnerEditor::BitBtn4Click() { navigate(2); }
void PartnerEditor::BitBtn2Click() { navigate(3); }

}
