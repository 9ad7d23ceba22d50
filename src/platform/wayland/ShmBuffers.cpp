#include "platform/wayland/ShmBuffers.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace tavrel::wayland {
namespace {

// A panel on the largest screens at the largest scale stays far below this.
constexpr std::size_t kMaxBufferBytes = 256u << 20;

const wl_buffer_listener kListener{&ShmBuffers::onRelease};

}  // namespace

ShmBuffers::~ShmBuffers() {
    for (ShmBuffer& slot : slots_)
        free(slot);
}

ShmBuffer* ShmBuffers::acquire(int width, int height) {
    ShmBuffer* spare = nullptr;
    for (ShmBuffer& slot : slots_) {
        if (slot.busy)
            continue;
        if (slot.buffer != nullptr && slot.width == width && slot.height == height)
            return &slot;
        spare = spare != nullptr ? spare : &slot;
    }
    if (spare == nullptr)
        return nullptr;
    free(*spare);
    return allocate(*spare, width, height) ? spare : nullptr;
}

bool ShmBuffers::allocate(ShmBuffer& slot, int width, int height) {
    if (width <= 0 || height <= 0 || width > INT32_MAX / 4)
        return false;
    const int stride = width * 4;
    const std::size_t bytes = static_cast<std::size_t>(stride) * static_cast<std::size_t>(height);
    if (bytes > kMaxBufferBytes)
        return false;
    const int fd = memfd_create("tavrel-panel", MFD_CLOEXEC);
    if (fd < 0)
        return false;
    void* pixels = MAP_FAILED;
    if (ftruncate(fd, static_cast<off_t>(bytes)) == 0)
        pixels = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (pixels == MAP_FAILED) {
        close(fd);
        return false;
    }
    wl_shm_pool* pool = wl_shm_create_pool(shm_, fd, static_cast<std::int32_t>(bytes));
    slot.buffer = wl_shm_pool_create_buffer(pool, 0, width, height, stride, WL_SHM_FORMAT_ARGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    wl_buffer_add_listener(slot.buffer, &kListener, this);
    slot.pixels = pixels;
    slot.bytes = bytes;
    slot.width = width;
    slot.height = height;
    slot.stride = stride;
    slot.busy = false;
    slot.fresh = true;
    return true;
}

void ShmBuffers::free(ShmBuffer& slot) {
    if (slot.buffer != nullptr)
        wl_buffer_destroy(slot.buffer);
    if (slot.pixels != nullptr)
        munmap(slot.pixels, slot.bytes);
    slot = ShmBuffer{};
}

void ShmBuffers::onRelease(void* data, wl_buffer* buffer) {
    auto& self = *static_cast<ShmBuffers*>(data);
    for (ShmBuffer& slot : self.slots_) {
        if (slot.buffer == buffer)
            slot.busy = false;
    }
    if (self.released_)
        self.released_();
}

}  // namespace tavrel::wayland
