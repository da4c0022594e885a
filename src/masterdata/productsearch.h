#pragma once
// The search bar of the product and stock lists: the field chooser, the search
// text, the value chooser (categories, suppliers, expiry) and 精确/模糊. A
// search re-points the shared product query by the product list's rules.
#include <QDate>
#include <QObject>
#include <QStringList>

class QComboBox;
class QGroupBox;
class QHBoxLayout;
class QLineEdit;
class QRadioButton;

namespace qm {
class Dataset;

class ProductSearchBar : public QObject {
    Q_OBJECT
public:
    // `fields` fill the field chooser, which shows `shown`; `exactFirst` chooses 精确.
    ProductSearchBar(QWidget* parent, const QStringList& fields, const QString& shown, bool exactFirst);

    QComboBox* ComboBox1 = nullptr;  // the field
    QLineEdit* Edit1 = nullptr;      // the search text
    QComboBox* ComboBox2 = nullptr;  // the value chooser
    QGroupBox* RadioGroup1 = nullptr; // 查找方式
    QRadioButton* RadioExact = nullptr;
    QRadioButton* RadioFuzzy = nullptr;
    QHBoxLayout* layout() const { return layout_; }

    // A field was chosen: categories and suppliers (read from the database)
    // or the expiry choices go into the value chooser in place of the text.
    void chooseField();
    // Re-points and opens `products` on what the bar holds. False when the
    // field chooser names no field: the query stays as it was.
    bool search(Dataset& products, const QDate& today) const;

signals:
    // The search text, Enter in it or the value chooser changed: search again.
    void changed();

private:
    QHBoxLayout* layout_ = nullptr;
};

// The hidden 按货品类型排序 (`on`) and 取消货品类型排序 of the product and
// stock lists: the query ordered by barcode or not, `grid` not repainted
// meanwhile, and sortedByType set to match.
void sortByType(Dataset& products, QWidget* grid, bool on);

}
