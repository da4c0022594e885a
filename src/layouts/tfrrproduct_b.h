#pragma once
// "库存商品期初情况表": the products with their opening stock.
#include "layouts/report.h"

namespace qm {
class Dataset;
}

class Tfrrproduct_b : public qm::report::Layout {
public:
    explicit Tfrrproduct_b(qm::Dataset* products);
};
