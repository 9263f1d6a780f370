// The whole program on the headless toolkit, with fake platform services.
#pragma once

#include <gtest/gtest.h>

#include <future>
#include <ostream>
#include <string>

#include "fakes.h"
#include "platform/headless/headless_toolkit.h"
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
    // Clicks Command1 and waits until the cleanup has shown its outcome.
    bool cleanUpAndWait() {
        main().click(form1::Command1);
        return toolkit.runPostedTasksUntil([this] {
            const std::string text = label2();
            return text == kCleanupSucceededText || text == kCleanupFailedText;
        });
    }
    // A worm's file on the fake disk, and its process in the fake table (an
    // empty path: one that cannot be read).
    void runWorm(const std::string& name, const std::string& path, FileIdentity identity) {
        files.disk[path] = FileStatus{FileStatus::Kind::File, identity, 1};
        processes.processes = {{name, path.empty() ? std::nullopt : std::optional(path), identity}};
    }
    // Clicks Command1 on a file system that stops answering until the
    // returned promise is kept.
    std::promise<void> clickIntoAHangingCleanup() {
        std::promise<void> answer;
        files.onReach = [answered = answer.get_future().share()] { answered.wait(); };
        main().click(form1::Command1);
        return answer;
    }
    int totalPollTicks() {
        int total = 0;
        for (std::size_t i = form1::kVisibleControls; i < form1::kControls.size(); ++i)
            total += main().timerFireCount(i);
        return total;
    }

    HeadlessToolkit toolkit;
    FakeProcessTable processes;
    RecordingKiller killer;
    FakeFileSystem files;
    Form1 form{toolkit, processes, killer, files};
};

// What a detection during a cleanup names, and what the cleanup's end does.
struct DetectionDuringCleanup {
    const char* what;
    std::size_t entry;  // in the watch list
    std::string path;   // empty: the copy's path could not be read
    FileIdentity identity;
    bool handsBack;  // Label2 keeps the new path and Command1 returns for it
    friend void PrintTo(const DetectionDuringCleanup& row, std::ostream* out) { *out << row.what; }
};

class HangingCleanupTest : public AppTest, public testing::WithParamInterface<DetectionDuringCleanup> {};

}  // namespace quorvex::test
