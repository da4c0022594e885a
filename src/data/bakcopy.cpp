#include "data/bakcopy.h"
#include "common/dialogs.h"
#include "common/errors.h"
#include "common/paths.h"
#include "data/connection.h"
#include "data/damage.h"
#include "data/databasecheck.h"
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QScopeGuard>
#include <sqlite3.h>
#include <sys/stat.h>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

namespace qm {

namespace {

const QString kCopyFailed = QStringLiteral("请检查本系统的数据备份目录bak是否存在！ ");
const QString kSourceMissing = QStringLiteral("数据没有成功复制,请检查前台连接线路及前台数据位置的设置！ ");

// Pages read under one read lock: a writer that comes meanwhile waits for
// at most this many (a millisecond or two).
constexpr int kStepPages = 256;
// How long the file must stay unchanged before an attempt starts: the first
// time, and at most after attempts that writers interrupted.
constexpr int kFirstQuietMs = 50;
constexpr int kLongestQuietMs = 8000;
constexpr int kPollMs = 20;

std::function<void(const QString&)> g_writtenHook;

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

enum class Attempt { Done, WriterCame, Abandoned, CopyDamaged };

// The message for a copy that failed: the copy's own text, and the true
// cause on a second line where that text names another.
QString failureText(const std::exception& e)
{
    if (dynamic_cast<const FileOpenError*>(&e) && QString::fromUtf8(e.what()) == kSourceMissing) return kSourceMissing;
    return withTrueCause(kCopyFailed, e);
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
        bool cleaned = false, damagedOnce = false;
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
            if (!cleaned) {
                QDir().mkpath(QFileInfo(target).absolutePath());
                removeStalePartialCopies(QFileInfo(target).absolutePath());
                cleaned = true;
            }
            switch (attempt(source, target)) {
            case Attempt::Done:
            case Attempt::Abandoned:
                return;
            case Attempt::WriterCame:
                quietMs = std::min(quietMs * 2, kLongestQuietMs);
                break;
            case Attempt::CopyDamaged:
                // Made once more: damage in the second copy as well is in
                // the data copied, and bak/ keeps its last good copy.
                if (damagedOnce) throwCopiedDataDamaged(source, damage_);
                damagedOnce = true;
                break;
            }
        }
    }

    // One attempt at a whole copy; throws on failure.
    Attempt attempt(const QString& source, const QString& target)
    {
        if (!QFileInfo(source).isFile()) throw FileOpenError(kSourceMissing);
        sqlite3* src = nullptr;
        sqlite3* dst = nullptr;
        sqlite3_backup* b = nullptr;
        const QString partial = partialCopyName(target);
        auto cleanup = qScopeGuard([&] {
            if (b) sqlite3_backup_finish(b);
            sqlite3_close_v2(dst);
            sqlite3_close_v2(src);
            QFile::remove(partial);
        });
        if (sqlite3_open_v2(QFile::encodeName(source).constData(), &src, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
            throw DbError(QStringLiteral("不能打开数据库: ") + source);
        // A writer's lock is a reason to step aside, never to wait.
        sqlite3_busy_timeout(src, 0);
        dst = openPartialCopy(partial, kBackupBusyWaitMs);
        b = sqlite3_backup_init(dst, "main", src, "main");
        if (!b) throw DbError(QStringLiteral("备份失败: ") + QString::fromUtf8(sqlite3_errmsg(dst)));
        int lastRemaining = -1;
        for (;;) {
            if (abandoned()) return Attempt::Abandoned;
            const int rc = sqlite3_backup_step(b, kStepPages);
            if (rc == SQLITE_DONE) break;
            // A commit by another connection starts the copy again from the
            // first page: that writer, or the next, would come again.
            if (isBusyCode(rc)) return Attempt::WriterCame;
            if (rc != SQLITE_OK) throwSqliteError(rc, QStringLiteral("备份失败: ") + QString::fromUtf8(sqlite3_errstr(rc)), src);
            const int remaining = sqlite3_backup_remaining(b);
            if (lastRemaining >= 0 && remaining >= lastRemaining) return Attempt::WriterCame;
            lastRemaining = remaining;
            const int total = std::max(1, sqlite3_backup_pagecount(b));
            progress_ = int(qint64(total - remaining) * 1000 / total);
        }
        const int rc = sqlite3_backup_finish(b);
        b = nullptr;
        if (rc != SQLITE_OK) throwSqliteError(rc, QStringLiteral("备份失败: ") + QString::fromUtf8(sqlite3_errstr(rc)), src);
        sqlite3_close_v2(src);
        src = nullptr;
        if (sqlite3_close(dst) != SQLITE_OK) throw DbError(QStringLiteral("备份失败: ") + QString::fromUtf8(sqlite3_errmsg(dst)));
        dst = nullptr;
        if (g_writtenHook) g_writtenHook(partial);
        // The copy must open and pass the check before it replaces anything;
        // two threads: the till goes on meanwhile.
        const DatabaseCheck check = checkFinishedCopy(partial, {}, 2);
        if (check.state == DatabaseFileState::Damaged || check.state == DatabaseFileState::NotDatabase) {
            damage_ = check.detail;
            return Attempt::CopyDamaged;
        }
        if (check.state != DatabaseFileState::Usable)
            throw FileOpenError(QStringLiteral("不能写入备份文件: %1 (%2)").arg(target, check.detail));
        cleanup.dismiss();
        renameCopyOver(partial, target);
        progress_ = 1000;
        return Attempt::Done;
    }

    std::mutex m_;
    std::condition_variable cv_, idleCv_;
    std::thread thread_;
    QString source_, target_;
    QString damage_; // what the check of the last copy found (the copier's thread only)
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

void setBakCopyWrittenHook(std::function<void(const QString&)> hook) { g_writtenHook = std::move(hook); }

}
