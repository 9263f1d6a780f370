// The one Qt toolkit (and application object) of a test program, on Qt's
// offscreen platform, and user input delivered the way the platform would.
#pragma once

#include <QtCore/QPoint>
#include <QtCore/Qt>

#include <ostream>

#include "platform/qt/qt_toolkit.h"
#include "support/geometry.h"

class QWidget;
class QWindow;

namespace quorvex::test {

// Created on first use, so listing the tests needs no display.
QtToolkit& qtToolkit();

// Runs the message loop for `ms` milliseconds, then deletes what was unloaded.
void runEventLoop(int ms);

// Mouse input through the window, as the platform delivers it: the widget
// under the point receives it and keeps it until the button is released.
// Points are relative to `widget`.
void pressAt(QWidget* widget, QPoint at, Qt::MouseButton button = Qt::LeftButton);
void moveTo(QWidget* widget, QPoint at);
void releaseAt(QWidget* widget, QPoint at, Qt::MouseButton button = Qt::LeftButton);
void clickAt(QWidget* widget, QPoint at);

// A key pressed and released on a window, as the platform delivers it. The
// release goes only to a window the press left standing (Qt 5's own click
// would send it to a deleted one).
void clickKey(QWindow* window, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

// A widget's rectangle relative to its top-level window.
Rect rectInWindow(const QWidget* widget);

}  // namespace quorvex::test

// Readable points in test failures.
inline void PrintTo(const QPoint& point, std::ostream* out) { *out << "(" << point.x() << ", " << point.y() << ")"; }
