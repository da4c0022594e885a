#pragma once
// What the dataset's files share (dataset.cpp, datasetediting.cpp). Not for
// use outside the dataset.
#include <QtGlobal>

namespace qm::detail {

// The kind of value a cell holds.
enum : quint8 { TagNull = 0, TagInt = 1, TagReal = 2, TagText = 3, TagLongText = 4 };

}
