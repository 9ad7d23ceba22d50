#include "platform/qt/CompositorWatch.h"

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <QCoreApplication>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/qt/QtXcb.h"
#include "platform/qt/QtXcbAtoms.h"

namespace tavrel::qt {

namespace {
template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

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
    xcb_connection_t* connection = qtXcbConnection();
    if (!connection)
        return false;
    connection_ = connection;
    const int screen = defaultXcbScreenNumber();
    const xcb_screen_t* screenData = defaultXcbScreen(connection);
    const xcb_window_t root = screenData ? screenData->root : xcb_window_t{XCB_NONE};
    selection_ = internXcbAtom(connection, "_NET_WM_CM_S" + std::to_string(screen));
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
