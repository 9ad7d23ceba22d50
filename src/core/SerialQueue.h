#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace tavrel {

// One worker thread running work items one after another, in the order they were submitted.
// Destroying the queue finishes every item already submitted, then stops the worker.
class SerialQueue {
  public:
    // Work waits `gather` after it arrives before it runs, so that it does not compete for the
    // processor with what the caller does next; drain and destruction end the wait.
    explicit SerialQueue(std::chrono::milliseconds gather = std::chrono::milliseconds(0));
    ~SerialQueue();
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    // Returns at once; the item runs later on the worker.
    void async(std::function<void()> item);
    // Returns once every item submitted before the call has run. Not for use from an item.
    void drain();

  private:
    void run();

    std::mutex mutex_;
    std::condition_variable workAvailable_;
    std::condition_variable workFinished_;
    std::deque<std::function<void()>> pending_;
    std::uint64_t submitted_ = 0;
    std::uint64_t finished_ = 0;
    bool stopping_ = false;
    int draining_ = 0;
    const std::chrono::milliseconds gather_;
    // Last, so that it starts after every field it reads is ready.
    std::thread worker_;
};

}  // namespace tavrel
