#include "XServer.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

namespace tavrel::x11::test {
namespace {

struct Free {
    void operator()(void* p) const { std::free(p); }
};

// Reads the display number Xvfb writes once it accepts connections.
std::string readDisplayNumber(int fd) {
    std::string number;
    pollfd p{fd, POLLIN, 0};
    char c = 0;
    while (poll(&p, 1, 10000) > 0 && read(fd, &c, 1) == 1 && c != '\n')
        number += c;
    return number;
}

}  // namespace

XServer::XServer(const std::string& screen) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return;
    server_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(pipeFds[1]), "-screen", "0",
                                 screen, "-nolisten", "tcp", "-noreset"},
        "", pipeFds[1]);
    close(pipeFds[1]);
    const std::string number = readDisplayNumber(pipeFds[0]);
    close(pipeFds[0]);
    if (number.empty())
        return;
    display_ = ":" + number;
    xcb_connection_t* c = xcb_connect(display_.c_str(), nullptr);
    if (xcb_connection_has_error(c) != 0) {
        xcb_disconnect(c);
        return;
    }
    connection_ = c;
    root_ = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root_, XCB_CW_EVENT_MASK, &mask);
    sync();
}

XServer::~XServer() {
    stopWindowManager();
    if (connection_ != nullptr)
        xcb_disconnect(connection_);
    server_.reset();
}

void XServer::stop() {
    stopWindowManager();
    server_.reset();
}

bool XServer::startWindowManager(const std::vector<std::string>& command) {
    windowManager_ = std::make_unique<ChildProcess>(command, display_);
    if (!waitUntil([this] { return windowManagerRuns(); }))
        return false;
    // A window manager announces itself before its event loop runs, and map requests that
    // come in between can be lost: it is ready once it has managed a probe window.
    const xcb_window_t probe = xcb_generate_id(connection_);
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, probe, root_, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    bool managed = false;
    for (int attempt = 0; attempt < 40 && !managed; ++attempt) {
        xcb_map_window(connection_, probe);
        managed = waitUntil([&] { return clientListHolds(probe); }, 250);
        if (!managed)
            xcb_unmap_window(connection_, probe);
    }
    xcb_destroy_window(connection_, probe);
    sync();
    return managed;
}

bool XServer::clientListHolds(xcb_window_t window) {
    std::unique_ptr<xcb_get_property_reply_t, Free> reply(xcb_get_property_reply(
        connection_,
        xcb_get_property(connection_, 0, root_, atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW, 0, 4096),
        nullptr));
    if (!reply)
        return false;
    const auto* windows = static_cast<const xcb_window_t*>(xcb_get_property_value(reply.get()));
    const int count = xcb_get_property_value_length(reply.get()) / 4;
    return std::find(windows, windows + count, window) != windows + count;
}

void XServer::stopWindowManager() {
    windowManager_.reset();
}

xcb_atom_t XServer::atom(const std::string& name) {
    std::unique_ptr<xcb_intern_atom_reply_t, Free> reply(xcb_intern_atom_reply(
        connection_,
        xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(name.size()), name.c_str()),
        nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

void XServer::sync() {
    std::unique_ptr<xcb_get_input_focus_reply_t, Free> reply(
        xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

bool XServer::windowManagerRuns() {
    const xcb_atom_t check = atom("_NET_SUPPORTING_WM_CHECK");
    auto read = [&](xcb_window_t w) -> xcb_window_t {
        std::unique_ptr<xcb_get_property_reply_t, Free> reply(xcb_get_property_reply(
            connection_, xcb_get_property(connection_, 0, w, check, XCB_ATOM_WINDOW, 0, 1),
            nullptr));
        if (!reply || xcb_get_property_value_length(reply.get()) < 4)
            return XCB_WINDOW_NONE;
        return *static_cast<xcb_window_t*>(xcb_get_property_value(reply.get()));
    };
    const xcb_window_t w = read(root_);
    return w != XCB_WINDOW_NONE && read(w) == w;
}

bool XServer::waitUntil(const std::function<bool()>& done, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        while (std::unique_ptr<xcb_generic_event_t, Free> e{xcb_poll_for_event(connection_)}) {
        }
        if (done())
            return true;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || xcb_connection_has_error(connection_) != 0)
            return false;
        pollfd fd{xcb_get_file_descriptor(connection_), POLLIN, 0};
        poll(&fd, 1, static_cast<int>(left.count()));
    }
}

}  // namespace tavrel::x11::test
