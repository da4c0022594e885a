#include "layouts/partnerreports.h"
#include "data/tfrdm.h"

using namespace qm::report;

namespace {
// Company name, title and print date at the head of every page.
void pageHead(Layout& r, const QString& title)
{
    companyHead(r, frdm->ATcompany, title,
                {.height = 24, .nameHeight = 9, .namePt = 15, .titleTop = 11, .titleHeight = 8, .titlePt = 13})
        .system(130, 19, 60, 5, SystemData::PrintDate)
        .text(QStringLiteral("打印日期：%1"))
        .right();
}

void partyColumns(Layout& r, qm::Dataset* ds, const QString& name, const QString& rest, const QString& balance)
{
    r.setDataset(ds);
    r.addColumns({{QStringLiteral("编号"), "id", 30},
                  {name, "name", 62},
                  {rest, "rest", 30, Align::Right},
                  {QStringLiteral("电话"), "tel", 36},
                  {balance, "balance", 32, Align::Right}});
}
}

Tfrrcustomer::Tfrrcustomer()
{
    pageHead(*this, QStringLiteral("客户资料"));
    partyColumns(*this, frdm->Aqcustomer, QStringLiteral("客户名称"), QStringLiteral("期初应收"), QStringLiteral("应收累计"));
}

Tfrrbranch::Tfrrbranch()
{
    pageHead(*this, QStringLiteral("供应商资料"));
    partyColumns(*this, frdm->AQbranch, QStringLiteral("供应商名称"), QStringLiteral("期初应付"), QStringLiteral("应付累计"));
}

Tfrrcustomers::Tfrrcustomers()
{
    pageHead(*this, QStringLiteral("客户资料"));
    qm::Dataset* ds = frdm->Aqcustomer;
    setDataset(ds);
    const double group = 190.0 / across, code = 21;
    for (int g = 0; g < across; ++g)
        addColumns({{QStringLiteral("编号"), {}, code, Align::Left, QStringLiteral("id%1").arg(g)},
                    {QStringLiteral("客户名称"), {}, group - code, Align::Left, QStringLiteral("name%1").arg(g)}},
                   g * group);
    // Each line takes the next four members; the last line keeps its empty places.
    needData = [this, ds, first = true]() mutable {
        if (first) {
            ds->first();
            first = false;
        }
        const bool more = ds->active() && !ds->eof();
        // A later preparation (the print after the preview) starts again at the first member.
        if (!more) first = true;
        for (int g = 0; g < across; ++g) {
            QString id, name;
            if (ds->active() && !ds->eof()) {
                id = ds->asString(QStringLiteral("id"));
                name = ds->asString(QStringLiteral("name"));
                ds->next();
            }
            setCaption(QStringLiteral("id%1").arg(g), id);
            setCaption(QStringLiteral("name%1").arg(g), name);
        }
        return more;
    };
}

namespace qm {
void printPartners(PartnerReport which)
{
    const bool suppliers = which == PartnerReport::Suppliers;
    Dataset* ds = suppliers ? frdm->AQbranch : frdm->Aqcustomer;
    ds->reopen(suppliers ? QStringLiteral("SELECT * from branch") : QStringLiteral("SELECT * from customer"));
    ds->first();
    std::unique_ptr<report::Layout> r;
    switch (which) {
    case PartnerReport::Customers: r = std::make_unique<Tfrrcustomer>(); break;
    case PartnerReport::Suppliers: r = std::make_unique<Tfrrbranch>(); break;
    case PartnerReport::CustomersAcross: r = std::make_unique<Tfrrcustomers>(); break;
    }
    r->ReportTitle = report::reportTitle();
    r->Preview();
}
}
