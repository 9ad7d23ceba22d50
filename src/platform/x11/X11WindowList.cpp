#include "platform/x11/X11WindowList.h"

#include <xcb/res.h>

#include <algorithm>
#include <cstring>
#include <limits>

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

struct WindowCookies {
    xcb_get_window_attributes_cookie_t attributes;
    xcb_get_geometry_cookie_t geometry;
    xcb_translate_coordinates_cookie_t position;
    xcb_get_property_cookie_t netName, name, pid, wmClass, type, state, wmState, desktop;
};

WindowCookies requestWindow(xcb_connection_t* c, xcb_window_t root, const Atoms& atoms,
                            xcb_window_t w) {
    WindowCookies k{};
    k.attributes = xcb_get_window_attributes(c, w);
    k.geometry = xcb_get_geometry(c, w);
    k.position = xcb_translate_coordinates(c, w, root, 0, 0);
    k.netName = X11Property::request(c, w, atoms._NET_WM_NAME, kMaxTitleItems);
    k.name = X11Property::request(c, w, XCB_ATOM_WM_NAME, kMaxTitleItems);
    k.pid = X11Property::request(c, w, atoms._NET_WM_PID, 1);
    k.wmClass = X11Property::request(c, w, XCB_ATOM_WM_CLASS, kMaxClassItems);
    k.type = X11Property::request(c, w, atoms._NET_WM_WINDOW_TYPE, kMaxAtomItems);
    k.state = X11Property::request(c, w, atoms._NET_WM_STATE, kMaxAtomItems);
    k.wmState = X11Property::request(c, w, atoms.WM_STATE, 2);
    k.desktop = X11Property::request(c, w, atoms._NET_WM_DESKTOP, 1);
    return k;
}

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

std::optional<std::int32_t> pidFrom(std::uint32_t value) {
    if (value == 0 || value > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max()))
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

}  // namespace

struct X11WindowList::RootState {
    bool ok = false;
    std::optional<xcb_window_t> check;
    std::optional<std::vector<std::uint32_t>> stacking;
    std::optional<std::uint32_t> currentDesktop;
    std::vector<xcb_window_t> children;  // bottom to top
};

X11WindowList::X11WindowList(X11Connection& connection, const CompoundTextDecoder* decoder)
    : connection_(connection), decoder_(decoder) {
    const xcb_query_extension_reply_t* res = xcb_get_extension_data(connection_.get(), &xcb_res_id);
    hasXRes_ = res != nullptr && res->present != 0;
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
    ++roundTrips_;

    RootState state;
    if (auto p = X11Property::read(c, check))
        state.check = p->firstCardinal(XCB_ATOM_WINDOW);
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
    return state;
}

bool X11WindowList::checkWindowIsLive(xcb_window_t check) {
    xcb_connection_t* c = connection_.get();
    const Atoms& atoms = connection_.atoms();
    const auto cookie = X11Property::request(c, check, atoms._NET_SUPPORTING_WM_CHECK, 1);
    ++roundTrips_;
    const auto property = X11Property::read(c, cookie);
    return property && property->firstCardinal(XCB_ATOM_WINDOW) == check;
}

bool X11WindowList::windowManagerPresent() {
    xcb_connection_t* c = connection_.get();
    const auto cookie = X11Property::request(c, connection_.root(),
                                             connection_.atoms()._NET_SUPPORTING_WM_CHECK, 1);
    ++roundTrips_;
    const auto property = X11Property::read(c, cookie);
    const auto check = property ? property->firstCardinal(XCB_ATOM_WINDOW) : std::nullopt;
    return check && checkWindowIsLive(*check);
}

std::optional<WindowSnapshot> X11WindowList::snapshot() {
    RootState root = readRoot();
    if (!root.ok || connection_.broken())
        return std::nullopt;
    WindowSnapshot result;
    result.managed = root.check && root.stacking && checkWindowIsLive(*root.check);
    std::vector<xcb_window_t> ids;
    if (result.managed) {
        ids.assign(root.stacking->rbegin(), root.stacking->rend());
    } else {
        ids.assign(root.children.rbegin(), root.children.rend());
    }
    result.windows = describe(ids, root.currentDesktop, result.managed);
    fillMissingPids(result.windows);
    if (connection_.broken())
        return std::nullopt;
    last_ = result;
    return result;
}

std::optional<ClientWindow> X11WindowList::window(xcb_window_t id) {
    auto found = describe({id}, std::nullopt, windowManagerPresent());
    if (found.empty())
        return std::nullopt;
    return std::move(found.front());
}

std::vector<ClientWindow> X11WindowList::describe(const std::vector<xcb_window_t>& ids,
                                                  std::optional<std::uint32_t> currentDesktop,
                                                  bool managed) {
    xcb_connection_t* c = connection_.get();
    const Atoms& atoms = connection_.atoms();
    std::vector<WindowCookies> cookies;
    cookies.reserve(ids.size());
    for (const xcb_window_t id : ids)
        cookies.push_back(requestWindow(c, connection_.root(), atoms, id));
    ++roundTrips_;

    std::vector<ClientWindow> windows;
    windows.reserve(ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const WindowCookies& k = cookies[i];
        Reply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(c, k.attributes, nullptr));
        Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, k.geometry, nullptr));
        Reply<xcb_translate_coordinates_reply_t> position(
            xcb_translate_coordinates_reply(c, k.position, nullptr));
        const auto netName = X11Property::read(c, k.netName);
        const auto name = X11Property::read(c, k.name);
        const auto pid = X11Property::read(c, k.pid);
        const auto wmClass = X11Property::read(c, k.wmClass);
        const auto type = X11Property::read(c, k.type);
        const auto state = X11Property::read(c, k.state);
        const auto wmState = X11Property::read(c, k.wmState);
        const auto desktop = X11Property::read(c, k.desktop);
        if (!attributes)
            continue;  // gone since the list was read
        ClientWindow w;
        w.id = ids[i];
        w.viewable = attributes->map_state == XCB_MAP_STATE_VIEWABLE;
        readState(state, wmState, atoms, w);
        if (!managed) {
            // Without a window manager the root's children are all sorts of windows: only
            // the ones a user can see or has iconified are clients. Nobody keeps their
            // WM_STATE up to date, so a window that is mapped is not iconic.
            if (attributes->override_redirect != 0 || !(w.viewable || w.hidden))
                continue;
            w.hidden = w.hidden && !w.viewable;
        }
        if (netName)
            w.title = decodeTextProperty(netName->type(), netName->format(), netName->bytes(),
                                         atoms, decoder_);
        if (!w.title && name)
            w.title =
                decodeTextProperty(name->type(), name->format(), name->bytes(), atoms, decoder_);
        if (pid) {
            if (const auto value = pid->firstCardinal(XCB_ATOM_CARDINAL))
                w.pid = pidFrom(*value);
        }
        readClass(wmClass, w);
        w.role = roleFrom(type, atoms);
        if (geometry && position) {
            w.hasGeometry = true;
            w.x = position->dst_x;
            w.y = position->dst_y;
            w.width = geometry->width;
            w.height = geometry->height;
        }
        if (desktop && currentDesktop) {
            const auto onDesktop = desktop->firstCardinal(XCB_ATOM_CARDINAL);
            w.onCurrentDesktop =
                !onDesktop || *onDesktop == kAllDesktops || *onDesktop == *currentDesktop;
        }
        windows.push_back(std::move(w));
    }
    return windows;
}

void X11WindowList::fillMissingPids(std::vector<ClientWindow>& windows) {
    if (!hasXRes_)
        return;
    xcb_connection_t* c = connection_.get();
    std::vector<std::pair<std::size_t, xcb_res_query_client_ids_cookie_t>> cookies;
    for (std::size_t i = 0; i < windows.size(); ++i) {
        if (windows[i].pid)
            continue;
        xcb_res_client_id_spec_t spec{windows[i].id, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
        cookies.emplace_back(i, xcb_res_query_client_ids(c, 1, &spec));
    }
    if (cookies.empty())
        return;
    ++roundTrips_;
    for (const auto& [index, cookie] : cookies) {
        Reply<xcb_res_query_client_ids_reply_t> reply(
            xcb_res_query_client_ids_reply(c, cookie, nullptr));
        if (!reply)
            continue;
        for (auto it = xcb_res_query_client_ids_ids_iterator(reply.get()); it.rem > 0;
             xcb_res_client_id_value_next(&it)) {
            if ((it.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) == 0 ||
                xcb_res_client_id_value_value_length(it.data) < 1) {
                continue;
            }
            windows[index].pid = pidFrom(*xcb_res_client_id_value_value(it.data));
            break;
        }
    }
}

}  // namespace tavrel::x11
