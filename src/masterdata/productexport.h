#pragma once
// The product list's spreadsheet export: the products of the export query
// written as a workbook, one product a row under a row of headings.
#include <QString>
#include <functional>

class QWidget;

namespace qm {
class Dataset;
}

namespace qm::product {

// The export query: every product, or the marked ones; ordered by barcode
// while the list is sorted by type, else in the table's order.
QString exportSql(bool markedOnly, bool sortedByType);

// The chosen file name, trimmed, with ".xlsx" added unless it ends so in any
// case (a name ending in ".xls" gets its "x").
QString exportFileName(const QString& chosen);

// The heading of an exported column, by the product column it shows.
QString exportHeading(const QString& column);

// Writes the rows of `rows` from its first row, its columns in their order,
// under their headings, into a workbook at `path`. Texts are written as text
// (codes keep their leading zeros, nothing is read as a formula), numbers as
// numbers. The file is built beside `path` and put in its place only when
// complete, so a failure leaves any earlier file as it was. `progress` is
// told the rows written so far. False with `error` set on a failure.
bool writeWorkbook(Dataset& rows, const QString& path, const std::function<void(int done, int total)>& progress,
                   QString* error);

// 全部导出为EXCEL文件 (markedOnly false) and 选择部分导出为EXCEL文件 from the
// product list `list`: the question, the file chooser, the export with its
// progress, then the completion message and the file opened, or the failure.
void exportProducts(QWidget* list, bool markedOnly);

}
