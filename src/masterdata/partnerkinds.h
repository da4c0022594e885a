#pragma once
// The five small master tables of parties and places (members and customers,
// suppliers, cash and bank accounts, employees, warehouses) share one editor
// and one list. Each kind is told by a description: its table, its shared
// query, the boxes of its editor and the rules of its list.
#include "common/boxkeys.h"
#include "data/numbering.h"
#include <QString>
#include <QStringList>
#include <QList>
#include <vector>

namespace qm {
class Dataset;

enum class PartnerKind { Customer, Supplier, Account, Employee, Store };

struct EditorBox {
    QString box;     // objectName of the edit
    QString column;  // column of the table
    QString label;
    KeyRule keys; // what typing may put into the box
    int maxLength = 0;
    bool chinese = false; // gets the configured input method
};

struct EditorDesc {
    QString className;  // Tfrcustomeredit
    QString instance;   // frcustomeredit
    QString caption;
    std::vector<EditorBox> boxes; // in tab order, which is also the Enter chain
    QString note;                 // shown under the boxes (the walk-in customer)
    bool saveAndAddButtons = false; // 保存并新增 / 保存并退出 / 取消 in place of 保存 / 新增 / 返回
};

// How the list's 编号 search treats the typed code.
enum class IdSearch { PaddedLike, AsTypedLike, PaddedPrefix };
enum class DeleteRule { WalkInRefused, AskOnBalance, DataModuleOnly };
enum class PrintRule { Customers, Suppliers, Disabled, Hidden };

struct ListDesc {
    QString className;  // TFrcustomer
    QString instance;   // Frcustomer
    QString caption;
    QStringList gridColumns;
    QStringList modeItems;  // empty: search not shown
    IdSearch idSearch = IdSearch::PaddedLike;
    QList<int> pickCodes;   // codes whose 选中 writes something
    DeleteRule deleteRule = DeleteRule::DataModuleOnly;
    PrintRule print = PrintRule::Hidden;
    bool searchOnShow = false;
    bool fourAcross = false; // the hidden 多栏 button
    QString gridHint;
    QString statusText;      // empty: no status bar
    bool menuOnly = false;   // opened only from the menu (warehouses)
    bool hotImages = false;  // toolbar pictures light up under the mouse
    QString menuItem;        // the main-menu item that opens it
};

struct PartnerDesc {
    PartnerKind kind;
    QString table;
    int idWidth = 10;       // width of the id column; the proposal and padded searches use it
    EditorDesc editor;
    ListDesc list;
};

const PartnerDesc& partnerDesc(PartnerKind kind);
const QList<PartnerKind>& allPartnerKinds();
// The shared query of the data module for the kind (Aqcustomer, AQbranch, ...).
Dataset* partnerDataset(PartnerKind kind);

// The upper end of a prefix range: the text followed by the highest character,
// so that every text beginning with it (Chinese included) lies in the range.
QString prefixEnd(const QString& text);
}
