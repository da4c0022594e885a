#pragma once
// In-place upgrades of an older database. Each step looks for the very column
// or table it adds, so a database that lacks only some of them is completed
// and an up-to-date one runs nothing and takes no write lock. All commands of
// one call run in one transaction: a failure leaves the database as it was.
#include "data/connection.h"
#include <QStringList>

namespace qm {

// Brings the database up to date in one transaction; returns the commands
// run, in order (none when it was up to date).
QStringList upgradeSchema(Connection& c);

}
