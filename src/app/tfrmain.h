#pragma once
// The main window and the logged-in state with the hand-over fields through
// which windows call each other. Menus, toolbar, navigator and background
// picture are built in tfrmain_menus.cpp; this file's .cpp holds the caption,
// the status bar and the start-up entry points.
#include <QMainWindow>
#include <QString>
#include <memory>

class QCheckBox;
class QLabel;
class QLockFile;
class QMenu;
class QToolBar;
namespace qm { class Navigator; }

class Tfrmain : public QMainWindow {
    Q_OBJECT
public:
    explicit Tfrmain(QWidget* parent = nullptr);
    ~Tfrmain() override;

    // Logged-in state.
    QString operatorCode;   // "999" is the administrator
    QString operatorName;
    QString loginPassword;  // as typed
    // Hand-over fields.
    int pickCode = 0;       // who opened a master list (0 = the menu)
    QString editMode;       // "T" add, "F" modify
    QString currentIntno;
    QString docMode;        // "T" new, "F" existing
    QString docIntno;
    QString specKind;       // "02" units, "03" categories
    QString imeName;
    int printPageCount = 0;
    int sortedByType = 0;
    QString firstActivate;
    QString lastYearMode;   // "T" while last year's data is in the working folder

    bool isAdministrator() const { return operatorCode == QLatin1String("999"); }

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

    // The caption after a login: "...-用户名:<user> 操作员:<code>".
    void setLoggedInCaption();
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
    std::unique_ptr<QLockFile> instanceLock_;
    bool shownOnce_ = false;
};

extern Tfrmain* frmain;
