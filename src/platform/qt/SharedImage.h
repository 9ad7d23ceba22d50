#pragma once
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <QImage>
#include <QSize>
#include <memory>

namespace tavrel::qt {

// An ARGB32 premultiplied image in memory the X server reads itself (MIT-SHM): putting it
// into a pixmap sends no pixels through the socket.
class SharedImage {
  public:
    // Nothing when the server cannot share memory with this process (it runs on another
    // machine, or has no MIT-SHM). Asks the server once, with a round trip.
    static std::unique_ptr<SharedImage> create(xcb_connection_t* connection, QSize pixels,
                                               double ratio);
    ~SharedImage();
    SharedImage(const SharedImage&) = delete;
    SharedImage& operator=(const SharedImage&) = delete;

    QImage& image() { return image_; }
    // Puts the rows `top` to `top + height` into `drawable` at the same place.
    void put(xcb_drawable_t drawable, xcb_gcontext_t gc, std::uint8_t depth, int top, int height);

  private:
    SharedImage(xcb_connection_t* connection, xcb_shm_seg_t segment, void* address);

    xcb_connection_t* connection_;  // not owned
    xcb_shm_seg_t segment_;
    void* address_;
    QImage image_;
};

}  // namespace tavrel::qt
