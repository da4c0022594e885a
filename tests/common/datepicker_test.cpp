#include "support/fixture.h"
#include "common/datepicker.h"
#include <QCalendarWidget>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

class DatePickerTest : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        qm::Clock::setFixed(QDateTime(QDate(2026, 3, 31), QTime(10, 0)));
    }
};

TEST_F(DatePickerTest, PickerProtocolOkCancelAndStartingDate)
{
    QLineEdit edit;
    QDate seen;
    // Empty edit: the picker starts on today; OK writes the chosen date back.
    dialogs->onExec = [&](QDialog* d) {
        auto* p = qobject_cast<Tfrpickdate*>(d);
        seen = p->Date();
        EXPECT_EQ(p->Label1->text(), "2026,3,31");
        p->setDate(QDate(2025, 1, 5));
        EXPECT_EQ(p->Label1->text(), "2025,1,5");
        return int(QDialog::Accepted);
    };
    EXPECT_TRUE(qm::pickDateFor(&edit));
    EXPECT_EQ(seen, QDate(2026, 3, 31));
    EXPECT_EQ(edit.text(), "2025-01-05");
    EXPECT_EQ(dialogs->shown.back().caption, QStringLiteral("选择日期"));

    // A filled edit starts on its own date; Cancel leaves it as it was.
    dialogs->onExec = [&](QDialog* d) {
        auto* p = qobject_cast<Tfrpickdate*>(d);
        seen = p->Date();
        p->setDate(QDate(2020, 2, 2));
        return int(QDialog::Rejected);
    };
    EXPECT_FALSE(qm::pickDateFor(&edit));
    EXPECT_EQ(seen, QDate(2025, 1, 5));
    EXPECT_EQ(edit.text(), "2025-01-05");

    // Text that is no date starts on today instead of failing.
    edit.setText("abc");
    EXPECT_FALSE(qm::pickDateFor(&edit));
    EXPECT_EQ(seen, QDate(2026, 3, 31));
    EXPECT_EQ(edit.text(), "abc");
}

TEST_F(DatePickerTest, MaskedReportEditReceivesThePickedDate)
{
    QLineEdit edit;
    edit.setInputMask("0000/99/90;_");
    dialogs->onExec = [](QDialog* d) {
        qobject_cast<Tfrpickdate*>(d)->setDate(QDate(2026, 7, 4));
        return int(QDialog::Accepted);
    };
    EXPECT_TRUE(qm::pickDateFor(&edit));
    EXPECT_EQ(edit.text(), "2026/07/04");
    dialogs->onExec = [](QDialog* d) {
        EXPECT_EQ(qobject_cast<Tfrpickdate*>(d)->Date(), QDate(2026, 7, 4));
        return int(QDialog::Rejected);
    };
    qm::pickDateFor(&edit);
}

TEST_F(DatePickerTest, StepButtonsAndDoubleClick)
{
    Tfrpickdate* p = qm::datePicker();
    EXPECT_EQ(p->windowTitle(), QStringLiteral("选择日期"));
    EXPECT_EQ(p->Calendar1->firstDayOfWeek(), Qt::Sunday);
    p->setDate(QDate(2024, 2, 29));
    p->NextYearClick();
    EXPECT_EQ(p->Date(), QDate(2025, 2, 28));
    p->PrevYearClick();
    p->PrevYearClick();
    EXPECT_EQ(p->Date(), QDate(2023, 2, 28));
    p->setDate(QDate(2024, 1, 31));
    p->NextMonthClick();
    EXPECT_EQ(p->Date(), QDate(2024, 2, 29));
    EXPECT_EQ(p->Label1->text(), "2024,2,29");
    p->setDate(QDate(2024, 1, 10));
    p->PrevMonthClick();
    EXPECT_EQ(p->Date(), QDate(2023, 12, 10));
    EXPECT_EQ(p->Label1->text(), "2023,12,10");

    // Paging the calendar itself keeps the date on the shown month.
    p->Calendar1->setCurrentPage(2023, 6);
    EXPECT_EQ(p->Date(), QDate(2023, 6, 10));
    EXPECT_EQ(p->Label1->text(), "2023,6,10");

    // A double-click (activation) closes with OK.
    p->setResult(QDialog::Rejected);
    emit p->Calendar1->activated(p->Date());
    EXPECT_EQ(p->result(), int(QDialog::Accepted));
    delete p;
    EXPECT_EQ(frpickdate, nullptr);
}
