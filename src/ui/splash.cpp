#include "ui/splash.h"

#include "ui/splash_layout.h"

namespace quorvex {

FrmSplash::FrmSplash(Toolkit& toolkit) : window_(toolkit.create(splash::kWindow, *this)) {}

void FrmSplash::click(ControlId control) {
    if (control == splash::Frame1) Frame1_Click();
}

}  // namespace quorvex
