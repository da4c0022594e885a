#pragma once
// The list of units of measure or product categories, and its entry window.
#include <QPointer>
#include <QWidget>

class QLineEdit;
class QPushButton;
class QTableView;
class QToolButton;

class Tfrspecedit;

class TFrspec : public QWidget {
    Q_OBJECT
public:
    explicit TFrspec(QWidget* owner = nullptr);
    ~TFrspec() override;

    QToolButton* ToolButton1 = nullptr;  // 添加
    QToolButton* ToolButton2 = nullptr;  // 修改
    QToolButton* ToolButton3 = nullptr;  // 删除
    QToolButton* ToolButton15 = nullptr; // 退出
    QTableView* DBGrid1 = nullptr;

    // Runs the menu command: specKind, caption, the list of the kind, shown modeless.
    static TFrspec* open(const QString& kind);

public slots:
    void ToolButton1Click();
    void ToolButton2Click();
    void ToolButton3Click();
    void ToolButton15Click();

private:
    void openEditor();
};

class Tfrspecedit : public QWidget {
    Q_OBJECT
public:
    explicit Tfrspecedit(QWidget* owner);
    ~Tfrspecedit() override;

    QLineEdit* Edit3 = nullptr;     // 名称
    QPushButton* Button2 = nullptr; // 保存
    QPushButton* Button1 = nullptr; // 添加
    QPushButton* Button4 = nullptr; // 上移
    QPushButton* Button5 = nullptr; // 下移
    QPushButton* Button3 = nullptr; // 返回

public slots:
    void FormShow();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

extern QPointer<TFrspec> Frspec;
extern QPointer<Tfrspecedit> frspecedit;
