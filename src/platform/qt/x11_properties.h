// Window manager hints Qt has no flag for, written straight to the X server.
// Each call does nothing unless the windows live on X11 (the xcb platform).
#pragma once

#include <QtCore/QPoint>
#include <QtGui/qwindowdefs.h>

#include <optional>

namespace quorvex::x11 {

bool available();

// No taskbar or pager entry. Window managers drop this on unmap: write it
// again while the window is unmapped, before every show.
void skipTaskbar(WId window);

// A thin border, no title bar, movable but not resizable.
void thinBorderWithoutTitle(WId window);

// Where the window's corner lies on the screen, as the X server has it: Qt's
// own idea of a mapped window's place can miss what the window manager did.
// Nullopt off X, or when the server cannot say.
std::optional<QPoint> placeOnScreen(WId window);

}  // namespace quorvex::x11
