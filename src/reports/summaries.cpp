#include "reports/summaries.h"
#include "common/errors.h"
#include "data/tfrdm.h"

namespace qm::reports {

namespace {

const QString kPosted = QStringLiteral("spmc<>'上期结转' and pass=1 and (cancel is null or cancel=0) and ");
const QString kSalesSums = QStringLiteral("total(sl),total(js),total(amount),total(deduck),total(amount-sl*dj_w),total(rest)");

std::vector<SummaryDesc> buildDescs()
{
    std::vector<SummaryDesc> v;

    SummaryDesc in;
    in.kind = SummaryKind::Purchases;
    in.className = QStringLiteral("Tfrintotal");
    in.caption = QStringLiteral("进货汇总表");
    in.menuItems = {QStringLiteral("N89")};
    in.rowTable = QStringLiteral("indetail");
    in.totalsColumns = QStringLiteral("hjsl,hjjs,amount,deduck,pay,rest");
    in.sums = QStringLiteral("total(sl),total(js),total(amount),total(deduck),total(pay),total(rest)");
    in.filters = {{"Edit2", "供应商号", "customerid", "p3", "双击选取供应商", 4, false},
                  {"Edit3", "货品号", "sphh", "p4", {}, 0, false}};
    in.boxes = {{"Edit4", "合计金额", "amount", 2, 2}, {"Edit5", "付款合计", "pay", 2, 2}, {"Edit6", "合计数量", "hjsl", 0, 2}};
    in.grid = {{"customerid", "供应商号"}, {"customername", "供应商名称"}, {"billdate", {}}, {"sphh", {}}, {"spmc", {}},
               {"unit", {}}, {"sl", {}}, {"amount", {}}, {"pay", "付款金额"}, {"remark", "备注"}};
    in.refreshCaption = QStringLiteral("流水帐");
    in.today = TodayRule::BothToday;
    in.printRunsFirst = false;
    in.grouped = true;
    in.layout = QStringLiteral("Tfrrintotal");
    in.statusText = QStringLiteral("在供应商号、货品号文本框输入供应商号、货品号时，可按某供应商或某货品进行汇总，"
                                   "当供应商号和货品号为空时，对全部流水进行汇总。");
    in.closeSql = QStringLiteral("SELECT * from inlist");
    v.push_back(in);

    SummaryDesc op;
    op.kind = SummaryKind::ProductSales;
    op.className = QStringLiteral("Tfrouttotalp");
    op.caption = QStringLiteral("商品销售汇总表");
    op.menuItems = {QStringLiteral("N72")};
    op.rowTable = QStringLiteral("outdetail");
    op.totalsColumns = QStringLiteral("hjsl,hjjs,amount,deduck,pay,rest");
    op.sums = kSalesSums;
    op.filters = {{"Edit2", "会员号", "customerid", "p3", "双击选取会员", 3, false},
                  {"Edit3", "货品号", "sphh", "p4", {}, 0, false}};
    op.boxes = {{"Edit4", "合计金额", "amount", 2, 2}, {"Edit5", "合计扣除", "deduck", 2, 2},
                {"Edit6", "毛利", "pay", 2, 2}, {"Edit7", "合计数量", "hjsl", 2, 2}};
    op.grid = {{"customerid", "会员号"}, {"customername", {}}, {"billdate", {}}, {"sphh", {}}, {"spmc", "品名规格"},
               {"unit", {}}, {"sl", {}}, {"dj_n", "单价"}, {"amount", {}}, {"deduck", {}}};
    op.refreshCaption = QStringLiteral("流水帐");
    op.today = TodayRule::TodayAndTomorrow;
    op.printRunsFirst = false;
    op.grouped = true;
    op.layout = QStringLiteral("Tfrrouttotal");
    op.statusText = QStringLiteral("在会员号、货品号文本框输入会员号、货品号时，可按某会员或某货品进行汇总，"
                                   "当会员号和货品号为空时，对全部流水进行汇总。");
    op.closeSql = QStringLiteral("SELECT * from outlist");
    op.closesTotals = true;
    v.push_back(op);

    SummaryDesc out;
    out.kind = SummaryKind::Sales;
    out.className = QStringLiteral("Tfrouttotal");
    out.caption = QStringLiteral("销售汇总表-日期为当日时为日报表");
    out.menuItems = {QStringLiteral("N73"), QStringLiteral("N60")};
    out.rowTable = QStringLiteral("outdetail");
    out.totalsColumns = QStringLiteral("hjsl,hjjs,amount,deduck,pay,rest");
    out.sums = kSalesSums;
    out.filters = {{"Edit1", "操作员号", "djh", "p3", {}, 0, false}};
    out.boxes = op.boxes;
    out.grid = {{"customername", {}}, {"billdate", {}}, {"sphh", {}}, {"spmc", "品名规格"}, {"unit", {}},
                {"sl", {}}, {"dj_n", "单价"}, {"amount", {}}, {"deduck", {}}};
    out.refreshCaption = QStringLiteral("刷新");
    out.today = TodayRule::TodayAndTomorrow;
    out.layout = QStringLiteral("Tfrrouttotal");
    out.closeSql = QStringLiteral("SELECT * from outlist");
    out.closesTotals = true;
    v.push_back(out);

    SummaryDesc get;
    get.kind = SummaryKind::Receipts;
    get.className = QStringLiteral("Tfrgettotal");
    get.caption = QStringLiteral("收款汇总表");
    get.menuItems = {QStringLiteral("N61")};
    get.rowTable = QStringLiteral("getdetail");
    get.totalsColumns = QStringLiteral("hjss,hjjs,amount,deduck,pay,rest");
    get.sums = QStringLiteral("total(ss),total(js),total(amount),total(deduck),total(pay),total(rest)");
    get.boxes = {{"Edit4", "合计金额", "amount", 2, 2}, {"Edit5", "合计扣除", "deduck", 2, 2}};
    get.grid = {{"customername", {}}, {"billdate", {}}, {"sphh", "银行编号"}, {"spmc", "银行名称"},
                {"amount", {}}, {"deduck", {}}};
    get.refreshCaption = QStringLiteral("刷新");
    get.layout = QStringLiteral("Tfrrgettotal");
    get.closeSql = QStringLiteral("SELECT * from getlist");
    v.push_back(get);

    SummaryDesc ob;
    ob.kind = SummaryKind::SalesReturns;
    ob.className = QStringLiteral("Tfroutbacktotal");
    ob.caption = QStringLiteral("销售退货汇表");
    ob.menuItems = {QStringLiteral("N62")};
    ob.rowTable = QStringLiteral("outbackdetail");
    ob.totalsColumns = QStringLiteral("hjss,hjjs,amount,deduck,pay,hjsl");
    ob.sums = QStringLiteral("total(ss),total(js),total(amount),total(deduck),total(amount-sl*dj_w),total(sl)");
    ob.boxes = {{"Edit4", "合计金额", "amount", 2, 2}, {"Edit5", "退减毛利", "pay", 2, 2}, {"Edit6", "合计数量", "hjsl", 2, 2}};
    ob.grid = {{"customername", {}}, {"billdate", {}}, {"sphh", {}}, {"spmc", "品名规格"}, {"unit", {}},
               {"sl", {}}, {"dj_n", "单价"}, {"amount", {}}};
    ob.refreshCaption = QStringLiteral("刷新");
    ob.layout = QStringLiteral("Tfrroutbacktotal");
    ob.closeSql = QStringLiteral("SELECT * from outbacklist");
    v.push_back(ob);

    SummaryDesc ib;
    ib.kind = SummaryKind::PurchaseReturns;
    ib.className = QStringLiteral("Tfrinbacktotal");
    ib.caption = QStringLiteral("进货退货汇总表");
    ib.menuItems = {QStringLiteral("N90")};
    ib.rowTable = QStringLiteral("inbackdetail");
    ib.totalsColumns = QStringLiteral("hjss,hjjs,amount,deduck,pay,hjsl");
    ib.sums = QStringLiteral("total(ss),total(js),total(amount),total(deduck),total(pay),total(sl)");
    ib.boxes = {{"Edit4", "合计金额", "amount", 2, 2}, {"Edit5", "合计数量", "hjsl", 2, 2}};
    ib.grid = {{"customername", "供应商名称"}, {"billdate", {}}, {"sphh", {}}, {"spmc", {}}, {"unit", {}},
               {"sl", {}}, {"amount", {}}};
    ib.refreshCaption = QStringLiteral("刷新");
    ib.layout = QStringLiteral("Tfrrinbacktotal");
    v.push_back(ib);

    SummaryDesc put;
    put.kind = SummaryKind::Payments;
    put.className = QStringLiteral("Tfrputtotal");
    put.caption = QStringLiteral("付款汇总表");
    put.menuItems = {QStringLiteral("N96")};
    put.rowTable = QStringLiteral("putdetail");
    put.totalsColumns = QStringLiteral("hjss,hjjs,amount,deduck,pay,rest");
    put.sums = QStringLiteral("total(ss),total(js),total(amount),total(deduck),total(pay),total(rest)");
    put.filters = {{"Edit2", "供应商号", "customerid", "p3", {}, 0, true}};
    put.boxes = {{"Edit4", "合计金额", "amount", 2, 2}, {"Edit5", "合计扣除", "deduck", 2, 2}};
    put.grid = {{"customerid", "供应商号"}, {"customername", "供应商名"}, {"billdate", {}}, {"sphh", "银行编号"},
                {"spmc", "银行名称"}, {"amount", {}}, {"deduck", {}}};
    put.refreshCaption = QStringLiteral("刷新");
    put.layout = QStringLiteral("Tfrrputtotal");
    put.closeSql = QStringLiteral("SELECT * from putlist");
    v.push_back(put);
    return v;
}

// The condition of a run and its parameters.
struct Where {
    QString sql;
    Params params;
};

Where whereOf(const SummaryDesc& d, const DateRange& r, const FilterValues& values)
{
    Where w{kPosted + QLatin1String(rangeCondition()), rangeParams(r)};
    for (size_t i = 0; i < d.filters.size(); ++i) {
        const QString v = i < size_t(values.size()) ? values[int(i)].trimmed() : QString();
        if (v.isEmpty()) continue;
        const SummaryFilter& f = d.filters[i];
        w.sql += QStringLiteral(" and %1=:%2").arg(f.column, f.param);
        w.params.append({f.param, v});
    }
    return w;
}

// totallist := one row of sums (inside the caller's transaction). The sums are
// total(), 0 over no rows: the sales window's turnover continues from this
// row's amount, and a NULL there would swallow every sale posted after it.
void writeTotals(const SummaryDesc& d, const Where& w)
{
    Connection& c = frdm->ADOCon;
    c.exec(QStringLiteral("delete from totallist"));
    c.exec(QStringLiteral("insert into totallist(%1) select %2 from %3 where %4").arg(d.totalsColumns, d.sums, d.rowTable, w.sql),
           w.params);
}

// A run's rows grow with the history: the grid and the print read them block
// by block instead of holding every row. 分类汇总's few rows are held whole.
void showRows(const QString& sql, const Params& params, bool onDemand)
{
    frdm->AQoutdetail->close();
    frdm->AQoutdetail->setFetchOnDemand(onDemand);
    frdm->AQoutdetail->reopen(sql, params);
}
}

const SummaryDesc& summaryDesc(SummaryKind kind)
{
    static const std::vector<SummaryDesc> descs = buildDescs();
    for (const auto& d : descs)
        if (d.kind == kind) return d;
    throw AppError(QStringLiteral("unknown summary"));
}

const std::vector<SummaryKind>& allSummaryKinds()
{
    static const std::vector<SummaryKind> all = {SummaryKind::Purchases,    SummaryKind::ProductSales,
                                                 SummaryKind::Sales,        SummaryKind::Receipts,
                                                 SummaryKind::SalesReturns, SummaryKind::PurchaseReturns,
                                                 SummaryKind::Payments};
    return all;
}

void runSummary(const SummaryDesc& d, const DateRange& r, const FilterValues& filters)
{
    const Where w = whereOf(d, r, filters);
    frdm->AQtotallist->close();
    {
        Transaction t(frdm->ADOCon);
        writeTotals(d, w);
        t.commit();
    }
    frdm->AQtotallist->open();
    // Rows of one moment keep the order they were written in.
    showRows(QStringLiteral("select * from %1 where %2 order by billdate, mainintno, intno").arg(d.rowTable, w.sql),
             w.params, true);
}

void runGroupedSummary(const SummaryDesc& d, const DateRange& r, const FilterValues& filters)
{
    const Where w = whereOf(d, r, filters);
    Connection& c = frdm->ADOCon;
    frdm->AQtotallist->close();
    frdm->AQoutdetail->close();
    {
        Transaction t(c);
        writeTotals(d, w);
        c.exec(QStringLiteral("delete from custtotal"));
        c.exec(QStringLiteral("insert into custtotal(spintno,sphh,spmc,unit,sl,amount,deduck,pay) "
                              "select spintno,sphh,spmc,unit,sum(sl),sum(amount),sum(deduck),sum(pay) from %1 "
                              "where %2 group by spintno,sphh,spmc,unit")
                   .arg(d.rowTable, w.sql),
               w.params);
        t.commit();
    }
    frdm->AQtotallist->open();
    showRows(QStringLiteral("select * from custtotal order by spintno, rowid"), {}, false);
}

void holdRowsForPrint()
{
    Dataset* rows = frdm->AQoutdetail;
    if (!rows->fetchOnDemand()) return;
    const bool wasOpen = rows->active();
    rows->close();
    rows->setFetchOnDemand(false);
    if (wasOpen) rows->open();
}

}
