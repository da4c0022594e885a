#pragma once
// The product editor: adds and changes products of the shared product query.
#include <QPointer>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QStatusBar;

class Tfrproductedit : public QWidget {
    Q_OBJECT
public:
    explicit Tfrproductedit(QWidget* owner = nullptr);
    ~Tfrproductedit() override;

    // Opens the editor over `opener` (the product list, or a purchase window
    // with pickCode 98): the opener is disabled until the editor closes.
    // editMode (and currentIntno for changes) and Aqproduct are set by the caller.
    static Tfrproductedit* openFrom(QWidget* opener);
    // The purchase window's 新增商品: pickCode 98, adding, Aqproduct on every product.
    static Tfrproductedit* openForPurchase(QWidget* purchaseWindow);

    QLineEdit *Edit7, *Edit22, *Edit8, *Edit25, *Edit14, *Edit5, *Edit9, *Edit10, *Edit17, *Edit18, *Edit11,
        *Edit15, *Edit16, *Edit2, *Edit3, *MaskEdit1, *MaskEdit2, *Edit1, *Edit4, *Edit6;
    QComboBox *ComboBox1, *ComboBox2, *ComboBox3;
    QCheckBox *CheckBox1, *CheckBox2;
    QPushButton *BitBtn1, *BitBtn3, *BitBtn4, *BitBtn2, *Button1, *Button2, *Button5;
    QStatusBar* StatusBar1;

public slots:
    void FormShow();
    void Button1Click();
    void Button2Click();
    void Button5Click();
    void CheckBox1Click();
    void BitBtn1Click();
    void BitBtn3Click();
    void BitBtn4Click();
    void BitBtn2Click();
    void Edit8Change();
    void MaskEdit1DblClick();
    void MaskEdit2DblClick();
    // False when the box does not hold a date (its message shown, focus kept).
    bool MaskEdit1Exit();
    bool MaskEdit2Exit();

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    // Leaving a box and double clicks on the date boxes.
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    void resetBoxes(bool clearSupplier);
    void fillFromProduct();
    void fillLists();
    void navigate(int how);
    void pickDate(QLineEdit* box);
    bool checkDate(QLineEdit* box);
    QList<QLineEdit*> edits() const;
    QPointer<QWidget> opener_;
    bool opener98_ = false;
};

extern Tfrproductedit* frproductedit;
