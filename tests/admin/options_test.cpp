#include "admin/options.h"
#include "admin/tfrcompany.h"
#include "admin/tfrconfig.h"
#include "app/mainmenu.h"
#include "common/bounds.h"
#include "common/errors.h"
#include "data/datasetmodel.h"
#include "shell/windowprotocol.h"
#include "app/application.h"
#include "common/paths.h"
#include "support/faultvfs.h"
#include "support/fixture.h"
#include <QApplication>
#include <QElapsedTimer>
#include <QScopeGuard>
#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRadioButton>

using qm::options::Page;
using qm::options::Row;

namespace {
void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
QString configValue(const char* column)
{
    return frdm->ADOCon.scalar(QStringLiteral("select %1 from config").arg(QLatin1String(column))).toString();
}
}

TEST(Options, NumberFormatsFromDecimalsAndSeparators)
{
    EXPECT_EQ(qm::options::numberFormat("3", true), "0,.000");
    EXPECT_EQ(qm::options::numberFormat("8", false), "0.000000");
    EXPECT_EQ(qm::options::numberFormat("6", true), "0,.000000");
    EXPECT_EQ(qm::options::numberFormat("0", false), "0.");
    EXPECT_EQ(qm::options::numberFormat(" 2 ", false), "0.00");
    EXPECT_THROW(qm::options::numberFormat("x", false), qm::ConversionError);
    EXPECT_THROW(qm::options::numberFormat("1.5", false), qm::ConversionError);
    EXPECT_THROW(qm::options::numberFormat("1e3", false), qm::ConversionError);
    // Numbers no box holds are out of range.
    for (const char* huge : {"99999999999", "1e309", "inf", "nan"})
        EXPECT_THROW(qm::options::numberFormat(huge, false), qm::OutOfRange) << huge;

    // Empty boxes take their defaults; the quantity gets no decimals.
    Page p;
    Row r = qm::options::build(p);
    EXPECT_EQ(p.amountInt, "12");
    EXPECT_EQ(p.priceInt, "10");
    EXPECT_EQ(p.qtyDec, "0");
    EXPECT_EQ(p.weightDec, "2");
    EXPECT_EQ(r.amountformat, "0.00");
    EXPECT_EQ(r.priceformat, "0.00");
    EXPECT_EQ(r.qtyformat, "0.");
    EXPECT_EQ(r.weightformat, "0.00");
    EXPECT_EQ(r.dateformat, "yyyy-mm-dd");
    EXPECT_EQ(r.dateeditmask, "");
    EXPECT_EQ(r.dateseparator, "-");
}

TEST(Options, DateFormatsAndReadBackRoundTrip)
{
    Page p;
    p.year = " yy ";
    p.month = "mm";
    p.day = "dd";
    p.editYear = "0000";
    p.editMonth = "00";
    p.editDay = "00";
    p.amountDec = "3";
    p.amountSeparator = true;
    p.priceDec = "8";
    p.imeName = "  pinyin ";
    p.serialPrinter = true;
    Row r = qm::options::build(p);
    EXPECT_EQ(r.dateformat, "yy-mm-dd");
    EXPECT_EQ(r.dateeditmask, "0000/00/00;1;");
    EXPECT_EQ(r.amountformat, "0,.000");
    EXPECT_EQ(r.priceformat, "0.000000");
    EXPECT_EQ(r.imename, "pinyin");
    EXPECT_TRUE(r.printbj);
    EXPECT_FALSE(r.cashboxbj);

    // Reading back shows what was saved, and saving again keeps the row as it was:
    // the four-digit edit mask in particular survives a second save.
    Page back = qm::options::readBack(r);
    EXPECT_EQ(back.amountDec, "3");
    EXPECT_TRUE(back.amountSeparator);
    EXPECT_EQ(back.priceDec, "6");
    EXPECT_FALSE(back.priceSeparator);
    EXPECT_EQ(back.qtyDec, "0");
    EXPECT_EQ(back.year, "yy");
    EXPECT_EQ(back.editYear, "0000");
    EXPECT_EQ(back.imeName, "pinyin");
    Row again = qm::options::build(back);
    EXPECT_EQ(again.dateeditmask, r.dateeditmask);
    EXPECT_EQ(again.dateformat, r.dateformat);
    EXPECT_EQ(again.amountformat, r.amountformat);

    // A two-digit year mask and the default year read back as such; another
    // date separator empties the year box.
    Row two = r;
    two.dateeditmask = "00/00/00;1;";
    two.dateformat = "yyyy-mm-dd";
    EXPECT_EQ(qm::options::readBack(two).editYear, "00");
    EXPECT_EQ(qm::options::readBack(two).year, "yyyy");
    two.dateseparator = "/";
    EXPECT_EQ(qm::options::readBack(two).year, "");
}

TEST(Options, EngineListOfTheInputMethodService)
{
    const QString out = "language: Chinese\n  pinyin - Pinyin\n  libpinyin - Intelligent Pinyin\n"
                        "language: English\n  xkb:us::eng - English (US)\n\n";
    EXPECT_EQ(qm::options::parseEngineList(out), QStringList({"pinyin", "libpinyin", "xkb:us::eng"}));
    EXPECT_TRUE(qm::options::parseEngineList("").isEmpty());
}

class OptionsWindowTest : public AppFixture {};

TEST_F(OptionsWindowTest, SavingAppliesTheAmountFormatToAnOpenPartnerGrid)
{
    frdm->ADOCon.exec("insert into customer (intno, name, balance, amount) values ('0000000009', 'x', 1234.5, 7)");
    frdm->Aqcustomer->open();
    qm::DatasetModel grid(frdm->Aqcustomer);
    const int balance = frdm->Aqcustomer->fieldIndex("balance");
    ASSERT_GE(balance, 0);
    const int row = frdm->Aqcustomer->locate("intno", "0000000009") ? frdm->Aqcustomer->recNo() : -1;
    ASSERT_GE(row, 0);
    EXPECT_EQ(grid.data(grid.index(row, balance), Qt::DisplayRole).toString(), "1234.50");
    int resets = 0;
    QObject::connect(&grid, &QAbstractItemModel::modelReset, [&resets] { ++resets; });

    EXPECT_TRUE(qm::runMenuItem("N22"));
    QPointer<Tfrconfig> w = frconfig;
    ASSERT_TRUE(w);
    EXPECT_TRUE(frmain->isEnabled()) << "the options window leaves the main window enabled";
    EXPECT_EQ(w->edAmountDec->text(), "2");
    EXPECT_EQ(w->edEditYear->text(), "0000");
    w->edAmountDec->setText("3");
    w->rbAmountSepYes->setChecked(true);
    w->edQtyDec->clear();
    w->edYear->setText("yy");
    w->ComboBox1->setEditText("pinyin");
    w->Button1Click();
    flushDeletes();
    EXPECT_FALSE(w);

    EXPECT_EQ(configValue("amountformat"), "0,.000");
    EXPECT_EQ(configValue("qtyformat"), "0.");
    EXPECT_EQ(configValue("dateformat"), "yy-mm-dd");
    EXPECT_EQ(configValue("dateeditmask"), "0000/00/00;1;");
    EXPECT_EQ(frmain->imeName, "pinyin");
    EXPECT_FALSE(frdm->ATCONFIG->active());
    EXPECT_GT(resets, 0);
    EXPECT_EQ(grid.data(grid.index(row, balance), Qt::DisplayRole).toString(), "1,234.500");

    // Opened again, the window reads the saved row back; saving without a
    // change leaves the row exactly as it was.
    qm::runMenuItem("N22");
    w = frconfig;
    ASSERT_TRUE(w);
    EXPECT_EQ(w->edAmountDec->text(), "3");
    EXPECT_TRUE(w->rbAmountSepYes->isChecked());
    EXPECT_EQ(w->edQtyDec->text(), "0");
    EXPECT_EQ(w->edYear->text(), "yy");
    EXPECT_EQ(w->edEditYear->text(), "0000");
    EXPECT_EQ(w->ComboBox1->currentText(), "pinyin");
    w->Button1Click();
    flushDeletes();
    EXPECT_EQ(configValue("dateeditmask"), "0000/00/00;1;");
    EXPECT_EQ(configValue("amountformat"), "0,.000");
    EXPECT_EQ(configValue("dateformat"), "yy-mm-dd");
}

TEST_F(OptionsWindowTest, SecondOpenBringsTheOpenWindowForwardAndBadDecimalsSaveNothing)
{
    qm::runMenuItem("N22");
    QPointer<Tfrconfig> first = frconfig;
    ASSERT_TRUE(first);
    qm::runMenuItem("N22");
    EXPECT_EQ(frmain->findChildren<Tfrconfig*>().size(), 1);
    EXPECT_EQ(frconfig, first.data());

    // A decimals box that holds no number stops the save with a conversion
    // error; nothing is written and the row is not left in edit mode.
    first->edPriceDec->setText(".");
    EXPECT_THROW(first->Button1Click(), qm::ConversionError);
    EXPECT_EQ(configValue("priceformat"), "0.00");
    EXPECT_NE(frdm->ATCONFIG->state(), qm::Dataset::State::Edit);
    EXPECT_TRUE(first->isVisible());
    // A number no box holds (pasted) is out of range: one message, nothing
    // written, the boxes as typed.
    first->edPriceDec->setText("inf");
    first->edQtyDec->clear();
    dialogs->clear();
    first->Button1Click();
    EXPECT_EQ(dialogs->messages(), QStringList{QStringLiteral("输入的数值超出范围！")});
    EXPECT_EQ(configValue("priceformat"), "0.00");
    EXPECT_EQ(first->edPriceDec->text(), "inf");
    EXPECT_EQ(first->edQtyDec->text(), "");
    EXPECT_TRUE(first->isVisible());

    // Keys: digit boxes take digits and ".", the year box "Y", "y" and ".".
    auto type = [](QLineEdit* e, const QString& text) {
        for (QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QCoreApplication::sendEvent(e, &press);
        }
    };
    first->edAmountDec->clear();
    type(first->edAmountDec, "4a-.");
    EXPECT_EQ(first->edAmountDec->text(), "4.");
    first->edYear->clear();
    type(first->edYear, "yY1m");
    EXPECT_EQ(first->edYear->text(), "yY");

    // 取消 closes without saving.
    first->Button2Click();
    flushDeletes();
    EXPECT_FALSE(first);
    EXPECT_EQ(configValue("amountformat"), "0.00");
    EXPECT_TRUE(frmain->isEnabled());
}

// Saved while another program holds the data (writing, or reading so that
// the commit waits): the busy cursor shows from a moment into the wait until
// the save gives up, then the message says the data is in use; nothing is
// written and the window stays open.
TEST_F(OptionsWindowTest, SavingWhileAnotherProgramHoldsTheDataShowsTheWait)
{
    qm::Connection::setBusyWait(800);
    const auto waitBack = qScopeGuard([] { qm::Connection::setBusyWait(5000); });
    const QString path = qm::AppPaths::workingDatabase();
    frdm->connectTo(path);
    const qm::WaitSign real = qm::waitSign();
    QElapsedTimer clock;
    QStringList seen;
    qm::setWaitSign({[&] {
                         real.begin();
                         const QCursor* c = QApplication::overrideCursor();
                         seen << QStringLiteral("%1 after %2 ms")
                                     .arg(c && c->shape() == Qt::WaitCursor ? "busy cursor" : "no cursor")
                                     .arg(clock.elapsed() >= qm::kWaitSignAfterMs ? "300" : "less than 300");
                     },
                     real.end});
    const auto signBack = qScopeGuard([real] { qm::setWaitSign(real); });

    for (bool writer : {true, false}) {
        SCOPED_TRACE(writer ? "under a writer" : "under a reader");
        seen.clear();
        dialogs->clear();
        qm::runMenuItem("N22");
        QPointer<Tfrconfig> w = frconfig;
        ASSERT_TRUE(w);
        w->edAmountDec->setText("3");
        {
            std::unique_ptr<qm::fault::WriterHold> wh;
            std::unique_ptr<qm::fault::ReaderHold> rh;
            if (writer) wh = std::make_unique<qm::fault::WriterHold>(path);
            else rh = std::make_unique<qm::fault::ReaderHold>(path);
            clock.start();
            qm::Application::guard(frmain, [&] { w->Button1Click(); });
            EXPECT_GE(clock.elapsed(), 800);
        }
        EXPECT_EQ(seen, QStringList{"busy cursor after 300 ms"});
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(dialogs->messages(), QStringList{qm::dataInUseText()});
        for (const auto& s : dialogs->shown) EXPECT_NE(s.caption, QStringLiteral("异常信息"));
        EXPECT_EQ(configValue("amountformat"), "0.00");
        ASSERT_TRUE(w);
        EXPECT_TRUE(w->isVisible());
        w->Button2Click();
        flushDeletes();
    }
}

TEST_F(OptionsWindowTest, CompanyRowEditedWhileOpenAndSavedOnClose)
{
    frdm->ATcompany->open();
    EXPECT_TRUE(qm::runMenuItem("N53"));
    QPointer<TFrcompany> w = Frcompany;
    ASSERT_TRUE(w);
    EXPECT_FALSE(frmain->isEnabled());
    EXPECT_TRUE(w->isEnabled());
    EXPECT_EQ(frdm->ATcompany->state(), qm::Dataset::State::Edit);
    EXPECT_EQ(w->DBEdit1->text(), QStringLiteral("我的超市"));
    w->DBEdit1->setText(QStringLiteral("东街便利店"));
    w->DBEdit3->setText("0571-8888");
    w->DBMemo1->setPlainText(QStringLiteral("营业时间 8:00-22:00"));
    w->close();
    flushDeletes();
    EXPECT_FALSE(w);
    EXPECT_TRUE(frmain->isEnabled());
    EXPECT_EQ(frdm->ATcompany->state(), qm::Dataset::State::Browse);
    EXPECT_EQ(frdm->ADOCon.scalar("select name from company").toString(), QStringLiteral("东街便利店"));
    EXPECT_EQ(frdm->ADOCon.scalar("select tel from company").toString(), "0571-8888");
    EXPECT_EQ(frdm->ADOCon.scalar("select doc from company").toString(), QStringLiteral("营业时间 8:00-22:00"));
}
