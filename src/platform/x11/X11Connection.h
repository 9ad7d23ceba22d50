#pragma once
#include <xcb/xcb.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

namespace tavrel::x11 {

// Frees what xcb hands out with malloc (replies, events, errors).
struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

#define TAVREL_X11_ATOMS(X)        \
    X(UTF8_STRING)                 \
    X(COMPOUND_TEXT)               \
    X(WM_STATE)                    \
    X(WM_CHANGE_STATE)             \
    X(_NET_SUPPORTING_WM_CHECK)    \
    X(_NET_CLIENT_LIST_STACKING)   \
    X(_NET_CURRENT_DESKTOP)        \
    X(_NET_WM_DESKTOP)             \
    X(_NET_WM_NAME)                \
    X(_NET_WM_PID)                 \
    X(_NET_WM_ICON)                \
    X(_NET_WM_STATE)               \
    X(_NET_WM_STATE_HIDDEN)        \
    X(_NET_WM_STATE_SKIP_TASKBAR)  \
    X(_NET_WM_WINDOW_TYPE)         \
    X(_NET_WM_WINDOW_TYPE_NORMAL)  \
    X(_NET_WM_WINDOW_TYPE_DIALOG)  \
    X(_NET_WM_WINDOW_TYPE_DESKTOP) \
    X(_NET_WM_WINDOW_TYPE_DOCK)    \
    X(_NET_WM_WINDOW_TYPE_TOOLBAR) \
    X(_NET_WM_WINDOW_TYPE_MENU)    \
    X(_NET_WM_WINDOW_TYPE_UTILITY) \
    X(_NET_WM_WINDOW_TYPE_SPLASH)  \
    X(_NET_ACTIVE_WINDOW)          \
    X(_NET_RESTACK_WINDOW)         \
    X(TAVREL_TIMESTAMP)

// The atoms this backend speaks, interned once per connection.
struct Atoms {
#define TAVREL_X11_ATOM_FIELD(name) xcb_atom_t name = XCB_ATOM_NONE;
    TAVREL_X11_ATOMS(TAVREL_X11_ATOM_FIELD)
#undef TAVREL_X11_ATOM_FIELD
};

// One xcb connection with its default screen's root and the interned atoms.
class X11Connection {
  public:
    // Nothing (and the reason in `whyNot`) when the display cannot be reached.
    static std::unique_ptr<X11Connection> open(const char* displayName, std::string* whyNot);
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    xcb_connection_t* get() const { return connection_; }
    xcb_window_t root() const { return screen_->root; }
    const xcb_screen_t& screen() const { return *screen_; }
    const Atoms& atoms() const { return atoms_; }
    int fileDescriptor() const { return xcb_get_file_descriptor(connection_); }
    bool broken() const { return xcb_connection_has_error(connection_) != 0; }
    // A round trip: everything sent before has been processed by the server.
    void sync() const;
    // The server's current time, read from a property change on a private window. Other
    // events that arrive meanwhile go to the event handler.
    xcb_timestamp_t serverTime();
    void setEventHandler(std::function<void(const xcb_generic_event_t*)> handler) {
        eventHandler_ = std::move(handler);
    }

  private:
    X11Connection(xcb_connection_t* connection, xcb_screen_t* screen);
    void internAtoms();

    xcb_connection_t* connection_;
    xcb_screen_t* screen_;
    Atoms atoms_;
    xcb_window_t clock_ = XCB_WINDOW_NONE;
    std::function<void(const xcb_generic_event_t*)> eventHandler_;
};

}  // namespace tavrel::x11
