#pragma once
#include <map>
#include <memory>

#include "platform/MainLoop.h"

class QSocketNotifier;

namespace tavrel::qt {

// Hooks file descriptors and posted work into the QApplication event loop.
class QtMainLoop final : public MainLoop {
  public:
    QtMainLoop();
    ~QtMainLoop() override;
    void watchReadable(int fd, std::function<void()> onReadable) override;
    void unwatch(int fd) override;
    void post(std::function<void()> work) override;

  private:
    // A notifier may be dropped from inside its own signal: delete it once the signal is over.
    struct LaterDelete {
        void operator()(QSocketNotifier* notifier) const;
    };
    std::map<int, std::unique_ptr<QSocketNotifier, LaterDelete>> notifiers_;
};

}  // namespace tavrel::qt
