#pragma once
// The stock reports, the stocktaking counts and the update of book stock from
// them: the logic behind the stock list and its count window.
#include "data/connection.h"
#include <QDate>
#include <QString>
#include <QStringList>
#include <exception>
#include <functional>

namespace qm {
class Dataset;
}

namespace qm::stock {

// A stock report of the 库存管理 menu (modes 1 to 9).
struct Mode {
    int mode = 0;
    QString item;        // the main-menu item
    QString caption;     // the stock list's caption
    QString reslSql;     // computes the result column; empty: none
    QString listSql;     // the list, before the expiry condition
    QString expiry;      // the product list's expiry choice the list filters by; empty: none
    QString printTitle;
    QStringList printCaptions; // the four variable columns of the print, empty: as laid out
    QStringList printFields;
};

// The report of a mode, or nullptr for 0 (the stocktaking) and unknown modes.
const Mode* mode(int m);
const QList<Mode>& modes();

// The stocktaking's list and caption.
QString stocktakingSql();
QString stocktakingCaption();

struct ListQuery {
    QString sql;
    Params params;
};

// The list of a report. It computes the result column as it reads the
// products, so that it shows at once, before the column is stored.
ListQuery prepareReport(int m, const QDate& today);

// Writes the report's result into every product's `resl`, and for the stock
// value the totals row of totallist (which replaces the sales window's running
// turnover), in one transaction.
void writeResults(Connection& c, int m);
// writeResults on a connection of its own to the database file at `path`,
// away from the windows; reports queued one after another are written in
// that order. A failure leaves the stored results as they were and is handed
// to `failed` on the GUI thread.
using WriteFailed = std::function<void(std::exception_ptr)>;
void storeResults(const QString& path, int m, WriteFailed failed = {});
// Waits until every queued result is stored.
void waitForStoredResults();
// Waits as above; when the last write of the stock value (mode 6) failed,
// throws its error, so that nothing shows totals that were not stored.
void requireStoredTotals();

// The counted stock typed for the current product of `products`: only the
// count and its time are written, so that book stock moved meanwhile by a sale
// stays as stored. The number is checked first (ConversionError, or
// OutOfRange outside the bound of a quantity; nothing written). The row is
// read again afterwards.
void saveCount(Dataset& products, const QString& typed);
// The counted stock of the current product as the count window shows it:
// empty when the product has never been counted.
QString countText(const Dataset& products);
// The book stock of the current product as stored now.
double storedStock(Dataset& products);

// 更新库存量: every marked product with a pending count takes it as book
// stock; marked products without a count and unmarked ones keep theirs.
// Returns how many products changed. One transaction.
int applyCounts(Connection& c);

}
