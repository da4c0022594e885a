#include "data/tfrdm.h"
#include "common/dialogs.h"
#include "common/errors.h"

Tfrdm* frdm = nullptr;

using qm::Dataset;

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
    AQproductxls = make("AQproductxls", QStringLiteral("SELECT * from product"));
    ATproduct = make("ATproduct", QStringLiteral("SELECT * FROM product"));
    Aqcustomer = make("Aqcustomer", QStringLiteral("SELECT * from customer"));
    AQbranch = make("AQbranch", QStringLiteral("SELECT * from branch"));
    AQbank = make("AQbank", QStringLiteral("SELECT * from bank"));
    AQemployee = make("AQemployee", QStringLiteral("SELECT * from employee"));
    AQstore = make("AQstore", QStringLiteral("SELECT * from store"));
    AQspec = make("AQspec", QStringLiteral("select * from spec"));
    AQoutlist = make("AQoutlist", QStringLiteral("select * from outlist"));
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

    auto confirmDelete = [this](Dataset& ds) { AQbranchBeforeDelete(ds); };
    Aqproduct->beforeDelete = confirmDelete;
    AQbank->beforeDelete = confirmDelete;
    AQbranch->beforeDelete = confirmDelete;
    AQstore->beforeDelete = confirmDelete;
    AQemployee->beforeDelete = confirmDelete;
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
    AQcom->close();
    AQcom->setSql(sql);
    for (const auto& p : params) AQcom->setParam(p.first, p.second);
    AQcom->open();
    return AQcom;
}

void Tfrdm::applyNumberFormats()
{
    ATCONFIG->open();
    QString a = ATCONFIG->asString(QStringLiteral("amountformat"));
    QString q = ATCONFIG->asString(QStringLiteral("qtyformat"));
    QString p = ATCONFIG->asString(QStringLiteral("priceformat"));
    applyNumberFormats(a, q, p);
}

void Tfrdm::applyNumberFormats(const QString&, const QString&, const QString&)
{
    // Filled in with the field definitions.
}

void Tfrdm::AQbranchBeforeDelete(Dataset&)
{
    if (!qm::dlg::confirm(QStringLiteral("确实要删除当前记录吗?"), QStringLiteral("提示！"))) throw qm::SilentStop();
}
