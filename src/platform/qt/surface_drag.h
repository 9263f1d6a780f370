// The move of a window by its surface, as if its title bar had been grabbed:
// the window manager's where there is one, else the window follows the mouse
// here, move by move, until the left button is released.
#pragma once

#include <QtCore/QPoint>

class QMouseEvent;
class QWidget;

namespace quorvex {

class SurfaceDrag {
public:
    // What the window's own surface hears of the mouse.
    void pressed(const QMouseEvent& event, const QWidget& window);
    void moved(const QMouseEvent& event);
    void released(const QMouseEvent& event);

    // Starts the move of `window`, or takes it one step further.
    void dragByTitleBar(QWidget& window);

private:
    bool leftPressedHere_ = false;
    bool manualDrag_ = false;
    QPoint pressOffset_;  // from the window's corner to the mouse, at the press
    QPoint lastGlobal_;   // the mouse, at the last move over the surface
};

}  // namespace quorvex
