// Every number typed into a master window keeps to the program's bounds: the
// product editor's prices and levels, the four opening balances and the
// stocktaking count refuse a number at or past its bound with one message,
// keep the box as typed and write nothing, in the window and in the write.
#include "common/bounds.h"
#include "masterdata/opening.h"
#include "masterdata/openinglist.h"
#include "masterdata/productlogic.h"
#include "masterdata/productsupport.h"
#include "masterdata/stocklogic.h"
#include "masterdata/tfrproductedit.h"
#include "masterdata/tfrproductp.h"
#include "shell/commands.h"
#include "support/fixture.h"
#include <QLineEdit>
#include <QPushButton>

using namespace qm;

namespace {
const QString kRefusal = QStringLiteral("输入的数值超出范围！");

// Past every bound, far past it, and each bound itself.
QStringList refusedFor(Magnitude m)
{
    return {"1e308", "1e16", QString::number(bound(m), 'f', 0)};
}

class Bounds : public AppFixture {
protected:
    void TearDown() override
    {
        deleteWindows<Tfrproductedit, OpeningList, TFrproductp>();
        AppFixture::TearDown();
    }
    Connection& db() { return frdm->ADOCon; }
    QString stored(const QString& sql) { return db().scalar(sql).toString(); }

    // Types each refused number into `box` of a modal editor and saves.
    void refuseEach(QLineEdit* box, QPushButton* save, Magnitude m, const std::function<QString()>& storedNow)
    {
        const QString before = storedNow();
        for (const QString& typed : refusedFor(m)) {
            dialogs->clear();
            box->setText(typed);
            save->click();
            EXPECT_EQ(dialogs->messages(), QStringList{kRefusal}) << typed.toStdString();
            EXPECT_EQ(box->text(), typed);
            EXPECT_EQ(storedNow(), before) << typed.toStdString();
        }
    }
};
}

TEST_F(Bounds, ProductEditorRefusesEachPriceAndLevelAtItsBound)
{
    qmtest::addProduct(db(), {"A1", QStringLiteral("矿泉水")});
    frdm->Aqproduct->reopen("SELECT * from product\norder by sphh");
    frmain->editMode = "T";
    QWidget opener;
    Tfrproductedit* ed = Tfrproductedit::openFrom(&opener);
    ed->setAttribute(Qt::WA_DeleteOnClose, false);
    const QList<QPair<QLineEdit*, Magnitude>> boxes = {
        {ed->Edit14, Magnitude::Quantity}, {ed->Edit5, Magnitude::Quantity}, {ed->Edit9, Magnitude::Quantity},
        {ed->Edit10, Magnitude::Quantity}, {ed->Edit17, Magnitude::Price},   {ed->Edit18, Magnitude::Price},
        {ed->Edit15, Magnitude::Price},    {ed->Edit16, Magnitude::Price},   {ed->Edit2, Magnitude::Price},
        {ed->Edit3, Magnitude::Price}};
    ed->Edit7->setText("B1");
    for (const auto& [box, m] : boxes) {
        refuseEach(box, ed->Button1, m, [&] { return stored("SELECT count(*) FROM product"); });
        EXPECT_EQ(frmain->editMode, "T");
        box->setText("0");
    }
    // Just under the bounds everything is stored.
    for (const auto& [box, m] : boxes) box->setText(m == Magnitude::Quantity ? "999999" : "9999999.99");
    ed->Button1Click();
    EXPECT_EQ(stored("SELECT count(*) FROM product"), "2");
    EXPECT_EQ(stored("SELECT spmz FROM product WHERE sphh='B1'"), "9999999.99");

    // Changing a product: refused the same way, the stored row unchanged.
    ed->Edit15->setText("1e16");
    ed->Button1Click();
    EXPECT_EQ(dialogs->lastMessage(), kRefusal);
    EXPECT_EQ(stored("SELECT spmz FROM product WHERE sphh='B1'"), "9999999.99");
    EXPECT_EQ(frdm->Aqproduct->state(), Dataset::State::Browse);
    delete ed;

    // The write refuses by itself, whatever window calls it.
    product::Values v;
    v.sphh = "C1";
    v.csdj = 1e7;
    try {
        product::store(*frdm->Aqproduct, v, true, {});
        ADD_FAILURE() << "stored past the bound";
    } catch (const OutOfRange& e) {
        EXPECT_EQ(e.column, "csdj");
    }
    EXPECT_EQ(stored("SELECT count(*) FROM product WHERE sphh='C1'"), "0");
}

TEST_F(Bounds, OpeningBalancesOfAllFourKindsAndTheCountRefuseTheirBounds)
{
    for (const char* t : {"customer", "branch", "bank"})
        db().exec(QStringLiteral("INSERT INTO %1 (intno,id,name,rest) VALUES ('0000000001','0000000001','甲',5)").arg(t));
    qmtest::addProduct(db(), {"A1", QStringLiteral("矿泉水")});
    db().exec("UPDATE product SET rest=5, factsl=5");

    for (OpeningKind kind : allOpeningKinds()) {
        const OpeningDesc& d = openingDesc(kind);
        OpeningList* list = openOpeningList(kind);
        ASSERT_NE(list, nullptr) << d.listInstance.toStdString();
        const Magnitude m = kind == OpeningKind::Product ? Magnitude::Quantity : Magnitude::Amount;
        bool shown = false;
        dialogs->onExec = [&](QDialog* dlg) {
            auto* e = qobject_cast<OpeningEditor*>(dlg);
            if (!e) return int(QDialog::Rejected);
            shown = true;
            refuseEach(e->box(3), e->Button1, m, [&] { return stored("SELECT rest FROM " + d.table); });
            return int(QDialog::Rejected);
        };
        list->ToolButton1Click();
        EXPECT_TRUE(shown) << d.listInstance.toStdString();
        list->close();
        // And the write refuses by itself.
        openingDataset(kind)->reopen(openingBaseSql(kind));
        EXPECT_THROW(saveOpening(kind, QStringLiteral("甲"), {}, QString::number(bound(m), 'f', 0)), OutOfRange);
        openingDataset(kind)->close();
    }

    ASSERT_TRUE(runCommand("N4"));
    bool counted = false;
    dialogs->onExec = [&](QDialog* dlg) {
        auto* e = qobject_cast<Tfrproductpedit*>(dlg);
        if (!e) return int(QDialog::Rejected);
        counted = true;
        refuseEach(e->Edit5, e->Button1, Magnitude::Quantity, [&] { return stored("SELECT factsl FROM product"); });
        return int(QDialog::Rejected);
    };
    Frproductp->ToolButton2Click();
    EXPECT_TRUE(counted);
    EXPECT_THROW(stock::saveCount(*frdm->Aqproduct, "1e6"), OutOfRange);
    EXPECT_EQ(stored("SELECT factsl FROM product"), "5");
}
