#include "platform/headless/headless_window.h"

#include "platform/headless/headless_toolkit.h"

namespace quorvex {

HeadlessWindow::HeadlessWindow(HeadlessToolkit& toolkit, const WindowDesc& desc, WindowEvents& events)
    : toolkit_(toolkit), desc_(desc), events_(events) {
    for (const ControlDesc& control : desc.controls) {
        const bool timer = control.kind == ControlKind::Timer;
        controls_.push_back({.caption = std::string(control.text),
                             .enabled = timer ? control.running : control.enabled,
                             .nextDue = toolkit.now() + control.intervalMs});
    }
    if (desc.centred) position_ = centred();
    dragTarget_ = position_;
}

Point HeadlessWindow::centred() const {
    return {(HeadlessToolkit::kScreenWidth - twipsToPixels(desc_.clientWidth)) / 2,
            (HeadlessToolkit::kScreenHeight - twipsToPixels(desc_.clientHeight)) / 2};
}

bool HeadlessWindow::liesOnTheScreen() const {
    const Rect client = clientRect();
    return client.x >= 0 && client.y >= 0 && client.x + client.width <= HeadlessToolkit::kScreenWidth &&
           client.y + client.height <= HeadlessToolkit::kScreenHeight;
}

HeadlessWindow::~HeadlessWindow() { toolkit_.forget(this); }

void HeadlessWindow::show() {
    if (!loaded_) return;
    if (!liesOnTheScreen()) position_ = centred();
    visible_ = true;
}

void HeadlessWindow::hide() { visible_ = false; }

void HeadlessWindow::unload() {
    if (!loaded_) return;
    loaded_ = false;
    visible_ = false;
}

void HeadlessWindow::setCaption(ControlId id, std::string_view text) {
    if (loaded_) controls_.at(id).caption = text;
}

void HeadlessWindow::setEnabled(ControlId id, bool enabled) {
    if (!loaded_) return;
    ControlState& control = controls_.at(id);
    if (enabled && !control.enabled) control.nextDue = toolkit_.now() + desc_.controls[id].intervalMs;
    control.enabled = enabled;
}

void HeadlessWindow::dragByTitleBar() {
    if (!isVisible()) return;
    ++dragCount_;
    position_ = dragTarget_;
}

void HeadlessWindow::click(ControlId id) {
    const ControlDesc& control = desc_.controls[id];
    const bool clickable = control.kind == ControlKind::Button || control.kind == ControlKind::Frame;
    if (!isVisible() || !clickable || !controls_.at(id).enabled) return;
    toolkit_.dispatch([&] { events_.click(id); });
}

void HeadlessWindow::pressKey(int charCode) {
    if (!isVisible()) return;
    const std::optional<ControlId> focus = focusedControl();
    if (desc_.keyPreview || !focus) toolkit_.dispatch([&] { events_.keyPress(charCode); });
    if (focus && charCode == ' ') click(*focus);
}

void HeadlessWindow::moveMouse(int buttons) {
    if (isVisible()) toolkit_.dispatch([&] { events_.mouseMove(buttons); });
}

void HeadlessWindow::clickAt(Point at) {
    if (const std::optional<ControlId> control = controlAt(at)) click(*control);
}

void HeadlessWindow::moveMouseAt(Point at, int buttons) {
    if (!controlAt(at)) moveMouse(buttons);
}

std::optional<ControlId> HeadlessWindow::controlAt(Point at) const {
    std::optional<ControlId> found;
    for (ControlId id = 0; id < desc_.controls.size(); ++id) {
        const Rect box = controlRect(id);
        const bool inside = at.x >= box.x && at.x < box.x + box.width && at.y >= box.y && at.y < box.y + box.height;
        if (inside && desc_.controls[id].kind != ControlKind::Timer &&
            (!found || desc_.controls[*found].kind == ControlKind::Frame))
            found = id;
    }
    return found;
}

std::optional<ControlId> HeadlessWindow::focusedControl() const {
    std::optional<ControlId> focus;
    for (ControlId id = 0; id < desc_.controls.size(); ++id) {
        const ControlDesc& control = desc_.controls[id];
        const bool tabStop = control.kind == ControlKind::Button && control.tabIndex >= 0 && controls_[id].enabled;
        if (tabStop && (!focus || control.tabIndex < desc_.controls[*focus].tabIndex)) focus = id;
    }
    return focus;
}

Rect HeadlessWindow::clientRect() const {
    return {position_.x, position_.y, twipsToPixels(desc_.clientWidth), twipsToPixels(desc_.clientHeight)};
}

Rect HeadlessWindow::controlRect(ControlId id) const { return twipsToPixels(boxInWindow(desc_.controls, id)); }

}  // namespace quorvex
