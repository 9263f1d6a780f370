#include "platform/qt/qt_window.h"

#include <QtGui/QGuiApplication>
#include <QtGui/QIcon>
#include <QtGui/QScreen>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "platform/qt/qt_units.h"
#include "platform/qt/x11_properties.h"

namespace quorvex {

QtWindow::QtWindow(const WindowDesc& desc, WindowEvents& events, EventDispatch& dispatch)
    : desc_(desc), events_(events), dispatch_(dispatch) {
    const Qt::WindowFlags flags =
        (desc.showInTaskbar ? Qt::Window : Qt::Tool) | Qt::FramelessWindowHint;
    form_ = new FormWidget(*this, flags);
    form_->setObjectName(toQString(desc.name));
    form_->setWindowTitle(toQString(desc.title));
    if (!desc.icon.empty()) form_->setWindowIcon(QIcon(assetPath(desc.icon)));
    form_->setFixedSize(twipsToPixels(desc.clientWidth), twipsToPixels(desc.clientHeight));
    try {
        createControls();
    } catch (...) {
        tearDown(false);
        throw;
    }
    setTabOrder();
    if (desc.centred) centre();
    for (ControlId id = 0; id < desc.controls.size(); ++id)
        if (desc.controls[id].running) timers_->setRunning(id, true);
}

void QtWindow::createControls() {
    controls_.assign(desc_.controls.size(), nullptr);
    timers_ = new QtTimers(form_, desc_.controls.size(),
                           [this](ControlId id) { raise([id](WindowEvents& events) { events.timer(id); }); });
    for (const ControlDesc& control : desc_.controls) captions_.emplace_back(control.text);
    // Frames first: the controls inside them become their children.
    for (ControlId id = 0; id < desc_.controls.size(); ++id)
        if (desc_.controls[id].kind == ControlKind::Frame) createControl(id);
    for (ControlId id = 0; id < desc_.controls.size(); ++id)
        if (desc_.controls[id].kind != ControlKind::Frame) createControl(id);
}

void QtWindow::setTabOrder() {
    std::vector<ControlId> tabStops;
    for (ControlId id = 0; id < desc_.controls.size(); ++id)
        if (controls_[id] && desc_.controls[id].tabIndex >= 0 && controls_[id]->focusPolicy() != Qt::NoFocus)
            tabStops.push_back(id);
    std::ranges::sort(tabStops, {}, [&](ControlId id) { return desc_.controls[id].tabIndex; });
    for (std::size_t i = 1; i < tabStops.size(); ++i)
        QWidget::setTabOrder(controls_[tabStops[i - 1]], controls_[tabStops[i]]);
}

void QtWindow::centre() {
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect();
    form_->move(area.x() + (area.width() - form_->width()) / 2, area.y() + (area.height() - form_->height()) / 2);
}

QtWindow::~QtWindow() { tearDown(true); }

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

const ControlDesc& QtWindow::controlDesc(ControlId id) const {
    if (id >= desc_.controls.size())
        throw std::out_of_range("no control " + std::to_string(id) + " in " + std::string(desc_.name));
    return desc_.controls[id];
}

bool QtWindow::isVisible() const { return isLoaded() && form_->isVisible(); }

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

void QtWindow::dragByTitleBar() {
    if (isVisible()) form_->dragByTitleBar();
}

void QtWindow::raise(const std::function<void(WindowEvents&)>& event) {
    if (isLoaded()) dispatch_.run([&] { event(events_); });
}

}  // namespace quorvex
