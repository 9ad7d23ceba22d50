#include "platform/qt/QtX11.h"

#include <QGuiApplication>

namespace tavrel::qt {

xcb_connection_t* qtConnection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

int defaultScreenNumber() {
    char* host = nullptr;
    int display = 0;
    int screen = 0;
    const bool parsed = xcb_parse_display(nullptr, &host, &display, &screen) != 0;
    std::free(host);
    return parsed ? screen : 0;
}

xcb_window_t rootOf(xcb_connection_t* connection, int screenNumber) {
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; it.rem > 0; xcb_screen_next(&it), ++i) {
        if (i == screenNumber)
            return it.data->root;
    }
    return XCB_NONE;
}

xcb_atom_t internAtom(xcb_connection_t* connection, const std::string& name) {
    XReply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(
            connection,
            xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.data()),
            nullptr),
        &std::free);
    return reply ? reply->atom : XCB_NONE;
}

xcb_window_t selectionOwner(xcb_connection_t* connection, xcb_atom_t selection) {
    if (!connection || selection == XCB_NONE)
        return XCB_NONE;
    XReply<xcb_get_selection_owner_reply_t> reply(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection),
                                      nullptr),
        &std::free);
    return reply ? reply->owner : XCB_NONE;
}

}  // namespace tavrel::qt
