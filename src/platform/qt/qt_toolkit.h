// The window toolkit on Qt Widgets (Qt 6 or 5.15), for Linux desktops (xcb) and for running
// without a display (offscreen).
#pragma once

#include <memory>
#include <string>

#include "platform/toolkit.h"
#include "support/event_dispatch.h"

class QApplication;
class QWidget;

namespace quorvex {

class QtToolkit final : public Toolkit {
public:
    // Owns the application object, made from the arguments given: Qt reads
    // its own options there, so the program hands it its name alone.
    QtToolkit(int& argc, char** argv);
    ~QtToolkit() override;

    std::unique_ptr<Window> create(const WindowDesc& desc, WindowEvents& events) override;
    int run(Window& startup) override;
    void processPendingEvents() override;
    void post(std::function<void()> task) override;

    // The widgets behind a window of this toolkit, for tests and screenshots;
    // null once the window is unloaded or for a timer.
    static QWidget* widgetOf(const Window& window);
    static QWidget* controlWidgetOf(const Window& window, ControlId control);

private:
    std::unique_ptr<QApplication> app_;
    EventDispatch dispatch_;
};

// The error report as a message box, where an application with a screen
// stands to show it; otherwise nothing.
void showErrorReport(const std::string& message);

}  // namespace quorvex
