#pragma once
// Product numbering, code checks, saving, searching, marks, deletion and the
// pick into a document row: the logic behind the product list and editor.
#include "data/connection.h"
#include "data/dataset.h"
#include "masterdata/picklink.h"
#include <QDate>
#include <QString>

namespace qm::product {

// The next internal number: the largest stored `intno` plus one (1 for an empty table).
qint64 nextNumber(Connection& c);
// `intno` of a number: eight digits with leading zeros.
QString intnoOf(qint64 n);
// The code proposed for a new product: the last five digits of the number.
QString proposedCodeOf(qint64 n);
inline QString proposeCode(Connection& c) { return proposedCodeOf(nextNumber(c)); }

// True when another product already uses `code` (compared without the
// surrounding blanks; codes are stored trimmed, so the index on the code
// serves). When modifying, the product `currentIntno` does not count.
bool codeTaken(Connection& c, const QString& code, bool adding, const QString& currentIntno);

// What the editor stores. Dates left invalid are stored as no date (NULL).
struct Values {
    QString bz, sphh, spmc, spbzxh, splb, branchname, factory, spgg, name, spph;
    double maxsl = 0, minsl = 0, fitsl = 0, rest = 0, dj_w = 0, dj_n = 0, spmz = 0, spzz = 0, hydj = 0, csdj = 0;
    QDate outdate, enddate;
};

// The SQL that adding leaves the product list on: every product, in the
// table's order.
inline const char* const kAllProducts = "SELECT * from product ";

struct Stored {
    bool codeTaken = false; // another product has the code: nothing was stored
    QString intno;
};
// Stores the values in one transaction, which first checks that no other
// product has the code (another writer may have saved it since the editor
// checked). Adding points `products` at every product (kAllProducts; a list
// already on it keeps its rows and gains the new one in place), appends a row
// with a new `intno` (taking `avdj` from the own purchase price and clearing
// the mark) and returns that `intno`; modifying writes the current row of
// `products` and keeps its `intno`, `avdj` and mark. A failure rolls
// everything back and then leaves the current row of `products` as stored.
// A number outside its bound (levels and the opening stock are quantities,
// the prices prices) throws OutOfRange naming its column, before anything is
// written.
Stored store(Dataset& products, const Values& v, bool adding, const QString& currentIntno);

// Stored date value of a date column (NULL for an invalid date).
QVariant dbDate(const QDate& d);

// The trimmed `name` of every row `sql` selects, read through `ds`, which is
// left closed (the category, unit and supplier choices).
QStringList namesOf(Dataset& ds, const QString& sql);

// The search of the product list.
enum class Field { Pinyin, Code, Name, Category, Supplier, Expiry, Unknown };
Field fieldOf(const QString& chooserText);
struct Query {
    QString sql;
    Params params;
    bool valid = true; // false: the chooser text names no field, the query stays as it was
};
// `text` is the search text or the value chooser's text; `exact` is 精确.
Query searchQuery(Field f, const QString& text, bool exact, const QDate& today);

// Sets the selection mark of every product.
void markAll(Connection& c, bool mark);
// Toggles the mark of the current product of `products` at once.
void toggleMark(Dataset& products);

// Deletes every marked product in one statement; returns the number deleted.
int deleteMarked(Connection& c);
// True when some marked product holds stock.
bool markedHoldStock(Connection& c);

enum class PickResult { Written, NoProduct, CarriedForwardRow, NoRow };
// Writes the current product into the current row of the document rows; the
// carried-forward row (carriedForwardName()) is left alone.
PickResult pickIntoRow(Dataset& products, Dataset& rows);

}
