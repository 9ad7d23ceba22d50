#include "platform/qt/CompositorWatch.h"

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <QGuiApplication>
#include <cstdlib>
#include <memory>
#include <string>

namespace tavrel::qt {

namespace {
xcb_connection_t* qtConnection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

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
    ReplyPtr<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(
            connection,
            xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.data()),
            nullptr),
        &std::free);
    return reply ? reply->atom : XCB_NONE;
}
}  // namespace

CompositorWatch::CompositorWatch() {
    if (watch())
        QCoreApplication::instance()->installNativeEventFilter(this);
}

CompositorWatch::~CompositorWatch() {
    if (selectionNotify_ && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool CompositorWatch::watch() {
    xcb_connection_t* connection = qtConnection();
    if (!connection)
        return false;
    connection_ = connection;
    const int screen = defaultScreenNumber();
    const xcb_window_t root = rootOf(connection, screen);
    selection_ = internAtom(connection, "_NET_WM_CM_S" + std::to_string(screen));
    const xcb_query_extension_reply_t* xfixes = xcb_get_extension_data(connection, &xcb_xfixes_id);
    if (root != XCB_NONE && selection_ != XCB_NONE && xfixes && xfixes->present) {
        free(xcb_xfixes_query_version_reply(connection, xcb_xfixes_query_version(connection, 5, 0),
                                            nullptr));
        xcb_xfixes_select_selection_input(
            connection, root, selection_,
            XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
        xcb_flush(connection);
        selectionNotify_ = xfixes->first_event + XCB_XFIXES_SELECTION_NOTIFY;
    }
    active_ = ownerPresent();
    return selectionNotify_ != 0;
}

bool CompositorWatch::ownerPresent() {
    if (!connection_ || selection_ == XCB_NONE)
        return false;
    xcb_connection_t* connection = connection_;
    ReplyPtr<xcb_get_selection_owner_reply_t> reply(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection_),
                                      nullptr),
        &std::free);
    return reply && reply->owner != XCB_NONE;
}

bool CompositorWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t" || !message)
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != selectionNotify_)
        return false;
    const auto* notify = static_cast<const xcb_xfixes_selection_notify_event_t*>(message);
    if (notify->selection != selection_)
        return false;
    const bool nowActive = notify->owner != XCB_NONE;
    if (nowActive != active_) {
        active_ = nowActive;
        emit changed(active_);
    }
    return false;
}

}  // namespace tavrel::qt
