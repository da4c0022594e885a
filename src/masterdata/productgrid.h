#pragma once
// The product list's grid: fixed columns over the shared product query, the
// selection column drawn as a check box, marked products in blue.
#include "data/dataset.h"
#include <QAbstractTableModel>
#include <QHeaderView>
#include <QPointer>
#include <QTableView>

class ProductGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    struct Column {
        QString title;
        QString field;
    };
    explicit ProductGridModel(qm::Dataset* ds, QObject* parent = nullptr);
    static const QList<Column>& columns();
    static int stockColumn() { return 9; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

private:
    void reset();
    QPointer<qm::Dataset> ds_;
    std::vector<int> fieldIndex_; // per grid column, in the open dataset
};

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

signals:
    void markToggled();
    void picked();

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
};
