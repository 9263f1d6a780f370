// The splash window: unloads itself on a character key, a click on its
// frame, or its timer, whichever comes first.
#pragma once

#include <memory>

#include "platform/toolkit.h"

namespace quorvex {

class FrmSplash final : public WindowEvents {
public:
    explicit FrmSplash(Toolkit& toolkit);

    Window& window() { return *window_; }

    void keyPress(int) override { Form_KeyPress(); }
    void click(ControlId control) override;
    void timer(ControlId) override { Timer1_Timer(); }

private:
    void Form_KeyPress() { window_->unload(); }
    void Frame1_Click() { window_->unload(); }
    void Timer1_Timer() { window_->unload(); }

    std::unique_ptr<Window> window_;
};

}  // namespace quorvex
