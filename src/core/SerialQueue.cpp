#include "core/SerialQueue.h"

#include <pthread.h>
#include <sched.h>

#include <utility>

namespace tavrel {

SerialQueue::SerialQueue(std::chrono::milliseconds gather)
    : gather_(gather), worker_([this] { run(); }) {}

SerialQueue::~SerialQueue() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    workAvailable_.notify_one();
    worker_.join();
}

void SerialQueue::async(std::function<void()> item) {
    bool wasIdle = false;
    {
        std::lock_guard lock(mutex_);
        wasIdle = pending_.empty();
        pending_.push_back(std::move(item));
        ++submitted_;
    }
    // The worker only sleeps on an empty queue; waking it again while it is busy would cost the
    // caller a system call for nothing.
    if (wasIdle)
        workAvailable_.notify_one();
}

void SerialQueue::drain() {
    std::unique_lock lock(mutex_);
    const std::uint64_t target = submitted_;
    ++draining_;
    workAvailable_.notify_one();
    workFinished_.wait(lock, [&] { return finished_ >= target; });
    --draining_;
}

void SerialQueue::run() {
    // A batch thread does not preempt the thread that woke it: the caller's hand-off stays a
    // queue push even on a busy machine, and the file work waits for a free moment.
    const sched_param batch{};
    pthread_setschedparam(pthread_self(), SCHED_BATCH, &batch);
    std::unique_lock lock(mutex_);
    for (;;) {
        workAvailable_.wait(lock, [&] { return stopping_ || !pending_.empty(); });
        if (pending_.empty())
            return;
        if (gather_.count() > 0)
            workAvailable_.wait_for(lock, gather_, [&] { return stopping_ || draining_ > 0; });
        // Everything queued so far in one go: the callers then meet the lock once per batch
        // rather than once per item.
        std::deque<std::function<void()>> batch;
        batch.swap(pending_);
        const std::size_t count = batch.size();
        lock.unlock();
        for (std::function<void()>& item : batch)
            item();
        batch.clear();
        lock.lock();
        finished_ += count;
        workFinished_.notify_all();
    }
}

}  // namespace tavrel
