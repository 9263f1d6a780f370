// Window manager hints Qt has no flag for, written straight to the X server.
// Each call does nothing unless the windows live on X11 (the xcb platform).
#pragma once

#include <QtGui/qwindowdefs.h>

namespace quorvex::x11 {

bool available();

// No taskbar or pager entry. Window managers drop this on unmap: write it
// again while the window is unmapped, before every show.
void skipTaskbar(WId window);

// A thin border, no title bar, movable but not resizable.
void thinBorderWithoutTitle(WId window);

}  // namespace quorvex::x11
