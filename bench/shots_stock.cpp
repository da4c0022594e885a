// Pictures of the stock windows for a look by eye: the stock value list, the
// count window, the opening stock list with its editor, and an exported
// workbook beside them. Usage: shots_stock OUTPUT_FOLDER (run under a display).
#include "app/tfrmain.h"
#include "common/dialogs.h"
#include "common/paths.h"
#include "common/shell.h"
#include "data/schema.h"
#include "data/tfrdm.h"
#include "masterdata/openinglist.h"
#include "masterdata/tfrproduct.h"
#include "masterdata/tfrproductp.h"
#include "shell/commands.h"
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>

#include "benchsupport.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(out);
    qmbench::Shop shop;
    qm::ScriptedDialogs* dialogs = shop.dialogs;
    qm::shell::setHook([](const QString&, const QString&) { return true; });
    qmbench::generateProducts(frdm->ADOCon, 200);
    frdm->ADOCon.exec("UPDATE product SET sphh='0'||sphh WHERE rowid%5=0");
    frdm->applyNumberFormats();

    auto grab = [&](QWidget* w, const QString& name) {
        w->show();
        app.processEvents();
        w->grab().save(out + "/" + name);
    };
    qm::runCommand("N7");
    grab(Frproductp, "stock_value.png");
    Frproductp->close();
    qm::runCommand("N4");
    grab(Frproductp, "stocktaking.png");
    dialogs->onExec = [&](QDialog* d) {
        static_cast<Tfrproductpedit*>(d)->Edit5->setText("37");
        grab(d, "count_window.png");
        return 0;
    };
    Frproductp->ToolButton2Click();
    Frproductp->close();
    qm::runCommand("N82");
    grab(Frproduct_b, "opening_stock.png");
    dialogs->onExec = [&](QDialog* d) {
        grab(d, "opening_editor.png");
        return 0;
    };
    Frproduct_b->ToolButton1Click();
    Frproduct_b->close();
    qm::runCommand("N14");
    dialogs->files = {out + "/products.xlsx"};
    Frproduct->ExportAll->trigger();
    Frproduct->close();
    return 0;
}
