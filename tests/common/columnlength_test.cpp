// Edit boxes bound to text columns, typed into by keys: each stops at its
// column's length, shows a stored value whole, and stores what it shows.
#include "documents/docdata.h"
#include "documents/docwindows.h"
#include "data/schema.h"
#include "masterdata/openinglist.h"
#include "masterdata/tfrproductedit.h"
#include "reports/summarywindow.h"
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace qm;
using namespace doctest;

namespace {
// Types one character more than `length` into the box, over what it held.
void overfill(QLineEdit* box, int length, QChar c = QLatin1Char('x'))
{
    box->selectAll();
    QTest::keyClicks(box, QString(length + 1, c));
}

QString stored(const QString& table, const QString& column, const QString& key, const QString& value)
{
    return str(QStringLiteral("SELECT %1 FROM %2 WHERE %3=:k").arg(column, table, key), {{"k", value}});
}

class ColumnLength : public AppFixture {};
}

TEST_F(ColumnLength, DocumentHeaderBoxes)
{
    // A contact longer than the document's column: shown and stored whole.
    db().exec("INSERT INTO branch (intno,id,name,persondeal) VALUES ('0000000007','0000000007',:n,:p)",
              {{"n", QStringLiteral("供应商甲")}, {"p", QStringLiteral("联系人联系人联系人联系人")}});
    frmain->docMode = "T";
    auto* w = qobject_cast<doc::EntryWindow*>(doc::openEntryWindow(doc::DocKind::Purchase, nullptr));
    ASSERT_TRUE(w);
    auto box = [w](const char* name) { return w->findChild<QLineEdit*>(name); };
    overfill(box("Edit2"), 10, QLatin1Char('7'));
    EXPECT_EQ(box("Edit2")->text(), "7777777777"); // a party code stops at ten digits
    box("Edit2")->selectAll();
    QTest::keyClicks(box("Edit2"), "7");
    w->Edit2Exit();
    EXPECT_EQ(box("Edit4")->text(), QStringLiteral("联系人联系人联系人联系人"));

    const char* columns[][2] = {{"Edit3", "customername"}, {"Edit16", "employeename"}, {"Edit9", "remark"}};
    for (const auto& c : columns) {
        overfill(box(c[0]), columnLength("inlist", c[1]));
        EXPECT_EQ(box(c[0])->text().size(), columnLength("inlist", c[1])) << c[0];
    }
    w->ToolButton3Click();
    const QString no = box("Edit1")->text();
    for (const auto& c : columns) EXPECT_EQ(stored("inlist", c[1], "intno", no), box(c[0])->text()) << c[0];
    EXPECT_EQ(stored("inlist", "persondeal", "intno", no), QStringLiteral("联系人联系人联系人联系人"));
    w->close();
}

TEST_F(ColumnLength, ProductEditorBoxes)
{
    QWidget opener;
    frmain->editMode = "T";
    frdm->Aqproduct->setSql("SELECT * from product\norder by sphh");
    frdm->Aqproduct->open();
    std::unique_ptr<Tfrproductedit> ed(Tfrproductedit::openFrom(&opener));
    ed->setAttribute(Qt::WA_DeleteOnClose, false);
    // box, column, length when it is not the column's
    struct Box {
        QLineEdit* box;
        const char* column;
        int length;
    };
    const std::vector<Box> boxes = {{ed->Edit7, "sphh", 0},
                                    {ed->Edit22, "name", 13}, // a barcode is typed with 13 characters at most
                                    {ed->Edit8, "spmc", 0},
                                    {ed->ComboBox2->lineEdit(), "splb", 0},
                                    {ed->ComboBox1->lineEdit(), "spbzxh", 0},
                                    {ed->Edit1, "factory", 0},
                                    {ed->ComboBox3->lineEdit(), "branchname", 0},
                                    {ed->Edit4, "spph", 0},
                                    {ed->Edit6, "bz", 0}};
    for (const Box& b : boxes) {
        const int length = b.length ? b.length : columnLength("product", b.column);
        overfill(b.box, length);
        EXPECT_EQ(b.box->text().size(), length) << b.column;
    }
    ed->Button1->click();
    const QString code = ed->Edit7->text();
    for (const Box& b : boxes) EXPECT_EQ(stored("product", b.column, "sphh", code), b.box->text()) << b.column;

    // Longer stored texts (written by the front desk or before the limits) come back whole.
    const QString longName = QString(45, QChar(0x540D));
    const QString longBarcode = "123456789012345678";
    db().exec("UPDATE product SET spmc=:m, name=:b", {{"m", longName}, {"b", longBarcode}});
    frdm->Aqproduct->reopen("SELECT * from product\norder by sphh");
    frmain->editMode = "F";
    frmain->currentIntno = frdm->Aqproduct->asString("intno");
    ed->FormShow();
    EXPECT_EQ(ed->Edit8->text(), longName);
    EXPECT_EQ(ed->Edit22->text(), longBarcode);
    ed->CheckBox1->click();
    ed->Button1->click();
    EXPECT_EQ(stored("product", "spmc", "sphh", code), longName);
    EXPECT_EQ(stored("product", "name", "sphh", code), longBarcode);
    // Shortened to its length, the box holds to the length again.
    ed->Edit8->setText(QString(40, QLatin1Char('y')));
    QTest::keyClicks(ed->Edit8, "z");
    EXPECT_EQ(ed->Edit8->text().size(), 40);
}

TEST_F(ColumnLength, OpeningEditorsAndReportCodeBoxes)
{
    customer("0000000002", QStringLiteral("华联"));
    account("0000000002", QStringLiteral("工行"));
    product("1", QStringLiteral("雪碧"));
    struct Case {
        OpeningKind kind;
        const char* third; // the third box's column
    };
    for (const Case& c : {Case{OpeningKind::Customer, "tel"}, Case{OpeningKind::Account, "accno"},
                          Case{OpeningKind::Product, "spgg"}}) {
        const OpeningDesc& d = openingDesc(c.kind);
        Dataset* rows = openingDataset(c.kind);
        rows->reopen(openingBaseSql(c.kind));
        rows->last();
        const QString key = d.boxes[0].column;
        const QString id = rows->asString(key);
        OpeningEditor e(c.kind, nullptr);
        overfill(e.box(1), columnLength(d.table, d.boxes[1].column));
        overfill(e.box(2), columnLength(d.table, c.third), QLatin1Char('1'));
        EXPECT_EQ(e.box(1)->text().size(), columnLength(d.table, d.boxes[1].column)) << d.table.toStdString();
        EXPECT_EQ(e.box(2)->text().size(), columnLength(d.table, c.third)) << d.table.toStdString();
        const QString name = e.box(1)->text(), third = e.box(2)->text();
        e.box(3)->setText("1");
        e.Button1Click();
        EXPECT_EQ(stored(d.table, d.boxes[1].column, key, id), name) << d.table.toStdString();
        EXPECT_EQ(stored(d.table, c.third, key, id), third) << d.table.toStdString();
    }

    // The summaries' code boxes stop where the rows' codes do: a supplier at ten, a product at fifteen.
    reports::SummaryWindow s(reports::SummaryKind::Purchases, nullptr);
    for (const auto& [name, length] : {std::pair{"Edit2", 10}, std::pair{"Edit3", 15}}) {
        QLineEdit* e = s.findChild<QLineEdit*>(name);
        overfill(e, length, QLatin1Char('1'));
        EXPECT_EQ(e->text().size(), length) << name;
    }
}
