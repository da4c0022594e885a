#pragma once
// The printed purchase and purchase return: the supplier's head, one boxed
// line per row, and the document's totals, on A4 portrait. The window fills
// the labels "title" (company name + bill name), "pagecount" ("共  n 页") and
// "preparer" (the operator's name) after a first preparation.
#include "layouts/report.h"

namespace qm { class Dataset; }

class Tfrrindetail : public qm::report::Layout {
public:
    // `header` positioned on the document; `rows` its rows.
    Tfrrindetail(qm::Dataset* header, qm::Dataset* rows);
};

class Tfrrinbackdetail : public qm::report::Layout {
public:
    Tfrrinbackdetail(qm::Dataset* header, qm::Dataset* rows);
};

namespace qm::report {
// The head of a document's pages: the title label, the party named under
// `partyCaption`, its telephone and address (`addressField` of the header),
// the number, the date, the page number and the page-count label.
void documentHead(Layout& r, qm::Dataset* header, const QString& partyCaption, const QString& addressField);
// The document's rows as a ruled table, then the header's totals four to a
// line, the preparer and the line to sign on.
void documentBody(Layout& r, qm::Dataset* header, qm::Dataset* rows, const std::vector<Column>& columns,
                  const std::vector<QPair<QString, QString>>& totals, const QString& signer);
// Title, page count and preparer of a document layout (the window's part).
// Prepares the layout and returns its page count.
int fillDocumentLabels(Layout& r, const QString& title, const QString& preparer);
}
