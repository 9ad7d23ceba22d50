#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/wayland/Protocols.h"

namespace tavrel::wayland {

class WaylandConnection;

// One output as the compositor announces it.
struct WaylandOutput {
    const WaylandConnection* owner = nullptr;
    std::uint32_t globalName = 0;
    wl_output* output = nullptr;
    std::string name;  // the compositor's name for it ("HEADLESS-1"), from version 4 on
    std::int32_t scale = 1;
};

// The one raw wayland-client connection of the backend (Qt keeps its own for the tray) and
// the globals it binds: compositor, shared memory, the first seat, the outputs, the layer
// shell, the foreign-toplevel manager and the shortcuts inhibitor manager. Callers flush
// after the requests they send outside dispatch().
class WaylandConnection {
  public:
    // Nothing, with the reason in `whyNot`, when the compositor cannot be reached or lacks a
    // global the switcher cannot do without.
    static std::unique_ptr<WaylandConnection> connect(std::string* whyNot);
    ~WaylandConnection();
    WaylandConnection(const WaylandConnection&) = delete;
    WaylandConnection& operator=(const WaylandConnection&) = delete;

    wl_display* display() const { return display_; }
    int fileDescriptor() const;
    // Reads what the socket holds and runs the listeners; false once the connection broke.
    bool dispatch();
    // Waits until the compositor has answered everything sent so far.
    bool roundtrip();
    void flush();
    bool broken() const { return broken_; }

    wl_compositor* compositor() const { return compositor_; }
    wl_shm* shm() const { return shm_; }
    wl_seat* seat() const { return seat_; }
    zwlr_layer_shell_v1* layerShell() const { return layerShell_; }
    zwlr_foreign_toplevel_manager_v1* toplevelManager() const { return toplevelManager_; }
    // May be null: sway offers it, other compositors may not.
    zwp_keyboard_shortcuts_inhibit_manager_v1* inhibitManager() const { return inhibitManager_; }
    const std::vector<std::unique_ptr<WaylandOutput>>& outputs() const { return outputs_; }
    const WaylandOutput* outputNamed(const std::string& name) const;

    // Called when an output's description changes or the output goes.
    void setOutputsChangedHandler(std::function<void()> handler) {
        outputsChanged_ = std::move(handler);
    }

    static void onGlobal(void* data, wl_registry* registry, std::uint32_t name,
                         const char* interface, std::uint32_t version);
    static void onGlobalRemove(void* data, wl_registry* registry, std::uint32_t name);
    void outputChanged() const;

  private:
    explicit WaylandConnection(wl_display* display) : display_(display) {}
    void bindOutput(std::uint32_t name, std::uint32_t version);

    wl_display* display_ = nullptr;
    wl_registry* registry_ = nullptr;
    wl_compositor* compositor_ = nullptr;
    wl_shm* shm_ = nullptr;
    wl_seat* seat_ = nullptr;
    zwlr_layer_shell_v1* layerShell_ = nullptr;
    zwlr_foreign_toplevel_manager_v1* toplevelManager_ = nullptr;
    zwp_keyboard_shortcuts_inhibit_manager_v1* inhibitManager_ = nullptr;
    std::vector<std::unique_ptr<WaylandOutput>> outputs_;
    std::function<void()> outputsChanged_;
    bool broken_ = false;
};

}  // namespace tavrel::wayland
