// Form1, the main window: holds the poll timers and the alert controls,
// and applies what the monitor and the cleanup decide.
#pragma once

#include <memory>
#include <optional>

#include "monitor/monitor.h"
#include "monitor/watch_list.h"
#include "platform/files.h"
#include "platform/killer.h"
#include "platform/process_table.h"
#include "platform/toolkit.h"
#include "remedy/cleanup.h"
#include "support/serial_worker.h"
#include "ui/splash.h"

namespace quorvex {

class Form1 final : public WindowEvents {
public:
    Form1(Toolkit& toolkit, const ProcessTable& processes, Killer& killer, FileSystem& files);

    Window& window() { return *window_; }
    // The splash window once the load step has created it.
    FrmSplash* splash() { return splash_.get(); }

    void load() override { Form_Load(); }
    void mouseMove(int buttons) override { Form_MouseMove(buttons); }
    void click(ControlId control) override;
    void timer(ControlId control) override;

private:
    void Form_Load();
    void Form_MouseMove(int buttons);
    void Command1_Click();
    void CleanupFinished(CleanupOutcome outcome);
    bool label2HoldsAnotherWormThan(const ExecutableFile& cleaned) const;
    void Command2_Click();
    // Timer1_Timer to Timer9_Timer: one handler, told apart by their watch entry.
    void PollTimer_Timer(const WatchEntry& entry);
    void DragForm(Window& window);

    Toolkit& toolkit_;
    Monitor monitor_;
    FileSystem& files_;
    std::unique_ptr<Window> window_;
    std::unique_ptr<FrmSplash> splash_;
    // Which file the path in Label2 stood for when it was read.
    std::optional<FileIdentity> label2File_;
    // The path and file of the cleanup under way.
    std::optional<ExecutableFile> cleaning_;
    // The cleanup's file steps run here: a file system that stops answering
    // (a failing stick, a dead share) must not stop the poll timers.
    SerialWorker fileWorker_;
};

}  // namespace quorvex
