#pragma once
// The sale's ticket: 58 mm wide paper, 200 mm a sheet, the shop's head on the
// first sheet only and the totals after the last row. Over the sale's rows,
// with the header fields from the sale's header dataset.
#include "layouts/report.h"

namespace qm {
class Dataset;
}

class Tfrroutdetail_s : public qm::report::Layout {
public:
    Tfrroutdetail_s(qm::Dataset* header, qm::Dataset* rows, qm::Dataset* company);
};
