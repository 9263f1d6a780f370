#include "platform/qt/form_widget.h"

#include <QtGui/QCloseEvent>
#include <QtGui/QKeyEvent>
#include <QtGui/QMouseEvent>

#include "platform/qt/key_codes.h"
#include "platform/qt/qt_window.h"

namespace quorvex {

namespace {

// The held buttons as the mouse-move event carries them: 1 left, 2 right, 4 middle.
int buttonSet(Qt::MouseButtons buttons) {
    return (buttons.testFlag(Qt::LeftButton) ? kLeftButton : 0) |
           (buttons.testFlag(Qt::RightButton) ? kRightButton : 0) |
           (buttons.testFlag(Qt::MiddleButton) ? kMiddleButton : 0);
}

}  // namespace

FormWidget::FormWidget(QtWindow& owner, Qt::WindowFlags flags) : QWidget(nullptr, flags), owner_(&owner) {
    setMouseTracking(true);  // moves without a button held are events too
}

void FormWidget::mousePressEvent(QMouseEvent* event) { drag_.pressed(*event, *this); }

void FormWidget::mouseMoveEvent(QMouseEvent* event) {
    drag_.moved(*event);
    if (owner_)
        owner_->raise([buttons = buttonSet(event->buttons())](WindowEvents& events) {
            events.mouseMove(buttons);
        });
}

void FormWidget::mouseReleaseEvent(QMouseEvent* event) { drag_.released(*event); }

void FormWidget::keyPressEvent(QKeyEvent* event) {
    // A key a control left unhandled comes up here; the window hears only its own
    // keys, and its controls' keys through key preview.
    const QWidget* focus = focusWidget();
    if (focus && focus != this) {
        event->ignore();
        return;
    }
    raiseKeyPress(*event);
}

// The user's close (Alt+F4, the window manager's close button) only hides:
// the window stays loaded and its timers keep running.
void FormWidget::closeEvent(QCloseEvent* event) {
    event->ignore();
    hide();
}

bool FormWidget::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && owner_ && owner_->keyPreview())
        raiseKeyPress(static_cast<const QKeyEvent&>(*event));
    return QWidget::eventFilter(watched, event);
}

void FormWidget::raiseKeyPress(const QKeyEvent& event) {
    const auto code = characterCode(event.key(), event.modifiers(), event.text());
    if (owner_ && code)
        owner_->raise([code = *code](WindowEvents& events) { events.keyPress(code); });
}

}  // namespace quorvex
