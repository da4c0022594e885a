#pragma once
// In-place upgrades of an older database. Each step looks for the very column
// or table it adds, so a database that lacks only some of them is completed
// and an up-to-date one runs nothing. All commands of one call run in one
// transaction: a failure leaves the database as it was.
#include "data/connection.h"
#include <QStringList>

namespace qm {

// The commands an upgrade of this database would run, in order (empty when
// it is up to date).
QStringList pendingUpgrades(Connection& c);
// Runs them in one transaction; returns the commands run.
QStringList upgradeSchema(Connection& c);

}
