#pragma once
#include <functional>

namespace tavrel {

// The main thread's event loop, as backends hook their own event sources into it.
class MainLoop {
  public:
    virtual ~MainLoop() = default;
    // `onReadable` runs on the main thread whenever `fd` has data.
    virtual void watchReadable(int fd, std::function<void()> onReadable) = 0;
    virtual void unwatch(int fd) = 0;
    // Runs `work` on the main thread after the current event.
    virtual void post(std::function<void()> work) = 0;
};

}  // namespace tavrel
