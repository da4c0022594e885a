#pragma once
// The main window and the logged-in state with the hand-over fields through
// which windows call each other.
#include <QMainWindow>
#include <QString>

class Tfrmain : public QMainWindow {
    Q_OBJECT
public:
    explicit Tfrmain(QWidget* parent = nullptr);
    ~Tfrmain() override;

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

    bool isAdministrator() const { return operatorCode == QLatin1String("999"); }
};

extern Tfrmain* frmain;
