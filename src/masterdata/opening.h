#pragma once
// The opening balances: the opening receivable of each customer, payable of
// each supplier, balance of each cash or bank account and stock of each
// product. Four lists with an editor each, told apart by a description.
#include "common/boxkeys.h"
#include "data/connection.h"
#include <QMap>
#include <QString>
#include <QStringList>
#include <vector>

namespace qm {
class Dataset;

enum class OpeningKind { Customer, Supplier, Account, Product };

struct OpeningBox {
    QString box;    // Edit2 .. Edit5
    QString column;
    QString label;
    KeyRule keys;
};

struct OpeningDesc {
    OpeningKind kind;
    QString table;
    QString listClass, listInstance, listCaption;
    QString editorClass, editorInstance, editorCaption;
    QStringList gridColumns;
    QStringList modeItems;
    QString modeShown;   // the mode box's text when the list opens
    std::vector<OpeningBox> boxes; // the code, the name, the third box, the opening value
    QString menuItem;
};

const OpeningDesc& openingDesc(OpeningKind kind);
const QList<OpeningKind>& allOpeningKinds();
// The data module's shared query of the kind.
Dataset* openingDataset(OpeningKind kind);
// "SELECT * from <table>": what the list opens with and searches on.
QString openingBaseSql(OpeningKind kind);

// What 查找 does to the list's query.
struct OpeningSearch {
    bool change = false; // false: the query stays as it was
    QString sql;
    Params params;
    QString boxText;     // the search box afterwards (the padded code)
};
// `mode` is the mode box's text; `gridField` the field of the grid column the
// operator selected (used when the mode box is empty).
OpeningSearch planOpeningSearch(OpeningKind kind, const QString& text, const QString& mode, const QString& gridField);

// The current row of the kind's query as the editor's boxes show it (column -> text).
QMap<QString, QString> openingValues(OpeningKind kind);

// 保存: the opening value is converted first (ConversionError for an empty
// text or one that is no number, OutOfRange for a number outside its bound: a
// product's opening stock is a quantity, a partner's or account's balance an
// amount; the row is left as it was); then the
// name, the third box and the opening value are written to the current row in
// one transaction. The code is not written: documents refer to it.
void saveOpening(OpeningKind kind, const QString& name, const QString& third, const QString& opening);

}
