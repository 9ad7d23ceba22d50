#pragma once
#include <array>
#include <cstddef>
#include <functional>

#include "platform/wayland/Protocols.h"

namespace tavrel::wayland {

// One wl_shm buffer in ARGB8888 (QImage's ARGB32_Premultiplied on little-endian machines).
struct ShmBuffer {
    wl_buffer* buffer = nullptr;
    void* pixels = nullptr;
    std::size_t bytes = 0;
    int width = 0;
    int height = 0;
    int stride = 0;
    bool busy = false;   // the compositor still reads it
    bool fresh = false;  // just made: holds no picture yet
};

// Two buffers to paint into in turn: one may be on screen while the other is painted.
class ShmBuffers {
  public:
    explicit ShmBuffers(wl_shm* shm) : shm_(shm) {}
    ~ShmBuffers();
    ShmBuffers(const ShmBuffers&) = delete;
    ShmBuffers& operator=(const ShmBuffers&) = delete;

    // A buffer of that size in pixels the compositor does not hold, or null when both are
    // held (then `onReleased` tells when one comes back) or the memory cannot be had.
    ShmBuffer* acquire(int width, int height);
    void setReleasedHandler(std::function<void()> handler) { released_ = std::move(handler); }

    static void onRelease(void* data, wl_buffer* buffer);

  private:
    bool allocate(ShmBuffer& slot, int width, int height);
    static void free(ShmBuffer& slot);

    wl_shm* shm_;
    std::array<ShmBuffer, 2> slots_{};
    std::function<void()> released_;
};

}  // namespace tavrel::wayland
