#include "ui/form1.h"

#include "monitor/monitor.h"
#include "remedy/cleanup.h"
#include "ui/form1_layout.h"

namespace quorvex {

using namespace form1;

Form1::Form1(Toolkit& toolkit, const ProcessTable& processes, CommandStarter& commands,
             FileSystem& files)
    : toolkit_(toolkit),
      processes_(processes),
      commands_(commands),
      files_(files),
      window_(toolkit.create(kWindow, *this)) {}

void Form1::Form_Load() {
    window_->hide();
    splash_ = std::make_unique<FrmSplash>(toolkit_);
    splash_->window().show();
}

void Form1::Form_MouseMove(int buttons) {
    if (buttons != kLeftButton) return;
    DragForm(*window_);
    toolkit_.processPendingEvents();
}

void Form1::DragForm(Window& window) {
    window.dragByTitleBar();
}

void Form1::click(ControlId control) {
    if (control == Command1) Command1_Click();
    if (control == Command2) Command2_Click();
}

void Form1::Command1_Click() {
    const CleanupOutcome outcome = cleanUp(window_->caption(Label2), files_);
    window_->setCaption(Label2, outcomeText(outcome));
    window_->setEnabled(Command1, false);
}

void Form1::Command2_Click() {
    window_->hide();
}

void Form1::timer(ControlId control) {
    if (const WatchEntry* entry = watchEntryForTimer(kControls[control].name))
        PollTimer_Timer(*entry);
}

void Form1::PollTimer_Timer(const WatchEntry& entry) {
    const auto detection = pollTick(entry, processes_, commands_);
    if (!detection) return;
    if (detection->lastPath) window_->setCaption(Label2, *detection->lastPath);
    window_->setEnabled(Command1, true);
    window_->show();
    window_->setCaption(Label1, entry.alertText);
}

}  // namespace quorvex
