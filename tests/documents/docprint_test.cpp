// The printed purchase and purchase return.
#include "documents/docdata.h"
#include "documents/purchase.h"
#include "layouts/tfrrindetail.h"
#include <QDir>

using namespace qm;
using namespace qm::doc;
using namespace doctest;

namespace {
class DocPrintTest : public AppFixture {
protected:
    QString doc;

    void SetUp() override
    {
        AppFixture::SetUp();
        supplier("0000000007", QStringLiteral("供应商甲"), 200);
        db().exec("UPDATE company SET name=:n, tel='0571-88886666'", {{"n", QStringLiteral("  百货超市 ")}});
        for (int i = 1; i <= 60; ++i) product(QString::number(100 + i), QStringLiteral("商品%1号").arg(i), 0, 0, 1.25 * i);
    }

    void fill(const DocDesc& d, int rows)
    {
        doc = newDocument(db(), d);
        for (int i = 1; i <= rows; ++i) {
            if (i > 1) addRow(db(), d, doc);
            fillLast(d, doc, QString::number(100 + i), i, 1.25 * i, i == 1 ? 5 : 0);
        }
        recalc(db(), d, doc, input("7"));
        frdm->AQoutlist->setSql(QStringLiteral("SELECT * from %1").arg(d.headerTable));
        frdm->AQoutlist->open();
        frdm->AQoutdetail->setSql(QStringLiteral("select * from %1 where mainintno=:p1 order by intno").arg(d.detailTable));
        frdm->AQoutdetail->setParam("p1", doc);
        frdm->AQoutdetail->open();
        frdm->ATcompany->open();
    }

    static void keepPdf(report::Layout& r, const QString& name)
    {
        const QString dir = qEnvironmentVariable("QM_SHOTS");
        if (!dir.isEmpty() && QDir().mkpath(dir)) r.writePdf(dir + "/" + name + ".pdf");
    }
};
}

TEST_F(DocPrintTest, PurchaseLayoutHeadsCountsAndRightAlignsMoney)
{
    const DocDesc& d = purchaseDesc();
    fill(d, 12);
    auto r = d.makeLayout({frdm->AQoutlist, frdm->AQoutdetail});
    const int pages = report::fillDocumentLabels(*r, QStringLiteral("百货超市进货单"), QStringLiteral("管理员"));
    EXPECT_EQ(pages, 1);
    const report::Page& p = r->pages().front();
    for (const char* t : {"百货超市进货单", "共  1 页", "管理员", "供应商名:", "供应商甲", "单号:", "0000000001", "货品代码",
                          "付款", "累计结余", "收货人：", "本次付款:", "上期结转"})
        EXPECT_NE(p.find(QString::fromUtf8(t)), nullptr) << t;
    // Money with two decimals, right-aligned in its box; the header's totals too.
    const report::PageText* price = p.find("15.00");
    ASSERT_NE(price, nullptr);
    EXPECT_EQ(price->align, report::Align::Right);
    EXPECT_NE(p.find("200.00"), nullptr);
    keepPdf(*r, "purchase-layout");
}

TEST_F(DocPrintTest, LongDocumentsCountTheirPagesAndReturnsDropThePayColumns)
{
    fill(purchaseDesc(), 45);
    auto r = purchaseDesc().makeLayout({frdm->AQoutlist, frdm->AQoutdetail});
    const int pages = report::fillDocumentLabels(*r, "t", "p");
    EXPECT_GT(pages, 1);
    EXPECT_NE(r->pages().back().find(QStringLiteral("共  %1 页").arg(pages)), nullptr);

    const DocDesc& ret = purchaseReturnDesc();
    fill(ret, 3);
    auto b = ret.makeLayout({frdm->AQoutlist, frdm->AQoutdetail});
    report::fillDocumentLabels(*b, QStringLiteral("百货超市进货退货单"), QStringLiteral("管理员"));
    const report::Page& p = b->pages().front();
    EXPECT_NE(p.find(QStringLiteral("退货人：")), nullptr);
    EXPECT_NE(p.find("0571-88886666"), nullptr);
    EXPECT_EQ(p.find(QStringLiteral("付款")), nullptr);
    EXPECT_EQ(p.find(QStringLiteral("累计结余")), nullptr);
}
