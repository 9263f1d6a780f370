// The window toolkit on plain Win32: its windows (win32_window.h), the message
// loop with what it does with keys before a control has them (key preview, Tab
// between tab stops), posted tasks (win32_posted_tasks.h), the program's
// pictures and icon taken from its own resources (asset names are resource
// names), and the error report as a message box.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/toolkit.h"
#include "platform/win32/resource_picture.h"
#include "platform/win32/win32_posted_tasks.h"
#include "platform/win32/win32_window.h"
#include "support/event_dispatch.h"

namespace quorvex {

class Win32Toolkit final : public Toolkit {
public:
    Win32Toolkit();
    ~Win32Toolkit() override;

    std::unique_ptr<Window> create(const WindowDesc& desc, WindowEvents& events) override;
    // Runs until every window is unloaded or the thread is told to quit.
    int run(Window& startup) override;
    void processPendingEvents() override;
    void post(std::function<void()> task) override { posted_.post(std::move(task)); }

    void dispatch(const std::function<void()>& handler) noexcept { dispatch_.run(handler); }
    // The user's session ends: unloads every window of the toolkit and ends
    // the message loop, so the program ends without another word.
    void endSession();

    // A picture asset, decoded once from the program's resources.
    const Picture& picture(std::string_view asset);

private:
    friend class Win32Window;  // counts the loaded windows

    void handleMessage(MSG& msg);
    bool previewCharacter(const MSG& msg);
    static bool moveFocusOnTab(const MSG& msg);
    static std::wstring programName();
    void showReport(const std::string& message) const;

    bool comInitialized_ = false;
    int loadedWindows_ = 0;
    std::wstring reportTitle_ = programName();
    EventDispatch dispatch_{[this](const std::string& message) { showReport(message); }};
    std::map<std::string, Picture, std::less<>> pictures_;
    Win32PostedTasks posted_{[this](const std::function<void()>& task) { dispatch(task); }};
};

}  // namespace quorvex
