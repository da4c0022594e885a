// The progress window over long work, real and scripted, and long work run
// off the interface thread under it.
#include "common/dialogs.h"
#include "common/dialogs_p.h"
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

namespace qm {

namespace {

// How often the work lets the program paint and the window answer.
constexpr int kEventsEveryMs = 30;
// The bar's steps.
constexpr int kBarSteps = 1000;

// The window itself: the step, the bar, and the stop button where there is
// one. Escape presses the stop button; the window never closes by itself.
class ProgressDialog : public QDialog {
public:
    ProgressDialog(const QString& caption, const QString& stopText)
    {
        setObjectName(QStringLiteral("progressWindow"));
        setWindowTitle(caption);
        // No close button on the title bar: the work is not left running unseen.
        setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
        step = new QLabel(this);
        step->setObjectName(QStringLiteral("step"));
        step->setMinimumWidth(320);
        bar = new QProgressBar(this);
        bar->setObjectName(QStringLiteral("bar"));
        bar->setTextVisible(false);
        auto* lay = new QVBoxLayout(this);
        // As large as its step needs, no larger: nothing to resize.
        lay->setSizeConstraint(QLayout::SetFixedSize);
        lay->addWidget(step);
        lay->addWidget(bar);
        if (!stopText.isEmpty()) {
            stop = new QPushButton(stopText, this);
            stop->setObjectName(QStringLiteral("stop"));
            connect(stop, &QPushButton::clicked, this, [this] { stopped = true; });
            lay->addWidget(stop, 0, Qt::AlignHCenter);
        }
    }
    void showStep(const QString& text, qint64 done, qint64 total)
    {
        step->setText(text);
        if (total > 0) {
            bar->setRange(0, kBarSteps);
            bar->setValue(int(std::clamp<qint64>(done, 0, total) * kBarSteps / total));
        } else {
            bar->setRange(0, 0); // moving: the amount is not known
        }
    }
    QLabel* step = nullptr;
    QProgressBar* bar = nullptr;
    QPushButton* stop = nullptr;
    bool stopped = false;

protected:
    void reject() override
    {
        if (stop) stopped = true;
    }
};

// Until the window shows, the operator's input waits; a close asked of a
// window by the window manager is no input, and waits here instead: the
// windows under the work stay open until it has ended.
class KeepWindowsOpen : public QObject {
public:
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() != QEvent::Close || !o->isWidgetType() || !static_cast<QWidget*>(o)->isWindow()
            || qobject_cast<QDialog*>(o))
            return false;
        e->ignore();
        return true;
    }
};

class WidgetProgress : public ProgressWindow {
public:
    WidgetProgress(const QString& caption, const QString& text, int delayMs, const QString& stopText)
        : caption_(caption), stopText_(stopText), step_(text), delayMs_(delayMs)
    {
        clock_.start();
        events_.start();
        if (qApp) qApp->installEventFilter(&keepOpen_);
    }
    ~WidgetProgress() override
    {
        if (!dialog_) return;
        dialog_->hide();
        over_.reset();
        delete dialog_.data();
    }

    bool poll() override
    {
        if (!dialog_ && clock_.elapsed() >= delayMs_) show();
        if (events_.elapsed() >= kEventsEveryMs) {
            // Once the window shows, it is modal: the other windows take no input.
            QCoreApplication::processEvents(dialog_ ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
            events_.restart();
        }
        return dialog_ && dialog_->stopped;
    }

    void setStep(const QString& step, qint64 done, qint64 total) override
    {
        step_ = step;
        done_ = done;
        total_ = total;
        if (dialog_) dialog_->showStep(step_, done_, total_);
    }

private:
    void show()
    {
        dialog_ = new ProgressDialog(caption_, stopText_);
        // Over the window that asked, as every box, above the windows that stay on top.
        over_ = std::make_unique<OverOwner>(dialog_);
        dialog_->setWindowModality(Qt::ApplicationModal);
        dialog_->showStep(step_, done_, total_);
        dialog_->show();
        QCoreApplication::processEvents();
        events_.restart();
    }

    QString caption_, stopText_, step_;
    qint64 done_ = 0, total_ = 0;
    int delayMs_;
    QElapsedTimer clock_, events_;
    KeepWindowsOpen keepOpen_;
    QPointer<ProgressDialog> dialog_;
    std::unique_ptr<OverOwner> over_;
};

class ScriptedProgress : public ProgressWindow {
public:
    ScriptedProgress(ScriptedDialogs& owner, const QString& caption, const QString& text, int delayMs)
        : owner_(owner), caption_(caption), step_(text), delayMs_(owner.progressDelayMs >= 0 ? owner.progressDelayMs : delayMs)
    {
        clock_.start();
    }
    bool poll() override
    {
        if (!shown_ && clock_.elapsed() >= delayMs_) {
            shown_ = true;
            record();
        }
        return shown_ && owner_.cancelProgress;
    }
    void setStep(const QString& step, qint64, qint64) override
    {
        step_ = step;
        if (shown_) record();
    }

private:
    void record()
    {
        if (step_.isEmpty() || step_ == recorded_) return;
        recorded_ = step_;
        owner_.shown.push_back({QStringLiteral("progress"), caption_, step_});
    }
    ScriptedDialogs& owner_;
    QString caption_, step_, recorded_;
    int delayMs_;
    QElapsedTimer clock_;
    bool shown_ = false;
};

}

std::unique_ptr<ProgressWindow> WidgetDialogs::progress(const QString& caption, const QString& text, int delayMs,
                                                        const QString& stopText)
{
    return std::make_unique<WidgetProgress>(caption, text, delayMs, stopText);
}

std::unique_ptr<ProgressWindow> ScriptedDialogs::progress(const QString& caption, const QString& text, int delayMs,
                                                          const QString&)
{
    return std::make_unique<ScriptedProgress>(*this, caption, text, delayMs);
}

QStringList ScriptedDialogs::progressSteps() const
{
    QStringList out;
    for (const auto& s : shown)
        if (s.kind == QLatin1String("progress")) out << s.caption + QLatin1Char('|') + s.text;
    return out;
}

namespace dlg {
std::unique_ptr<ProgressWindow> progress(const QString& caption, const QString& text, int delayMs, const QString& stopText)
{
    return backend().progress(caption, text, delayMs, stopText);
}
}

// ------------------------------------------------------------------ LongWork

LongWork::LongWork(const QString& caption, int delayMs) : window_(dlg::progress(caption, QString(), delayMs, QString())) {}

LongWork::LongWork(const QString& caption, const QString& stopText, std::function<void()> stop, int delayMs)
    : window_(dlg::progress(caption, QString(), delayMs, stopText)), stop_(std::move(stop))
{
}

LongWork::~LongWork() = default;

void LongWork::poll()
{
    if (window_->poll() && stop_) std::exchange(stop_, nullptr)();
}

void LongWork::run(const std::function<void(const StepReport& report)>& work)
{
    // What the work has told, handed to the interface thread.
    struct Told {
        std::mutex m;
        std::condition_variable ended;
        std::vector<QString> steps; // new steps not yet shown, in order
        QString step;
        qint64 done = 0, total = 0;
        bool over = false;
        std::exception_ptr error;
    } told;
    const StepReport report = [&told](const QString& step, qint64 done, qint64 total) {
        std::lock_guard<std::mutex> lock(told.m);
        if (step != told.step) {
            told.steps.push_back(step);
            told.step = step;
        }
        told.done = done;
        told.total = total;
    };
    poll();
    std::thread worker([&] {
        try {
            work(report);
        } catch (...) {
            told.error = std::current_exception();
        }
        std::lock_guard<std::mutex> lock(told.m);
        told.over = true;
        told.ended.notify_one();
    });
    for (bool over = false; !over;) {
        std::vector<QString> steps;
        QString step;
        qint64 done, total;
        {
            std::unique_lock<std::mutex> lock(told.m);
            told.ended.wait_for(lock, std::chrono::milliseconds(kEventsEveryMs / 2), [&] { return told.over; });
            over = told.over;
            steps.swap(told.steps);
            step = told.step;
            done = told.done;
            total = told.total;
        }
        // Steps that passed between two looks still show, in their order.
        for (size_t i = 0; i + 1 < steps.size(); ++i) window_->setStep(steps[i]);
        if (!step.isEmpty()) window_->setStep(step, done, total);
        poll();
    }
    worker.join();
    if (told.error) std::rethrow_exception(told.error);
}

}
