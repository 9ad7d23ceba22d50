#pragma once
#include <QtGlobal>
#include <functional>

namespace tavrel::qt {

// Qt keeps a display connection of its own and ends the process with status 1 as soon as it
// finds that connection broken, after one warning. The watch hears that warning first and
// calls `lost` instead, which must end the process itself (on X11 and on Wayland). Messages Qt
// writes while its connection is sound go where they went before. One watch at a time, while Qt's
// application object lives.
class DisplayLossWatch {
  public:
    explicit DisplayLossWatch(std::function<void()> lost);
    ~DisplayLossWatch();
    DisplayLossWatch(const DisplayLossWatch&) = delete;
    DisplayLossWatch& operator=(const DisplayLossWatch&) = delete;

  private:
    static void handleMessage(QtMsgType type, const QMessageLogContext& context,
                              const QString& message);

    std::function<void()> lost_;
    QtMessageHandler previous_ = nullptr;
};

}  // namespace tavrel::qt
