#pragma once
// The options window 系统选项: number formats, date formats and the input
// method. Saving applies the number formats to the open grids at once.
#include "admin/options.h"
#include <QWidget>

class QComboBox;
class QLineEdit;
class QRadioButton;
class QPushButton;
class QGroupBox;
class QTabWidget;

class Tfrconfig : public QWidget {
    Q_OBJECT
public:
    explicit Tfrconfig(QWidget* parent = nullptr);
    ~Tfrconfig() override;

    QTabWidget* PageControl1 = nullptr;
    QLineEdit *edAmountInt = nullptr, *edPriceInt = nullptr, *edQtyInt = nullptr, *edWeightInt = nullptr;
    QLineEdit *edAmountDec = nullptr, *edPriceDec = nullptr, *edQtyDec = nullptr, *edWeightDec = nullptr;
    QRadioButton *rbAmountSepYes = nullptr, *rbAmountSepNo = nullptr;
    QRadioButton *rbPriceSepYes = nullptr, *rbPriceSepNo = nullptr;
    QLineEdit *edYear = nullptr, *edMonth = nullptr, *edDay = nullptr;
    QLineEdit *edEditYear = nullptr, *edEditMonth = nullptr, *edEditDay = nullptr;
    QGroupBox* GroupBox1 = nullptr;  // 设置输入法
    QComboBox* ComboBox1 = nullptr;  // input method
    QGroupBox* gbPrinter = nullptr;  // hidden receipt-printer choices
    QRadioButton *rbSerial = nullptr, *rbUsb = nullptr, *rbCashboxYes = nullptr, *rbCashboxNo = nullptr;
    QPushButton* Button1 = nullptr;  // 确定
    QPushButton* Button2 = nullptr;  // 取消

    qm::options::Page page() const;
    void setPage(const qm::options::Page& p);

public slots:
    void FormShow();
    void Button1Click();
    void Button2Click();
};

extern Tfrconfig* frconfig;

namespace qm {
// 系统选项: brings an open options window forward instead of opening a second.
void openOptionsWindow();
}
