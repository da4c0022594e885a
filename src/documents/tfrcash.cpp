#include "documents/tfrcash.h"
#include "common/bounds.h"
#include "common/boxkeys.h"
#include "common/dialogs.h"
#include "documents/documentengine.h"
#include "documents/salerules.h"
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QValidator>
#include <QVBoxLayout>

TFrcash* Frcash = nullptr;

namespace {
// Refuses, as it is typed or pasted, anything that is not a cash amount.
class CashValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override
    {
        return qm::sale::isCashText(input) ? Acceptable : Invalid;
    }
};

QLineEdit* moneyBox(QWidget* parent, const char* name, bool readOnly)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setReadOnly(readOnly);
    e->setAlignment(Qt::AlignRight);
    e->setMinimumWidth(200);
    QFont f = e->font();
    f.setPointSizeF(f.pointSizeF() * 1.6);
    f.setBold(true);
    e->setFont(f);
    return e;
}
}

TFrcash::TFrcash(QWidget* owner, double amount, double deduck, std::function<void(double)> checkout)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint),
      due_(qm::sale::amountDue(amount, deduck)), checkout_(std::move(checkout))
{
    Frcash = this;
    setObjectName(QStringLiteral("Frcash"));
    setWindowTitle(QStringLiteral("现金收款"));
    setAttribute(Qt::WA_DeleteOnClose, true);
    setModal(false);

    Edit1 = moneyBox(this, "Edit1", true);
    Edit2 = moneyBox(this, "Edit2", false);
    Edit2->setMaxLength(12);
    Edit2->setValidator(new CashValidator(Edit2));
    Edit3 = moneyBox(this, "Edit3", true);
    Button1 = new QPushButton(QStringLiteral("确定"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2 = new QPushButton(QStringLiteral("取消"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->showMessage(QStringLiteral("必须连接好POS打印机,才能按\"确定\"进行打印小票!"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("合计"), Edit1);
    form->addRow(QStringLiteral("收款"), Edit2);
    form->addRow(QStringLiteral("找零"), Edit3);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto* lay = new QVBoxLayout(this);
    lay->addLayout(form);
    lay->addLayout(buttons);
    lay->addWidget(StatusBar1);
    setMinimumWidth(QFontMetrics(StatusBar1->font()).horizontalAdvance(StatusBar1->currentMessage()) + 60);

    // Enter: 收款 → 找零 → 确定; Up and Down step between the boxes.
    auto* keys = new qm::BoxKeys(this);
    keys->add(Edit1);
    keys->add(Edit2, qm::KeyRule::Decimal);
    keys->add(Edit3);
    for (QLineEdit* e : {Edit1, Edit2, Edit3}) qm::selectWholeOnFocus(e);
    keys->enterThroughBoxes(qm::BoxKeys::Arrival::Plain, [this] { Button1->setFocus(); });
    Button1->setAutoDefault(false);
    Button2->setAutoDefault(false);

    connect(Edit2, &QLineEdit::textChanged, this, &TFrcash::Edit2Change);
    connect(Button1, &QPushButton::clicked, this, &TFrcash::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TFrcash::Button2Click);

    Edit1->setText(qm::sale::moneyText(due_));
    Edit2->setText(QStringLiteral("0"));
    Edit2Change();
    // Nothing handed over yet: no change either.
    Edit3->setText(QStringLiteral("0"));
    Edit2->selectAll();
    Edit2->setFocus();
    qm::centreOnScreen(this);
}

TFrcash::~TFrcash()
{
    if (Frcash == this) Frcash = nullptr;
}

double TFrcash::received() const { return qm::sale::cashValue(Edit2->text()); }

void TFrcash::Edit2Change()
{
    if (Edit2->text().isEmpty()) {
        // Nothing typed counts as no cash yet; the 0 is selected so the next digit replaces it.
        Edit2->setText(QStringLiteral("0"));
        Edit2->selectAll();
        return; // setText ran this again
    }
    Edit3->setText(qm::sale::moneyText(change()));
}

void TFrcash::Button1Click()
{
    const double cash = received();
    // More cash than money is kept exact to the cent in: the tender stays open.
    if (!qm::inRange(cash, qm::Magnitude::Amount)) {
        qm::dlg::showMessage(qm::outOfRangeText());
        Edit2->selectAll();
        return;
    }
    // The till takes only what it is given: too little stays here to be typed again.
    if (!qm::sale::cashCovers(cash, due_)) {
        qm::dlg::showMessage(qm::doc::text::cashShort());
        Edit2->selectAll();
        Edit2->setFocus();
        return;
    }
    // The dialog goes first: the checkout may open the next sale and its questions.
    auto checkout = checkout_;
    close();
    if (checkout) checkout(cash);
}

void TFrcash::Button2Click() { close(); }
