#include "XHelpers.h"

#include <unistd.h>
#include <xcb/shape.h>

#include <QGuiApplication>
#include <cstdlib>
#include <memory>
#include <string_view>

namespace tavrel::qt::test {
namespace {
template <typename Reply>
std::unique_ptr<Reply, decltype(&std::free)> own(Reply* reply) {
    return {reply, &std::free};
}

xcb_window_t root() {
    return xcb_setup_roots_iterator(xcb_get_setup(qtConnection())).data->root;
}

std::uint32_t pidOf(xcb_window_t window) {
    xcb_connection_t* c = qtConnection();
    constexpr std::string_view kName = "_NET_WM_PID";
    auto atom =
        own(xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, kName.size(), kName.data()), nullptr));
    if (!atom)
        return 0;
    auto property = own(xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, atom->atom, XCB_ATOM_CARDINAL, 0, 1), nullptr));
    if (!property || xcb_get_property_value_length(property.get()) != 4)
        return 0;
    return *static_cast<const std::uint32_t*>(xcb_get_property_value(property.get()));
}
}  // namespace

xcb_connection_t* qtConnection() {
    return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}

void sync() {
    xcb_connection_t* c = qtConnection();
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

xcb_window_t inputFocus() {
    xcb_connection_t* c = qtConnection();
    auto reply = own(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    return reply ? reply->focus : XCB_NONE;
}

bool overrideRedirect(xcb_window_t window) {
    xcb_connection_t* c = qtConnection();
    auto reply =
        own(xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr));
    return reply && reply->override_redirect;
}

bool mapped(xcb_window_t window) {
    xcb_connection_t* c = qtConnection();
    auto reply =
        own(xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr));
    return reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
}

int depth(xcb_window_t window) {
    xcb_connection_t* c = qtConnection();
    auto reply = own(xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr));
    return reply ? reply->depth : 0;
}

QRect geometry(xcb_window_t window) {
    xcb_connection_t* c = qtConnection();
    auto reply = own(xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr));
    return reply ? QRect(reply->x, reply->y, reply->width, reply->height) : QRect();
}

QImage grabScreen(xcb_window_t window) {
    xcb_connection_t* c = qtConnection();
    const QRect area = geometry(window);
    if (area.isEmpty())
        return {};
    auto reply = own(xcb_get_image_reply(
        c,
        xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, root(), static_cast<std::int16_t>(area.x()),
                      static_cast<std::int16_t>(area.y()), static_cast<std::uint16_t>(area.width()),
                      static_cast<std::uint16_t>(area.height()), ~0u),
        nullptr));
    if (!reply || xcb_get_image_data_length(reply.get()) < area.width() * area.height() * 4)
        return {};
    return QImage(xcb_get_image_data(reply.get()), area.width(), area.height(), area.width() * 4,
                  QImage::Format_RGB32)
        .copy();
}

bool takesPointer(xcb_window_t window) {
    xcb_connection_t* c = qtConnection();
    auto reply = own(xcb_shape_get_rectangles_reply(
        c, xcb_shape_get_rectangles(c, window, XCB_SHAPE_SK_INPUT), nullptr));
    return reply && reply->rectangles_len > 0;
}

xcb_window_t shownPanel() {
    xcb_connection_t* c = qtConnection();
    auto tree = own(xcb_query_tree_reply(c, xcb_query_tree(c, root()), nullptr));
    if (!tree)
        return XCB_NONE;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        if (overrideRedirect(children[i]) && mapped(children[i]) &&
            pidOf(children[i]) == static_cast<std::uint32_t>(getpid()))
            return children[i];
    }
    return XCB_NONE;
}

void click(xcb_window_t window, QPoint position, std::uint8_t button) {
    xcb_connection_t* c = qtConnection();
    for (const std::uint8_t type : {XCB_BUTTON_PRESS, XCB_BUTTON_RELEASE}) {
        xcb_button_press_event_t event{};
        event.response_type = type;
        event.detail = button;
        event.root = root();
        event.event = window;
        event.event_x = static_cast<std::int16_t>(position.x());
        event.event_y = static_cast<std::int16_t>(position.y());
        event.same_screen = 1;
        xcb_send_event(
            c, 0, window,
            type == XCB_BUTTON_PRESS ? XCB_EVENT_MASK_BUTTON_PRESS : XCB_EVENT_MASK_BUTTON_RELEASE,
            reinterpret_cast<const char*>(&event));
    }
    xcb_flush(c);
}

}  // namespace tavrel::qt::test
