#pragma once
#include <QAbstractNativeEventFilter>
#include <QImage>
#include <QObject>
#include <QRect>
#include <functional>
#include <memory>

#include "platform/qt/CompositorWatch.h"
#include "platform/qt/IconPixmapCache.h"
#include "platform/qt/PanelCanvasSurface.h"

struct xcb_connection_t;

namespace tavrel::qt {

class NativePanelWindow;

struct KeyboardHandlers {
    std::function<void()> take;
    std::function<void()> release;
};

// The switcher panel on an X11 desktop: the canvas's picture as the background of an
// override-redirect window. A showing paints what changed since the last one into the image
// kept from it, sends those rows to the server and maps the window, all in one go, never
// waiting for the server; while shown, changes are presented once the current event is
// handled. The window has a 32-bit visual while a compositor runs (its alpha is blended) and
// is opaque and cut to its rounded shape otherwise (translucent pixels would come out black).
class QtPanelSurface final : public PanelCanvasSurface, private QAbstractNativeEventFilter {
  public:
    QtPanelSurface(const PanelWindowStyle& style, const PanelContentLayout& layout,
                   PanelDataSource& dataSource, IconPixmapCache& icons, CompositorWatch& compositor,
                   const KeyboardHandlers& keyboard);
    ~QtPanelSurface() override;

    Rect frame() override;
    void setFrame(Rect frame, bool display) override;
    void setFrameOrigin(Point origin) override;
    void orderFrontRegardless() override;
    void makeKeyWindow() override;
    void orderOut() override;

    // The X window shown, or none.
    std::uint32_t windowId() const;
    bool isShown() const { return mapped_; }

  private:
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
    void useTranslucentWindow(bool translucent);
    void presentLater();
    void present();
    double devicePixelRatio() const;

    xcb_connection_t* connection_;  // Qt's, not owned
    std::unique_ptr<NativePanelWindow> window_;
    const KeyboardHandlers& keyboard_;
    QRect frame_;  // in Qt's coordinates
    QImage image_;
    bool shown_ = false;
    bool mapped_ = false;
    bool presentPosted_ = false;
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
    CompositorWatch& compositor() { return compositor_; }
    IconPixmapCache& icons() { return icons_; }

  private:
    IconPixmapCache icons_;
    CompositorWatch compositor_;
    KeyboardHandlers keyboard_;
};

}  // namespace tavrel::qt
