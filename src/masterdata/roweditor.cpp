#include "masterdata/roweditor.h"
#include "common/bounds.h"
#include "common/dialogs.h"
#include "data/dataset.h"
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>
#include <memory>

namespace qm {

RowEditor::RowEditor(QWidget* owner, const QString& name, const QString& caption, const std::vector<Box>& boxes,
                     Dataset* rows, bool navigationFirst)
    : QDialog(owner, Qt::Dialog | Qt::WindowStaysOnTopHint), rows_(rows)
{
    setObjectName(name);
    setWindowTitle(caption);
    auto* outer = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    auto* keys = new BoxKeys(this);
    for (const Box& b : boxes) {
        auto* e = new QLineEdit(this);
        e->setObjectName(b.name);
        e->setReadOnly(b.readOnly);
        if (b.readOnly) e->setStyleSheet(QStringLiteral("QLineEdit { background: palette(window); }"));
        e->setMinimumWidth(220);
        auto* l = new QLabel(b.label + QStringLiteral("："), this);
        l->setBuddy(e);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        const int row = int(edits_.size());
        grid->addWidget(l, row, 0);
        grid->addWidget(e, row, 1);
        keys->add(e, b.keys);
        edits_.push_back(e);
    }
    outer->addLayout(grid);
    auto* buttons = new QHBoxLayout;
    auto button = [&](const char* objectName, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(objectName));
        return b;
    };
    Button1 = button("Button1", QStringLiteral("保存"));
    Button2 = button("Button2", QStringLiteral("取消"));
    Button3 = button("Button3", QStringLiteral("上一条"));
    Button4 = button("Button4", QStringLiteral("下一条"));
    const QList<QPushButton*> order = navigationFirst ? QList<QPushButton*>{Button3, Button4, Button1, Button2}
                                                      : QList<QPushButton*>{Button1, Button2, Button3, Button4};
    for (QPushButton* b : order) buttons->addWidget(b);
    outer->addLayout(buttons);
    connect(Button1, &QPushButton::clicked, this, &RowEditor::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    connect(Button3, &QPushButton::clicked, this, &RowEditor::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &RowEditor::Button4Click);
    keys->enterThroughBoxes(BoxKeys::Arrival::AsTab, [this] { Button1->setFocus(); });
    adjustSize();
    centreOnScreen(this);
}

void RowEditor::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous() && !edits_.empty()) edits_.back()->setFocus();
}

void RowEditor::Button1Click()
{
    try {
        save();
    } catch (const OutOfRange& e) {
        // Nothing was written; the number stays as typed, to be corrected.
        dlg::showMessage(e.message());
        edits_.back()->setFocus();
        return;
    }
    FormShow();
    Button4->setFocus();
}

void RowEditor::Button3Click()
{
    rows_->prior();
    FormShow();
}

void RowEditor::Button4Click()
{
    rows_->next();
    FormShow();
}

void execOverList(QWidget* list, QDialog* editor)
{
    std::unique_ptr<QDialog> owned(editor);
    list->setEnabled(false);
    struct Enable {
        QWidget* w;
        ~Enable()
        {
            w->setEnabled(true);
            w->raise();
            w->activateWindow();
        }
    } enable{list};
    dlg::exec(editor);
}

}
