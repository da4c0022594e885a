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
    list.reopen(QStringLiteral("SELECT * from spec where specno=:pa2"), {{QStringLiteral("pa2"), kind}});
}

QString addEntry(Dataset& list, const QString& kind, const QString& name)
{
    Connection& c = *list.connection();
    QString intno;
    // The number is taken inside the write, so two copies adding at once
    // cannot give the same number; the refusal is shown after the rollback.
    const bool added = writeInTransaction(list, [&] {
        // Throws ConversionError when the kind's last number is not a number.
        const qint64 number = nextNumberOfKind(c, QStringLiteral("spec"), QStringLiteral("specno"), kind);
        // Two digits would wrap the hundredth entry to "00" and give every
        // later one the same number.
        if (number > 99) return false;
        intno = zeroPad(number, 2);
        list.reopen(QStringLiteral("SELECT * from spec where specno=:pa2 "), {{QStringLiteral("pa2"), kind}});
        list.append();
        list.setValue(QStringLiteral("intno"), intno);
        list.setValue(QStringLiteral("specno"), kind);
        list.setValue(QStringLiteral("name"), name);
        list.post();
        return true;
    });
    if (!added) {
        dlg::showMessage(numbersUsedUpMessage());
        throw SilentStop();
    }
    return intno;
}

void renameEntry(Dataset& list, const QString& name)
{
    writeInTransaction(list, [&] {
        list.edit();
        list.setValue(QStringLiteral("name"), name);
        list.post();
        return true;
    });
}
}
