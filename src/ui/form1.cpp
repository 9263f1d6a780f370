#include "ui/form1.h"

#include <utility>

#include "ui/form1_layout.h"

namespace quorvex {

using namespace form1;

Form1::Form1(Toolkit& toolkit, const ProcessTable& processes, Killer& killer, FileSystem& files)
    : toolkit_(toolkit),
      monitor_(processes, killer),
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

// Its failures are ignored: a drag that fails leaves the window where it is.
void Form1::DragForm(Window& window) {
    try {
        window.dragByTitleBar();
    } catch (...) {
    }
}

void Form1::click(ControlId control) {
    if (control == Command1) Command1_Click();
    if (control == Command2) Command2_Click();
}

void Form1::Command1_Click() {
    if (cleaning_) return;
    cleaning_ = ExecutableFile{window_->caption(Label2), label2File_};
    window_->setEnabled(Command1, false);
    fileWorker_.post([this, cleaned = *cleaning_] {
        const CleanupOutcome outcome = cleanUp(cleaned.path, cleaned.identity, files_);
        toolkit_.post([this, outcome] { CleanupFinished(outcome); });
    });
}

void Form1::CleanupFinished(CleanupOutcome outcome) {
    const ExecutableFile cleaned = *std::exchange(cleaning_, std::nullopt);
    // A worm detected meanwhile in another file holds Label2 now: its path
    // stays for the next cleanup, and Command1 comes back for it.
    if (label2HoldsAnotherWormThan(cleaned)) {
        window_->setEnabled(Command1, true);
        return;
    }
    window_->setCaption(Label2, outcomeText(outcome));
    label2File_.reset();
}

// A worm relaunched from the file being cleaned is that same file: the
// outcome still answers the click. So does a detection that could read no path.
bool Form1::label2HoldsAnotherWormThan(const ExecutableFile& cleaned) const {
    const std::string shown = window_->caption(Label2);
    if (shown.empty()) return false;
    return shown != cleaned.path || label2File_ != cleaned.identity;
}

void Form1::Command2_Click() {
    window_->hide();
}

void Form1::timer(ControlId control) {
    if (const WatchEntry* entry = watchEntryForTimer(kControls[control].name))
        PollTimer_Timer(*entry);
}

void Form1::PollTimer_Timer(const WatchEntry& entry) {
    const auto detection = monitor_.pollTick(entry);
    if (!detection) return;
    if (detection->lastExecutable) {
        window_->setCaption(Label2, detection->lastExecutable->path);
        label2File_ = detection->lastExecutable->identity;
    }
    // During a cleanup Command1 waits for its end, which decides.
    if (!cleaning_) window_->setEnabled(Command1, true);
    window_->show();
    window_->setCaption(Label1, detection->refused ? entry.refusedText : entry.alertText);
}

}  // namespace quorvex
