#include "common/aboutbox.h"
#include "common/dialogs.h"
#include "common/assets.h"
#include "common/shell.h"
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {
const char* const kMail = "service@quillmart.example";
const char* const kWeb = "http://www.quillmart.example";

// A label that reports a left click.
class LinkLabel : public QLabel {
public:
    LinkLabel(const QString& text, std::function<void()> onClick, QWidget* parent)
        : QLabel(text, parent), onClick_(std::move(onClick))
    {
        setCursor(Qt::PointingHandCursor);
        setStyleSheet(QStringLiteral("color: #1a4fb0; text-decoration: underline;"));
    }
protected:
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        QLabel::mouseReleaseEvent(e);
        if (e->button() == Qt::LeftButton && onClick_) onClick_();
    }
private:
    std::function<void()> onClick_;
};
}

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("版权声明"));
    qm::centreOnScreen(this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    ProgramIcon = new QLabel(this);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    const QIcon icon = qm::programIcon();
    if (!icon.isNull()) ProgramIcon->setPixmap(icon.pixmap(64, 64));
    setWindowIcon(icon);

    ProductName = new QLabel(QStringLiteral("Velkan超市后台(百货版V2009)"), this);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    QFont f = ProductName->font();
    f.setPointSize(f.pointSize() + 3);
    f.setBold(true);
    ProductName->setFont(f);
    auto* version = new QLabel(QStringLiteral("超市、百货商店的进货、销售、库存与往来帐管理"), this);
    Copyright = new QLabel(QStringLiteral("版权所有 © 本软件开发组"), this);
    Copyright->setObjectName(QStringLiteral("Copyright"));

    Label3 = new LinkLabel(QString::fromLatin1(kMail), [this] { Label3Click(); }, this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label4 = new LinkLabel(QString::fromLatin1(kWeb), [this] { Label4Click(); }, this);
    Label4->setObjectName(QStringLiteral("Label4"));

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* text = new QVBoxLayout;
    text->setSpacing(6);
    text->addWidget(ProductName);
    text->addWidget(version);
    text->addWidget(Copyright);
    auto* contacts = new QGridLayout;
    contacts->addWidget(new QLabel(QStringLiteral("电子邮件："), this), 0, 0);
    contacts->addWidget(Label3, 0, 1);
    contacts->addWidget(new QLabel(QStringLiteral("网址："), this), 1, 0);
    contacts->addWidget(Label4, 1, 1);
    contacts->setColumnStretch(1, 1);
    text->addSpacing(8);
    text->addLayout(contacts);

    auto* top = new QHBoxLayout;
    top->addWidget(ProgramIcon, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addLayout(text, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKButton);
    buttons->addStretch(1);
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(18, 18, 18, 14);
    lay->addLayout(top);
    lay->addSpacing(10);
    lay->addLayout(buttons);
}

void TAboutBox::Label3Click()
{
    qm::shell::openUrl(QUrl(QStringLiteral("Mailto:") + Label3->text()));
    accept();
}

void TAboutBox::Label4Click()
{
    qm::shell::openUrl(QUrl(Label4->text()));
    accept();
}
