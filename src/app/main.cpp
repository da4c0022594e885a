#include "app/tfrmain.h"
#include "data/tfrdm.h"
#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Velkan软件"));
    frmain = new Tfrmain;
    frdm = new Tfrdm;
    frmain->show();
    int rc = app.exec();
    delete frdm;
    delete frmain;
    return rc;
}
