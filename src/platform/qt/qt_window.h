// One window of the Qt toolkit: a top-level widget built from its stored
// description, its controls as child widgets, its timers as QtTimers.
#pragma once

#include <QtCore/QPointer>
#include <QtWidgets/QWidget>

#include <functional>
#include <vector>

#include "platform/qt/form_widget.h"
#include "platform/qt/qt_timers.h"
#include "platform/toolkit.h"
#include "support/event_dispatch.h"

namespace quorvex {

class QtWindow final : public Window {
public:
    QtWindow(const WindowDesc& desc, WindowEvents& events, EventDispatch& dispatch);
    ~QtWindow() override;

    void show() override;
    void hide() override;
    void unload() override;
    bool isVisible() const override;
    bool isLoaded() const override { return loaded_ && form_; }
    std::string caption(ControlId) const override;
    void setCaption(ControlId, std::string_view text) override;
    bool isEnabled(ControlId) const override;
    void setEnabled(ControlId, bool) override;
    void dragByTitleBar() override;

    // Raises an event through the toolkit's dispatch, unless the window is unloaded.
    void raise(const std::function<void(WindowEvents&)>& event);
    bool keyPreview() const { return desc_.keyPreview; }

    QWidget* widget() const { return isLoaded() ? form_.data() : nullptr; }
    QWidget* control(ControlId id) const { return isLoaded() ? controls_.at(id) : nullptr; }

private:
    // qt_window.cpp and qt_controls.cpp: creation.
    void createControls();
    void createControl(ControlId id);
    QWidget* createWidget(ControlId id, QWidget* parent, QRect& geometry);
    QWidget* parentFor(const ControlDesc&) const;
    // qt_layout.cpp
    void setTabOrder();
    void centre();
    void fitLabel(ControlId id);
    // qt_control_state.cpp
    const ControlDesc& controlDesc(ControlId id) const;  // throws for an unknown id
    // qt_visibility.cpp
    void applyWindowManagerHints();
    void tearDown(bool deleteLater);

    const WindowDesc& desc_;
    WindowEvents& events_;
    EventDispatch& dispatch_;
    QPointer<FormWidget> form_;
    std::vector<QWidget*> controls_;  // owned by form_; null for timers
    QPointer<QtTimers> timers_;       // owned by form_
    std::vector<std::string> captions_;  // the bytes given, which the screen may not show exactly
    bool loaded_ = true;
};

}  // namespace quorvex
