#include "layouts/tfrroutdetail_s.h"
#include "data/dataset.h"

using namespace qm::report;

Tfrroutdetail_s::Tfrroutdetail_s(qm::Dataset* header, qm::Dataset* rows, qm::Dataset* company)
{
    setPaper(Paper::custom(58, 200, 2));
    setDataset(rows);
    setPointSize(8);
    setPreviewFitWidth(true);
    ReportTitle = reportTitle();
    if (company && !company->active()) company->open();

    // 54 mm of printable width: name 24, quantity 8, price 11, amount 11.
    auto& head = pageHeader(22).firstPageOnly();
    head.field(0, 0, 54, 6, company, QStringLiteral("name")).named(QStringLiteral("company")).pt(10).bold().center();
    head.field(0, 7, 54, 4.5, header, QStringLiteral("intno")).text(QStringLiteral("单号:%1"));
    head.field(0, 11.5, 34, 4.5, header, QStringLiteral("billdate")).text(QStringLiteral("日期:%1"));
    head.system(34, 11.5, 20, 4.5, SystemData::PrintTime).right();
    head.hrule(0, 17, 54);

    auto& columns = columnHeader(6);
    columns.label(0, 0.5, 24, 4.5, QStringLiteral("品名规格"));
    columns.label(24, 0.5, 8, 4.5, QStringLiteral("数量")).right();
    columns.label(32, 0.5, 11, 4.5, QStringLiteral("单价")).right();
    columns.label(43, 0.5, 11, 4.5, QStringLiteral("金额")).right();
    columns.hrule(0, 5.5, 54);

    auto& row = detail(4.5);
    row.field(0, 0, 24, 4.5, QStringLiteral("spmc"));
    row.field(24, 0, 8, 4.5, QStringLiteral("sl")).right();
    row.field(32, 0, 11, 4.5, QStringLiteral("dj_n")).right();
    row.field(43, 0, 11, 4.5, QStringLiteral("amount")).right();

    // The cash lines read the last row: the one the tender wrote.
    auto& sum = summary(24);
    sum.hrule(0, 0.5, 54);
    sum.label(0, 1.5, 12, 4.5, QStringLiteral("合计:"));
    sum.field(12, 1.5, 42, 4.5, header, QStringLiteral("amount")).named(QStringLiteral("total")).right();
    sum.label(0, 6, 12, 4.5, QStringLiteral("现金:"));
    sum.field(12, 6, 42, 4.5, QStringLiteral("pay")).named(QStringLiteral("cash")).right();
    sum.label(0, 10.5, 12, 4.5, QStringLiteral("找零:"));
    sum.field(12, 10.5, 42, 4.5, QStringLiteral("rest")).named(QStringLiteral("change")).right();
    sum.label(0, 16, 54, 5, QStringLiteral("欢迎光临,多谢惠顾!")).center();

    pageFooter(0).lastPageOnly();
}
