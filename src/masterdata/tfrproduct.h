#pragma once
// The product list: searches, opens the editor, deletes, marks, prints and
// serves as the product picker of the document windows.
#include <QMainWindow>
#include <QPointer>

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QRadioButton;
class QTableView;
class QToolButton;

namespace qm {
class PickLink;
class ProductSearchBar;
}
class ProductGridModel;

class TFrproduct : public QMainWindow {
    Q_OBJECT
public:
    explicit TFrproduct(QWidget* owner = nullptr);
    ~TFrproduct() override;

    // Opened by a document window to pick a product into the current row of
    // AQoutdetail: pickCode is set, the list is owned by the opener, which
    // stays enabled, and closes when the opener goes away.
    static TFrproduct* openForPick(QWidget* opener, int pickCode);

    QToolButton *ToolButton1, *ToolButton2, *ToolButton3, *ToolButton5, *ToolButton7, *ToolButton6, *ToolButton15;
    QComboBox* ComboBox1;
    QLineEdit* Edit1;
    QComboBox* ComboBox2;
    QGroupBox* RadioGroup1;
    QRadioButton *RadioExact, *RadioFuzzy;
    QTableView* DBGrid1;
    QMenu* PopupMenu1;
    QAction *N1, *N3, *N4, *N6, *N12, *N14, *N11, *N7, *N10, *ExportMarked, *ExportAll;
    QLabel *StatusPanel1, *StatusPanel2, *StatusPanel3;

    ProductGridModel* gridModel() const { return model_; }
    qm::PickLink* pickLink() const { return link_; }
    // The pick code the list was opened with; 0 when opened from the menu.
    int ownPickCode() const;
    // Grid columns whose visibility follows the price flag.
    static QList<int> priceColumns() { return {10, 20, 21}; }

public slots:
    void FormShow();
    void N1Click();
    void ToolButton6Click();
    void ToolButton1Click();
    void ToolButton2Click();
    void ToolButton3Click();
    void ToolButton5Click();
    void ToolButton7Click();
    void ToolButton15Click();
    void N3Click();
    void N4Click();
    void N6Click();
    void N12Click();
    void N14Click();
    void N11Click();
    void N7Click();
    void N10Click();
    void EXCEL1Click(); // 全部导出为EXCEL文件
    void dfds1Click();  // 选择部分导出为EXCEL文件
    // Toggles the selection mark of the current product.
    void toggleMark();

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void applyPriceFlag(bool hidden);
    void reopenProducts(const QString& sql);
    // "记录数:" and the number of products listed.
    void showRecordCount();
    ProductGridModel* model_ = nullptr;
    qm::PickLink* link_ = nullptr;
    qm::ProductSearchBar* search_ = nullptr;
};

extern QPointer<TFrproduct> Frproduct;
