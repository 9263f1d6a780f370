#include <algorithm>
#include <cstdio>
#include <iterator>
#include <utility>
#include <stdexcept>

#include "platform/headless/headless_toolkit.h"
#include "toolkit_conformance.h"

namespace quorvex::test {
namespace {

class HeadlessDriver final : public ToolkitDriver {
public:
    Toolkit& toolkit() override { return toolkit_; }
    void wait(int ms) override { toolkit_.advance(ms); }
    // Virtual time moves up to the bound; tasks from other threads get it in real time.
    bool waitUntil(const std::function<bool()>& done, int boundMs) override {
        for (int ms = 0; ms < boundMs && !done(); ms += 10) toolkit_.advance(10);
        return done() || toolkit_.runPostedTasksUntil(done, std::chrono::milliseconds(boundMs));
    }
    void busy(int ms) override { toolkit_.spend(ms); }
    std::int64_t clockMs() override { return toolkit_.now(); }
    void runUntil(Window& startup, const std::function<bool()>& done, int boundMs) override {
        toolkit_.run(startup);
        waitUntil(done, boundMs);
    }
    void click(Window& window, ControlId control) override {
        static_cast<HeadlessWindow&>(window).click(control);
    }
    void clickAt(Window& window, Point at) override { static_cast<HeadlessWindow&>(window).clickAt(at); }
    void moveMouse(Window& window, Point from, Point to, int buttons) override {
        auto& headless = static_cast<HeadlessWindow&>(window);
        headless.moveMouseAt(from, 0);
        headless.moveMouseAt(to, buttons);
    }
    // The keyboard: what each key types, if anything.
    void pressKey(Window& window, Key key) override {
        static constexpr std::pair<Key, int> kTyped[] = {
            {Key::A, 'a'},         {Key::Digit5, '5'},       {Key::Space, ' '}, {Key::Enter, '\r'},
            {Key::Escape, '\x1b'}, {Key::Backspace, '\b'}, {Key::CtrlC, 3},
        };
        const auto typed = std::ranges::find(kTyped, key, &std::pair<Key, int>::first);
        if (typed != std::end(kTyped)) static_cast<HeadlessWindow&>(window).pressKey(typed->second);
    }
    void requestClose(Window& window) override { static_cast<HeadlessWindow&>(window).requestClose(); }
    Rect clientRect(Window& window) override {
        return static_cast<HeadlessWindow&>(window).clientRect();
    }
    Rect controlRect(Window& window, ControlId control) override {
        return static_cast<HeadlessWindow&>(window).controlRect(control);
    }
    Rect screenRect() override { return {0, 0, HeadlessToolkit::kScreenWidth, HeadlessToolkit::kScreenHeight}; }
    void moveWindow(Window& window, Point at) override { static_cast<HeadlessWindow&>(window).moveTo(at); }

private:
    HeadlessToolkit toolkit_;
};

std::unique_ptr<ToolkitDriver> makeHeadlessDriver() { return std::make_unique<HeadlessDriver>(); }

INSTANTIATE_TEST_SUITE_P(Headless, ToolkitConformance, testing::Values(&makeHeadlessDriver));
INSTANTIATE_TEST_SUITE_P(Headless, ToolkitConformanceDeathTest, testing::Values(&makeHeadlessDriver));

// The dispatch every toolkit shares: the sink hears the report, and while it
// shows (a message box lets events through) no other handler runs.
TEST(EventDispatchDeathTest, SinkHearsTheReportAndNothingRunsMeanwhile) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto failing = [] {
        EventDispatch* dispatch = nullptr;
        EventDispatch shared([&](const std::string& message) {
            std::fprintf(stderr, "sink heard %s\n", message.substr(0, message.find(':')).c_str());
            dispatch->run([] { std::fprintf(stderr, "another handler ran\n"); });
            std::fprintf(stderr, "sink done\n");
        });
        dispatch = &shared;
        shared.run([] { throw std::runtime_error("坏了"); });
        std::exit(0);
    };
    EXPECT_EXIT(failing(), testing::ExitedWithCode(1), "坏了\nsink heard 运行时错误 '1'\nsink done");
}

}  // namespace
}  // namespace quorvex::test
