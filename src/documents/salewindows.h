#pragma once
// The sale's windows: the shared entry window with the running turnover and
// the cash tender, and the shared posted view with the text receipt and the
// ticket preview.
#include "documents/docwindows.h"
#include <exception>
#include <optional>

namespace qm::doc {

class SaleEntryWindow : public EntryWindow {
    Q_OBJECT
public:
    SaleEntryWindow(const DocDesc& desc, QWidget* owner);
    ~SaleEntryWindow() override;

public slots:
    void ToolButton8Click();          // 收款: the cash tender
    // The checkout after the tender's 确定: posts with the cash taken, offers
    // the receipt, backs up, and opens the next sale in this window. With
    // `dueShown` (the tender's 合计) a sale changed meanwhile is not posted:
    // the tender opens again with the amount due as stored.
    void frontDeskPostAndPrint(double cashTaken, std::optional<double> dueShown = std::nullopt);

protected:
    void showTotals(const Header& h, const QStringList& only = {}) override;
    void writeAlongside(const Header& h) override;
    void posted() override; // the ticket of what 过帐 posted
    bool eventFilter(QObject* o, QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    // The sale written and recalculated, then the tender over it, its 收款
    // filled with `cash` when given.
    void tender(const QString& cash = QString());
    // While the tender is open the sale takes nothing: no code, no grid
    // edit, no command; what the tender shows stays what is stored.
    void holdForTender(bool on);
    // What is stored says whether the sale is posted (false when unreadable).
    bool storedAsPosted();
    void startNextSale();
    // The next sale could not be opened: an empty, read-only window with the
    // reason in the operator's words; the failure itself goes to the log.
    void showNoSale(std::exception_ptr failure);
    bool opened_ = false;
};

class SalePostedView : public PostedView {
    Q_OBJECT
public:
    SalePostedView(const DocDesc& desc, QWidget* owner, bool fromHistory);

public slots:
    void ToolButton5Click() override; // 打印: the text receipt to the receipt printer
    void ToolButton8Click();          // 打印预览: the ticket
};

}
