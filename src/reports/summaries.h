#pragma once
// The seven document summaries (purchases, product sales, sales by operator,
// receipts, sales returns, purchase returns, payments) are one run told by a
// description per window: the row table, the sums, the filters, the total
// boxes, the grid and the printed layout.
#include "reports/daterange.h"
#include <QString>
#include <QStringList>
#include <vector>

namespace qm::reports {

enum class SummaryKind { Purchases, ProductSales, Sales, Receipts, SalesReturns, PurchaseReturns, Payments };

// A code edit that narrows the run: "and <column>=:<param> " when not empty.
struct SummaryFilter {
    QString edit;     // Edit2
    QString label;    // 供应商号
    QString column;
    QString param;
    QString hint;     // 双击选取供应商
    int pickCode = 0; // a double-click opens this list; 0: none
    bool padOnExit = false;
};

struct TotalBox {
    QString box;      // objectName
    QString label;
    QString column;   // of totallist
    int decimals = 2;
    int groupedDecimals = 2;
};

struct GridColumn {
    QString field;
    QString caption;  // empty: the field's own label
};

enum class TodayRule { None, BothToday, TodayAndTomorrow };

struct SummaryDesc {
    SummaryKind kind;
    QString className;   // Tfrintotal
    QString caption;
    QStringList menuItems;
    QString rowTable;    // indetail
    QString totalsColumns;   // "hjsl,hjjs,amount,deduck,pay,rest"
    QString sums;            // "sum(sl),sum(js),..."
    std::vector<SummaryFilter> filters;
    std::vector<TotalBox> boxes;
    std::vector<GridColumn> grid;
    QString refreshCaption;  // 流水帐 or 刷新
    TodayRule today = TodayRule::None;
    bool printRunsFirst = true;
    bool grouped = false;    // has 分类汇总
    QString layout;          // Tfrrintotal
    QString statusText;
    QString closeSql;        // AQoutlist's text after closing; empty: left alone
    bool closesTotals = false;
};

const SummaryDesc& summaryDesc(SummaryKind kind);
const std::vector<SummaryKind>& allSummaryKinds();

// The filter values by filter, as typed (trimmed here; empty ones are left out).
using FilterValues = QStringList;

// The run: replaces totallist with one row of sums over the posted, unreversed
// rows of the range (carried-forward rows excluded), in one transaction, then
// opens AQtotallist on it and AQoutdetail on the rows themselves, oldest first.
// A failure leaves totallist as it was.
void runSummary(const SummaryDesc& d, const DateRange& r, const FilterValues& filters);

// 分类汇总: the totals as the run, then custtotal replaced by one row per
// product (in one transaction) and shown through AQoutdetail by product number.
void runGroupedSummary(const SummaryDesc& d, const DateRange& r, const FilterValues& filters);

// The grid reads a run's rows block by block; a print walks every row once, so
// it gets them read whole, in one pass, first.
void holdRowsForPrint();

}
