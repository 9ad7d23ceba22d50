#pragma once
#include <xcb/xcb.h>

#include "platform/Image.h"

namespace tavrel::x11 {

class X11Connection;

// The icon an old-style client names in its WM_HINTS (icon_pixmap, and icon_mask where set), as
// xcalc and xclock do and nothing else. Every id and size in the hints is the client's word:
// the pixmap must be a pixmap, both are read with checked requests, and sizes are bounded.
// Null when the hints name no icon or any answer is off.
Image readHintsIcon(X11Connection& connection, xcb_window_t window);

}  // namespace tavrel::x11
