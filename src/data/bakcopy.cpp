#include "data/bakcopy.h"
#include "common/dialogs.h"
#include "common/errors.h"
#include "common/paths.h"
#include "data/connection.h"
#include "data/damage.h"
#include "data/datacopy.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <sys/stat.h>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <cstdio>
#include <mutex>
#include <thread>

namespace qm {

namespace {

const QString kCopyFailed = QStringLiteral("请检查本系统的数据备份目录bak是否存在！ ");
const QString kSourceMissing = QStringLiteral("数据没有成功复制,请检查前台连接线路及前台数据位置的设置！ ");

// How long the file must stay unchanged before an attempt starts: the first
// time, and at most after attempts that writers interrupted.
constexpr int kFirstQuietMs = 50;
constexpr int kLongestQuietMs = 8000;
constexpr int kPollMs = 20;

void tellOperator(const QString& text)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        std::fprintf(stderr, "%s\n", qPrintable(text));
        return;
    }
    QMetaObject::invokeMethod(app, [text] { dlg::showMessage(text); }, Qt::QueuedConnection);
}

// What a commit to the file changes, read without taking any of its locks.
struct Stamp {
    qint64 size = -1, modifiedNs = -1;
    bool operator==(const Stamp& o) const { return size == o.size && modifiedNs == o.modifiedNs; }
};

Stamp stampOf(const QByteArray& path)
{
    struct stat st;
    if (::stat(path.constData(), &st) != 0) return {};
    return {qint64(st.st_size), qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

// The message for a copy that failed: the copy's own text, and its cause on
// a second line.
QString failureText(const std::exception& e)
{
    if (dynamic_cast<const FileOpenError*>(&e) && QString::fromUtf8(e.what()) == kSourceMissing) return kSourceMissing;
    return kCopyFailed + QLatin1Char('\r') + reasonOf(e);
}

class Copier {
public:
    ~Copier()
    {
        {
            std::lock_guard<std::mutex> lock(m_);
            stop_ = true;
            abandon_ = true;
        }
        cv_.notify_all();
        if (thread_.joinable()) thread_.join();
    }

    void request(const QString& source, const QString& target)
    {
        {
            std::lock_guard<std::mutex> lock(m_);
            source_ = source;
            target_ = target;
            pending_ = true;
            if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
        }
        cv_.notify_all();
    }

    bool wait(int timeoutMs)
    {
        std::unique_lock<std::mutex> lock(m_);
        auto idle = [this] { return !pending_ && !running_; };
        if (timeoutMs < 0) {
            idleCv_.wait(lock, idle);
            return true;
        }
        return idleCv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), idle);
    }

    void abandon()
    {
        std::unique_lock<std::mutex> lock(m_);
        if (!pending_ && !running_) return;
        pending_ = false;
        abandon_ = true;
        cv_.notify_all();
        idleCv_.wait(lock, [this] { return !running_; });
        abandon_ = false;
    }

    int made()
    {
        std::lock_guard<std::mutex> lock(m_);
        return made_;
    }

    // Share of the current attempt copied, in thousandths; -1 while it waits
    // for the writers to pause.
    int progress() const { return progress_; }

private:
    void run()
    {
        std::unique_lock<std::mutex> lock(m_);
        for (;;) {
            cv_.wait(lock, [this] { return pending_ || stop_; });
            if (!pending_) return;
            running_ = true;
            lock.unlock();
            QString failure;
            try {
                copyWhenQuiet();
            } catch (const std::exception& e) {
                failure = failureText(e);
            } catch (...) {
                failure = kCopyFailed;
            }
            if (!failure.isEmpty()) tellOperator(failure);
            lock.lock();
            running_ = false;
            ++made_;
            if (!pending_) idleCv_.notify_all();
        }
    }

    // False when the copy was abandoned or the program ends.
    bool sleepFor(int ms)
    {
        std::unique_lock<std::mutex> lock(m_);
        return !cv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return abandon_ || stop_; });
    }

    bool abandoned()
    {
        std::lock_guard<std::mutex> lock(m_);
        return abandon_ || stop_;
    }

    // Until the file has not changed for `quietMs`; false when abandoned.
    bool waitForQuiet(const QString& source, int quietMs)
    {
        const QByteArray path = QFile::encodeName(source);
        Stamp last = stampOf(path);
        QElapsedTimer quiet;
        quiet.start();
        while (quiet.elapsed() < quietMs) {
            if (!sleepFor(std::min<qint64>(kPollMs, quietMs - quiet.elapsed() + 1))) return false;
            const Stamp now = stampOf(path);
            if (!(now == last)) {
                last = now;
                quiet.restart();
            }
        }
        return true;
    }

    void copyWhenQuiet()
    {
        int quietMs = kFirstQuietMs;
        std::unique_ptr<DatabaseCopy> copy;
        for (;;) {
            progress_ = -1;
            QString source;
            {
                std::lock_guard<std::mutex> lock(m_);
                source = source_;
            }
            if (!waitForQuiet(source, quietMs)) return;
            QString target;
            {
                // This attempt serves every request made so far.
                std::lock_guard<std::mutex> lock(m_);
                if (abandon_ || stop_) return;
                source = source_;
                target = target_;
                pending_ = false;
            }
            if (!QFileInfo(source).isFile()) throw FileOpenError(kSourceMissing);
            // A copy that a writer interrupted goes on where it stood: a copy
            // spoilt once, or the check of the source under way, is not forgotten.
            if (!copy || copy->source() != source || copy->target() != target) {
                const Progress copied = [this](ProgressStep step, qint64 done, qint64 total) {
                    if (step == ProgressStep::Copying && total > 0) progress_ = int(done * 1000 / total);
                };
                copy = std::make_unique<DatabaseCopy>(source, target, backgroundPolicy([this] { return abandoned(); }, copied));
            }
            switch (copy->run()) {
            case CopyResult::Done:
                progress_ = 1000;
                return;
            case CopyResult::Stopped:
                return;
            case CopyResult::WriterCame:
                quietMs = std::min(quietMs * 2, kLongestQuietMs);
                break;
            }
        }
    }

    std::mutex m_;
    std::condition_variable cv_, idleCv_;
    std::thread thread_;
    QString source_, target_;
    bool pending_ = false, running_ = false, stop_ = false, abandon_ = false;
    int made_ = 0;
    std::atomic<int> progress_{-1};
};

Copier& copier()
{
    static Copier c;
    return c;
}

std::atomic<bool> g_held{false};

}

void holdBakCopies(bool held) { g_held = held; }

void requestBakCopy()
{
    if (g_held) return;
    requestBakCopy(AppPaths::workingDatabase(), AppPaths::backupDatabase());
}

void requestBakCopy(const QString& source, const QString& target)
{
    if (!QFileInfo(source).isFile()) {
        dlg::showMessage(kSourceMissing);
        return;
    }
    // Damaged data is never copied over the last good copy.
    if (workingDamaged() && isWorkingDatabase(source)) {
        dlg::showMessage(kCopyFailed + QLatin1Char('\r') + workingDamagedText());
        return;
    }
    copier().request(source, target);
}

bool waitForBakCopies(int timeoutMs) { return copier().wait(timeoutMs); }

bool finishBakCopies()
{
    if (copier().wait(0)) return true;
    auto window = dlg::progress(QStringLiteral("数据备份"), QString(), kProgressDelayMs, QStringLiteral("不再等待"));
    while (!copier().wait(kPollMs)) {
        const int p = copier().progress();
        if (p < 0) window->setStep(QStringLiteral("前台正在写入数据,等其空闲后再复制到备份目录bak……"));
        else window->setStep(QStringLiteral("正在将数据复制到备份目录bak,请稍候……"), p, 1000);
        if (window->poll()) {
            copier().abandon();
            return false;
        }
    }
    return true;
}

void abandonBakCopies() { copier().abandon(); }

int bakCopiesMade() { return copier().made(); }


}
