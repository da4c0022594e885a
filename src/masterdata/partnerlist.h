#pragma once
// The lists of members and customers, suppliers, cash and bank accounts,
// employees and warehouses: one engine, told apart by the kind's description.
// A list shows the data module's shared query of its table; opened from the
// main menu it manages the records, opened by another window with a pick code
// it hands the chosen record to that window and closes.
#include "masterdata/partnerkinds.h"
#include "data/connection.h"
#include <QPointer>
#include <QWidget>

class QComboBox;
class QLineEdit;
class QStatusBar;
class QTableView;
class QToolButton;

namespace qm {
class DatasetModel;
class PickLink;

// ------------------------------------------------------------------ logic

// What 查找 does to the list's query.
struct PartnerSearch {
    bool change = false; // false: the query stays as it was
    QString sql;
    Params params;
    QString boxText;     // what the search box shows afterwards (the padded code)
};

// The column a mode-box item searches ("编号" -> id, "客户名"/"名称" -> name, ...);
// empty for an unknown item.
QString searchModeColumn(const QString& mode);

// Plans the search of a list: `text` as typed in the search box, `mode` the
// mode box's text, `gridColumn` the column the operator selected in the grid
// (used when the mode box is empty).
PartnerSearch planPartnerSearch(PartnerKind kind, const QString& text, const QString& mode,
                                const QString& gridColumn);

// Shows only `cols` of the dataset's fields in the grid, in that order.
void arrangeGridColumns(QTableView* grid, Dataset* ds, const QStringList& cols);

// 删除 on the current record of the kind's query, with the kind's refusal and
// questions. True when a record was deleted.
bool deletePartner(PartnerKind kind);

// 选中: writes the current record of the kind's query into the opener's box
// or row for `pickCode`. False, with nothing written, for a code the list does
// not take, an empty list or a gone target.
bool writePartnerPick(PartnerKind kind, int pickCode, PickLink& link);

// ----------------------------------------------------------------- window

class PartnerList : public QWidget {
    Q_OBJECT
public:
    // `opener` is the window that picks (nullptr from the main menu).
    PartnerList(PartnerKind kind, QWidget* owner, QWidget* opener, int pickCode);
    ~PartnerList() override;
    PartnerKind kind() const { return kind_; }
    // The code the list was opened with (0 from the menu), kept by its pick link.
    int pickCode() const;
    PickLink* link() const { return link_; }

    QTableView* DBGrid1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QComboBox* ComboBox1 = nullptr;

    // Selects the grid column showing `field` (as the operator clicks a column).
    void selectGridColumn(const QString& field);
    // The field of the grid column the operator selected; empty when none.
    QString selectedGridField() const;

public slots:
    void FormShow();
    void ToolButton1Click();  // 新增
    void ToolButton2Click();  // 修改
    void ToolButton3Click();  // 删除
    void ToolButton7Click();  // 选中
    void ToolButton6Click();  // 查找
    void ToolButton5Click();  // 打印
    void ToolButton4Click();  // 多栏
    void ToolButton15Click(); // 退出
    void DBGrid1DblClick();

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void applyGridColumns();
    QToolButton* addButton(const char* name, const QString& text, void (PartnerList::*slot)());

    PartnerKind kind_;
    PickLink* link_ = nullptr;
    DatasetModel* model_ = nullptr;
    QString selectedField_; // the grid column the operator chose
    bool shown_ = false;
    bool closing_ = false;
};

// The open list of a kind, if any.
PartnerList* openPartnerList(PartnerKind kind);
// The main menu's command: the list with pick code 0, the main window disabled
// until the list closes.
PartnerList* openPartnerListFromMenu(PartnerKind kind);
// A window picking a record: sets pickCode, creates the list owned by `opener`
// (which stays enabled), opens the list's query with the SQL it holds and
// shows the list.
PartnerList* openPartnerPick(PartnerKind kind, QWidget* opener, int pickCode);
}

class TFrcustomer : public qm::PartnerList {
    Q_OBJECT
public:
    TFrcustomer(QWidget* owner, QWidget* opener, int code) : qm::PartnerList(qm::PartnerKind::Customer, owner, opener, code) {}
};
class TFrbranch : public qm::PartnerList {
    Q_OBJECT
public:
    TFrbranch(QWidget* owner, QWidget* opener, int code) : qm::PartnerList(qm::PartnerKind::Supplier, owner, opener, code) {}
};
class TFrbank : public qm::PartnerList {
    Q_OBJECT
public:
    TFrbank(QWidget* owner, QWidget* opener, int code) : qm::PartnerList(qm::PartnerKind::Account, owner, opener, code) {}
};
class TFremployee : public qm::PartnerList {
    Q_OBJECT
public:
    TFremployee(QWidget* owner, QWidget* opener, int code) : qm::PartnerList(qm::PartnerKind::Employee, owner, opener, code) {}
};
class TFrstore : public qm::PartnerList {
    Q_OBJECT
public:
    TFrstore(QWidget* owner, QWidget* opener, int code) : qm::PartnerList(qm::PartnerKind::Store, owner, opener, code) {}
};

// The open lists.
extern QPointer<TFrcustomer> Frcustomer;
extern QPointer<TFrbranch> Frbranch;
extern QPointer<TFrbank> Frbank;
extern QPointer<TFremployee> Fremployee;
extern QPointer<TFrstore> Frstore;
