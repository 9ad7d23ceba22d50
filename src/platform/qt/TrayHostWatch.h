#pragma once
#include <xcb/xcb.h>

#include <QAbstractNativeEventFilter>
#include <QColor>
#include <QObject>
#include <optional>

namespace tavrel::qt {

// The session's tray hosts, watched for as long as the program runs, because trays start late
// and restart: an XEmbed system tray (the owner of _NET_SYSTEM_TRAY_S<screen>, announced by a
// MANAGER message on the root window) and StatusNotifier hosts (registered with the session
// bus's org.kde.StatusNotifierWatcher).
class TrayHostWatch final : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
  public:
    TrayHostWatch();
    ~TrayHostWatch() override;

    // Whether a tray could ever show up here: there is an X display or a session bus.
    bool possible() const { return connection_ != nullptr || busWatched_; }
    bool hostPresent() const { return xembedTray_ != XCB_NONE || statusNotifierHost_; }
    // The colour the XEmbed tray asks its icons to be drawn in, where it says
    // (_NET_SYSTEM_TRAY_COLORS).
    std::optional<QColor> iconColour() const { return iconColour_; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

  signals:
    // A host appeared, or the XEmbed tray changed.
    void changed();

  private slots:
    void statusNotifierHostRegistered();

  private:
    void watchXEmbed();
    void readXEmbedTray();
    void watchStatusNotifier();
    void askStatusNotifierWatcher();
    void setStatusNotifierHost(bool present);

    xcb_connection_t* connection_ = nullptr;  // Qt's, not owned
    xcb_atom_t selection_ = XCB_NONE;
    xcb_atom_t manager_ = XCB_NONE;
    xcb_atom_t colours_ = XCB_NONE;
    xcb_window_t xembedTray_ = XCB_NONE;
    std::optional<QColor> iconColour_;
    bool busWatched_ = false;
    bool statusNotifierHost_ = false;
};

}  // namespace tavrel::qt
