#pragma once
// The items of the main window: every menu item, toolbar button and navigator
// text runs through runMenuItem() by the menu item's name ("N14").
//
// Stock menu items, in menu order: N4 库存盘点, N5 库存损益表, N6 更新库存量,
// N7 库存资产表, N8 需补充库存的商品, N9 超过标准库存商品, N11 超过最大存量商品,
// N12 低于最小存量商品, N19 半年内到期, N21 三个月到期, N23 已过期商品.
// The toolbar's 如何开始 runs the command "TFrstart" (the quick-start guide).
#include <QString>
#include <QStringList>

namespace qm {
// The refusal shown to anyone but the administrator, or empty when the item
// is open to every operator (rules inside a command are that command's own).
QString administratorRefusal(const QString& item);
// The command an item runs: its own name, except 销售日报表 (N73), which runs
// the command of 员工销售汇总表 (N60).
QString commandOf(const QString& item);
// The rights rule first (a refusal stops with nothing opened and the main
// window left as it was), then the command registered under the name.
// True when a command ran.
bool runMenuItem(const QString& item);
// Calculator programs of the usual desktops; 计算器 starts the first one found.
const QStringList& calculatorPrograms();
}
