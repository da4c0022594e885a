#include "layouts/partnerreports.h"
#include "data/tfrdm.h"

using namespace qm::report;

namespace {
// Company name and title at the head of every page.
void pageHead(Layout& r, const QString& title)
{
    if (!frdm->ATcompany->active()) frdm->ATcompany->open();
    auto& head = r.pageHeader(24);
    head.field(0, 0, 190, 9, frdm->ATcompany, QStringLiteral("name")).pt(15).bold().center();
    head.label(0, 11, 190, 8, title).named(QStringLiteral("title")).pt(13).center();
    head.system(130, 19, 60, 5, SystemData::PrintDate).text(QStringLiteral("打印日期：%1")).right();
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
    auto& colHead = columnHeader(7);
    auto& line = detail(6);
    for (int g = 0; g < across; ++g) {
        const double x = g * group;
        colHead.label(x, 0, code, 7, QStringLiteral("编号")).boxed().center().bold();
        colHead.label(x + code, 0, group - code, 7, QStringLiteral("客户名称")).boxed().center().bold();
        line.label(x, 0, code, 6, QString()).named(QStringLiteral("id%1").arg(g)).boxed();
        line.label(x + code, 0, group - code, 6, QString()).named(QStringLiteral("name%1").arg(g)).boxed();
    }
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
    ds->close();
    ds->setSql(suppliers ? QStringLiteral("SELECT * from branch") : QStringLiteral("SELECT * from customer"));
    ds->open();
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
