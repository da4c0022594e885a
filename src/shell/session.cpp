#include "shell/session.h"

namespace qm {

Session& session()
{
    static Session s;
    return s;
}

}
