#pragma once
#include <xcb/xcb.h>

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QRect>

#include <functional>
#include <memory>
#include <optional>

#include "platform/qt/CompositorWatch.h"
#include "platform/qt/IconPixmapCache.h"
#include "platform/qt/PanelCanvasSurface.h"

namespace tavrel::qt {

class NativePanelWindow;

struct KeyboardHandlers {
    std::function<void()> take;
    std::function<void()> release;
};

// Takes a panel's window off the screen by other means than Qt's connection.
using WindowUnmapper = std::function<void(std::uint32_t window)>;

// Tells the panels that the window manager has been asked to activate a window.
class WindowActivations final : public QObject {
    Q_OBJECT
  signals:
    void requested(std::uint32_t window);
};

// The switcher panel on an X11 desktop: the canvas's picture as the background of an
// override-redirect window. A showing paints what changed since the last one into the image
// kept from it, sends those rows to the server and maps the window, all in one go, never
// waiting for the server; while shown, changes are presented once the current event is
// handled. The window has a 32-bit visual while a compositor runs (its alpha is blended) and
// is opaque and cut to its rounded shape otherwise (translucent pixels would come out black).
//
// Ordered out to let the window manager activate the chosen window, a panel over more than
// a few windows stays up until the window manager has done so (or briefly, at most), the
// pointer passing through it meanwhile: unmapped first, it would expose every window
// beneath, and the window manager would redraw those before it got to the activation.
class QtPanelSurface final : public PanelCanvasSurface, private QAbstractNativeEventFilter {
  public:
    QtPanelSurface(const PanelWindowStyle& style, const PanelContentLayout& layout,
                   PanelDataSource& dataSource, IconPixmapCache& icons, CompositorWatch& compositor,
                   WindowActivations& activations, const KeyboardHandlers& keyboard,
                   const WindowUnmapper& unmapper);
    ~QtPanelSurface() override;

    Rect frame() override;
    void setFrame(Rect frame, bool display) override;
    void setFrameOrigin(Point origin) override;
    void orderFrontRegardless() override;
    void makeKeyWindow() override;
    void orderOut() override;

    // The panel's X window (another one while a compositor comes or goes), or none.
    std::uint32_t windowId() const;

  private:
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
    void useTranslucentWindow(bool translucent);
    void presentLater();
    void present();
    double devicePixelRatio() const;
    void askActiveWindow();
    xcb_window_t activeWindow();
    void activationRequested(xcb_window_t window);
    void finishHiding();
    void unmap();

    xcb_connection_t* connection_;  // Qt's, not owned
    std::unique_ptr<NativePanelWindow> window_;
    const KeyboardHandlers& keyboard_;
    const WindowUnmapper& unmapper_;
    QRect frame_;  // in Qt's coordinates
    bool shown_ = false;
    bool mapped_ = false;
    bool presentPosted_ = false;
    bool hiding_ = false;                     // ordered out, still mapped
    std::optional<xcb_window_t> activating_;  // what the window manager was asked to activate
    xcb_atom_t activeWindowAtom_ = XCB_ATOM_NONE;
    std::optional<xcb_get_property_cookie_t> activeWindowAsked_;
    QObject context_;  // ends the connections and posted calls with the surface
};

class QtPanelSurfaces final : public PanelSurfaces {
  public:
    QtPanelSurfaces();
    ~QtPanelSurfaces() override;
    std::unique_ptr<PanelSurface> makePanel(const PanelWindowStyle& style,
                                            const PanelContentLayout& layout,
                                            PanelDataSource& dataSource) override;
    // Keys reach the panel through a keyboard grab, never the input focus: the X11 backend
    // takes the keyboard when a panel is made key and lets go when it is ordered out.
    void setKeyboardHandlers(std::function<void()> take, std::function<void()> release) {
        keyboard_ = {std::move(take), std::move(release)};
    }
    // The X11 backend unmaps the panel with the switch's requests to the window manager, in
    // one write ahead of them: the server then takes the activation right after the unmap,
    // before other clients' answers to it.
    void setUnmapper(WindowUnmapper unmapper) { unmapper_ = std::move(unmapper); }
    // The X11 backend has asked the window manager to activate `window`.
    void activationRequested(std::uint32_t window) { emit activations_.requested(window); }
    CompositorWatch& compositor() { return compositor_; }
    IconPixmapCache& icons() { return icons_; }

  private:
    IconPixmapCache icons_;
    CompositorWatch compositor_;
    WindowActivations activations_;
    KeyboardHandlers keyboard_;
    WindowUnmapper unmapper_;
};

}  // namespace tavrel::qt
