#include "app/tfrmain.h"
#include "app/startup.h"
#include "common/assets.h"
#include "common/clock.h"
#include "common/dialogs.h"
#include "common/errors.h"
#include "common/paths.h"
#include "data/tfrdm.h"
#include "shell/commands.h"
#include "shell/windowprotocol.h"
#include <QCloseEvent>
#include <QEvent>
#include <QLabel>
#include <QLocale>
#include <QLockFile>
#include <QStatusBar>
#include <QTimer>

Tfrmain* frmain = nullptr;

// The windows below find the main window through the shell.
static const bool g_lookupInstalled = (qm::setMainWindowLookup([]() -> qm::MainWindow* { return frmain; }), true);

Tfrmain::Tfrmain(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmain"));
    setWindowTitle(QStringLiteral("Velkan超市后台(百货版V2009)-用户名:某商店-操作员:"));
    setWindowIcon(qm::programIcon());
    // Every window of the program is owned by this one, directly or not.
    qm::keepOwnedWindowsEnabled();
    // ... and opened over the middle of its owner.
    qm::placeWindowsOverOwners();
    buildMenus();

    auto panel = [this](const char* name) {
        auto* l = new QLabel(this);
        l->setObjectName(QString::fromLatin1(name));
        l->setContentsMargins(6, 0, 6, 0);
        return l;
    };
    StatusPanel0 = panel("StatusPanel0");
    StatusPanel1 = panel("StatusPanel1");
    StatusPanel2 = panel("StatusPanel2");
    auto* bar = new QStatusBar(this);
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->addWidget(StatusPanel0, 3);
    bar->addWidget(StatusPanel1, 2);
    bar->addWidget(StatusPanel2, 1);
    setStatusBar(bar);
}

Tfrmain::~Tfrmain()
{
    if (frmain == this) frmain = nullptr;
}

void Tfrmain::setLoggedInCaption()
{
    QString caption = windowTitle();
    int at = caption.indexOf(QStringLiteral("-用户名:"));
    QString head = at >= 0 ? caption.left(at + 1) : caption + QLatin1Char('-');
    setWindowTitle(head + QStringLiteral("用户名:") + installationUser() + QStringLiteral(" 操作员:") + operatorCode);
    if (frdm) connect(frdm->ATcompany, &qm::Dataset::opened, this, &Tfrmain::companyOpened, Qt::UniqueConnection);
}

void Tfrmain::companyOpened()
{
    if (!operatorCode.isEmpty()) setLoggedInCaption();
}

QString Tfrmain::installationUser() const
{
    if (frdm && frdm->ADOCon.isOpen()) {
        const QString name = frdm->ADOCon.scalar(QStringLiteral("SELECT name FROM company LIMIT 1")).toString().trimmed();
        if (!name.isEmpty()) return name;
    }
    return QStringLiteral("某商店");
}

void Tfrmain::showStatusPanels()
{
    StatusPanel0->setText(QStringLiteral("Velkan超市后台管理系统 — 前台收银，后台管理，进销存一目了然"));
    StatusPanel1->setText(QStringLiteral("百货版V2009"));
    StatusPanel2->setText(QStringLiteral("当前日期:") + QLocale(QLocale::Chinese, QLocale::China).toString(qm::Clock::today(), QLocale::ShortFormat));
}

void Tfrmain::FormCreate()
{
    instanceLock_ = qm::acquireInstanceLock();
    if (!instanceLock_) {
        qm::dlg::error(QStringLiteral("该程序正在运行!"), qm::appTitle());
        throw qm::ProgramExit(1);
    }
    pickCode = 0;
    sortedByType = 0;
    operatorCode.clear();
    loginPassword.clear();
    operatorName.clear();
    if (!qm::databaseEngineWorks()) qm::dlg::showMessage(QStringLiteral("请安装ADO驱动程序,通过安装OFFICE2000中的ACCESS即可."));
}

void Tfrmain::showEvent(QShowEvent* e)
{
    QMainWindow::showEvent(e);
    if (!shownOnce_) {
        shownOnce_ = true;
        // Runs inside the event loop, so that its failures reach the error handler.
        QTimer::singleShot(0, this, &Tfrmain::FormShow);
    }
}

void Tfrmain::FormShow()
{
    qm::StartUp(this).run();
}

void Tfrmain::changeEvent(QEvent* e)
{
    QMainWindow::changeEvent(e);
    // The guide opens after the activation has been delivered, not inside it.
    if (e->type() == QEvent::ActivationChange && isActiveWindow() && firstActivate == QLatin1String("T"))
        QTimer::singleShot(0, this, &Tfrmain::FormActivate);
}

void Tfrmain::FormActivate()
{
    if (firstActivate != QLatin1String("T")) return;
    firstActivate = QStringLiteral("F");
    qm::showGuideUnlessOff(this);
}

void Tfrmain::closeEvent(QCloseEvent* e)
{
    qm::runCommand(QStringLiteral("FormClose"));
    QMainWindow::closeEvent(e);
}
