#pragma once
// The main window and the logged-in state with the hand-over fields through
// which windows call each other.
#include <QMainWindow>
#include <QString>

class QCheckBox;
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

    bool isAdministrator() const { return operatorCode == QLatin1String("999"); }

    // Menus, toolbar, navigator and the background picture (tfrmain_menus.cpp).
    QToolBar* ToolBar1 = nullptr;
    QCheckBox* CheckBox1 = nullptr;  // 导航窗口
    QMenu* PopupMenu1 = nullptr;     // the background picture's menu
    qm::Navigator* navigator = nullptr;
    void buildMenus();
    // Shows a picture file as the background; false when it cannot be read.
    bool loadBackgroundPicture(const QString& file);

public slots:
    void CheckBox1Click();
    void MenuItem1Click();  // 设置背景图片
    // Every menu item, toolbar button and navigator text runs through here.
    void runItem(const QString& itemName);
};

extern Tfrmain* frmain;
