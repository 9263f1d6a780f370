#include "platform/qt/surface_drag.h"

#include <QtGui/QMouseEvent>
#include <QtGui/QWindow>
#include <QtWidgets/QWidget>

#include "platform/qt/qt_compat.h"

namespace quorvex {

void SurfaceDrag::pressed(const QMouseEvent& event, const QWidget& window) {
    if (event.button() != Qt::LeftButton) return;
    leftPressedHere_ = true;
    pressOffset_ = qt_compat::globalPoint(event) - window.pos();
}

void SurfaceDrag::moved(const QMouseEvent& event) { lastGlobal_ = qt_compat::globalPoint(event); }

void SurfaceDrag::released(const QMouseEvent& event) {
    if (event.button() != Qt::LeftButton) return;
    leftPressedHere_ = false;
    manualDrag_ = false;
}

void SurfaceDrag::dragByTitleBar(QWidget& window) {
    if (manualDrag_) {
        window.move(lastGlobal_ - pressOffset_);
        return;
    }
    // Only a press on the surface itself starts a drag.
    if (!leftPressedHere_) return;
    // The window manager moves the window and keeps the mouse until the release,
    // which this surface may never see: a new drag needs a new press.
    if (window.windowHandle() && window.windowHandle()->startSystemMove()) {
        leftPressedHere_ = false;
        return;
    }
    // No window manager to ask (bare X server, offscreen): follow the mouse
    // ourselves on each move until the button is released.
    manualDrag_ = true;
    window.move(lastGlobal_ - pressOffset_);
}

}  // namespace quorvex
