#include "app/tfrflash.h"
#include "app/application.h"
#include "common/dialogs.h"
#include "data/tfrdm.h"
#include "common/assets.h"
#include "common/jpeg.h"
#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>

namespace qm {
PictureBox::PictureBox(QWidget* parent) : QWidget(parent) {}

void PictureBox::setImage(const QImage& image)
{
    image_ = image;
    update();
}

void PictureBox::paintEvent(QPaintEvent*)
{
    if (image_.isNull()) return;
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(rect(), image_);
}
}

TFrflash::TFrflash(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Frflash"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setFixedSize(330, 252);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(128, 0, 128));
    setPalette(pal);

    Image1 = new qm::PictureBox(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setImage(qm::loadPicture(qm::assetFile(QStringLiteral("flash.jpg"))));
    Image1->installEventFilter(this);

    Label1 = new QLabel(QStringLiteral("欢迎使用"), Image1);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont f = Label1->font();
    f.setPointSize(28);
    f.setBold(true);
    Label1->setFont(f);
    Label1->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* inner = new QVBoxLayout(Image1);
    inner->addWidget(Label1);

    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->addWidget(Image1);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    Timer1->setInterval(3000);
    connect(Timer1, &QTimer::timeout, this, &TFrflash::Timer1Timer);
}

void TFrflash::showEvent(QShowEvent* e)
{
    // QDialog itself places it over the middle of its owner.
    QDialog::showEvent(e);
    Timer1->start();
    qm::Application::launchProbe(this);
}

bool TFrflash::eventFilter(QObject* o, QEvent* e)
{
    if (o == Image1 && e->type() == QEvent::MouseButtonRelease) {
        Image1Click();
        return true;
    }
    return QDialog::eventFilter(o, e);
}

void TFrflash::Image1Click()
{
    if (qm::dlg::askYesNo(QStringLiteral("以后启动时是否要显示此图示?"), QStringLiteral("提示"))) return;
    frdm->setConfigValue(QStringLiteral("flashbj"), false);
}

void TFrflash::Timer1Timer() { accept(); }
