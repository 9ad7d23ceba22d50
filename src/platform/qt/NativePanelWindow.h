#pragma once
#include <xcb/xcb.h>

#include <QImage>
#include <QRect>
#include <QSize>
#include <memory>
#include <vector>

class QRegion;

namespace tavrel::qt {

class SharedImage;

// The panel's X window: override-redirect (the window manager never sees it), never given
// the input focus, its picture kept as its background pixmap. The server paints that by
// itself whenever the window is mapped, exposed or resized, so the complete picture appears
// together with the map, and nothing here waits for an answer from the server.
class NativePanelWindow {
  public:
    // Unmapped, with a 32-bit visual when `translucent` (a compositor blends its alpha) and
    // the screen's own otherwise. Nothing when the screen offers no such visual or no
    // 32-bit pixel format. Reads what it needs of the server now, once.
    static std::unique_ptr<NativePanelWindow> create(xcb_connection_t* connection,
                                                     bool translucent);
    ~NativePanelWindow();
    NativePanelWindow(const NativePanelWindow&) = delete;
    NativePanelWindow& operator=(const NativePanelWindow&) = delete;

    xcb_window_t id() const { return window_; }
    bool translucent() const { return depth_ == 32; }

    // The image the panel is painted into, `pixels` large at `ratio`, with a background of
    // that size: in memory the server reads itself where it can (MIT-SHM), so that an upload
    // sends no pixels through the socket. True when it is new, holding no picture yet.
    bool prepareImage(QSize pixels, double ratio);
    QImage& image();
    // Copies the rows of the image that `area` (pixels) touches into the background.
    void upload(const QRect& area);
    // The window cut to `region` (pixels); an empty region shows all of it.
    void setShape(const QRegion& region);
    void setGeometry(const QRect& pixels);
    // On top of its siblings and shown, taking the pointer again.
    void map();
    void unmap();
    // Lets the pointer through to the windows beneath while the window stays on screen, and
    // waits until the server has done so; false (and nothing done) when it cannot.
    bool letPointerThrough();
    bool pointerPassesThrough() const { return pointerPassesThrough_; }
    // Has the server paint `area` again from the background, after an upload while mapped.
    void repaint(const QRect& area);
    void flush();

  private:
    NativePanelWindow(xcb_connection_t* connection, xcb_window_t window, std::uint8_t depth);
    void replaceBackground(QSize size);
    void put(const std::uint8_t* rows, int width, int top, int height);

    xcb_connection_t* connection_;  // Qt's, not owned
    xcb_window_t window_;
    xcb_colormap_t colormap_ = XCB_NONE;
    std::uint8_t depth_;
    bool swapBytes_ = false;  // the server's pixels are big-endian, ours are not (or the other way)
    bool hasShape_ = false;
    bool shapesInput_ = false;  // SHAPE 1.1
    bool pointerPassesThrough_ = false;
    std::uint32_t maxRequestBytes_ = 0;
    xcb_pixmap_t background_ = XCB_NONE;
    QSize backgroundSize_;
    xcb_gcontext_t gc_ = XCB_NONE;
    std::unique_ptr<SharedImage> shared_;
    bool sharing_ = true;  // until the server once refused
    QImage image_;         // when it did
    std::vector<std::uint8_t> swapped_;
};

}  // namespace tavrel::qt
