#include "platform/qt/QtXcb.h"

#include <QGuiApplication>
#include <cstdlib>

namespace tavrel::qt {

xcb_connection_t* qtXcbConnection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

int defaultXcbScreenNumber() {
    char* host = nullptr;
    int display = 0;
    int screen = 0;
    const bool parsed = xcb_parse_display(nullptr, &host, &display, &screen) != 0;
    std::free(host);
    return parsed ? screen : 0;
}

xcb_screen_t* defaultXcbScreen(xcb_connection_t* connection) {
    const int number = defaultXcbScreenNumber();
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; it.rem > 0; xcb_screen_next(&it), ++i) {
        if (i == number)
            return it.data;
    }
    return nullptr;
}

}  // namespace tavrel::qt
