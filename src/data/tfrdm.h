#pragma once
// The data module: the one connection ADOCon and every shared dataset.
#include "data/connection.h"
#include "data/dataset.h"
#include <QObject>

class Tfrdm : public QObject {
    Q_OBJECT
public:
    explicit Tfrdm(QObject* parent = nullptr);
    ~Tfrdm() override;

    qm::Connection ADOCon;

    qm::Dataset* AQcom = nullptr;
    qm::Dataset* AQcom1 = nullptr;
    qm::Dataset* Aqproduct = nullptr;
    qm::Dataset* AQproductxls = nullptr;
    qm::Dataset* ATproduct = nullptr;
    qm::Dataset* Aqcustomer = nullptr;
    qm::Dataset* AQbranch = nullptr;
    qm::Dataset* AQbank = nullptr;
    qm::Dataset* AQemployee = nullptr;
    qm::Dataset* AQstore = nullptr;
    qm::Dataset* AQspec = nullptr;
    qm::Dataset* AQoutlist = nullptr;
    qm::Dataset* AQoutdetail = nullptr;
    qm::Dataset* AQdetail = nullptr;
    qm::Dataset* AQtotallist = nullptr;
    qm::Dataset* ATtotallist1 = nullptr;
    qm::Dataset* ATcusttotal1 = nullptr;
    qm::Dataset* ATdateconfig = nullptr;
    qm::Dataset* ATCONFIG = nullptr;
    qm::Dataset* ATcompany = nullptr;
    qm::Dataset* ATopcrl = nullptr;
    qm::Dataset* ATapperror = nullptr;
    qm::Dataset* atnextno = nullptr;

    // Opens ADOCon on the database file.
    void connectTo(const QString& path);
    // Closes ADOCon (and with it every dataset) and opens it again on the same file.
    void reconnect();

    // Runs one SQL command on AQcom: close, replace the SQL text, execute, close.
    int execSql(const QString& sql, const qm::Params& params = {});
    // Runs a SELECT on AQcom and leaves it open on its first row.
    qm::Dataset* openSql(const QString& sql, const qm::Params& params = {});

    // One column of the options row, read or written on its own (ATCONFIG is
    // opened for it and closed again).
    bool configFlag(const QString& field);
    void setConfigValue(const QString& field, const QVariant& value);

    // The number formats of the options row onto the 67 fields.
    void applyNumberFormats();
    void applyNumberFormats(const QString& amountFormat, const QString& qtyFormat, const QString& priceFormat);

    // Before-delete confirmation of Aqproduct, AQbank, AQbranch, AQstore, AQemployee.
    void AQbranchBeforeDelete(qm::Dataset& ds);

    // Every dataset, for iteration.
    QList<qm::Dataset*> datasets() const;

private:
    // Persistent fields, labels, design-time formats and set-text handlers.
    void defineFields();
};

extern Tfrdm* frdm;
