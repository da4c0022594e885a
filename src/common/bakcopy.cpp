#include "common/bakcopy.h"
#include <atomic>
#include "common/dialogs.h"
#include "common/errors.h"
#include "common/paths.h"
#include "data/connection.h"
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QScopeGuard>
#include <sqlite3.h>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

namespace qm {

namespace {

const QString kCopyFailed = QStringLiteral("请检查本系统的数据备份目录bak是否存在！ ");
const QString kSourceMissing = QStringLiteral("数据没有成功复制,请检查前台连接线路及前台数据位置的设置！ ");

void tellOperator(const QString& text)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        std::fprintf(stderr, "%s\n", qPrintable(text));
        return;
    }
    QMetaObject::invokeMethod(app, [text] { dlg::showMessage(text); }, Qt::QueuedConnection);
}

// Makes one copy through its own connection; throws on failure.
void copyOnce(const QString& source, const QString& target)
{
    if (!QFileInfo(source).isFile()) throw FileOpenError(kSourceMissing);
    sqlite3* db = nullptr;
    auto closer = qScopeGuard([&] { sqlite3_close_v2(db); });
    if (sqlite3_open_v2(QFile::encodeName(source).constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        throw DbError(QStringLiteral("不能打开数据库: ") + source);
    sqlite3_busy_timeout(db, kBackupBusyWaitMs);
    backupDatabase(db, target);
}

class Copier {
public:
    ~Copier()
    {
        {
            std::lock_guard<std::mutex> lock(m_);
            stop_ = true;
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

    int made()
    {
        std::lock_guard<std::mutex> lock(m_);
        return made_;
    }

private:
    void run()
    {
        std::unique_lock<std::mutex> lock(m_);
        for (;;) {
            cv_.wait(lock, [this] { return pending_ || stop_; });
            if (!pending_) return;
            pending_ = false;
            running_ = true;
            const QString source = source_, target = target_;
            lock.unlock();
            QString failure;
            try {
                copyOnce(source, target);
            } catch (const FileOpenError& e) {
                failure = e.message() == kSourceMissing ? kSourceMissing : kCopyFailed;
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

    std::mutex m_;
    std::condition_variable cv_, idleCv_;
    std::thread thread_;
    QString source_, target_;
    bool pending_ = false, running_ = false, stop_ = false;
    int made_ = 0;
};

Copier& copier()
{
    static Copier c;
    return c;
}

}

namespace {
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
    copier().request(source, target);
}

bool waitForBakCopies(int timeoutMs) { return copier().wait(timeoutMs); }

int bakCopiesMade() { return copier().made(); }

}
