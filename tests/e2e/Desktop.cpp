#include "Desktop.h"

#include <X11/Xlib.h>
#include <sys/stat.h>
#include <xcb/randr.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace tavrel::e2e {
namespace {

struct Free {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, Free>;

constexpr int kMonitorWidth = 1280;
constexpr int kMonitorHeight = 1024;
constexpr int kRecheckMs = 4;

bool run(const std::string& display, const std::string& command) {
    return std::system(("DISPLAY=" + display + " " + command + " >/dev/null 2>&1").c_str()) == 0;
}

// How a user starts each window manager, and what a first start needs so that nothing but
// its default settings apply.
struct WindowManagerStart {
    std::string name;
    std::vector<std::string> command;
    std::string prepare;
};

const WindowManagerStart* windowManagerStart(const std::string& name) {
    static const WindowManagerStart known[] = {
        {"xfwm4", {"xfwm4"}, ""},
        {"metacity", {"metacity"}, ""},
        {"mutter", {"mutter", "--x11"}, ""},
        {"marco", {"marco"}, ""},
        {"fluxbox", {"fluxbox"}, ""},
        // Without a configuration of the user's, i3 first asks which modifier to use; its
        // default configuration is what a user who declines is left with.
        {"i3", {"i3"}, "mkdir -p ~/.config/i3 && cp /etc/i3/config ~/.config/i3/config"},
        {"icewm", {"icewm"}, ""},
        {"awesome", {"awesome"}, ""},
    };
    const auto found = std::find_if(std::begin(known), std::end(known),
                                    [&](const WindowManagerStart& s) { return s.name == name; });
    return found == std::end(known) ? nullptr : &*found;
}

}  // namespace

Desktop::Desktop(Options options) {
    const int monitorWidth = options.monitorWidth > 0 ? options.monitorWidth : kMonitorWidth;
    const int monitorHeight = options.monitorHeight > 0 ? options.monitorHeight : kMonitorHeight;
    const int width = options.twoMonitors ? 2 * monitorWidth : monitorWidth;
    server_ = std::make_unique<XServer>(std::to_string(width) + "x" +
                                        std::to_string(monitorHeight) + "x24");
    if (!server_->started()) {
        failure_ = "Xvfb did not start";
        return;
    }
    if (options.twoMonitors) {
        // Xinerama would put both heads at 0,0; Qt builds its screens from RandR monitors.
        const std::string size =
            std::to_string(monitorWidth) + "/338x" + std::to_string(monitorHeight) + "/270";
        if (!run(display(), "xrandr --setmonitor left " + size + "+0+0 screen") ||
            !run(display(), "xrandr --setmonitor right " + size + "+" +
                                std::to_string(monitorWidth) + "+0 none") ||
            monitors().size() != 2) {
            failure_ = "xrandr did not split the screen into two monitors";
            return;
        }
    }
    if (options.windowManager) {
        const std::string& name = options.windowManagerName;
        const bool started =
            name == "openbox" ? server_->startWindowManager() : startWindowManagerInSession(name);
        if (!started) {
            failure_ = name + " did not take the screen";
            return;
        }
    }
    if (options.tray && options.trayDelayMs == 0 && !startTray(options.trayBackground))
        failure_ = "trayer did not take the tray selection";
}

bool Desktop::startTray(std::optional<std::uint32_t> background) {
    const xcb_atom_t selection = server_->atom("_NET_SYSTEM_TRAY_S0");
    const auto owner = [&] {
        Reply<xcb_get_selection_owner_reply_t> reply(xcb_get_selection_owner_reply(
            connection(), xcb_get_selection_owner(connection(), selection), nullptr));
        return reply ? reply->owner : xcb_window_t{XCB_WINDOW_NONE};
    };
    if (tray_) {
        // The server lets go of the old tray's selection when it sees its connection close.
        const xcb_window_t old = owner();
        tray_.reset();
        if (!waitUntil([&] { return owner() != old; }))
            return false;
    }
    std::vector<std::string> argv{"trayer",      "--edge",  "top",      "--align", "right",
                                  "--widthtype", "request", "--height", "24"};
    if (background) {
        // Transparency with no see-through leaves the tint alone: a plain background.
        char tint[16];
        std::snprintf(tint, sizeof tint, "0x%06x", *background & 0xffffffu);
        for (const char* option : {"--transparent", "true", "--alpha", "0", "--tint"})
            argv.emplace_back(option);
        argv.emplace_back(tint);
    }
    tray_ = std::make_unique<ChildProcess>(argv, display());
    return waitUntil([&] { return owner() != XCB_WINDOW_NONE; });
}

Desktop::~Desktop() {
    tray_.reset();
    server_.reset();
    // The services the bus started end with their connection to it.
    bus_.reset();
    home_.reset();
}

bool Desktop::startWindowManagerInSession(const std::string& name) {
    const WindowManagerStart* start = windowManagerStart(name);
    if (start == nullptr)
        return false;
    home_ = std::make_unique<TemporaryFolder>();
    const std::string runtime = (home_->path() / "run").string();
    if (mkdir(runtime.c_str(), 0700) != 0)
        return false;
    // Window managers that keep their settings behind D-Bus (xfconf, dconf) get a bus of
    // their own, as in a session of their desktop.
    bus_ = std::make_unique<ChildProcess>(
        inSession({"dbus-daemon", "--session", "--nofork", "--nopidfile", "--syslog-only",
                   "--address=unix:path=" + runtime + "/bus", "--print-address"}),
        display());
    const auto address = bus_->readLine();
    if (!address)
        return false;
    busAddress_ = *address;
    if (!start->prepare.empty() && !runInSession(start->prepare))
        return false;
    return server_->startWindowManager(inSession(start->command));
}

std::vector<std::string> Desktop::inSession(const std::vector<std::string>& argv) const {
    // The test's own settings folders stay out of it: a user's session starts from home.
    std::vector<std::string> command = {"env",
                                        "-u",
                                        "XDG_CONFIG_HOME",
                                        "-u",
                                        "XDG_DATA_HOME",
                                        "-u",
                                        "XDG_CACHE_HOME",
                                        "-u",
                                        "XDG_STATE_HOME",
                                        "HOME=" + home_->path().string(),
                                        "XDG_RUNTIME_DIR=" + (home_->path() / "run").string()};
    if (!busAddress_.empty())
        command.push_back("DBUS_SESSION_BUS_ADDRESS=" + busAddress_);
    if (server_->windowManagerPid() > 0)
        command.push_back("WM_PID=" + std::to_string(server_->windowManagerPid()));
    command.insert(command.end(), argv.begin(), argv.end());
    return command;
}

bool Desktop::runInSession(const std::string& command) {
    if (!home_)
        return false;
    // A command that hangs (a bus that does not answer) ends the test's wait all the same.
    std::vector<std::string> bounded = {"timeout", "20"};
    const auto full = inSession({"sh", "-c", command});
    bounded.insert(bounded.end(), full.begin(), full.end());
    return ChildProcess(bounded, display()).succeeds();
}

bool Desktop::waitUntil(const std::function<bool()>& done, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (server_->waitUntil(done, kRecheckMs))
            return true;
        if (Clock::now() >= deadline || xcb_connection_has_error(connection()) != 0)
            return false;
    }
}

std::uint8_t Desktop::keycode(const std::string& key) {
    const KeySym wanted = XStringToKeysym(key.c_str());
    const xcb_setup_t* setup = xcb_get_setup(connection());
    const int count = setup->max_keycode - setup->min_keycode + 1;
    Reply<xcb_get_keyboard_mapping_reply_t> map(
        xcb_get_keyboard_mapping_reply(connection(),
                                       xcb_get_keyboard_mapping(connection(), setup->min_keycode,
                                                                static_cast<std::uint8_t>(count)),
                                       nullptr));
    if (!map || wanted == NoSymbol)
        return 0;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map.get());
    const int perCode = map->keysyms_per_keycode;
    for (int code = 0; code < count; ++code) {
        if (syms[code * perCode] == wanted)
            return static_cast<std::uint8_t>(setup->min_keycode + code);
    }
    return 0;
}

void Desktop::fakeKey(std::uint8_t type, const std::string& key) {
    xcb_test_fake_input(connection(), type, keycode(key), XCB_CURRENT_TIME, XCB_WINDOW_NONE, 0, 0,
                        0);
    xcb_flush(connection());
}

void Desktop::press(const std::string& key) {
    fakeKey(XCB_KEY_PRESS, key);
}

void Desktop::release(const std::string& key) {
    fakeKey(XCB_KEY_RELEASE, key);
}

void Desktop::tap(const std::string& key) {
    press(key);
    release(key);
}

void Desktop::type(const std::string& text) {
    for (const char c : text)
        tap(c == ' ' ? std::string("space") : std::string(1, c));
}

bool Desktop::superTabTaken() {
    const std::uint8_t tab = keycode("Tab");
    Reply<xcb_generic_error_t> error(xcb_request_check(
        connection(), xcb_grab_key_checked(connection(), 0, server_->root(), XCB_MOD_MASK_4, tab,
                                           XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)));
    if (error)
        return true;
    xcb_ungrab_key(connection(), tab, server_->root(), XCB_MOD_MASK_4);
    sync();
    return false;
}

bool Desktop::setAutoRepeat(int delayMs, int ratePerSecond) {
    return run(display(),
               "xset r rate " + std::to_string(delayMs) + " " + std::to_string(ratePerSecond));
}

void Desktop::movePointer(int x, int y) {
    xcb_test_fake_input(connection(), XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, server_->root(),
                        static_cast<std::int16_t>(x), static_cast<std::int16_t>(y), 0);
    sync();
}

void Desktop::click(int x, int y) {
    movePointer(x, y);
    for (const std::uint8_t type : {XCB_BUTTON_PRESS, XCB_BUTTON_RELEASE})
        xcb_test_fake_input(connection(), type, 1, XCB_CURRENT_TIME, XCB_WINDOW_NONE, 0, 0, 0);
    sync();
}

std::uint32_t Desktop::cardinal(xcb_window_t window, const std::string& property) {
    Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(connection(),
                               xcb_get_property(connection(), 0, window, server_->atom(property),
                                                XCB_GET_PROPERTY_TYPE_ANY, 0, 1),
                               nullptr));
    if (!reply || xcb_get_property_value_length(reply.get()) < 4)
        return 0;
    return *static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
}

xcb_window_t Desktop::activeWindow() {
    return cardinal(server_->root(), "_NET_ACTIVE_WINDOW");
}

std::vector<xcb_window_t> Desktop::clientsStacked() {
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection(),
        xcb_get_property(connection(), 0, server_->root(),
                         server_->atom("_NET_CLIENT_LIST_STACKING"), XCB_ATOM_WINDOW, 0, 65536),
        nullptr));
    if (!reply)
        return {};
    const auto* windows = static_cast<const xcb_window_t*>(xcb_get_property_value(reply.get()));
    return {windows, windows + xcb_get_property_value_length(reply.get()) / 4};
}

void Desktop::activate(xcb_window_t window) {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = server_->atom("_NET_ACTIVE_WINDOW");
    message.data.data32[0] = 2;
    xcb_send_event(connection(), 0, server_->root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    sync();
}

xcb_window_t Desktop::topLevelOf(xcb_window_t window) {
    // Up from the window to the child of the root that holds it (its frame, if it has one).
    for (int depth = 0; depth < 32; ++depth) {
        Reply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(connection(), xcb_query_tree(connection(), window), nullptr));
        if (!tree || tree->parent == tree->root || tree->parent == XCB_WINDOW_NONE)
            return window;
        window = tree->parent;
    }
    return window;
}

xcb_window_t Desktop::topmost(const std::vector<xcb_window_t>& windows) {
    Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(connection(), xcb_query_tree(connection(), server_->root()), nullptr));
    if (!tree)
        return XCB_WINDOW_NONE;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    const int count = xcb_query_tree_children_length(tree.get());
    xcb_window_t top = XCB_WINDOW_NONE;
    int highest = -1;
    for (const xcb_window_t w : windows) {
        const xcb_window_t frame = topLevelOf(w);
        const int place = static_cast<int>(std::find(children, children + count, frame) - children);
        if (place < count && place > highest) {
            highest = place;
            top = w;
        }
    }
    return top;
}

xcb_window_t Desktop::inputFocus() {
    Reply<xcb_get_input_focus_reply_t> reply(
        xcb_get_input_focus_reply(connection(), xcb_get_input_focus(connection()), nullptr));
    return reply ? reply->focus : xcb_window_t{XCB_WINDOW_NONE};
}

bool Desktop::viewable(xcb_window_t window) {
    Reply<xcb_get_window_attributes_reply_t> reply(xcb_get_window_attributes_reply(
        connection(), xcb_get_window_attributes(connection(), window), nullptr));
    return reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
}

std::vector<xcb_window_t> Desktop::topLevelsOf(std::uint32_t pid) {
    std::vector<xcb_window_t> found;
    Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(connection(), xcb_query_tree(connection(), server_->root()), nullptr));
    if (!tree)
        return found;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    const int count = xcb_query_tree_children_length(tree.get());
    for (int i = 0; i < count; ++i) {
        if (cardinal(children[i], "_NET_WM_PID") == pid)
            found.push_back(children[i]);
    }
    return found;
}

std::vector<xcb_window_t> Desktop::shownPopups(std::uint32_t pid) {
    std::vector<xcb_window_t> shown;
    for (const xcb_window_t w : topLevelsOf(pid)) {
        Reply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
            connection(), xcb_get_window_attributes(connection(), w), nullptr));
        if (attributes && attributes->override_redirect &&
            attributes->map_state == XCB_MAP_STATE_VIEWABLE)
            shown.push_back(w);
    }
    return shown;
}

void Desktop::killClient(xcb_window_t window) {
    xcb_kill_client(connection(), window);
    sync();
}

std::optional<Geometry> Desktop::geometry(xcb_window_t window) {
    Reply<xcb_get_geometry_reply_t> reply(
        xcb_get_geometry_reply(connection(), xcb_get_geometry(connection(), window), nullptr));
    if (!reply)
        return std::nullopt;
    return Geometry{reply->x, reply->y, reply->width, reply->height};
}

std::optional<Geometry> Desktop::embeddedWindow(std::uint32_t pid) {
    Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(connection(), xcb_query_tree(connection(), server_->root()), nullptr));
    if (!tree)
        return std::nullopt;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        if (auto found = embeddedWindowUnder(children[i], pid))
            return found;
    }
    return std::nullopt;
}

std::optional<Geometry> Desktop::embeddedWindowUnder(xcb_window_t parent, std::uint32_t pid) {
    Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(connection(), xcb_query_tree(connection(), parent), nullptr));
    if (!tree)
        return std::nullopt;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        const xcb_window_t w = children[i];
        if (viewable(w) && cardinal(w, "_NET_WM_PID") == pid) {
            const auto size = geometry(w);
            Reply<xcb_translate_coordinates_reply_t> at(xcb_translate_coordinates_reply(
                connection(), xcb_translate_coordinates(connection(), w, server_->root(), 0, 0),
                nullptr));
            if (size && at)
                return Geometry{at->dst_x, at->dst_y, size->width, size->height};
        }
        if (auto found = embeddedWindowUnder(w, pid))
            return found;
    }
    return std::nullopt;
}

std::vector<std::uint32_t> Desktop::column(xcb_window_t window, int x, int height) {
    return pixels(window, {x, 0, 1, height});
}

std::vector<std::uint32_t> Desktop::screenPixels(const Geometry& part) {
    return pixels(server_->root(), part);
}

std::vector<std::uint32_t> Desktop::pixels(xcb_window_t window, const Geometry& part) {
    std::vector<std::uint32_t> found;
    Reply<xcb_get_image_reply_t> image(xcb_get_image_reply(
        connection(),
        xcb_get_image(connection(), XCB_IMAGE_FORMAT_Z_PIXMAP, window,
                      static_cast<std::int16_t>(part.x), static_cast<std::int16_t>(part.y),
                      static_cast<std::uint16_t>(part.width),
                      static_cast<std::uint16_t>(part.height), ~0u),
        nullptr));
    if (!image || image->depth < 24 || part.height <= 0)
        return found;
    const auto* data = xcb_get_image_data(image.get());
    const int length = xcb_get_image_data_length(image.get());
    // 24- and 32-bit images come as 32 bits per pixel, padded to whole scanlines.
    const int stride = length / part.height;
    if (stride < 4 * part.width)
        return found;
    for (int y = 0; y < part.height; ++y) {
        for (int x = 0; x < part.width; ++x) {
            const auto* p = data + y * stride + x * 4;
            found.push_back((std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0]);
        }
    }
    return found;
}

std::vector<Geometry> Desktop::monitors() {
    std::vector<Geometry> found;
    Reply<xcb_randr_get_monitors_reply_t> reply(xcb_randr_get_monitors_reply(
        connection(), xcb_randr_get_monitors(connection(), server_->root(), 1), nullptr));
    if (!reply)
        return found;
    for (auto it = xcb_randr_get_monitors_monitors_iterator(reply.get()); it.rem != 0;
         xcb_randr_monitor_info_next(&it))
        found.push_back({it.data->x, it.data->y, it.data->width, it.data->height});
    return found;
}

}  // namespace tavrel::e2e
