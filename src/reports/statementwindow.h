#pragma once
// The window of a party statement or of the cash and bank journal: the frame,
// the party's code and name, its remark, and the statement's run.
#include "reports/reportwindow.h"
#include "reports/statements.h"
#include <memory>

class QPlainTextEdit;

namespace qm::reports {

class StatementModel;

class StatementWindow : public ReportWindow {
    Q_OBJECT
public:
    StatementWindow(StatementKind kind, QWidget* owner);
    ~StatementWindow() override;

    const StatementDesc& desc() const { return d_; }
    QLineEdit* codeEdit = nullptr;  // Edit9 (Edit3 in the journal)
    QLineEdit* nameEdit = nullptr;  // Edit10 (Edit4)
    QPlainTextEdit* Memo1 = nullptr; // 备注：
    report::Layout* layout() const { return layout_.get(); }
    // The rows shown.
    StatementModel* rows() const { return rows_; }

public slots:
    void refreshClick() override;

protected:
    void firstStep() override;
    void toDateEnter() override;
    bool printRunsFirst() const override { return d_.printRunsFirst; }
    report::Layout* printLayout() override;
    void printClosed() override;
    void closeReset() override;

private:
    const StatementDesc& d_;
    std::unique_ptr<report::Layout> layout_;
    StatementModel* rows_ = nullptr;
};

void openStatement(StatementKind kind);

}
