#include "common/datepicker.h"
#include "common/clock.h"
#include "common/dialogs.h"
#include "common/formats.h"
#include <QCalendarWidget>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

Tfrpickdate* frpickdate = nullptr;

namespace {
QPushButton* stepButton(const QString& text, const char* name, QWidget* parent)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}
}

Tfrpickdate::Tfrpickdate(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frpickdate"));
    setWindowTitle(QStringLiteral("选择日期"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    qm::centreOnScreen(this);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    QFont tf = Label1->font();
    tf.setPointSize(tf.pointSize() + 2);
    tf.setBold(true);
    Label1->setFont(tf);

    Calendar1 = new QCalendarWidget(this);
    Calendar1->setObjectName(QStringLiteral("Calendar1"));
    Calendar1->setLocale(QLocale(QLocale::Chinese, QLocale::China));
    Calendar1->setFirstDayOfWeek(Qt::Sunday);
    Calendar1->setGridVisible(true);
    Calendar1->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    Calendar1->setNavigationBarVisible(false);
    Calendar1->setMinimumSize(320, 200);

    btnPrevYear = stepButton(QStringLiteral("上一年"), "btnPrevYear", this);
    btnPrevMonth = stepButton(QStringLiteral("上一月"), "btnPrevMonth", this);
    btnNextMonth = stepButton(QStringLiteral("下一月"), "btnNextMonth", this);
    btnNextYear = stepButton(QStringLiteral("下一年"), "btnNextYear", this);

    BitBtn1 = new QPushButton(QStringLiteral("确定&O"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(QStringLiteral("取消&C"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));

    auto* steps = new QHBoxLayout;
    steps->addWidget(btnPrevYear);
    steps->addWidget(btnPrevMonth);
    steps->addStretch(1);
    steps->addWidget(btnNextMonth);
    steps->addWidget(btnNextYear);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);

    auto* lay = new QVBoxLayout(this);
    lay->addWidget(Label1);
    lay->addLayout(steps);
    lay->addWidget(Calendar1, 1);
    lay->addLayout(buttons);

    connect(btnPrevYear, &QPushButton::clicked, this, &Tfrpickdate::PrevYearClick);
    connect(btnNextYear, &QPushButton::clicked, this, &Tfrpickdate::NextYearClick);
    connect(btnPrevMonth, &QPushButton::clicked, this, &Tfrpickdate::PrevMonthClick);
    connect(btnNextMonth, &QPushButton::clicked, this, &Tfrpickdate::NextMonthClick);
    connect(Calendar1, &QCalendarWidget::selectionChanged, this, &Tfrpickdate::Calendar1Change);
    // The calendar's own month paging (wheel, keys) changes the page, not the
    // date; keep the date on the page shown so the title and OK agree.
    connect(Calendar1, &QCalendarWidget::currentPageChanged, this, [this](int y, int m) {
        QDate d = Calendar1->selectedDate();
        if (d.year() == y && d.month() == m) return;
        int day = qMin(d.day(), QDate(y, m, 1).daysInMonth());
        setDate(QDate(y, m, day));
    });
    connect(Calendar1, &QCalendarWidget::activated, this, [this](const QDate&) { accept(); });
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    setDate(qm::Clock::today());
    adjustSize();
}

Tfrpickdate::~Tfrpickdate()
{
    if (frpickdate == this) frpickdate = nullptr;
}

QDate Tfrpickdate::Date() const { return Calendar1->selectedDate(); }

void Tfrpickdate::setDate(const QDate& d)
{
    if (!d.isValid()) return;
    Calendar1->setSelectedDate(d);
    Calendar1->setCurrentPage(d.year(), d.month());
    Calendar1Change();
}

void Tfrpickdate::FormShow() { Calendar1Change(); }

void Tfrpickdate::Calendar1Change() { Label1->setText(qm::pickerTitle(Date())); }

void Tfrpickdate::PrevYearClick() { setDate(Date().addYears(-1)); }
void Tfrpickdate::NextYearClick() { setDate(Date().addYears(1)); }
void Tfrpickdate::PrevMonthClick() { setDate(Date().addMonths(-1)); }
void Tfrpickdate::NextMonthClick() { setDate(Date().addMonths(1)); }

void Tfrpickdate::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    FormShow();
}

namespace qm {

Tfrpickdate* datePicker()
{
    if (!frpickdate) frpickdate = new Tfrpickdate;
    return frpickdate;
}

QString pickerTitle(const QDate& d)
{
    return QStringLiteral("%1,%2,%3").arg(d.year()).arg(d.month()).arg(d.day());
}

bool pickDateFor(QLineEdit* edit)
{
    if (!edit) return false;
    Tfrpickdate* p = datePicker();
    QDate start = parseDate(edit->text());
    p->setDate(start.isValid() ? start : Clock::today());
    if (dlg::exec(p) != QDialog::Accepted) return false;
    QString text = formatDate(p->Date());
    if (!edit->inputMask().isEmpty()) {
        // A masked edit takes the digits; its mask supplies the separators.
        text.remove(QLatin1Char('-'));
    }
    edit->setText(text);
    edit->setModified(true);
    return true;
}

}
