#pragma once
// The stock list: the stocktaking and the nine stock reports of the 库存管理
// menu over the shared product query, with the product list's search and
// marks, and the count window "录入实际库存量".
#include "masterdata/roweditor.h"
#include <QMainWindow>
#include <QPointer>

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QTableView;
class QToolButton;
class ProductGridModel;
class Tfrrproduct;

namespace qm {
class ProductSearchBar;
}

class TFrproductp : public QMainWindow {
    Q_OBJECT
public:
    // `mode` 0 is the stocktaking, 1 to 9 the reports.
    TFrproductp(QWidget* owner, int mode);
    ~TFrproductp() override;
    int mode() const { return mode_; }

    QToolButton *ToolButton7, *ToolButton6, *ToolButton2, *ToolButton15; // 打印 查找 盘点录入 退出
    QComboBox* ComboBox1;
    QLineEdit* Edit1;
    QComboBox* ComboBox2;
    QGroupBox* RadioGroup1;
    QRadioButton *RadioExact, *RadioFuzzy;
    QTableView* DBGrid1;
    QMenu* PopupMenu1;
    QAction *N1, *N5, *N6, *N2, *N3, *N4; // 选择全部商品 清除选择标记 显示所选商品 打印盘点表 and the two sorts
    ProductGridModel* gridModel() const { return model_; }

    static const int resultColumn = 18; // 差额数量

public slots:
    void ToolButton6Click(); // 查找
    void ToolButton2Click(); // 盘点录入
    void ToolButton7Click(); // 打印
    void ToolButton15Click();
    void N1Click();
    void N5Click();
    void N6Click();
    void N2Click();
    void N3Click();
    void N4Click();
    void toggleMark();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void reopenProducts(const QString& sql);
    int mode_;
    ProductGridModel* model_ = nullptr;
    qm::ProductSearchBar* search_ = nullptr;
    bool closed_ = false;
};

// The count window: code, name and book stock of the stock list's current
// product, the counted stock to type, and 上一条 / 下一条 to move on.
class Tfrproductpedit : public qm::RowEditor {
    Q_OBJECT
public:
    explicit Tfrproductpedit(QWidget* owner);
    QLineEdit *Edit2, *Edit3, *Edit4, *Edit5; // 货品代码 品名规格 帐面库存量 实际库存量

public slots:
    void FormShow() override;

protected:
    void save() override;
};

// The stock print of a mode: the product layout retitled, its variable
// columns and totals as the mode wants them.
void prepareStockPrint(Tfrrproduct& r, int mode);

extern QPointer<TFrproductp> Frproductp;
extern QPointer<Tfrproductpedit> frproductpedit;
