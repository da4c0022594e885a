#pragma once
// The one entry window and the one posted view of every document kind. Each
// reads its kind's description; the kinds differ in their descriptions only.
//
// Opening (what a document list or a menu command calls):
//   qm::session().docMode = "T" (new) or "F" (existing); qm::session().docIntno = number;
//   qm::doc::openEntryWindow(kind, list);
//   // a posted document: leave AQoutlist on its header, then
//   qm::doc::openPostedView(kind, list);
// The opener is disabled while the window is open and enabled again when it
// closes (the product history viewer passes itself with pickCode 99, and the
// posted view then hides 冲数).
#include "documents/documentengine.h"
#include <QMainWindow>
#include <QMap>
#include <QPointer>
#include <functional>

class QLineEdit;
class QTableView;
class QToolBar;
class QToolButton;
class QAction;
class QPushButton;
class QStatusBar;

namespace qm {
class DatasetModel;
class BoxKeys;

namespace doc {

// Opens the kind's entry window for qm::session().docMode / qm::session().docIntno, owned by
// `opener` (disabled meanwhile). Returns the window shown.
QWidget* openEntryWindow(DocKind kind, QWidget* opener);
// Opens the kind's posted view on the current header of AQoutlist.
QWidget* openPostedView(DocKind kind, QWidget* opener);

// Shared by both windows: header boxes from the description, the grid over
// AQoutdetail, and printing.
class DocumentWindow : public QMainWindow {
    Q_OBJECT
public:
    DocumentWindow(const DocDesc& desc, QWidget* owner, bool posted);
    ~DocumentWindow() override;
    const DocDesc& desc() const { return d_; }
    QString docIntno() const { return intno_; }
    QLineEdit* box(const QString& name) const { return boxes_.value(name); }
    QTableView* DBGrid1 = nullptr;

public slots:
    // 打印: the kind's layout over this document, in the preview.
    virtual void ToolButton5Click();
    // Fills the window on its first showing.
    virtual void FormShow() = 0;

protected:
    void showEvent(QShowEvent* e) override;
    // A toolbar button named and captioned as given.
    QAction* addButton(const QString& name, const QString& caption, const QString& hint,
                       const std::function<void()>& slot);
    // An item of the grid's pop-up menu (the grid's actions).
    QAction* addPopupItem(const QString& name, const QString& caption, const std::function<void()>& slot);
    // The header columns into the boxes, formatted as the description says.
    // `only`: just the boxes of these columns.
    void showHeader(const Header& h, const QStringList& only = {});
    // Points AQoutdetail at this document's rows and AQoutlist at its header.
    void openRows(const QString& sql);
    void positionHeader();
    // Rebuilds the grid after a write (the shared queries re-read what is stored).
    virtual void reread();
    void makeBoxes(const std::vector<HeaderBox>& boxes, bool readOnly);
    void makeGrid(const std::vector<GridColumn>& columns, bool readOnly);
    void closeEvent(QCloseEvent* e) override;

    const DocDesc& d_;
    QString intno_;
    QMap<QString, QLineEdit*> boxes_;
    const std::vector<HeaderBox>* shownBoxes_ = nullptr; // the description's boxes this window shows
    DatasetModel* model_ = nullptr;
    BoxKeys* keys_ = nullptr;
    QWidget* central_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    QPointer<QWidget> opener_;
    bool shown_ = false;
};

// The entry window (Tfrindetail, Tfrinbackdetail, ... by its description).
class EntryWindow : public DocumentWindow {
    Q_OBJECT
public:
    EntryWindow(const DocDesc& desc, QWidget* owner);
    // What the boxes say, for recalculation and posting.
    HeaderInput input() const;

public slots:
    void FormShow() override;
    void Edit2Exit();           // party lookup
    void Edit12Enter();         // code or barcode
    void Edit17Enter();         // 历史单号
    void Edit6DblClick();       // date picker
    void ToolButton1Click();    // 添加
    void ToolButton2Click();    // 删除
    void ToolButton3Click();    // 刷新 (recalcBill)
    void ToolButton4Click();    // 过帐 (postBill)
    void ToolButton6Click();    // 作废
    void ToolButton5Click() override; // 打印
    void ToolButton7Click();    // 退回
    void Button1Click();        // 新增商品
    void SpeedButton1Click();   // "…" beside 供应商号: the supplier list
    void DBGrid1DblClick();     // product (or account) list

protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;
    // 刷新; `alsoWrite` goes into the same transaction before the recalculation.
    // Kinds with windows of their own show more after it.
    virtual void recalcBill(const std::function<void()>& alsoWrite = {});
    // 刷新, with the message of a refusal or a failure shown; false when
    // refused or failed (nothing written, the window showing what is stored).
    bool recalcOrRefuse();
    // The header after a recalculation, or its totals (`only`) while a row is
    // being entered; kinds with windows of their own show more.
    virtual void showTotals(const Header& h, const QStringList& only = {}) { showHeader(h, only); }
    // The header columns that writes compute (totals, balances, a rebuilt 摘要).
    QStringList totalColumns() const;
    // What a kind writes with each recalculation, in its transaction.
    virtual void writeAlongside(const Header&) {}
    // The row being entered, with the recalculation, before a command goes
    // on; false, with the failure's message, when that write failed.
    bool writePendingRow();
    // Before the document leaves the window (打印, the till): the row being
    // entered is written and a blank last row deleted; false when the write failed.
    bool finishRows();
    // After a successful 过帐, before the window closes.
    virtual void posted() {}
    // The rows and the header's totals as stored; a document found posted by
    // now (by another window or program) is then shown as stored, read-only.
    // Never throws: what cannot be read now is read by the next command.
    void reread() override;
    // Read-only (the document is posted, or there is none): nothing in the
    // window writes; only 打印 and 退回 stay. false opens it for entry again.
    virtual void setReadOnlyState(bool on);
    bool readOnlyState() const { return readOnly_; }
    // Writes are made only while the window is open for entry: not once it
    // shows a posted document or none, and not while it is closing.
    bool writable() const { return !readOnly_ && !closing_; }
    // A write refused because the document is posted by now: the message,
    // then the document as stored, read-only.
    void showPosted(const PostedRefusal& r);
    // Guards the shared datasets' writes with the same rule as the engine's
    // steps, while this window holds them. The window's own steps catch the
    // refusal themselves; a write from elsewhere (a pick into the row or the
    // header) stops quietly, nothing written, and the window then says why
    // and shows the document as stored.
    void guardDatasets(bool on);

private:
    QString gridField(int column) const;
    void gridEnter(); // Enter in the grid, by its column
    // A product code or barcode into the current row (code box, or the grid's
    // code column); false, with its message shown, when it was refused.
    bool enterCode(const QString& code);
    void openPartyList();
    void appendRow(); // 添加: 刷新 with a new row
    // The row being edited and the totals it gives, shown before it is written.
    void showPendingRow();
    // The party's name and contact into their boxes from the code box; false
    // when the code names no party.
    bool fillPartyBoxes();
    // Writes the row being edited with the recalculation, in one transaction,
    // and returns the header; nothing after a failure (rolled back, the row's
    // typing dropped), with `refused` the message to show.
    std::optional<Header> finishRow(QString& refused);
    // finishRow() when the operator leaves the row; the window shows what is
    // stored, or the failure's message, once the move is done.
    void leaveRow();
    // Posts the row being edited as a step of this window's own.
    void postOwnRow();
    bool voided_ = false;
    bool posted_ = false;
    bool readOnly_ = false;
    bool closing_ = false;
    bool ownWrite_ = false; // a step of the window's own writes the shared row query
};

// The read-only posted view (Tfrfindetail, ...).
class PostedView : public DocumentWindow {
    Q_OBJECT
public:
    PostedView(const DocDesc& desc, QWidget* owner, bool fromHistory);

public slots:
    void FormShow() override;
    void ToolButton6Click();    // 冲数 (reverseBill)
    void ToolButton7Click();    // 退回

protected:
    void closeEvent(QCloseEvent* e) override;
};

}
}
