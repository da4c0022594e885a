#pragma once
// The date picker every date edit of the program uses: one instance
// `frpickdate`, kept for the whole run. A caller sets Date, shows it modally
// through the dialogs layer and reads Date back on OK; pickDateFor() does all
// of that for a line edit.
#include <QDialog>
#include <QDate>

class QCalendarWidget;
class QLabel;
class QLineEdit;
class QPushButton;

class Tfrpickdate : public QDialog {
    Q_OBJECT
public:
    explicit Tfrpickdate(QWidget* parent = nullptr);
    ~Tfrpickdate() override;

    QDate Date() const;
    void setDate(const QDate& d);

    QCalendarWidget* Calendar1 = nullptr;
    QLabel* Label1 = nullptr;           // "YYYY,M,D"
    QPushButton* btnPrevYear = nullptr; // 上一年
    QPushButton* btnNextYear = nullptr; // 下一年
    QPushButton* btnPrevMonth = nullptr;
    QPushButton* btnNextMonth = nullptr;
    QPushButton* BitBtn1 = nullptr;     // 确定&O
    QPushButton* BitBtn2 = nullptr;     // 取消&C

public slots:
    void FormShow();
    void Calendar1Change();
    void PrevYearClick();
    void NextYearClick();
    void PrevMonthClick();
    void NextMonthClick();

protected:
    void showEvent(QShowEvent* e) override;
};

extern Tfrpickdate* frpickdate;

namespace qm {
// The shared picker, created on first use when start-up has not made it yet.
Tfrpickdate* datePicker();
// Starts on the edit's date (today when it is empty or not a date), shows the
// picker modally and on OK writes the date back as "yyyy-MM-dd". Cancel leaves
// the edit as it was. True when a date was written.
bool pickDateFor(QLineEdit* edit);
// The title text of a date: year, month and day without leading zeros.
QString pickerTitle(const QDate& d);
}
