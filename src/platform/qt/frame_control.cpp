#include "platform/qt/frame_control.h"

#include <QtGui/QMouseEvent>

#include <utility>

#include "platform/qt/qt_compat.h"

namespace quorvex {

FrameControl::FrameControl(std::function<void()> clicked, QWidget* parent)
    : QFrame(parent), clicked_(std::move(clicked)) {
    setFrameShape(QFrame::Box);
    setFrameShadow(QFrame::Sunken);
}

void FrameControl::mousePressEvent(QMouseEvent* event) { pressed_ = event->button() == Qt::LeftButton; }

void FrameControl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !std::exchange(pressed_, false)) return;
    if (rect().contains(qt_compat::localPoint(*event))) clicked_();
}

}  // namespace quorvex
