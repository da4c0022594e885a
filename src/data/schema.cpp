#include "data/schema.h"

namespace qm {
void createSchema(Connection&) {}
void seedInitialRows(Connection&) {}
void createInitialDatabase(const QString& path)
{
    Connection c;
    c.open(path, true);
    Transaction t(c);
    createSchema(c);
    seedInitialRows(c);
    t.commit();
}
}
