// The checks and questions before posting, reversing and voiding a document,
// and the commands that ask them before they write.
#include "common/dialogs.h"
#include "data/bakcopy.h"
#include "documents/documentengine.h"
#include "documents/documentengine_p.h"

namespace qm::doc {

using namespace detail;

// ---------------------------------------------------------- stock warnings

namespace {
QStringList stockWarningsFor(Connection& c, const DocDesc& d, const std::vector<Row>& rows, bool reversing)
{
    const StockWarning rule = reversing ? d.warnOnReverse : d.warnOnPost;
    QStringList out;
    Statement get(c, QStringLiteral("SELECT coalesce(sl,0) FROM product WHERE intno=:i"));
    for (size_t i = rule == StockWarning::RowsAfterFirst ? 1 : 0; i < rows.size(); ++i) {
        const Row& r = rows[i];
        if (!movesStock(d, r, reversing)) continue;
        get.reset();
        get.bind("i", r.spintno);
        if (get.step() && get.value(0).toDouble() < r.sl) out << r.spmc.trimmed() + text::lowStock();
    }
    return out;
}
}

QStringList stockWarnings(Connection& c, const DocDesc& d, const QString& docIntno, bool reversing)
{
    if ((reversing ? d.warnOnReverse : d.warnOnPost) == StockWarning::None) return {};
    return stockWarningsFor(c, d, readRows(c, d, docIntno), reversing);
}

// ------------------------------------------------------------- commands

void copyToBak() { requestBakCopy(); }

namespace {
// A command's stop inside the catch-all: its own message, then the catch-all's.
bool refuse(const QString& message)
{
    if (!message.isEmpty()) dlg::showMessage(message);
    dlg::showMessage(text::catchAll());
    return false;
}
}

bool checkBeforePosting(Connection& c, const DocDesc& d, const QString& docIntno, const HeaderInput& in, bool& dropLast)
{
    // What was read is used again only while no window has opened since:
    // another program may write the file while the operator reads a message.
    bool asked = false;
    std::optional<Header> stored = readHeader(c, d, docIntno);
    if (stored->pass) return refuse(text::alreadyPosted());
    if (noPartyChosen(in.partyCode)) return refuse(d.party.noneChosen);
    std::vector<Row> rows = readRows(c, d, docIntno);
    const std::vector<Row> all = rows;
    // An empty last row goes, through 删除 and its question.
    dropLast = false;
    if (!rows.empty() && rows.back().spmc.isEmpty() && !isCarried(rows.back())) {
        asked = d.deleteAsks;
        dropLast = !d.deleteAsks || dlg::confirm(text::confirmDelete());
        if (dropLast) rows.pop_back();
    }
    const std::optional<QString> code = padPartyCode(in.partyCode);
    if (code && !findParty(c, d, *code, false)) {
        dlg::showMessage(d.party.notFound);
        asked = true;
    }
    for (const Row& r : rows)
        if (r.spmc.trimmed().isEmpty()) return refuse(r.spmc.trimmed() + text::noProductName());
    if (d.warnOnPost != StockWarning::None) {
        const QStringList warnings = stockWarningsFor(c, d, asked ? readRows(c, d, docIntno) : all, false);
        for (const QString& w : warnings) dlg::showMessage(w);
        asked = asked || !warnings.isEmpty();
    }
    if (!code || !findParty(c, d, *code, true)) return refuse(d.party.notFoundOnPost);
    if (asked) stored = readHeader(c, d, docIntno);
    if (hasAccountEffects(d) && !accountExists(c, d.writesBankId ? in.bankId : stored->bankid)) {
        double pay = 0;
        for (size_t i = d.carriedForward ? 1 : 0; i < rows.size(); ++i) pay += rows[i].pay;
        if (d.totalPay ? pay != 0 : stored->pay != 0) return refuse(text::noAccount());
        dlg::showMessage(text::noAccount());
    }
    return true;
}

bool postBill(Connection& c, const DocDesc& d, const QString& docIntno, const HeaderInput& in, const QString& operatorCode)
{
    if (!dlg::confirm(text::confirmPost())) return false;
    try {
        bool dropLast = false;
        if (!checkBeforePosting(c, d, docIntno, in, dropLast)) return false;
        post(c, d, docIntno, in, dropLast, operatorCode);
        return true;
    } catch (const Refusal& r) {
        return refuse(r.message());
    } catch (const AppError&) {
        return refuse(QString());
    }
}

bool reverseBill(Connection& c, const DocDesc& d, const QString& docIntno)
{
    if (!dlg::confirm(text::confirmReverse())) return false;
    try {
        const Header h = readHeader(c, d, docIntno);
        if (h.cancel) throw Refusal(text::alreadyReversed());
        for (const QString& w : stockWarnings(c, d, docIntno, true)) dlg::showMessage(w);
        if (!findParty(c, d, h.customerid, true)) throw Refusal(d.party.notFoundOnReverse);
        if (hasAccountEffects(d) && !accountExists(c, h.bankid)) dlg::showMessage(text::noAccount());
        reverse(c, d, docIntno);
        return true;
    } catch (const Refusal& r) {
        dlg::showMessage(r.message());
        return false;
    }
}

bool voidBill(Connection& c, const DocDesc& d, const QString& docIntno)
{
    if (!dlg::confirm(text::confirmVoid())) return false;
    try {
        voidDocument(c, d, docIntno);
        return true;
    } catch (const Refusal& r) {
        return refuse(r.message());
    } catch (const AppError&) {
        return refuse(QString());
    }
}

}
