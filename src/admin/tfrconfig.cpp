#include "admin/tfrconfig.h"
#include "common/bounds.h"
#include "common/dialogs.h"
#include <QScopeGuard>
#include "common/boxkeys.h"
#include "data/tfrdm.h"
#include "shell/commands.h"
#include "shell/session.h"
#include "shell/windowprotocol.h"
#include <QButtonGroup>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

Tfrconfig* frconfig = nullptr;

namespace {

// The drop-down refills itself with the installed input methods each time it opens.
class InputMethodBox : public QComboBox {
public:
    using QComboBox::QComboBox;
    void showPopup() override
    {
        const QString current = currentText();
        clear();
        addItems(qm::options::installedInputMethods());
        setEditText(current);
        QComboBox::showPopup();
    }
};

QLineEdit* box(QWidget* parent, const char* name, int width = 60)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setFixedWidth(width);
    e->setAlignment(Qt::AlignCenter);
    e->setMaxLength(8);
    return e;
}

QWidget* yesNo(QWidget* parent, QRadioButton*& yes, QRadioButton*& no, const QString& a = QStringLiteral("是"),
               const QString& b = QStringLiteral("否"))
{
    auto* w = new QWidget(parent);
    auto* l = new QHBoxLayout(w);
    l->setContentsMargins(0, 0, 0, 0);
    yes = new QRadioButton(a, w);
    no = new QRadioButton(b, w);
    auto* g = new QButtonGroup(w);
    g->addButton(yes);
    g->addButton(no);
    l->addWidget(yes);
    l->addWidget(no);
    l->addStretch(1);
    no->setChecked(true);
    return w;
}

QLabel* label(const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
}
}

Tfrconfig::Tfrconfig(QWidget* parent) : QWidget(parent, Qt::Window)
{
    frconfig = this;
    setObjectName(QStringLiteral("frconfig"));
    setWindowTitle(QStringLiteral("系统选项"));
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    setAttribute(Qt::WA_DeleteOnClose, true);

    PageControl1 = new QTabWidget(this);
    auto* page = new QWidget;
    PageControl1->addTab(page, QStringLiteral("数据设置"));

    // Numbers: integer digits on the left, decimals on the right.
    auto* numbers = new QGroupBox(QStringLiteral("数据格式"), page);
    auto* g = new QGridLayout(numbers);
    g->setHorizontalSpacing(10);
    g->setVerticalSpacing(8);
    edAmountInt = box(numbers, "edAmountInt");
    edPriceInt = box(numbers, "edPriceInt");
    edQtyInt = box(numbers, "edQtyInt");
    edWeightInt = box(numbers, "edWeightInt");
    edAmountDec = box(numbers, "edAmountDec");
    edPriceDec = box(numbers, "edPriceDec");
    edQtyDec = box(numbers, "edQtyDec");
    edWeightDec = box(numbers, "edWeightDec");
    const struct { const char* left; QLineEdit* l; const char* right; QLineEdit* r; } rows[] = {
        {"金额整数位数：", edAmountInt, "金额小数位数：", edAmountDec},
        {"单价整数位数：", edPriceInt, "单价小数位数：", edPriceDec},
        {"数量整数位数：", edQtyInt, "数量小数位数：", edQtyDec},
        {"重量整数位数：", edWeightInt, "重量小数位数：", edWeightDec},
    };
    int row = 0;
    for (const auto& r : rows) {
        g->addWidget(label(QString::fromUtf8(r.left), numbers), row, 0);
        g->addWidget(r.l, row, 1);
        g->addWidget(label(QString::fromUtf8(r.right), numbers), row, 2);
        g->addWidget(r.r, row, 3);
        ++row;
    }
    g->addWidget(label(QStringLiteral("金额用千分位符："), numbers), row, 0);
    g->addWidget(yesNo(numbers, rbAmountSepYes, rbAmountSepNo), row, 1);
    g->addWidget(label(QStringLiteral("单价用千分位符："), numbers), row, 2);
    g->addWidget(yesNo(numbers, rbPriceSepYes, rbPriceSepNo), row, 3);
    g->setColumnStretch(4, 1);

    // Dates.
    auto* dates = new QGroupBox(QStringLiteral("日期格式"), page);
    auto* dg = new QGridLayout(dates);
    dg->setHorizontalSpacing(6);
    edYear = box(dates, "edYear");
    edYear->setToolTip(QStringLiteral("格式为空白时默认为yyyy.mm.dd格式"));
    edMonth = box(dates, "edMonth", 44);
    edDay = box(dates, "edDay", 44);
    edEditYear = box(dates, "edEditYear");
    edEditMonth = box(dates, "edEditMonth", 44);
    edEditDay = box(dates, "edEditDay", 44);
    auto dash = [dates](const char* t) {
        auto* l = new QLabel(QString::fromLatin1(t), dates);
        l->setAlignment(Qt::AlignCenter);
        return l;
    };
    dg->addWidget(label(QStringLiteral("日期显示格式："), dates), 0, 0);
    dg->addWidget(edYear, 0, 1);
    dg->addWidget(dash("-"), 0, 2);
    dg->addWidget(edMonth, 0, 3);
    dg->addWidget(dash("-"), 0, 4);
    dg->addWidget(edDay, 0, 5);
    dg->addWidget(label(QStringLiteral("日期编辑格式："), dates), 1, 0);
    dg->addWidget(edEditYear, 1, 1);
    dg->addWidget(dash("/"), 1, 2);
    dg->addWidget(edEditMonth, 1, 3);
    dg->addWidget(dash("/"), 1, 4);
    dg->addWidget(edEditDay, 1, 5);
    dg->setColumnStretch(6, 1);

    // Input method.
    GroupBox1 = new QGroupBox(QStringLiteral("设置输入法"), page);
    auto* ig = new QVBoxLayout(GroupBox1);
    ig->addWidget(new QLabel(QStringLiteral("使在需要输入汉字时自动切换为设置的输入法."), GroupBox1));
    ComboBox1 = new InputMethodBox(GroupBox1);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setEditable(true);
    ComboBox1->lineEdit()->setMaxLength(36);
    ig->addWidget(ComboBox1);

    // Receipt printer choices: kept, not shown.
    gbPrinter = new QGroupBox(page);
    auto* pg = new QFormLayout(gbPrinter);
    pg->addRow(QStringLiteral("打印小票选择："), yesNo(gbPrinter, rbSerial, rbUsb, QStringLiteral("串口打印机"), QStringLiteral("USB口打印机")));
    pg->addRow(QStringLiteral("打印小票后自动打开钱箱："), yesNo(gbPrinter, rbCashboxYes, rbCashboxNo));
    gbPrinter->hide();

    auto* pl = new QVBoxLayout(page);
    pl->addWidget(numbers);
    pl->addWidget(dates);
    pl->addWidget(GroupBox1);
    pl->addWidget(gbPrinter);
    pl->addStretch(1);

    Button1 = new QPushButton(QStringLiteral("确定"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("取消"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    connect(Button1, &QPushButton::clicked, this, &Tfrconfig::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Tfrconfig::Button2Click);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);

    auto* lay = new QVBoxLayout(this);
    lay->addWidget(PageControl1);
    lay->addLayout(buttons);

    // Enter moves along the tab order; the arrows are left alone. The number
    // boxes take the digits 0-9 and ".", the year box "Y", "y" and
    // "."; a key is judged by its first character.
    auto* keys = new qm::BoxKeys(this);
    keys->setArrows(false);
    const qm::KeyRule digits{.digits = true, .also = QStringLiteral("."), .firstCharOnly = true};
    const qm::KeyRule year{.also = QStringLiteral("Yy."), .firstCharOnly = true};
    for (QLineEdit* e : {edAmountInt, edAmountDec, edPriceInt, edPriceDec, edQtyInt, edQtyDec, edWeightInt, edWeightDec})
        keys->add(e, digits);
    keys->add(edYear, year);
    for (QLineEdit* e : {edMonth, edDay, edEditYear, edEditMonth, edEditDay}) keys->add(e);

    FormShow();
}

Tfrconfig::~Tfrconfig()
{
    if (frconfig == this) frconfig = nullptr;
}

qm::options::Page Tfrconfig::page() const
{
    qm::options::Page p;
    p.amountInt = edAmountInt->text();
    p.priceInt = edPriceInt->text();
    p.qtyInt = edQtyInt->text();
    p.weightInt = edWeightInt->text();
    p.amountDec = edAmountDec->text();
    p.priceDec = edPriceDec->text();
    p.qtyDec = edQtyDec->text();
    p.weightDec = edWeightDec->text();
    p.amountSeparator = rbAmountSepYes->isChecked();
    p.priceSeparator = rbPriceSepYes->isChecked();
    p.year = edYear->text();
    p.month = edMonth->text();
    p.day = edDay->text();
    p.editYear = edEditYear->text();
    p.editMonth = edEditMonth->text();
    p.editDay = edEditDay->text();
    p.imeName = ComboBox1->currentText();
    p.serialPrinter = rbSerial->isChecked();
    p.cashbox = rbCashboxYes->isChecked();
    return p;
}

void Tfrconfig::setPage(const qm::options::Page& p)
{
    edAmountInt->setText(p.amountInt);
    edPriceInt->setText(p.priceInt);
    edQtyInt->setText(p.qtyInt);
    edWeightInt->setText(p.weightInt);
    edAmountDec->setText(p.amountDec);
    edPriceDec->setText(p.priceDec);
    edQtyDec->setText(p.qtyDec);
    edWeightDec->setText(p.weightDec);
    (p.amountSeparator ? rbAmountSepYes : rbAmountSepNo)->setChecked(true);
    (p.priceSeparator ? rbPriceSepYes : rbPriceSepNo)->setChecked(true);
    edYear->setText(p.year);
    edMonth->setText(p.month);
    edDay->setText(p.day);
    edEditYear->setText(p.editYear);
    edEditMonth->setText(p.editMonth);
    edEditDay->setText(p.editDay);
    ComboBox1->setEditText(p.imeName);
    (p.serialPrinter ? rbSerial : rbUsb)->setChecked(true);
    (p.cashbox ? rbCashboxYes : rbCashboxNo)->setChecked(true);
}

void Tfrconfig::FormShow()
{
    qm::Dataset* cfg = frdm->ATCONFIG;
    cfg->open();
    qm::options::Row r;
    r.amountformat = cfg->asString(QStringLiteral("amountformat"));
    r.priceformat = cfg->asString(QStringLiteral("priceformat"));
    r.qtyformat = cfg->asString(QStringLiteral("qtyformat"));
    r.weightformat = cfg->asString(QStringLiteral("weightformat"));
    r.dateformat = cfg->asString(QStringLiteral("dateformat"));
    r.dateeditmask = cfg->asString(QStringLiteral("dateeditmask"));
    r.dateseparator = cfg->asString(QStringLiteral("dateseparator"));
    r.imename = cfg->asString(QStringLiteral("imename"));
    r.printbj = cfg->asBool(QStringLiteral("printbj"));
    r.cashboxbj = cfg->asBool(QStringLiteral("cashboxbj"));
    cfg->close();
    setPage(qm::options::readBack(r));
}

void Tfrconfig::Button1Click()
{
    qm::options::Page p = page();
    // Builds everything first: a decimals box that is no number stops here
    // with the options row untouched, one out of range with its message and
    // the boxes as typed.
    qm::options::Row r;
    try {
        r = qm::options::build(p);
    } catch (const qm::OutOfRange& e) {
        qm::dlg::showMessage(e.message());
        return;
    }
    setPage(p); // the empty boxes now show their defaults

    qm::Dataset* cfg = frdm->ATCONFIG;
    cfg->open();
    auto closer = qScopeGuard([cfg] { cfg->close(); });
    qm::writeInTransaction(*cfg, [&] {
        cfg->edit();
        cfg->setValue(QStringLiteral("amountformat"), r.amountformat);
        cfg->setValue(QStringLiteral("priceformat"), r.priceformat);
        cfg->setValue(QStringLiteral("qtyformat"), r.qtyformat);
        cfg->setValue(QStringLiteral("weightformat"), r.weightformat);
        cfg->setValue(QStringLiteral("dateseparator"), r.dateseparator);
        cfg->setValue(QStringLiteral("dateformat"), r.dateformat);
        cfg->setValue(QStringLiteral("dateeditmask"), r.dateeditmask);
        cfg->setValue(QStringLiteral("imename"), r.imename);
        cfg->setValue(QStringLiteral("printbj"), r.printbj);
        cfg->setValue(QStringLiteral("cashboxbj"), r.cashboxbj);
        cfg->post();
        return true;
    });
    closer.dismiss();
    cfg->close();
    frdm->applyNumberFormats(r.amountformat, r.qtyformat, r.priceformat);
    qm::session().imeName = ComboBox1->currentText();
    close();
}

void Tfrconfig::Button2Click() { close(); }

namespace qm {
void openOptionsWindow()
{
    if (QWidget* open = findOpenWindow(QStringLiteral("frconfig"))) {
        open->raise();
        open->activateWindow();
        return;
    }
    openOwnedWindow([](QWidget* owner) { return new Tfrconfig(owner); });
}
}

// 系统选项 (the administrator rule runs before it).
QM_COMMAND("N22", [] { qm::openOptionsWindow(); });
