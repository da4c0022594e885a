// A statement waiting for another program's lock: the wait lasts as long as
// it was set to, takes the lock as soon as it is given up, and is shown on
// the interface thread alone once it has lasted a moment, until the
// statement ends.
#include "common/errors.h"
#include "support/faultvfs.h"
#include "support/scratchdb.h"
#include <gtest/gtest.h>
#include <QElapsedTimer>
#include <QScopeGuard>
#include <atomic>
#include <future>
#include <thread>

using namespace qm;

namespace {
class BusyWait : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved = waitSign();
        setWaitSign({[this] {
                         ++begun;
                         shownAfterMs = clock.elapsed();
                     },
                     [this] { ++ended; }});
    }
    void TearDown() override
    {
        setWaitSign(saved);
        Connection::setBusyWait(5000);
    }

    // Another program writes for `ms` on a thread of its own; returns once it holds the lock.
    std::thread holdFor(const QString& path, int ms)
    {
        std::promise<void> held;
        std::future<void> ready = held.get_future();
        std::thread t([path, ms, &held] {
            fault::WriterHold w(path);
            held.set_value();
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        });
        ready.wait();
        return t;
    }

    // A write on a connection opened with a wait of `waitMs`.
    void write(const QString& path, int waitMs)
    {
        Connection::setBusyWait(waitMs);
        Connection c;
        c.open(path);
        clock.start();
        c.exec("UPDATE company SET name='乙'");
    }

    qmtest::ScratchDb db{"CREATE TABLE company (name TEXT); INSERT INTO company VALUES ('甲');"};
    QString path() const { return db.c.path(); }
    WaitSign saved;
    QElapsedTimer clock;
    int begun = 0, ended = 0;
    qint64 shownAfterMs = -1;
};
}

TEST_F(BusyWait, ALongWaitIsShownUntilTheStatementEndsAShortOneNot)
{
    // Given up after 100 ms: nothing shown, the write done.
    std::thread shortHold = holdFor(path(), 100);
    write(path(), 5000);
    shortHold.join();
    EXPECT_EQ(begun, 0);
    EXPECT_EQ(ended, 0);

    // Given up after 700 ms: shown once from about 300 ms, ended with the
    // statement, which took the lock well before its wait ran out.
    std::thread longHold = holdFor(path(), 700);
    write(path(), 5000);
    const qint64 took = clock.elapsed();
    longHold.join();
    EXPECT_EQ(begun, 1);
    EXPECT_EQ(ended, 1);
    EXPECT_GE(shownAfterMs, kWaitSignAfterMs);
    EXPECT_LT(shownAfterMs, 650);
    EXPECT_LT(took, 2000);
    EXPECT_EQ(db.c.scalar("SELECT name FROM company").toString(), QStringLiteral("乙"));
}

TEST_F(BusyWait, AWaitThatRunsOutFailsAsBusyAndEndsItsSign)
{
    fault::WriterHold other(path());
    EXPECT_THROW(write(path(), 600), DbBusyError);
    EXPECT_GE(clock.elapsed(), 600);
    EXPECT_EQ(begun, 1);
    EXPECT_EQ(ended, 1);

    // The wait of another thread (work under its own window) shows nothing.
    std::thread worker([this] { EXPECT_THROW(write(path(), 600), DbBusyError); });
    worker.join();
    EXPECT_EQ(begun, 1);
    EXPECT_EQ(ended, 1);
}
