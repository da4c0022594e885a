#pragma once
// The printed sales return: the customer's head, one boxed line per row and
// the document's totals, on A4 portrait. The window fills "title", "pagecount"
// and "preparer" as for the other documents.
#include "layouts/report.h"

namespace qm { class Dataset; }

class Tfrroutbackdetail : public qm::report::Layout {
public:
    // `header` positioned on the document; `rows` its rows.
    Tfrroutbackdetail(qm::Dataset* header, qm::Dataset* rows);
};
