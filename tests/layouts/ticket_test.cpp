#include "layouts/tfrroutdetail_s.h"
#include "data/numbering.h"
#include "support/fixture.h"

using namespace qm::report;

namespace {
class SaleTicket : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        auto& c = frdm->ADOCon;
        c.exec("DELETE FROM company");
        c.exec("INSERT INTO company(name) VALUES('好又多超市')");
        c.exec("INSERT INTO outlist(intno, billdate, amount) VALUES('0000000007', '2026-03-09 10:20:30', 123.5)");
        qm::Transaction t(c);
        for (int i = 1; i <= 60; ++i)
            c.exec("INSERT INTO outdetail(intno, mainintno, spmc, sl, dj_n, amount, pay, rest) "
                   "VALUES(:p1, '0000000007', :p2, 1, 2, 2, :p3, :p4)",
                   {{"p1", qm::zeroPad(i, 10)}, {"p2", QStringLiteral("商品%1").arg(i)}, {"p3", i == 60 ? 150.0 : 0.0},
                    {"p4", i == 60 ? 26.5 : 0.0}});
        t.commit();
        frdm->AQoutlist->setSql("SELECT * from outlist");
        frdm->AQoutlist->open();
        frdm->AQoutdetail->setSql("select * from outdetail where mainintno=:p1");
        frdm->AQoutdetail->setParam("p1", "0000000007");
        frdm->AQoutdetail->open();
    }
};
}

TEST_F(SaleTicket, HeadOnTheFirstSheetTotalsAfterTheLastRow)
{
    Tfrroutdetail_s r(frdm->AQoutlist, frdm->AQoutdetail, frdm->ATcompany);
    EXPECT_EQ(r.ReportTitle, "Velkan打印预览");
    EXPECT_DOUBLE_EQ(r.paper().width, 58);
    EXPECT_DOUBLE_EQ(r.paper().length, 200);
    EXPECT_DOUBLE_EQ(r.paper().left, 2);
    const int pages = r.Prepare();
    ASSERT_GE(pages, 2);
    const auto& first = r.pages().front();
    const auto& last = r.pages().back();
    EXPECT_TRUE(first.find("好又多超市"));
    EXPECT_TRUE(first.find("单号:0000000007"));
    EXPECT_FALSE(last.find("好又多超市"));
    EXPECT_FALSE(first.find("合计:"));
    ASSERT_TRUE(last.find("合计:"));
    // The totals read the header and the last row, where the tender wrote the cash.
    const QStringList texts = last.textList();
    EXPECT_TRUE(texts.contains("欢迎光临,多谢惠顾!"));
    const auto* total = last.find("123.50");
    const auto* cash = last.find("150.00");
    const auto* change = last.find("26.50");
    EXPECT_TRUE(total && cash && change) << texts.join('|').toStdString();
    // Every row is printed once.
    int rows = 0;
    for (const auto& p : r.pages())
        for (const auto& t : p.texts)
            if (t.band == BandKind::Detail && t.text.startsWith("商品")) ++rows;
    EXPECT_EQ(rows, 60);
}
