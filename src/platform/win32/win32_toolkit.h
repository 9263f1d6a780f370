// The window toolkit on plain Win32: its windows (win32_window.h), the message
// loop, posted tasks, and the program's pictures and icon taken from its own
// resources (asset names are resource names). Each concern has a file of its
// own: window classes, message loop, keyboard, posted tasks, pictures and the
// error report.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/toolkit.h"
#include "platform/win32/resource_picture.h"
#include "platform/win32/win32_window.h"
#include "support/event_dispatch.h"
#include "support/task_queue.h"

namespace quorvex {

class Win32Toolkit final : public Toolkit {
public:
    Win32Toolkit();
    ~Win32Toolkit() override;

    std::unique_ptr<Window> create(const WindowDesc& desc, WindowEvents& events) override;
    // Runs until every window is unloaded or the thread is told to quit.
    int run(Window& startup) override;
    void processPendingEvents() override;
    void post(std::function<void()> task) override;

    void dispatch(const std::function<void()>& handler) noexcept { dispatch_.run(handler); }
    // The user's session ends: unloads every window of the toolkit and ends
    // the message loop, so the program ends without another word.
    void endSession();

    // A picture asset, decoded once from the program's resources.
    const Picture& picture(std::string_view asset);

private:
    friend class Win32Window;
    static constexpr wchar_t kTasksClass[] = L"QuorvexTasks";

    void registerWindowClasses();
    void handleMessage(MSG& msg);
    bool previewCharacter(const MSG& msg);
    bool moveFocusOnTab(const MSG& msg);
    static std::wstring programName();
    void showReport(const std::string& message) const;
    void createTasksWindow();
    static LRESULT CALLBACK tasksProc(HWND, UINT, WPARAM, LPARAM);
    void runPostedTasks();

    bool comInitialized_ = false;
    int loadedWindows_ = 0;
    std::wstring reportTitle_;
    EventDispatch dispatch_{[this](const std::string& message) { showReport(message); }};
    std::map<std::string, Picture, std::less<>> pictures_;

    // A message-only window: a message to it, posted from any thread, runs the tasks.
    HWND tasksWindow_ = nullptr;
    TaskQueue posted_;
};

}  // namespace quorvex
