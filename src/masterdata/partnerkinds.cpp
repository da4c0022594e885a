#include "masterdata/partnerkinds.h"
#include "data/tfrdm.h"

namespace qm {

namespace {

const QString kMemberStatus = QStringLiteral("若要选取资料到某单据，单击“选中”或双击某行即可。");
const QString kColumnHint = QStringLiteral("要模糊查找,先点击查找列");
const QStringList kModeItems = {QStringLiteral("编号"), QStringLiteral("客户名"), QStringLiteral("电话"),
                                QStringLiteral("传真"), QStringLiteral("手机"), QStringLiteral("联系人")};
const QStringList kPartyGrid = {"id", "name", "tel", "fax", "movetel", "persondeal", "email", "addr", "amount",
                                "deduck", "pay", "amount_y", "deduck_y", "pay_y", "balance"};

// The member editor's boxes; the twins rename or drop some.
std::vector<EditorBox> memberBoxes(const QString& idLabel, const QString& nameLabel, int idWidth, bool chinese)
{
    return {
        {"Edit2", "id", idLabel, KeyRule::Digits, idWidth, false},
        {"Edit3", "name", nameLabel, KeyRule::Free, 40, chinese},
        {"Edit1", "tel", QStringLiteral("电话"), KeyRule::Phone, 12, false},
        {"Edit5", "fax", QStringLiteral("传真"), KeyRule::Phone, 12, false},
        {"Edit4", "movetel", QStringLiteral("手机"), KeyRule::Phone, 40, false},
        {"Edit6", "email", QStringLiteral("E-mail"), KeyRule::Free, 40, false},
        {"Edit7", "addr", QStringLiteral("地址"), KeyRule::Free, 50, chinese},
        {"Edit8", "persondeal", QStringLiteral("联系人"), KeyRule::Free, 12, chinese},
    };
}

std::vector<PartnerDesc> build()
{
    std::vector<PartnerDesc> v;
    const QString code = QStringLiteral("编号"), name = QStringLiteral("名称");

    PartnerDesc c{PartnerKind::Customer, "customer", 10, {}, {}};
    c.editor = {"Tfrcustomeredit", "frcustomeredit", QStringLiteral("会员资料录入修改"),
                memberBoxes(QStringLiteral("会员号"), QStringLiteral("会员名"), 10, true),
                QStringLiteral("0000000001为零散客户"), false};
    c.list.className = "TFrcustomer";
    c.list.instance = "Frcustomer";
    c.list.caption = QStringLiteral("会员资料");
    c.list.gridColumns = kPartyGrid;
    c.list.modeItems = kModeItems;
    c.list.idSearch = IdSearch::PaddedLike;
    c.list.pickCodes = {1, 3, 5, 11, 13};
    c.list.deleteRule = DeleteRule::WalkInRefused;
    c.list.print = PrintRule::Customers;
    c.list.fourAcross = true;
    c.list.gridHint = QStringLiteral("双击可选取客户到明细单");
    c.list.statusText = kMemberStatus;
    c.list.menuItem = "N16";
    v.push_back(c);

    PartnerDesc s{PartnerKind::Supplier, "branch", 10, {}, {}};
    s.editor = {"Tfrbranchedit", "frbranchedit", QStringLiteral("供应商信息录入修改"), memberBoxes(code, name, 10, true),
                QString(), false};
    s.list = c.list;
    s.list.className = "TFrbranch";
    s.list.instance = "Frbranch";
    s.list.caption = QStringLiteral("供应商信息");
    s.list.modeItems[1] = name;
    s.list.idSearch = IdSearch::AsTypedLike;
    s.list.pickCodes = {2, 4, 6, 11, 12, 14};
    s.list.deleteRule = DeleteRule::AskOnBalance;
    s.list.print = PrintRule::Suppliers;
    s.list.searchOnShow = true;
    s.list.fourAcross = false;
    s.list.gridHint = QStringLiteral("双击可选取供应商到明细单");
    s.list.menuItem = "N79";
    v.push_back(s);

    PartnerDesc b{PartnerKind::Account, "bank", 10, {}, {}};
    b.editor = {"Tfrbankedit", "frbankedit", QStringLiteral("现金银行资料录入修改"),
                {
                    {"Edit2", "id", code, KeyRule::Digits, 10, false},
                    {"Edit1", "tel", QStringLiteral("电话"), KeyRule::Phone, 12, false},
                    {"Edit3", "name", name, KeyRule::Free, 40, true},
                    {"Edit4", "accno", QStringLiteral("帐号"), KeyRule::Phone, 30, false},
                    {"Edit5", "remark", QStringLiteral("说明"), KeyRule::Free, 255, true},
                    {"Edit6", "email", QStringLiteral("E-mail"), KeyRule::Free, 40, false},
                    {"Edit7", "addr", QStringLiteral("地址"), KeyRule::Free, 50, true},
                    {"Edit8", "persondeal", QStringLiteral("联系人"), KeyRule::Free, 12, true},
                },
                QString(), false};
    b.list.className = "TFrbank";
    b.list.instance = "Frbank";
    b.list.caption = QStringLiteral("现金银行帐");
    b.list.gridColumns = {"id", "name", "tel", "persondeal", "amount", "balance", "email", "accno", "addr", "remark"};
    b.list.pickCodes = {1, 2, 12, 13, 14};
    b.list.gridHint = kColumnHint;
    b.list.statusText = QStringLiteral("若要选取现金银行资料到某单据，单击“选中”或双击某行即可。");
    b.list.menuItem = "N33";
    v.push_back(b);

    PartnerDesc e{PartnerKind::Employee, "employee", 10, {}, {}};
    auto eb = memberBoxes(code, name, 10, true);
    eb.pop_back(); // no contact box
    e.editor = {"Tfremployeeedit", "fremployeeedit", QStringLiteral("员工资料录入修改"), eb, QString(), false};
    e.list.className = "TFremployee";
    e.list.instance = "Fremployee";
    e.list.caption = QStringLiteral("员工资料");
    e.list.gridColumns = {"id", "name", "tel", "movetel", "fax", "email", "addr"};
    e.list.modeItems = kModeItems;
    e.list.idSearch = IdSearch::PaddedPrefix;
    e.list.pickCodes = {1, 2, 5, 6, 13, 14};
    e.list.print = PrintRule::Disabled;
    e.list.gridHint = kColumnHint;
    e.list.statusText = kMemberStatus;
    e.list.menuItem = "N80";
    e.list.hotImages = true;
    v.push_back(e);

    // Warehouse codes are three characters wide: the proposal and the padded
    // search use three digits.
    PartnerDesc w{PartnerKind::Store, "store", 3, {}, {}};
    w.editor = {"Tfrstoreedit", "frstoreedit", QStringLiteral("仓库信息录入修改"), memberBoxes(code, name, 3, false),
                QString(), true};
    w.list.className = "TFrstore";
    w.list.instance = "Frstore";
    w.list.caption = QStringLiteral("仓库设置");
    w.list.gridColumns = {"id", "name", "tel", "persondeal", "email", "remark"};
    w.list.modeItems = kModeItems;
    w.list.idSearch = IdSearch::PaddedLike;
    w.list.print = PrintRule::Disabled;
    w.list.gridHint = kColumnHint;
    w.list.menuOnly = true;
    w.list.menuItem = "N81";
    w.list.hotImages = true;
    v.push_back(w);
    return v;
}

} // namespace

const PartnerDesc& partnerDesc(PartnerKind kind)
{
    static const std::vector<PartnerDesc> all = build();
    return all[size_t(kind)];
}

const QList<PartnerKind>& allPartnerKinds()
{
    static const QList<PartnerKind> k = {PartnerKind::Customer, PartnerKind::Supplier, PartnerKind::Account,
                                         PartnerKind::Employee, PartnerKind::Store};
    return k;
}

Dataset* partnerDataset(PartnerKind kind)
{
    if (!frdm) return nullptr;
    switch (kind) {
    case PartnerKind::Customer: return frdm->Aqcustomer;
    case PartnerKind::Supplier: return frdm->AQbranch;
    case PartnerKind::Account: return frdm->AQbank;
    case PartnerKind::Employee: return frdm->AQemployee;
    case PartnerKind::Store: return frdm->AQstore;
    }
    return nullptr;
}

QString prefixEnd(const QString& text)
{
    const char32_t top = 0x10FFFF;
    return text + QString::fromUcs4(&top, 1);
}

}
