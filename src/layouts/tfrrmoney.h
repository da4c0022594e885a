#pragma once
// The printed receipt and payment: the partner's head, one boxed line per
// account row (the carried-forward row included), and the document's totals.
// The window fills the labels "title", "pagecount" and "preparer" as for
// the other documents (fillDocumentLabels).
#include "layouts/report.h"

namespace qm { class Dataset; }

class Tfrrgetdetail : public qm::report::Layout {
public:
    // `header` positioned on the document; `rows` its rows.
    Tfrrgetdetail(qm::Dataset* header, qm::Dataset* rows);
};

class Tfrrputdetail : public qm::report::Layout {
public:
    Tfrrputdetail(qm::Dataset* header, qm::Dataset* rows);
};
