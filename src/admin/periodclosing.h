#pragma once
// Month-end, year-end, initialisation and clearing the sales data: each
// rewrites counters and balances and empties document tables in one
// transaction, so a failure leaves every table as it was.
#include "data/progress.h"
#include <QStringList>

namespace qm {

class Connection;

// The SQL of each job, in the order it runs (the numbering reset is the
// first command of year-end's and initialisation's table work).
QStringList monthEndCommands();
QStringList yearEndCommands();
QStringList initialisationCommands();
QStringList clearSalesCommands();

// Runs a job's commands in one transaction, telling `progress` how many of
// them have run.
void runClosingJob(Connection& c, const QStringList& commands, const Progress& progress = {});

// The menu commands with their password re-check, administrator rule,
// question and closing message; the job runs off the interface thread under
// a progress window. Year-end first copies works/ to LASTBAK and stops with
// nothing changed unless that copy was written and checked. A job that ran
// ends with the checked copy to bak/ (requestBakCopy), as a save does.
void monthEnd();
void yearEnd();
void initialiseSystem();
void clearSalesData();

}
