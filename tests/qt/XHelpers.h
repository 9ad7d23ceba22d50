#pragma once
#include <xcb/xcb.h>

#include <QImage>
#include <QWidget>

namespace tavrel::qt::test {

xcb_connection_t* qtConnection();
// One round trip: everything sent before has been handled by the server.
void sync();
xcb_window_t inputFocus();
bool overrideRedirect(const QWidget& window);
int depth(const QWidget& window);
// Waits until the window is mapped and painted, then grabs the screen around it.
QImage grabShown(QWidget& window);

}  // namespace tavrel::qt::test
