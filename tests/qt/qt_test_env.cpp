#include "qt_test_env.h"

#include <QtCore/QEventLoop>
#include <QtCore/QPointer>
#include <QtCore/QTimer>
#include <QtGui/QWindow>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

#include <gtest/gtest.h>

#include <memory>

namespace quorvex::test {

namespace {
// Ended in main, before the exit handlers take down what Qt still refers to.
std::unique_ptr<QtToolkit> toolkit;
}  // namespace

QtToolkit& qtToolkit() {
    static int argc = 1;
    static char name[] = "quorvex_qt_tests";
    static char* argv[] = {name, nullptr};
    if (!toolkit) toolkit = std::make_unique<QtToolkit>(argc, argv);
    return *toolkit;
}

void runEventLoop(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

namespace {
QWindow* windowOf(QWidget* widget, QPoint& at) {
    QWidget* top = widget->window();
    at = widget->mapTo(top, at);
    return top->windowHandle();
}
}  // namespace

void pressAt(QWidget* widget, QPoint at, Qt::MouseButton button) {
    QWindow* window = windowOf(widget, at);
    QTest::mousePress(window, button, {}, at);
}

void moveTo(QWidget* widget, QPoint at) {
    QWindow* window = windowOf(widget, at);
    QTest::mouseMove(window, at);
}

void releaseAt(QWidget* widget, QPoint at, Qt::MouseButton button) {
    QWindow* window = windowOf(widget, at);
    QTest::mouseRelease(window, button, {}, at);
}

void clickAt(QWidget* widget, QPoint at) {
    QWindow* window = windowOf(widget, at);
    QTest::mouseClick(window, Qt::LeftButton, {}, at);
}

void clickKey(QWindow* window, Qt::Key key, Qt::KeyboardModifiers modifiers) {
    const QPointer<QWindow> standing(window);
    QTest::keyPress(window, key, modifiers);
    if (standing) QTest::keyRelease(window, key, modifiers);
}

Rect rectInWindow(const QWidget* widget) {
    const QPoint corner = widget->mapTo(widget->window(), QPoint(0, 0));
    return {corner.x(), corner.y(), widget->width(), widget->height()};
}

}  // namespace quorvex::test

int main(int argc, char** argv) {
    // Every window of these tests lives off screen, with or without a display,
    // on a screen of 96 dpi, as Qt 6's offscreen one is (Qt 5's claims 100).
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_FONT_DPI", "96");
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    quorvex::test::toolkit.reset();
    return result;
}
