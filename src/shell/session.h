#pragma once
// The logged-in state and the hand-over fields through which windows call
// each other: one session for the running program.
#include <QString>

namespace qm {

struct Session {
    // Logged-in state.
    QString operatorCode;   // "999" is the administrator
    QString operatorName;
    QString loginPassword;  // as typed
    // Hand-over fields.
    int pickCode = 0;       // who opened a master list (0 = the menu)
    QString editMode;       // "T" add, "F" modify
    QString currentIntno;
    QString docMode;        // "T" new, "F" existing
    QString docIntno;
    QString specKind;       // "02" units, "03" categories
    QString imeName;
    int printPageCount = 0;
    int sortedByType = 0;
    QString firstActivate;
    QString lastYearMode;   // "T" while last year's data is in the working folder

    bool isAdministrator() const { return operatorCode == QLatin1String("999"); }
};

Session& session();

}
