// The entry window of a document: the header boxes, the rows as they are typed,
// recalculation, and the commands that post, void or print it.
#include "common/boxkeys.h"
#include "common/clock.h"
#include "common/datepicker.h"
#include "common/dialogs.h"
#include "common/formats.h"
#include "data/damage.h"
#include "data/datasetmodel.h"
#include "data/schema.h"
#include "data/tfrdm.h"
#include "documents/docwindows.h"
#include "documents/docwindows_p.h"
#include "layouts/report.h"
#include "layouts/tfrrindetail.h"
#include "masterdata/partnerlist.h"
#include "masterdata/picklink.h"
#include "masterdata/tfrproduct.h"
#include "masterdata/tfrproductedit.h"
#include "shell/session.h"
#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStatusBar>
#include <QMetaProperty>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolBar>
#include <QScopeGuard>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

namespace qm::doc {

using namespace detail;

namespace {
// Enter moves along the header boxes in this order; other boxes go on to the next control.
const QList<QPair<QString, QString>> kEnterChain = {{"Edit1", "Edit2"}, {"Edit2", "Edit12"}, {"Edit3", "Edit4"},
                                                    {"Edit4", "Edit6"}, {"Edit6", "Edit9"}, {"Edit9", "Edit1"}};
}

// ------------------------------------------------------------ entry window

EntryWindow::EntryWindow(const DocDesc& desc, QWidget* owner) : DocumentWindow(desc, owner, false)
{
    new QVBoxLayout(central_);
    addButton("ToolButton1", d_.texts.addCaption, d_.texts.addHint, [this] { ToolButton1Click(); });
    addButton("ToolButton2", QStringLiteral("删除&D"), QString(), [this] { ToolButton2Click(); });
    addButton("ToolButton3", QStringLiteral("刷新&R"), QString(), [this] { ToolButton3Click(); });
    addButton("ToolButton4", QStringLiteral("过帐&O"), QString(), [this] { ToolButton4Click(); });
    addButton("ToolButton6", QStringLiteral("作废&C"), QStringLiteral("抹帐"), [this] { ToolButton6Click(); });
    addButton("ToolButton5", QStringLiteral("打印&P"), QString(), [this] { ToolButton5Click(); });
    addButton("ToolButton7", QStringLiteral("退回&Q"), QString(), [this] { ToolButton7Click(); });

    makeBoxes(d_.boxes, false);
    // The code box and, for the purchase, the history number and 新增商品.
    auto* codes = new QHBoxLayout;
    auto addBox = [this, codes](const QString& name, const QString& label, const QString& hint) {
        auto* e = new QLineEdit(central_);
        e->setObjectName(name);
        e->setToolTip(hint);
        codes->addWidget(new QLabel(label, central_));
        codes->addWidget(e);
        boxes_.insert(name, e);
        return e;
    };
    addBox("Edit12", QStringLiteral("货品代码或条形码"), d_.texts.codeHint);
    if (!d_.texts.codeNote.isEmpty()) {
        auto* note = new QLabel(d_.texts.codeNote, central_);
        note->setObjectName("CodeNote");
        codes->addWidget(note);
    }
    if (d_.historyNumber) addBox("Edit17", QStringLiteral("历史单号"), QStringLiteral("输入单号后按回车取回历史单"));
    if (d_.newProductButton) {
        auto* b = new QPushButton(QStringLiteral("新增商品"), central_);
        b->setObjectName("Button1");
        codes->addWidget(b);
        connect(b, &QPushButton::clicked, this, &EntryWindow::Button1Click);
    }
    static_cast<QVBoxLayout*>(central_->layout())->addLayout(codes);
    if (!d_.productRows) {
        // Money documents have no code box.
        for (QLabel* w : central_->findChildren<QLabel*>())
            if (w->text() == QStringLiteral("货品代码或条形码")) w->hide();
        boxes_.value("Edit12")->hide();
    }
    makeGrid(d_.grid, false);
    // The pop-up menu runs the toolbar's commands (the sale has its own).
    addPopupItem("N1", QStringLiteral("新增"), [this] { ToolButton1Click(); });
    addPopupItem("N2", QStringLiteral("删除"), [this] { ToolButton2Click(); });
    addPopupItem("N3", QStringLiteral("刷新"), [this] { ToolButton3Click(); });
    addPopupItem("N4", QStringLiteral("过帐"), [this] { ToolButton4Click(); });
    addPopupItem("N5", QStringLiteral("打印"), [this] { ToolButton5Click(); });
    addPopupItem("N6", QStringLiteral("退回"), [this] { ToolButton7Click(); });
    for (const QString& panel : d_.texts.statusPanels) statusBar()->addWidget(new QLabel(panel, this), 1);

    for (QLineEdit* e : boxes_) {
        e->installEventFilter(this);
        selectWholeOnFocus(e);
    }
    DBGrid1->installEventFilter(this);
    connect(boxes_.value("Edit2"), &QLineEdit::editingFinished, this, &EntryWindow::Edit2Exit);
    connect(DBGrid1, &QTableView::doubleClicked, this, &EntryWindow::DBGrid1DblClick);
    if (auto* more = findChild<QToolButton*>("SpeedButton1"))
        connect(more, &QToolButton::clicked, this, &EntryWindow::SpeedButton1Click);
    // Leaving the row writes it with the recalculation, before the grid moves
    // the dataset on; the window shows the result once the move is done.
    // Leaving a column that feeds the totals within the row only shows the
    // row's amount.
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& now, const QModelIndex& before) {
                if (!before.isValid()) return;
                if (now.row() != before.row()) {
                    leaveRow();
                    return;
                }
                if (now.column() != before.column() && d_.recalcColumns.contains(gridField(before.column())))
                    showPendingRow();
            });
}

QString EntryWindow::gridField(int column) const
{
    Dataset* ds = frdm->AQoutdetail;
    return ds->active() && column >= 0 && column < ds->fieldCount() ? ds->field(column)->name : QString();
}

void EntryWindow::gridEnter()
{
    Dataset* rows = frdm->AQoutdetail;
    const QModelIndex at = DBGrid1->currentIndex();
    if (!at.isValid()) return;
    const QString field = gridField(at.column());
    QString to;
    for (const auto& [from, target] : d_.gridEnter)
        if (from == field) to = target;
    if (to.isEmpty()) return;
    if (to == "add") {
        appendRow();
        return;
    }
    if (to == "code") {
        if (!writable() || enterCode(rows->asString(field))) return;
        // Refused: the cell is cleared for another code (a row that holds a
        // product gets that product's code back) and stays current.
        const QString spintno = rows->asString("spintno").trimmed();
        const QString kept = spintno.isEmpty() ? QString()
                                               : frdm->ADOCon.scalar(QStringLiteral("SELECT sphh FROM product WHERE intno=:p1"),
                                                                     {{"p1", spintno}}).toString();
        if (rows->active() && !rows->isEmpty()) rows->setValue(field, kept);
        DBGrid1->setCurrentIndex(model_->index(at.row(), at.column()));
        DBGrid1->setFocus();
        return;
    }
    int row = at.row();
    QString column = to;
    if (to == "next") {
        if (row + 1 < rows->recordCount()) ++row;
        column = d_.recalcColumns.value(0);
    }
    const int index = rows->fieldIndex(column);
    if (index >= 0) DBGrid1->setCurrentIndex(model_->index(row, index));
}

HeaderInput EntryWindow::input() const
{
    auto text = [this](const QString& name) {
        QLineEdit* e = boxes_.value(name);
        return e ? e->text() : QString();
    };
    HeaderInput in;
    in.partyCode = text("Edit2");
    in.partyName = text("Edit3");
    in.contact = text("Edit4");
    in.date = parseDate(text("Edit6"));
    in.remark = text("Edit9");
    in.employee = text("Edit16");
    // The purchase's 银行编号 is Edit10; where Edit10 carries the reference it is djh.
    for (const HeaderBox& b : d_.boxes) {
        if (b.column == "bankid") in.bankId = text(b.box);
        if (b.column == "djh") in.djh = text(b.box);
    }
    return in;
}

void EntryWindow::FormShow()
{
    Connection& c = frdm->ADOCon;
    const bool isNew = qm::session().docMode == "T";
    try {
        if (isNew) {
            intno_ = newDocument(c, d_);
            qm::session().docIntno = intno_;
            openRows(QStringLiteral("SELECT * from %1\nWHERE (mainintno=:p1) order by intno").arg(d_.detailTable));
        } else {
            intno_ = qm::session().docIntno;
            openRows(QStringLiteral("select * from %1 where mainintno=:p1 order by intno").arg(d_.detailTable));
        }
        guardDatasets(true);
        positionHeader();
        const Header h = readHeader(c, d_, intno_);
        showHeader(h);
        if (isNew) {
            boxes_.value("Edit2")->setText(d_.partyStart);
            boxes_.value("Edit6")->setText(formatDate(Clock::today()));
        }
        // Some kinds show the document recalculated from the balances as
        // stored now; a new one with the party it starts with.
        if (d_.recalcOnOpen && !h.pass) recalcBill();
        frdm->AQoutdetail->last();
        // Posted by another program since the list was read: shown, not entered.
        if (h.pass) setReadOnlyState(true);
    } catch (const AppError&) {
        dlg::showMessage(text::openFailed());
    }
    boxes_.value("Edit2")->setFocus();
}

void EntryWindow::Edit2Exit()
{
    // Leaving the box of a window that shows a posted document or is closing writes nothing.
    if (!writable()) return;
    QLineEdit* e = boxes_.value("Edit2");
    const std::optional<QString> code = padPartyCode(e->text());
    if (!code) return;
    e->setText(*code);
    Connection& c = frdm->ADOCon;
    std::optional<Party> p = findParty(c, d_, *code, false);
    if (!p) {
        dlg::showMessage(d_.party.notFound);
        return;
    }
    try {
        // A row being entered is written with the party, not dropped by the re-read.
        Transaction t(c);
        postOwnRow();
        applyParty(c, d_, intno_, *code, *p);
        t.commit();
    } catch (const PostedRefusal& r) {
        showPosted(r);
        return;
    } catch (const AppError&) {
        reread();
        dlg::showMessage(text::catchAll());
        return;
    }
    showBoxText(boxes_.value("Edit3"), p->name);
    showBoxText(boxes_.value("Edit4"), p->persondeal);
    if (d_.party.addressIntoRemark) showBoxText(boxes_.value("Edit9"), p->addr);
    if (QLineEdit* b = boxes_.value("Edit7")) b->setText(fixed(p->balance, 2));
    reread();
}

bool EntryWindow::fillPartyBoxes()
{
    const std::optional<QString> code = padPartyCode(boxes_.value("Edit2")->text());
    if (!code) return true;
    boxes_.value("Edit2")->setText(*code);
    std::optional<Party> p = findParty(frdm->ADOCon, d_, *code, false);
    if (!p) return false;
    // The lookup fills the boxes as leaving the code box does.
    showBoxText(boxes_.value("Edit3"), p->name);
    showBoxText(boxes_.value("Edit4"), p->persondeal);
    if (d_.party.addressIntoRemark) showBoxText(boxes_.value("Edit9"), p->addr);
    return true;
}

void EntryWindow::recalcBill(const std::function<void()>& alsoWrite)
{
    // The lookup's message comes first, outside the write.
    if (!fillPartyBoxes()) dlg::showMessage(d_.party.notFound);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        // The row being edited, what the caller adds and the recalculation go in together.
        Transaction t(frdm->ADOCon);
        postOwnRow();
        if (alsoWrite) alsoWrite();
        const Header h = recalc(frdm->ADOCon, d_, intno_, input());
        writeAlongside(h);
        t.commit();
        // The header as written; the re-read adds what a kind shows beside it.
        showHeader(h);
        reread();
    } catch (...) {
        QApplication::restoreOverrideCursor();
        // Rolled back: the window shows what is stored, rows and totals.
        reread();
        throw;
    }
    QApplication::restoreOverrideCursor();
}

bool EntryWindow::recalcOrRefuse()
{
    if (!writable()) return false;
    try {
        recalcBill();
        return true;
    } catch (const PostedRefusal& r) {
        showPosted(r);
        return false;
    } catch (const Refusal& r) {
        dlg::showMessage(r.message());
        return false;
    } catch (const AppError& e) {
        // What SQLite called damage goes to the global handler, which has the
        // working file judged before anything is said.
        if (awaitsJudgement(e)) throw;
        // Rolled back; the window already shows what is stored. The cause a
        // retry cannot mend (the disk) is named on a second line.
        dlg::showMessage(withTrueCause(text::catchAll(), e));
        return false;
    }
}

void EntryWindow::ToolButton3Click() { recalcOrRefuse(); }

void EntryWindow::ToolButton1Click() { appendRow(); }

void EntryWindow::appendRow()
{
    if (!writable()) return;
    Dataset* rows = frdm->AQoutdetail;
    try {
        // The row being left, its recalculation and the new row: one write.
        recalcBill([this] { addRow(frdm->ADOCon, d_, intno_); });
        rows->last();
    } catch (const PostedRefusal& r) {
        showPosted(r);
        dlg::showMessage(text::catchAll());
        return;
    } catch (const AppError& e) {
        reread();
        if (dynamic_cast<const Refusal*>(&e)) dlg::showMessage(e.message());
        dlg::showMessage(text::catchAll());
        return;
    }
    for (const char* name : {"Edit12", "Edit17"})
        if (QLineEdit* e = boxes_.value(name)) e->clear();
    if (QLineEdit* e = boxes_.value("Edit12"); e && e->isVisible()) e->setFocus();
}

void EntryWindow::ToolButton2Click()
{
    if (!writable()) return;
    if (d_.deleteAsks && !dlg::confirm(text::confirmDelete())) return;
    Dataset* rows = frdm->AQoutdetail;
    try {
        if (!rows->active() || rows->isEmpty()) throw Refusal(carriedForwardRefusal());
        if (rows->state() == Dataset::State::Insert) rows->cancel();
        deleteRow(frdm->ADOCon, d_, rows->asString("intno"));
    } catch (const Refusal& r) {
        dlg::showMessage(r.message());
    }
    reread();
}

void EntryWindow::Edit12Enter()
{
    if (!writable()) return;
    QLineEdit* e = boxes_.value("Edit12");
    if (!enterCode(e->text())) e->selectAll();
}

bool EntryWindow::enterCode(const QString& code)
{
    Dataset* rows = frdm->AQoutdetail;
    try {
        // A code goes only into a document that can still take it.
        requireUnposted(frdm->ADOCon, d_, intno_);
        if (!rows->active() || rows->isEmpty() || rows->asString("spmc").trimmed() == carriedForwardName() ||
            rows->asString("intno").trimmed().isEmpty())
            throw Refusal(carriedForwardRefusal());
        // The product goes into the row being entered; the row is written once,
        // when it is finished.
        for (const auto& [column, value] : productForCode(frdm->ADOCon, d_, code, boxes_.value("Edit2")->text()))
            rows->setValue(column, value);
        showPendingRow();
    } catch (const PostedRefusal& r) {
        // Posted meanwhile: the window now shows it, read-only.
        showPosted(r);
        return true;
    } catch (const Refusal& r) {
        dlg::showMessage(r.message());
        return false;
    } catch (const DbError& e) {
        // A lookup that met damage (or a full or failing disk) says so, not
        // that the code is unknown.
        if (trueCause(e).isEmpty()) throw;
        dlg::showMessage(reasonOf(e));
        return false;
    }
    if (Field* f = rows->findField("sl")) DBGrid1->setCurrentIndex(model_->index(std::max(rows->recNo(), 0), f->index));
    DBGrid1->setFocus();
    return true;
}

void EntryWindow::showPendingRow()
{
    Dataset* rows = frdm->AQoutdetail;
    if (!rows->active() || rows->state() == Dataset::State::Browse) return;
    Row r = bufferedRow(rows);
    try {
        const Header h = previewTotals(frdm->ADOCon, d_, intno_, r);
        if (d_.rowAmount != RowAmount::Typed) rows->setValue("amount", r.amount);
        if (d_.running != Running::None) rows->setValue("rest", r.rest);
        QStringList totals = totalColumns();
        totals.removeAll("balance");
        showTotals(h, totals);
    } catch (const AppError&) {
        // The totals show at the row's write.
    }
}

void EntryWindow::leaveRow()
{
    if (!writable() || frdm->AQoutdetail->state() == Dataset::State::Browse) return;
    QString refused;
    const std::optional<Header> h = finishRow(refused);
    QTimer::singleShot(0, this, [this, h, refused]() {
        reread();
        if (h) showHeader(*h);
        else dlg::showMessage(refused);
    });
}

bool EntryWindow::writePendingRow()
{
    Dataset* rows = frdm->AQoutdetail;
    if (!rows->active() || rows->state() == Dataset::State::Browse) return true;
    QString refused;
    if (finishRow(refused)) return true;
    reread();
    dlg::showMessage(refused);
    return false;
}

std::optional<Header> EntryWindow::finishRow(QString& refused)
{
    Dataset* rows = frdm->AQoutdetail;
    fillPartyBoxes();
    try {
        Transaction t(frdm->ADOCon);
        postOwnRow();
        const Header h = recalc(frdm->ADOCon, d_, intno_, input());
        writeAlongside(h);
        t.commit();
        return h;
    } catch (const AppError& e) {
        // Rolled back: the row shows what is stored again.
        rows->cancel();
        refused = dynamic_cast<const Refusal*>(&e) ? e.message() : text::catchAll();
        return std::nullopt;
    }
}

void EntryWindow::Edit17Enter()
{
    QLineEdit* e = boxes_.value("Edit17");
    if (!e || !writable()) return;
    if (!writePendingRow()) return;
    try {
        copyHistory(frdm->ADOCon, d_, intno_, e->text());
    } catch (const Refusal& r) {
        dlg::showMessage(r.message());
        e->selectAll();
    }
    reread();
}

void EntryWindow::Edit6DblClick() { pickDateFor(boxes_.value("Edit6")); }

void EntryWindow::ToolButton4Click()
{
    if (!writable() || !writePendingRow()) return;
    const bool posted = postBill(frdm->ADOCon, d_, intno_, input(), qm::session().operatorCode);
    if (posted) {
        posted_ = true;
        // From here on the window only closes: no box it leaves writes again.
        closing_ = true;
        this->posted();
        close();
        return;
    }
    // The window shows what is stored, after a refusal or a rollback.
    try {
        showHeader(readHeader(frdm->ADOCon, d_, intno_));
    } catch (const AppError&) {
    }
    reread();
}

void EntryWindow::ToolButton6Click()
{
    if (!writable()) return;
    if (frdm->AQoutdetail->active() && frdm->AQoutdetail->state() != Dataset::State::Browse) frdm->AQoutdetail->cancel();
    if (voidBill(frdm->ADOCon, d_, intno_)) {
        voided_ = true;
        close();
        return;
    }
    reread();
}

void EntryWindow::ToolButton5Click()
{
    // A posted document prints as it is stored.
    if (writable()) {
        if (!finishRows()) return;
        // A refusal stops the print, unless the document turned out posted.
        if (!recalcOrRefuse() && writable()) return;
    }
    DocumentWindow::ToolButton5Click();
}

bool EntryWindow::finishRows()
{
    if (!writePendingRow()) return false;
    Dataset* rows = frdm->AQoutdetail;
    if (rows->active() && !rows->isEmpty()) {
        rows->last();
        if (rows->asString("spmc").isEmpty()) ToolButton2Click();
    }
    return true;
}

void EntryWindow::ToolButton7Click()
{
    try {
        // The row being entered counts: it is written before the rows are looked at.
        if (writable() && writePendingRow() && !dropIfEmpty(frdm->ADOCon, d_, intno_)) recalcBill();
    } catch (const PostedRefusal& r) {
        dlg::showMessage(r.message());
    } catch (const AppError&) {
        dlg::showMessage(text::cannotSave());
    }
    close();
}

void EntryWindow::Button1Click()
{
    // The product editor in add mode; it enables this window again when it closes.
    Tfrproductedit::openForPurchase(this);
}

void EntryWindow::SpeedButton1Click() { openPartyList(); }

void EntryWindow::openPartyList()
{
    openPartnerPick(d_.party.table == "branch" ? PartnerKind::Supplier : PartnerKind::Customer, this, d_.pickCode);
}

void EntryWindow::DBGrid1DblClick()
{
    Dataset* rows = frdm->AQoutdetail;
    if (!rows->active() || rows->isEmpty() || rows->asString("spmc").trimmed() == carriedForwardName()) {
        dlg::showMessage(carriedForwardRefusal());
        return;
    }
    if (rows->asString("intno").trimmed().isEmpty()) return;
    if (d_.productRows) TFrproduct::openForPick(this, d_.pickCode);
    else openPartnerPick(PartnerKind::Account, this, d_.pickCode);
}

bool EntryWindow::eventFilter(QObject* o, QEvent* e)
{
    if (o == DBGrid1 && e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_Insert) return true;
        if ((k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter)) {
            gridEnter();
            return true;
        }
        return false;
    }
    if (e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        const QString name = o->objectName();
        if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
            if (name == "Edit12") { Edit12Enter(); return true; }
            if (name == "Edit17") { Edit17Enter(); return true; }
            if (name == "Edit2" && !d_.productRows) {
                // Money documents have no code box: on to the next row's money.
                Dataset* rows = frdm->AQoutdetail;
                const int row = std::min(DBGrid1->currentIndex().row() + 1, rows->recordCount() - 1);
                const int col = rows->fieldIndex(d_.recalcColumns.value(0));
                DBGrid1->setFocus();
                if (row >= 0 && col >= 0) DBGrid1->setCurrentIndex(model_->index(row, col));
                return true;
            }
            for (const auto& [from, to] : kEnterChain) {
                if (from != name) continue;
                if (QLineEdit* next = boxes_.value(to); next && next->isVisible()) next->setFocus();
                return true;
            }
            focusNextChild();
            return true;
        }
        if (k->key() == Qt::Key_Down && (name == "Edit12" || name == "Edit17")) {
            // 新增商品, the grid, or nothing: as the kind says.
            const QString to = d_.codeBoxDown;
            Dataset* rows = frdm->AQoutdetail;
            if (auto* b = to.isEmpty() ? nullptr : findChild<QPushButton*>(to)) b->setFocus();
            else if (const int col = to.isEmpty() ? -1 : rows->fieldIndex(to); col >= 0) {
                DBGrid1->setFocus();
                DBGrid1->setCurrentIndex(model_->index(std::max(rows->recNo(), 0), col));
            }
            return true;
        }
        if (k->key() == Qt::Key_Up || k->key() == Qt::Key_Down) {
            focusNextPrevChild(k->key() == Qt::Key_Down);
            return true;
        }
    } else if (e->type() == QEvent::FocusIn && o->objectName() == "Edit12") {
        // Codes go into the last row; a row left for it is written first, and
        // the last row, when it is the one being entered, stays as it is.
        Dataset* rows = frdm->AQoutdetail;
        if (rows->active() && rows->recNo() != rows->recordCount() - 1) {
            leaveRow();
            rows->last();
        }
    } else if (e->type() == QEvent::MouseButtonPress && d_.party.pickOnClick && o->objectName() == "Edit2") {
        openPartyList();
    } else if (e->type() == QEvent::MouseButtonDblClick) {
        const QString name = o->objectName();
        if (name == "Edit6") { Edit6DblClick(); return true; }
        if (name == "Edit2") { openPartyList(); return true; }
        if (name == "Edit16") { openPartnerPick(PartnerKind::Employee, this, d_.pickCode); return true; }
        if (name == "Edit10" && !boxes_.value(name)->isHidden()) { openPartnerPick(PartnerKind::Account, this, d_.pickCode); return true; }
    }
    return QMainWindow::eventFilter(o, e);
}

void EntryWindow::closeEvent(QCloseEvent* e)
{
    Dataset* rows = frdm->AQoutdetail;
    // The row being entered is written; after that nothing the closing moves writes.
    if (!closing_ && !readOnly_) writePendingRow();
    closing_ = true;
    guardDatasets(false);
    try {
        // Blank rows go; a sale or sales return with nothing else goes with them.
        if (!voided_ && !readOnly_ && !posted_) purgeBlankRows(frdm->ADOCon, d_, intno_);
    } catch (const AppError&) {
    }
    // A message of the copy shows over the document, not over a grid without its data.
    copyToBak();
    rows->close();
    // The list shows what is stored now (a new document, new totals): the
    // document's own row when the list holds it, else the list read again.
    Dataset* head = frdm->AQoutlist;
    if (head->active() && !head->refreshStoredRow(QStringLiteral("intno"), intno_)) head->requery();
    DocumentWindow::closeEvent(e);
}

void EntryWindow::reread()
{
    // What cannot be read now is read again by the next command.
    try {
        DocumentWindow::reread();
        if (readOnly_ || intno_.isEmpty()) return;
        const Header h = readHeader(frdm->ADOCon, d_, intno_);
        if (h.pass) setReadOnlyState(true);
        // Unposted, the totals as stored: what the operator typed into the header stays.
        showTotals(h, h.pass ? QStringList() : totalColumns());
    } catch (const AppError&) {
    }
}

QStringList EntryWindow::totalColumns() const
{
    QStringList totals{"amount", "hjsl", "pay", "deduck", "rest", "balance"};
    if (!d_.texts.summaryPrefix.isEmpty()) totals << "remark";
    return totals;
}

void EntryWindow::setReadOnlyState(bool on)
{
    readOnly_ = on;
    for (const HeaderBox& b : d_.boxes)
        if (QLineEdit* e = boxes_.value(b.box)) e->setReadOnly(on || !b.editable);
    for (const char* name : {"Edit12", "Edit17"})
        if (QLineEdit* e = boxes_.value(name)) e->setReadOnly(on);
    if (model_) model_->editable = !on;
    // What writes goes; 打印 and 退回 stay. Only this window's own buttons:
    // a window it owns (a pick list, the cash tender) keeps its own.
    for (QToolButton* b : toolBar_->findChildren<QToolButton*>()) {
        const QString name = b->objectName();
        if (name.startsWith(QLatin1String("ToolButton")) && name != QLatin1String("ToolButton5") &&
            name != QLatin1String("ToolButton7"))
            b->setEnabled(!on);
    }
    if (auto* b = central_->findChild<QPushButton*>(QStringLiteral("Button1"))) b->setEnabled(!on);
}

void EntryWindow::showPosted(const PostedRefusal& r)
{
    dlg::showMessage(r.message());
    reread();
    setReadOnlyState(true);
}

void EntryWindow::postOwnRow()
{
    Dataset* rows = frdm->AQoutdetail;
    if (!rows->active()) return;
    const bool outer = ownWrite_;
    ownWrite_ = true;
    const auto restore = qScopeGuard([this, outer] { ownWrite_ = outer; });
    rows->post();
}

void EntryWindow::guardDatasets(bool on)
{
    Dataset* rows = frdm->AQoutdetail;
    Dataset* head = frdm->AQoutlist;
    if (!on) {
        rows->beforePost = nullptr;
        head->beforePost = nullptr;
        return;
    }
    const DocDesc* d = &d_;
    QPointer<EntryWindow> self(this);
    auto guard = [self, d](const QString& table, const char* column) {
        return [self, d, table, column](Dataset& ds) {
            if (!self || ds.updateTable().compare(table, Qt::CaseInsensitive) != 0) return;
            const QString doc = ds.asString(QLatin1String(column)).trimmed();
            try {
                requireUnposted(*ds.connection(), *d, doc.isEmpty() ? self->docIntno() : doc);
            } catch (const PostedRefusal& r) {
                if (self->ownWrite_) throw;
                // Written from elsewhere: nothing is written, and once the
                // write is undone the window says why and shows the document
                // as stored.
                ds.cancel();
                QTimer::singleShot(0, self.data(), [self, r] {
                    if (self) self->showPosted(r);
                });
                throw SilentStop();
            }
        };
    };
    rows->beforePost = guard(d->detailTable, "mainintno");
    head->beforePost = guard(d->headerTable, "intno");
}

}
