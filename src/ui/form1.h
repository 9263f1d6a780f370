// Form1, the main window: holds the nine poll timers and the alert controls,
// and applies what the monitor and the cleanup decide.
#pragma once

#include <memory>

#include "monitor/watch_list.h"
#include "platform/commands.h"
#include "platform/files.h"
#include "platform/processes.h"
#include "platform/toolkit.h"
#include "ui/splash.h"

namespace quorvex {

class Form1 final : public WindowEvents {
public:
    Form1(Toolkit& toolkit, const ProcessTable& processes, CommandStarter& commands,
          FileSystem& files);

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
    void Command2_Click();
    // Timer1_Timer to Timer9_Timer: one handler, told apart by their watch entry.
    void PollTimer_Timer(const WatchEntry& entry);
    void DragForm(Window& window);

    Toolkit& toolkit_;
    const ProcessTable& processes_;
    CommandStarter& commands_;
    FileSystem& files_;
    std::unique_ptr<Window> window_;
    std::unique_ptr<FrmSplash> splash_;
};

}  // namespace quorvex
