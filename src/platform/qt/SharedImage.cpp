#include "platform/qt/SharedImage.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdlib>

namespace tavrel::qt {

std::unique_ptr<SharedImage> SharedImage::create(xcb_connection_t* connection, QSize pixels,
                                                 double ratio) {
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(connection, &xcb_shm_id);
    if (!extension || !extension->present || pixels.isEmpty())
        return nullptr;
    const auto bytes = static_cast<std::size_t>(pixels.width()) * pixels.height() * 4;
    const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (id < 0)
        return nullptr;
    void* address = shmat(id, nullptr, 0);
    if (address == reinterpret_cast<void*>(-1)) {
        shmctl(id, IPC_RMID, nullptr);
        return nullptr;
    }
    const xcb_shm_seg_t segment = xcb_generate_id(connection);
    xcb_generic_error_t* error = xcb_request_check(
        connection, xcb_shm_attach_checked(connection, segment, static_cast<std::uint32_t>(id), 1));
    // Both sides hold it now (or the server never will): it goes when both let go.
    shmctl(id, IPC_RMID, nullptr);
    if (error) {
        std::free(error);
        shmdt(address);
        return nullptr;
    }
    std::unique_ptr<SharedImage> shared(new SharedImage(connection, segment, address));
    shared->image_ = QImage(static_cast<uchar*>(address), pixels.width(), pixels.height(),
                            pixels.width() * 4, QImage::Format_ARGB32_Premultiplied);
    shared->image_.setDevicePixelRatio(ratio);
    return shared;
}

SharedImage::SharedImage(xcb_connection_t* connection, xcb_shm_seg_t segment, void* address)
    : connection_(connection), segment_(segment), address_(address) {}

SharedImage::~SharedImage() {
    xcb_shm_detach(connection_, segment_);
    xcb_flush(connection_);
    shmdt(address_);
}

void SharedImage::put(xcb_drawable_t drawable, xcb_gcontext_t gc, std::uint8_t depth, int top,
                      int height) {
    const auto width = static_cast<std::uint16_t>(image_.width());
    xcb_shm_put_image(connection_, drawable, gc, width, static_cast<std::uint16_t>(image_.height()),
                      0, static_cast<std::uint16_t>(top), width, static_cast<std::uint16_t>(height),
                      0, static_cast<std::int16_t>(top), depth, XCB_IMAGE_FORMAT_Z_PIXMAP, 0,
                      segment_, 0);
}

}  // namespace tavrel::qt
