#include "masterdata/tfrproductedit.h"
#include "common/bounds.h"
#include "common/boxkeys.h"
#include "common/clock.h"
#include "common/datepicker.h"
#include "common/dialogs.h"
#include "common/errors.h"
#include "common/formats.h"
#include "common/inputmethod.h"
#include "common/paths.h"
#include "common/pinyin.h"
#include "data/bakcopy.h"
#include "data/schema.h"
#include "data/tfrdm.h"
#include "masterdata/productlogic.h"
#include "shell/session.h"
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

Tfrproductedit* frproductedit = nullptr;

using namespace qm;

namespace {
const QString kEmptyZero = QStringLiteral("0");

QString twoDecimals(double v) { return formatFloat(QStringLiteral("0.00"), v); }
QString plain(double v) { return formatFloat(QString(), v); }

// The date of a date box: invalid when empty; throws ConversionError for a
// text that is not a date (letters included: never stored as no date).
QDate dateOfBox(const QLineEdit* box)
{
    if (isBlankDateText(box->text())) return QDate();
    QDate d = parseDate(box->text().trimmed());
    if (!d.isValid()) throw ConversionError(QStringLiteral("'%1' is not a valid date").arg(box->text()));
    return d;
}

void showDate(QLineEdit* box, const QDate& d) { box->setText(d.isValid() ? formatDate(d) : QString()); }

// The boxes whose numbers are stored, with their columns.
const struct NumberBox {
    QLineEdit* Tfrproductedit::*box;
    double product::Values::*value;
    const char* column;
} kNumberBoxes[] = {{&Tfrproductedit::Edit14, &product::Values::rest, "rest"},
                    {&Tfrproductedit::Edit5, &product::Values::maxsl, "maxsl"},
                    {&Tfrproductedit::Edit9, &product::Values::minsl, "minsl"},
                    {&Tfrproductedit::Edit10, &product::Values::fitsl, "fitsl"},
                    {&Tfrproductedit::Edit17, &product::Values::dj_w, "dj_w"},
                    {&Tfrproductedit::Edit18, &product::Values::dj_n, "dj_n"},
                    {&Tfrproductedit::Edit15, &product::Values::spmz, "spmz"},
                    {&Tfrproductedit::Edit16, &product::Values::spzz, "spzz"},
                    {&Tfrproductedit::Edit2, &product::Values::hydj, "hydj"},
                    {&Tfrproductedit::Edit3, &product::Values::csdj, "csdj"}};
}

Tfrproductedit::Tfrproductedit(QWidget* owner) : QWidget(owner, Qt::Window | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frproductedit"));
    setWindowTitle(QStringLiteral("商品录入修改"));
    frproductedit = this;

    // Enter runs through the boxes in the order they are made here, past the
    // drop-down boxes while they are disabled, and saves from 备注.
    auto* keys = new BoxKeys(this);
    keys->setFocusColour(QColor(0, 255, 255)); // aqua
    keys->enterThroughBoxes(BoxKeys::Arrival::AsTab, [this] { Button1->click(); });
    // A text box stops at its product column's length.
    auto length = [](const char* column) { return column ? columnLength(QStringLiteral("product"), QLatin1String(column)) : 0; };
    auto edit = [this, keys](const char* name, int maxLen, const KeyRule& rule) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QString::fromLatin1(name));
        if (maxLen > 0) setBoxLength(e, maxLen);
        // Leaving and double clicks are watched here. Filters run last
        // installed first: the key handling has reset the colour before a
        // date refused on leaving takes the focus back.
        e->installEventFilter(this);
        keys->add(e, rule);
        return e;
    };
    auto combo = [this, keys](const char* name, int maxLen) {
        auto* c = new QComboBox(this);
        c->setObjectName(QString::fromLatin1(name));
        c->setEditable(true);
        c->setInsertPolicy(QComboBox::NoInsert);
        setBoxLength(c->lineEdit(), maxLen);
        keys->add(c);
        return c;
    };
    Edit7 = edit("Edit7", length("sphh"), KeyRule::Free);
    // A barcode is typed with thirteen characters at most; a longer stored one is shown whole.
    Edit22 = edit("Edit22", 13, KeyRule::Free);
    Edit8 = edit("Edit8", length("spmc"), KeyRule::Free);
    ComboBox2 = combo("ComboBox2", length("splb"));
    Edit25 = edit("Edit25", length("spgg"), KeyRule::Free);
    ComboBox1 = combo("ComboBox1", length("spbzxh"));
    Edit14 = edit("Edit14", 0, KeyRule::Digits);
    Edit5 = edit("Edit5", 0, KeyRule::Decimal);
    Edit9 = edit("Edit9", 0, KeyRule::Decimal);
    Edit10 = edit("Edit10", 0, KeyRule::Decimal);
    Edit17 = edit("Edit17", 0, KeyRule::Decimal);
    Edit18 = edit("Edit18", 0, KeyRule::Decimal);
    Edit11 = edit("Edit11", 0, KeyRule::Decimal);
    Edit15 = edit("Edit15", 0, KeyRule::Decimal);
    Edit16 = edit("Edit16", 0, KeyRule::Decimal);
    Edit2 = edit("Edit2", 0, KeyRule::Decimal);
    Edit3 = edit("Edit3", 0, KeyRule::Decimal);
    MaskEdit1 = edit("MaskEdit1", 10, KeyRule::Date);
    MaskEdit2 = edit("MaskEdit2", 10, KeyRule::Date);
    Edit1 = edit("Edit1", length("factory"), KeyRule::Free);
    ComboBox3 = combo("ComboBox3", length("branchname"));
    Edit4 = edit("Edit4", length("spph"), KeyRule::Free);
    Edit6 = edit("Edit6", length("bz"), KeyRule::Free);
    // Masked date boxes: digits fill the places, the "-" stand fixed, and an
    // empty box reads "    -  -  ".
    MaskEdit1->setInputMask(QStringLiteral("9999-00-09; "));
    MaskEdit2->setInputMask(QStringLiteral("0000-00-99; "));
    for (QLineEdit* d : {MaskEdit1, MaskEdit2}) d->setToolTip(QStringLiteral("双击选取日期"));

    auto button = [this](const char* name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    CheckBox1 = new QCheckBox(QStringLiteral("修改"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    BitBtn1 = button("BitBtn1", QStringLiteral("首记录"));
    BitBtn3 = button("BitBtn3", QStringLiteral("上一条"));
    BitBtn4 = button("BitBtn4", QStringLiteral("下一条"));
    BitBtn2 = button("BitBtn2", QStringLiteral("末记录"));
    BitBtn1->setToolTip(QStringLiteral("首记录"));
    BitBtn3->setToolTip(QStringLiteral("上一条"));
    BitBtn4->setToolTip(QStringLiteral("下一条"));
    BitBtn2->setToolTip(QStringLiteral("末记录"));
    Button1 = button("Button1", QStringLiteral("保存"));
    Button2 = button("Button2", QStringLiteral("新增"));
    Button5 = button("Button5", QStringLiteral("返回"));
    CheckBox2 = new QCheckBox(QStringLiteral("新增时复制上一记录"), this);
    CheckBox2->setObjectName(QStringLiteral("CheckBox2"));
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->addWidget(new QLabel(QStringLiteral("货品单位和类型的下拉式内容可在系统设置中预先录入."), StatusBar1), 1);

    // Rows of captions and boxes, three pairs to a row.
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);
    auto put = [grid, this](int row, int pair, const QString& caption, QWidget* w, int span = 1) {
        auto* l = new QLabel(caption, this);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        l->setBuddy(w);
        grid->addWidget(l, row, pair * 2);
        grid->addWidget(w, row, pair * 2 + 1, 1, span);
    };
    put(0, 0, QStringLiteral("货品代码"), Edit7);
    put(0, 1, QStringLiteral("条形码"), Edit22, 3);
    put(1, 0, QStringLiteral("品名规格"), Edit8, 3);
    put(1, 2, QStringLiteral("类别"), ComboBox2);
    put(2, 0, QStringLiteral("拼音首字"), Edit25);
    put(2, 1, QStringLiteral("单位"), ComboBox1);
    put(2, 2, QStringLiteral("期初库存量"), Edit14);
    put(3, 0, QStringLiteral("最大存量"), Edit5);
    put(3, 1, QStringLiteral("最小存量"), Edit9);
    put(3, 2, QStringLiteral("标准存量"), Edit10);
    put(4, 0, QStringLiteral("自定进价"), Edit17);
    put(4, 1, QStringLiteral("最近进价"), Edit18);
    put(4, 2, QStringLiteral("平均进价"), Edit11);
    put(5, 0, QStringLiteral("零售价"), Edit15);
    put(5, 1, QStringLiteral("批发价"), Edit16);
    put(5, 2, QStringLiteral("会员价"), Edit2);
    put(6, 0, QStringLiteral("促销价"), Edit3);
    put(6, 1, QStringLiteral("生产日期"), MaskEdit1);
    put(6, 2, QStringLiteral("有效期至"), MaskEdit2);
    put(7, 0, QStringLiteral("厂家"), Edit1, 3);
    put(7, 2, QStringLiteral("最近供应商"), ComboBox3);
    put(8, 0, QStringLiteral("产品批号"), Edit4);
    put(8, 1, QStringLiteral("备注"), Edit6, 3);
    for (int c = 1; c < 6; c += 2) grid->setColumnStretch(c, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(CheckBox1);
    buttons->addSpacing(12);
    for (QPushButton* b : {BitBtn1, BitBtn3, BitBtn4, BitBtn2}) buttons->addWidget(b);
    buttons->addStretch(1);
    for (QPushButton* b : {Button1, Button2, Button5}) buttons->addWidget(b);

    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(12, 12, 12, 0);
    v->addLayout(grid);
    v->addSpacing(6);
    v->addLayout(buttons);
    v->addWidget(CheckBox2);
    v->addWidget(StatusBar1);

    // Tab order: the boxes in row order, the buttons, the drop-down boxes, then the rest.
    QList<QWidget*> order;
    for (QLineEdit* e : edits()) order << e;
    order << Button1 << Button2 << Button5 << ComboBox3 << ComboBox1 << ComboBox2 << CheckBox1 << CheckBox2 << BitBtn1
          << BitBtn3 << BitBtn4 << BitBtn2;
    for (int i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);

    connect(Button1, &QPushButton::clicked, this, &Tfrproductedit::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Tfrproductedit::Button2Click);
    connect(Button5, &QPushButton::clicked, this, &Tfrproductedit::Button5Click);
    connect(CheckBox1, &QCheckBox::clicked, this, &Tfrproductedit::CheckBox1Click);
    connect(BitBtn1, &QPushButton::clicked, this, &Tfrproductedit::BitBtn1Click);
    connect(BitBtn3, &QPushButton::clicked, this, &Tfrproductedit::BitBtn3Click);
    connect(BitBtn4, &QPushButton::clicked, this, &Tfrproductedit::BitBtn4Click);
    connect(BitBtn2, &QPushButton::clicked, this, &Tfrproductedit::BitBtn2Click);
    connect(Edit8, &QLineEdit::textChanged, this, &Tfrproductedit::Edit8Change);
    setMinimumWidth(640);
    centreOnScreen(this);
}

Tfrproductedit::~Tfrproductedit()
{
    if (frproductedit == this) frproductedit = nullptr;
}

QList<QLineEdit*> Tfrproductedit::edits() const
{
    return {Edit7, Edit22, Edit8, Edit25, Edit14, Edit5, Edit9, Edit10, Edit17, Edit18,
            Edit11, Edit15, Edit16, Edit2, Edit3, MaskEdit1, MaskEdit2, Edit1, Edit4, Edit6};
}

Tfrproductedit* Tfrproductedit::openFrom(QWidget* opener)
{
    auto* w = new Tfrproductedit(opener);
    w->setAttribute(Qt::WA_DeleteOnClose, true);
    w->opener_ = opener;
    w->opener98_ = qm::session().pickCode == 98;
    if (opener) opener->setEnabled(false);
    w->setEnabled(true);
    w->show();
    w->raise();
    w->activateWindow();
    return w;
}

Tfrproductedit* Tfrproductedit::openForPurchase(QWidget* purchaseWindow)
{
    qm::session().pickCode = 98;
    qm::session().editMode = QStringLiteral("T");
    frdm->Aqproduct->setSql(QStringLiteral("SELECT * from product "));
    frdm->Aqproduct->open();
    return openFrom(purchaseWindow);
}

void Tfrproductedit::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    if (!e->spontaneous()) FormShow();
}

void Tfrproductedit::closeEvent(QCloseEvent* e)
{
    QWidget::closeEvent(e);
    if (!e->isAccepted()) return;
    if (opener_) opener_->setEnabled(true);
    if (qm::session().pickCode == 98) {
        qm::session().pickCode = 0;
    } else if (opener_) {
        opener_->raise();
        opener_->activateWindow();
    }
}

void Tfrproductedit::fillLists()
{
    for (QComboBox* c : {ComboBox1, ComboBox2, ComboBox3}) {
        c->clear();
        c->setEditText(QString());
    }
    ComboBox2->addItems(product::namesOf(*frdm->AQspec, QStringLiteral("SELECT * from spec where specno='03'")));
    ComboBox1->addItems(product::namesOf(*frdm->AQspec, QStringLiteral("SELECT * from spec where specno='02'")));
    ComboBox3->addItems(product::namesOf(*frdm->AQbranch, QStringLiteral("SELECT * from branch")));
    for (QComboBox* c : {ComboBox1, ComboBox2, ComboBox3}) c->setEditText(QString());
}

void Tfrproductedit::resetBoxes(bool clearSupplier)
{
    for (QLineEdit* e : {Edit1, Edit8, Edit22, Edit25, Edit4}) e->clear();
    ComboBox1->setEditText(QString());
    ComboBox2->setEditText(QString());
    if (clearSupplier) ComboBox3->setEditText(QString());
    for (QLineEdit* e : {Edit14, Edit5, Edit9, Edit10, Edit11}) e->setText(kEmptyZero);
    for (QLineEdit* e : {Edit15, Edit16, Edit2, Edit3, Edit17, Edit18}) e->setText(QStringLiteral("0.00"));
}

void Tfrproductedit::fillFromProduct()
{
    Dataset* p = frdm->Aqproduct;
    // Texts are shown whole, as stored.
    showBoxText(Edit1, p->asString("factory"));
    showBoxText(Edit6, p->asString("bz"));
    showBoxText(Edit7, p->asString("sphh"));
    showBoxText(Edit8, p->asString("spmc"));
    showBoxText(ComboBox1->lineEdit(), p->asString("spbzxh"));
    showBoxText(ComboBox2->lineEdit(), p->asString("splb"));
    showBoxText(ComboBox3->lineEdit(), p->asString("branchname"));
    showBoxText(Edit25, p->asString("spgg"));
    showBoxText(Edit22, p->asString("name"));
    showBoxText(Edit4, p->asString("spph"));
    Edit14->setText(plain(p->asFloat("rest")));
    Edit5->setText(plain(p->asFloat("maxsl")));
    Edit9->setText(plain(p->asFloat("minsl")));
    Edit10->setText(plain(p->asFloat("fitsl")));
    Edit11->setText(twoDecimals(p->asFloat("avdj")));
    Edit15->setText(twoDecimals(p->asFloat("spmz")));
    Edit16->setText(twoDecimals(p->asFloat("spzz")));
    Edit2->setText(twoDecimals(p->asFloat("hydj")));
    Edit3->setText(twoDecimals(p->asFloat("csdj")));
    Edit17->setText(twoDecimals(p->asFloat("dj_w")));
    Edit18->setText(twoDecimals(p->asFloat("dj_n")));
    // A product without a date shows an empty box; no date is invented.
    showDate(MaskEdit1, p->asDateTime("outdate").date());
    showDate(MaskEdit2, p->asDateTime("enddate").date());
}

void Tfrproductedit::FormShow()
{
    // 品名规格, 厂家 and 备注 take Chinese text.
    for (QWidget* box : {static_cast<QWidget*>(Edit8), static_cast<QWidget*>(Edit1), static_cast<QWidget*>(Edit6)})
        ime::giveInputMethod(box, qm::session().imeName);
    fillLists();
    if (qm::session().editMode != QLatin1String("F")) {
        Edit6->clear();
        Edit7->setText(product::proposeCode(frdm->ADOCon));
        resetBoxes(true);
        // A new product starts without dates: an invented expiry date would
        // list it as expired from tomorrow on.
        MaskEdit1->clear();
        MaskEdit2->clear();
        CheckBox1->setChecked(true);
    } else {
        Dataset* p = frdm->Aqproduct;
        if (p->active() && !p->isEmpty() && !qm::session().currentIntno.isEmpty() &&
            p->asString("intno") != qm::session().currentIntno)
            p->locate("intno", qm::session().currentIntno);
        if (p->active() && !p->isEmpty()) fillFromProduct();
        CheckBox1->setChecked(false);
    }
    CheckBox1Click();
}

void Tfrproductedit::CheckBox1Click()
{
    bool editable = CheckBox1->isChecked();
    for (QLineEdit* e : edits())
        if (e != MaskEdit1 && e != MaskEdit2) e->setReadOnly(!editable);
    for (QComboBox* c : {ComboBox1, ComboBox2, ComboBox3}) c->setEnabled(editable);
}

void Tfrproductedit::Edit8Change() { Edit25->setText(GetPinyinCode(Edit8->text(), true)); }

void Tfrproductedit::Button1Click()
{
    if (Edit7->text().trimmed().isEmpty()) {
        dlg::showMessage(QStringLiteral("商品货码不能为空!"));
        return;
    }
    for (QLineEdit* e : {Edit14, Edit15, Edit16, Edit17, Edit18, Edit2, Edit3, Edit5, Edit9, Edit10, Edit11})
        if (e->text().isEmpty()) e->setText(kEmptyZero);
    const bool adding = qm::session().editMode == QLatin1String("T");
    if (product::codeTaken(frdm->ADOCon, Edit7->text(), adding, qm::session().currentIntno)) {
        dlg::showMessage(QStringLiteral("该商品代码已存在,不能再录入！ "));
        Edit7->setFocus();
        return;
    }
    // Every conversion happens before anything is stored.
    product::Values v;
    v.bz = Edit6->text();
    v.sphh = Edit7->text().trimmed();
    v.spmc = Edit8->text();
    v.spbzxh = ComboBox1->currentText();
    v.splb = ComboBox2->currentText();
    v.branchname = ComboBox3->currentText();
    v.factory = Edit1->text();
    v.spgg = Edit25->text();
    v.name = Edit22->text();
    product::Stored stored;
    try {
        for (const NumberBox& n : kNumberBoxes) v.*n.value = parseBoxNumber((this->*n.box)->text(), QLatin1String(n.column));
        v.outdate = dateOfBox(MaskEdit1);
        v.enddate = dateOfBox(MaskEdit2);
        v.spph = Edit4->text();

        Dataset* p = frdm->Aqproduct;
        if (!adding) {
            if (!p->active()) p->open();
            if (p->asString("intno") != qm::session().currentIntno && !p->locate("intno", qm::session().currentIntno)) return;
        }
        stored = product::store(*p, v, adding, qm::session().currentIntno);
    } catch (const OutOfRange& e) {
        // A number refused stores nothing and stays as typed, to be corrected.
        dlg::showMessage(e.message());
        for (const NumberBox& n : kNumberBoxes)
            if (e.column == QLatin1String(n.column)) (this->*n.box)->setFocus();
        return;
    }
    if (stored.codeTaken) {
        dlg::showMessage(QStringLiteral("该商品代码已存在,不能再录入！ "));
        Edit7->setFocus();
        return;
    }
    if (adding) qm::session().currentIntno = stored.intno;
    Edit7->setText(v.sphh);
    qm::session().editMode = QStringLiteral("F");
    requestBakCopy();
    Button2->setFocus();
}

void Tfrproductedit::Button2Click()
{
    qm::session().editMode = QStringLiteral("T");
    Edit6->clear();
    Edit7->setText(product::proposeCode(frdm->ADOCon));
    if (!CheckBox2->isChecked()) resetBoxes(true);
    MaskEdit1->clear();
    MaskEdit2->clear();
    Edit7->setFocus();
    CheckBox1->setChecked(true);
    CheckBox1Click();
}

void Tfrproductedit::Button5Click() { close(); }

void Tfrproductedit::navigate(int how)
{
    Dataset* p = frdm->Aqproduct;
    if (!p->active() || p->isEmpty()) return;
    switch (how) {
    case 0: p->first(); break;
    case 1: p->prior(); break;
    case 2: p->next(); break;
    default: p->last(); break;
    }
    qm::session().editMode = QStringLiteral("F");
    qm::session().currentIntno = p->asString("intno");
    FormShow();
}

void Tfrproductedit::BitBtn1Click() { navigate(0); }
void Tfrproductedit::BitBtn3Click() { navigate(1); }
void Tfrproductedit::BitBtn4Click() { navigate(2); }
void Tfrproductedit::BitBtn2Click() { navigate(3); }

void Tfrproductedit::pickDate(QLineEdit* box)
{
    pickDateFor(box);
}

void Tfrproductedit::MaskEdit1DblClick() { pickDate(MaskEdit1); }
void Tfrproductedit::MaskEdit2DblClick() { pickDate(MaskEdit2); }

bool Tfrproductedit::checkDate(QLineEdit* box)
{
    if (isBlankDateText(box->text())) return true;
    if (parseDate(box->text().trimmed()).isValid()) return true;
    dlg::showMessage(box->displayText() + QStringLiteral("是无效日期!"));
    box->setFocus();
    return false;
}

bool Tfrproductedit::MaskEdit1Exit() { return checkDate(MaskEdit1); }
bool Tfrproductedit::MaskEdit2Exit() { return checkDate(MaskEdit2); }

bool Tfrproductedit::eventFilter(QObject* o, QEvent* e)
{
    auto* box = qobject_cast<QLineEdit*>(o);
    if (!box) return QWidget::eventFilter(o, e);
    switch (e->type()) {
    case QEvent::FocusOut: {
        auto reason = static_cast<QFocusEvent*>(e)->reason();
        if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) break;
        if ((box == Edit14 || box == Edit17 || box == Edit18 || box == Edit15 || box == Edit16 || box == Edit2 ||
             box == Edit3) && box->text().isEmpty())
            box->setText(kEmptyZero);
        if (box == MaskEdit1) MaskEdit1Exit();
        if (box == MaskEdit2) MaskEdit2Exit();
        break;
    }
    case QEvent::MouseButtonDblClick:
        if (box == MaskEdit1) { MaskEdit1DblClick(); return true; }
        if (box == MaskEdit2) { MaskEdit2DblClick(); return true; }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(o, e);
}
