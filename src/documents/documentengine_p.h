#pragma once
// Helpers that the document engine's files share: reading and entry
// (documentengine.cpp), posting with its effects and reversal
// (documentposting.cpp), and the checks and questions before posting
// (postingchecks.cpp). Not for use outside the engine.
#include "documents/documentengine.h"
#include "masterdata/picklink.h"
#include <vector>

namespace qm::doc::detail {

inline bool isCarried(const Row& r) { return r.spmc.trimmed() == carriedForwardName(); }

inline bool movesStock(const DocDesc& d, const Row& r, bool reversing)
{
    if (r.spintno.trimmed().isEmpty()) return false;
    return !d.rowMovesStock || d.rowMovesStock(r.sphh, r.unit, reversing);
}

inline bool hasAccountEffects(const DocDesc& d)
{
    for (const Effect& e : d.effects)
        if (e.target == Target::Account) return true;
    return false;
}

// The header's party code as the posting checks read it.
inline bool noPartyChosen(const QString& typed)
{
    const QString t = typed.trimmed();
    return t.isEmpty() || t == "0";
}

// The recalculation; `written`, when given, receives the rows as they stand
// afterwards, so that posting need not read them again. Posting, which has
// just read the state in its own transaction, passes `stateRead`.
Header recalcRows(Connection& c, const DocDesc& d, const QString& docIntno, const HeaderInput& in,
                  std::vector<Row>* written, bool stateRead = false);

}
