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
class Bounds : public AppFixture {
protected:
    void TearDown() override
    {
        deleteWindows<Tfrproductedit, OpeningList, TFrproductp>();
        AppFixture::TearDown();
    }
    Connection& db() { return frdm->ADOCon; }
    QString stored(const QString& sql) { return db().scalar(sql).toString(); }

    // Types numbers past the bound of `m`, the bound itself, and numbers no
    // double holds (pasted, or a long run of digits) into `box` and saves: one
    // message each, the box as typed, `sql` reads what it read before.
    void refuseEach(QLineEdit* box, QPushButton* save, Magnitude m, const QString& sql)
    {
        const QString before = stored(sql);
        for (const QString& typed : {QString("1e308"), QString("1e16"), QString::number(bound(m), 'f', 0), QString("inf"),
                                     QString("-inf"), QString("nan"), QString("1e309"), QString(400, QChar('9'))}) {
            dialogs->clear();
            box->setText(typed);
            save->click();
            EXPECT_EQ(dialogs->messages().join('|') + " " + box->text() + " " + stored(sql),
                      QStringLiteral("输入的数值超出范围！ ") + typed + " " + before);
        }
    }
    // The same in the modal editor of class E that `open` shows.
    template <class E, class Box>
    void refuseInEditor(const std::function<void()>& open, Box box, Magnitude m, const QString& sql)
    {
        bool shown = false;
        dialogs->onExec = [&](QDialog* d) {
            if (auto* e = qobject_cast<E*>(d)) shown = true, refuseEach(box(e), e->Button1, m, sql);
            return int(QDialog::Rejected);
        };
        open();
        EXPECT_TRUE(shown);
    }
};
}

TEST_F(Bounds, ProductEditorRefusesEachPriceAndLevelAtItsBound)
{
    qmtest::addProduct(db(), {"A1", QStringLiteral("矿泉水")});
    frdm->Aqproduct->reopen("SELECT * from product\norder by sphh");
    frmain->editMode = "T";
    QWidget opener;
    std::unique_ptr<Tfrproductedit> ed(Tfrproductedit::openFrom(&opener));
    ed->setAttribute(Qt::WA_DeleteOnClose, false);
    const QList<QPair<QLineEdit*, Magnitude>> boxes = {
        {ed->Edit14, Magnitude::Quantity}, {ed->Edit5, Magnitude::Quantity}, {ed->Edit9, Magnitude::Quantity},
        {ed->Edit10, Magnitude::Quantity}, {ed->Edit17, Magnitude::Price},   {ed->Edit18, Magnitude::Price},
        {ed->Edit15, Magnitude::Price},    {ed->Edit16, Magnitude::Price},   {ed->Edit2, Magnitude::Price},
        {ed->Edit3, Magnitude::Price}};
    ed->Edit7->setText("B1");
    for (const auto& [box, m] : boxes) {
        refuseEach(box, ed->Button1, m, "SELECT count(*) FROM product");
        EXPECT_EQ(frmain->editMode, "T");
        box->setText(m == Magnitude::Quantity ? "999999" : "9999999.99");
    }
    // Just under the bounds everything is stored; changed past one, it is refused.
    ed->Button1Click();
    const QString b1 = "SELECT count(*)||' '||spmz FROM product WHERE sphh='B1'";
    EXPECT_EQ(stored(b1), "1 9999999.99");
    refuseEach(ed->Edit15, ed->Button1, Magnitude::Price, b1);
    EXPECT_EQ(frdm->Aqproduct->state(), Dataset::State::Browse);

    // The write refuses by itself, whatever window calls it.
    product::Values v;
    v.sphh = "C1";
    v.csdj = 1e7;
    EXPECT_THROW(product::store(*frdm->Aqproduct, v, true, {}), OutOfRange);
}

TEST_F(Bounds, OpeningBalancesOfAllFourKindsAndTheCountRefuseTheirBounds)
{
    for (const char* t : {"customer", "branch", "bank"})
        db().exec(QStringLiteral("INSERT INTO %1 (intno,id,name,rest) VALUES ('0000000001','0000000001','甲',5)").arg(t));
    qmtest::addProduct(db(), {"A1", QStringLiteral("矿泉水")});
    db().exec("UPDATE product SET rest=5, factsl=5");

    for (OpeningKind kind : allOpeningKinds()) {
        const OpeningDesc& d = openingDesc(kind);
        SCOPED_TRACE(d.listInstance.toStdString());
        OpeningList* list = openOpeningList(kind);
        ASSERT_NE(list, nullptr);
        const Magnitude m = kind == OpeningKind::Product ? Magnitude::Quantity : Magnitude::Amount;
        refuseInEditor<OpeningEditor>([list] { list->ToolButton1Click(); }, [](OpeningEditor* e) { return e->box(3); }, m,
                                      "SELECT rest FROM " + d.table);
        list->close();
        // And the write refuses by itself.
        openingDataset(kind)->reopen(openingBaseSql(kind));
        EXPECT_THROW(saveOpening(kind, QStringLiteral("甲"), {}, QString::number(bound(m), 'f', 0)), OutOfRange);
        openingDataset(kind)->close();
    }

    ASSERT_TRUE(runCommand("N4"));
    refuseInEditor<Tfrproductpedit>([] { Frproductp->ToolButton2Click(); }, [](Tfrproductpedit* e) { return e->Edit5; },
                                    Magnitude::Quantity, "SELECT factsl FROM product");
    EXPECT_THROW(stock::saveCount(*frdm->Aqproduct, "1e6"), OutOfRange);
}
