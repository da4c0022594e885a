#pragma once
// The frame every report window shares: the two date edits over the range
// remembered in `dateconfig`, the date picker on a double-click, their keys,
// the buttons 刷新 (or 流水帐), 打印 and 返回, the read-only grid, and the
// print path with progress for long reports. A window adds its own boxes and
// its run.
#include "reports/daterange.h"
#include "reports/statements.h"
#include <QDialog>
#include <QString>
#include <vector>

class QAbstractItemModel;
class QGridLayout;
class QPlainTextEdit;
class QHBoxLayout;
class QLineEdit;
class QPushButton;
class QTableView;
class QVBoxLayout;

namespace qm {
class Dataset;
class DatasetModel;
namespace report { class Layout; }

namespace reports {

struct GridCaption {
    QString field;
    QString caption; // empty: the field's own label
};

class ReportWindow : public QDialog {
    Q_OBJECT
public:
    ~ReportWindow() override;

    QLineEdit* MaskEdit1 = nullptr; // 日期从
    QLineEdit* MaskEdit2 = nullptr; // 到
    QPushButton* refresh = nullptr;
    QPushButton* report = nullptr;  // 打印
    QPushButton* cancel = nullptr;  // 返回
    QTableView* DBGrid2 = nullptr;

    // The range in the edits, checked and remembered: the first step of every run.
    DateRange saveRange();
    // The grid's shown fields, in order, with their captions.
    QStringList gridFields() const;
    QString gridCaption(const QString& field) const;

public slots:
    void FormShow();
    virtual void refreshClick() = 0;
    virtual void reportClick();
    void cancelClick();
    void MaskEdit1DblClick();
    void MaskEdit2DblClick();
    // Leaving the party code: padded to ten digits and looked up, its name and
    // remark shown, or the party's "not found" message; true when it was found.
    bool partyCodeExit();
    void partyCodeDblClick();

protected:
    ReportWindow(QWidget* owner, const QString& className, const QString& caption);

    // What showing does after loading the range: run, or focus the code edit.
    virtual void firstStep() = 0;
    // Enter in the to-date: run, or go on to the code edit.
    virtual void toDateEnter() { refreshClick(); }
    // Enter in one of the window's own edits.
    virtual void editEnter(QLineEdit*) {}
    // Whether 打印 runs first, and the layout it previews (nullptr: none).
    virtual bool printRunsFirst() const { return true; }
    virtual report::Layout* printLayout() { return nullptr; }
    // What the print read for itself goes once its preview has closed (or its
    // preparation stopped).
    virtual void printClosed() {}
    // The window's resets when it closes.
    virtual void closeReset() {}

    // Layout helpers.
    QLineEdit* addEdit(QGridLayout* g, int row, int col, const QString& name, const QString& label, bool readOnly = false);
    QPushButton* addButton(const QString& name, const QString& text);
    // `refresh` with its caption; `report` with its caption and 返回 after it.
    void addRunButton(const QString& caption);
    void addEndButtons(const QString& reportCaption = QStringLiteral("打印"));
    void bindGrid(Dataset* ds, const std::vector<GridCaption>& columns);
    // A grid on a model of the window's own, whose columns are `columns` in order.
    void bindModel(QAbstractItemModel* m, const std::vector<GridCaption>& columns);
    // Keys of an edit: Up and Down move, Enter calls editEnter.
    void watchEdit(QLineEdit* e);
    // The party's code and name beside the dates (Enter goes from the code to
    // the name and from the name runs), and its remark under the grid.
    void addPartyBoxes(const StatementDesc& party, const QString& remarkCaption);
    // The close of a window that starts the connection afresh for the next one.
    void reconnectOnClose();

    const StatementDesc* party_ = nullptr;
    QLineEdit* partyCode_ = nullptr;
    QLineEdit* partyName_ = nullptr;
    QPlainTextEdit* partyMemo_ = nullptr;

    QVBoxLayout* body_ = nullptr;
    QHBoxLayout* dates_ = nullptr;   // the date row, buttons at its end
    QGridLayout* codes_ = nullptr;   // code edits beside the dates
    QGridLayout* boxes_ = nullptr;   // under the grid
    QHBoxLayout* buttons_ = nullptr;

    bool eventFilter(QObject* o, QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    // Escape closes the window the way 返回 does.
    void reject() override { close(); }

private:
    void pickDate(QLineEdit* edit);
    void applyColumns();
    // Each shown column as wide as its title and its widest text among the
    // first rows of the run.
    void fitColumns();
    DatasetModel* model_ = nullptr;
    std::vector<GridCaption> columns_;
    bool shown_ = false;
    bool closed_ = false;
};

// Prepares a long report under the dialogs layer's progress window, whose
// 取消 stops it. False when the operator cancelled.
bool prepareWithProgress(report::Layout& r);

}
}
