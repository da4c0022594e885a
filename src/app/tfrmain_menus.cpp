// The main window's menus, toolbar, navigator and background picture.
#include "app/mainmenu.h"
#include "app/navigator.h"
#include "app/tfrmain.h"
#include "common/assets.h"
#include "common/dialogs.h"
#include "common/errors.h"
#include "common/jpeg.h"
#include "data/tfrdm.h"
#include <QAction>
#include <QCheckBox>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QScreen>
#include <QToolBar>

namespace {

struct Item {
    const char* name;     // menu item name; "-" a separator
    const char* caption;
    bool visible = true;
    bool enabled = true;
    const char* shortcut = nullptr;
};

struct Menu {
    const char* caption;
    std::initializer_list<Item> items;
};

const Item sep{"-", ""};
const Item hiddenSep{"-", "", false};

const Menu kMenus[] = {
    {"&S 系统管理",
     {{"N1", "操作员管理"}, sep, {"N20", "系统初始化"}, sep, {"N36", "打印设置"}, sep, {"N22", "系统选项"}, sep,
      {"N3", "操作员交接班"}, sep, {"N2", "退出系统"}}},
    {"&J 基本资料",
     {{"N14", "商品资料"}, {"N33", "现金银行"}, sep, {"N16", "会员资料"}, {"N79", "供应商资料"}, sep,
      {"N80", "员工资料"}, {"N93", "计量单位"}, {"N81", "仓库设置", false}, {"N18", "商品类别"}}},
    {"&C 查录单据",
     {{"N75", "进货单"}, {"N76", "进货退货单"}, sep, {"N39", "销售单"}, {"N40", "销售退货单"}, sep,
      {"N56", "收款单"}, {"N95", "付款单"}}},
    {"&Q 期初建帐",
     {{"N82", "期初商品库存"}, {"N13", "期初现金银行"}, sep, {"N15", "期初客户应收"}, {"N10", "期初供应商应付"}}},
    {"&D 单据汇总",
     {{"N89", "进货汇总表"}, {"N73", "销售日报表"}, {"N60", "员工销售汇总表"}, {"N72", "商品销售汇总表"}, sep,
      {"N62", "销售退货汇总"}, {"N90", "进货退货汇总"}, sep, {"N61", "收款汇总表"}, {"N96", "付款汇总表"}, sep,
      {"N38", "客户汇总表"}, {"N84", "供应商汇总表"}, {"N27", "现金银行流水帐", false}, {"N86", "供应商对帐表"}}},
    {"&K 库存管理",
     {{"N4", "库存盘点"}, {"N5", "库存损益表"}, {"N6", "更新库存量"}, {"N7", "库存资产表"},
      {"N8", "需补充库存的商品"}, {"N9", "超过标准库存商品"}, {"N11", "超过最大存量商品"},
      {"N12", "低于最小存量商品"}, {"N19", "半年内到期"}, {"N21", "三个月到期"}, {"N23", "已过期商品"}}},
    {"&W 数据维护",
     {{"N17", "数据压缩整理"}, sep, {"N45", "数据备份恢复"}, sep, {"N65", "月终数据处理"}, {"N50", "年终数据处理"}, sep,
      {"N77", "年度数据备份"}, {"N74", "清空销售数据"}, {"N57", "复制上年数据", false, false}, hiddenSep,
      {"N59", "恢复今年数据", false, false}}},
    {"&Z 帮助",
     {{"N42", "版权声明"}, sep, {"N48", "使用说明"}, sep, {"N53", "公司信息"}, sep, {"N30", "计算器"}, hiddenSep,
      {"N29", "新开单", false, true, "F2"}, {"N35", "数据处理", false}}},
};

struct Button {
    const char* name;
    const char* caption;
    const char* item;     // the menu command it reuses
    const char* picture;
    const char* hint = nullptr;
    bool visible = true;
};

const Button kButtons[] = {
    {"ToolButton1", "商品资料", "N14", "tb_product.png"},
    {"ToolButton2", "新开单F2", "N29", "tb_newsale.png", nullptr, false},
    {"ToolButton3", "进货单", "N75", "tb_in.png"},
    {"ToolButton4", "进货退货", "N76", "tb_inback.png"},
    {"ToolButton5", "销售单", "N39", "tb_out.png", "请用前台销售开单收银"},
    {"ToolButton6", "销售退货", "N40", "tb_outback.png"},
    {"ToolButton7", "收款单", "N56", "tb_get.png"},
    {"ToolButton8", "付款单", "N95", "tb_put.png"},
    {"ToolButton9", "计算器", "N30", "tb_calc.png"},
    {"ToolButton10", "如何开始", "TFrstart", "tb_guide.png"},
    {"ToolButton11", "退出", "N2", "tb_exit.png"},
};

} // namespace

void Tfrmain::buildMenus()
{
    for (const Menu& m : kMenus) {
        QMenu* menu = menuBar()->addMenu(QString::fromUtf8(m.caption));
        for (const Item& it : m.items) {
            QAction* a = nullptr;
            if (QLatin1String(it.name) == QLatin1String("-")) {
                a = menu->addSeparator();
            } else {
                a = menu->addAction(QString::fromUtf8(it.caption));
                a->setObjectName(QString::fromLatin1(it.name));
                if (it.shortcut) a->setShortcut(QKeySequence(QString::fromLatin1(it.shortcut)));
                const QString item = QString::fromLatin1(it.name);
                connect(a, &QAction::triggered, this, [this, item] { runItem(item); });
            }
            a->setVisible(it.visible);
            a->setEnabled(it.enabled);
            // A hidden item's action takes no keys; its shortcut (F2 for
            // 新开单) still works from anywhere in the main window.
            if (!it.visible && it.enabled && it.shortcut) {
                auto* key = new QShortcut(QKeySequence(QString::fromLatin1(it.shortcut)), this);
                key->setObjectName(QString::fromLatin1(it.name) + QStringLiteral("Key"));
                const QString item = QString::fromLatin1(it.name);
                connect(key, &QShortcut::activated, this, [this, item] { runItem(item); });
            }
        }
    }

    ToolBar1 = addToolBar(QStringLiteral("ToolBar1"));
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    ToolBar1->setIconSize(QSize(32, 32));
    ToolBar1->toggleViewAction()->setVisible(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    for (const Button& b : kButtons) {
        QString pic = qm::assetFile(QString::fromLatin1(b.picture));
        QAction* a = ToolBar1->addAction(pic.isEmpty() ? QIcon() : QIcon(pic), QString::fromUtf8(b.caption));
        a->setObjectName(QString::fromLatin1(b.name));
        if (b.hint) a->setToolTip(QString::fromUtf8(b.hint));
        a->setVisible(b.visible);
        const QString item = QString::fromLatin1(b.item);
        connect(a, &QAction::triggered, this, [this, item] { runItem(item); });
    }
    ToolBar1->addSeparator();
    CheckBox1 = new QCheckBox(QStringLiteral("导航窗口"), ToolBar1);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setChecked(true);
    ToolBar1->addWidget(CheckBox1);
    connect(CheckBox1, &QCheckBox::clicked, this, &Tfrmain::CheckBox1Click);

    navigator = new qm::Navigator([this](const QString& item) { runItem(item); }, this);
    setCentralWidget(navigator);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    QAction* setPicture = PopupMenu1->addAction(QStringLiteral("设置背景图片"));
    setPicture->setObjectName(QStringLiteral("MenuItem1"));
    connect(setPicture, &QAction::triggered, this, &Tfrmain::MenuItem1Click);
    connect(navigator, &qm::Navigator::backgroundMenuRequested, PopupMenu1, [this](const QPoint& at) { PopupMenu1->popup(at); });

    // The shipped picture until the options name another.
    loadBackgroundPicture(qm::assetFile(QStringLiteral("background.jpg")));
    // The whole work area of the screen; un-maximised, most of it.
    if (QScreen* s = screen()) resize(s->availableGeometry().size() * 0.85);
    setWindowState(Qt::WindowMaximized);
}

void Tfrmain::runItem(const QString& itemName) { qm::runMenuItem(itemName); }

void Tfrmain::CheckBox1Click() { navigator->setNavigatorShown(CheckBox1->isChecked()); }

bool Tfrmain::loadBackgroundPicture(const QString& file)
{
    const QImage img = qm::loadPicture(file);
    if (img.isNull()) return false;
    navigator->setBackground(img);
    return true;
}

void Tfrmain::MenuItem1Click()
{
    const QString file = qm::dlg::openFile(QStringLiteral("设置背景图片"), QString(),
                                           QStringLiteral("图片文件 (*.jpg *.jpeg *.bmp *.png)"));
    if (file.isEmpty()) return;
    if (!loadBackgroundPicture(file)) throw qm::FileOpenError(QStringLiteral("图片文件不能打开: ") + file);
    frdm->setConfigValue(QStringLiteral("picfilename"), file.trimmed());
}
