#pragma once
// The sale (销售单) and the sales return (销售退货单): the customer's side of the
// goods documents, described for the document engine, and the write steps of
// the counter that the sale adds to the engine's.
#include "documents/documentengine.h"
#include <optional>

namespace qm::doc {

// The customer's party and what the sale and the sales return share.
PartyDesc customerParty();
DocDesc customerGoods();

DocDesc makeSale();
DocDesc makeSalesReturn();
const DocDesc& saleDesc();
const DocDesc& salesReturnDesc();

// Codes of goods sold or taken back without a product record: the front
// desk's "零" and the return's "000". Such rows move no stock, either way.
bool isLooseGoodsCode(const QString& sphh);

// The header of a customer document keeps the customer's balance after it
// (inside the posting transaction, once the effects are applied).
void storeClosingBalance(Connection& c, const DocDesc& d, const Header& h);

// The running turnover of the sale window: the first row of totallist holds
// the sales posted since login (amount) and that plus the sale on screen (rest).
double turnoverSinceLogin(Connection& c);
// Writes the turnover plus the sale on screen and returns it (总营业额).
double showTurnover(Connection& c, double saleOnScreen);
// 总营业额 beside a sale as shown: the turnover since login plus the sale's
// amount, unless the sale is posted and so among the turnover already.
double runningTurnover(Connection& c, const Header& shown);
// The front desk's own turnover in the options row: amount, raised by every
// checkout, and amount0, that plus the sale being tendered.
double showFrontDeskTurnover(Connection& c, double saleOnScreen);

// The amount due of a sale differs from the one the tender showed: the sale
// was changed while the cashier took the cash. Nothing is written.
class DueChanged : public Refusal {
public:
    DueChanged();
};

// The checkout of a tendered sale, in one transaction: an empty last row goes
// when `dropLast`, the last row keeps the cash handed over (pay) and the change
// (rest), the header's pay becomes what the till keeps (the amount due), the
// sale is posted as 过帐 posts it, and the front desk's turnover grows by the
// sale. With `dueShown` (the tender's 合计) the sale is posted only at that
// amount due, to the cent, so that the change stored and printed is the one
// shown; else DueChanged. Refusals and failures roll it all back. Run
// checkBeforePosting first.
void postTendered(Connection& c, const QString& docIntno, const HeaderInput& in, double cashTaken,
                  const QString& operatorCode, bool dropLast = false, std::optional<double> dueShown = {});

}
