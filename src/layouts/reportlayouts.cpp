#include "layouts/reportlayouts.h"
#include "common/errors.h"
#include "data/tfrdm.h"

namespace qm::report {

namespace {
constexpr Align R = Align::Right;

LayoutDesc summaryDesc(const char* cls, const char* title, std::vector<Column> cols, std::vector<Total> totals)
{
    LayoutDesc d;
    d.className = QString::fromLatin1(cls);
    d.title = QString::fromUtf8(title);
    d.columns = std::move(cols);
    d.totals = std::move(totals);
    for (Total& t : d.totals) t.from = frdm->AQtotallist;
    return d;
}

std::vector<LayoutDesc> buildDescs()
{
    std::vector<LayoutDesc> v;
    v.push_back(summaryDesc("Tfrrintotal", "进货统计单",
                            {{"日期", "billdate", 22},
                             {"单据名", "billname", 18},
                             {"操作号", "djh", 16},
                             {"货号", "sphh", 22},
                             {"品名", "spmc", 40},
                             {"数量", "sl", 16, R},
                             {"单价", "dj_w", 18, R},
                             {"货款金额", "amount", 20, R},
                             {"付款金额", "pay", 18, R}},
                            {{"合计数量:", "hjsl", "sl"}, {"货款合计:", "amount", "amount"}, {"付款合计:", "pay", "pay"}}));
    v.push_back(summaryDesc("Tfrrouttotal", "销售统计单",
                            {{"日期 时间", "billdate", 32},
                             {"操作号", "djh", 12},
                             {"货品代码", "sphh", 20},
                             {"品名规格", "spmc", 34},
                             {"单位", "unit", 10},
                             {"数量", "sl", 14, R},
                             {"单价", "dj_n", 16, R},
                             {"金额", "amount", 18, R},
                             {"扣除金额", "deduck", 16, R},
                             {"备注", "remark", 18}},
                            {{"合计数量:", "hjsl", "sl"},
                             {"合计金额:", "amount", "amount"},
                             {"合计扣除:", "deduck", "deduck"},
                             {"毛利:", "pay", "remark"}}));
    v.push_back(summaryDesc("Tfrrgettotal", "收款统计单",
                            {{"日期", "billdate", 24},
                             {"单据名", "billname", 20},
                             {"操作号", "djh", 18},
                             {"银行编号", "sphh", 26},
                             {"银行名称", "spmc", 42},
                             {"金额", "amount", 30, R},
                             {"扣除金额", "deduck", 30, R}},
                            {{"合计：", "amount", "amount"}, {"", "deduck", "deduck"}}));
    v.push_back(summaryDesc("Tfrroutbacktotal", "销售退货统计单",
                            {{"日期", "billdate", 32},
                             {"单据名", "billname", 22},
                             {"货品代码", "sphh", 24},
                             {"品名规格", "spmc", 40},
                             {"单位", "unit", 12},
                             {"数量", "sl", 18, R},
                             {"单价", "dj_n", 20, R},
                             {"金额", "amount", 22, R}},
                            {{"退减毛利:", "pay", "spmc"}, {"合计数量:", "hjsl", "sl"}, {"合计金额:", "amount", "amount"}}));
    v.push_back(summaryDesc("Tfrrinbacktotal", "进货退货统计单",
                            {{"日期", "billdate", 24},
                             {"单据名", "billname", 22},
                             {"货号", "sphh", 24},
                             {"品名", "spmc", 56},
                             {"数量", "sl", 20, R},
                             {"单价", "dj_w", 20, R},
                             {"金额", "amount", 24, R}},
                            {{"合计：", "hjsl", "sl"}, {"", "amount", "amount"}}));
    v.push_back(summaryDesc("Tfrrputtotal", "付款统计单",
                            {{"日期", "billdate", 24},
                             {"供应商名", "customername", 50},
                             {"银行编号", "sphh", 26},
                             {"银行名称", "spmc", 40},
                             {"金额", "amount", 25, R},
                             {"扣除金额", "deduck", 25, R}},
                            {{"合计：", "amount", "amount"}, {"", "deduck", "deduck"}}));

    LayoutDesc cust;
    cust.className = QStringLiteral("Tfrrcusttotal");
    cust.title = QStringLiteral("客户汇总表");
    cust.landscape = true;
    cust.head = HeadStyle::Statement;
    cust.party = frdm->Aqcustomer;
    cust.remarkCaption = QStringLiteral("备注：");
    cust.columns = {{"日期", "billdate", 32},   {"单据名", "billname", 20}, {"操作号", "djh", 16},
                    {"编号", "sphh", 24},       {"名称", "spmc", 34},       {"规格型号", "remark", 24},
                    {"单位", "unit", 12},       {"单价", "dj_n", 20, R},    {"数量", "sl", 18, R},
                    {"金额", "amount", 24, R},  {"扣除金额", "deduck", 24, R}, {"累计金额", "rest", 29, R}};
    cust.totals = {{"总计：", "rest", "rest"}};
    v.push_back(cust);

    LayoutDesc bran;
    bran.className = QStringLiteral("Tfrrbrantotal");
    bran.title = QStringLiteral("供应商汇总表");
    bran.landscape = true;
    bran.head = HeadStyle::Statement;
    bran.printDateText = QStringLiteral("打印日期:%1");
    bran.party = frdm->AQbranch;
    bran.remarkCaption = QStringLiteral("备注：");
    bran.columns = {{"日期", "billdate", 32},  {"单据名", "billname", 18},  {"操作号", "djh", 14},
                    {"编号", "sphh", 22},      {"名称", "spmc", 30},        {"单位", "unit", 10},
                    {"件数", "js", 12, R},     {"数量/件", "sl_j", 14, R},  {"数量", "sl", 16, R},
                    {"进货价", "dj_w", 18, R}, {"金额", "amount", 22, R},   {"扣除金额", "deduck", 20, R},
                    {"付款金额", "pay", 22, R}, {"累计结余", "rest", 27, R}};
    bran.totals = {{"总计：", "rest", "rest"}};
    v.push_back(bran);

    LayoutDesc docs = bran;
    docs.className = QStringLiteral("Tfrrbrantotalist");
    docs.title = QStringLiteral("供应商对帐表");
    docs.columns = {{"日期", "billdate", 22},      {"单据号", "billtype", 16},   {"单据名称", "billname", 22},
                    {"摘     要", "remark", 80},   {"上期结转", "balance", 24, R}, {"数量", "hjsl", 20, R},
                    {"金额", "amount", 24, R},     {"扣除金额", "deduck", 22, R}, {"付款金额", "pay", 22, R},
                    {"累计结余", "rest", 25, R}};
    v.push_back(docs);

    LayoutDesc bank;
    bank.className = QStringLiteral("Tfrrbanktotal");
    bank.title = QStringLiteral("现金流水帐");
    bank.head = HeadStyle::Journal;
    bank.printDateText = QStringLiteral("打印日期:%1");
    bank.columns = {{"日期", "billdate", 32},       {"单据名", "billname", 22},  {"银行编号", "sphh", 24},
                    {"银行名称", "spmc", 32},       {"收款金额", "amount", 26, R}, {"付款金额", "pay", 26, R},
                    {"累计余额", "rest", 28, R}};
    bank.totals = {{"", "rest", "rest"}};
    v.push_back(bank);
    return v;
}

void head(Layout& r, const LayoutDesc& d)
{
    const double w = r.paper().usableWidth();
    Dataset* company = frdm->ATcompany;
    if (!company->active()) company->open();
    switch (d.head) {
    case HeadStyle::Summary:
        companyHead(r, company, d.title).system(w - 70, 17, 70, 5, SystemData::PrintDate).text(d.printDateText).right();
        break;
    case HeadStyle::Statement: {
        Band& b = r.pageHeader(34);
        b.field(0, 0, w, 10, company, QStringLiteral("name")).pt(18).bold().center();
        b.label(0, 11, w, 8, d.title).named(QStringLiteral("title")).pt(14).center();
        if (d.party) {
            b.field(0, 22, 60, 6, d.party, QStringLiteral("id")).text(QStringLiteral("编号：%1"));
            b.field(62, 22, 100, 6, d.party, QStringLiteral("name")).text(QStringLiteral("名称：%1"));
            b.field(0, 28, 100, 6, d.party, QStringLiteral("tel")).text(QStringLiteral("电话：%1"));
        }
        b.system(w - 70, 28, 70, 6, SystemData::PrintDate).text(d.printDateText).right();
        break;
    }
    case HeadStyle::Journal: {
        Band& b = r.pageHeader(36);
        b.field(0, 0, w, 10, company, QStringLiteral("name")).pt(18).bold().center();
        b.field(0, 11, w, 5, company, QStringLiteral("addr")).center();
        b.field(0, 16, w, 5, company, QStringLiteral("tel")).center();
        b.label(0, 22, w, 8, d.title).named(QStringLiteral("title")).pt(14).center();
        b.system(0, 31, 70, 5, SystemData::PrintDate).text(d.printDateText);
        b.system(w - 40, 31, 40, 5, SystemData::PageNumber).text(QStringLiteral("第%1页")).right();
        break;
    }
    }
}

void totals(Layout& r, const LayoutDesc& d)
{
    if (d.totals.empty() && d.remarkCaption.isEmpty()) return;
    const double w = r.paper().usableWidth();
    Band& s = r.summary(d.remarkCaption.isEmpty() ? 14 : 21);
    s.hrule(0, 0.5, w);
    for (const Total& t : d.totals) {
        double x = 0, cw = 0;
        for (const Column& c : d.columns) {
            if (c.field == t.under) {
                cw = c.width;
                break;
            }
            x += c.width;
        }
        if (cw == 0) throw AppError(QStringLiteral("no column %1 in %2").arg(t.under, d.className));
        if (!t.caption.isEmpty()) s.label(x, 1.5, cw, 6, t.caption).bold().right();
        Element& e = t.from ? s.field(x, 7.5, cw, 6, t.from, t.field) : s.field(x, 7.5, cw, 6, t.field);
        e.right().bold().named(QStringLiteral("total_") + t.field);
    }
    if (!d.remarkCaption.isEmpty() && d.party)
        s.field(0, 14.5, w, 6, d.party, QStringLiteral("remark")).text(d.remarkCaption + QStringLiteral("%1"));
}
}

LayoutDesc layoutDesc(const QString& className)
{
    for (const LayoutDesc& d : buildDescs())
        if (d.className == className) return d;
    throw AppError(QStringLiteral("unknown layout %1").arg(className));
}

std::unique_ptr<Layout> buildLayout(const LayoutDesc& d, Dataset* rows)
{
    auto r = std::make_unique<Layout>();
    r->ReportTitle = reportTitle();
    r->setPaper(d.landscape ? Paper::a4Landscape() : Paper::a4Portrait());
    r->setDataset(rows);
    head(*r, d);
    r->addColumns(d.columns);
    totals(*r, d);
    if (d.head != HeadStyle::Journal)
        r->pageFooter(8).system(0, 1, r->paper().usableWidth(), 6, SystemData::PageNumber).text(QStringLiteral("第%1页")).center();
    return r;
}

std::unique_ptr<Layout> buildLayout(const QString& className, Dataset* rows)
{
    return buildLayout(layoutDesc(className), rows);
}

}
