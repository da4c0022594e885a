#pragma once
// The product list's grid: fixed columns over the shared product query, the
// selection column drawn as a check box, marked products in blue.
#include "data/dataset.h"
#include <QAbstractTableModel>
#include <QHeaderView>
#include <QPointer>
#include <QTableView>

class QMenu;

class ProductGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    struct Column {
        QString title;
        QString field;
        QString format; // a number format of its own; empty: the field's
    };
    // The product list's columns, its stock heading on sky blue.
    explicit ProductGridModel(qm::Dataset* ds, QObject* parent = nullptr);
    // Other columns over the same products; the first is the selection column.
    ProductGridModel(qm::Dataset* ds, const QList<Column>& columns, int skyBlueColumn, QObject* parent = nullptr);
    static const QList<Column>& columns();
    static int stockColumn() { return 9; }
    const QList<Column>& gridColumns() const { return cols_; }
    // A heading given at run time (the stock value list's 库存金额).
    void setTitle(int column, const QString& title);
    // Shows the column's numbers in `format` instead of the field's.
    void setFormat(int column, const QString& format);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

private:
    void reset();
    QPointer<qm::Dataset> ds_;
    QList<Column> cols_;
    int skyBlue_ = -1;
    std::vector<int> fieldIndex_; // per grid column, in the open dataset
};

// The grid keeps to the dataset's current row and the dataset to the grid's.
void followDataset(QTableView* grid, ProductGridModel* model, qm::Dataset* ds);
// Widths from the headings and a typical count of characters per column.
void sizeColumns(QTableView* grid, const QList<ProductGridModel::Column>& columns, const QList<int>& chars);

// The stock column's heading is drawn on sky blue.
class ProductHeader : public QHeaderView {
    Q_OBJECT
public:
    explicit ProductHeader(QWidget* parent = nullptr) : QHeaderView(Qt::Horizontal, parent) {}

protected:
    void paintSection(QPainter* p, const QRect& rect, int logicalIndex) const override;
};

// Read-only grid: a click or Space in the selection column toggles the mark,
// the wheel moves one product per step.
class ProductGridView : public QTableView {
    Q_OBJECT
public:
    explicit ProductGridView(QWidget* parent = nullptr);
    // Shows `model` over `ds`, one product per line without row numbers, the
    // grid and the query keeping to the same current row.
    void attach(ProductGridModel* model, qm::Dataset* ds);
    // `menu` pops up where the grid is right-clicked.
    void setPopup(QMenu* menu);

signals:
    void markToggled();
    void picked();

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
};
