#include "masterdata/opening.h"
#include "common/bounds.h"
#include "common/formats.h"
#include "data/dataset.h"
#include "data/tfrdm.h"
#include "masterdata/partnerkinds.h"

namespace qm {

namespace {
const QStringList kPartyModes = {QStringLiteral("编号"), QStringLiteral("名称"), QStringLiteral("电话"),
                                 QStringLiteral("传真"), QStringLiteral("手机"), QStringLiteral("联系人")};
const QStringList kPartyColumns = {"id", "name", "tel", "fax", "movetel", "persondeal"};

std::vector<OpeningDesc> build()
{
    const QStringList partyGrid = {"id", "name", "tel", "fax", "movetel", "persondeal", "rest"};
    auto partyBoxes = [](const QString& third, const QString& thirdLabel) {
        return std::vector<OpeningBox>{{"Edit2", "id", QStringLiteral("编号"), KeyRule::Digits},
                                       {"Edit3", "name", QStringLiteral("名称"), KeyRule::Free},
                                       {"Edit4", third, thirdLabel, KeyRule::Phone},
                                       {"Edit5", "rest", QStringLiteral("期初值"), KeyRule::Decimal}};
    };
    std::vector<OpeningDesc> v;
    v.push_back({OpeningKind::Customer, "customer", "TFrcustomer_b", "Frcustomer_b", QStringLiteral("往来单位_期初建帐"),
                 "Tfrcustomeredit_b", "frcustomeredit_b", QStringLiteral("修改客户应付期初值"), partyGrid, kPartyModes,
                 QStringLiteral("编号"), partyBoxes("tel", QStringLiteral("电话")), "N15"});
    v.push_back({OpeningKind::Supplier, "branch", "TFrbranch_b", "Frbranch_b", QStringLiteral("供应商信息_期初建帐"),
                 "Tfrbranchedit_b", "frbranchedit_b", QStringLiteral("修改供应商应付期初值"), partyGrid, kPartyModes,
                 QStringLiteral("编号"), partyBoxes("tel", QStringLiteral("电话")), "N10"});
    v.push_back({OpeningKind::Account, "bank", "TFrbank_b", "Frbank_b", QStringLiteral("现金银行帐_期初建帐"),
                 "Tfrbankedit_b", "frbankedit_b", QStringLiteral("修改现金银行期初值"),
                 {"id", "name", "accno", "rest", "remark"}, kPartyModes, QString(),
                 partyBoxes("accno", QStringLiteral("帐号")), "N13"});
    v.push_back({OpeningKind::Product, "product", "TFrproduct_b", "Frproduct_b", QStringLiteral("产品资料_期初建帐"),
                 "Tfrproductedit_b", "frproductedit_b", QStringLiteral("修改商品期初库存量"),
                 {"sphh", "spmc", "spgg", "spbzxh", "rest"},
                 {QStringLiteral("拼音首字"), QStringLiteral("货品代码"), QStringLiteral("品名规格"), QStringLiteral("初值非0")},
                 QStringLiteral("拼音首字"),
                 {{"Edit2", "sphh", QStringLiteral("货 号"), KeyRule::Digits},
                  {"Edit3", "spmc", QStringLiteral("品名规格"), KeyRule::Free},
                  {"Edit4", "spgg", QStringLiteral("拼音首字"), KeyRule::Free},
                  {"Edit5", "rest", QStringLiteral("期初库存量"), KeyRule::Decimal}},
                 "N82"});
    return v;
}
}

const OpeningDesc& openingDesc(OpeningKind kind)
{
    static const std::vector<OpeningDesc> all = build();
    return all[size_t(kind)];
}

const QList<OpeningKind>& allOpeningKinds()
{
    static const QList<OpeningKind> k = {OpeningKind::Customer, OpeningKind::Supplier, OpeningKind::Account,
                                         OpeningKind::Product};
    return k;
}

Dataset* openingDataset(OpeningKind kind)
{
    switch (kind) {
    case OpeningKind::Customer: return frdm->Aqcustomer;
    case OpeningKind::Supplier: return frdm->AQbranch;
    case OpeningKind::Account: return frdm->AQbank;
    case OpeningKind::Product: return frdm->Aqproduct;
    }
    return nullptr;
}

QString openingBaseSql(OpeningKind kind) { return QStringLiteral("SELECT * from ") + openingDesc(kind).table; }

OpeningSearch planOpeningSearch(OpeningKind kind, const QString& text, const QString& mode, const QString& gridField)
{
    OpeningSearch s;
    s.boxText = text;
    const QString typed = text.trimmed();
    const QString base = openingBaseSql(kind);
    auto where = [&](const QString& condition, const Params& params) {
        s.change = true;
        s.sql = condition.isEmpty() ? base : base + QStringLiteral("\n") + condition;
        s.params = condition.isEmpty() ? Params() : params;
    };
    auto like = [&](const QString& column) {
        where(typed.isEmpty() ? QString() : QStringLiteral("WHERE (%1 like :p1)").arg(column),
              {{"p1", QStringLiteral("%") + typed + QStringLiteral("%")}});
    };
    // The range of every text that begins with the value, the value itself and Chinese included.
    auto range = [&](const QString& column, const QString& value) {
        where(value.isEmpty() ? QString() : QStringLiteral("WHERE (%1>=:p1)and(%1<=:p2)").arg(column),
              {{"p1", value}, {"p2", prefixEnd(value)}});
    };

    const QString m = mode.trimmed();
    if (kind == OpeningKind::Product) {
        if (m == QStringLiteral("拼音首字")) like("spgg");
        else if (m == QStringLiteral("货品代码")) like("sphh");
        else if (m == QStringLiteral("品名规格")) like("spmc");
        else if (m == QStringLiteral("初值非0")) where(QStringLiteral("WHERE rest<>0.0 "), {});
        return s;
    }
    if (m.isEmpty()) {
        // By the column the operator clicked in the grid.
        if (kPartyColumns.contains(gridField) || (kind == OpeningKind::Account && gridField == QLatin1String("accno")))
            like(gridField);
        return s;
    }
    const int at = kPartyModes.indexOf(m);
    if (at < 0) return s;
    if (at == 0) {
        const QString padded = padCode(typed, 10);
        s.boxText = padded;
        range("id", padded == QStringLiteral("0000000000") ? QString() : padded);
        return s;
    }
    range(kPartyColumns[at], typed);
    return s;
}

QMap<QString, QString> openingValues(OpeningKind kind)
{
    QMap<QString, QString> v;
    Dataset* ds = openingDataset(kind);
    if (!ds->active() || ds->isEmpty()) return v;
    for (const OpeningBox& b : openingDesc(kind).boxes) {
        if (b.column == QLatin1String("rest"))
            v.insert(b.column, ds->isNull(b.column) ? QString() : formatFloat(QString(), ds->asFloat(b.column)));
        else
            v.insert(b.column, ds->asString(b.column));
    }
    return v;
}

void saveOpening(OpeningKind kind, const QString& name, const QString& third, const QString& opening)
{
    Dataset* ds = openingDataset(kind);
    if (!ds->active() || ds->isEmpty()) return;
    const double value = parseBoxNumber(opening, QStringLiteral("rest"));
    requireBounded(value, kind == OpeningKind::Product ? Magnitude::Quantity : Magnitude::Amount, QStringLiteral("rest"));
    const auto& boxes = openingDesc(kind).boxes;
    try {
        Transaction t(*ds->connection());
        ds->edit();
        ds->setValue(boxes[1].column, name);
        ds->setValue(boxes[2].column, third);
        ds->setValue(QStringLiteral("rest"), value);
        ds->post();
        t.commit();
    } catch (...) {
        // Rolled back by now: the row shows what is stored.
        ds->resync();
        throw;
    }
}

}
