// The toolkit conformance suite on the Qt backend, offscreen.
#include <QtCore/QCoreApplication>
#include <QtCore/QElapsedTimer>
#include <QtCore/QTimer>
#include <QtTest/QTest>
#include <QtGui/QWindow>
#include <QtWidgets/QWidget>

#include <chrono>
#include <thread>

#include "qt_test_env.h"
#include "toolkit_conformance.h"

namespace quorvex::test {
namespace {

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
            clickAt(widget, widget->rect().center());
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
};

std::unique_ptr<ToolkitDriver> makeQtDriver() { return std::make_unique<QtDriver>(); }

INSTANTIATE_TEST_SUITE_P(QtOffscreen, ToolkitConformance, testing::Values(&makeQtDriver));
INSTANTIATE_TEST_SUITE_P(QtOffscreen, ToolkitConformanceDeathTest, testing::Values(&makeQtDriver));

}  // namespace
}  // namespace quorvex::test
