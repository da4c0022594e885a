#pragma once
// 现金收款: the cash tender of a sale. Shows the amount due (合计), takes the
// cash handed over (收款) and shows the change (找零) as the cashier types.
// 确定 hands the cash taken to the sale window's checkout; 取消 writes nothing.
// Modeless, on top of the other windows, released when closed.
#include <QDialog>
#include <functional>

class QLineEdit;
class QPushButton;
class QStatusBar;

class TFrcash : public QDialog {
    Q_OBJECT
public:
    // `checkout` receives the cash taken in; it posts the sale (and prints).
    TFrcash(QWidget* owner, double amount, double deduck, std::function<void(double received)> checkout);
    ~TFrcash() override;

    QLineEdit* Edit1 = nullptr; // 合计
    QLineEdit* Edit2 = nullptr; // 收款
    QLineEdit* Edit3 = nullptr; // 找零
    QPushButton* Button1 = nullptr; // 确定
    QPushButton* Button2 = nullptr; // 取消
    QStatusBar* StatusBar1 = nullptr;

    double due() const { return due_; }
    double received() const;
    double change() const { return received() - due_; }

public slots:
    void Edit2Change();
    void Button1Click();
    void Button2Click();

private:
    double due_ = 0;
    std::function<void(double)> checkout_;
};

extern TFrcash* Frcash;
