#pragma once
// The four opening-balance lists and their modal editors: one engine each,
// told apart by the kind's description.
#include "masterdata/opening.h"
#include "masterdata/roweditor.h"
#include <QPointer>
#include <QWidget>

class QComboBox;
class QLineEdit;
class QPushButton;
class QTableView;
class QToolButton;

namespace qm {
class DatasetModel;

class OpeningList : public QWidget {
    Q_OBJECT
public:
    OpeningList(OpeningKind kind, QWidget* owner);
    ~OpeningList() override;
    OpeningKind kind() const { return kind_; }

    QToolButton *ToolButton6, *ToolButton1, *ToolButton5, *ToolButton15; // 查找 修改 打印 退出
    QLineEdit* Edit1;
    QComboBox* ComboBox1;
    QTableView* DBGrid1;

    // Selects the grid column showing `field`, as the operator clicks it.
    void selectGridColumn(const QString& field);

public slots:
    void ToolButton6Click();
    void ToolButton1Click();
    void ToolButton5Click();
    void ToolButton15Click();

protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    OpeningKind kind_;
    DatasetModel* model_ = nullptr;
    QString selectedField_;
    bool closed_ = false;
};

class OpeningEditor : public RowEditor {
    Q_OBJECT
public:
    OpeningEditor(OpeningKind kind, QWidget* owner);

public slots:
    void FormShow() override;

protected:
    void save() override;

private:
    OpeningKind kind_;
};

// The main menu's command: the administrator's only.
OpeningList* openOpeningList(OpeningKind kind);
}

class TFrcustomer_b : public qm::OpeningList {
    Q_OBJECT
public:
    explicit TFrcustomer_b(QWidget* owner) : qm::OpeningList(qm::OpeningKind::Customer, owner) {}
};
class TFrbranch_b : public qm::OpeningList {
    Q_OBJECT
public:
    explicit TFrbranch_b(QWidget* owner) : qm::OpeningList(qm::OpeningKind::Supplier, owner) {}
};
class TFrbank_b : public qm::OpeningList {
    Q_OBJECT
public:
    explicit TFrbank_b(QWidget* owner) : qm::OpeningList(qm::OpeningKind::Account, owner) {}
};
class TFrproduct_b : public qm::OpeningList {
    Q_OBJECT
public:
    explicit TFrproduct_b(QWidget* owner) : qm::OpeningList(qm::OpeningKind::Product, owner) {}
};

extern QPointer<qm::OpeningList> Frcustomer_b, Frbranch_b, Frbank_b, Frproduct_b;
