// Every save of the product, partner and unit editors under injected faults:
// the database ends as it was before or after the save, the window's list
// shows what is stored, and moving on afterwards writes nothing.
#include "common/errors.h"
#include "masterdata/partnerdata.h"
#include "masterdata/partneredit.h"
#include "masterdata/partnerkinds.h"
#include "masterdata/partnerlist.h"
#include "masterdata/productlogic.h"
#include "masterdata/productsupport.h"
#include "masterdata/tfrproduct.h"
#include "masterdata/tfrproductedit.h"
#include "masterdata/tfrspec.h"
#include "shell/commands.h"
#include "support/faultvfs.h"
#include "support/fixture.h"
#include <QCheckBox>
#include <QLineEdit>
#include <QPointer>
#include <sqlite3.h>

using namespace qm;

namespace {
class SaveFaults : public AppFixture {
protected:
    QString path;
    void SetUp() override
    {
        AppFixture::SetUp();
        path = AppPaths::workingDatabase();
    }
};
}

TEST_F(SaveFaults, ProductEditorAddAndChange)
{
    qmtest::addProduct(frdm->ADOCon, {"00012", QStringLiteral("可乐")});
    qmtest::addProduct(frdm->ADOCon, {"00013", QStringLiteral("雪碧")});
    QWidget opener;
    Tfrproductedit* ed = nullptr;
    const QStringList shown = {"intno", "sphh", "spmc", "dj_w", "avdj"};
    for (bool adding : {true, false}) {
        SCOPED_TRACE(adding ? "adding" : "changing");
        fault::Steps s;
        s.detach = [&] {
            delete ed;
            ed = nullptr;
            waitForBakCopies();
            frdm->ADOCon.close();
        };
        s.attach = [&] {
            frdm->connectTo(path);
            Dataset* p = frdm->Aqproduct;
            p->setSql(adding ? QString(product::kAllProducts) : QStringLiteral("SELECT * from product\norder by sphh"));
            p->open();
            frmain->editMode = adding ? "T" : "F";
            if (!adding) {
                p->locate("sphh", "00013");
                frmain->currentIntno = p->asString("intno");
            }
            ed = Tfrproductedit::openFrom(&opener);
            ed->setAttribute(Qt::WA_DeleteOnClose, false);
            ed->CheckBox1->setChecked(true);
            ed->CheckBox1Click();
            ed->Edit7->setText(adding ? "00077" : "00013");
            ed->Edit8->setText(QStringLiteral("新品名"));
            ed->Edit17->setText("2.5");
        };
        s.command = [&] { ed->Button1Click(); };
        s.check = [&](const fault::Run& run) {
            EXPECT_EQ(fault::compareWithTable(*frdm->Aqproduct, "product", shown).toStdString(), "") << run.point.describe().toStdString();
            EXPECT_FALSE(frdm->ADOCon.inTransaction());
            // Moving to another product afterwards stores nothing.
            ed->BitBtn1Click();
            ed->BitBtn2Click();
        };
        EXPECT_TRUE(fault::sound(fault::sweep(path, s)));
    }
}

TEST_F(SaveFaults, TwoWritersSavingTheSameProductCode)
{
    // The editor of this copy checked the code while it was free; another
    // copy stored it before the write: the write refuses and stores nothing.
    Connection other;
    other.open(path);
    qmtest::addProduct(other, {"00042", QStringLiteral("对方的")});
    product::Values v;
    v.sphh = "00042";
    v.spmc = QStringLiteral("我的");
    frdm->Aqproduct->setSql(product::kAllProducts);
    frdm->Aqproduct->open();
    product::Stored r = product::store(*frdm->Aqproduct, v, true, {});
    EXPECT_TRUE(r.codeTaken);
    EXPECT_EQ(frdm->ADOCon.scalar("select count(*) from product where sphh='00042'").toInt(), 1);
    EXPECT_EQ(fault::compareWithTable(*frdm->Aqproduct, "product", {"intno", "sphh"}).toStdString(), "");

    // The code check is an indexed look-up, not a scan of the table.
    QString plan;
    for (const auto& row : frdm->ADOCon.rows("EXPLAIN QUERY PLAN SELECT 1 FROM product WHERE (sphh=:p1) LIMIT 1", {{"p1", "x"}}))
        plan += row.last().toString();
    EXPECT_TRUE(plan.contains("INDEX")) << plan.toStdString();
}

TEST_F(SaveFaults, PartnerEditorAddAndChange)
{
    partnertest::clear("customer");
    partnertest::add("customer", "0000000001", "0000000001", QStringLiteral("零售"));
    QWidget list;
    PartnerEditor* e = nullptr;
    const QStringList shown = {"intno", "id", "name", "tel"};
    for (bool adding : {true, false}) {
        SCOPED_TRACE(adding ? "adding" : "changing");
        fault::Steps s;
        s.detach = [&] {
            delete e;
            e = nullptr;
            frdm->ADOCon.close();
        };
        s.attach = [&] {
            frdm->connectTo(path);
            Dataset* ds = partnerDataset(PartnerKind::Customer);
            ds->close();
            ds->open();
            frmain->editMode = adding ? "T" : "F";
            if (!adding) {
                ds->locate("intno", "0000000001");
                frmain->currentIntno = "0000000001";
            }
            e = showPartnerEditor(PartnerKind::Customer, &list);
            e->setAttribute(Qt::WA_DeleteOnClose, false);
            e->CheckBox1->setChecked(true);
            e->CheckBox1Click();
            e->box("name")->setText(QStringLiteral("张三"));
            e->box("tel")->setText("0571");
        };
        s.command = [&] { e->Button1Click(); };
        s.check = [&](const fault::Run& run) {
            Dataset* ds = partnerDataset(PartnerKind::Customer);
            EXPECT_EQ(fault::compareWithTable(*ds, "customer", shown).toStdString(), "") << run.point.describe().toStdString();
            ds->first();
            ds->last();
        };
        EXPECT_TRUE(fault::sound(fault::sweep(path, s)));
    }
}

TEST_F(SaveFaults, UnitsAddAndRename)
{
    frdm->ADOCon.exec("INSERT INTO spec(intno, name, specno) VALUES('01', '瓶', '02')");
    for (bool adding : {true, false}) {
        SCOPED_TRACE(adding ? "adding" : "renaming");
        fault::Steps s;
        s.detach = [&] {
            delete Frspec.data();
            frdm->ADOCon.close();
        };
        s.attach = [&] {
            frdm->connectTo(path);
            ASSERT_TRUE(runCommand("N93"));
            if (adding) Frspec->ToolButton1Click();
            else Frspec->ToolButton2Click();
            ASSERT_TRUE(frspecedit);
            frspecedit->Edit3->setText(QStringLiteral("箱"));
        };
        s.command = [&] { frspecedit->Button2Click(); };
        s.check = [&](const fault::Run& run) {
            EXPECT_EQ(fault::compareWithTable(*frdm->AQspec, "spec", {"intno", "name", "specno"}, "specno='02'").toStdString(), "")
                << run.point.describe().toStdString();
            frdm->AQspec->first();
            frdm->AQspec->last();
        };
        EXPECT_TRUE(fault::sound(fault::sweep(path, s)));
    }
}

TEST_F(SaveFaults, CommitRefusedWhileAnotherProgramReads)
{
    // The front desk reading when the commit needs the file to itself: the
    // commit fails with "busy" and the transaction is still open. The list
    // must not keep the row that the rollback then removes.
    qmtest::addProduct(frdm->ADOCon, {"00012", QStringLiteral("可乐")});
    QWidget opener;
    frdm->Aqproduct->setSql(product::kAllProducts);
    frdm->Aqproduct->open();
    frmain->editMode = "T";
    std::unique_ptr<Tfrproductedit> ed(Tfrproductedit::openFrom(&opener));
    ed->setAttribute(Qt::WA_DeleteOnClose, false);
    ed->Edit7->setText("00077");
    ed->Edit8->setText(QStringLiteral("新品"));

    fault::ReaderHold reader(path);
    sqlite3_busy_timeout(frdm->ADOCon.handle(), 100);
    EXPECT_THROW(ed->Button1Click(), DbError);
    reader.release();
    EXPECT_FALSE(frdm->ADOCon.inTransaction());
    EXPECT_EQ(fault::compareWithTable(*frdm->Aqproduct, "product", {"intno", "sphh"}).toStdString(), "");
    EXPECT_EQ(frmain->editMode, "T");

    // Once the reader is gone the same save stores one product.
    ed->Button1Click();
    EXPECT_EQ(frdm->ADOCon.scalar("select count(*) from product where sphh='00077'").toInt(), 1);
    EXPECT_EQ(fault::compareWithTable(*frdm->Aqproduct, "product", {"intno", "sphh"}).toStdString(), "");
}

TEST_F(SaveFaults, ProductListMarksAndDeletions)
{
    qmtest::addProduct(frdm->ADOCon, {"00012", QStringLiteral("可乐")});
    qmtest::addProduct(frdm->ADOCon, {"00013", QStringLiteral("雪碧")});
    qmtest::addProduct(frdm->ADOCon, {"00014", QStringLiteral("芬达")});
    frdm->ADOCon.exec("UPDATE product SET szbj=1 WHERE sphh='00013'");
    TFrproduct* list = nullptr;
    struct Command {
        const char* name;
        std::function<void()> run;
    };
    const std::vector<Command> commands = {
        {"toggle the mark", [&] { list->toggleMark(); }},
        {"mark all", [&] { list->N12Click(); }},
        {"delete the marked", [&] { list->N11Click(); }},
        {"delete one", [&] { list->ToolButton3Click(); }},
    };
    for (const Command& cmd : commands) {
        SCOPED_TRACE(cmd.name);
        fault::Steps s;
        s.detach = [&] {
            delete list;
            list = nullptr;
            frmain->setEnabled(true);
            frdm->ADOCon.close();
        };
        s.attach = [&] {
            frdm->connectTo(path);
            ASSERT_TRUE(runCommand("N14"));
            list = Frproduct;
            list->setAttribute(Qt::WA_DeleteOnClose, false);
            dialogs->inputs = {"123456"};
        };
        s.command = cmd.run;
        s.check = [&](const fault::Run& run) {
            EXPECT_EQ(fault::compareWithTable(*frdm->Aqproduct, "product", {"intno", "sphh", "szbj"}).toStdString(), "")
                << run.point.describe().toStdString();
            frdm->Aqproduct->first();
            frdm->Aqproduct->last();
        };
        EXPECT_TRUE(fault::sound(fault::sweep(path, s)));
    }
}

TEST_F(SaveFaults, PartnerAndUnitListDeletions)
{
    partnertest::clear("branch");
    partnertest::add("branch", "0000000001", "0000000001", QStringLiteral("华联"));
    partnertest::add("branch", "0000000002", "0000000002", QStringLiteral("联华"));
    frdm->ADOCon.exec("INSERT INTO spec(intno, name, specno) VALUES('01', '瓶', '02'), ('02', '箱', '02')");
    PartnerList* partners = nullptr;
    fault::Steps s;
    s.detach = [&] {
        delete partners;
        partners = nullptr;
        frmain->setEnabled(true);
        frdm->ADOCon.close();
    };
    s.attach = [&] {
        frdm->connectTo(path);
        partners = openPartnerListFromMenu(PartnerKind::Supplier);
        ASSERT_TRUE(partners);
        partners->setAttribute(Qt::WA_DeleteOnClose, false);
    };
    s.command = [&] { partners->ToolButton3Click(); };
    s.check = [&](const fault::Run& run) {
        EXPECT_EQ(fault::compareWithTable(*frdm->AQbranch, "branch", {"intno", "name"}).toStdString(), "")
            << run.point.describe().toStdString();
        frdm->AQbranch->first();
        frdm->AQbranch->last();
    };
    EXPECT_TRUE(fault::sound(fault::sweep(path, s)));

    fault::Steps units;
    units.detach = [&] {
        delete Frspec.data();
        frmain->setEnabled(true);
        frdm->ADOCon.close();
    };
    units.attach = [&] {
        frdm->connectTo(path);
        ASSERT_TRUE(runCommand("N93"));
    };
    units.command = [&] { Frspec->ToolButton3Click(); };
    units.check = [&](const fault::Run& run) {
        EXPECT_EQ(fault::compareWithTable(*frdm->AQspec, "spec", {"intno", "name"}, "specno='02'").toStdString(), "")
            << run.point.describe().toStdString();
    };
    EXPECT_TRUE(fault::sound(fault::sweep(path, units)));
}
