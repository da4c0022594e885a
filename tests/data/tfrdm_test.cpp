#include "support/fixture.h"
#include "common/errors.h"
#include "data/datasetmodel.h"
#include <atomic>
#include <thread>

using namespace qm;

namespace {
class DataModuleFormats : public AppFixture {};

const QStringList kPartnerMoney = {"balance", "amount", "pay", "deduck", "amount_y", "pay_y", "deduck_y", "rest"};
const QStringList kHeaderMoney = {"balance", "amount", "deduck", "rest", "pay"};
const QStringList kRowMoney = {"rest", "amount", "deduck", "pay"};

void fillMoney(Connection& c, const QString& table, const QStringList& cols, double v)
{
    QStringList sets;
    for (const auto& col : cols) sets << col + "=:p1";
    c.exec(QString("update %1 set %2").arg(table, sets.join(',')), {{"p1", v}});
}
}

TEST_F(DataModuleFormats, OptionsRowFormatsReachEveryListedFieldAndNoOther)
{
    Connection& c = frdm->ADOCon;
    c.exec("update config set amountformat='0,.00', qtyformat='0.000', priceformat='0,.0'");
    c.exec("insert into branch (intno, id, name) values ('0000000001', '0000000001', 'S')");
    c.exec("insert into outlist (intno) values ('0000000001')");
    c.exec("insert into outdetail (intno, mainintno) values ('0000000001', '0000000001')");
    for (const char* t : {"customer", "branch", "bank"}) fillMoney(c, t, kPartnerMoney, 12345.6);
    fillMoney(c, "outlist", kHeaderMoney + QStringList{"hjsl", "hjss", "hjjs"}, 12345.6);
    fillMoney(c, "totallist", kHeaderMoney + QStringList{"hjsl"}, 12345.6);
    fillMoney(c, "outdetail", kRowMoney + QStringList{"dj_w", "dj_n", "sl", "rebate"}, 12345.6);
    c.exec("insert into product (intno, sphh, dj_w, sl, resl) values ('00000001', '1', 2.25, 3, 1.23456)");

    // Before: design-time formats.
    frdm->Aqcustomer->open();
    EXPECT_EQ(frdm->Aqcustomer->displayText("amount"), "12345.60");
    EXPECT_EQ(frdm->Aqcustomer->displayText("deduck"), "12345.6");

    // An open grid shows the new format at once.
    DatasetModel model(frdm->Aqcustomer);
    int resets = 0;
    QObject::connect(&model, &QAbstractItemModel::modelReset, [&] { ++resets; });
    frdm->applyNumberFormats();
    EXPECT_GE(resets, 1);
    int col = frdm->Aqcustomer->fieldIndex("balance");
    EXPECT_EQ(model.data(model.index(0, col), Qt::DisplayRole).toString(), "12,345.60");

    for (Dataset* ds : {frdm->Aqcustomer, frdm->AQbranch, frdm->AQbank}) {
        ds->open();
        for (const auto& f : kPartnerMoney) EXPECT_EQ(ds->displayText(f), "12,345.60") << ds->name().toStdString() << f.toStdString();
    }
    frdm->AQoutlist->open();
    frdm->AQtotallist->open();
    for (Dataset* ds : {frdm->AQoutlist, frdm->AQtotallist})
        for (const auto& f : kHeaderMoney) EXPECT_EQ(ds->displayText(f), "12,345.60") << ds->name().toStdString() << f.toStdString();
    EXPECT_EQ(frdm->AQoutlist->displayText("hjsl"), "12345.600");
    EXPECT_EQ(frdm->AQtotallist->displayText("hjsl"), "12345.600");

    frdm->AQoutdetail->open();
    for (const auto& f : kRowMoney) EXPECT_EQ(frdm->AQoutdetail->displayText(f), "12,345.60") << f.toStdString();
    EXPECT_EQ(frdm->AQoutdetail->displayText("dj_w"), "12,345.6");
    EXPECT_EQ(frdm->AQoutdetail->displayText("sl"), "12345.600");
    EXPECT_EQ(frdm->AQoutdetail->displayText("rebate"), "12345.6"); // keeps "0.##"

    // The product history rows, the tables and the unlisted fields keep their own.
    frdm->AQdetail->open();
    EXPECT_EQ(frdm->AQdetail->displayText("amount"), "12345.60");
    EXPECT_EQ(frdm->AQdetail->displayText("dj_w"), "12345.600");
    EXPECT_EQ(frdm->AQdetail->displayText("deduck"), "12345.6");
    frdm->Aqproduct->open();
    frdm->ATproduct->open();
    EXPECT_EQ(frdm->Aqproduct->displayText("dj_w"), "2.3");
    EXPECT_EQ(frdm->Aqproduct->displayText("sl"), "3.000");
    EXPECT_EQ(frdm->Aqproduct->displayText("resl"), "1.235");
    EXPECT_EQ(frdm->ATproduct->displayText("dj_w"), "2.25");
    EXPECT_EQ(frdm->ATproduct->displayText("sl"), "3");

    // The formats hold across a reconnect, which closes every dataset.
    frdm->reconnect();
    frdm->AQbank->open();
    EXPECT_EQ(frdm->AQbank->displayText("balance"), "12,345.60");

    // Exactly 67 fields changed: count the fields whose format differs from a fresh data module's.
    Tfrdm fresh;
    int changed = 0;
    QList<Dataset*> mine = frdm->datasets(), theirs = fresh.datasets();
    for (int i = 0; i < mine.size(); ++i)
        for (int f = 0; f < mine[i]->fieldCount(); ++f)
            if (mine[i]->field(f)->displayFormat != theirs[i]->field(f)->displayFormat) ++changed;
    EXPECT_EQ(changed, 67);
}

TEST_F(DataModuleFormats, ClearedPriceOrMoneyCellStoresZeroAndBadTextKeepsTheCell)
{
    Connection& c = frdm->ADOCon;
    c.exec("insert into outdetail (intno, mainintno, dj_w, dj_n, deduck, pay, sl) values ('0000000001', '1', 5, 6, 7, 8, 9)");
    for (Dataset* ds : {frdm->AQoutdetail, frdm->AQdetail}) {
        SCOPED_TRACE(ds->name().toStdString());
        c.exec("update outdetail set dj_w=5, dj_n=6, deduck=7, pay=8, sl=9");
        ds->open();
        for (const char* f : {"dj_w", "dj_n", "deduck", "pay"}) ds->setText(f, "");
        ds->setText("sl", "");
        // A text that is not a number: conversion error, cell unchanged.
        ds->setText("pay", "1.5");
        EXPECT_THROW(ds->setText("pay", "1..2"), ConversionError);
        EXPECT_DOUBLE_EQ(ds->asFloat("pay"), 1.5);
        ds->post();
        auto row = c.rows("select dj_w, dj_n, deduck, pay, sl from outdetail");
        ASSERT_EQ(row.size(), 1u);
        for (int i = 0; i < 3; ++i) {
            EXPECT_FALSE(row[0][i].isNull()) << i;
            EXPECT_EQ(row[0][i].toDouble(), 0.0) << i;
        }
        EXPECT_DOUBLE_EQ(row[0][3].toDouble(), 1.5);
        EXPECT_TRUE(row[0][4].isNull()); // quantities have no such handler
        ds->close();
    }
    // Typing into the product history's rows never touches the document row query.
    frdm->AQoutdetail->open();
    frdm->AQdetail->open();
    frdm->AQdetail->setText("dj_w", "3");
    EXPECT_EQ(frdm->AQoutdetail->state(), Dataset::State::Browse);
    frdm->AQdetail->cancel();
}

TEST_F(DataModuleFormats, DeleteAsksFirstExceptForCustomers)
{
    Connection& c = frdm->ADOCon;
    c.exec("insert into branch (intno, id, name) values ('0000000001', '0000000001', 'S')");

    dialogs->answers.push_back(Answer::Cancel);
    frdm->AQbranch->open();
    EXPECT_THROW(frdm->AQbranch->remove(), SilentStop);
    ASSERT_EQ(dialogs->shown.size(), 1u);
    EXPECT_EQ(dialogs->shown[0].text, QStringLiteral("确实要删除当前记录吗?"));
    EXPECT_EQ(dialogs->shown[0].caption, QStringLiteral("提示！"));
    EXPECT_EQ(dialogs->shown[0].buttons, Buttons::OkCancel);
    EXPECT_EQ(c.scalar("select count(*) from branch").toInt(), 1);
    EXPECT_EQ(frdm->AQbranch->recordCount(), 1);

    dialogs->answers.push_back(Answer::Ok);
    frdm->AQbranch->remove();
    EXPECT_EQ(c.scalar("select count(*) from branch").toInt(), 0);
    EXPECT_EQ(dialogs->shown.size(), 2u);

    // Products, accounts, warehouses and employees ask the same; customers do not.
    for (Dataset* ds : {frdm->Aqproduct, frdm->AQbank, frdm->AQstore, frdm->AQemployee})
        EXPECT_TRUE(bool(ds->beforeDelete)) << ds->name().toStdString();
    dialogs->clear();
    frdm->Aqcustomer->open();
    frdm->Aqcustomer->remove();
    EXPECT_TRUE(dialogs->shown.empty());
    EXPECT_EQ(c.scalar("select count(*) from customer").toInt(), 0);
}

TEST(Backup, CopyWhileAnotherConnectionWritesIsWholeAndConsistent)
{
    QTemporaryDir dir;
    QString path = dir.path() + "/vkdb.mdb";
    createInitialDatabase(path);
    Connection reader;
    reader.open(path);

    std::atomic<bool> stop{false};
    std::atomic<int> written{0};
    std::thread writer([&] {
        Connection w;
        w.open(path);
        for (int i = 1; !stop && i < 100000; ++i) {
            // A document and its row go in together or not at all.
            Transaction t(w);
            w.exec("insert into inlist (intno) values (:p1)", {{"p1", QString::number(i)}});
            w.exec("insert into indetail (intno, mainintno) values (:p1, :p1)", {{"p1", QString::number(i)}});
            t.commit();
            ++written;
        }
    });
    while (written < 20) std::this_thread::yield();
    QString target = dir.path() + "/bak/vkdb.mdb";
    for (int round = 0; round < 3; ++round) {
        reader.backupTo(target);
        Connection copy;
        copy.open(target);
        EXPECT_EQ(copy.scalar("PRAGMA integrity_check").toString(), "ok");
        int headers = copy.scalar("select count(*) from inlist").toInt();
        EXPECT_GT(headers, 0);
        EXPECT_EQ(copy.scalar("select count(*) from indetail").toInt(), headers);
        EXPECT_EQ(copy.scalar("select count(*) from opcrl").toInt(), 1);
    }
    stop = true;
    writer.join();
    EXPECT_FALSE(QFile::exists(dir.path() + "/bak/.vkdb.mdb.part"));
}
