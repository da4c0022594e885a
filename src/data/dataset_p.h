#pragma once
// What the dataset's files share (dataset.cpp, datasetediting.cpp,
// datasetpaging.cpp). Not for use outside the dataset.
#include <QtGlobal>
#include <limits>

namespace qm::detail {

// The kind of value a cell holds.
enum : quint8 { TagNull = 0, TagInt = 1, TagReal = 2, TagText = 3, TagLongText = 4 };

// The rowid of a row whose page of rowids is not read yet.
constexpr qint64 kUnknownRowid = std::numeric_limits<qint64>::min();

}
