#include "data/numbering.h"
#include "layouts/tfrrproduct.h"
#include "masterdata/partnerlist.h"
#include "masterdata/productgrid.h"
#include "masterdata/productlogic.h"
#include "masterdata/productsupport.h"
#include "masterdata/tfrproduct.h"
#include "masterdata/tfrproductedit.h"
#include "shell/commands.h"
#include "support/fixture.h"
#include "support/rowsread.h"
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableView>
#include <QTest>

using namespace qm;

namespace {
class ProductList : public AppFixture {
protected:
    TFrproduct* list = nullptr;

    void SetUp() override
    {
        AppFixture::SetUp();
        Clock::setFixed(QDateTime(QDate(2026, 12, 6), QTime(10, 0)));
    }
    void TearDown() override
    {
        delete list;
        delete frproductedit;
        AppFixture::TearDown();
    }
    Connection& db() { return frdm->ADOCon; }
    void openFromMenu()
    {
        ASSERT_TRUE(runCommand("N14"));
        list = Frproduct;
        ASSERT_NE(list, nullptr);
        list->setAttribute(Qt::WA_DeleteOnClose, false);
    }
    QStringList listedCodes()
    {
        QStringList out;
        Dataset* p = frdm->Aqproduct;
        for (int r = 0; r < p->recordCount(); ++r) out << p->valueAt(r, p->fieldIndex("sphh")).toString();
        return out;
    }
    void search(const QString& field, const QString& text, bool exact = false)
    {
        list->ComboBox1->setCurrentText(field);
        list->RadioExact->setChecked(exact);
        list->RadioFuzzy->setChecked(!exact);
        if (list->ComboBox2->isVisible() || !list->Edit1->isVisible()) list->ComboBox2->setCurrentText(text);
        else list->Edit1->setText(text);
        list->ToolButton6Click();
    }
    int count() { return db().scalar("select count(*) from product").toInt(); }
    // Products `prefix`00001 and on, in code order as in table order.
    void addMany(const QString& prefix, int from, int to)
    {
        Transaction t(db());
        Statement st(db().handle(), "INSERT INTO product (intno,sphh,spmc) VALUES (:i,:c,:m)");
        for (int i = from; i <= to; ++i) {
            st.reset();
            st.bind({{"i", zeroPad(i, 8)}, {"c", prefix + zeroPad(i, 5)}, {"m", QStringLiteral("商品%1").arg(i)}});
            st.step();
        }
        t.commit();
    }
    // The codes the grid shows, row by row.
    QStringList gridCodes(int from = 0, int to = -1)
    {
        ProductGridModel* m = list->gridModel();
        QStringList out;
        for (int r = from; r < (to < 0 ? m->rowCount() : to); ++r) out << m->data(m->index(r, 2), Qt::DisplayRole).toString();
        return out;
    }
    QStringList storedCodes()
    {
        QStringList out;
        for (const QVariantList& r : db().rows("select sphh from product order by sphh")) out << r[0].toString();
        return out;
    }
};
}

TEST_F(ProductList, SearchModesAndBoundaries)
{
    qmtest::addProduct(db(), {"312", QStringLiteral("雪碧"), "XB", 0, "", QStringLiteral("饮料"), QStringLiteral("华联")});
    qmtest::addProduct(db(), {"1234", QStringLiteral("可口可乐"), "KKKL", 0, "", QStringLiteral("饮料")});
    qmtest::addProduct(db(), {"12", QStringLiteral("可乐糖"), "KLT", 0, "", QStringLiteral("糖果"), QStringLiteral("华联超市")});
    qmtest::addProduct(db(), {"120", QStringLiteral("百事可乐"), "BSKL"});
    openFromMenu();
    EXPECT_EQ(frdm->Aqproduct->sql(), "SELECT * from product\norder by sphh");
    EXPECT_EQ(list->StatusPanel3->text(), QStringLiteral("记录数:4")); // counted from the start
    EXPECT_EQ(list->ComboBox1->currentText(), QStringLiteral("货品代码"));
    EXPECT_TRUE(list->RadioFuzzy->isChecked());

    search(QStringLiteral("货品代码"), "12", true);
    EXPECT_EQ(listedCodes(), (QStringList{"12", "120", "1234"}));
    EXPECT_EQ(list->StatusPanel3->text(), QStringLiteral("记录数:3"));
    search(QStringLiteral("货品代码"), " 12 ", false);
    EXPECT_EQ(listedCodes(), (QStringList{"12", "120", "1234", "312"}));
    search(QStringLiteral("货品代码"), "");
    EXPECT_EQ(listedCodes(), (QStringList{"12", "120", "1234", "312"}));
    EXPECT_EQ(list->StatusPanel3->text(), QStringLiteral("记录数:4"));

    search(QStringLiteral("品名规格"), QStringLiteral("可乐"), true);
    EXPECT_EQ(listedCodes(), (QStringList{"12"}));
    search(QStringLiteral("品名规格"), QStringLiteral("可乐"), false);
    EXPECT_EQ(listedCodes(), (QStringList{"12", "120", "1234"}));
    search(QStringLiteral("拼音首字"), "kl", true); // always contains, any case
    EXPECT_EQ(listedCodes(), (QStringList{"12", "120", "1234"}));

    // Typed text is a bound pattern, never SQL.
    search(QStringLiteral("品名规格"), "') or 1=1 --");
    EXPECT_TRUE(listedCodes().isEmpty());
    EXPECT_EQ(count(), 4);

    list->ComboBox1->setCurrentText(QStringLiteral("类别"));
    EXPECT_FALSE(list->Edit1->isVisibleTo(list));
    EXPECT_TRUE(list->ComboBox2->isVisibleTo(list));
    list->ComboBox2->setCurrentText(QStringLiteral("饮料")); // a change of the chooser searches at once
    EXPECT_EQ(listedCodes(), (QStringList{"1234", "312"}));
    search(QStringLiteral("供应商"), QStringLiteral("华联"));
    EXPECT_EQ(listedCodes(), (QStringList{"12", "312"}));

    // A chooser text that names no field leaves the query as it was.
    list->ComboBox1->setCurrentText(QStringLiteral("条码"));
    list->ToolButton6Click();
    EXPECT_EQ(listedCodes(), (QStringList{"12", "312"}));
    EXPECT_EQ(list->StatusPanel3->text(), QStringLiteral("记录数:2"));
}

TEST_F(ProductList, ExpirySearchSkipsProductsWithoutDate)
{
    qmtest::addProduct(db(), {"A", "expired", "", 0, "2026-12-05"});
    qmtest::addProduct(db(), {"B", "today", "", 0, "2026-12-06"});
    qmtest::addProduct(db(), {"C", "in 90 days", "", 0, "2027-03-06"});
    qmtest::addProduct(db(), {"D", "in 182 days", "", 0, "2027-06-06"});
    qmtest::addProduct(db(), {"E", "in 183 days", "", 0, "2027-06-07"});
    qmtest::addProduct(db(), {"F", "no date"});
    db().exec("insert into product (intno, sphh, enddate) values ('00000099', 'G', '')");
    openFromMenu();
    auto sorted = [this]() { QStringList l = listedCodes(); l.sort(); return l; };
    search(QStringLiteral("有效期"), QStringLiteral("已过期"));
    EXPECT_EQ(sorted(), (QStringList{"A"}));
    search(QStringLiteral("有效期"), QStringLiteral("三个月到期"));
    EXPECT_EQ(sorted(), (QStringList{"A", "B", "C"}));
    search(QStringLiteral("有效期"), QStringLiteral("半年内到期"));
    EXPECT_EQ(sorted(), (QStringList{"A", "B", "C", "D"}));
    search(QStringLiteral("有效期"), QStringLiteral("其他"));
    EXPECT_EQ(listedCodes().size(), 7);

    // The grid shows a missing date as an empty cell.
    search(QStringLiteral("货品代码"), "F");
    EXPECT_EQ(list->gridModel()->data(list->gridModel()->index(0, 13), Qt::DisplayRole).toString(), "");
    search(QStringLiteral("货品代码"), "A");
    EXPECT_EQ(list->gridModel()->data(list->gridModel()->index(0, 13), Qt::DisplayRole).toString(), "2026-12-05");
}

TEST_F(ProductList, PriceColumnsFlagPersists)
{
    openFromMenu();
    for (int c : TFrproduct::priceColumns()) EXPECT_FALSE(list->DBGrid1->isColumnHidden(c));
    EXPECT_EQ(list->N1->text(), QStringLiteral("隐藏进货价"));
    list->N1Click();
    for (int c : TFrproduct::priceColumns()) EXPECT_TRUE(list->DBGrid1->isColumnHidden(c));
    EXPECT_FALSE(list->DBGrid1->isColumnHidden(11));
    EXPECT_EQ(list->N1->text(), QStringLiteral("显示进货价"));
    list->close();
    delete list;
    list = nullptr;

    openFromMenu();
    for (int c : TFrproduct::priceColumns()) EXPECT_TRUE(list->DBGrid1->isColumnHidden(c));
}

TEST_F(ProductList, MarksAndMarkedDeletion)
{
    qmtest::addProduct(db(), {"1", "a"});
    qmtest::addProduct(db(), {"2", "b", "", 5});
    qmtest::addProduct(db(), {"3", "c"});
    openFromMenu();
    search(QStringLiteral("货品代码"), "1");
    list->toggleMark();
    EXPECT_EQ(db().scalar("select szbj from product where sphh='1'").toInt(), 1);
    EXPECT_EQ(list->gridModel()->data(list->gridModel()->index(0, 0), Qt::CheckStateRole).toInt(), int(Qt::Checked));
    EXPECT_EQ(list->gridModel()->data(list->gridModel()->index(0, 2), Qt::ForegroundRole).value<QColor>(), QColor(Qt::blue));
    list->toggleMark();
    EXPECT_EQ(db().scalar("select szbj from product where sphh='1'").toInt(), 0);

    // Nothing marked.
    dialogs->inputs = {"123456"};
    list->N11Click();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("没有选定要删除记录!"));
    EXPECT_EQ(listedCodes(), (QStringList{"1"})); // the search ran again

    // 选择所有商品 marks every product, also those not listed.
    list->N12Click();
    EXPECT_EQ(db().scalar("select count(*) from product where szbj=1").toInt(), 3);
    list->N14Click();
    EXPECT_EQ(listedCodes(), (QStringList{"1", "2", "3"}));

    // Wrong password, then an operator other than 999: nothing deleted.
    dialogs->clear();
    dialogs->inputs = {"bad"};
    list->N11Click();
    EXPECT_EQ(dialogs->shown[0].caption, QStringLiteral("提示信息"));
    EXPECT_EQ(dialogs->shown[0].text, QStringLiteral("请输入操作员密码,以防误操作..........."));
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("输入操作员密码错误,请重新操作！"));
    loginAs("001");
    dialogs->inputs = {"123456"};
    list->N11Click();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("该用户无此权限,请用999登录系统！"));
    EXPECT_EQ(count(), 3);

    // The stock question, then the question over the marked products.
    loginAs("999");
    dialogs->clear();
    dialogs->inputs = {"123456"};
    dialogs->answers = {Answer::Cancel};
    list->N11Click();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("该商品的库存量不为0,是否要删除?"));
    EXPECT_EQ(count(), 3);
    dialogs->clear();
    dialogs->inputs = {"123456"};
    dialogs->answers = {Answer::Ok, Answer::Cancel};
    list->N11Click();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("确实要删除所选如下记录吗?"));
    EXPECT_EQ(count(), 3);
    dialogs->inputs = {"123456"};
    dialogs->answers = {Answer::Ok, Answer::Ok};
    list->N11Click();
    EXPECT_EQ(count(), 0);

    qmtest::addProduct(db(), {"4", "d"});
    list->N12Click();
    list->N6Click();
    EXPECT_EQ(db().scalar("select count(*) from product where szbj=1").toInt(), 0);
}

TEST_F(ProductList, SingleDeletionChecksInOrder)
{
    qmtest::addProduct(db(), {"1", "a", "", 2});
    qmtest::addProduct(db(), {"2", "b"});
    openFromMenu();

    dialogs->inputs = {"wrong"};
    list->ToolButton3Click();
    EXPECT_EQ(dialogs->messages(), QStringList{QStringLiteral("输入操作员密码错误,请重新操作！")});
    loginAs("001");
    dialogs->clear();
    dialogs->inputs = {" 123456 "};
    list->ToolButton3Click();
    EXPECT_EQ(dialogs->messages(), QStringList{QStringLiteral("该用户无此权限,请用999登录系统！")});
    loginAs("999");

    // Stock question; then the data module's confirmation.
    dialogs->clear();
    dialogs->inputs = {"123456"};
    dialogs->answers = {Answer::Cancel};
    list->ToolButton3Click();
    EXPECT_EQ(dialogs->messages(), QStringList{QStringLiteral("该商品的库存量不为0,是否要删除?")});
    dialogs->clear();
    dialogs->inputs = {"123456"};
    dialogs->answers = {Answer::Ok, Answer::Cancel};
    list->ToolButton3Click();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("确实要删除当前记录吗?"));
    EXPECT_EQ(count(), 2);
    dialogs->clear();
    dialogs->inputs = {"123456"};
    dialogs->answers = {Answer::Ok, Answer::Ok};
    list->ToolButton3Click();
    EXPECT_EQ(count(), 1);

    // Stock 0: only the confirmation.
    dialogs->clear();
    dialogs->inputs = {"123456"};
    list->ToolButton3Click();
    EXPECT_EQ(dialogs->messages(), QStringList{QStringLiteral("确实要删除当前记录吗?")});
    EXPECT_EQ(count(), 0);
    dialogs->clear();
    dialogs->inputs = {"123456"};
    list->ToolButton3Click(); // empty list: no message after the password
    EXPECT_TRUE(dialogs->messages().isEmpty());
}

TEST_F(ProductList, SortByTypeRefusesAddAndChange)
{
    qmtest::addProduct(db(), {"1", "a"});
    openFromMenu();
    EXPECT_FALSE(list->N3->isVisible());
    list->N3Click();
    EXPECT_EQ(frmain->sortedByType, 1);
    list->ToolButton1Click();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("排序状态不能添加资料，请用右击取消类型排序!"));
    list->ToolButton2Click();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("排序状态不能修改资料，请用右击取消类型排序!"));
    EXPECT_EQ(frproductedit, nullptr);
    list->ToolButton6Click();
    EXPECT_EQ(frmain->sortedByType, 0);

    list->ToolButton2Click();
    ASSERT_NE(frproductedit, nullptr);
    EXPECT_EQ(frmain->editMode, "F");
    EXPECT_EQ(frmain->currentIntno, "00000001");
    EXPECT_FALSE(list->isEnabled());
    EXPECT_TRUE(frproductedit->isEnabled());
    frproductedit->setAttribute(Qt::WA_DeleteOnClose, false);
    frproductedit->close();
    EXPECT_TRUE(list->isEnabled());
}

TEST_F(ProductList, PickIntoDocumentRow)
{
    qmtest::addProduct(db(), {"00007", QStringLiteral("可口可乐"), "KKKL", 0, "", "", "", 3.5, 2.2});
    db().exec("update product set spbzxh='瓶', sl_j=24");
    db().exec("insert into indetail (intno, spmc) values ('0000000001', '上期结转'), ('0000000002', '')");
    frdm->AQoutdetail->setSql("select * from indetail order by intno");
    frdm->AQoutdetail->open();
    frdm->Aqproduct->setSql("SELECT * from product");

    auto* opener = new QWidget;
    opener->setObjectName("frindetail");
    list = TFrproduct::openForPick(opener, 2);
    list->setAttribute(Qt::WA_DeleteOnClose, false);
    EXPECT_EQ(frmain->pickCode, 2);
    EXPECT_TRUE(frdm->Aqproduct->active());

    // Never into the carried-forward row.
    list->ToolButton7Click();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("明细表中的第一行为上期结转行,不能删除或修改"));
    EXPECT_EQ(db().scalar("select sphh from indetail where intno='0000000001'").toString(), "");
    EXPECT_TRUE(list->isVisible());

    frdm->AQoutdetail->next();
    list->ToolButton7Click();
    auto row = db().rows("select spintno,sphh,spmc,unit,sl_j,dj_n,dj_w,ss,js,sl from indetail where intno='0000000002'").front();
    EXPECT_EQ(row[0].toString(), "00000001");
    EXPECT_EQ(row[1].toString(), "00007");
    EXPECT_EQ(row[2].toString(), QStringLiteral("可口可乐"));
    EXPECT_EQ(row[3].toString(), QStringLiteral("瓶"));
    EXPECT_DOUBLE_EQ(row[4].toDouble(), 24);
    EXPECT_DOUBLE_EQ(row[5].toDouble(), 3.5); // the retail price
    EXPECT_DOUBLE_EQ(row[6].toDouble(), 2.2);
    EXPECT_DOUBLE_EQ(row[9].toDouble(), 1);
    EXPECT_FALSE(list->isVisible());
    EXPECT_EQ(frmain->pickCode, 0);
    delete list;
    list = nullptr;

    // The list closes with its opener and writes nothing afterwards.
    db().exec("update indetail set sphh='' where intno='0000000002'");
    frdm->AQoutdetail->requery();
    frdm->AQoutdetail->last();
    TFrproduct* second = TFrproduct::openForPick(opener, 2);
    QPointer<TFrproduct> guard = second;
    delete opener;
    EXPECT_TRUE(guard.isNull() || !guard->isVisible());
    EXPECT_EQ(db().scalar("select sphh from indetail where intno='0000000002'").toString(), "");
}

TEST_F(ProductList, PickFromMenuOpensEditorAndOtherCodesDoNothing)
{
    openFromMenu();
    list->ToolButton7Click(); // empty list
    EXPECT_EQ(frproductedit, nullptr);
    qmtest::addProduct(db(), {"1", "a"});
    list->ToolButton6Click();
    list->ToolButton7Click();
    ASSERT_NE(frproductedit, nullptr);
    EXPECT_EQ(frmain->editMode, "F");
    delete frproductedit;

    // A double-click on the grid does the same, on the selection column too,
    // where it also marks the product (the status bar's hint).
    list->show();
    list->setEnabled(true); // the editor just deleted gave it back no close
    for (int column : {10, 0}) {
        const QRect cell = list->DBGrid1->visualRect(list->DBGrid1->model()->index(0, column));
        ASSERT_TRUE(cell.isValid()) << column;
        QTest::mouseDClick(list->DBGrid1->viewport(), Qt::LeftButton, {}, cell.center());
        ASSERT_NE(frproductedit, nullptr) << column;
        delete frproductedit;
        list->setEnabled(true);
    }
    EXPECT_EQ(db().scalar("select szbj from product").toInt(), 1);

    delete list;
    list = nullptr;

    // Opened by a window whose code the product list does not serve.
    auto* opener = new QWidget;
    list = TFrproduct::openForPick(opener, 3);
    list->setAttribute(Qt::WA_DeleteOnClose, false);
    list->ToolButton7Click();
    EXPECT_EQ(frproductedit, nullptr);
    list->N10Click();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("由单据转到商品表的状态不能查明细帐！"));
    delete list;
    list = nullptr;
    delete opener;
}

TEST_F(ProductList, PickerKeepsItsOwnCodeWhenAnotherPickerCloses)
{
    qmtest::addProduct(db(), {"00007", QStringLiteral("可口可乐"), "KKKL", 0, "", "", "", 3.5, 2.2});
    db().exec("insert into indetail (intno, spmc) values ('0000000001', '')");
    frdm->AQoutdetail->setSql("select * from indetail");
    frdm->AQoutdetail->open();
    frdm->Aqproduct->setSql("SELECT * from product");
    // A purchase window opened from the menu keeps the main window disabled.
    frmain->setEnabled(false);
    auto* opener = new QWidget;
    (new QLineEdit(opener))->setObjectName("Edit2");
    list = TFrproduct::openForPick(opener, 2);
    list->setAttribute(Qt::WA_DeleteOnClose, false);
    // The supplier picker of the same window comes and goes meanwhile.
    QPointer<PartnerList> suppliers = openPartnerPick(PartnerKind::Supplier, opener, 2);
    suppliers->ToolButton15Click();
    EXPECT_EQ(frmain->pickCode, 0);

    list->ToolButton7Click(); // still a pick into the row, not the editor
    EXPECT_EQ(frproductedit, nullptr);
    EXPECT_EQ(db().scalar("select sphh from indetail").toString(), "00007");
    EXPECT_FALSE(list->isVisible());
    EXPECT_FALSE(frmain->isEnabled()); // the purchase window still holds it
    delete list;
    list = nullptr;
    delete opener;
    frmain->setEnabled(true);
}

TEST_F(ProductList, PrintedLayouts)
{
    db().exec("update company set name='Velkan便利店'");
    for (int i = 1; i <= 7; ++i)
        qmtest::addProduct(db(), {QString("0000%1").arg(i), QStringLiteral("商品%1").arg(i), "", double(i), "", "", "", i + 0.5});
    openFromMenu();
    search(QStringLiteral("货品代码"), "00001");
    ASSERT_EQ(frdm->Aqproduct->recordCount(), 1);

    frdm->ATcompany->open();
    Tfrrproduct one(frdm->Aqproduct, false);
    one.setCaption("SummaryCaption1", "");
    one.setCaption("SummaryCaption2", "");
    ASSERT_EQ(one.Prepare(), 1);
    QStringList texts = one.pages()[0].textList();
    EXPECT_TRUE(texts.contains(QStringLiteral("库存商品情况表")));
    EXPECT_TRUE(texts.contains(QStringLiteral("Velkan便利店")));
    EXPECT_TRUE(texts.contains(QStringLiteral("打印日期:2026-12-06")));
    EXPECT_TRUE(texts.contains("00001"));
    EXPECT_FALSE(texts.contains("00002"));
    EXPECT_FALSE(texts.contains(QStringLiteral("库存数量合计:")));

    list->ToolButton5Click();
    EXPECT_EQ(dialogs->shown.back().kind, "exec");
    EXPECT_EQ(dialogs->shown.back().caption, QStringLiteral("Velkan打印预览"));

    // 多栏打印 drops the search and prints every product, three to a line.
    list->N7Click();
    EXPECT_EQ(frdm->Aqproduct->recordCount(), 7);
    Tfrrproducts three(frdm->Aqproduct);
    ASSERT_EQ(three.Prepare(), 1);
    const auto& page = three.pages()[0];
    int lines = 0;
    for (const auto& b : page.bands) lines += b.kind == report::BandKind::Detail;
    EXPECT_EQ(lines, 3);
    QStringList t = page.textList();
    EXPECT_EQ(t.count(QStringLiteral("货品代码")), 3);
    EXPECT_TRUE(t.contains(QStringLiteral("商品7")));
    EXPECT_TRUE(t.contains("7.5"));
    EXPECT_EQ(three.Prepare(), 1); // prepared again from the first product
    EXPECT_TRUE(three.pages()[0].textList().contains(QStringLiteral("商品1")));
}

// 5,000 products are read as the grid shows them; 记录数 stays true after every
// product added or deleted, and a new product is shown whole at the end.
TEST_F(ProductList, ManyProductsAreReadAsTheyAreShown)
{
    // Codes rising, barcodes falling, every tenth a cola.
    {
        Transaction t(db());
        Statement st(db().handle(), "INSERT INTO product (intno,sphh,name,spmc) VALUES (:i,:c,:b,:m)");
        for (int i = 1; i <= 5000; ++i) {
            st.reset();
            st.bind({{"i", zeroPad(i, 8)}, {"c", zeroPad(i, 5)}, {"b", "69" + zeroPad(5000 - i, 11)},
                     {"m", (i % 10 ? QStringLiteral("饼干") : QStringLiteral("可乐")) + QString::number(i)}});
            st.step();
        }
        t.commit();
    }
    qmtest::RowsRead read(db().handle());
    openFromMenu();
    list->show();
    ProductGridModel* m = list->gridModel();
    auto code = [m](int row) { return m->data(m->index(row, 2), Qt::DisplayRole).toString(); };
    auto shown = [&] { return (code(0) + " " + code(m->rowCount() - 1) + " " + list->StatusPanel3->text()).toStdString(); };
    // The first screen and 记录数 come from the index and one count, not from every product.
    EXPECT_EQ(code(0), "00001");
    EXPECT_LT(read.rows(), 2000);
    EXPECT_EQ(shown(), "00001 05000 记录数:5000");

    // A mark far down is stored at once and drawn in blue.
    list->DBGrid1->setCurrentIndex(m->index(3999, 0));
    list->toggleMark();
    EXPECT_EQ(db().scalar("select szbj from product where sphh='04000'").toInt(), 1);
    EXPECT_EQ(m->data(m->index(3999, 2), Qt::ForegroundRole).value<QColor>(), QColor(Qt::blue));
    EXPECT_FALSE(m->data(m->index(3998, 2), Qt::ForegroundRole).isValid());

    // A search, and the sort by type over every product.
    search(QStringLiteral("品名规格"), QStringLiteral("可乐"));
    EXPECT_EQ(shown(), "00010 05000 记录数:500");
    list->N3Click();
    EXPECT_EQ(code(0) + " " + code(4999), "05000 00001");
    list->N4Click();

    // A new product saved from the editor reads what the grid shows, is
    // counted, and stays current at the end, shown whole.
    search(QStringLiteral("货品代码"), "");
    read.restart();
    list->ToolButton1Click();
    ASSERT_NE(frproductedit, nullptr);
    frproductedit->Edit7->setText("N1");
    frproductedit->Edit8->setText(QStringLiteral("新品"));
    frproductedit->Button1Click();
    EXPECT_LT(read.rows(), 2000);
    QApplication::processEvents();
    EXPECT_EQ(frdm->Aqproduct->recNo(), 5000);
    EXPECT_EQ(shown(), "00001 N1 记录数:5001");
    const QRect row = list->DBGrid1->visualRect(m->index(5000, 1));
    EXPECT_TRUE(list->DBGrid1->viewport()->rect().contains(row)) << row.y() << " " << list->DBGrid1->viewport()->height();
    frproductedit->close();

    // Deleted, and a new row given up before it is stored.
    dialogs->inputs = {"123456"};
    list->ToolButton3Click();
    EXPECT_EQ(list->StatusPanel3->text(), QStringLiteral("记录数:5000"));
    frdm->Aqproduct->append();
    frdm->Aqproduct->cancel();
    EXPECT_EQ(list->StatusPanel3->text(), QStringLiteral("记录数:5000"));
}

// Another program adds and deletes products while the list is open. Every
// block of the list is read after the last product of the block above it (or
// before the first of the block below it, from the far end), so no product
// shows twice and none is left out between two blocks. The count stays as it
// was at opening: a product added in a block already read, or beyond the
// count, shows once the list is read again; one deleted reads as empty.
TEST_F(ProductList, ProductsAddedOrDeletedElsewhereShowOnceAcrossTheBlocks)
{
    addMany("B", 1, 3000);
    Connection other;
    other.open(db().path());
    openFromMenu();
    const QStringList opened = storedCodes();

    // The first screen is shown; a product comes before its end, one goes further down.
    EXPECT_EQ(gridCodes(0, 30), opened.mid(0, 30));
    other.exec("INSERT INTO product (intno,sphh) VALUES ('90000001','B00500A')");
    other.exec("DELETE FROM product WHERE sphh='B02000'");
    QStringList want = opened;
    want.removeOne("B02000");
    want << "";
    EXPECT_EQ(gridCodes(), want);
    EXPECT_EQ(gridCodes(1023, 1025), (QStringList{"B01024", "B01025"}));

    // Read again: both show as stored. The first and the last screens are
    // shown; a product goes from the first, one comes in the middle.
    list->ToolButton6Click();
    EXPECT_EQ(gridCodes(0, 30), storedCodes().mid(0, 30));
    EXPECT_EQ(gridCodes(2970), storedCodes().mid(2970));
    other.exec("DELETE FROM product WHERE sphh='B00800'");
    other.exec("INSERT INTO product (intno,sphh) VALUES ('90000002','B01500A')");
    want = storedCodes();
    want.insert(want.indexOf("B00801"), ""); // read before it went
    want.removeLast();                       // beyond the count until read again
    EXPECT_EQ(gridCodes(), want);
    EXPECT_EQ(list->StatusPanel3->text(), QStringLiteral("记录数:3000"));
    list->ToolButton6Click();
    EXPECT_EQ(gridCodes(), storedCodes());
    EXPECT_EQ(list->StatusPanel3->text(), QStringLiteral("记录数:3000"));

    // Scrolled up from the end, one going between the screens shown: the rows
    // close up where the blocks meet, and the grid is told to paint again
    // every row it showed that now holds another product.
    list->ToolButton6Click();
    EXPECT_EQ(gridCodes(0, 30), storedCodes().mid(0, 30));
    EXPECT_EQ(gridCodes(2970), storedCodes().mid(2970));
    other.exec("DELETE FROM product WHERE sphh='B01700'");
    std::vector<std::pair<int, int>> repainted;
    QObject::connect(list->gridModel(), &QAbstractItemModel::dataChanged, list,
            [&](const QModelIndex& a, const QModelIndex& b) { repainted.push_back({a.row(), b.row()}); });
    QStringList upwards;
    for (int r = 2999; r >= 0; --r) upwards.prepend(gridCodes(r, r + 1).first());
    const QStringList shown = gridCodes();
    EXPECT_EQ(shown, storedCodes() << "");
    for (int r = 0; r < 3000; ++r) {
        if (upwards[r] == shown[r]) continue;
        EXPECT_TRUE(std::any_of(repainted.begin(), repainted.end(), [r](auto p) { return p.first <= r && r <= p.second; }))
            << r << " " << upwards[r].toStdString() << " is not painted again as " << shown[r].toStdString();
    }
}

// The work of the first screen does not grow with the products: its block is
// read from the start of the order, and so is the count, not walked to from
// the far end.
TEST_F(ProductList, TheFirstScreenCostsTheSameWhateverTheNumberOfProducts)
{
    auto firstScreen = [this] {
        qmtest::RowsRead read(db().handle());
        openFromMenu();
        EXPECT_EQ(gridCodes(0, 30).first(), "B00001");
        const long steps = read.steps();
        EXPECT_LT(read.rows(), 1500);
        list->close();
        delete list;
        list = nullptr;
        return steps;
    };
    addMany("B", 1, 3000);
    const long few = firstScreen();
    addMany("C", 3001, 30000);
    const long many = firstScreen();
    EXPECT_LT(many, few + few / 4) << few << " steps for 3,000 products, " << many << " for 30,000";
}
