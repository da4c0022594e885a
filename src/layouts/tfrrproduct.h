#pragma once
// Product layouts: the stock table of products (one product a line) and the
// product catalogue with three products across a line.
#include "layouts/report.h"

namespace qm {
class Dataset;
}

// The head of the product lists: the company's name, the title (the label
// "title") and the print date. Returns the page header.
qm::report::Band& productListHead(qm::report::Layout& r, const QString& title);

// "库存商品情况表" over a product dataset. The title is the label "title"; the
// two summary captions are "SummaryCaption1" and "SummaryCaption2". Without
// totals the summary carries only its captions.
class Tfrrproduct : public qm::report::Layout {
public:
    explicit Tfrrproduct(qm::Dataset* products, bool withTotals = true);
};

// "商品资料", three products to a line, filled by the need-data handler: code,
// name, retail price and remark of each product (labels "cell0".."cell11").
class Tfrrproducts : public qm::report::Layout {
public:
    explicit Tfrrproducts(qm::Dataset* products);

private:
    qm::Dataset* products_;
    bool started_ = false;
};
