#include "app/tfrmain.h"

Tfrmain* frmain = nullptr;

Tfrmain::Tfrmain(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmain"));
    setWindowTitle(QStringLiteral("Velkan超市后台(百货版V2009)-用户名:"));
    buildMenus();
}

Tfrmain::~Tfrmain()
{
    if (frmain == this) frmain = nullptr;
}
