// The progress window over long work, real and scripted.
#include "common/dialogs.h"
#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QProgressDialog>

namespace qm {

namespace {

// How often the work lets the window paint and answer.
constexpr int kEventsEveryMs = 30;

class WidgetProgress : public ProgressWindow {
public:
    WidgetProgress(const QString& caption, const QString& text, int delayMs) : caption_(caption), text_(text), delayMs_(delayMs)
    {
        clock_.start();
    }
    ~WidgetProgress() override { delete dialog_; }

    bool poll() override
    {
        if (!dialog_) {
            if (clock_.elapsed() < delayMs_) return false;
            show();
        }
        if (events_.elapsed() >= kEventsEveryMs) {
            // Only the window itself takes input meanwhile: it is modal to the program.
            QCoreApplication::processEvents();
            events_.restart();
        }
        return dialog_ && dialog_->wasCanceled();
    }

private:
    void show()
    {
        // Over the window that asked, as every box: above the windows that stay on top.
        dialog_ = new QProgressDialog(text_, QStringLiteral("取消"), 0, 0, dlg::ownerWindow());
        dialog_->setWindowFlag(Qt::WindowStaysOnTopHint);
        dialog_->setObjectName(QStringLiteral("progressWindow"));
        dialog_->setWindowTitle(caption_);
        dialog_->setWindowModality(Qt::ApplicationModal);
        dialog_->setMinimumDuration(0);
        dialog_->setAutoClose(false);
        dialog_->setAutoReset(false);
        dialog_->show();
        QCoreApplication::processEvents();
        events_.start();
    }

    QString caption_, text_;
    int delayMs_;
    QElapsedTimer clock_, events_;
    QPointer<QProgressDialog> dialog_;
};

class ScriptedProgress : public ProgressWindow {
public:
    ScriptedProgress(ScriptedDialogs& owner, const QString& caption, const QString& text, int delayMs)
        : owner_(owner), caption_(caption), text_(text), delayMs_(delayMs)
    {
        clock_.start();
    }
    bool poll() override
    {
        if (!shown_ && clock_.elapsed() >= delayMs_) {
            shown_ = true;
            owner_.shown.push_back({QStringLiteral("progress"), caption_, text_});
        }
        return shown_ && owner_.cancelProgress;
    }

private:
    ScriptedDialogs& owner_;
    QString caption_, text_;
    int delayMs_;
    QElapsedTimer clock_;
    bool shown_ = false;
};

}

std::unique_ptr<ProgressWindow> WidgetDialogs::progress(const QString& caption, const QString& text, int delayMs)
{
    return std::make_unique<WidgetProgress>(caption, text, delayMs);
}

std::unique_ptr<ProgressWindow> ScriptedDialogs::progress(const QString& caption, const QString& text, int delayMs)
{
    return std::make_unique<ScriptedProgress>(*this, caption, text, delayMs);
}

namespace dlg {
std::unique_ptr<ProgressWindow> progress(const QString& caption, const QString& text, int delayMs)
{
    return backend().progress(caption, text, delayMs);
}
}

}
