#pragma once
#include <xcb/res.h>
#include <xcb/xcb.h>

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/x11/X11Connection.h"

namespace tavrel::x11 {

class CompoundTextDecoder;
struct WindowCookies;

// What a window is for, from _NET_WM_WINDOW_TYPE (a window without one is normal).
enum class WindowRole { normal, dialog, utility, toolbar, menu, splash, dock, desktop };

// One top-level client window as the server described it in one listing.
struct ClientWindow {
    xcb_window_t id = XCB_WINDOW_NONE;
    std::optional<std::int32_t> pid;
    std::optional<std::string> title;
    std::optional<std::string> instanceName;  // WM_CLASS, first string
    std::optional<std::string> className;     // WM_CLASS, second string
    std::int32_t x = 0, y = 0;                // in root coordinates, pixels
    std::uint32_t width = 0, height = 0;
    bool hasGeometry = false;
    WindowRole role = WindowRole::normal;
    bool viewable = false;
    bool hidden = false;  // iconic or _NET_WM_STATE_HIDDEN
    bool skipTaskbar = false;
    bool onCurrentDesktop = true;  // or on every desktop
};

struct WindowSnapshot {
    bool managed = false;               // a live EWMH window manager runs
    std::vector<ClientWindow> windows;  // front to back
};

// Lists the client windows front to back. Every request of one listing is sent before
// any reply is read, so a listing costs a few round trips whatever the number of windows.
class X11WindowList {
  public:
    // `decoder` may be null.
    X11WindowList(X11Connection& connection, const CompoundTextDecoder* decoder);
    ~X11WindowList();
    X11WindowList(const X11WindowList&) = delete;
    X11WindowList& operator=(const X11WindowList&) = delete;

    // Takes note of a change the connection reported about a listed window.
    void handleEvent(const xcb_generic_event_t* event);

    // Nothing when the server is gone.
    std::optional<WindowSnapshot> snapshot();
    // The last listing while nothing heard since could change which windows it holds, their
    // order or their states (their geometry may be old), else a fresh one.
    std::optional<WindowSnapshot> unchangedSnapshot();
    // The most recent listing, if any; look-ups right after a listing use it.
    const std::optional<WindowSnapshot>& lastSnapshot() const { return last_; }
    // One window as the last listing described it while nothing has been heard of it since
    // (its properties, map state and existence are followed by events), else described
    // afresh; nothing when it is gone. Its place may be as old as the listing.
    std::optional<ClientWindow> window(xcb_window_t id);
    // Whether a live EWMH window manager runs: its check window exists and points to itself.
    // The last listing's answer holds until the check window or the root's pointer to it
    // changes; only then is the server asked.
    bool windowManagerPresent();
    // Round trips made so far, for measurements.
    std::uint64_t roundTrips() const { return roundTrips_; }

  private:
    struct RootState;
    RootState readRoot();
    bool checkWindowIsLive(xcb_window_t check);
    bool managedBy(const RootState& root);
    const ClientWindow* listed(xcb_window_t id) const;
    void noteChange(xcb_window_t id);
    void noteRootChange(const xcb_property_notify_event_t& notify);
    void noteRestack(const xcb_configure_notify_event_t& notify);
    void notePlace(const xcb_configure_notify_event_t& notify, bool sent);
    void forgetPlace(xcb_window_t id);
    std::vector<xcb_window_t> clientsUnder(const std::vector<xcb_window_t>& topLevels);
    std::vector<ClientWindow> describe(const std::vector<xcb_window_t>& ids,
                                       std::optional<std::uint32_t> currentDesktop, bool managed);
    struct Place;
    struct CachedWindow;
    void drainEvents();
    WindowCookies requestWindow(xcb_window_t id, bool managed);
    std::optional<ClientWindow> readWindow(xcb_window_t id, const WindowCookies& cookies,
                                           std::optional<std::uint32_t> currentDesktop);
    void completeTitlesAndPids(std::vector<ClientWindow>& windows);
    void applyClientPids(xcb_res_query_client_ids_cookie_t cookie,
                         std::vector<ClientWindow>& windows);

    X11Connection& connection_;
    const CompoundTextDecoder* decoder_;
    bool hasXRes_ = false;
    xcb_atom_t managerSelection_ = XCB_ATOM_NONE;
    std::uint64_t roundTrips_ = 0;
    std::optional<WindowSnapshot> last_;
    // Properties of listed windows, kept until they change: a listing asks only for what
    // changed since the last one.
    std::map<xcb_window_t, CachedWindow> cache_;
    // Listed windows heard of since the last listing: their description there may be old.
    std::set<xcb_window_t> changed_;
    // The check window the root named at the last listing, watched for its end.
    xcb_window_t checkWindow_ = XCB_WINDOW_NONE;
    // Whether the last listing's answer about the window manager still holds.
    bool managerKnown_ = false;
    // Whether nothing heard since the last listing could change its windows, their order or
    // their states.
    bool listingCurrent_ = false;
    // The root's children at the last listing, bottom to top.
    std::vector<xcb_window_t> childrenAtListing_;
};

}  // namespace tavrel::x11
