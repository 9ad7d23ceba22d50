#pragma once
#include <xcb/xcb.h>

namespace tavrel::qt {

// Qt's own connection to the X server, shared with Qt: null off X11.
xcb_connection_t* qtXcbConnection();
// The screen the display name chose (DISPLAY=:0.1 is screen 1), null if it has none.
xcb_screen_t* defaultXcbScreen(xcb_connection_t* connection);
// The number of that screen.
int defaultXcbScreenNumber();

}  // namespace tavrel::qt
