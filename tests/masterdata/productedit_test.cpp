#include "support/fixture.h"
#include "support/visible.h"
#include "masterdata/productsupport.h"
#include "masterdata/productlogic.h"
#include "masterdata/tfrproductedit.h"
#include "common/errors.h"
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace qm;

namespace {
class ProductEditor : public AppFixture {
protected:
    Tfrproductedit* ed = nullptr;
    QWidget opener;

    void SetUp() override
    {
        AppFixture::SetUp();
        Clock::setFixed(QDateTime(QDate(2026, 12, 6), QTime(10, 0)));
    }
    void TearDown() override
    {
        delete ed;
        AppFixture::TearDown();
    }
    Connection& db() { return frdm->ADOCon; }
    void openAdding()
    {
        frmain->editMode = "T";
        frdm->Aqproduct->setSql("SELECT * from product\norder by sphh");
        frdm->Aqproduct->open();
        ed = Tfrproductedit::openFrom(&opener);
        ed->setAttribute(Qt::WA_DeleteOnClose, false);
    }
    void openChanging(const QString& code)
    {
        frdm->Aqproduct->setSql("SELECT * from product\norder by sphh");
        frdm->Aqproduct->open();
        ASSERT_TRUE(frdm->Aqproduct->locate("sphh", code));
        frmain->editMode = "F";
        frmain->currentIntno = frdm->Aqproduct->asString("intno");
        ed = Tfrproductedit::openFrom(&opener);
        ed->setAttribute(Qt::WA_DeleteOnClose, false);
    }
    int count() { return db().scalar("select count(*) from product").toInt(); }
    void key(QWidget* w, int k, const QString& text = QString())
    {
        QKeyEvent e(QEvent::KeyPress, k, Qt::NoModifier, text);
        QApplication::sendEvent(w, &e);
    }
};
}

TEST_F(ProductEditor, NumberingAndProposal)
{
    EXPECT_EQ(product::nextNumber(db()), 1);
    EXPECT_EQ(product::intnoOf(1), "00000001");
    EXPECT_EQ(product::proposedCodeOf(10), "00010");
    EXPECT_EQ(product::proposedCodeOf(100000), "00000");
    EXPECT_EQ(product::proposedCodeOf(1234567), "34567");

    openAdding();
    EXPECT_EQ(ed->Edit7->text(), "00001");
    ed->Edit8->setText(QStringLiteral("矿泉水"));
    ed->Button1Click();
    EXPECT_EQ(db().scalar("select intno from product").toString(), "00000001");
    EXPECT_EQ(frmain->currentIntno, "00000001");

    db().exec("update product set intno='00000009'");
    ed->Button2Click();
    EXPECT_EQ(ed->Edit7->text(), "00010");
    ed->Edit8->setText(QStringLiteral("纯净水"));
    ed->Button1Click();
    EXPECT_EQ(db().scalar("select intno from product where sphh='00010'").toString(), "00000010");
}

TEST_F(ProductEditor, SaveRefusalsInOrder)
{
    qmtest::addProduct(db(), {"00012", QStringLiteral("可乐")});
    qmtest::addProduct(db(), {"00013", QStringLiteral("雪碧")});
    openAdding();
    dialogs->clear();

    ed->Edit7->setText("   ");
    ed->Edit5->clear();
    ed->Button1Click();
    EXPECT_EQ(dialogs->messages(), QStringList{QStringLiteral("商品货码不能为空!")});
    EXPECT_EQ(ed->Edit5->text(), ""); // refused before the empty numbers are filled

    // A code is compared without its surrounding blanks and stored trimmed.
    dialogs->clear();
    ed->Edit7->setText(" 00012");
    ed->Button1Click();
    EXPECT_EQ(dialogs->messages(), QStringList{QStringLiteral("该商品代码已存在,不能再录入！ ")});
    EXPECT_EQ(ed->Edit5->text(), "0");
    EXPECT_EQ(count(), 2);

    dialogs->clear();
    ed->Edit7->setText(" 00014 ");
    ed->Button1Click();
    EXPECT_TRUE(dialogs->messages().isEmpty());
    EXPECT_EQ(db().scalar("select count(*) from product where sphh='00014'").toInt(), 1);

    // Changing a product keeps its own code; taking another product's code is refused.
    delete ed;
    ed = nullptr;
    openChanging("00013");
    ed->CheckBox1->setChecked(true);
    ed->CheckBox1Click();
    ed->Edit8->setText(QStringLiteral("雪碧330ml"));
    ed->Button1Click();
    EXPECT_TRUE(dialogs->messages().isEmpty());
    EXPECT_EQ(db().scalar("select spmc from product where sphh='00013'").toString(), QStringLiteral("雪碧330ml"));
    ed->Edit7->setText("00012");
    ed->Button1Click();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("该商品代码已存在,不能再录入！ "));
    EXPECT_EQ(db().scalar("select count(*) from product where sphh='00012'").toInt(), 1);
}

TEST_F(ProductEditor, AddStoresValuesThenChangesTheSameProduct)
{
    openAdding();
    EXPECT_EQ(visible::layoutProblems(ed), QStringList());
    EXPECT_TRUE(ed->CheckBox1->isChecked());
    EXPECT_EQ(ed->Edit15->text(), "0.00");
    EXPECT_EQ(ed->Edit14->text(), "0");
    EXPECT_EQ(ed->MaskEdit2->displayText(), "    -  -  "); // no invented expiry date
    ed->Edit8->setText(QStringLiteral("可口可乐330ml"));
    EXPECT_EQ(ed->Edit25->text(), "KKKL330ml");
    ed->Edit17->setText("2.5");
    ed->Edit11->setText("9..9"); // shown only: never read, so no text there blocks a save
    ed->Edit15->setText("3.5");
    ed->Edit14->setText("");
    ed->MaskEdit1->setText("2026-11-01");
    // Digits alone fill a date box.
    ed->MaskEdit2->setFocus();
    ed->MaskEdit2->setCursorPosition(0);
    QTest::keyClicks(ed->MaskEdit2, "20271231");
    EXPECT_EQ(ed->MaskEdit2->displayText(), "2027-12-31");
    ed->ComboBox1->setEditText(QStringLiteral("瓶"));
    ed->Button1Click();
    ASSERT_EQ(count(), 1);
    auto row = db().rows("select avdj,dj_w,spmz,rest,szbj,outdate,enddate,spbzxh,spgg from product").front();
    EXPECT_DOUBLE_EQ(row[0].toDouble(), 2.5);
    EXPECT_DOUBLE_EQ(row[1].toDouble(), 2.5);
    EXPECT_DOUBLE_EQ(row[2].toDouble(), 3.5);
    EXPECT_DOUBLE_EQ(row[3].toDouble(), 0);
    EXPECT_EQ(row[4].toInt(), 0);
    EXPECT_EQ(row[5].toString(), "2026-11-01 00:00:00");
    EXPECT_EQ(row[6].toString(), "2027-12-31 00:00:00");
    EXPECT_EQ(row[7].toString(), QStringLiteral("瓶"));
    EXPECT_EQ(row[8].toString(), "KKKL330ml");
    EXPECT_EQ(frmain->editMode, "F");
    settleBakCopies();
    EXPECT_TRUE(QFile::exists(AppPaths::backupDatabase()));
    Connection bak;
    bak.open(AppPaths::backupDatabase());
    EXPECT_EQ(bak.scalar("select count(*) from product").toInt(), 1);

    // A second save changes the product just added; avdj stays as stored.
    ed->Edit17->setText("4");
    ed->MaskEdit1->setText("");
    ed->Button1Click();
    EXPECT_EQ(count(), 1);
    row = db().rows("select avdj,dj_w,outdate from product").front();
    EXPECT_DOUBLE_EQ(row[0].toDouble(), 2.5);
    EXPECT_DOUBLE_EQ(row[1].toDouble(), 4);
    EXPECT_TRUE(row[2].isNull());
}

TEST_F(ProductEditor, BadNumberOrDateStoresNothing)
{
    openAdding();
    ed->Edit15->setText("1..2");
    EXPECT_THROW(ed->Button1Click(), ConversionError);
    EXPECT_EQ(count(), 0);
    ed->Edit15->setText("1.2");
    ed->MaskEdit2->setText("2026-02-30");
    EXPECT_THROW(ed->Button1Click(), ConversionError);
    EXPECT_EQ(count(), 0);
    EXPECT_EQ(frdm->Aqproduct->state(), Dataset::State::Browse);
    EXPECT_EQ(frmain->editMode, "T");

    dialogs->clear();
    EXPECT_FALSE(ed->MaskEdit2Exit());
    EXPECT_EQ(dialogs->messages(), QStringList{QStringLiteral("2026-02-30是无效日期!")});
    ed->MaskEdit2->setText("");
    EXPECT_TRUE(ed->MaskEdit2Exit());
    ed->Button1Click();
    EXPECT_EQ(count(), 1);
}

TEST_F(ProductEditor, ChangingShowsStoredValuesReadOnlyUntilTicked)
{
    qmtest::addProduct(db(), {"00001", QStringLiteral("可口可乐"), "KKKLX", 5, "", "", "", 3.456, 2});
    db().exec("update product set outdate='2026-01-02 00:00:00', avdj=1.5");
    openChanging("00001");
    EXPECT_EQ(ed->Edit25->text(), "KKKLX"); // stored initials, not recomputed
    EXPECT_EQ(ed->Edit15->text(), "3.46");
    EXPECT_EQ(ed->Edit11->text(), "1.50");
    EXPECT_EQ(ed->MaskEdit1->text(), "2026-01-02");
    EXPECT_EQ(ed->MaskEdit2->displayText(), "    -  -  "); // a stored NULL shows empty, not today
    EXPECT_FALSE(ed->CheckBox1->isChecked());
    EXPECT_TRUE(ed->Edit8->isReadOnly());
    EXPECT_FALSE(ed->MaskEdit1->isReadOnly());
    EXPECT_FALSE(ed->ComboBox1->isEnabled());
    ed->CheckBox1->setChecked(true);
    ed->CheckBox1Click();
    EXPECT_FALSE(ed->Edit8->isReadOnly());
    EXPECT_TRUE(ed->ComboBox1->isEnabled());

    ed->Edit15->setText("4");
    ed->Button1Click();
    auto row = db().rows("select spmz,avdj,enddate from product").front();
    EXPECT_DOUBLE_EQ(row[0].toDouble(), 4);
    EXPECT_DOUBLE_EQ(row[1].toDouble(), 1.5);
    EXPECT_TRUE(row[2].isNull());
}

TEST_F(ProductEditor, NavigationAndCopyOfPreviousRecord)
{
    qmtest::addProduct(db(), {"00001", QStringLiteral("甲")});
    qmtest::addProduct(db(), {"00002", QStringLiteral("乙")});
    openChanging("00001");
    ed->BitBtn3Click(); // at the start: stays
    EXPECT_EQ(ed->Edit7->text(), "00001");
    ed->BitBtn2Click();
    EXPECT_EQ(ed->Edit7->text(), "00002");
    EXPECT_EQ(frmain->currentIntno, "00000002");
    ed->BitBtn4Click();
    EXPECT_EQ(ed->Edit7->text(), "00002");
    ed->BitBtn1Click();
    EXPECT_EQ(ed->Edit8->text(), QStringLiteral("甲"));

    ed->Edit6->setText("remark");
    ed->CheckBox2->setChecked(true);
    ed->Button2Click();
    EXPECT_EQ(frmain->editMode, "T");
    EXPECT_EQ(ed->Edit7->text(), "00003");
    EXPECT_EQ(ed->Edit8->text(), QStringLiteral("甲"));
    EXPECT_EQ(ed->Edit6->text(), "");
    EXPECT_TRUE(ed->CheckBox1->isChecked());
    ed->CheckBox2->setChecked(false);
    ed->Button2Click();
    EXPECT_EQ(ed->Edit8->text(), "");
    EXPECT_EQ(ed->Edit16->text(), "0.00");
}

TEST_F(ProductEditor, KeysEnterChainAndFocusColour)
{
    openAdding();
    ed->Edit14->clear();
    ed->Edit14->setFocus();
    key(ed->Edit14, Qt::Key_1, "1");
    key(ed->Edit14, Qt::Key_Period, ".");
    key(ed->Edit14, Qt::Key_A, "a");
    EXPECT_EQ(ed->Edit14->text(), "1");
    ed->Edit17->clear();
    key(ed->Edit17, Qt::Key_2, "2");
    key(ed->Edit17, Qt::Key_Period, ".");
    key(ed->Edit17, Qt::Key_Minus, "-");
    key(ed->Edit17, Qt::Key_5, "5");
    EXPECT_EQ(ed->Edit17->text(), "2.5");
    // A date box takes digits into its places and steps over its "-".
    ed->MaskEdit1->setCursorPosition(0);
    QTest::keyClicks(ed->MaskEdit1, "2026a.1");
    EXPECT_EQ(ed->MaskEdit1->displayText(), "2026-1 -  ");
    ed->MaskEdit1->clear();
    ed->MaskEdit1->setCursorPosition(0);
    QTest::keyClicks(ed->MaskEdit1, "2026-3-5");
    EXPECT_EQ(ed->MaskEdit1->displayText(), "2026-3 -5 ");
    EXPECT_TRUE(ed->MaskEdit1Exit());
    ed->MaskEdit1->setCursorPosition(0);
    QTest::keyClicks(ed->MaskEdit1, "202613");
    EXPECT_FALSE(ed->MaskEdit1Exit());
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("2026-13-5 是无效日期!"));
    ed->MaskEdit1->clear();

    QApplication::setActiveWindow(ed);
    ed->Edit8->setFocus();
    key(ed->Edit8, Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), ed->ComboBox2);
    EXPECT_EQ(ed->ComboBox2->palette().color(QPalette::Base), QColor(0, 255, 255));
    key(ed->ComboBox2, Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), ed->Edit25);
    EXPECT_NE(ed->ComboBox2->palette().color(QPalette::Base), QColor(0, 255, 255));

    // Read-only: the drop-down boxes are skipped.
    ed->CheckBox1->setChecked(false);
    ed->CheckBox1Click();
    ed->Edit8->setFocus();
    key(ed->Edit8, Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), ed->Edit25);

    // Leaving a price box empty puts 0 into it.
    ed->CheckBox1->setChecked(true);
    ed->CheckBox1Click();
    ed->Edit15->setFocus();
    ed->Edit15->clear();
    key(ed->Edit15, Qt::Key_Return);
    EXPECT_EQ(ed->Edit15->text(), "0");

    // Enter in 备注 saves and leaves the focus on 新增, where Enter starts the next product.
    ed->Edit6->setFocus();
    key(ed->Edit6, Qt::Key_Return);
    EXPECT_EQ(count(), 1);
    ASSERT_EQ(QApplication::focusWidget(), ed->Button2);
    QTest::keyClick(ed->Button2, Qt::Key_Return);
    EXPECT_EQ(frmain->editMode, "T");
    EXPECT_EQ(ed->Edit7->text(), "00002");
    EXPECT_EQ(QApplication::focusWidget(), ed->Edit7);
}

TEST_F(ProductEditor, OpenedFromPurchaseWindowAndBackupFailures)
{
    opener.setObjectName("frindetail");
    ed = Tfrproductedit::openForPurchase(&opener);
    ed->setAttribute(Qt::WA_DeleteOnClose, false);
    EXPECT_EQ(frmain->pickCode, 98);
    EXPECT_FALSE(opener.isEnabled());
    EXPECT_TRUE(ed->isEnabled());
    EXPECT_EQ(frdm->Aqproduct->sql(), "SELECT * from product ");

    // A file where the backup folder belongs: the copy cannot be made.
    QDir(folder() + "bak").removeRecursively();
    QFile f(folder() + "bak");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    dialogs->clear();
    ed->Button1Click();
    settleBakCopies();
    EXPECT_EQ(dialogs->messages(), QStringList{QStringLiteral("请检查本系统的数据备份目录bak是否存在！ \r找不到文件或文件夹")});
    EXPECT_EQ(count(), 1); // the save already made stays

    ed->Button5Click();
    EXPECT_TRUE(opener.isEnabled());
    EXPECT_EQ(frmain->pickCode, 0);
}
