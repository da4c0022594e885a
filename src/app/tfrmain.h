#pragma once
// The main window. The logged-in state and the hand-over fields live in the
// session (shell/session.h); the fields below forward to it. Menus, toolbar,
// navigator and background picture are built in tfrmain_menus.cpp; this
// file's .cpp holds the caption, the status bar and the start-up entry points.
#include "shell/mainwindow.h"
#include "shell/session.h"
#include <QMainWindow>
#include <QString>
#include <memory>

class QCheckBox;
class QLabel;
class QLockFile;
class QMenu;
class QToolBar;
namespace qm { class Navigator; }

class Tfrmain : public QMainWindow, public qm::MainWindow {
    Q_OBJECT
public:
    explicit Tfrmain(QWidget* parent = nullptr);
    ~Tfrmain() override;

    // The session's logged-in state and hand-over fields, under the names the
    // main window's own code knows them by.
    QString& operatorCode = qm::session().operatorCode;
    QString& operatorName = qm::session().operatorName;
    QString& loginPassword = qm::session().loginPassword;
    int& pickCode = qm::session().pickCode;
    QString& editMode = qm::session().editMode;
    QString& currentIntno = qm::session().currentIntno;
    QString& docMode = qm::session().docMode;
    QString& docIntno = qm::session().docIntno;
    QString& specKind = qm::session().specKind;
    QString& imeName = qm::session().imeName;
    int& printPageCount = qm::session().printPageCount;
    int& sortedByType = qm::session().sortedByType;
    QString& firstActivate = qm::session().firstActivate;
    QString& lastYearMode = qm::session().lastYearMode;

    bool isAdministrator() const { return qm::session().isAdministrator(); }

    // Menus, toolbar, navigator and the background picture (tfrmain_menus.cpp).
    QToolBar* ToolBar1 = nullptr;
    QCheckBox* CheckBox1 = nullptr;  // 导航窗口
    QMenu* PopupMenu1 = nullptr;     // the background picture's menu
    qm::Navigator* navigator = nullptr;
    void buildMenus();
    // Shows a picture file as the background; false when it cannot be read.
    bool loadBackgroundPicture(const QString& file);

    // Status bar panels: promotional line, fixed text, the date of the start-up.
    QLabel* StatusPanel0 = nullptr;
    QLabel* StatusPanel1 = nullptr;
    QLabel* StatusPanel2 = nullptr;
    void showStatusPanels();

    QWidget* widget() override { return this; }
    // The caption after a login: "...-用户名:<user> 操作员:<code>". From then on
    // it follows the data: each time the company table is opened again (after
    // a restore puts other data in place) it names that data's company.
    void setLoggedInCaption() override;
    // The installation's user name shown in the caption: the company's name
    // (the one the reports and the receipt print), "某商店" while there is none.
    QString installationUser() const;

public slots:
    void CheckBox1Click();
    void MenuItem1Click();  // 设置背景图片
    // Every menu item, toolbar button and navigator text runs through here.
    void runItem(const QString& itemName);

    // Creation checks: single instance, field initialisation, database engine.
    // Throws qm::ProgramExit when another copy is running.
    void FormCreate();
    // The start-up sequence; runs once, on the first show.
    void FormShow();
    // The quick-start guide on the first activation.
    void FormActivate();

protected:
    void showEvent(QShowEvent* e) override;
    void changeEvent(QEvent* e) override;
    // The exit: closes the data and offers the backup.
    void closeEvent(QCloseEvent* e) override;

private:
    void companyOpened();
    std::unique_ptr<QLockFile> instanceLock_;
    bool shownOnce_ = false;
};

extern Tfrmain* frmain;
