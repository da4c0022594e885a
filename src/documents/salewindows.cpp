#include "documents/salewindows.h"
#include "admin/errorhandler.h"
#include "common/clock.h"
#include "common/dialogs.h"
#include "common/formats.h"
#include "common/printer.h"
#include "common/receiptprinter.h"
#include "data/bakcopy.h"
#include "data/damage.h"
#include "data/tfrdm.h"
#include "documents/sale.h"
#include "documents/salereceipt.h"
#include "documents/salerules.h"
#include "documents/tfrcash.h"
#include "shell/commands.h"
#include "shell/mainwindow.h"
#include "shell/session.h"
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>

namespace qm::doc {

namespace {
QToolButton* toolButton(QMainWindow* w, const QString& name) { return w->findChild<QToolButton*>(name); }

// A toolbar button placed before `before` (or at the end).
QToolButton* addToolButton(QMainWindow* w, const QString& name, const QString& caption, const QString& hint,
                           const QString& before = QString())
{
    auto* bar = w->findChild<QToolBar*>(QStringLiteral("ToolBar1"));
    auto* b = new QToolButton(bar);
    b->setObjectName(name);
    b->setText(caption);
    b->setToolTip(hint);
    QAction* at = nullptr;
    if (QToolButton* next = before.isEmpty() ? nullptr : toolButton(w, before))
        for (QAction* a : bar->actions())
            if (bar->widgetForAction(a) == next) at = a;
    if (at) bar->insertWidget(at, b);
    else bar->addWidget(b);
    return b;
}

// A stop of the checkout: its message, then the catch-all's.
void refuse(const QString& message)
{
    if (!message.isEmpty()) dlg::showMessage(message);
    dlg::showMessage(text::catchAll());
}

// Why the next sale did not open, in the operator's words: a refusal's own
// text, another program's lock, a full disk, damage or a failing disk; empty
// for anything else (SQLite's words and the statement go to the log only).
QString reasonInWords(std::exception_ptr failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const Refusal& r) {
        return r.message();
    } catch (const std::exception& e) {
        return dynamic_cast<const DbBusyError*>(&e) || !trueCause(e).isEmpty() ? reasonOf(e) : QString();
    } catch (...) {
    }
    return {};
}
}

// ------------------------------------------------------------ entry window

SaleEntryWindow::SaleEntryWindow(const DocDesc& desc, QWidget* owner) : EntryWindow(desc, owner)
{
    // The till: the Down arrow in the code box, or this button.
    QToolButton* cash = addToolButton(this, "ToolButton8", QStringLiteral("收款&S"),
                                      QStringLiteral("现金收款,收款后过帐并打印销售小票"), "ToolButton7");
    connect(cash, &QToolButton::clicked, this, &SaleEntryWindow::ToolButton8Click);
    // The grid's pop-up menu holds the printer set-up alone.
    for (QAction* a : DBGrid1->actions()) delete a;
    addPopupItem("N1", QStringLiteral("打印设置"), [] { dlg::printerSetup(&sharedPrinter()); });
    // Installed after the window's own filter, so it sees the keys first.
    box("Edit12")->installEventFilter(this);
}

SaleEntryWindow::~SaleEntryWindow()
{
    // The tender goes while this window is whole: its end opens the sale again.
    if (Frcash && Frcash->parent() == this) delete Frcash;
}

void SaleEntryWindow::showTotals(const Header& h, const QStringList& only)
{
    EntryWindow::showTotals(h, only);
    // 总营业额 goes with 金额合计, the row being entered and all.
    box("Edit8")->setText(formatFloat(QStringLiteral("0.00"), runningTurnover(frdm->ADOCon, h)));
}

void SaleEntryWindow::writeAlongside(const Header& h) { showTurnover(frdm->ADOCon, h.amount); }

void SaleEntryWindow::showEvent(QShowEvent* e)
{
    EntryWindow::showEvent(e);
    if (opened_) return;
    opened_ = true;
    // The walk-in customer's code is filled in, the turnover shown, and the
    // cashier starts in the code box.
    if (writable()) {
        try {
            recalcBill();
        } catch (const PostedRefusal& r) {
            showPosted(r);
        }
    }
    box("Edit12")->setFocus();
}

bool SaleEntryWindow::eventFilter(QObject* o, QEvent* e)
{
    if (e->type() == QEvent::KeyPress && o == box("Edit12") && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Down) {
        if (writable()) ToolButton8Click();
        return true;
    }
    return EntryWindow::eventFilter(o, e);
}

void SaleEntryWindow::posted() { DocumentWindow::ToolButton5Click(); }

void SaleEntryWindow::ToolButton8Click()
{
    if (Frcash && Frcash->isVisible()) {
        Frcash->raise();
        Frcash->activateWindow();
        return;
    }
    tender();
}

void SaleEntryWindow::tender(const QString& cash)
{
    if (!writable()) return;
    Header h;
    // The checkout starts here: a failure says so, and the window shows what is stored.
    try {
        // A blank last row stays for the next code; the checkout drops it.
        if (!writePendingRow() || !recalcOrRefuse()) return;
        h = readHeader(frdm->ADOCon, d_, intno_);
        showFrontDeskTurnover(frdm->ADOCon, h.amount);
    } catch (const std::exception& e) {
        if (awaitsJudgement(e)) throw;
        refuse(QString());
        reread();
        return;
    }
    const double due = sale::amountDue(h.amount, h.deduck);
    auto* w = new TFrcash(this, h.amount, h.deduck, [this, due](double taken) { frontDeskPostAndPrint(taken, due); });
    holdForTender(true);
    // However the tender ends (确定, 取消, Esc, its frame), the sale is open
    // again before the checkout runs.
    connect(w, &QDialog::finished, this, [this] { holdForTender(false); });
    if (!cash.isEmpty()) w->Edit2->setText(cash);
    w->show();
}

void SaleEntryWindow::holdForTender(bool on)
{
    setReadOnlyState(on);
    central_->setEnabled(!on);
    toolBar_->setEnabled(!on);
}

void SaleEntryWindow::closeEvent(QCloseEvent* e)
{
    // The tender goes first; the sale is then closed as it stands.
    if (Frcash && Frcash->parent() == this && Frcash->isVisible()) Frcash->close();
    EntryWindow::closeEvent(e);
}

void SaleEntryWindow::frontDeskPostAndPrint(double cashTaken, std::optional<double> dueShown)
{
    Connection& c = frdm->ADOCon;
    if (!writable()) return;
    bool posted = false, writing = false;
    try {
        // The cash goes into the sale's account: a sale without one is refused
        // before anything is written, as 过帐 refuses money paid into none.
        if (!accountExists(c, input().bankId)) {
            refuse(text::noAccount());
            return;
        }
        if (!writePendingRow()) return;
        bool dropLast = false;
        if (checkBeforePosting(c, d_, intno_, input(), dropLast)) {
            writing = true;
            postTendered(c, intno_, input(), cashTaken, qm::session().operatorCode, dropLast, dueShown);
            posted = true;
        }
    } catch (const DueChanged& r) {
        // Changed while the cash was taken: the tender opens again with the
        // amount due as stored and the change for the cash handed over.
        reread();
        dlg::showMessage(r.message());
        tender(formatFloat(QString(), cashTaken));
        return;
    } catch (const Refusal& r) {
        refuse(r.message());
    } catch (const std::exception&) {
        // A commit reported failed may still have been stored: what is stored decides.
        posted = writing && storedAsPosted();
        if (!posted) refuse(QString());
    }
    if (!posted) {
        reread();
        return;
    }
    // The sale is posted: from here on a failure leaves it posted, and the
    // window says so rather than that the checkout failed.
    try {
        positionHeader();
        reread();
        if (dlg::messageBox(QStringLiteral("是否要打印销售小票?"), QString(), Buttons::YesNo) != Answer::No) {
            // The sale stays posted and the next one opens, printed or not.
            try {
                frontDeskPrintFile(receipt::writeFile(receipt::fromDocument(frdm->AQoutlist, frdm->AQoutdetail,
                                                                            frdm->ATcompany, receipt::checkoutSlogan())));
            } catch (const AppError& e) {
                dlg::showMessage(e.message());
            }
        }
        // The copy runs on its own thread: the next customer does not wait for it.
        requestBakCopy();
    } catch (const std::exception&) {
        showNoSale(std::current_exception());
        return;
    }
    startNextSale();
}

bool SaleEntryWindow::storedAsPosted()
{
    try {
        return isPosted(frdm->ADOCon, d_, intno_);
    } catch (const std::exception&) {
        return false;
    }
}

void SaleEntryWindow::startNextSale()
{
    Connection& c = frdm->ADOCon;
    qm::session().docMode = QStringLiteral("T");
    // Every step of the opening, not only the numbering, may fail: the sale
    // just posted stays posted, and the window says that no next sale is open.
    QString next;
    try {
        // Its first row carries the operator who opened it.
        next = newDocument(c, d_, qm::session().operatorCode);
        intno_ = next;
        setReadOnlyState(false);
        qm::session().docIntno = intno_;
        openRows(QStringLiteral("SELECT * from outdetail\nWHERE (mainintno=:p1) order by intno"));
        positionHeader();
        showHeader(readHeader(c, d_, intno_));
        box("Edit2")->setText(sale::walkInCustomer());
        for (const char* name : {"Edit3", "Edit4", "Edit9", "Edit16", "Edit12"}) box(name)->clear();
        box("Edit6")->setText(formatDate(Clock::today()));
        box("Edit10")->setText(sale::walkInCustomer());
        recalcBill();
        frdm->AQoutdetail->last();
    } catch (const std::exception&) {
        const std::exception_ptr failure = std::current_exception();
        // A next sale numbered but not opened is not left behind.
        try {
            if (!next.isEmpty()) dropIfEmpty(c, d_, next);
        } catch (const std::exception&) {
        }
        showNoSale(failure);
        return;
    }
    box("Edit12")->setFocus();
}

void SaleEntryWindow::showNoSale(std::exception_ptr failure)
{
    appendToTextLog(describeError(this, failure));
    // The posted sale is no longer this window's: the window is left empty,
    // read-only, and says why; 退回 closes it.
    intno_.clear();
    qm::session().docIntno.clear();
    setReadOnlyState(true);
    try {
        openRows(QStringLiteral("SELECT * from outdetail\nWHERE (mainintno=:p1) order by intno"));
    } catch (const std::exception&) {
        frdm->AQoutdetail->close();
    }
    for (QLineEdit* e : boxes_) e->clear();
    const QString reason = reasonInWords(failure);
    dlg::showMessage(reason.isEmpty() ? QStringLiteral("本单已过帐,下一张单没有打开！\n请退回后重新开单！")
                                      : QStringLiteral("本单已过帐,下一张单没有打开:%1\n请退回后重新开单！").arg(reason));
}

// ------------------------------------------------------------- posted view

SalePostedView::SalePostedView(const DocDesc& desc, QWidget* owner, bool fromHistory) : PostedView(desc, owner, fromHistory)
{
    QToolButton* preview = addToolButton(this, "ToolButton8", QStringLiteral("打印预览"), QString(), "ToolButton7");
    connect(preview, &QToolButton::clicked, this, &SalePostedView::ToolButton8Click);
}

void SalePostedView::ToolButton5Click()
{
    positionHeader();
    reread();
    const QString path =
        receipt::writeFile(receipt::fromDocument(frdm->AQoutlist, frdm->AQoutdetail, frdm->ATcompany,
                                                 receipt::postedViewSlogan()));
    // A printer that does not take it ends here, with the error window.
    PrintFileToLPT1(path);
}

void SalePostedView::ToolButton8Click() { DocumentWindow::ToolButton5Click(); }


}

// 新开单 (F2): a new sale from the main window.
QM_COMMAND("N29", [] {
    qm::session().docMode = QStringLiteral("T");
    qm::Dataset* head = frdm->AQoutlist;
    head->close();
    head->setSql(QStringLiteral("SELECT * from outlist"));
    qm::doc::openEntryWindow(qm::doc::DocKind::Sale, qm::mainWidget());
});
