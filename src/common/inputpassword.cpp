#include "common/inputpassword.h"
#include "common/dialogs.h"
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace qm {

void maskPassword(QLineEdit* box)
{
    box->setEchoMode(QLineEdit::Password);
    box->setStyleSheet(QStringLiteral("lineedit-password-character: 42")); // "*"
}

PasswordDialog::PasswordDialog(const QString& caption, const QString& prompt, const QString& value, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("InputPassword"));
    setWindowTitle(caption);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    Prompt = new QLabel(prompt, this);
    Prompt->setObjectName(QStringLiteral("Prompt"));
    Prompt->setWordWrap(true);
    Edit = new QLineEdit(value, this);
    Edit->setObjectName(QStringLiteral("Edit"));
    Edit->setMaxLength(255);
    maskPassword(Edit);
    Edit->selectAll();
    OkButton = new QPushButton(QStringLiteral("确定"), this);
    OkButton->setObjectName(QStringLiteral("OkButton"));
    OkButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("取消"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    layoutInDialogUnits();
    centreOnScreen(this);
    Edit->setFocus();
}

int PasswordDialog::dluX(int units) const
{
    QFontMetrics fm(font());
    static const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    double avg = fm.horizontalAdvance(letters) / 52.0;
    return qRound(units * avg / 4.0);
}

int PasswordDialog::dluY(int units) const { return qRound(units * QFontMetrics(font()).height() / 8.0); }

void PasswordDialog::layoutInDialogUnits()
{
    const int promptWidth = dluX(164);
    int promptHeight = Prompt->heightForWidth(promptWidth);
    if (promptHeight <= 0) promptHeight = Prompt->sizeHint().height();
    Prompt->setGeometry(dluX(8), dluY(8), promptWidth, promptHeight);
    const int editTop = dluY(8) + promptHeight + dluY(5);
    const int editHeight = std::max(dluY(12), Edit->sizeHint().height());
    Edit->setGeometry(dluX(8), editTop, dluX(164), editHeight);
    const int buttonTop = editTop + editHeight + dluY(15);
    const int buttonHeight = std::max(dluY(14), OkButton->sizeHint().height());
    OkButton->setGeometry(dluX(38), buttonTop, dluX(50), buttonHeight);
    CancelButton->setGeometry(dluX(92), buttonTop, dluX(50), buttonHeight);
    setFixedSize(dluX(180), buttonTop + buttonHeight + dluY(13));
}

}
