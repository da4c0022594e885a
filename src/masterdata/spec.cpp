#include "masterdata/spec.h"
#include "common/dialogs.h"
#include "common/errors.h"
#include "data/dataset.h"
#include "data/numbering.h"

namespace qm::spec {

QString listCaption(const QString& kind)
{
    return kind == QLatin1String("03") ? QStringLiteral("商品类别") : QStringLiteral("计量单位");
}

QString editCaption(const QString& kind)
{
    if (kind == QLatin1String("01")) return QStringLiteral("型号规格修改");
    if (kind == QLatin1String("03")) return QStringLiteral("商品类别修改");
    if (kind == QLatin1String("04")) return QStringLiteral("产品包装方式修改");
    return QStringLiteral("计量单位修改");
}

QString numbersUsedUpMessage() { return QStringLiteral("编号已用到99,不能再添加！"); }

void openKind(Dataset& list, const QString& kind)
{
    list.close();
    list.setSql(QStringLiteral("SELECT * from spec where specno=:pa2"));
    list.setParam(QStringLiteral("pa2"), kind);
    list.open();
}

QString addEntry(Dataset& list, const QString& kind, const QString& name)
{
    Connection& c = *list.connection();
    Transaction t(c);
    // Throws ConversionError when the kind's last number is not a number.
    const qint64 number = nextNumberOfKind(c, QStringLiteral("spec"), QStringLiteral("specno"), kind);
    if (number > 99) {
        // Two digits would wrap the hundredth entry to "00" and give every
        // later one the same number.
        dlg::showMessage(numbersUsedUpMessage());
        throw SilentStop();
    }
    const QString intno = zeroPad(number, 2);
    list.close();
    list.setSql(QStringLiteral("SELECT * from spec where specno=:pa2 "));
    list.setParam(QStringLiteral("pa2"), kind);
    list.open();
    try {
        list.append();
        list.setValue(QStringLiteral("intno"), intno);
        list.setValue(QStringLiteral("specno"), kind);
        list.setValue(QStringLiteral("name"), name);
        list.post();
        t.commit();
    } catch (...) {
        if (list.state() == Dataset::State::Insert) list.cancel();
        throw;
    }
    return intno;
}

void renameEntry(Dataset& list, const QString& name)
{
    Transaction t(*list.connection());
    try {
        list.edit();
        list.setValue(QStringLiteral("name"), name);
        list.post();
        t.commit();
    } catch (...) {
        if (list.state() == Dataset::State::Edit) list.cancel();
        throw;
    }
}
}
