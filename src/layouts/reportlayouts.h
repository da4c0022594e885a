#pragma once
// The printed layouts of the report windows: the six summary layouts, the
// three statements and the cash journal. Each is a description (title, paper,
// columns, totals, head) read by one builder.
#include "layouts/report.h"
#include <memory>

namespace qm {
class Dataset;

namespace report {

// A total printed in the summary band under the column of `under`, with its
// caption in the same column just above it.
struct Total {
    QString caption;
    QString field;
    QString under;
    Dataset* from = nullptr; // nullptr: the last row of the master dataset
};

// What the head of the page shows besides the company's name and the title.
enum class HeadStyle {
    Summary,   // company, title, print date
    Statement, // company large, party code, name and telephone, title, print date
    Journal,   // company large with address and telephone, title, print date and page
};

struct LayoutDesc {
    QString className;     // Tfrrintotal
    QString title;
    bool landscape = false;
    HeadStyle head = HeadStyle::Summary;
    QString printDateText = QStringLiteral("打印日期：%1");
    std::vector<Column> columns;
    std::vector<Total> totals;
    // Statements: the party's query, whose current row gives code, name, telephone and remark.
    Dataset* party = nullptr;
    QString remarkCaption; // "备注：" printed with the party's remark after the totals
};

// The description of a layout by its class name; throws when unknown.
LayoutDesc layoutDesc(const QString& className);
// Builds the layout over `rows` (the dataset its detail bands walk).
std::unique_ptr<Layout> buildLayout(const LayoutDesc& d, Dataset* rows);
std::unique_ptr<Layout> buildLayout(const QString& className, Dataset* rows);

}
}
