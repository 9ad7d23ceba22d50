#pragma once
#include <functional>
#include <map>
#include <vector>

#include "platform/MainLoop.h"

namespace tavrel::x11::test {

// A main loop over poll() for the tests: runs watchers and posted work until told to stop.
class PollMainLoop final : public MainLoop {
  public:
    void watchReadable(int fd, std::function<void()> onReadable) override;
    void unwatch(int fd) override;
    void post(std::function<void()> work) override;

    // Runs until `done()` holds or the safety bound passes; answers `done()`.
    bool runUntil(const std::function<bool()>& done, int timeoutMs = 5000);
    bool watches(int fd) const { return watchers_.count(fd) != 0; }

  private:
    std::map<int, std::function<void()>> watchers_;
    std::vector<std::function<void()>> posted_;
};

}  // namespace tavrel::x11::test
