// One window of the Qt toolkit: a top-level widget built from its stored
// description, with its controls (QtControls) as child widgets.
#pragma once

#include <QtCore/QPointer>

#include <functional>
#include <optional>

#include "platform/qt/form_widget.h"
#include "platform/qt/qt_controls.h"
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
    bool isLoaded() const override { return controls_ && form_; }
    std::string caption(ControlId) const override;
    void setCaption(ControlId, std::string_view text) override;
    bool isEnabled(ControlId) const override;
    void setEnabled(ControlId, bool) override;
    void dragByTitleBar() override;

    // Raises an event through the toolkit's dispatch, unless the window is unloaded.
    void raise(const std::function<void(WindowEvents&)>& event);
    bool keyPreview() const { return desc_.keyPreview; }

    QWidget* widget() const { return isLoaded() ? form_.data() : nullptr; }
    QWidget* control(ControlId id) const { return isLoaded() ? controls_->widget(id) : nullptr; }

private:
    // Brings the window back into view, while it shows, when the screens
    // change under it: Qt may learn of a change only after a show has run.
    void followScreens();
    void applyWindowManagerHints();
    void tearDown(bool deleteLater);

    const WindowDesc& desc_;
    WindowEvents& events_;
    EventDispatch& dispatch_;
    QPointer<FormWidget> form_;
    std::optional<QtControls> controls_;  // none once unloaded
};

}  // namespace quorvex
