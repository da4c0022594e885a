#include "common/shell.h"
#include "masterdata/productexport.h"
#include "masterdata/tfrproduct.h"
#include "shell/commands.h"
#include "support/fixture.h"
#include "support/xlsxread.h"
#include <QAction>
#include <QFile>

using namespace qm;

namespace {
class Export : public AppFixture {
protected:
    QStringList opened;
    TFrproduct* list = nullptr;

    void SetUp() override
    {
        AppFixture::SetUp();
        shell::setHook([this](const QString& action, const QString& target) {
            opened << action + ":" + target;
            return true;
        });
    }
    void TearDown() override
    {
        shell::setHook({});
        delete list;
        AppFixture::TearDown();
    }
    Connection& db() { return frdm->ADOCon; }
    void add(const QString& barcode, const QString& code, const QString& name, const QVariant& price, bool marked = false)
    {
        const int n = db().scalar("SELECT count(*) FROM product").toInt() + 1;
        db().exec("INSERT INTO product (intno,name,sphh,spmc,spgg,spbzxh,dj_w,dj_n,spmz,spzz,bz,szbj) "
                  "VALUES (:i,:b,:c,:m,'KL',:u,:p,:p,:p,NULL,'',:s)",
                  {{"i", QString("%1").arg(n, 8, 10, QChar('0'))}, {"b", barcode}, {"c", code}, {"m", name},
                   {"u", QStringLiteral("瓶")}, {"p", price}, {"s", marked ? 1 : 0}});
    }
    void openList()
    {
        ASSERT_TRUE(runCommand("N14"));
        list = Frproduct;
        list->setAttribute(Qt::WA_DeleteOnClose, false);
    }
};
}

TEST_F(Export, AllProductsGoToATypedWorkbookThatIsThenOpened)
{
    add("6901234567890", "00123", QStringLiteral("可口可乐330ml"), 1.5);
    add("", "0045", "=SUM(A1:A9)", QVariant());
    add("", "+7", "-3", 0.0);
    // A price column holding a text (written by another program) exports the text.
    add("", "0046", QStringLiteral("散装"), QStringLiteral("面议"));
    openList();
    dialogs->files = {folder() + "excel/stock"};
    list->ExportAll->trigger();
    const QString path = folder() + "excel/stock.xlsx";
    EXPECT_EQ(dialogs->messages(),
              (QStringList{QStringLiteral("若商品记录较多，则可能要等2~3分钟,确认全部导出吗?"),
                           QStringLiteral("若") + path + QStringLiteral("已打开,请先关闭!"),
                           QStringLiteral("数据库到Excel的数据传输完毕!")}));
    EXPECT_EQ(opened, (QStringList{"file:" + path}));
    EXPECT_FALSE(frdm->AQproductxls->active());
    EXPECT_FALSE(QFile::exists(folder() + "excel/.stock.xlsx.part"));

    const qmtest::Sheet s = qmtest::readSheet(path);
    EXPECT_EQ(s.rows, 5);
    const char* headings[] = {"条形码", "货品代码", "货品名称", "拼音首字", "单位", "进货价", "最近进价", "超市价", "批发价", "备注"};
    for (int c = 0; c < 10; ++c)
        EXPECT_EQ(s.cells.value(QString(QChar('A' + c)) + "1").text, QString::fromUtf8(headings[c])) << c;
    // Codes keep their zeros, a text that looks like a formula stays text.
    EXPECT_EQ(s.cells.value("A2").text, "6901234567890");
    EXPECT_NE(s.cells.value("A2").type, "n");
    EXPECT_EQ(s.cells.value("B2").text, "00123");
    EXPECT_NE(s.cells.value("B2").type, "n");
    EXPECT_EQ(s.cells.value("C2").text, QStringLiteral("可口可乐330ml"));
    EXPECT_EQ(s.cells.value("C3").text, "=SUM(A1:A9)");
    EXPECT_NE(s.cells.value("C3").type, "formula");
    EXPECT_EQ(s.cells.value("B4").text, "+7");
    EXPECT_EQ(s.cells.value("C4").text, "-3");
    EXPECT_NE(s.cells.value("C4").type, "n");
    // Prices are numbers; an empty price or remark is an empty cell.
    EXPECT_EQ(s.cells.value("F2").type, "n");
    EXPECT_DOUBLE_EQ(s.cells.value("F2").text.toDouble(), 1.5);
    EXPECT_EQ(s.cells.value("H4").type, "n");
    EXPECT_FALSE(s.cells.contains("F3"));
    EXPECT_FALSE(s.cells.contains("I2"));
    EXPECT_FALSE(s.cells.contains("J2"));
    for (const char* cell : {"F5", "G5", "H5"}) {
        EXPECT_EQ(s.cells.value(cell).text, QStringLiteral("面议")) << cell;
        EXPECT_NE(s.cells.value(cell).type, "n") << cell;
    }
    // Widths of the name and unit columns, the heading row's height, printed grid lines.
    EXPECT_NEAR(s.widths.value(3), 16, 1);
    EXPECT_NEAR(s.widths.value(5), 4, 1);
    EXPECT_FALSE(s.widths.contains(1));
    EXPECT_DOUBLE_EQ(s.heights.value(1), 28);
    EXPECT_TRUE(s.printGridLines);
}

TEST_F(Export, MarkedProductsOnlyAndCancelsLeaveNothing)
{
    add("", "001", "A", 1.0, true);
    add("", "002", "B", 2.0, false);
    openList();
    // Cancel in the question, then in the file chooser.
    dialogs->answers = {Answer::Cancel};
    list->ExportAll->trigger();
    EXPECT_EQ(dialogs->shown.size(), 1u);
    list->ExportAll->trigger();
    EXPECT_EQ(dialogs->shown.back().kind, "save");
    EXPECT_EQ(dialogs->shown.back().caption, QStringLiteral("选择导出Excel文件存放位置及文件名"));
    EXPECT_TRUE(opened.isEmpty());

    dialogs->clear();
    dialogs->files = {folder() + "marked.XLSX"};
    list->ExportMarked->trigger();
    EXPECT_EQ(dialogs->shown.front().kind, "save"); // no question first
    const qmtest::Sheet s = qmtest::readSheet(folder() + "marked.XLSX");
    EXPECT_EQ(s.rows, 2);
    EXPECT_EQ(s.cells.value("B2").text, "001");

    // With no mark the sheet holds its headings alone.
    db().exec("UPDATE product SET szbj=0");
    dialogs->files = {folder() + "none.xls"};
    list->ExportMarked->trigger();
    const qmtest::Sheet none = qmtest::readSheet(folder() + "none.xlsx");
    EXPECT_EQ(none.rows, 1);
    EXPECT_EQ(none.cells.size(), 10);
}

TEST_F(Export, AFailedSaveSaysSoAndOpensNothing)
{
    add("", "001", "A", 1.0);
    openList();
    // A folder that cannot be: its parent is a file.
    QFile blocker(folder() + "blocker");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString path = folder() + "blocker/out.xlsx";
    dialogs->files = {path};
    list->ExportAll->trigger();
    const QString last = dialogs->lastMessage();
    EXPECT_TRUE(last.startsWith(QStringLiteral("文件") + path + QStringLiteral("没有保存成功,数据没有导出!"))) << last.toStdString();
    EXPECT_FALSE(dialogs->messages().contains(QStringLiteral("数据库到Excel的数据传输完毕!")));
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_FALSE(frdm->AQproductxls->active());
}

TEST(ExportNames, ExtensionAndOrder)
{
    EXPECT_EQ(product::exportFileName(" /tmp/a "), "/tmp/a.xlsx");
    EXPECT_EQ(product::exportFileName("b.XLSX"), "b.XLSX");
    EXPECT_EQ(product::exportFileName("c.xls"), "c.xlsx");
    EXPECT_EQ(product::exportFileName("d.xlsx.bak"), "d.xlsx.bak.xlsx");
    EXPECT_EQ(product::exportSql(true, true),
              "SELECT name,sphh,spmc,spgg,spbzxh,dj_w,dj_n,spmz,spzz,bz from product\nWHERE szbj=1\nORDER BY name");
    EXPECT_FALSE(product::exportSql(false, false).contains("ORDER"));
}
