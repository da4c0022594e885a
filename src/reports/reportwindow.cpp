#include "reports/reportwindow.h"
#include "common/boxkeys.h"
#include "common/datepicker.h"
#include "common/dialogs.h"
#include "common/errors.h"
#include "common/formats.h"
#include "data/datasetmodel.h"
#include "data/tfrdm.h"
#include "layouts/report.h"
#include "masterdata/partnerkinds.h"
#include "masterdata/partnerlist.h"
#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

namespace qm::reports {

namespace {
// A grid model whose headings are the window's captions.
class CaptionModel : public DatasetModel {
public:
    CaptionModel(Dataset* ds, const ReportWindow* w, QObject* parent) : DatasetModel(ds, parent), w_(w) {}
    QVariant headerData(int section, Qt::Orientation o, int role) const override
    {
        if (o == Qt::Horizontal && role == Qt::DisplayRole && dataset() && section >= 0 && section < dataset()->fieldCount()) {
            const QString c = w_->gridCaption(dataset()->field(section)->name);
            if (!c.isEmpty()) return c;
        }
        return DatasetModel::headerData(section, o, role);
    }

private:
    const ReportWindow* w_;
};

bool isEnter(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }
}

ReportWindow::ReportWindow(QWidget* owner, const QString& className, const QString& caption) : QDialog(owner, Qt::Window)
{
    setObjectName(className);
    setWindowTitle(caption);
    setModal(false);
    body_ = new QVBoxLayout(this);
    dates_ = new QHBoxLayout;
    body_->addLayout(dates_);

    auto dateEdit = [this](const char* name, const QString& label, const QString& mask) {
        auto* l = new QLabel(label, this);
        auto* e = new QLineEdit(this);
        e->setObjectName(QString::fromLatin1(name));
        e->setInputMask(mask);
        e->setMaxLength(10);
        e->setToolTip(QStringLiteral("双击选取日期"));
        e->setFixedWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00")) + 18);
        e->installEventFilter(this);
        selectWholeOnFocus(e);
        dates_->addWidget(l);
        dates_->addWidget(e);
        return e;
    };
    // The from-date needs its year, month and day; the to-date its day.
    MaskEdit1 = dateEdit("MaskEdit1", QStringLiteral("日期从"), QStringLiteral("9999-00-09;_"));
    MaskEdit2 = dateEdit("MaskEdit2", QStringLiteral("到"), QStringLiteral("0000-00-99;_"));
    dates_->addSpacing(12);
    codes_ = new QGridLayout;
    dates_->addLayout(codes_);
    dates_->addSpacing(12);
    buttons_ = new QHBoxLayout;
    dates_->addLayout(buttons_);
    dates_->addStretch(1);

    DBGrid2 = new QTableView(this);
    DBGrid2->setObjectName(QStringLiteral("DBGrid2"));
    DBGrid2->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid2->setAlternatingRowColors(true);
    body_->addWidget(DBGrid2, 1);
    boxes_ = new QGridLayout;
    body_->addLayout(boxes_);
    resize(980, 600);
}

ReportWindow::~ReportWindow()
{
    // The grid asks the model for headings while it goes; the captions go first.
    DBGrid2->setModel(nullptr);
    delete model_;
}

QPushButton* ReportWindow::addButton(const QString& name, const QString& text)
{
    auto* b = new QPushButton(text, this);
    b->setObjectName(name);
    b->setAutoDefault(false);
    buttons_->addWidget(b);
    return b;
}

void ReportWindow::addRunButton(const QString& caption)
{
    refresh = addButton(QStringLiteral("refresh"), caption);
    connect(refresh, &QPushButton::clicked, this, &ReportWindow::refreshClick);
}

void ReportWindow::addEndButtons(const QString& reportCaption)
{
    report = addButton(QStringLiteral("report"), reportCaption);
    connect(report, &QPushButton::clicked, this, &ReportWindow::reportClick);
    cancel = addButton(QStringLiteral("cancel"), QStringLiteral("返回"));
    connect(cancel, &QPushButton::clicked, this, &ReportWindow::cancelClick);
}

QLineEdit* ReportWindow::addEdit(QGridLayout* g, int row, int col, const QString& name, const QString& label, bool readOnly)
{
    auto* l = new QLabel(label, this);
    auto* e = new QLineEdit(this);
    e->setObjectName(name);
    e->setReadOnly(readOnly);
    if (readOnly) e->setAlignment(Qt::AlignRight);
    l->setBuddy(e);
    g->addWidget(l, row, col, Qt::AlignRight);
    g->addWidget(e, row, col + 1);
    watchEdit(e);
    return e;
}

void ReportWindow::watchEdit(QLineEdit* e)
{
    e->installEventFilter(this);
    selectWholeOnFocus(e);
}

void ReportWindow::addPartyBoxes(const StatementDesc& party, const QString& remarkCaption)
{
    party_ = &party;
    partyCode_ = addEdit(codes_, 0, 0, party.codeEdit, party.codeLabel);
    partyCode_->setMaxLength(10);
    partyCode_->setFixedWidth(110);
    partyCode_->setToolTip(QStringLiteral("双击选取"));
    // A code picked from the list brings its name at once, as leaving the box does.
    connect(partyCode_, &QLineEdit::editingFinished, this, [this] {
        if (!partyCode_->isModified()) return;
        partyCode_->setModified(false);
        partyCodeExit();
    });
    partyName_ = addEdit(codes_, 0, 2, party.nameEdit, party.nameLabel);
    partyName_->setMinimumWidth(170);
    if (remarkCaption.isEmpty()) return;
    auto* label = new QLabel(remarkCaption, this);
    partyMemo_ = new QPlainTextEdit(this);
    partyMemo_->setObjectName(QStringLiteral("Memo1"));
    partyMemo_->setReadOnly(true);
    partyMemo_->setFixedHeight(partyMemo_->fontMetrics().height() * 2 + 12);
    boxes_->addWidget(label, 0, 0, Qt::AlignTop | Qt::AlignRight);
    boxes_->addWidget(partyMemo_, 0, 1);
}

bool ReportWindow::partyCodeExit()
{
    partyCode_->setText(padCode(partyCode_->text().trimmed()));
    const bool found = findParty(*party_, partyCode_->text());
    Dataset* p = partyDataset(*party_);
    if (found) partyName_->setText(p->asString(QStringLiteral("name")));
    if (partyMemo_) partyMemo_->setPlainText(found ? p->asString(QStringLiteral("remark")) : QString());
    if (!found) dlg::showMessage(party_->unknownOnExit);
    return found;
}

void ReportWindow::partyCodeDblClick()
{
    const PartnerKind kind = party_->partyTable == QLatin1String("customer") ? PartnerKind::Customer
                             : party_->partyTable == QLatin1String("branch") ? PartnerKind::Supplier
                                                                             : PartnerKind::Account;
    openPartnerPick(kind, this, party_->pickCode);
}

void ReportWindow::reconnectOnClose()
{
    frdm->AQoutdetail->close();
    frdm->ATdateconfig->close();
    frdm->reconnect();
    frdm->ATcompany->open();
}

void ReportWindow::bindGrid(Dataset* ds, const std::vector<GridCaption>& columns)
{
    columns_ = columns;
    model_ = new CaptionModel(ds, this, this);
    DatasetModel::bind(DBGrid2, model_);
    connect(model_, &QAbstractItemModel::modelReset, this, &ReportWindow::applyColumns);
    applyColumns();
}

void ReportWindow::bindModel(QAbstractItemModel* m, const std::vector<GridCaption>& columns)
{
    columns_ = columns;
    DBGrid2->setModel(m);
    DBGrid2->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid2->verticalHeader()->setDefaultSectionSize(DBGrid2->fontMetrics().height() + 6);
    connect(m, &QAbstractItemModel::modelReset, this, &ReportWindow::fitColumns);
    fitColumns();
}

QStringList ReportWindow::gridFields() const
{
    QStringList out;
    for (const auto& c : columns_) out << c.field;
    return out;
}

QString ReportWindow::gridCaption(const QString& field) const
{
    for (const auto& c : columns_)
        if (c.field == field) return c.caption;
    return QString();
}

void ReportWindow::applyColumns()
{
    Dataset* ds = model_ ? model_->dataset() : nullptr;
    if (!ds) return;
    QHeaderView* h = DBGrid2->horizontalHeader();
    for (int i = 0; i < ds->fieldCount(); ++i) DBGrid2->setColumnHidden(i, true);
    int visual = 0;
    for (const auto& c : columns_) {
        const int logical = ds->fieldIndex(c.field);
        if (logical < 0) continue;
        DBGrid2->setColumnHidden(logical, false);
        h->moveSection(h->visualIndex(logical), visual++);
    }
    fitColumns();
}

void ReportWindow::fitColumns()
{
    // The first rows stand for the run: a long run is not read through for its widths.
    constexpr int kSampleRows = 200;
    QAbstractItemModel* m = DBGrid2->model();
    if (!m) return;
    const QFontMetrics fm(DBGrid2->font());
    const int digit = fm.horizontalAdvance(QLatin1Char('0'));
    const int margin = 2 * (DBGrid2->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, DBGrid2) + 1) + 2;
    const int rows = std::min(m->rowCount(), kSampleRows);
    // Row by row: a model that reads its rows a block at a time reads each block once.
    std::vector<int> text(size_t(m->columnCount()), 0);
    std::vector<char> number(size_t(m->columnCount()), false);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < m->columnCount(); ++c) {
            if (DBGrid2->isColumnHidden(c)) continue;
            const QModelIndex i = m->index(r, c);
            text[size_t(c)] = std::max(text[size_t(c)], fm.horizontalAdvance(i.data().toString()));
            number[size_t(c)] = number[size_t(c)] || (i.data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight);
        }
    for (int c = 0; c < m->columnCount(); ++c) {
        if (DBGrid2->isColumnHidden(c)) continue;
        // Money keeps room for ten digits, a balance that grows further down
        // included; a longer name is cut short rather than crowding out the others.
        int width = number[size_t(c)] ? std::max(text[size_t(c)], digit * 10) : text[size_t(c)];
        width = std::min(width, digit * 30);
        DBGrid2->setColumnWidth(c, std::max(DBGrid2->horizontalHeader()->sectionSizeHint(c), width + margin));
    }
}

DateRange ReportWindow::saveRange() { return rangeStep(frdm->ADOCon, MaskEdit1->text(), MaskEdit2->text()); }

void ReportWindow::FormShow()
{
    const auto texts = rememberedTexts(frdm->ADOCon);
    MaskEdit1->setText(texts.first);
    MaskEdit2->setText(texts.second);
    firstStep();
}

void ReportWindow::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (shown_) return;
    shown_ = true;
    FormShow();
}

void ReportWindow::pickDate(QLineEdit* edit)
{
    // An empty edit starts the picker on today; anything else must be a date.
    QString t = edit->text();
    t.remove(QLatin1Char('-'));
    if (!t.trimmed().isEmpty()) checkRange(edit->text(), edit->text());
    pickDateFor(edit);
}

void ReportWindow::MaskEdit1DblClick() { pickDate(MaskEdit1); }
void ReportWindow::MaskEdit2DblClick() { pickDate(MaskEdit2); }

void ReportWindow::reportClick()
{
    if (printRunsFirst()) refreshClick();
    const auto closed = qScopeGuard([this] { printClosed(); });
    report::Layout* r = printLayout();
    if (!r) return;
    r->ReportTitle = report::reportTitle();
    if (!prepareWithProgress(*r)) return;
    r->Preview();
}

void ReportWindow::cancelClick() { close(); }

void ReportWindow::closeEvent(QCloseEvent* e)
{
    if (!closed_) {
        closed_ = true;
        closeReset();
    }
    e->accept();
}

bool ReportWindow::eventFilter(QObject* o, QEvent* e)
{
    auto* edit = qobject_cast<QLineEdit*>(o);
    if (!edit) return QDialog::eventFilter(o, e);
    const bool date = edit == MaskEdit1 || edit == MaskEdit2;
    if (e->type() == QEvent::MouseButtonDblClick && date) {
        if (edit == MaskEdit1) MaskEdit1DblClick();
        else MaskEdit2DblClick();
        return true;
    }
    if (edit == partyCode_) {
        // Leaving the box pads and looks up the code, typed or as it was shown.
        if (e->type() == QEvent::FocusOut) {
            partyCode_->setModified(false);
            partyCodeExit();
        }
        if (e->type() == QEvent::MouseButtonDblClick) {
            partyCodeDblClick();
            return true;
        }
    }
    if (e->type() != QEvent::KeyPress) return QDialog::eventFilter(o, e);
    auto* k = static_cast<QKeyEvent*>(e);
    if (k->key() == Qt::Key_Up || k->key() == Qt::Key_Down) {
        focusNextPrevChild(k->key() == Qt::Key_Down);
        return true;
    }
    if (isEnter(k->key())) {
        if (edit == MaskEdit1) MaskEdit2->setFocus();
        else if (edit == MaskEdit2) toDateEnter();
        else if (edit == partyCode_) partyName_->setFocus();
        else if (edit == partyName_) refreshClick();
        else editEnter(edit);
        return true;
    }
    // Dates take digits and "-" besides the editing keys.
    if (date && !k->text().isEmpty() && k->text().at(0).isPrint()) {
        const QChar c = k->text().at(0);
        if (!(c >= QLatin1Char('0') && c <= QLatin1Char('9')) && c != QLatin1Char('-')) return true;
    }
    return QDialog::eventFilter(o, e);
}

bool prepareWithProgress(report::Layout& r)
{
    Dataset* ds = r.dataset();
    // A short report is ready before a progress window could be read.
    if (!ds || !ds->active() || ds->recordCount() < 2000) {
        r.Prepare();
        return !r.cancelled();
    }
    const auto progress = dlg::progress(report::reportTitle(), QStringLiteral("正在准备打印..."));
    r.onPage = [&progress](int pages) {
        progress->setStep(QStringLiteral("正在准备打印，已完成 %1 页").arg(pages));
        return !progress->poll();
    };
    r.Prepare();
    r.onPage = nullptr;
    return !r.cancelled();
}

}
