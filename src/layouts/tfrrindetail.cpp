#include "layouts/tfrrindetail.h"
#include "data/tfrdm.h"

using namespace qm::report;

namespace qm::report {
// Title, party, telephone, number, address, date and the page count.
void documentHead(Layout& r, qm::Dataset* h, const QString& partyCaption, const QString& addressField)
{
    Band& b = r.pageHeader(30);
    b.label(0, 0, 190, 9, QString()).named("title").pt(15).bold().center();
    b.label(0, 12, 20, 6, partyCaption);
    b.field(20, 12, 70, 6, h, "customername");
    b.label(92, 12, 20, 6, QStringLiteral("联系电话:"));
    b.field(112, 12, 35, 6, h, "tel");
    b.label(148, 12, 12, 6, QStringLiteral("单号:"));
    b.field(160, 12, 30, 6, h, "intno");
    b.label(0, 19, 20, 6, QStringLiteral("联系地址:"));
    b.field(20, 19, 70, 6, h, addressField);
    b.label(92, 19, 12, 6, QStringLiteral("日期:"));
    b.field(104, 19, 40, 6, h, "billdate");
    b.system(148, 19, 18, 6, SystemData::PageNumber).text(QStringLiteral("第%1页"));
    b.label(166, 19, 24, 6, QString()).named("pagecount");
}

void documentBody(Layout& r, qm::Dataset* h, qm::Dataset* rows, const std::vector<Column>& columns,
                  const std::vector<QPair<QString, QString>>& totals, const QString& signer)
{
    r.setDataset(rows);
    r.addColumns(columns);
    const int lines = int(totals.size() + 3) / 4;
    Band& s = r.summary(10 + 7 * lines);
    for (size_t i = 0; i < totals.size(); ++i) {
        const double x = (i % 4) * 48, y = 2 + (i / 4) * 7;
        s.label(x, y, 20, 6, totals[i].first);
        s.field(x + 20, y, 26, 6, h, totals[i].second).right();
    }
    const double y = 3 + lines * 7;
    s.label(0, y, 16, 6, QStringLiteral("制表人:"));
    s.label(16, y, 40, 6, QString()).named("preparer");
    s.label(70, y, 50, 6, signer);
}
}

namespace {
// The supplier's head over the goods.
void goodsBody(Layout& r, qm::Dataset* h, qm::Dataset* rows, const std::vector<Column>& columns,
               const std::vector<QPair<QString, QString>>& totals, const QString& signer)
{
    documentHead(r, h, QStringLiteral("供应商名:"), QStringLiteral("addr"));
    documentBody(r, h, rows, columns, totals, signer);
}
}

Tfrrindetail::Tfrrindetail(qm::Dataset* header, qm::Dataset* rows)
{
    goodsBody(*this, header, rows,
              {{QStringLiteral("货品代码"), "sphh", 26},
               {QStringLiteral("货品名称"), "spmc", 44},
               {QStringLiteral("单位"), "unit", 12},
               {QStringLiteral("数量"), "sl", 18, Align::Right},
               {QStringLiteral("单价"), "dj_w", 20, Align::Right},
               {QStringLiteral("金额"), "amount", 24, Align::Right},
               {QStringLiteral("付款"), "pay", 22, Align::Right},
               {QStringLiteral("累计结余"), "rest", 24, Align::Right}},
              {{QStringLiteral("上期余额:"), "balance"},
               {QStringLiteral("合计数量:"), "hjsl"},
               {QStringLiteral("本次金额:"), "amount"},
               {QStringLiteral("本次付款:"), "pay"},
               {QStringLiteral("结余:"), "rest"}},
              QStringLiteral("收货人："));
}

Tfrrinbackdetail::Tfrrinbackdetail(qm::Dataset* header, qm::Dataset* rows)
{
    goodsBody(*this, header, rows,
              {{QStringLiteral("货品代码"), "sphh", 30},
               {QStringLiteral("货品名称"), "spmc", 62},
               {QStringLiteral("单位"), "unit", 16},
               {QStringLiteral("数量"), "sl", 24, Align::Right},
               {QStringLiteral("单价"), "dj_w", 28, Align::Right},
               {QStringLiteral("金额"), "amount", 30, Align::Right}},
              {{QStringLiteral("上期余额:"), "balance"},
               {QStringLiteral("合计数量:"), "hjsl"},
               {QStringLiteral("本次金额:"), "amount"},
               {QStringLiteral("结余:"), "rest"}},
              QStringLiteral("退货人："));
    summary().field(130, 10, 60, 6, frdm->ATcompany, "tel");
}

namespace qm::report {
int fillDocumentLabels(Layout& r, const QString& title, const QString& preparer)
{
    const int pages = r.Prepare();
    r.setCaption(QStringLiteral("pagecount"), QStringLiteral("共  ") + QString::number(pages) + QStringLiteral(" 页"));
    r.setCaption(QStringLiteral("preparer"), preparer);
    r.setCaption(QStringLiteral("title"), title);
    return pages;
}
}
