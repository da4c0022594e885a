// Pictures of the report windows and their printed pages for looking at by
// eye: written only when QM_SHOTS_DIR names a folder.
#include "reports/historyviewer.h"
#include "reports/statementwindow.h"
#include "reports/summarywindow.h"
#include "reports/statements.h"
#include "reports/reportdata.h"
#include "layouts/report.h"
#include <QApplication>
#include <QLineEdit>
#include <QPixmap>

using namespace qm;
using namespace qm::reports;
using namespace reporttest;

namespace {
class ReportShots : public AppFixture {
protected:
    void SetUp() override
    {
        dir_ = qEnvironmentVariable("QM_SHOTS_DIR");
        if (dir_.isEmpty()) GTEST_SKIP() << "QM_SHOTS_DIR not set";
        AppFixture::SetUp();
        storeRange(frdm->ADOCon, {QDate(2009, 3, 1), QDate(2009, 3, 31)});
        frdm->ADOCon.exec("UPDATE company SET name='好又多便利超市', addr='杭州市文三路 88 号', tel='0571-88886666'");
        frdm->ADOCon.exec("UPDATE bank SET rest=1200");
        frdm->ADOCon.exec("INSERT INTO customer (intno,id,name,tel,rest,remark) VALUES "
                          "('0000000002','0000000002','张三','13905710001',150,'每月月底结帐')");
        const char* names[] = {"晨光中性笔 0.5mm", "得力订书机", "康师傅红烧牛肉面", "农夫山泉 550ml", "清风抽纸三层"};
        for (int i = 0; i < 60; ++i) {
            const QString day = QString("2009-03-%1 %2:%3:00").arg(1 + i / 3, 2, 10, QChar('0')).arg(9 + i % 9, 2, 10, QChar('0')).arg(i % 60, 2, 10, QChar('0'));
            const double sl = 1 + i % 4, price = 2.5 + i % 5;
            row("outdetail", day, {{"spintno", QString("0000000%1").arg(i % 5)}, {"sphh", QString("69012%1").arg(i % 5)},
                                   {"spmc", names[i % 5]}, {"unit", "个"}, {"sl", sl}, {"dj_n", price}, {"dj_w", price * 0.7},
                                   {"amount", sl * price}, {"djh", i % 2 ? "001" : "002"}, {"customerid", i % 7 ? "0000000001" : "0000000002"},
                                   {"customername", i % 7 ? "零散客户" : "张三"}, {"pay", i % 3 ? 0.0 : 50.0}, {"rest", i % 3 ? 0.0 : 50.0 - sl * price}});
        }
        row("getdetail", "2009-03-10", {{"customerid", "0000000002"}, {"sphh", "0000000001"}, {"spmc", "现金"}, {"amount", 80.0}});
        row("putdetail", "2009-03-12", {{"customerid", "0000000012"}, {"sphh", "0000000001"}, {"spmc", "现金"}, {"amount", 300.0}});
    }
    void shoot(QWidget* w, const QString& name)
    {
        w->resize(1100, 640);
        w->show();
        QApplication::processEvents();
        EXPECT_TRUE(w->grab().save(dir_ + "/" + name + ".png"));
    }
    void pages(report::Layout* r, const QString& name)
    {
        ASSERT_TRUE(r->writePdf(dir_ + "/" + name + ".pdf"));
    }
    QString dir_;
};
}

TEST_F(ReportShots, WindowsAndPrints)
{
    auto* s = new SummaryWindow(SummaryKind::ProductSales, nullptr);
    shoot(s, "summary");
    pages(s->layout(), "summary");
    delete s;

    s = new SummaryWindow(SummaryKind::ProductSales, nullptr);
    s->show();
    s->groupClick();
    shoot(s, "summary-grouped");
    delete s;

    fillProductHistory("00000002");
    auto* h = new Tfrdetail("00000002", nullptr);
    shoot(h, "history");
    delete h;

    auto* c = new StatementWindow(StatementKind::Customer, nullptr);
    c->show();
    c->codeEdit->setText("2");
    c->refreshClick();
    shoot(c, "statement");
    pages(c->layout(), "statement");
    delete c;

    auto* j = new StatementWindow(StatementKind::Journal, nullptr);
    shoot(j, "journal");
    pages(j->layout(), "journal");
    delete j;
}
