#include "app/program.h"
#include "admin/errorhandler.h"
#include "app/application.h"
#include "app/tfrmain.h"
#include "common/datepicker.h"
#include "data/bakcopy.h"
#include "data/tfrdm.h"

namespace qm {

int runProgram()
{
    // Main window, data module, error window, date picker; the database opens
    // on the first show.
    bool created = Application::guard(nullptr, [] {
        frmain = new Tfrmain;
        frmain->FormCreate();
        frdm = new Tfrdm;
        Frm_ErrorMessage = new TFrm_ErrorMessage;
        frpickdate = new Tfrpickdate;
        frmain->show();
    });
    if (!created && !Application::exitRequested()) Application::requestExit(1);
    int rc = Application::run();
    // A copy to bak/ asked for by the last save finishes before the program ends.
    waitForBakCopies();
    delete frpickdate;
    delete Frm_ErrorMessage;
    delete frmain;
    delete frdm;
    return rc;
}

}
