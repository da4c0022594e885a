#include "app/tfrstart.h"
#include "data/tfrdm.h"
#include <QCheckBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TFrstart::TFrstart(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Frstart"));
    setWindowTitle(QStringLiteral("如何开始?如果您第一次使用本系统，请阅读如下《快速入门》。"));
    resize(560, 420);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setPlainText(guideText());

    CheckBox1 = new QCheckBox(QStringLiteral("以后启动本系统时不要显示“如何开始”"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    BitBtn1 = new QPushButton(QStringLiteral("退出"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

    if (frdm && frdm->ADOCon.isOpen()) CheckBox1->setChecked(frdm->configFlag(QStringLiteral("startbj")));
    connect(CheckBox1, &QCheckBox::clicked, this, &TFrstart::CheckBox1Click);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(CheckBox1);
    bottom->addStretch();
    bottom->addWidget(BitBtn1);
    auto* v = new QVBoxLayout(this);
    v->addWidget(Memo1, 1);
    v->addLayout(bottom);
}

QString TFrstart::guideText()
{
    return QStringLiteral(
        "《快速入门》\n\n"
        "第一步：录入基本资料\n"
        "    在“基本资料”菜单中依次录入商品资料、供应商资料、会员资料、员工资料，"
        "以及计量单位和商品类别。需要期初数据时，由管理员在“期初建帐”中录入期初库存和期初余额。\n\n"
        "第二步：开进货单\n"
        "    在“查录单据”菜单中打开“进货单”，按“新开单”，选择供应商和商品，输入数量和单价，"
        "保存后按“过帐”，商品即入库，供应商的应付款随之更新。\n\n"
        "第三步：前台销售\n"
        "    商品入库后即可在前台收银程序中开单销售；销售单和销售退货单在后台的“查录单据”中查看、过帐，"
        "并可在“单据汇总”中查看销售日报表和各种汇总表。\n");
}

void TFrstart::CheckBox1Click()
{
    frdm->setConfigValue(QStringLiteral("startbj"), CheckBox1->isChecked());
}
