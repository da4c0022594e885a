#pragma once
// A shop with a walk-in customer, a member who owes 120.00, the cash account,
// three products and helpers that write sales and sales returns directly.
#include "data/numbering.h"
#include "support/fixture.h"
#include "documents/documentengine.h"
#include <map>

class SaleShop : public AppFixture {
protected:
    struct Line {
        QString product; // sphh of a product, or a code without one ("零", "000")
        double sl, price, rebate = 100;
        QString unit = QStringLiteral("个");
    };

    void SetUp() override
    {
        AppFixture::SetUp();
        auto& c = frdm->ADOCon;
        // The member's code differs from its internal number.
        c.exec("INSERT INTO customer(intno, id, name, persondeal, addr, tel, balance) "
               "VALUES('0000000005', '0000000002', '李四', '李先生', '东街3号', '5550101', 120)");
        c.exec("INSERT INTO product(intno, sphh, name, spmc, spbzxh, spmz, hydj, dj_w, sl, sl_j, spgg) VALUES"
               "('00000001', '1001', '6901234567892', '可口可乐', '瓶', 3.5, 3.2, 2.1, 100, 1, 'KKKL'),"
               "('00000002', '1002', '6901234567893', '一二三四五六七八九十', '包', 12.5, 11, 8, 10, 1, 'YESS'),"
               "('00000003', '1003', '', '散装大米', '零', 5, 4.5, 3, 50, 1, 'SZDM')");
    }

    QString product(const QString& sphh, const QString& column)
    {
        return frdm->ADOCon.scalar("SELECT " + column + " FROM product WHERE sphh=:p1", {{"p1", sphh}}).toString();
    }

    // A document of the kind with the given rows, unposted; returns its number.
    QString write(const QString& header, const QString& rows, const QString& customer, const std::vector<Line>& lines,
                  double deduck = 0)
    {
        auto& c = frdm->ADOCon;
        qm::Transaction t(c);
        const QString no = qm::nextIntno(c, header, 10);
        double amount = 0, qty = 0;
        for (const Line& l : lines) {
            const QString rowNo = qm::nextIntno(c, rows, 10);
            const QString spintno = c.scalar("SELECT intno FROM product WHERE sphh=:p1", {{"p1", l.product}}).toString();
            const QString name = spintno.isEmpty() ? QStringLiteral("散货") : product(l.product, "spmc");
            const double a = l.sl * l.price * l.rebate / 100;
            c.exec("INSERT INTO " + rows + "(intno, mainintno, spintno, sphh, spmc, unit, sl, dj_n, rebate, amount) "
                   "VALUES(:p1, :p2, :p3, :p4, :p5, :p6, :p7, :p8, :p9, :p10)",
                   {{"p1", rowNo}, {"p2", no}, {"p3", spintno}, {"p4", l.product}, {"p5", name}, {"p6", l.unit},
                    {"p7", l.sl}, {"p8", l.price}, {"p9", l.rebate}, {"p10", a}});
            amount += a;
            qty += l.sl;
        }
        const auto who = c.rows("SELECT name, intno FROM customer WHERE id=:p1", {{"p1", customer}});
        c.exec("INSERT INTO " + header + "(intno, billdate, customerid, customerintno, customername, amount, deduck, "
               "hjsl, bankid, bankname) VALUES(:p1, '2026-03-09 10:00:00', :p2, :p3, :p4, :p5, :p6, :p7, "
               "'0000000001', '现金')",
               {{"p1", no}, {"p2", customer}, {"p3", who.empty() ? QString() : who[0][1].toString()},
                {"p4", who.empty() ? QString() : who[0][0].toString()}, {"p5", amount}, {"p6", deduck}, {"p7", qty}});
        t.commit();
        return no;
    }

    QString sale(const QString& customer, const std::vector<Line>& lines, double deduck = 0)
    {
        return write("outlist", "outdetail", customer, lines, deduck);
    }
    QString salesReturn(const QString& customer, const std::vector<Line>& lines)
    {
        return write("outbacklist", "outbackdetail", customer, lines);
    }

    // Every balance and stock figure a posting may touch.
    std::map<QString, QVariantList> balances()
    {
        std::map<QString, QVariantList> out;
        auto& c = frdm->ADOCon;
        for (const auto& r : c.rows("SELECT id, balance, amount, pay, deduck, amount_y, pay_y, deduck_y FROM customer"))
            out["customer " + r[0].toString()] = r;
        for (const auto& r : c.rows("SELECT id, balance, amount, pay, amount_y, pay_y FROM bank"))
            out["bank " + r[0].toString()] = r;
        for (const auto& r : c.rows("SELECT sphh, sl, sl_out_m, sl_out_y, sl_in_m, sl_in_y FROM product"))
            out["product " + r[0].toString()] = r;
        return out;
    }

    double customerBalance(const QString& id)
    {
        return frdm->ADOCon.scalar("SELECT balance FROM customer WHERE id=:p1", {{"p1", id}}).toDouble();
    }
    double stock(const QString& sphh) { return product(sphh, "sl").toDouble(); }
    QVariant headerValue(const QString& table, const QString& no, const QString& column)
    {
        return frdm->ADOCon.scalar("SELECT " + column + " FROM " + table + " WHERE intno=:p1", {{"p1", no}});
    }
};
