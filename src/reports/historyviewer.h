#pragma once
// The product history viewer: the posted goods rows of one product (sales,
// sales returns, purchases, purchase returns) over the remembered range,
// opened modally from the product list; 查明细单 opens the posted document of
// the current line read-only.
#include "reports/reportwindow.h"

namespace qm::reports {

class Tfrdetail : public ReportWindow {
    Q_OBJECT
public:
    Tfrdetail(const QString& spintno, QWidget* owner);
    ~Tfrdetail() override;

    QLineEdit* Edit9 = nullptr;   // 客户编号
    QLineEdit* Edit10 = nullptr;  // 客户名
    QPlainTextEdit* Memo1 = nullptr;
    QString product() const { return spintno_; }

    // The command that opens the posted view of a bill type ("PostedView02"),
    // registered by the document windows. It is run with AQoutlist on the
    // document's header, qm::session().docIntno its number and qm::session().pickCode 99;
    // the posted view is owned by the open viewer (current()), which it
    // disables while shown, and shows no 冲数.
    static QString postedViewCommand(int billtype);
    // The viewer being shown, if any.
    static Tfrdetail* current();

public slots:
    void refreshClick() override;
    void reportClick() override; // 查明细单

protected:
    void firstStep() override;
    void closeReset() override;

private:
    QString spintno_;
};

// The launcher of the product list's 查商品历史明细单: the history of the
// product list's current product, in the viewer shown modally.
void openProductHistory(QWidget* productList);

}
