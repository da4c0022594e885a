#pragma once
// "库存商品盘点表": code and name of each product with four empty cells for
// the counts written by hand.
#include "layouts/report.h"

namespace qm {
class Dataset;
}

class Tfrrproduct1 : public qm::report::Layout {
public:
    explicit Tfrrproduct1(qm::Dataset* products);
};
