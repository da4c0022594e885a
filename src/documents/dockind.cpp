#include "documents/dockind.h"
#include "common/errors.h"
#include <algorithm>
#include <map>

namespace qm::doc {

namespace {
// A map keeps the descriptions in place: windows hold references to them.
std::map<int, DocDesc>& registry()
{
    static std::map<int, DocDesc> r;
    return r;
}
}

bool registerKind(const DocDesc& desc)
{
    registry().insert_or_assign(int(desc.kind), desc);
    return true;
}

bool hasKind(DocKind kind) { return registry().count(int(kind)) > 0; }

const DocDesc& docDesc(DocKind kind)
{
    auto it = registry().find(int(kind));
    if (it == registry().end()) throw AppError(QStringLiteral("document kind %1 is not registered").arg(int(kind)));
    return it->second;
}

QList<DocKind> registeredKinds()
{
    QList<DocKind> v;
    for (const auto& [k, d] : registry()) v << DocKind(k);
    return v;
}

}
