// The controls of one Qt window, built from its description as children of
// the window's widget: labels, buttons, pictures and frames as widgets,
// timers as QtTimers. Holds what they show: captions as the bytes given,
// enabled flags, and whether timers run.
#pragma once

#include <QtCore/QPointer>
#include <QtCore/QRect>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/qt/qt_timers.h"
#include "platform/toolkit.h"

class QWidget;

namespace quorvex {

class QtControls {
public:
    // Raises one of the window's events (a click, a timer's).
    using Raise = std::function<void(const std::function<void(WindowEvents&)>&)>;

    // Creates every control as a child of `form`, which owns them, puts the
    // tab stops in tab order and starts the running timers. Throws for a
    // control in something that is no frame, or a picture that is missing.
    QtControls(const WindowDesc& desc, QWidget& form, Raise raise);

    // The control's widget; null for a timer. Throws for an unknown id.
    QWidget* widget(ControlId id) const { return widgets_.at(id); }

    std::string caption(ControlId id) const { return captions_.at(id); }
    void setCaption(ControlId id, std::string_view text);
    bool isEnabled(ControlId id) const;
    void setEnabled(ControlId id, bool enabled);
    void stopTimers() { timers_->stopAll(); }

private:
    void create(ControlId id);
    QWidget* createWidget(ControlId id, QWidget* parent, QRect& geometry);
    QWidget* createPicture(const ControlDesc& control, QWidget* parent, QRect& geometry) const;
    QWidget* parentFor(const ControlDesc& control) const;
    const ControlDesc& controlDesc(ControlId id) const;
    void setTabOrder();
    void fitLabel(ControlId id);

    const WindowDesc& desc_;
    QWidget& form_;
    Raise raise_;
    std::vector<QWidget*> widgets_;      // owned by form_; null for timers
    QPointer<QtTimers> timers_;          // owned by form_
    std::vector<std::string> captions_;  // the bytes given, which the screen may not show exactly
};

}  // namespace quorvex
