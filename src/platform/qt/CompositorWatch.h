#pragma once
#include <QAbstractNativeEventFilter>
#include <QObject>
#include <cstdint>

struct xcb_connection_t;

namespace tavrel::qt {

// Whether a compositing manager owns _NET_WM_CM_S<screen>, kept current through XFixes
// selection events on Qt's own X connection. Off X11 there is never a compositor.
class CompositorWatch final : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
  public:
    CompositorWatch();
    ~CompositorWatch() override;
    bool active() const { return active_; }
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

  signals:
    void changed(bool active);

  private:
    bool watch();
    bool ownerPresent();

    xcb_connection_t* connection_ = nullptr;  // Qt's, not owned
    std::uint32_t selection_ = 0;
    std::uint8_t selectionNotify_ = 0;
    bool active_ = false;
};

}  // namespace tavrel::qt
