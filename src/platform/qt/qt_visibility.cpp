// Showing, hiding and unloading a Qt window.
#include "platform/qt/qt_window.h"
#include "platform/qt/x11_properties.h"

namespace quorvex {

void QtWindow::applyWindowManagerHints() {
    if (!x11::available()) return;
    const WId window = form_->winId();
    if (!desc_.showInTaskbar) x11::skipTaskbar(window);
    if (desc_.border == Border::FixedDialog) x11::thinBorderWithoutTitle(window);
}

void QtWindow::show() {
    if (!isLoaded() || form_->isVisible()) return;
    // Written while unmapped: window managers read these when the window maps.
    applyWindowManagerHints();
    form_->show();
    // A window without focusable controls gets keys only once activated.
    form_->activateWindow();
}

void QtWindow::hide() {
    if (isLoaded()) form_->hide();
}

bool QtWindow::isVisible() const { return isLoaded() && form_->isVisible(); }

void QtWindow::unload() {
    if (isLoaded()) tearDown(true);
}

// Stops everything at once; the widget itself may only go once the event
// under way (perhaps its own timer's) has returned.
void QtWindow::tearDown(bool deleteLater) {
    loaded_ = false;
    if (timers_) timers_->stopAll();
    // The widgets these point to may be gone by the next call.
    controls_.clear();
    if (!form_) return;
    form_->detach();
    form_->hide();
    if (deleteLater)
        form_->deleteLater();
    else
        delete form_.data();
}

}  // namespace quorvex
