#pragma once
// The printed purchase and purchase return: the supplier's head, one boxed
// line per row, and the document's totals, on A4 portrait. The window fills
// the labels "title" (company name + bill name), "pagecount" ("共  n 页") and
// "preparer" (the operator's name) after a first preparation.
#include "layouts/report.h"
#include <QPair>
#include <vector>

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
// The body of a printed goods document: the head (documentHead), the rows as a
// ruled table, the totals (caption, header field) four to a line, the
// preparer and `signer`'s line to sign on. Returns the top of that last line
// in the summary band.
double goodsBody(Layout& r, qm::Dataset* header, qm::Dataset* rows, const QString& partyCaption,
                 const QString& addressField, const std::vector<Column>& columns,
                 const std::vector<QPair<QString, QString>>& totals, const QString& signer);
// The head of a printed document: the title (label "title"), the party under
// `partyCaption`, its telephone, the number, the address from `addressField`,
// the date, the page number and the page count (label "pagecount").
Band& documentHead(Layout& r, qm::Dataset* header, const QString& partyCaption, const QString& addressField);
// One "caption: value" pair of a summary band, the value right-aligned.
void documentTotal(Band& b, double x, double y, double w, const QString& caption, qm::Dataset* header,
                   const QString& field);
// Title, page count and preparer of a document layout (the window's part).
// Prepares the layout and returns its page count.
int fillDocumentLabels(Layout& r, const QString& title, const QString& preparer);
}
