#include "platform/x11/X11WindowList.h"

#include <xcb/res.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <map>

#include "platform/x11/X11Property.h"
#include "platform/x11/X11Text.h"

namespace tavrel::x11 {

namespace {

// Bounds on what one listing reads, so that a hostile client cannot make it huge.
constexpr std::uint32_t kMaxClients = 65536;
constexpr std::uint32_t kMaxTitleItems = 4096;  // 16 KiB of title text
constexpr std::uint32_t kMaxClassItems = 256;
constexpr std::uint32_t kMaxAtomItems = 64;
constexpr std::uint32_t kAllDesktops = 0xFFFFFFFF;
constexpr std::uint32_t kIconicState = 3;
// How deep under a top-level window its client may sit: a frame, a frame's wrapper, the client.
constexpr int kMaxFrameDepth = 3;
constexpr std::uint32_t kWatchedEvents =
    XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;

WindowRole roleFrom(const std::optional<X11Property>& type, const Atoms& atoms) {
    if (!type)
        return WindowRole::normal;
    const std::pair<xcb_atom_t, WindowRole> known[] = {
        {atoms._NET_WM_WINDOW_TYPE_NORMAL, WindowRole::normal},
        {atoms._NET_WM_WINDOW_TYPE_DIALOG, WindowRole::dialog},
        {atoms._NET_WM_WINDOW_TYPE_UTILITY, WindowRole::utility},
        {atoms._NET_WM_WINDOW_TYPE_TOOLBAR, WindowRole::toolbar},
        {atoms._NET_WM_WINDOW_TYPE_MENU, WindowRole::menu},
        {atoms._NET_WM_WINDOW_TYPE_SPLASH, WindowRole::splash},
        {atoms._NET_WM_WINDOW_TYPE_DOCK, WindowRole::dock},
        {atoms._NET_WM_WINDOW_TYPE_DESKTOP, WindowRole::desktop},
    };
    // The list is in order of preference; the first type this backend knows wins.
    for (const std::uint32_t atom : type->cardinals(XCB_ATOM_ATOM)) {
        for (const auto& [candidate, role] : known) {
            if (atom == candidate && candidate != XCB_ATOM_NONE)
                return role;
        }
    }
    return WindowRole::normal;
}

void readClass(const std::optional<X11Property>& property, ClientWindow& window) {
    if (!property || property->format() != 8)
        return;
    const std::string_view bytes = property->bytes();
    const std::size_t end = bytes.find('\0');
    window.instanceName = latin1ToUtf8(bytes.substr(0, end));
    if (end == std::string_view::npos)
        return;
    const std::string_view rest = bytes.substr(end + 1);
    window.className = latin1ToUtf8(rest.substr(0, rest.find('\0')));
}

void readState(const std::optional<X11Property>& state, const std::optional<X11Property>& wmState,
               const Atoms& atoms, ClientWindow& window) {
    if (state) {
        for (const std::uint32_t atom : state->cardinals(XCB_ATOM_ATOM)) {
            window.hidden |= atom == atoms._NET_WM_STATE_HIDDEN;
            window.skipTaskbar |= atom == atoms._NET_WM_STATE_SKIP_TASKBAR;
        }
    }
    if (wmState)
        window.hidden |= wmState->firstCardinal(atoms.WM_STATE) == kIconicState;
}

// ICCCM: the window manager of a screen owns the selection WM_S<screen number>.
xcb_atom_t windowManagerSelection(xcb_connection_t* c, xcb_window_t root) {
    int screen = 0;
    for (auto it = xcb_setup_roots_iterator(xcb_get_setup(c)); it.rem > 0 && it.data->root != root;
         xcb_screen_next(&it)) {
        ++screen;
    }
    const std::string name = "WM_S" + std::to_string(screen);
    Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(name.size()), name.c_str()), nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

std::optional<std::int32_t> pidFrom(std::uint32_t value) {
    if (value == 0 || value > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max()))
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

}  // namespace

struct X11WindowList::RootState {
    bool ok = false;
    std::optional<xcb_window_t> check;
    // Some window manager says it runs (owns the screen's selection or named a check window),
    // whether or not it can be trusted.
    bool managerClaimed = false;
    std::optional<bool> lastCheckLive;  // whether the last listing's check window still is
    std::optional<std::vector<std::uint32_t>> stacking;
    std::optional<std::uint32_t> currentDesktop;
    std::vector<xcb_window_t> children;  // bottom to top
};

X11WindowList::X11WindowList(X11Connection& connection, const CompoundTextDecoder* decoder)
    : connection_(connection), decoder_(decoder) {
    const xcb_query_extension_reply_t* res = xcb_get_extension_data(connection_.get(), &xcb_res_id);
    hasXRes_ = res != nullptr && res->present != 0;
    managerSelection_ = windowManagerSelection(connection_.get(), connection_.root());
    // A window manager that starts, or points the root at another check window, says so;
    // windows that come, go or change places among the root's children say so too.
    const std::uint32_t rootEvents =
        XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_.get(), connection_.root(), XCB_CW_EVENT_MASK,
                                 &rootEvents);
}

X11WindowList::RootState X11WindowList::readRoot() {
    xcb_connection_t* c = connection_.get();
    const Atoms& atoms = connection_.atoms();
    const xcb_window_t root = connection_.root();
    const auto check = X11Property::request(c, root, atoms._NET_SUPPORTING_WM_CHECK, 1);
    const auto stacking =
        X11Property::request(c, root, atoms._NET_CLIENT_LIST_STACKING, kMaxClients);
    const auto desktop = X11Property::request(c, root, atoms._NET_CURRENT_DESKTOP, 1);
    const auto tree = xcb_query_tree(c, root);
    const auto selectionOwner = xcb_get_selection_owner(c, managerSelection_);
    // The check window seldom changes: the last one is asked about in the same round trip.
    std::optional<xcb_get_property_cookie_t> lastCheck;
    if (checkWindow_ != XCB_WINDOW_NONE)
        lastCheck = X11Property::request(c, checkWindow_, atoms._NET_SUPPORTING_WM_CHECK, 1);
    ++roundTrips_;

    RootState state;
    if (auto p = X11Property::read(c, check)) {
        state.check = p->firstCardinal(XCB_ATOM_WINDOW);
        state.managerClaimed = true;
    }
    Reply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(c, selectionOwner, nullptr));
    state.managerClaimed |= owner && owner->owner != XCB_WINDOW_NONE;
    if (auto p = X11Property::read(c, stacking))
        state.stacking = p->cardinals(XCB_ATOM_WINDOW);
    if (auto p = X11Property::read(c, desktop))
        state.currentDesktop = p->firstCardinal(XCB_ATOM_CARDINAL);
    Reply<xcb_query_tree_reply_t> treeReply(xcb_query_tree_reply(c, tree, nullptr));
    if (treeReply) {
        const xcb_window_t* children = xcb_query_tree_children(treeReply.get());
        const int count = xcb_query_tree_children_length(treeReply.get());
        state.children.assign(children, children + std::max(count, 0));
    }
    state.ok = treeReply != nullptr;
    if (lastCheck) {
        const auto property = X11Property::read(c, *lastCheck);
        state.lastCheckLive = property && property->firstCardinal(XCB_ATOM_WINDOW) == checkWindow_;
    }
    return state;
}

bool X11WindowList::checkWindowIsLive(xcb_window_t check) {
    xcb_connection_t* c = connection_.get();
    const Atoms& atoms = connection_.atoms();
    // Watched before it is read, so that its end cannot pass unnoticed.
    xcb_change_window_attributes(c, check, XCB_CW_EVENT_MASK, &kWatchedEvents);
    const auto cookie = X11Property::request(c, check, atoms._NET_SUPPORTING_WM_CHECK, 1);
    ++roundTrips_;
    const auto property = X11Property::read(c, cookie);
    return property && property->firstCardinal(XCB_ATOM_WINDOW) == check;
}

bool X11WindowList::managedBy(const RootState& root) {
    if (!root.check)
        return false;
    const bool live = *root.check == checkWindow_ && root.lastCheckLive
                          ? *root.lastCheckLive
                          : checkWindowIsLive(*root.check);
    return live && root.stacking;
}

bool X11WindowList::windowManagerPresent() {
    drainEvents();
    if (managerKnown_ && last_)
        return last_->managed;
    xcb_connection_t* c = connection_.get();
    const auto cookie = X11Property::request(c, connection_.root(),
                                             connection_.atoms()._NET_SUPPORTING_WM_CHECK, 1);
    ++roundTrips_;
    const auto property = X11Property::read(c, cookie);
    const auto check = property ? property->firstCardinal(XCB_ATOM_WINDOW) : std::nullopt;
    return check && checkWindowIsLive(*check);
}

std::optional<WindowSnapshot> X11WindowList::snapshot() {
    // What was heard before the requests go out is in their answers; from then on anything
    // heard may not be.
    drainEvents();
    listingCurrent_ = true;
    RootState root = readRoot();
    if (!root.ok || connection_.broken()) {
        listingCurrent_ = false;
        return std::nullopt;
    }
    WindowSnapshot result;
    result.managed = managedBy(root);
    std::vector<xcb_window_t> ids;
    if (result.managed)
        ids.assign(root.stacking->rbegin(), root.stacking->rend());
    else if (root.managerClaimed)
        ids = clientsUnder(root.children);
    else
        ids.assign(root.children.rbegin(), root.children.rend());
    result.windows = describe(ids, root.currentDesktop, result.managed);
    if (connection_.broken()) {
        listingCurrent_ = false;
        return std::nullopt;
    }
    // Whatever was heard until the requests went out is in their answers.
    last_ = result;
    changed_.clear();
    checkWindow_ = root.check.value_or(XCB_WINDOW_NONE);
    managerKnown_ = true;
    childrenAtListing_ = std::move(root.children);
    return result;
}

std::optional<WindowSnapshot> X11WindowList::unchangedSnapshot() {
    drainEvents();
    if (listingCurrent_ && managerKnown_ && last_ && !connection_.broken())
        return last_;
    return snapshot();
}

const ClientWindow* X11WindowList::listed(xcb_window_t id) const {
    if (!last_ || changed_.contains(id))
        return nullptr;
    const auto& windows = last_->windows;
    const auto found = std::find_if(windows.begin(), windows.end(),
                                    [id](const ClientWindow& w) { return w.id == id; });
    return found == windows.end() ? nullptr : &*found;
}

std::optional<ClientWindow> X11WindowList::window(xcb_window_t id) {
    drainEvents();
    if (const ClientWindow* w = listed(id))
        return *w;
    auto found = describe({id}, std::nullopt, windowManagerPresent());
    if (found.empty())
        return std::nullopt;
    return std::move(found.front());
}

// What one listing asks about one window: what the cache does not hold of its place, size
// and properties. Without an EWMH window manager the clients' map state tells whether they
// show; under one, the window manager's properties tell it.
struct WindowCookies {
    std::optional<xcb_get_window_attributes_cookie_t> attributes;
    std::optional<xcb_get_geometry_cookie_t> geometry;
    std::optional<xcb_translate_coordinates_cookie_t> position;
    std::vector<std::pair<xcb_atom_t, xcb_get_property_cookie_t>> properties;
};

// Where a window is, in root coordinates, and its size, in pixels.
struct X11WindowList::Place {
    std::int32_t x = 0, y = 0;
    std::uint32_t width = 0, height = 0;
};

// A window's properties and place as last read, each dropped when the window reports a
// change (a place announced in full, as window managers do for a moved client, is kept).
struct X11WindowList::CachedWindow {
    std::map<xcb_atom_t, std::optional<X11Property>> properties;  // empty optional: none
    std::optional<std::optional<std::int32_t>> serverPid;         // asked once
    std::optional<Place> place;
    const std::optional<X11Property>* property(xcb_atom_t atom) const {
        const auto it = properties.find(atom);
        return it == properties.end() ? nullptr : &it->second;
    }
};

X11WindowList::~X11WindowList() = default;

void X11WindowList::handleEvent(const xcb_generic_event_t* event) {
    const std::uint8_t type = event->response_type & 0x7f;
    const Atoms& atoms = connection_.atoms();
    if (type == XCB_PROPERTY_NOTIFY) {
        const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        // Every property a description was read from is cached: others do not matter.
        const auto it = cache_.find(notify->window);
        if (it != cache_.end() && it->second.properties.erase(notify->atom) != 0)
            noteChange(notify->window);
        noteRootChange(*notify);
        // The root or the check window pointing elsewhere: a window manager came or went.
        if (notify->atom == atoms._NET_SUPPORTING_WM_CHECK &&
            (notify->window == connection_.root() || notify->window == checkWindow_)) {
            managerKnown_ = false;
        }
    } else if (type == XCB_DESTROY_NOTIFY) {
        const xcb_window_t window =
            reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window;
        noteChange(window);
        // Window ids are reused: what was known of this one must not pass to the next.
        cache_.erase(window);
        if (window == checkWindow_)
            managerKnown_ = false;
    } else if (type == XCB_MAP_NOTIFY) {
        const auto* notify = reinterpret_cast<const xcb_map_notify_event_t*>(event);
        // Override-redirect windows (menus, tooltips, the panel) are never clients.
        listingCurrent_ = listingCurrent_ && notify->override_redirect != 0;
        noteChange(notify->window);
    } else if (type == XCB_UNMAP_NOTIFY) {
        noteChange(reinterpret_cast<const xcb_unmap_notify_event_t*>(event)->window);
    } else if (type == XCB_REPARENT_NOTIFY) {
        const auto* notify = reinterpret_cast<const xcb_reparent_notify_event_t*>(event);
        listingCurrent_ = listingCurrent_ && notify->override_redirect != 0;
        forgetPlace(notify->window);
        noteChange(notify->window);
    } else if (type == XCB_CREATE_NOTIFY) {
        // Even unmapped, a new child of the root may be an iconic client.
        const auto* notify = reinterpret_cast<const xcb_create_notify_event_t*>(event);
        listingCurrent_ = listingCurrent_ && notify->override_redirect != 0;
    } else if (type == XCB_CONFIGURE_NOTIFY) {
        const auto* notify = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
        notePlace(*notify, (event->response_type & 0x80) != 0);
        noteRestack(*notify);
    } else if (type == XCB_GRAVITY_NOTIFY) {
        forgetPlace(reinterpret_cast<const xcb_gravity_notify_event_t*>(event)->window);
    } else if (type == XCB_CIRCULATE_NOTIFY) {
        listingCurrent_ = false;
    }
}

void X11WindowList::noteChange(xcb_window_t id) {
    // Only windows the cache knows can be listed, which bounds the set.
    if (cache_.contains(id)) {
        changed_.insert(id);
        listingCurrent_ = false;
    }
}

// A root child reports its place in root coordinates, and so does a window manager for a
// client it moved (ICCCM 4.1.5, a sent event); a framed client's own report is relative to
// its frame, so only its size could be kept: it is asked for again.
void X11WindowList::notePlace(const xcb_configure_notify_event_t& notify, bool sent) {
    const auto it = cache_.find(notify.window);
    if (it == cache_.end())
        return;
    if (sent || notify.event == connection_.root())
        it->second.place = Place{notify.x, notify.y, notify.width, notify.height};
    else
        it->second.place.reset();
}

void X11WindowList::forgetPlace(xcb_window_t id) {
    if (const auto it = cache_.find(id); it != cache_.end())
        it->second.place.reset();
}

void X11WindowList::noteRootChange(const xcb_property_notify_event_t& notify) {
    const Atoms& atoms = connection_.atoms();
    if (notify.window == connection_.root() && (notify.atom == atoms._NET_CLIENT_LIST_STACKING ||
                                                notify.atom == atoms._NET_CURRENT_DESKTOP ||
                                                notify.atom == atoms._NET_SUPPORTING_WM_CHECK)) {
        listingCurrent_ = false;
    }
}

// Without a window manager the root's children, in their stacking order, are the listing:
// one that took another place among them may change it, one that only moved or was resized
// does not.
void X11WindowList::noteRestack(const xcb_configure_notify_event_t& notify) {
    if (notify.event != connection_.root() || notify.override_redirect != 0)
        return;
    const auto& children = childrenAtListing_;
    const auto it = std::find(children.begin(), children.end(), notify.window);
    if (it == children.end()) {
        listingCurrent_ = false;
        return;
    }
    const xcb_window_t below = it == children.begin() ? xcb_window_t{XCB_WINDOW_NONE} : *(it - 1);
    if (notify.above_sibling != below)
        listingCurrent_ = false;
}

// Without a trusted EWMH list, under a window manager that keeps no such list or whose check
// window a client has spoiled, the root's children may be frames. The client is the window
// carrying WM_STATE, the top-level itself or the first found under it level by level (ICCCM
// 4.1.3.1); a top-level with none under it is its own client. Each level's requests go out
// together. With no sign of a window manager at all the root's children are the clients.
std::vector<xcb_window_t> X11WindowList::clientsUnder(const std::vector<xcb_window_t>& topLevels) {
    xcb_connection_t* c = connection_.get();
    const xcb_atom_t wmState = connection_.atoms().WM_STATE;
    std::vector<xcb_window_t> clients(topLevels.rbegin(), topLevels.rend());  // front to back
    std::vector<bool> found(clients.size(), false);
    // The windows to look at next, each with the place of its top-level.
    std::vector<std::pair<std::size_t, xcb_window_t>> level;
    for (std::size_t i = 0; i < clients.size(); ++i)
        level.emplace_back(i, clients[i]);
    for (int depth = 0; depth <= kMaxFrameDepth && !level.empty(); ++depth) {
        std::vector<std::pair<xcb_get_property_cookie_t, xcb_query_tree_cookie_t>> cookies;
        cookies.reserve(level.size());
        for (const auto& [top, w] : level)
            cookies.emplace_back(X11Property::request(c, w, wmState, 1), xcb_query_tree(c, w));
        ++roundTrips_;
        std::vector<std::pair<std::size_t, xcb_window_t>> next;
        for (std::size_t k = 0; k < level.size(); ++k) {
            const auto [top, w] = level[k];
            const bool carries = X11Property::read(c, cookies[k].first).has_value();
            Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, cookies[k].second, nullptr));
            if (carries && !found[top]) {
                clients[top] = w;
                found[top] = true;
            }
            if (found[top] || !tree)
                continue;
            const xcb_window_t* children = xcb_query_tree_children(tree.get());
            const int count = xcb_query_tree_children_length(tree.get());
            for (int j = 0; j < count && next.size() < kMaxClients; ++j)
                next.emplace_back(top, children[j]);
        }
        std::erase_if(next, [&](const auto& candidate) { return found[candidate.first]; });
        level = std::move(next);
    }
    return clients;
}

void X11WindowList::drainEvents() {
    while (Reply<xcb_generic_event_t> event{xcb_poll_for_event(connection_.get())})
        handleEvent(event.get());
}

std::vector<ClientWindow> X11WindowList::describe(const std::vector<xcb_window_t>& ids,
                                                  std::optional<std::uint32_t> currentDesktop,
                                                  bool managed) {
    drainEvents();
    std::vector<WindowCookies> cookies;
    cookies.reserve(ids.size());
    bool asked = false;
    for (const xcb_window_t id : ids) {
        cookies.push_back(requestWindow(id, managed));
        const WindowCookies& k = cookies.back();
        asked = asked || k.attributes || k.geometry || !k.properties.empty();
    }
    if (asked)
        ++roundTrips_;

    std::vector<ClientWindow> windows;
    windows.reserve(ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i) {
        if (auto w = readWindow(ids[i], cookies[i], currentDesktop))
            windows.push_back(std::move(*w));
    }
    completeTitlesAndPids(windows);
    return windows;
}

WindowCookies X11WindowList::requestWindow(xcb_window_t id, bool managed) {
    xcb_connection_t* c = connection_.get();
    const Atoms& atoms = connection_.atoms();
    auto [entry, isNew] = cache_.try_emplace(id);
    if (isNew) {
        // Selected before anything is read, so that no later change goes unnoticed.
        xcb_change_window_attributes(c, id, XCB_CW_EVENT_MASK, &kWatchedEvents);
    }
    WindowCookies k{};
    if (!entry->second.place) {
        // A client inside a frame is placed by its frame.
        k.position = xcb_translate_coordinates(c, id, connection_.root(), 0, 0);
        k.geometry = xcb_get_geometry(c, id);
    }
    if (!managed)
        k.attributes = xcb_get_window_attributes(c, id);
    const std::pair<xcb_atom_t, std::uint32_t> wanted[] = {
        {atoms._NET_WM_NAME, kMaxTitleItems}, {atoms._NET_WM_PID, 1},
        {XCB_ATOM_WM_CLASS, kMaxClassItems},  {atoms._NET_WM_WINDOW_TYPE, kMaxAtomItems},
        {atoms._NET_WM_STATE, kMaxAtomItems}, {atoms.WM_STATE, 2},
        {atoms._NET_WM_DESKTOP, 1},
    };
    for (const auto& [atom, maxItems] : wanted) {
        if (!entry->second.property(atom))
            k.properties.emplace_back(atom, X11Property::request(c, id, atom, maxItems));
    }
    return k;
}

std::optional<ClientWindow> X11WindowList::readWindow(xcb_window_t id, const WindowCookies& k,
                                                      std::optional<std::uint32_t> currentDesktop) {
    xcb_connection_t* c = connection_.get();
    const Atoms& atoms = connection_.atoms();
    Reply<xcb_get_window_attributes_reply_t> attributes;
    if (k.attributes)
        attributes.reset(xcb_get_window_attributes_reply(c, *k.attributes, nullptr));
    Reply<xcb_get_geometry_reply_t> geometry;
    if (k.geometry)
        geometry.reset(xcb_get_geometry_reply(c, *k.geometry, nullptr));
    Reply<xcb_translate_coordinates_reply_t> position;
    if (k.position)
        position.reset(xcb_translate_coordinates_reply(c, *k.position, nullptr));
    CachedWindow& cached = cache_[id];
    for (const auto& [atom, cookie] : k.properties)
        cached.properties.insert_or_assign(atom, X11Property::read(c, cookie));
    if ((k.geometry && !geometry) || (k.attributes && !attributes)) {
        cache_.erase(id);
        return std::nullopt;  // gone since the list was read
    }
    if (geometry) {
        cached.place =
            Place{position ? position->dst_x : geometry->x,
                  position ? position->dst_y : geometry->y, geometry->width, geometry->height};
    }
    const auto& property = [&](xcb_atom_t atom) -> const std::optional<X11Property>& {
        static const std::optional<X11Property> none;
        const auto* p = cached.property(atom);
        return p != nullptr ? *p : none;
    };

    ClientWindow w;
    w.id = id;
    readState(property(atoms._NET_WM_STATE), property(atoms.WM_STATE), atoms, w);
    if (attributes) {
        // Without a window manager the root's children are all sorts of windows: only
        // the ones a user can see or has iconified are clients. Nobody keeps their
        // WM_STATE up to date, so a window that is mapped is not iconic.
        w.viewable = attributes->map_state == XCB_MAP_STATE_VIEWABLE;
        if (attributes->override_redirect != 0 || !(w.viewable || w.hidden))
            return std::nullopt;
        w.hidden = w.hidden && !w.viewable;
    } else {
        w.viewable = !w.hidden;
    }
    if (const auto& name = property(atoms._NET_WM_NAME))
        w.title = decodeTextProperty(name->type(), name->format(), name->bytes(), atoms, decoder_);
    if (const auto& pid = property(atoms._NET_WM_PID)) {
        if (const auto value = pid->firstCardinal(XCB_ATOM_CARDINAL))
            w.pid = pidFrom(*value);
    }
    if (!w.pid && cached.serverPid)
        w.pid = *cached.serverPid;
    readClass(property(XCB_ATOM_WM_CLASS), w);
    w.role = roleFrom(property(atoms._NET_WM_WINDOW_TYPE), atoms);
    w.hasGeometry = true;
    w.x = cached.place->x;
    w.y = cached.place->y;
    w.width = cached.place->width;
    w.height = cached.place->height;
    const auto& desktop = property(atoms._NET_WM_DESKTOP);
    if (desktop && currentDesktop) {
        const auto onDesktop = desktop->firstCardinal(XCB_ATOM_CARDINAL);
        w.onCurrentDesktop =
            !onDesktop || *onDesktop == kAllDesktops || *onDesktop == *currentDesktop;
    }
    return w;
}

// Few windows lack a UTF-8 title or a pid: their WM_NAME and their owner's pid (from the
// server, in one request for all) are asked for together, in one more round trip.
void X11WindowList::completeTitlesAndPids(std::vector<ClientWindow>& windows) {
    xcb_connection_t* c = connection_.get();
    const Atoms& atoms = connection_.atoms();
    std::vector<std::pair<std::size_t, xcb_get_property_cookie_t>> names;
    std::vector<xcb_res_client_id_spec_t> specs;
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const CachedWindow& cached = cache_[windows[i].id];
        if (!windows[i].title && !cached.property(XCB_ATOM_WM_NAME)) {
            names.emplace_back(
                i, X11Property::request(c, windows[i].id, XCB_ATOM_WM_NAME, kMaxTitleItems));
        }
        if (!windows[i].pid && !cached.serverPid && hasXRes_)
            specs.push_back({windows[i].id, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID});
    }
    std::optional<xcb_res_query_client_ids_cookie_t> pids;
    if (!specs.empty())
        pids = xcb_res_query_client_ids(c, static_cast<std::uint32_t>(specs.size()), specs.data());
    if (!names.empty() || pids)
        ++roundTrips_;
    for (const auto& [index, cookie] : names)
        cache_[windows[index].id].properties.insert_or_assign(XCB_ATOM_WM_NAME,
                                                              X11Property::read(c, cookie));
    if (pids)
        applyClientPids(*pids, windows);
    for (ClientWindow& w : windows) {
        const auto* name = cache_[w.id].property(XCB_ATOM_WM_NAME);
        if (!w.title && name != nullptr && *name) {
            w.title = decodeTextProperty((*name)->type(), (*name)->format(), (*name)->bytes(),
                                         atoms, decoder_);
        }
    }
}

void X11WindowList::applyClientPids(xcb_res_query_client_ids_cookie_t cookie,
                                    std::vector<ClientWindow>& windows) {
    xcb_connection_t* c = connection_.get();
    Reply<xcb_res_query_client_ids_reply_t> reply(
        xcb_res_query_client_ids_reply(c, cookie, nullptr));
    if (!reply)
        return;
    // The server names each owner by its resource base, which every id it made shares.
    const std::uint32_t idMask = xcb_get_setup(c)->resource_id_mask;
    std::map<std::uint32_t, std::int32_t> pidByBase;
    for (auto it = xcb_res_query_client_ids_ids_iterator(reply.get()); it.rem > 0;
         xcb_res_client_id_value_next(&it)) {
        // Which client the value is about, and what kind of value it is.
        const auto& [owner, ownerValueLength] = *it.data;
        if ((owner.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) == 0 ||
            xcb_res_client_id_value_value_length(it.data) < 1) {
            continue;
        }
        if (const auto pid = pidFrom(*xcb_res_client_id_value_value(it.data)))
            pidByBase[owner.client & ~idMask] = *pid;
    }
    for (ClientWindow& w : windows) {
        if (w.pid)
            continue;
        const auto found = pidByBase.find(w.id & ~idMask);
        std::optional<std::int32_t> pid;
        if (found != pidByBase.end())
            pid = found->second;
        cache_[w.id].serverPid = pid;
        w.pid = pid;
    }
}

}  // namespace tavrel::x11
