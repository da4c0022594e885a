#pragma once
// The six document lists share one engine: each is told by a description
// (its header table, caption, party side, date rule, code padding and 新开单)
// and shows the data module's header query AQoutlist. This header is the
// logic without widgets: the descriptions, the search, the colours and what
// 明细单 opens; tfrdoclist.h is the window.
#include "data/connection.h"
#include "documents/dockind.h"
#include <QColor>
#include <QString>
#include <vector>

namespace qm {
class Dataset;

namespace doc {

struct DocListDesc {
    DocKind kind = DocKind::Purchase;
    QString className;   // Tfrinlist
    QString instance;    // frinlist
    QString caption;     // 进货单据
    QString table;       // inlist
    bool supplierSide = true;   // 供应商号/供应商名, else 客户号/客户名
    bool onOrAfterDate = false; // the sales list finds documents of the day and after
    bool typedDate = true;      // the date may be typed; else only picked
    // The query 新开单 shows while the new document is entered; empty: 新开单
    // is disabled with the hint "请用前台销售开单收银".
    QString newDocumentSql;
    QString menuItem;    // N75
};

const DocListDesc& docListDesc(DocKind kind);
const std::vector<DocListDesc>& docLists();

// All headers of the kind: what the menu command and the list's close leave in AQoutlist.
QString allHeadersSql(const DocListDesc& d);

// The search field's four items, in order.
QStringList searchFields(const DocListDesc& d);

// What 查找单据 does to AQoutlist.
struct ListSearch {
    enum class Outcome { Run, Unchanged, BadDate };
    Outcome outcome = Outcome::Unchanged;
    QString sql;
    Params params;
    QString boxText;   // the search edit afterwards (a padded number)
    QString message;   // for BadDate: text + "是无效日期!"
};

// Plans the search by the search field's text `field` and the edit's `text`.
ListSearch planListSearch(const DocListDesc& d, const QString& field, const QString& text);

// Points `ds` at the search's query and opens it.
void runListSearch(Dataset* ds, const ListSearch& s);

// The text colour of a header: red when reversed, blue when posted, none otherwise.
QColor stateColour(bool pass, bool cancel);

// Which window 明细单 opens for the document `intno`, by its state as stored.
enum class OpenWith { Nothing, EntryWindow, PostedView };
// Nothing when the document is no longer there.
OpenWith windowFor(Connection& c, const DocListDesc& d, const QString& intno);

// Texts of the lists.
namespace listtext {
inline QString noDocument() { return QStringLiteral("查无单据不能进入明细表!"); }
inline QString badDate() { return QStringLiteral("是无效日期!"); }
inline QString frontDesk() { return QStringLiteral("请用前台销售开单收银"); }
}

}
}
