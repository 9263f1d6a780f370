// What a Qt window's controls hold: captions as the bytes given, enabled
// flags, and whether timers run.
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>

#include <stdexcept>

#include "platform/qt/qt_units.h"
#include "platform/qt/qt_window.h"

namespace quorvex {

const ControlDesc& QtWindow::controlDesc(ControlId id) const {
    if (id >= desc_.controls.size())
        throw std::out_of_range("no control " + std::to_string(id) + " in " + std::string(desc_.name));
    return desc_.controls[id];
}

std::string QtWindow::caption(ControlId id) const {
    return isLoaded() ? captions_.at(id) : std::string();
}

void QtWindow::setCaption(ControlId id, std::string_view text) {
    if (!isLoaded()) return;
    const ControlKind kind = controlDesc(id).kind;
    captions_[id] = text;
    switch (kind) {
    case ControlKind::Label:
        static_cast<QLabel*>(controls_[id])->setText(toQString(text));
        if (desc_.controls[id].autoSize) fitLabel(id);
        break;
    case ControlKind::Button: static_cast<QPushButton*>(controls_[id])->setText(toQString(text)); break;
    default: break;
    }
}

bool QtWindow::isEnabled(ControlId id) const {
    if (!isLoaded()) return false;
    if (timers_->contains(id)) return timers_->isRunning(id);
    return controls_.at(id)->isEnabled();
}

void QtWindow::setEnabled(ControlId id, bool enabled) {
    if (!isLoaded()) return;
    if (timers_->contains(id)) return timers_->setRunning(id, enabled);
    controls_.at(id)->setEnabled(enabled);
}

}  // namespace quorvex
