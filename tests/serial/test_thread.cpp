// The worker thread's cooperative hold and its hand-off to the main thread.
#include "platform/thread.h"

#include <gtest/gtest.h>

#include <atomic>

namespace ventaro::plat {
namespace {

using namespace std::chrono_literals;

// Counts "reads"; every read hands a function to the main thread.
class Worker : public Thread {
  public:
    std::atomic<int> reads{0};
    std::atomic<int> synced{0};
    std::atomic<bool> readWhileHeld{false};
    std::atomic<bool> holding{false};
    bool syncEveryRead = true;

  protected:
    void Execute() override {
        while (!Terminated()) {
            CheckHold();
            if (Terminated()) {
                break;
            }
            if (holding) {
                readWhileHeld = true;
            }
            ++reads;
            if (syncEveryRead) {
                Synchronize([this] { ++synced; });
            }
            Pause(1ms);
        }
    }
};

void WaitForReads(const Worker& worker, int count) {
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (worker.reads < count && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
}

TEST(Thread, SuspendRunsPendingHandOffsInsteadOfDeadlocking) {
    Worker worker;  // no waker: only Suspend and WaitFor run hand-offs
    worker.Start();
    for (int round = 0; round < 20; ++round) {
        worker.Suspend();
        worker.holding = true;
        const int reads = worker.reads;
        std::this_thread::sleep_for(5ms);
        EXPECT_EQ(worker.reads, reads);
        worker.holding = false;
        worker.Resume();
        // Let it run a little before the next hold, as the program's waits do.
        WaitForReads(worker, reads + 1);
    }
    EXPECT_FALSE(worker.readWhileHeld);
    worker.Terminate();
    EXPECT_TRUE(worker.WaitFor(5s));
    EXPECT_GT(worker.synced, 0);
}

// The hand-off is posted only after the main thread has begun to wait for the hold.
TEST(Thread, HandOffPostedDuringSuspendIsRunByIt) {
    class Late : public Thread {
      public:
        std::atomic<bool> go{false};
        std::atomic<bool> ran{false};

      protected:
        void Execute() override {
            while (!go && !Terminated()) {
                std::this_thread::sleep_for(1ms);
            }
            Synchronize([this] { ran = true; });
            while (!Terminated()) {
                CheckHold();
                Pause(1ms);
            }
        }
    } worker;
    worker.Start();
    std::atomic<bool> done{false};
    std::thread starter([&] {
        std::this_thread::sleep_for(50ms);
        worker.go = true;
        // A watchdog: without it a lost wake-up would hang the test for good.
        for (int i = 0; i < 500 && !done; ++i) {
            std::this_thread::sleep_for(10ms);
        }
        if (!done) {
            worker.Terminate();
            worker.CancelSyncs();
        }
    });
    const auto start = std::chrono::steady_clock::now();
    worker.Suspend();
    done = true;
    starter.join();
    EXPECT_TRUE(worker.ran);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 4s);
    worker.Resume();
    worker.Terminate();
    EXPECT_TRUE(worker.WaitFor(5s));
}

TEST(Thread, SuspendsNestAndSuspendedTracksThem) {
    Worker worker;
    worker.syncEveryRead = false;
    worker.Start();
    worker.Suspend();
    worker.Suspend();
    worker.Resume();
    EXPECT_TRUE(worker.Suspended());
    const int reads = worker.reads;
    std::this_thread::sleep_for(10ms);
    EXPECT_EQ(worker.reads, reads);
    worker.Resume();
    EXPECT_FALSE(worker.Suspended());
    WaitForReads(worker, reads + 1);
    EXPECT_GT(worker.reads, reads);
}

TEST(Thread, TerminateReleasesAParkedWorker) {
    Worker worker;
    worker.syncEveryRead = false;
    worker.Start();
    worker.Suspend();
    worker.Terminate();
    EXPECT_TRUE(worker.WaitFor(5s));
    EXPECT_TRUE(worker.Finished());
}

TEST(Thread, CancelledHandOffsLetTheWorkerEnd) {
    Worker worker;
    worker.Start();
    // Nobody runs the hand-off: the worker sits in Synchronize until cancelled.
    while (worker.reads == 0) {
        std::this_thread::yield();
    }
    worker.Terminate();
    worker.CancelSyncs();
    EXPECT_TRUE(worker.WaitFor(5s));
}

TEST(Thread, WaitForGivesUpAtItsBound) {
    class Stubborn : public Thread {
      public:
        std::atomic<bool> release{false};

      protected:
        void Execute() override {
            while (!release) {
                std::this_thread::sleep_for(1ms);
            }
        }
    } worker;
    worker.Start();
    EXPECT_FALSE(worker.WaitFor(30ms));
    worker.release = true;
    EXPECT_TRUE(worker.WaitFor(5s));
}

}  // namespace
}  // namespace ventaro::plat
