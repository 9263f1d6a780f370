// A Qt window's creation from its description, and the events it raises.
#include "platform/qt/qt_window.h"

#include <QtGui/QIcon>

#include "platform/qt/qt_units.h"

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

QtWindow::~QtWindow() { tearDown(true); }

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

void QtWindow::raise(const std::function<void(WindowEvents&)>& event) {
    if (isLoaded()) dispatch_.run([&] { event(events_); });
}

}  // namespace quorvex
