// A scriptable X client for the tests: it maps windows with chosen titles, sizes, pids,
// classes, roles and states, writes broken properties on request and reports the keys
// its windows receive. Commands come from the command line (each argument is one) and
// then from standard input, one per line; every command answers with one line.
//
//   window [title=T] [name=T] [netname=T] [repeat=N] [x=N] [y=N] [width=N] [height=N]
//          [pid=self|none|N] [class=instance,Class] [state=normal|iconic] [desktop=N]
//          [type=normal|dialog|dock|desktop|utility|splash] [skiptaskbar=1]
//          [override=1] [input=1] [placed=1] [icon=N]              -> "window XID"
//                        placed: the window manager keeps x and y (USPosition); icon: an N x N
//                        _NET_WM_ICON from the start
//   title XID T          sets _NET_WM_NAME and WM_NAME             -> "ok"
//   prop XID NAME TYPE FORMAT HEX                                  -> "ok"
//   icon XID W H COUNT [W H COUNT ...]  _NET_WM_ICON: each image declares W x H and
//                        carries COUNT pixels                      -> "ok"
//   hinticon XID W H DEPTH [MW MH]  a W x H pixmap of DEPTH (1, or the screen's) as the WM_HINTS
//                        icon: depth 1 is set in its left half, a deeper one is 0x336699 left
//                        and 0xcc0000 right; with MW MH a depth-1 mask set in its top half
//                                                        -> "pixmap PIXMAP MASK" (MASK 0: none)
//   iconify XID / map XID / destroy XID / focus XID                -> "ok"
//   sync                                                           -> "synced"
//   quit
// Text values are percent-encoded (%20 is a space, %FF a raw byte). Key events on windows
// made with input=1 print "key press|release KEYCODE STATE XID"; focus changes print
// "focus in XID".
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "ClientCommands.h"

using tavrel::test::option;
using tavrel::test::Options;
using tavrel::test::parseOptions;
using tavrel::test::percentDecode;

namespace {

xcb_connection_t* connection = nullptr;
xcb_screen_t* screen = nullptr;

struct Free {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Owned = std::unique_ptr<T, Free>;

xcb_atom_t atom(const std::string& name) {
    Owned<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.c_str()),
        nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

std::string hexDecode(const std::string& hex) {
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return out;
}

void setProperty(xcb_window_t w, xcb_atom_t property, xcb_atom_t type, int format, const void* data,
                 std::size_t items) {
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, w, property, type,
                        static_cast<std::uint8_t>(format), static_cast<std::uint32_t>(items), data);
}

void setText(xcb_window_t w, xcb_atom_t property, xcb_atom_t type, const std::string& text) {
    setProperty(w, property, type, 8, text.data(), text.size());
}

bool windowManagerRuns() {
    const xcb_atom_t check = atom("_NET_SUPPORTING_WM_CHECK");
    auto read = [&](xcb_window_t w) -> xcb_window_t {
        Owned<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            connection, xcb_get_property(connection, 0, w, check, XCB_ATOM_WINDOW, 0, 1), nullptr));
        if (!reply || xcb_get_property_value_length(reply.get()) < 4)
            return XCB_WINDOW_NONE;
        return *static_cast<xcb_window_t*>(xcb_get_property_value(reply.get()));
    };
    const xcb_window_t w = read(screen->root);
    return w != XCB_WINDOW_NONE && read(w) == w;
}

void sync() {
    Owned<xcb_get_input_focus_reply_t> reply(
        xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

void report(const char* format, unsigned long a = 0, unsigned long b = 0, unsigned long c = 0) {
    std::printf(format, a, b, c);
    std::printf("\n");
    std::fflush(stdout);
}

void handleEvent(const xcb_generic_event_t* event) {
    switch (event->response_type & 0x7f) {
        case XCB_KEY_PRESS:
        case XCB_KEY_RELEASE: {
            const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event);
            const bool press = (event->response_type & 0x7f) == XCB_KEY_PRESS;
            report(press ? "key press %lu %lu %lu" : "key release %lu %lu %lu", key->detail,
                   key->state, key->event);
            break;
        }
        case XCB_FOCUS_IN:
            report("focus in %lu", reinterpret_cast<const xcb_focus_in_event_t*>(event)->event);
            break;
        default:
            break;
    }
}

// Waits for an event that `done` accepts, reporting the others as they come.
template <typename Done>
void waitFor(Done done) {
    xcb_flush(connection);
    while (Owned<xcb_generic_event_t> event{xcb_wait_for_event(connection)}) {
        if (done(event.get()))
            return;
        handleEvent(event.get());
    }
    std::exit(1);
}

void waitForMap(xcb_window_t w) {
    waitFor([w](const xcb_generic_event_t* e) {
        return (e->response_type & 0x7f) == XCB_MAP_NOTIFY &&
               reinterpret_cast<const xcb_map_notify_event_t*>(e)->window == w;
    });
}

bool clientListHolds(xcb_window_t w) {
    Owned<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 0, screen->root, atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW, 0,
                         65536),
        nullptr));
    if (!reply)
        return false;
    const auto* windows = static_cast<const xcb_window_t*>(xcb_get_property_value(reply.get()));
    const int count = xcb_get_property_value_length(reply.get()) / 4;
    return std::find(windows, windows + count, w) != windows + count;
}

// Waits until the window manager lists the window among its clients and, when
// `expectMap`, until the window is mapped.
void waitForManaged(xcb_window_t w, bool expectMap) {
    bool managed = clientListHolds(w);
    bool mapped = !expectMap;
    if (managed && mapped)
        return;
    waitFor([&](const xcb_generic_event_t* e) {
        const auto type = e->response_type & 0x7f;
        const auto* p = reinterpret_cast<const xcb_property_notify_event_t*>(e);
        if (type == XCB_PROPERTY_NOTIFY && p->window == screen->root && !managed)
            managed = clientListHolds(w);
        mapped |= type == XCB_MAP_NOTIFY &&
                  reinterpret_cast<const xcb_map_notify_event_t*>(e)->window == w;
        return managed && mapped;
    });
}

// Waits until the window manager has recorded the window as iconic.
void waitForIconic(xcb_window_t w) {
    const xcb_atom_t wmState = atom("WM_STATE");
    auto iconic = [&] {
        Owned<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            connection, xcb_get_property(connection, 0, w, wmState, wmState, 0, 2), nullptr));
        return reply && xcb_get_property_value_length(reply.get()) >= 4 &&
               *static_cast<std::uint32_t*>(xcb_get_property_value(reply.get())) == 3;
    };
    if (iconic())
        return;
    waitFor([&](const xcb_generic_event_t* e) {
        const auto* p = reinterpret_cast<const xcb_property_notify_event_t*>(e);
        return (e->response_type & 0x7f) == XCB_PROPERTY_NOTIFY && p->window == w &&
               p->atom == wmState && iconic();
    });
}

void setPid(xcb_window_t w, const std::string& pid) {
    if (pid == "none")
        return;
    const std::uint32_t value =
        pid == "self" ? static_cast<std::uint32_t>(getpid()) : std::stoul(pid);
    setProperty(w, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, &value, 1);
}

void setTitles(xcb_window_t w, const Options& o) {
    std::string title = option(o, "title", "");
    const int repeat = std::stoi(option(o, "repeat", "1"));
    std::string repeated;
    for (int i = 0; i < repeat; ++i)
        repeated += title;
    if (o.count("title") != 0) {
        setText(w, atom("_NET_WM_NAME"), atom("UTF8_STRING"), repeated);
        setText(w, XCB_ATOM_WM_NAME, atom("UTF8_STRING"), repeated);
    }
    if (o.count("netname") != 0)
        setText(w, atom("_NET_WM_NAME"), atom("UTF8_STRING"), option(o, "netname", ""));
    if (o.count("name") != 0)
        setText(w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, option(o, "name", ""));
}

void setRole(xcb_window_t w, const Options& o) {
    if (o.count("type") != 0) {
        std::string type = option(o, "type", "normal");
        for (char& c : type)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        const xcb_atom_t value = atom("_NET_WM_WINDOW_TYPE_" + type);
        setProperty(w, atom("_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 32, &value, 1);
    }
    if (option(o, "skiptaskbar", "0") == "1") {
        const xcb_atom_t value = atom("_NET_WM_STATE_SKIP_TASKBAR");
        setProperty(w, atom("_NET_WM_STATE"), XCB_ATOM_ATOM, 32, &value, 1);
    }
    if (o.count("desktop") != 0) {
        const std::uint32_t desktop = std::stoul(option(o, "desktop", "0"));
        setProperty(w, atom("_NET_WM_DESKTOP"), XCB_ATOM_CARDINAL, 32, &desktop, 1);
    }
}

// ICCCM WM_HINTS: flags, input, initial_state and six unused fields.
void setHints(xcb_window_t w, bool iconic) {
    const std::uint32_t hints[9] = {1u | 2u, 1, iconic ? 3u : 1u, 0, 0, 0, 0, 0, 0};
    setProperty(w, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32, hints, 9);
}

// ICCCM WM_NORMAL_HINTS with the position and size the user asked for, so that the window
// manager places nothing itself.
void setPlace(xcb_window_t w, const Options& o) {
    std::uint32_t hints[18] = {};
    hints[0] = 1u | 2u | 4u | 8u;  // USPosition | USSize | PPosition | PSize
    hints[1] = static_cast<std::uint32_t>(std::stoi(option(o, "x", "10")));
    hints[2] = static_cast<std::uint32_t>(std::stoi(option(o, "y", "10")));
    hints[3] = static_cast<std::uint32_t>(std::stoi(option(o, "width", "300")));
    hints[4] = static_cast<std::uint32_t>(std::stoi(option(o, "height", "200")));
    setProperty(w, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 32, hints, 18);
}

void setIcon(xcb_window_t w, std::istringstream& in) {
    std::vector<std::uint32_t> data;
    std::uint32_t width = 0, height = 0, count = 0;
    while (in >> width >> height >> count) {
        data.push_back(width);
        data.push_back(height);
        data.insert(data.end(), count, 0xFF336699u);
    }
    setProperty(w, atom("_NET_WM_ICON"), XCB_ATOM_CARDINAL, 32, data.data(), data.size());
}

void createWindow(std::istringstream& in) {
    const Options o = parseOptions(in);
    const xcb_window_t w = xcb_generate_id(connection);
    const bool input = option(o, "input", "0") == "1";
    const std::uint32_t events =
        XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE |
        (input ? XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE | XCB_EVENT_MASK_FOCUS_CHANGE
               : 0);
    const std::uint32_t values[] = {screen->white_pixel, option(o, "override", "0") == "1", events};
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, w, screen->root,
                      static_cast<std::int16_t>(std::stoi(option(o, "x", "10"))),
                      static_cast<std::int16_t>(std::stoi(option(o, "y", "10"))),
                      static_cast<std::uint16_t>(std::stoi(option(o, "width", "300"))),
                      static_cast<std::uint16_t>(std::stoi(option(o, "height", "200"))), 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    setTitles(w, o);
    setPid(w, option(o, "pid", "self"));
    if (o.count("class") != 0) {
        std::string wmClass = option(o, "class", "");
        std::replace(wmClass.begin(), wmClass.end(), ',', '\0');
        wmClass += '\0';
        setText(w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, wmClass);
    }
    setRole(w, o);
    const bool iconic = option(o, "state", "normal") == "iconic";
    setHints(w, iconic);
    if (option(o, "placed", "0") == "1")
        setPlace(w, o);
    if (const int side = std::stoi(option(o, "icon", "0")); side > 0) {
        std::istringstream icon(std::to_string(side) + " " + std::to_string(side) + " " +
                                std::to_string(side * side));
        setIcon(w, icon);
    }
    const bool override = option(o, "override", "0") == "1";
    const bool managed = windowManagerRuns() && !override;
    if (iconic && !managed) {
        // Without a window manager nobody iconifies: the window records it itself.
        const std::uint32_t state[2] = {3, XCB_WINDOW_NONE};
        const xcb_atom_t wmState = atom("WM_STATE");
        setProperty(w, wmState, wmState, 32, state, 2);
        sync();
    } else if (managed) {
        // Iconic windows and windows of other desktops stay unmapped.
        xcb_map_window(connection, w);
        waitForManaged(w, !iconic && o.count("desktop") == 0);
    } else {
        xcb_map_window(connection, w);
        waitForMap(w);
    }
    sync();
    report("window %lu", w);
}

// A pixmap filled with `left` in its left half and `right` in the other (or the top and bottom
// halves).
xcb_pixmap_t halves(int width, int height, int depth, std::uint32_t left, std::uint32_t right,
                    bool topAndBottom) {
    const xcb_pixmap_t pixmap = xcb_generate_id(connection);
    xcb_create_pixmap(connection, static_cast<std::uint8_t>(depth), pixmap, screen->root,
                      static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height));
    const xcb_gcontext_t gc = xcb_generate_id(connection);
    xcb_create_gc(connection, gc, pixmap, XCB_GC_FOREGROUND, &right);
    const xcb_rectangle_t all{0, 0, static_cast<std::uint16_t>(width),
                              static_cast<std::uint16_t>(height)};
    xcb_poly_fill_rectangle(connection, pixmap, gc, 1, &all);
    xcb_change_gc(connection, gc, XCB_GC_FOREGROUND, &left);
    const xcb_rectangle_t half{0, 0, static_cast<std::uint16_t>(topAndBottom ? width : width / 2),
                               static_cast<std::uint16_t>(topAndBottom ? height / 2 : height)};
    xcb_poly_fill_rectangle(connection, pixmap, gc, 1, &half);
    xcb_free_gc(connection, gc);
    return pixmap;
}

void setHintsIcon(xcb_window_t w, std::istringstream& in) {
    int width = 0, height = 0, depth = 0, maskWidth = 0, maskHeight = 0;
    in >> width >> height >> depth;
    const bool masked = static_cast<bool>(in >> maskWidth >> maskHeight);
    const xcb_pixmap_t pixmap = depth == 1
                                    ? halves(width, height, 1, 1, 0, false)
                                    : halves(width, height, depth, 0x336699, 0xcc0000, false);
    const xcb_pixmap_t mask = masked ? halves(maskWidth, maskHeight, 1, 1, 0, true) : XCB_NONE;
    // Input, state, icon pixmap and, with a mask, icon mask.
    const std::uint32_t hints[9] = {
        1u | 2u | 4u | (masked ? 32u : 0u), 1, 1, pixmap, 0, 0, 0, mask, 0};
    setProperty(w, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32, hints, 9);
    sync();
    report("pixmap %lu %lu", pixmap, mask);
}

void iconify(xcb_window_t w) {
    if (!windowManagerRuns()) {
        const std::uint32_t state[2] = {3, XCB_WINDOW_NONE};
        const xcb_atom_t wmState = atom("WM_STATE");
        setProperty(w, wmState, wmState, 32, state, 2);
        xcb_unmap_window(connection, w);
        return;
    }
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = w;
    message.type = atom("WM_CHANGE_STATE");
    message.data.data32[0] = 3;
    xcb_send_event(connection, 0, screen->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    waitForIconic(w);
}

bool runCommand(const std::string& line) {
    std::istringstream in(line);
    std::string command;
    in >> command;
    if (command == "quit")
        return false;
    if (command == "window") {
        createWindow(in);
        return true;
    }
    if (command == "sync") {
        sync();
        report("synced");
        return true;
    }
    unsigned long id = 0;
    in >> id;
    const auto w = static_cast<xcb_window_t>(id);
    if (command == "title") {
        std::string text;
        in >> text;
        text = percentDecode(text);
        setText(w, atom("_NET_WM_NAME"), atom("UTF8_STRING"), text);
        setText(w, XCB_ATOM_WM_NAME, atom("UTF8_STRING"), text);
    } else if (command == "prop") {
        std::string name, type, hex;
        int format = 8;
        in >> name >> type >> format >> hex;
        const std::string bytes = hexDecode(hex);
        setProperty(w, atom(name), atom(type), format, bytes.data(),
                    bytes.size() / static_cast<std::size_t>(format / 8));
    } else if (command == "icon") {
        setIcon(w, in);
    } else if (command == "hinticon") {
        setHintsIcon(w, in);
        return true;
    } else if (command == "iconify") {
        iconify(w);
    } else if (command == "map") {
        xcb_map_window(connection, w);
    } else if (command == "destroy") {
        xcb_destroy_window(connection, w);
    } else if (command == "focus") {
        xcb_set_input_focus(connection, XCB_INPUT_FOCUS_POINTER_ROOT, w, XCB_CURRENT_TIME);
    } else {
        report("unknown command");
        return true;
    }
    sync();
    report("ok");
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection) != 0) {
        std::fprintf(stderr, "tavrel-testclient: cannot open the display\n");
        return 1;
    }
    screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const std::uint32_t rootEvents = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(connection, screen->root, XCB_CW_EVENT_MASK, &rootEvents);
    for (int i = 1; i < argc; ++i) {
        if (!runCommand(argv[i]))
            return 0;
    }
    return tavrel::test::commandLoop(
        xcb_get_file_descriptor(connection),
        [] {
            xcb_flush(connection);
            while (Owned<xcb_generic_event_t> event{xcb_poll_for_event(connection)})
                handleEvent(event.get());
            return xcb_connection_has_error(connection) == 0;
        },
        runCommand);
}
