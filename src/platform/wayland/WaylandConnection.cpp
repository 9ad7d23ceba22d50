#include "platform/wayland/WaylandConnection.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "platform/desktop/Utf8Text.h"

namespace tavrel::wayland {
namespace {

// The versions this backend is written against; older compositors get what they offer.
constexpr std::uint32_t kCompositorVersion = 4;
constexpr std::uint32_t kSeatVersion = 7;
constexpr std::uint32_t kOutputVersion = 4;
constexpr std::uint32_t kLayerShellVersion = 4;
constexpr std::uint32_t kToplevelManagerVersion = 3;
// Integer scales only; anything beyond this is a misbehaving compositor.
constexpr std::int32_t kMaxScale = 8;

template <typename T>
T* bind(wl_registry* registry, std::uint32_t name, const wl_interface& interface,
        std::uint32_t offered, std::uint32_t wanted) {
    return static_cast<T*>(wl_registry_bind(registry, name, &interface, std::min(offered, wanted)));
}

void outputGeometry(void*, wl_output*, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                    std::int32_t, const char*, const char*, std::int32_t) {}
void outputMode(void*, wl_output*, std::uint32_t, std::int32_t, std::int32_t, std::int32_t) {}
void outputDone(void* data, wl_output*) {
    static_cast<WaylandOutput*>(data)->owner->outputChanged();
}
void outputScale(void* data, wl_output*, std::int32_t scale) {
    static_cast<WaylandOutput*>(data)->scale = std::clamp(scale, 1, kMaxScale);
}
void outputName(void* data, wl_output*, const char* name) {
    if (name != nullptr)
        static_cast<WaylandOutput*>(data)->name = desktop::repairUtf8(name);
}
void outputDescription(void*, wl_output*, const char*) {}

}  // namespace

std::unique_ptr<WaylandConnection> WaylandConnection::connect(std::string* whyNot) {
    const auto fail = [whyNot](std::string reason) {
        if (whyNot != nullptr)
            *whyNot = std::move(reason);
        return nullptr;
    };
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr)
        return fail(std::string("cannot connect to the Wayland compositor: ") +
                    std::strerror(errno));
    std::unique_ptr<WaylandConnection> connection(new WaylandConnection(display));
    connection->registry_ = wl_display_get_registry(display);
    static const wl_registry_listener listener{&WaylandConnection::onGlobal,
                                               &WaylandConnection::onGlobalRemove};
    wl_registry_add_listener(connection->registry_, &listener, connection.get());
    // The globals; what the bound objects tell comes with the owner's first roundtrip, once
    // their listeners are in place.
    if (!connection->roundtrip())
        return fail("the Wayland compositor closed the connection");
    if (connection->compositor_ == nullptr || connection->shm_ == nullptr)
        return fail("the Wayland compositor offers no wl_compositor or wl_shm");
    if (connection->toplevelManager_ == nullptr)
        return fail(
            "the Wayland compositor offers no window list "
            "(zwlr_foreign_toplevel_manager_v1)");
    if (connection->layerShell_ == nullptr)
        return fail("the Wayland compositor offers no layer shell (zwlr_layer_shell_v1)");
    if (connection->seat_ == nullptr)
        return fail("the Wayland compositor offers no seat");
    return connection;
}

WaylandConnection::~WaylandConnection() {
    for (const auto& output : outputs_)
        wl_output_destroy(output->output);
    if (inhibitManager_ != nullptr)
        zwp_keyboard_shortcuts_inhibit_manager_v1_destroy(inhibitManager_);
    if (toplevelManager_ != nullptr)
        zwlr_foreign_toplevel_manager_v1_destroy(toplevelManager_);
    if (layerShell_ != nullptr)
        zwlr_layer_shell_v1_destroy(layerShell_);
    if (seat_ != nullptr)
        wl_seat_destroy(seat_);
    if (shm_ != nullptr)
        wl_shm_destroy(shm_);
    if (compositor_ != nullptr)
        wl_compositor_destroy(compositor_);
    if (registry_ != nullptr)
        wl_registry_destroy(registry_);
    wl_display_disconnect(display_);
}

int WaylandConnection::fileDescriptor() const {
    return wl_display_get_fd(display_);
}

bool WaylandConnection::dispatch() {
    if (broken_)
        return false;
    while (wl_display_prepare_read(display_) != 0) {
        if (wl_display_dispatch_pending(display_) < 0) {
            broken_ = true;
            return false;
        }
    }
    wl_display_flush(display_);
    if (wl_display_read_events(display_) < 0 || wl_display_dispatch_pending(display_) < 0 ||
        wl_display_get_error(display_) != 0) {
        broken_ = true;
        return false;
    }
    flush();
    return true;
}

bool WaylandConnection::roundtrip() {
    if (!broken_ && wl_display_roundtrip(display_) < 0)
        broken_ = true;
    return !broken_;
}

void WaylandConnection::flush() {
    if (broken_)
        return;
    // A full socket (EAGAIN) clears as the compositor reads; anything else is the end.
    if (wl_display_flush(display_) < 0 && errno != EAGAIN)
        broken_ = true;
}

const WaylandOutput* WaylandConnection::outputNamed(const std::string& name) const {
    for (const auto& output : outputs_) {
        if (output->name == name)
            return output.get();
    }
    return nullptr;
}

void WaylandConnection::outputChanged() const {
    if (outputsChanged_)
        outputsChanged_();
}

void WaylandConnection::onGlobal(void* data, wl_registry* registry, std::uint32_t name,
                                 const char* interface, std::uint32_t version) {
    auto& self = *static_cast<WaylandConnection*>(data);
    const std::string_view which(interface);
    if (which == wl_compositor_interface.name && self.compositor_ == nullptr) {
        self.compositor_ = bind<wl_compositor>(registry, name, wl_compositor_interface, version,
                                               kCompositorVersion);
    } else if (which == wl_shm_interface.name && self.shm_ == nullptr) {
        self.shm_ = bind<wl_shm>(registry, name, wl_shm_interface, version, 1);
    } else if (which == wl_seat_interface.name && self.seat_ == nullptr) {
        self.seat_ = bind<wl_seat>(registry, name, wl_seat_interface, version, kSeatVersion);
    } else if (which == wl_output_interface.name) {
        self.bindOutput(name, version);
    } else if (which == zwlr_layer_shell_v1_interface.name && self.layerShell_ == nullptr) {
        self.layerShell_ = bind<zwlr_layer_shell_v1>(registry, name, zwlr_layer_shell_v1_interface,
                                                     version, kLayerShellVersion);
    } else if (which == zwlr_foreign_toplevel_manager_v1_interface.name &&
               self.toplevelManager_ == nullptr) {
        self.toplevelManager_ = bind<zwlr_foreign_toplevel_manager_v1>(
            registry, name, zwlr_foreign_toplevel_manager_v1_interface, version,
            kToplevelManagerVersion);
    } else if (which == zwp_keyboard_shortcuts_inhibit_manager_v1_interface.name &&
               self.inhibitManager_ == nullptr) {
        self.inhibitManager_ = bind<zwp_keyboard_shortcuts_inhibit_manager_v1>(
            registry, name, zwp_keyboard_shortcuts_inhibit_manager_v1_interface, version, 1);
    }
}

void WaylandConnection::bindOutput(std::uint32_t name, std::uint32_t version) {
    auto described = std::make_unique<WaylandOutput>();
    described->globalName = name;
    described->output =
        bind<wl_output>(registry_, name, wl_output_interface, version, kOutputVersion);
    static const wl_output_listener listener{&outputGeometry, &outputMode, &outputDone,
                                             &outputScale,    &outputName, &outputDescription};
    described->owner = this;
    wl_output_add_listener(described->output, &listener, described.get());
    outputs_.push_back(std::move(described));
}

void WaylandConnection::onGlobalRemove(void* data, wl_registry*, std::uint32_t name) {
    auto& self = *static_cast<WaylandConnection*>(data);
    const auto it = std::find_if(self.outputs_.begin(), self.outputs_.end(),
                                 [name](const auto& output) { return output->globalName == name; });
    if (it == self.outputs_.end())
        return;
    wl_output_destroy((*it)->output);
    self.outputs_.erase(it);
    self.outputChanged();
}

}  // namespace tavrel::wayland
