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

    auto& head = pageHeader(22).firstPageOnly();
    head.field(0, 0, 54, 6, company, QStringLiteral("name")).named(QStringLiteral("company")).pt(10).bold().center();
    head.field(0, 7, 54, 4.5, header, QStringLiteral("intno")).text(QStringLiteral("单号:%1"));
    head.field(0, 11.5, 34, 4.5, header, QStringLiteral("billdate")).text(QStringLiteral("日期:%1"));
    head.system(34, 11.5, 20, 4.5, SystemData::PrintTime).right();
    head.hrule(0, 17, 54);

    // 54 mm of printable width: name 25, quantity 7, price 11, amount 11; the
    // rows in a smaller size so that a name of ten characters fits.
    struct Col {
        const char* caption;
        const char* field;
        double x, w;
    };
    static const Col cols[] = {{"品名规格", "spmc", 0, 25}, {"数量", "sl", 25, 7}, {"单价", "dj_n", 32, 11}, {"金额", "amount", 43, 11}};
    auto& captions = columnHeader(6);
    auto& row = detail(4.5);
    for (const Col& c : cols) {
        const Align a = c.x > 0 ? Align::Right : Align::Left;
        captions.label(c.x, 0.5, c.w, 4.5, QString::fromUtf8(c.caption)).align(a);
        row.field(c.x, 0, c.w, 4.5, QString::fromLatin1(c.field)).align(a).pt(7);
    }
    captions.hrule(0, 5.5, 54);

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
