#include "data/tfrdm.h"
#include <QScopeGuard>
#include "common/dialogs.h"
#include "common/errors.h"
#include "common/formats.h"
#include "data/schema.h"
#include <QHash>

Tfrdm* frdm = nullptr;

using qm::Dataset;
using qm::FieldDef;
using qm::FieldType;

namespace {
using Texts = QHash<QString, QString>;

FieldType fieldTypeOf(qm::ColumnKind k)
{
    switch (k) {
    case qm::ColumnKind::Real: return FieldType::Float;
    case qm::ColumnKind::Bool: return FieldType::Bool;
    case qm::ColumnKind::Date: return FieldType::DateTime;
    case qm::ColumnKind::Memo: return FieldType::Memo;
    case qm::ColumnKind::Counter: return FieldType::Integer;
    default: return FieldType::Text;
    }
}

// The persistent fields of a dataset over `table`: its columns in their order
// (less `skip`), with the given grid labels and design-time display formats.
std::vector<FieldDef> fieldsOf(const QString& table, const Texts& labels = {}, const Texts& formats = {},
                               const QStringList& skip = {})
{
    std::vector<FieldDef> defs;
    for (const auto& c : qm::tableColumns(table)) {
        QString name = QString::fromLatin1(c.name);
        if (skip.contains(name)) continue;
        FieldDef d;
        d.name = name;
        d.type = fieldTypeOf(c.kind);
        d.size = c.size;
        d.label = labels.value(name);
        d.displayFormat = formats.value(name);
        defs.push_back(d);
    }
    return defs;
}

std::vector<FieldDef> only(std::vector<FieldDef> defs, const QStringList& names)
{
    std::vector<FieldDef> out;
    for (const auto& n : names)
        for (const auto& d : defs)
            if (d.name == n) out.push_back(d);
    return out;
}

void setSize(std::vector<FieldDef>& defs, const QString& name, int size)
{
    for (auto& d : defs)
        if (d.name == name) d.size = size;
}

Texts withFormat(const QStringList& names, const QString& format, Texts into = {})
{
    for (const auto& n : names) into.insert(n, format);
    return into;
}

const Texts kProductLabels = {
    {"sphh", "货品代码"},  {"spmc", "货品名称"},      {"spgg", "规格型号"},   {"spbzxh", "单位"},
    {"dj_w", "进货价"},    {"dj_n", "批发价"},        {"spmz", "超市价"},     {"spzz", "零售价"},
    {"sl_j", "数量/件"},   {"szbj", "选择"},          {"factory", "厂家"},    {"spph", "批次"},
    {"outdate", "生产日期"}, {"enddate", "有效日期"}, {"splb", "类别"},       {"branchintno", "供应商号"},
    {"branchname", "供应商名"}, {"rest", "期初数量"}, {"sl", "数量"},         {"sl_out_m", "月出货量"},
    {"sl_in_m", "月进货量"}, {"sl_out_y", "年出货量"}, {"sl_in_y", "年进货量"}};

Texts productFormats()
{
    Texts f = withFormat({"dj_w", "dj_n", "spmz", "spzz", "hydj", "csdj", "avdj"}, "0.00");
    f = withFormat({"sl_j", "rest", "sl", "sl_out_m", "sl_in_m", "sl_out_y", "sl_in_y"}, "0.#", f);
    f.insert("resl", "0.###");
    return f;
}

enum class Party { Customer, Supplier, Account };

Texts partnerLabels(Party p)
{
    Texts l = {{"id", "编号"},        {"tel", "电话"},   {"fax", "传真"},   {"movetel", "手机"},
               {"persondeal", "联系人"}, {"addr", "地址"}, {"deduck", "本月扣除"}, {"balance", "余额"},
               {"remark", "备注"},    {"deduck_y", "本年扣除"}};
    switch (p) {
    case Party::Customer:
        l.insert("name", "客户名"); l.insert("rest", "期初金额"); l.insert("amount", "本月货款");
        l.insert("pay", "本月收款"); l.insert("amount_y", "本年货款"); l.insert("pay_y", "本年收款");
        break;
    case Party::Supplier:
        l.insert("name", "供应商名"); l.insert("rest", "期初金额"); l.insert("amount", "本月货款");
        l.insert("pay", "本月付款"); l.insert("amount_y", "本年货款"); l.insert("pay_y", "本年付款");
        break;
    case Party::Account:
        l.insert("name", "名称"); l.insert("rest", "期初余额"); l.insert("amount", "本月金额");
        l.insert("amount_y", "本年金额");
        break;
    }
    return l;
}

Texts partnerFormats(Party p)
{
    Texts f = withFormat({"rest", "amount", "pay", "deduck", "balance", "amount_y", "pay_y", "deduck_y"}, "0.00");
    // Customers' and accounts' deductions show nothing when zero.
    if (p != Party::Supplier) f = withFormat({"deduck", "deduck_y"}, "#.##", f);
    return f;
}

const Texts kHeaderLabels = {
    {"intno", "单据号"},   {"billdate", "日期"},     {"customerid", "客户号"}, {"customername", "客户名"},
    {"persondeal", "联系人"}, {"balance", "上期结余"}, {"amount", "本次金额"}, {"pay", "付款金额"},
    {"deduck", "扣除金额"}, {"rest", "累计结余"},     {"remark", "备注"},       {"hjjs", "件数"},
    {"hjsl", "数量"},      {"billname", "单据名"}};

Texts headerFormats()
{
    Texts f = withFormat({"balance", "amount", "pay", "rest"}, "0.00");
    f.insert("deduck", "#.##");
    return f;
}

const Texts kRowLabels = {
    {"mainintno", "单据号"}, {"sphh", "货品代码"},   {"spmc", "货品名称"},   {"unit", "单位"},
    {"dj_w", "进货价"},     {"dj_n", "销售价"},     {"amount", "金额"},     {"deduck", "扣除金额"},
    {"pay", "收款金额"},    {"rest", "累计结余"},   {"remark", "规格型号"}, {"billtype", "单据类型号"},
    {"billname", "单据类型"}, {"billdate", "日期"}, {"customername", "客户名"}, {"djh", "单据号"},
    {"sl", "数量"}};

Texts rowFormats()
{
    Texts f = withFormat({"dj_w", "dj_n", "amount", "deduck", "pay", "rest"}, "0.00");
    f.insert("rebate", "0.##");
    f.insert("sl", "0.#");
    return f;
}

// The product history's rows: finer prices, deductions blank when zero.
Texts detailFormats()
{
    Texts f = rowFormats();
    f = withFormat({"dj_w", "dj_n"}, "0.000", f);
    f.insert("deduck", "#.##");
    return f;
}

// Typed text for a price or money cell: empty stores 0 rather than null; any
// other text must be a number (ConversionError otherwise, the cell unchanged).
void zeroWhenEmpty(Dataset& ds, qm::Field& f, const QString& text)
{
    double v = text.trimmed().isEmpty() ? 0.0 : qm::parseNumber(text);
    ds.setValue(f.name, v);
}
}

Tfrdm::Tfrdm(QObject* parent) : QObject(parent)
{
    setObjectName(QStringLiteral("frdm"));
    auto make = [this](const char* name, const QString& sql) {
        auto* ds = new Dataset(&ADOCon, QString::fromLatin1(name), this);
        if (!sql.isEmpty()) ds->setSql(sql);
        return ds;
    };
    AQcom = make("AQcom", QString());
    AQcom1 = make("AQcom1", QStringLiteral("select * from branch"));
    Aqproduct = make("Aqproduct", QStringLiteral("SELECT * from product"));
    // The product lists show every product: they read the rows they show.
    Aqproduct->setFetchOnDemand(true);
    Aqproduct->setRowidsByPage(true);
    AQproductxls = make("AQproductxls", QStringLiteral("SELECT * from product"));
    ATproduct = make("ATproduct", QStringLiteral("SELECT * FROM product"));
    Aqcustomer = make("Aqcustomer", QStringLiteral("SELECT * from customer"));
    AQbranch = make("AQbranch", QStringLiteral("SELECT * from branch"));
    AQbank = make("AQbank", QStringLiteral("SELECT * from bank"));
    AQemployee = make("AQemployee", QStringLiteral("SELECT * from employee"));
    AQstore = make("AQstore", QStringLiteral("SELECT * from store"));
    AQspec = make("AQspec", QStringLiteral("select * from spec"));
    AQoutlist = make("AQoutlist", QStringLiteral("select * from outlist"));
    // The document lists show every header of a kind: years of sales, read
    // by the block as they are shown, and a search reads what it finds.
    AQoutlist->setFetchOnDemand(true);
    AQoutlist->setRowidsByPage(true);
    AQoutdetail = make("AQoutdetail", QStringLiteral("select * from outdetail"));
    AQdetail = make("AQdetail", QStringLiteral("select * from outdetail"));
    AQtotallist = make("AQtotallist", QStringLiteral("select * from totallist"));
    ATtotallist1 = make("ATtotallist1", QStringLiteral("SELECT * FROM totallist1"));
    ATcusttotal1 = make("ATcusttotal1", QStringLiteral("SELECT * FROM custtotal1"));
    ATdateconfig = make("ATdateconfig", QStringLiteral("SELECT * FROM dateconfig"));
    ATCONFIG = make("ATCONFIG", QStringLiteral("SELECT * FROM config"));
    ATcompany = make("ATcompany", QStringLiteral("SELECT * FROM company"));
    ATopcrl = make("ATopcrl", QStringLiteral("SELECT * FROM opcrl"));
    ATapperror = make("ATapperror", QStringLiteral("SELECT * FROM apperror"));
    atnextno = make("atnextno", QStringLiteral("SELECT * FROM nextno"));

    defineFields();

    auto confirmDelete = [this](Dataset& ds) { AQbranchBeforeDelete(ds); };
    Aqproduct->beforeDelete = confirmDelete;
    AQbank->beforeDelete = confirmDelete;
    AQbranch->beforeDelete = confirmDelete;
    AQstore->beforeDelete = confirmDelete;
    AQemployee->beforeDelete = confirmDelete;
}

void Tfrdm::defineFields()
{
    Aqproduct->setPersistentFields(fieldsOf("product", kProductLabels, productFormats()));
    ATproduct->setPersistentFields(fieldsOf("product", kProductLabels, productFormats()));
    Aqcustomer->setPersistentFields(fieldsOf("customer", partnerLabels(Party::Customer), partnerFormats(Party::Customer)));
    AQbranch->setPersistentFields(fieldsOf("branch", partnerLabels(Party::Supplier), partnerFormats(Party::Supplier)));
    AQbank->setPersistentFields(fieldsOf("bank", partnerLabels(Party::Account), partnerFormats(Party::Account)));
    AQemployee->setPersistentFields(fieldsOf("employee", {{"name", "姓名"}}));
    AQstore->setPersistentFields(fieldsOf("store"));
    AQspec->setPersistentFields(fieldsOf("spec"));

    AQoutlist->setPersistentFields(fieldsOf("outlist", kHeaderLabels, headerFormats()));
    AQoutdetail->setPersistentFields(fieldsOf("outdetail", kRowLabels, rowFormats()));
    auto detail = fieldsOf("outdetail", kRowLabels, detailFormats());
    setSize(detail, "sphh", 10);
    AQdetail->setPersistentFields(detail);
    AQtotallist->setPersistentFields(fieldsOf("totallist", kHeaderLabels, headerFormats(), {"intid"}));
    ATtotallist1->setPersistentFields(fieldsOf("totallist1", kHeaderLabels, headerFormats(), {"intid"}));
    ATcusttotal1->setPersistentFields(fieldsOf("custtotal1", kRowLabels, rowFormats()));

    ATdateconfig->setPersistentFields(fieldsOf("dateconfig"));
    ATCONFIG->setPersistentFields(fieldsOf("config"));
    ATcompany->setPersistentFields(only(fieldsOf("company"), {"doc", "name", "tel", "addr"}));
    ATopcrl->setPersistentFields(fieldsOf("opcrl", {{"bh", "编号"}, {"xm", "用户名"}, {"pw", "密码"}, {"rh", "权限"}}));
    atnextno->setPersistentFields(fieldsOf("nextno"));

    for (Dataset* ds : {AQoutdetail, AQdetail})
        for (const char* name : {"dj_w", "dj_n", "deduck", "pay"}) ds->fieldByName(QString::fromLatin1(name))->onSetText = zeroWhenEmpty;
}

Tfrdm::~Tfrdm()
{
    ADOCon.close();
}

QList<Dataset*> Tfrdm::datasets() const
{
    return {AQcom, AQcom1, Aqproduct, AQproductxls, ATproduct, Aqcustomer, AQbranch, AQbank, AQemployee,
            AQstore, AQspec, AQoutlist, AQoutdetail, AQdetail, AQtotallist, ATtotallist1, ATcusttotal1,
            ATdateconfig, ATCONFIG, ATcompany, ATopcrl, ATapperror, atnextno};
}

void Tfrdm::connectTo(const QString& path)
{
    ADOCon.close();
    ADOCon.open(path);
}

void Tfrdm::reconnect()
{
    QString path = ADOCon.path();
    ADOCon.close();
    ADOCon.open(path);
}

int Tfrdm::execSql(const QString& sql, const qm::Params& params)
{
    AQcom->close();
    AQcom->setSql(sql);
    int n = ADOCon.exec(sql, params);
    AQcom->close();
    return n;
}

Dataset* Tfrdm::openSql(const QString& sql, const qm::Params& params)
{
    AQcom->reopen(sql, params);
    return AQcom;
}

bool Tfrdm::configFlag(const QString& field)
{
    ATCONFIG->open();
    const bool on = ATCONFIG->asBool(field);
    ATCONFIG->close();
    return on;
}

void Tfrdm::setConfigValue(const QString& field, const QVariant& value)
{
    ATCONFIG->open();
    auto closer = qScopeGuard([this] { ATCONFIG->close(); });
    qm::writeInTransaction(*ATCONFIG, [&] {
        ATCONFIG->edit();
        ATCONFIG->setValue(field, value);
        ATCONFIG->post();
        return true;
    });
}

void Tfrdm::applyNumberFormats()
{
    ATCONFIG->open();
    QString a = ATCONFIG->asString(QStringLiteral("amountformat"));
    QString q = ATCONFIG->asString(QStringLiteral("qtyformat"));
    QString p = ATCONFIG->asString(QStringLiteral("priceformat"));
    applyNumberFormats(a, q, p);
}

void Tfrdm::applyNumberFormats(const QString& amountFormat, const QString& qtyFormat, const QString& priceFormat)
{
    struct Assignment {
        const QString* format;
        Dataset* ds;
        QStringList fields;
    };
    const QStringList partnerMoney = {"balance", "amount", "pay", "deduck", "amount_y", "pay_y", "deduck_y", "rest"};
    const Assignment table[] = {
        {&amountFormat, AQtotallist, {"balance", "amount", "deduck", "rest", "pay"}},
        {&amountFormat, AQoutlist, {"rest", "balance", "amount", "deduck", "pay"}},
        {&amountFormat, AQoutdetail, {"rest", "amount", "deduck", "pay"}},
        {&amountFormat, Aqcustomer, partnerMoney},
        {&amountFormat, AQbranch, partnerMoney},
        {&amountFormat, AQbank, partnerMoney},
        {&qtyFormat, AQtotallist, {"hjsl", "hjss", "hjjs"}},
        {&qtyFormat, AQoutlist, {"hjsl", "hjss", "hjjs"}},
        {&qtyFormat, AQoutdetail, {"sl", "ss", "js", "sl_j"}},
        {&qtyFormat, Aqproduct, {"sl", "fitsl", "maxsl", "minsl", "sl_j", "sl_out_m", "sl_out_y", "sl_in_m", "sl_in_y", "rest"}},
        {&priceFormat, AQoutdetail, {"dj_n", "dj_w"}},
        {&priceFormat, Aqproduct, {"dj_n", "dj_w", "avdj", "spmz", "spzz", "hydj", "csdj"}},
    };
    QList<Dataset*> touched;
    for (const auto& a : table) {
        for (const auto& name : a.fields) {
            // The design-time definition and the live field both take the format,
            // so that it holds across re-opens and shows at once in an open grid.
            if (qm::FieldDef* def = a.ds->persistentField(name)) def->displayFormat = *a.format;
            a.ds->fieldByName(name)->displayFormat = *a.format;
        }
        if (!touched.contains(a.ds)) touched << a.ds;
    }
    for (Dataset* ds : touched) ds->notifyFieldsChanged();
}

void Tfrdm::AQbranchBeforeDelete(Dataset&)
{
    if (!qm::dlg::confirm(QStringLiteral("确实要删除当前记录吗?"), QStringLiteral("提示！"))) throw qm::SilentStop();
}
