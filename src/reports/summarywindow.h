#pragma once
// The window of a document summary: the frame, the filter edits, the total
// boxes under the grid and, for purchases and product sales, 分类汇总.
#include "reports/reportwindow.h"
#include "reports/summaries.h"
#include <QMap>
#include <memory>

namespace qm::reports {

class SummaryWindow : public ReportWindow {
    Q_OBJECT
public:
    SummaryWindow(SummaryKind kind, QWidget* owner);
    ~SummaryWindow() override;

    const SummaryDesc& desc() const { return d_; }
    QPushButton* todayButton = nullptr;  // 今天
    QPushButton* groupButton = nullptr;  // 分类汇总
    QLineEdit* filterEdit(const QString& name) const { return filters_.value(name); }
    QLineEdit* totalBox(const QString& name) const { return totals_.value(name); }
    report::Layout* layout() const { return layout_.get(); }

public slots:
    void refreshClick() override;
    void groupClick();
    void todayClick();
    // Leaving a padded code edit (payments): the code with its leading zeros.
    void filterExit(QLineEdit* edit);
    void filterDblClick(QLineEdit* edit);

protected:
    void firstStep() override { refreshClick(); }
    bool printRunsFirst() const override { return d_.printRunsFirst; }
    report::Layout* printLayout() override;
    void closeReset() override;
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    FilterValues filterValues() const;
    void showTotals(bool grouped);

    const SummaryDesc& d_;
    QMap<QString, QLineEdit*> filters_;
    QMap<QString, QLineEdit*> totals_;
    std::unique_ptr<report::Layout> layout_;
};

// The menu command of a summary: the window opened modeless under the disabled main window.
void openSummary(SummaryKind kind);

}
