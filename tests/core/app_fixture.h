// The whole program on the headless toolkit, with fake platform services.
#pragma once

#include <gtest/gtest.h>

#include "fakes.h"
#include "headless_toolkit.h"
#include "ui/form1.h"
#include "ui/form1_layout.h"
#include "ui/splash_layout.h"

namespace quorvex::test {

class AppTest : public testing::Test {
protected:
    void start() { toolkit.run(form.window()); }
    HeadlessWindow& main() { return static_cast<HeadlessWindow&>(form.window()); }
    HeadlessWindow& splashWindow() { return static_cast<HeadlessWindow&>(form.splash()->window()); }
    std::string label1() { return main().caption(form1::Label1); }
    std::string label2() { return main().caption(form1::Label2); }
    bool command1Enabled() { return main().isEnabled(form1::Command1); }
    int totalPollTicks() {
        int total = 0;
        for (std::size_t i = form1::kVisibleControls; i < form1::kControls.size(); ++i)
            total += main().timerFireCount(i);
        return total;
    }

    HeadlessToolkit toolkit;
    FakeProcessTable processes;
    RecordingCommands commands;
    RecordingFileSystem files;
    Form1 form{toolkit, processes, commands, files};
};

}  // namespace quorvex::test
