// Tasks posted from any thread, run from the message loop: a message to a
// message-only window of their own wakes the loop for them.
#pragma once

#include <windows.h>

#include <functional>

#include "support/task_queue.h"

namespace quorvex {

class Win32PostedTasks {
public:
    // `run` runs one task the way the loop runs an event handler. Throws
    // std::system_error when the window cannot be made.
    explicit Win32PostedTasks(std::function<void(const std::function<void()>&)> run);
    ~Win32PostedTasks();
    Win32PostedTasks(const Win32PostedTasks&) = delete;
    Win32PostedTasks& operator=(const Win32PostedTasks&) = delete;

    // Callable from any thread.
    void post(std::function<void()> task);

private:
    static LRESULT CALLBACK windowProc(HWND, UINT, WPARAM, LPARAM);
    void runPosted();

    std::function<void(const std::function<void()>&)> run_;
    TaskQueue queue_;
    HWND window_ = nullptr;
};

}  // namespace quorvex
