// A worker thread with a cooperative hold and a blocking hand-off to the
// main thread.
//
// Principles of operation:
// - Linux cannot suspend a thread from outside, so the worker parks itself:
//   it calls CheckHold() before every read of the port. Suspend() returns
//   once the worker is parked (or has ended), so from then on it reads
//   nothing until the last matching Resume().
// - Synchronize() hands a function to the main thread and blocks until it
//   has run there. The main thread runs it from its event loop (the waker
//   posts the call), and also from inside Suspend() and WaitFor(): a main
//   thread waiting for the worker while the worker waits for the main thread
//   would otherwise deadlock.
// - WaitFor() is a bounded join. Once it gives up, or once the owner starts
//   tearing down, pending and later hand-offs are refused, so the worker
//   never runs code against a window that is going away.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace ventaro::plat {

class Thread {
  public:
    Thread();
    virtual ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Called (from the worker) whenever a hand-off is waiting; it must make
    // the main thread call RunPendingSync() soon.
    void SetWaker(std::function<void()> waker);

    void Start();
    void Terminate();
    bool Terminated() const { return terminated_.load(); }
    void Suspend();
    void Resume();
    bool Suspended() const;
    bool Finished() const;
    // Joins with a bound, running hand-offs meanwhile. True if the worker ended.
    bool WaitFor(std::chrono::milliseconds limit);
    // Main thread: runs the hand-off that is waiting, if any.
    void RunPendingSync();
    // Refuses every hand-off from now on (pending ones return false).
    void CancelSyncs();

  protected:
    virtual void Execute() = 0;
    bool Synchronize(const std::function<void()>& fn);
    // The park point: blocks while a hold is in force.
    void CheckHold();
    // A pause that a hold or a stop request cuts short.
    void Pause(std::chrono::milliseconds duration);

  private:
    void Run();
    bool SyncWaitingLocked() const { return pending_ != nullptr && !running_; }

    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::function<void()> waker_;
    std::thread thread_;
    std::atomic<bool> terminated_{false};
    int suspendCount_ = 0;
    bool parked_ = false;
    bool started_ = false;
    bool finished_ = false;
    bool syncsCancelled_ = false;
    const std::function<void()>* pending_ = nullptr;
    bool running_ = false;
    bool done_ = false;
};

}  // namespace ventaro::plat
