#pragma once
// A database of its own in a temporary folder, made by a script, for tests of
// the data layer that need no program folder.
#include "data/connection.h"
#include <QTemporaryDir>

namespace qmtest {

struct ScratchDb {
    QTemporaryDir dir;
    qm::Connection c;
    explicit ScratchDb(const QString& script)
    {
        c.open(dir.path() + "/t.db", true);
        c.execScript(script);
    }
};

}
