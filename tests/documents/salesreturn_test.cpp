// The sales return's windows and layout: entered at the member's price,
// posted back into stock and off the customer, printed, reversed.
#include "app/tfrmain.h"
#include "documents/docwindows.h"
#include "documents/sale.h"
#include "documents/saledata.h"
#include "layouts/tfrrindetail.h"
#include "layouts/tfrroutbackdetail.h"
#include <QLineEdit>

using namespace qm::doc;

TEST_F(SaleShop, SalesReturnEnteredPostedPrintedAndReversed)
{
    frmain->docMode = "T";
    auto* w = qobject_cast<EntryWindow*>(openEntryWindow(DocKind::SalesReturn, frmain));
    ASSERT_TRUE(w);
    EXPECT_EQ(w->windowTitle(), "销售退货明细单");
    EXPECT_EQ(w->box("Edit12")->toolTip(), "输入货品代码后按回车键则自动录入商品,单价为默认超市价");
    w->box("Edit2")->setText("2");
    w->Edit2Exit();
    EXPECT_EQ(w->box("Edit9")->text(), QStringLiteral("东街3号"));
    w->box("Edit12")->setText("1002");
    w->Edit12Enter();
    EXPECT_EQ(w->box("Edit5")->text(), "11.00"); // the member's price
    const QString no = w->docIntno();
    w->ToolButton4Click();
    EXPECT_DOUBLE_EQ(customerBalance("0000000002"), 109);
    EXPECT_DOUBLE_EQ(headerValue("outbacklist", no, "rest").toDouble(), 109);
    EXPECT_DOUBLE_EQ(stock("1002"), 11);
    EXPECT_EQ(frdm->ADOCon.scalar("SELECT billtype||billname FROM outbackdetail").toString(), "05销售退货单");

    frdm->AQoutlist->close();
    frdm->AQoutlist->setSql("SELECT * from outbacklist");
    frdm->AQoutlist->open();
    ASSERT_TRUE(frdm->AQoutlist->locate("intno", no));
    frdm->AQoutdetail->close();
    frdm->AQoutdetail->setSql("select * from outbackdetail where mainintno=:p1");
    frdm->AQoutdetail->setParam("p1", no);
    frdm->AQoutdetail->open();
    Tfrroutbackdetail r(frdm->AQoutlist, frdm->AQoutdetail);
    EXPECT_EQ(qm::report::fillDocumentLabels(r, QStringLiteral("好又多销售退货单"), QStringLiteral("管理员")), 1);
    const QStringList texts = r.pages().front().textList();
    for (const char* t : {"好又多销售退货单", "顾客名称:", "李四", "5550101", "东街3号", "规格型号", "YESS", "共  1 页",
                          "管理员", "结余:", "109.00"})
        EXPECT_TRUE(texts.contains(QString::fromUtf8(t))) << t << "\n" << texts.join('|').toStdString();

    // Stock sold again meanwhile: the reversal warns and goes on.
    frdm->ADOCon.exec("UPDATE product SET sl=0 WHERE sphh='1002'");
    auto* v = qobject_cast<PostedView*>(openPostedView(DocKind::SalesReturn, nullptr));
    ASSERT_TRUE(v);
    dialogs->clear();
    v->ToolButton6Click();
    EXPECT_EQ(dialogs->messages(), (QStringList{"确实要冲数该单据吗?", "一二三四五六七八九十的库存数量不足！"}));
    EXPECT_DOUBLE_EQ(customerBalance("0000000002"), 120);
    EXPECT_DOUBLE_EQ(stock("1002"), -1);
}

// A return opens recalculated: totals left stale by whoever wrote it are put right.
TEST_F(SaleShop, SalesReturnOpensRecalculated)
{
    const QString no = salesReturn("0000000002", {{"1002", 2, 5}});
    frdm->ADOCon.exec("UPDATE outbacklist SET amount=0, hjsl=0");
    frmain->docMode = "F";
    frmain->docIntno = no;
    frdm->AQoutlist->reopen("SELECT * from outbacklist");
    auto* w = qobject_cast<EntryWindow*>(openEntryWindow(DocKind::SalesReturn, frmain));
    ASSERT_TRUE(w);
    EXPECT_EQ(w->box("Edit5")->text(), "10.00");
    EXPECT_EQ(w->box("Edit14")->text(), "2");
    w->close();
}
