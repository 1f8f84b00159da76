#include "platform/thread.h"

namespace ventaro::plat {

Thread::Thread() = default;

Thread::~Thread() {
    Terminate();
    CancelSyncs();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void Thread::SetWaker(std::function<void()> waker) {
    std::lock_guard lock(mutex_);
    waker_ = std::move(waker);
}

void Thread::Start() {
    std::lock_guard lock(mutex_);
    if (started_) {
        return;
    }
    started_ = true;
    thread_ = std::thread([this] { Run(); });
}

void Thread::Run() {
    Execute();
    std::lock_guard lock(mutex_);
    finished_ = true;
    cv_.notify_all();
}

void Thread::Terminate() {
    terminated_ = true;
    std::lock_guard lock(mutex_);
    cv_.notify_all();
}

void Thread::Suspend() {
    std::unique_lock lock(mutex_);
    if (++suspendCount_ > 1 || !started_) {
        return;
    }
    while (!parked_ && !finished_) {
        if (SyncWaitingLocked()) {
            lock.unlock();
            RunPendingSync();
            lock.lock();
            continue;
        }
        cv_.wait(lock);
    }
}

void Thread::Resume() {
    std::lock_guard lock(mutex_);
    if (suspendCount_ > 0) {
        --suspendCount_;
    }
    cv_.notify_all();
}

bool Thread::Suspended() const {
    std::lock_guard lock(mutex_);
    return suspendCount_ > 0;
}

bool Thread::Finished() const {
    std::lock_guard lock(mutex_);
    return finished_ || !started_;
}

bool Thread::WaitFor(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::unique_lock lock(mutex_);
    while (started_ && !finished_) {
        if (SyncWaitingLocked()) {
            lock.unlock();
            RunPendingSync();
            lock.lock();
            continue;
        }
        if (cv_.wait_until(lock, deadline) == std::cv_status::timeout) {
            break;
        }
    }
    bool ended = finished_ || !started_;
    lock.unlock();
    if (ended && thread_.joinable()) {
        thread_.join();
    }
    return ended;
}

void Thread::RunPendingSync() {
    const std::function<void()>* fn = nullptr;
    {
        std::lock_guard lock(mutex_);
        if (!SyncWaitingLocked()) {
            return;
        }
        fn = pending_;
        running_ = true;
    }
    (*fn)();
    std::lock_guard lock(mutex_);
    running_ = false;
    done_ = true;
    cv_.notify_all();
}

void Thread::CancelSyncs() {
    std::lock_guard lock(mutex_);
    syncsCancelled_ = true;
    cv_.notify_all();
}

bool Thread::Synchronize(const std::function<void()>& fn) {
    std::function<void()> waker;
    {
        std::lock_guard lock(mutex_);
        if (syncsCancelled_) {
            return false;
        }
        pending_ = &fn;
        done_ = false;
        waker = waker_;
        // Wakes a main thread already waiting in Suspend or WaitFor.
        cv_.notify_all();
    }
    if (waker) {
        waker();
    }
    std::unique_lock lock(mutex_);
    // A hand-off that has begun on the main thread always runs to its end.
    cv_.wait(lock, [&] { return done_ || (syncsCancelled_ && !running_); });
    pending_ = nullptr;
    return done_;
}

void Thread::CheckHold() {
    std::unique_lock lock(mutex_);
    if (suspendCount_ == 0) {
        return;
    }
    parked_ = true;
    cv_.notify_all();
    cv_.wait(lock, [&] { return suspendCount_ == 0 || terminated_.load(); });
    parked_ = false;
}

void Thread::Pause(std::chrono::milliseconds duration) {
    std::unique_lock lock(mutex_);
    cv_.wait_for(lock, duration, [&] { return suspendCount_ > 0 || terminated_.load(); });
}

}  // namespace ventaro::plat
