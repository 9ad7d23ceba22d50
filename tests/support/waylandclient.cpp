// A scriptable Wayland client for the tests: any number of xdg-shell windows in one process,
// with titles and app ids set on command. Commands come from standard input, one per line;
// every command answers with one line once the compositor has handled it.
//
//   window [title=T] [app_id=A]   maps a window                    -> "window N"
//   title N T                     sets window N's title            -> "ok"
//   close N                       destroys window N                -> "ok"
//   sync                                                           -> "synced"
//   quit
// Text values are percent-encoded (%20 is a space). Windows are numbered from 1 in the order
// they were made. Every window shows one flat colour (kWindowColour) at whatever size the
// compositor gives it: a few pixels, scaled by the viewporter, so a hundred windows cost
// nothing.
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "ClientCommands.h"
#include "viewporter-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace {

// What the tests see of a window on screen (0xRRGGBB); no panel pixel has this colour.
constexpr std::uint32_t kWindowColour = 0x2f7d5a;
constexpr int kFallbackWidth = 640;
constexpr int kFallbackHeight = 480;

struct Globals {
    wl_display* display = nullptr;
    wl_compositor* compositor = nullptr;
    wl_shm* shm = nullptr;
    xdg_wm_base* shell = nullptr;
    wp_viewporter* viewporter = nullptr;
    wl_buffer* tile = nullptr;
};
Globals globals;

struct Window {
    wl_surface* surface = nullptr;
    xdg_surface* shellSurface = nullptr;
    xdg_toplevel* toplevel = nullptr;
    wp_viewport* viewport = nullptr;
    int width = 0;
    int height = 0;
    bool configured = false;

    ~Window() {
        if (viewport)
            wp_viewport_destroy(viewport);
        if (toplevel)
            xdg_toplevel_destroy(toplevel);
        if (shellSurface)
            xdg_surface_destroy(shellSurface);
        if (surface)
            wl_surface_destroy(surface);
    }
};
std::map<int, std::unique_ptr<Window>> windows;
int lastWindow = 0;

void answer(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void bind(void*, wl_registry* registry, std::uint32_t name, const char* interface,
          std::uint32_t version) {
    const std::string is = interface;
    if (is == wl_compositor_interface.name) {
        globals.compositor = static_cast<wl_compositor*>(
            wl_registry_bind(registry, name, &wl_compositor_interface, std::min(version, 4u)));
    } else if (is == wl_shm_interface.name) {
        globals.shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
    } else if (is == xdg_wm_base_interface.name) {
        globals.shell =
            static_cast<xdg_wm_base*>(wl_registry_bind(registry, name, &xdg_wm_base_interface, 1));
    } else if (is == wp_viewporter_interface.name) {
        globals.viewporter = static_cast<wp_viewporter*>(
            wl_registry_bind(registry, name, &wp_viewporter_interface, 1));
    }
}

void unbind(void*, wl_registry*, std::uint32_t) {}

const wl_registry_listener kRegistryListener = {bind, unbind};

void ping(void*, xdg_wm_base* shell, std::uint32_t serial) {
    xdg_wm_base_pong(shell, serial);
}

const xdg_wm_base_listener kShellListener = {ping};

// The buffer every window shows: a square of kTile pixels of which only the middle is shown,
// so that a smoothing scaler blends it with itself, never with what lies outside.
constexpr int kTile = 4;

wl_buffer* makeTile() {
    constexpr int kBytes = kTile * kTile * 4;
    const int fd = memfd_create("tavrel-waylandclient", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, kBytes) != 0)
        return nullptr;
    std::uint32_t pixels[kTile * kTile];
    std::fill(std::begin(pixels), std::end(pixels), 0xff000000u | kWindowColour);
    if (pwrite(fd, pixels, kBytes, 0) != kBytes)
        return nullptr;
    wl_shm_pool* pool = wl_shm_create_pool(globals.shm, fd, kBytes);
    wl_buffer* buffer =
        wl_shm_pool_create_buffer(pool, 0, kTile, kTile, kTile * 4, WL_SHM_FORMAT_ARGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    return buffer;
}

void configureToplevel(void* data, xdg_toplevel*, std::int32_t width, std::int32_t height,
                       wl_array*) {
    auto* w = static_cast<Window*>(data);
    w->width = width > 0 ? width : kFallbackWidth;
    w->height = height > 0 ? height : kFallbackHeight;
}

// The compositor asks to close the window (sway's "kill"): it goes, as an application's would.
void closeToplevel(void* data, xdg_toplevel*) {
    for (auto it = windows.begin(); it != windows.end(); ++it) {
        if (it->second.get() == data) {
            windows.erase(it);
            return;
        }
    }
}

// Bounds and capabilities come only to clients of later shell versions than this one binds.
const xdg_toplevel_listener kToplevelListener = {
    configureToplevel, closeToplevel, [](void*, xdg_toplevel*, std::int32_t, std::int32_t) {},
    [](void*, xdg_toplevel*, wl_array*) {}};

// Every configure is answered at once with the size it asks for, so that the compositor's
// layout changes never wait for this client.
void configureSurface(void* data, xdg_surface* shellSurface, std::uint32_t serial) {
    auto* w = static_cast<Window*>(data);
    xdg_surface_ack_configure(shellSurface, serial);
    // The window's geometry is said outright: sway keeps the first size it saw otherwise.
    xdg_surface_set_window_geometry(shellSurface, 0, 0, w->width, w->height);
    wp_viewport_set_source(w->viewport, wl_fixed_from_int(1), wl_fixed_from_int(1),
                           wl_fixed_from_int(kTile - 2), wl_fixed_from_int(kTile - 2));
    wp_viewport_set_destination(w->viewport, w->width, w->height);
    wl_surface_attach(w->surface, globals.tile, 0, 0);
    wl_surface_damage(w->surface, 0, 0, w->width, w->height);
    wl_surface_commit(w->surface);
    w->configured = true;
}

const xdg_surface_listener kSurfaceListener = {configureSurface};

bool makeWindow(std::istringstream& in) {
    const tavrel::test::Options o = tavrel::test::parseOptions(in);
    auto w = std::make_unique<Window>();
    w->surface = wl_compositor_create_surface(globals.compositor);
    w->viewport = wp_viewporter_get_viewport(globals.viewporter, w->surface);
    w->shellSurface = xdg_wm_base_get_xdg_surface(globals.shell, w->surface);
    xdg_surface_add_listener(w->shellSurface, &kSurfaceListener, w.get());
    w->toplevel = xdg_surface_get_toplevel(w->shellSurface);
    xdg_toplevel_add_listener(w->toplevel, &kToplevelListener, w.get());
    if (o.count("title") != 0)
        xdg_toplevel_set_title(w->toplevel, o.at("title").c_str());
    if (o.count("app_id") != 0)
        xdg_toplevel_set_app_id(w->toplevel, o.at("app_id").c_str());
    wl_surface_commit(w->surface);
    Window* made = w.get();
    windows[++lastWindow] = std::move(w);
    while (!made->configured) {
        if (wl_display_dispatch(globals.display) < 0)
            return false;
    }
    // The buffer is committed; after this round trip the compositor has mapped the window.
    return wl_display_roundtrip(globals.display) >= 0;
}

Window* findWindow(std::istringstream& in) {
    int id = 0;
    in >> id;
    const auto it = windows.find(id);
    return it == windows.end() ? nullptr : it->second.get();
}

bool runCommand(const std::string& line) {
    std::istringstream in(line);
    std::string command;
    in >> command;
    if (command == "quit")
        return false;
    if (command == "window") {
        if (!makeWindow(in))
            std::exit(1);
        answer("window " + std::to_string(lastWindow));
        return true;
    }
    if (command == "title") {
        Window* w = findWindow(in);
        std::string text;
        in >> text;
        if (w) {
            xdg_toplevel_set_title(w->toplevel, tavrel::test::percentDecode(text).c_str());
            wl_surface_commit(w->surface);
        }
    } else if (command == "close") {
        int id = 0;
        in >> id;
        windows.erase(id);
    } else if (command != "sync") {
        answer("unknown command");
        return true;
    }
    if (wl_display_roundtrip(globals.display) < 0)
        std::exit(1);
    answer(command == "sync" ? "synced" : "ok");
    return true;
}

}  // namespace

int main() {
    globals.display = wl_display_connect(nullptr);
    if (!globals.display) {
        std::fprintf(stderr, "tavrel-waylandclient: cannot connect to the compositor\n");
        return 1;
    }
    wl_registry* registry = wl_display_get_registry(globals.display);
    wl_registry_add_listener(registry, &kRegistryListener, nullptr);
    wl_display_roundtrip(globals.display);
    if (!globals.compositor || !globals.shm || !globals.shell || !globals.viewporter) {
        std::fprintf(stderr,
                     "tavrel-waylandclient: the compositor lacks xdg-shell or viewporter\n");
        return 1;
    }
    xdg_wm_base_add_listener(globals.shell, &kShellListener, nullptr);
    globals.tile = makeTile();
    if (!globals.tile)
        return 1;
    return tavrel::test::commandLoop(
        wl_display_get_fd(globals.display),
        [] {
            while (wl_display_prepare_read(globals.display) != 0)
                wl_display_dispatch_pending(globals.display);
            wl_display_flush(globals.display);
            // Reads what has come without blocking: the loop's poll does the waiting.
            pollfd fd{wl_display_get_fd(globals.display), POLLIN, 0};
            if (poll(&fd, 1, 0) > 0)
                wl_display_read_events(globals.display);
            else
                wl_display_cancel_read(globals.display);
            // What the handlers answered (acks, commits) goes out before the loop waits again.
            return wl_display_dispatch_pending(globals.display) >= 0 &&
                   wl_display_flush(globals.display) >= 0;
        },
        runCommand);
}
