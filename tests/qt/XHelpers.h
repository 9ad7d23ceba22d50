#pragma once
#include <xcb/xcb.h>

#include <QImage>
#include <QRect>

namespace tavrel::qt::test {

xcb_connection_t* qtConnection();
// One round trip: everything sent before has been handled by the server.
void sync();
xcb_window_t inputFocus();
bool overrideRedirect(xcb_window_t window);
int depth(xcb_window_t window);
bool mapped(xcb_window_t window);
// In root coordinates.
QRect geometry(xcb_window_t window);
// The screen's pixels where the window is, as the server holds them now.
QImage grabScreen(xcb_window_t window);
// Whether the pointer can be over the window (its input shape is not empty).
bool takesPointer(xcb_window_t window);
// The mapped override-redirect top-level of this process, or none.
xcb_window_t shownPanel();
// A press and release of `button` at `position` in the window, as the server would deliver
// them.
void click(xcb_window_t window, QPoint position, std::uint8_t button = 1);

}  // namespace tavrel::qt::test
