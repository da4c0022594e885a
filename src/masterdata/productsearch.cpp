#include "masterdata/productsearch.h"
#include "data/dataset.h"
#include "data/tfrdm.h"
#include "masterdata/productlogic.h"
#include "shell/session.h"
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRadioButton>

namespace qm {

ProductSearchBar::ProductSearchBar(QWidget* parent, const QStringList& fields, const QString& shown, bool exactFirst)
    : QObject(parent)
{
    ComboBox1 = new QComboBox(parent);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setToolTip(QStringLiteral("选项"));
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->addItems(fields);
    ComboBox1->setCurrentText(shown);
    Edit1 = new QLineEdit(parent);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    ComboBox2 = new QComboBox(parent);
    ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
    ComboBox2->setMinimumWidth(160);
    ComboBox2->setEditable(true);
    ComboBox2->setInsertPolicy(QComboBox::NoInsert);
    ComboBox2->hide();
    RadioGroup1 = new QGroupBox(QStringLiteral("查找方式"), parent);
    RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
    RadioExact = new QRadioButton(QStringLiteral("精确"), RadioGroup1);
    RadioFuzzy = new QRadioButton(QStringLiteral("模糊"), RadioGroup1);
    (exactFirst ? RadioExact : RadioFuzzy)->setChecked(true);
    auto* rg = new QHBoxLayout(RadioGroup1);
    rg->setContentsMargins(6, 0, 6, 2);
    rg->addWidget(RadioExact);
    rg->addWidget(RadioFuzzy);
    layout_ = new QHBoxLayout;
    layout_->addWidget(ComboBox1);
    layout_->addWidget(Edit1, 1);
    layout_->addWidget(ComboBox2, 1);
    layout_->addWidget(RadioGroup1);

    connect(ComboBox1, &QComboBox::currentTextChanged, this, &ProductSearchBar::chooseField);
    connect(Edit1, &QLineEdit::textChanged, this, &ProductSearchBar::changed);
    connect(Edit1, &QLineEdit::returnPressed, this, &ProductSearchBar::changed);
    connect(ComboBox2, &QComboBox::currentTextChanged, this, &ProductSearchBar::changed);
}

void ProductSearchBar::chooseField()
{
    const QString t = ComboBox1->currentText();
    auto fill = [this](const QStringList& items) {
        Edit1->hide();
        ComboBox2->show();
        const QSignalBlocker block(ComboBox2);
        ComboBox2->clear();
        ComboBox2->addItems(items);
        ComboBox2->setCurrentIndex(-1);
        ComboBox2->setEditText(QString());
    };
    if (t == QStringLiteral("类别")) {
        fill(product::namesOf(*frdm->AQspec, QStringLiteral("SELECT * from spec where specno='03'")));
    } else if (t == QStringLiteral("供应商")) {
        fill(product::namesOf(*frdm->AQbranch, QStringLiteral("SELECT * from branch")));
    } else if (t == QStringLiteral("有效期")) {
        fill({QStringLiteral("半年内到期"), QStringLiteral("三个月到期"), QStringLiteral("已过期")});
    } else {
        Edit1->show();
        const QSignalBlocker block(ComboBox2);
        ComboBox2->clear();
        ComboBox2->hide();
    }
}

bool ProductSearchBar::search(Dataset& products, const QDate& today) const
{
    const product::Field f = product::fieldOf(ComboBox1->currentText());
    const bool fromChooser = f == product::Field::Category || f == product::Field::Supplier || f == product::Field::Expiry;
    const product::Query q =
        product::searchQuery(f, fromChooser ? ComboBox2->currentText() : Edit1->text(), RadioExact->isChecked(), today);
    if (!q.valid) return false;
    products.reopen(q.sql, q.params);
    return true;
}

void sortByType(Dataset& products, QWidget* grid, bool on)
{
    grid->setUpdatesEnabled(false);
    products.reopen(on ? QStringLiteral("select * from product\nORDER BY name") : QStringLiteral("select * from product"));
    grid->setUpdatesEnabled(true);
    qm::session().sortedByType = on ? 1 : 0;
}

}
