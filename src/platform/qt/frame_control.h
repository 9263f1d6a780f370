// A frame: a sunken box around other controls. It raises its click for a
// press and release of the left button on its own surface; the controls
// inside it keep their presses to themselves.
#pragma once

#include <QtWidgets/QFrame>

#include <functional>

namespace quorvex {

class FrameControl final : public QFrame {
public:
    FrameControl(std::function<void()> clicked, QWidget* parent);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    std::function<void()> clicked_;
    bool pressed_ = false;
};

}  // namespace quorvex
