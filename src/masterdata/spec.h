#pragma once
// Units of measure (kind "02") and product categories (kind "03"): the short
// code lists of table spec, numbered "01".."99" within their kind.
#include <QString>

namespace qm {
class Dataset;

namespace spec {
// Caption of the list window: "计量单位" or "商品类别".
QString listCaption(const QString& kind);
// Caption of the entry window: "计量单位修改", "商品类别修改", ...
QString editCaption(const QString& kind);
// The message shown when a kind already uses its last two-digit number.
QString numbersUsedUpMessage();

// Points the list dataset at the entries of one kind and opens it.
void openKind(Dataset& list, const QString& kind);

// Adds an entry under the next number of its kind, re-opens the list on the
// kind and leaves the new row current. Numbers go up to "99"; past that the
// message above is shown and qm::SilentStop thrown, nothing written.
// Returns the number given.
QString addEntry(Dataset& list, const QString& kind, const QString& name);
// Renames the current entry.
void renameEntry(Dataset& list, const QString& name);
}
}
