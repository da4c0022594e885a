#pragma once
// The printed lists of members and suppliers: one row per record, and the
// members four across a line.
#include "layouts/report.h"

namespace qm {
enum class PartnerReport { Customers, Suppliers, CustomersAcross };
// Re-queries every record of the table (a search selection is dropped), goes
// to the first one and shows the layout in the preview.
void printPartners(PartnerReport which);
}

// "客户资料": 编号, 客户名称, 期初应收, 电话, 应收累计 of Aqcustomer.
class Tfrrcustomer : public qm::report::Layout {
public:
    Tfrrcustomer();
};

// "供应商资料": the same columns over AQbranch.
class Tfrrbranch : public qm::report::Layout {
public:
    Tfrrbranch();
};

// "客户资料" with four members (编号 and 客户名称) across each line.
class Tfrrcustomers : public qm::report::Layout {
public:
    Tfrrcustomers();
    static constexpr int across = 4;
};
