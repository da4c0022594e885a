#include "documents/tfrdoclist.h"
#include "common/datepicker.h"
#include "common/dialogs.h"
#include "common/errors.h"
#include "common/formats.h"
#include "data/datasetmodel.h"
#include "data/tfrdm.h"
#include "documents/docwindows.h"
#include "shell/commands.h"
#include "shell/session.h"
#include "shell/windowprotocol.h"
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <map>

namespace qm::doc {

namespace {
// The grid's columns, in order.
const QStringList kColumns = {"intno", "billdate", "customerid", "customername", "persondeal", "balance", "amount", "rest"};

std::map<DocKind, QPointer<DocumentList>>& openLists()
{
    static std::map<DocKind, QPointer<DocumentList>> m;
    return m;
}

// The supplier lists title the party columns as suppliers.
class ListModel : public DatasetModel {
public:
    ListModel(Dataset* ds, bool supplierSide, QObject* parent) : DatasetModel(ds, parent), supplier_(supplierSide) {}
    QVariant headerData(int section, Qt::Orientation o, int role) const override
    {
        if (supplier_ && o == Qt::Horizontal && role == Qt::DisplayRole && dataset() && section >= 0
            && section < dataset()->fieldCount()) {
            const QString name = dataset()->field(section)->name;
            if (name == QLatin1String("customerid")) return QStringLiteral("供应商号");
            if (name == QLatin1String("customername")) return QStringLiteral("供应商名");
        }
        return DatasetModel::headerData(section, o, role);
    }

private:
    bool supplier_;
};
}

DocumentList::DocumentList(DocKind kind, QWidget* owner)
    : QWidget(owner, Qt::Window | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
      d_(docListDesc(kind))
{
    setObjectName(d_.className);
    setWindowTitle(d_.caption);
    setAttribute(Qt::WA_DeleteOnClose, true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("ToolBar1"));
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    layout->addWidget(bar);
    auto button = [this, bar](const QString& name, const QString& text) {
        auto* b = new QToolButton(this);
        b->setObjectName(name);
        b->setText(text);
        b->setAutoRaise(true);
        b->setMinimumWidth(56);
        bar->addWidget(b);
        return b;
    };
    // Four buttons that stand on the bar without a caption or a use.
    for (int i = 1; i <= 4; ++i) {
        QToolButton* b = button(QStringLiteral("ToolButton%1").arg(i), QString());
        b->setEnabled(false);
        b->setMinimumWidth(8);
    }
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setEditable(true);
    ComboBox1->addItems(searchFields(d_));
    ComboBox1->setEditText(QStringLiteral("日期"));
    ComboBox1->setMinimumContentsLength(6);
    bar->addWidget(ComboBox1);
    Edit12 = new QLineEdit(this);
    Edit12->setObjectName(QStringLiteral("Edit12"));
    Edit12->setToolTip(QStringLiteral("当选项为日期时,双击选取日期"));
    Edit12->setMaximumWidth(160);
    Edit12->installEventFilter(this);
    bar->addWidget(Edit12);
    findbill = button(QStringLiteral("findbill"), QStringLiteral("查找单据"));
    ToolButton5 = button(QStringLiteral("ToolButton5"), QStringLiteral("新开单"));
    detail = button(QStringLiteral("detail"), QStringLiteral("明细单"));
    quit = button(QStringLiteral("quit"), QStringLiteral("返回"));
    quit->setToolTip(QStringLiteral("退回"));
    if (d_.newDocumentSql.isEmpty()) {
        ToolButton5->setEnabled(false);
        ToolButton5->setToolTip(listtext::frontDesk());
    }

    DBGrid1 = new QTableView(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setToolTip(QStringLiteral("双击某行进入相应单据明细表"));
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Rows of one height: the grid needs no pass over half a million rows to lay them out.
    DBGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DBGrid1->verticalHeader()->hide();
    Dataset* head = frdm->AQoutlist;
    model_ = new ListModel(head, d_.supplierSide, this);
    model_->rowStyle = [head](int row, int role) -> QVariant {
        if (role != Qt::ForegroundRole) return QVariant();
        const int pass = head->fieldIndex(QStringLiteral("pass")), cancel = head->fieldIndex(QStringLiteral("cancel"));
        const QColor c = stateColour(head->valueAt(row, pass).toLongLong() != 0, head->valueAt(row, cancel).toLongLong() != 0);
        return c.isValid() ? QVariant(c) : QVariant();
    };
    DatasetModel::bind(DBGrid1, model_);
    connect(model_, &QAbstractItemModel::modelReset, this, &DocumentList::applyGridColumns);
    applyGridColumns();
    layout->addWidget(DBGrid1, 1);

    connect(findbill, &QToolButton::clicked, this, &DocumentList::findbillClick);
    connect(ToolButton5, &QToolButton::clicked, this, &DocumentList::ToolButton5Click);
    connect(detail, &QToolButton::clicked, this, &DocumentList::detailClick);
    connect(quit, &QToolButton::clicked, this, &DocumentList::quit1Click);
    connect(ComboBox1, &QComboBox::activated, this, &DocumentList::ComboBox1Select);
    connect(Edit12, &QLineEdit::editingFinished, this, &DocumentList::findbillClick);
    connect(Edit12, &QLineEdit::returnPressed, this, &DocumentList::Edit12Enter);
    connect(DBGrid1, &QAbstractItemView::doubleClicked, this, &DocumentList::detailClick);
    applyDateTyping();

    // The desktop's work area, frame and caption included; un-maximised, most of it.
    if (QScreen* s = owner ? owner->screen() : QGuiApplication::primaryScreen()) resize(s->availableGeometry().size() * 0.85);
    setWindowState(Qt::WindowMaximized);
    openLists()[d_.kind] = this;
}

DocumentList::~DocumentList()
{
    // The open document window is a child: it goes with the list, and must not
    // call back into a list half destroyed.
    if (document_) disconnect(document_, nullptr, this, nullptr);
}

void DocumentList::applyGridColumns()
{
    Dataset* head = frdm->AQoutlist;
    QHeaderView* h = DBGrid1->horizontalHeader();
    for (int i = 0; i < head->fieldCount(); ++i) DBGrid1->setColumnHidden(i, !kColumns.contains(head->field(i)->name));
    for (int pos = 0; pos < kColumns.size(); ++pos) {
        const int logical = head->fieldIndex(kColumns[pos]);
        if (logical < 0) continue;
        const int from = h->visualIndex(logical);
        if (from != pos) h->moveSection(from, pos);
    }
    const int digit = DBGrid1->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    if (int i = head->fieldIndex(QStringLiteral("billdate")); i >= 0) DBGrid1->setColumnWidth(i, digit * 20 + 12);
    if (int i = head->fieldIndex(QStringLiteral("customername")); i >= 0) DBGrid1->setColumnWidth(i, digit * 30 + 12);
}

QString DocumentList::searchField() const { return ComboBox1->currentText().trimmed(); }

void DocumentList::applyDateTyping()
{
    if (!d_.typedDate) Edit12->setReadOnly(searchField() == QStringLiteral("日期"));
}

void DocumentList::findbillClick()
{
    // The search edit loses the focus as the window closes: no search then.
    if (closing_) return;
    const ListSearch s = planListSearch(d_, searchField(), Edit12->text());
    if (s.outcome == ListSearch::Outcome::BadDate) {
        dlg::showMessage(s.message);
        Edit12->setFocus();
        return;
    }
    if (Edit12->text() != s.boxText) {
        const QSignalBlocker block(Edit12);
        Edit12->setText(s.boxText);
    }
    runListSearch(frdm->AQoutlist, s);
}

void DocumentList::ComboBox1Select()
{
    {
        const QSignalBlocker block(Edit12);
        Edit12->clear();
    }
    applyDateTyping();
    Edit12->setFocus();
}

void DocumentList::Edit12Enter()
{
    applyDateTyping();
    DBGrid1->setFocus();
}

void DocumentList::Edit12DblClick()
{
    if (searchField() != QStringLiteral("日期")) return;
    if (d_.typedDate && !Edit12->text().trimmed().isEmpty() && !parseDate(Edit12->text()).isValid()) {
        dlg::showMessage(Edit12->text() + listtext::badDate());
        Edit12->setFocus();
        return;
    }
    const QSignalBlocker block(Edit12);
    pickDateFor(Edit12);
}

bool DocumentList::eventFilter(QObject* o, QEvent* e)
{
    if (o == Edit12 && e->type() == QEvent::MouseButtonDblClick) {
        Edit12DblClick();
        return true;
    }
    return QWidget::eventFilter(o, e);
}

void DocumentList::detailClick()
{
    Dataset* head = frdm->AQoutlist;
    if (!head->active() || head->isEmpty()) {
        dlg::showMessage(listtext::noDocument());
        return;
    }
    const QString intno = head->asString(QStringLiteral("intno"));
    // The state as stored now: another window or the front desk may have posted it.
    const OpenWith how = windowFor(frdm->ADOCon, d_, intno);
    if (how == OpenWith::Nothing) {
        dlg::showMessage(listtext::noDocument());
        head->requery();
        return;
    }
    qm::session().docIntno = intno;
    if (how == OpenWith::PostedView) {
        watchDocument(openPostedView(d_.kind, this), intno);
    } else {
        qm::session().docMode = QStringLiteral("F");
        watchDocument(openEntryWindow(d_.kind, this), intno);
    }
}

void DocumentList::ToolButton5Click()
{
    if (d_.newDocumentSql.isEmpty()) return;
    qm::session().docMode = QStringLiteral("T");
    Dataset* head = frdm->AQoutlist;
    head->reopen(d_.newDocumentSql);
    // The entry window numbers the document as it opens; the number is known
    // once it shows.
    QWidget* w = openEntryWindow(d_.kind, this);
    watchDocument(w, qm::session().docIntno);
}

void DocumentList::watchDocument(QWidget* w, const QString& intno)
{
    document_ = w;
    if (!w) return;
    connect(w, &QObject::destroyed, this, [this, intno] { documentClosed(intno); });
}

void DocumentList::documentClosed(const QString& intno)
{
    if (closing_) return;
    setEnabled(true);
    // Re-read what is stored (a document posted, reversed, voided or new) and
    // stay on the document, a new one included.
    const QString doc = qm::session().docMode == QLatin1String("T") ? qm::session().docIntno : intno;
    Dataset* head = frdm->AQoutlist;
    try {
        // The document's own row is read again; the other headers stay as read.
        if (!doc.isEmpty() && head->refreshStoredRow(QStringLiteral("intno"), doc)) {
            DBGrid1->scrollTo(model_->index(head->recNo(), head->fieldIndex(QStringLiteral("intno"))));
            return;
        }
        if (head->active()) head->requery();
        else head->open();
        if (!doc.isEmpty() && head->locate(QStringLiteral("intno"), doc)) {
            const QModelIndex i = model_->index(head->recNo(), head->fieldIndex(QStringLiteral("intno")));
            DBGrid1->scrollTo(i);
        }
    } catch (const AppError&) {
    }
}

void DocumentList::quit1Click() { close(); }

void DocumentList::closeEvent(QCloseEvent* e)
{
    if (!closing_) {
        closing_ = true;
        if (document_) document_->close();
        Dataset* head = frdm->AQoutlist;
        head->close();
        head->setSql(allHeadersSql(d_));
        // A fresh connection, as after every list.
        try {
            frdm->ATcompany->close();
            frdm->reconnect();
            frdm->ATcompany->open();
        } catch (const AppError&) {
        }
    }
    e->accept();
}

DocumentList* openDocumentList(DocKind kind)
{
    auto it = openLists().find(kind);
    return it == openLists().end() ? nullptr : it->second.data();
}

DocumentList* openDocumentListFromMenu(DocKind kind)
{
    if (DocumentList* old = openDocumentList(kind)) {
        old->close();
        delete old;
    }
    DocumentList* list = nullptr;
    openChildWindow(
        [&](QWidget* owner) {
            qm::session().docMode = QStringLiteral("F");
            list = new DocumentList(kind, owner);
            return list;
        },
        [&] {
            list->setEnabled(true);
            Dataset* head = frdm->AQoutlist;
            head->reopen(allHeadersSql(list->desc()));
        },
        true);
    return list;
}

}

QM_COMMAND("N75", [] { qm::doc::openDocumentListFromMenu(qm::doc::DocKind::Purchase); });
QM_COMMAND("N76", [] { qm::doc::openDocumentListFromMenu(qm::doc::DocKind::PurchaseReturn); });
QM_COMMAND("N95", [] { qm::doc::openDocumentListFromMenu(qm::doc::DocKind::Payment); });
QM_COMMAND("N39", [] { qm::doc::openDocumentListFromMenu(qm::doc::DocKind::Sale); });
QM_COMMAND("N40", [] { qm::doc::openDocumentListFromMenu(qm::doc::DocKind::SalesReturn); });
QM_COMMAND("N56", [] { qm::doc::openDocumentListFromMenu(qm::doc::DocKind::Receipt); });
