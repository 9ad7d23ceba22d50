#include "XHelpers.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <cstdlib>
#include <memory>

namespace tavrel::qt::test {
namespace {
template <typename Reply>
std::unique_ptr<Reply, decltype(&std::free)> own(Reply* reply) {
    return {reply, &std::free};
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

bool overrideRedirect(const QWidget& window) {
    xcb_connection_t* c = qtConnection();
    auto reply = own(xcb_get_window_attributes_reply(
        c, xcb_get_window_attributes(c, static_cast<xcb_window_t>(window.winId())), nullptr));
    return reply && reply->override_redirect;
}

int depth(const QWidget& window) {
    xcb_connection_t* c = qtConnection();
    auto reply = own(xcb_get_geometry_reply(
        c, xcb_get_geometry(c, static_cast<xcb_window_t>(window.winId())), nullptr));
    return reply ? reply->depth : 0;
}

QImage grabShown(QWidget& window) {
    if (!QTest::qWaitForWindowExposed(&window))
        return {};
    window.repaint();
    sync();
    QCoreApplication::processEvents();
    const QRect area = window.geometry();
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
        .toImage();
}

}  // namespace tavrel::qt::test
