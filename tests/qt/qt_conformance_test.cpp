// The toolkit conformance suite on the Qt backend, offscreen.
#include <QtCore/QCoreApplication>
#include <QtCore/QElapsedTimer>
#include <QtCore/QTimer>
#include <QtTest/QTest>
#include <QtGui/QGuiApplication>
#include <QtGui/QScreen>
#include <QtGui/QWindow>
#include <QtWidgets/QWidget>

#include <chrono>
#include <thread>
#include <utility>
#include <vector>

#include "qt_test_env.h"
#include "toolkit_conformance.h"

namespace quorvex::test {
namespace {

std::pair<Qt::Key, Qt::KeyboardModifiers> qtKeyOf(Key key) {
    switch (key) {
    case Key::A: return {Qt::Key_A, Qt::NoModifier};
    case Key::Digit5: return {Qt::Key_5, Qt::NoModifier};
    case Key::Space: return {Qt::Key_Space, Qt::NoModifier};
    case Key::Enter: return {Qt::Key_Return, Qt::NoModifier};
    case Key::Escape: return {Qt::Key_Escape, Qt::NoModifier};
    case Key::Backspace: return {Qt::Key_Backspace, Qt::NoModifier};
    case Key::CtrlC: return {Qt::Key_C, Qt::ControlModifier};
    case Key::Shift: return {Qt::Key_Shift, Qt::ShiftModifier};
    case Key::Left: return {Qt::Key_Left, Qt::NoModifier};
    case Key::Delete: return {Qt::Key_Delete, Qt::NoModifier};
    case Key::F5: return {Qt::Key_F5, Qt::NoModifier};
    }
    return {Qt::Key_unknown, Qt::NoModifier};
}

std::vector<Qt::MouseButton> qtButtons(int buttons) {
    std::vector<Qt::MouseButton> held;
    for (const auto& [bit, button] : {std::pair{kLeftButton, Qt::LeftButton}, std::pair{kRightButton, Qt::RightButton},
                                      std::pair{kMiddleButton, Qt::MiddleButton}})
        if (buttons & bit) held.push_back(button);
    return held;
}

class QtDriver final : public ToolkitDriver {
public:
    ~QtDriver() override { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    Toolkit& toolkit() override { return qtToolkit(); }
    void wait(int ms) override { runEventLoop(ms); }
    bool waitUntil(const std::function<bool()>& done, int boundMs) override {
        return QTest::qWaitFor(done, boundMs);
    }
    void busy(int ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
    std::int64_t clockMs() override {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
    void runUntil(Window& startup, const std::function<bool()>& done, int boundMs) override {
        QElapsedTimer elapsed;
        elapsed.start();
        QTimer check;
        QObject::connect(&check, &QTimer::timeout, [&] {
            if (done() || elapsed.hasExpired(boundMs)) QCoreApplication::quit();
        });
        check.start(10);
        qtToolkit().run(startup);
    }
    void click(Window& window, ControlId control) override {
        if (QWidget* widget = QtToolkit::controlWidgetOf(window, control))
            test::clickAt(widget, widget->rect().center());
    }
    void clickAt(Window& window, Point at) override {
        if (QWidget* widget = QtToolkit::widgetOf(window)) test::clickAt(widget, {at.x, at.y});
    }
    void moveMouse(Window& window, Point from, Point to, int buttons) override {
        QWidget* widget = QtToolkit::widgetOf(window);
        if (!widget) return;
        moveTo(widget, {from.x, from.y});
        for (const Qt::MouseButton button : qtButtons(buttons)) pressAt(widget, {from.x, from.y}, button);
        moveTo(widget, {to.x, to.y});
        for (const Qt::MouseButton button : qtButtons(buttons)) releaseAt(widget, {to.x, to.y}, button);
    }
    // Key events through the window, as the platform delivers them.
    void pressKey(Window& window, Key key) override {
        QWidget* widget = QtToolkit::widgetOf(window);
        if (!widget) return;
        const auto [qtKey, modifiers] = qtKeyOf(key);
        clickKey(widget->windowHandle(), qtKey, modifiers);
    }
    // What the platform does with the window manager's close request.
    void requestClose(Window& window) override {
        if (QWidget* widget = QtToolkit::widgetOf(window)) widget->windowHandle()->close();
    }
    Rect clientRect(Window& window) override {
        const QWidget* widget = QtToolkit::widgetOf(window);
        if (!widget) return {};
        const QRect geometry = widget->geometry();
        return {geometry.x(), geometry.y(), geometry.width(), geometry.height()};
    }
    Rect controlRect(Window& window, ControlId control) override {
        const QWidget* widget = QtToolkit::controlWidgetOf(window, control);
        return widget ? rectInWindow(widget) : Rect{};
    }
    Rect screenRect() override {
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        return {screen.x(), screen.y(), screen.width(), screen.height()};
    }
    void moveWindow(Window& window, Point at) override {
        if (QWidget* widget = QtToolkit::widgetOf(window)) widget->move(at.x, at.y);
    }
};

std::unique_ptr<ToolkitDriver> makeQtDriver() { return std::make_unique<QtDriver>(); }

INSTANTIATE_TEST_SUITE_P(QtOffscreen, ToolkitConformance, testing::Values(&makeQtDriver));
INSTANTIATE_TEST_SUITE_P(QtOffscreen, ToolkitConformanceDeathTest, testing::Values(&makeQtDriver));

}  // namespace
}  // namespace quorvex::test
