#pragma once
// Operators: the list with its add window and the window that changes one's
// own password.
#include <QDialog>
#include <QWidget>

class QLineEdit;
class QMenu;
class QPushButton;
class QTableView;
class QToolBar;
class QAction;
class TFropadd;
class Tfropedit;
namespace qm { class DatasetModel; }

class Tfropcrl : public QWidget {
    Q_OBJECT
public:
    explicit Tfropcrl(QWidget* parent = nullptr);
    ~Tfropcrl() override;

    QToolBar* ToolBar1 = nullptr;
    QAction* ToolButton1 = nullptr; // 新增
    QAction* ToolButton2 = nullptr; // 删除
    QAction* ToolButton3 = nullptr; // 修改密码
    QAction* ToolButton4 = nullptr; // 退出
    QMenu* PopupMenu1 = nullptr;
    QTableView* DBGrid1 = nullptr;
    TFropadd* Fropadd = nullptr;
    Tfropedit* Fropedit = nullptr;

    // While the add or edit window is open the list takes no commands.
    void setListEnabled(bool on);

public slots:
    void ToolButton1Click();
    void ToolButton2Click();
    void ToolButton3Click();
    void DBGrid1DblClick();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    qm::DatasetModel* model_ = nullptr;
};

class TFropadd : public QDialog {
    Q_OBJECT
public:
    explicit TFropadd(Tfropcrl* list);

    QLineEdit* Edit1 = nullptr; // 编号
    QLineEdit* Edit2 = nullptr; // 姓名
    QLineEdit* Edit3 = nullptr; // 密码
    QLineEdit* Edit4 = nullptr; // 重输密码
    QPushButton* BitBtn1 = nullptr; // 确定
    QPushButton* BitBtn2 = nullptr; // 取消

public slots:
    void FormShow();
    void BitBtn1Click();

protected:
    void showEvent(QShowEvent* e) override;
};

class Tfropedit : public QDialog {
    Q_OBJECT
public:
    explicit Tfropedit(Tfropcrl* list);

    QLineEdit* Edit1 = nullptr; // 操作员
    QLineEdit* Edit2 = nullptr; // 密码
    QLineEdit* Edit3 = nullptr; // 重输密码
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;

public slots:
    void FormShow();
    void BitBtn1Click();

protected:
    void showEvent(QShowEvent* e) override;
};

namespace qm {
// 操作员管理: opens the operator list through the window-opening protocol.
Tfropcrl* openOperatorList();
// The password boxes of the add and edit windows: digits only, six at most.
void makePasswordBox(QLineEdit* e);
}
